// The process's one ASL problem record, shared by the driver's main road and its evaluation
// routines.  Source files that include the ASL headers use the ASL's accessor macros, which
// name this pointer `asl`.
#pragma once

struct ASL;

namespace spnlp {

// Set by the driver from ASL_alloc until ASL_free; null otherwise.
extern ASL* asl;

}  // namespace spnlp
