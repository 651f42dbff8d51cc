// The start of the SQP method on the linear constraints: the start states, the first
// estimates of the Hessian factor and the multipliers, the initial working set, and the
// "FP problem" (a point that satisfies the bounds and the linear constraints).
#pragma once

#include "library/dense_sqp/dense_run.h"

namespace zun {

// Runs the above at the current point (the tail of WORK), which becomes the feasible point.
// Returns the inform of the FP problem (0 or 1: feasible); its multipliers are left in the
// QP-multiplier array, its sum of infeasibilities in the store.
int solve_feasible_point(DenseRun& run);

}  // namespace zun
