// The SQP major iterations of the dense solver, resumable at every reverse-communication
// request.
#pragma once

#include "library/dense_sqp/dense_run.h"

namespace zun {

// Runs (integer word 553 = 0) or resumes the major iterations.  Returns true with a request
// pending in IREVCM; false at the end with EXIT_CODE the solve's exit code (0, 1, 3, 4, 6 or
// the caller's negative stop), after the exit lines, the solution table and the multipliers
// of the nonlinear rows in the solver's multiplier array.
bool run_dense_major_iterations(DenseRun& run, int& exit_code);

// The penalty parameters of the merit function for the step with slope SLOPE (the merit
// function's slope without its penalty term) and curvature Q = ||R p||^2: each residual r(i)
// gets a penalty large enough that the slope with the penalty term is at most -Q/2, damped
// by the damping word; RESIDUALS: NCNLN values.  Returns the penalty term's slope
// -theta sum rho(i) r(i)^2.
double update_dense_penalty_parameters(DenseRun& run,
                                       Words<const double> residuals,
                                       double slope,
                                       double q);

// The largest step along the direction before a bound or row reaches its bound: starts from
// UPPER and stops once at most LOWER; returns max(LOWER, the step).  VALUES and RATES: the
// N + NCLIN + NCNLN values and their rates of change (a linear row's threshold on its rate
// grows with its norm).  A bound or row already on or beyond its bound does not limit the
// step; a nonlinear row counts as on it within its feasibility tolerance.
double scan_constraint_step_bound(const DenseRun& run,
                                  double lower,
                                  double upper,
                                  Words<const double> values,
                                  Words<const double> rates);

}  // namespace zun
