// The input checks of a dense solve: one "** On entry" message per error on the error unit;
// the count goes to the store's input-error word.
#pragma once

#include "library/dense_sqp/dense_problem.h"
#include "library/dense_sqp/dense_store.h"
#include "library/dense_sqp/dense_workspace.h"

namespace zun {

// Checks the sizes, leading dimensions and workspace lengths against NEED, then (when all is
// well) the bounds, and on a warm start the states of ISTATE; on a warm start without errors
// makes the states and multipliers of the nonlinear rows consistent with their bounds.
// Messages go to the error unit (integer word 473) when the saved IFAIL on entry prints; the
// workspace lines go to the print file when the workspace suffices and the major print level
// is above 0.  Returns the error count, also stored in integer word 474.
int check_dense_input(const DenseProblem& p, DenseNeed need, DenseStoreView store);

}  // namespace zun
