// Verification of the user's derivatives against finite differences at the start point: a
// cheap test of each routine along one or two directions and, as the Verify Level asks, an
// element-by-element check over a range of columns.  Output goes to the print unit when the
// major print level is above 0.
#pragma once

#include "library/sparse_sqp/derivative_level.h"
#include "library/sparse_sqp/evaluator.h"

namespace zun {

// Bounds of the variables (at least the nonlinear ones, in the solver's units).
struct VariableBounds {
  const double* bl = nullptr;
  const double* bu = nullptr;
};

// Adjusts the direction d(n) so that x + h d stays within the bounds: a component that would
// leave is reversed when the reversed step stays inside, else set to 0; fixed variables get 0.
// Returns the number of nonzero components.
int max_feasible_step(int n, const VariableBounds& b, const double* x, double h, double* d);

// Verifies the objective gradient at.gobj(NONLN) at at.x (at.fobj its value).  Elements that
// hold the not-supplied value are not compared.  Returns 0 (passed or not run), 7 wrong
// gradients, 6 when objfun was undefined at a trial point or asked to stop.
int verify_objective_gradients(const Evaluator& ev, const DerivativePoint& at, const VariableBounds& b);

// Verifies the Jacobian elements at.gcon(NGCON) that confun returned at at.x (at.fcon its
// values).  The saved Jacobian tells the supplied elements from the missing ones.  Returns 0,
// 8 wrong Jacobian, 6 when confun was undefined at a trial point or asked to stop.
int verify_jacobian(const Evaluator& ev, const DerivativePoint& at, const VariableBounds& b);

}  // namespace zun
