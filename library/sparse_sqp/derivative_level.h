// The derivative level of a run: the first evaluation counts the derivative elements that the
// user routines supply, lowers the level when objective gradients are missing, and records the
// elements that are then estimated by forward or central differences at every point.
#pragma once

#include "library/sparse_sqp/evaluator.h"

namespace zun {

// The arrays of the point being evaluated.
struct DerivativePoint {
  double* x = nullptr;     // nb (only the nonlinear variables are read)
  double* fcon = nullptr;  // NCNLN constraint values at x
  double* gcon = nullptr;  // NGCON Jacobian elements, in column order
  double* fobj = nullptr;  // objective value at x
  double* gobj = nullptr;  // NONLN gradient elements
};

// First evaluation (MODE 2, FIRSTCALL 1) with every derivative preset to the not-supplied
// value; sets IZ(183), IZ(184), IZ(186), IZ(187), the saved Jacobian and gradient, may lower
// IZ(71), prints the counts.  Returns 0, 6 after a user stop (the stop code holds MODE), or
// the status of the repeat constraint call.
int check_derivative_level(const Evaluator& ev, const DerivativePoint& at, int itn);

// Estimates the missing elements recorded by check_derivative_level at the point (IZ(182)
// chooses forward or central differences).  Returns 0 or the status of a failed evaluation.
int fill_missing_derivatives(const Evaluator& ev, const DerivativePoint& at);

// The Jacobian elements whose saved value is the not-supplied value, by differences of
// confun along each column that has one.  fcon is left as it was.
int difference_jacobian(const Evaluator& ev, const DerivativePoint& at);

// The gradient elements whose saved value is the not-supplied value, by differences of objfun;
// fobj is left as it was.
int difference_gradient(const Evaluator& ev, const DerivativePoint& at);

}  // namespace zun
