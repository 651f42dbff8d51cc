// The verification of the user's derivatives within a run: the step that the solve driver
// takes after the derivative level is known and before missing derivatives are estimated.
#pragma once

#include "library/sparse_sqp/evaluator.h"
#include "library/sparse_sqp/run_state.h"

namespace zun {

// Verifies the constraint gradients (when NCNLN >= 1) and the objective gradients (when
// NONLN >= 1) at the current point XV, as the Verify Level asks.  gCon and gObj hold the
// values of the first evaluation.  Returns an end class: 0 when the run may go on, 7 wrong
// objective gradients, 8 wrong constraint gradients, 6 or -1 after a stop in a user routine.
int verify_derivatives_step(RunState& st, const Evaluator& ev);

}  // namespace zun
