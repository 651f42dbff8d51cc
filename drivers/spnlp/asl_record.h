// The process's one ASL problem record (drivers/common/asl_record.h), named `asl` in this
// driver's namespace for the ASL's accessor macros.
#pragma once

#include "drivers/common/asl_record.h"

namespace spnlp {

using zun_driver::asl;

}  // namespace spnlp
