// The exit messages of a dense solve on the print file and on the error unit.
#pragma once

#include <string_view>

#include "library/dense_sqp/dense_store.h"

namespace zun {

// What the final lines report beside the exit code.
struct DenseExitSituation {
  int code = 0;           // DenseExitCode, or the caller's negative stop value
  int input_errors = 0;   // count named by code 9
  int fp_inform = -1;     // inform of the FP problem; -1 when it has not run
  double objective = 0.0;
  double sum_infeasibilities = 0.0;
};

// Print file (major print level above 0): a blank line, " Exit " ROUTINE and the text, and for
// codes 0..6 after the FP problem the final objective or sum of infeasibilities.
void print_dense_exit_message(const DenseExitSituation& situation,
                              std::string_view routine,
                              DenseStoreView store);

// Error unit (when the saved IFAIL on entry prints and the code is not 0): a blank line and
// the code's " ** " text.  Code 5 has no error-unit text.
void print_dense_error_message(const DenseExitSituation& situation, DenseStoreView store);

}  // namespace zun
