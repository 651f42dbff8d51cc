// Conversion of VariableState between the codes the user sees and those of the minor
// iterations.  External: 0 nonbasic at lower bound, 1 at upper bound, 2 superbasic, 3 basic.
// Internal adds 4 (fixed, bl = bu) and -1 (nonbasic strictly between its bounds).
#pragma once

namespace zun {

// mode "Internal" (compared over its first 8 characters): each of the count variables with a
// state below 2 becomes 4 when bl = bu, else 0 when x <= bl, 1 when x >= bu, -1 between.
// Any other mode: each 4 and each -1 becomes 0.  Arrays have count entries.
void convert_state_codes(const char* mode,
                         const int& count,
                         const double* bl,
                         const double* bu,
                         int* state,
                         const double* x,
                         int mode_len);

}  // namespace zun
