// The process's one ASL problem record, shared by a driver's main road and its evaluation code.
// Source files that include the ASL headers use the ASL's accessor macros, which name this
// pointer `asl`; code outside this namespace brings it in with a using-declaration.
#pragma once

struct ASL;

namespace zun_driver {

// Set by the driver from ASL_alloc until ASL_free; null otherwise.
extern ASL* asl;

}  // namespace zun_driver
