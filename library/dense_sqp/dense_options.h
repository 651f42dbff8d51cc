// The options of one dense solve: the user's option sets saved, every unset or bad option
// replaced by its default, and the " Parameters" listing.
#pragma once

#include <string_view>

#include "library/dense_sqp/dense_store.h"

namespace zun {

// Reads the comment line "*" (which applies a pending reset of all options), makes the next
// option line a first line, saves both option sets, applies the defaults for a problem of N
// variables, NCLIN linear and NCNLN nonlinear constraints and, when the major print level is
// above 0 and IREVCM is below 7, lists them on the print file under ROUTINE.  The machine
// constants (real words 247..250, 63) and the advisory unit copy (integer 316) must be set.
void finish_dense_options(int n,
                          int nclin,
                          int ncnln,
                          std::string_view routine,
                          int irevcm,
                          DenseStoreView store);

}  // namespace zun
