// The BFGS update of the upper-triangular Hessian factor R (H = R'R) after an accepted step,
// guarded by a curvature test that the nonlinear constraints may repair.
#pragma once

#include "library/support/column_major.h"

namespace zun {

// The constraint terms that may repair the curvature: for each of the ncnln rows, the
// residual r and the row's slope J p at the old and the new point, and the rows of the
// Jacobian at both points (ncnln x n, leading dimension ld).
struct CurvatureRepair {
  int ncnln = 0;
  const double* r_old = nullptr;
  const double* r_new = nullptr;
  const double* jp_old = nullptr;
  const double* jp_new = nullptr;
  ColumnMajorView<const double> jac_old{nullptr, 1};
  ColumnMajorView<const double> jac_new{nullptr, 1};
  double weight_limit = 0.0;  // the largest weight accepted (1/eps)
};

// Outcome of update_hessian_factor.
struct BfgsOutcome {
  bool updated = false;       // R changed
  bool flag_m = false;        // the curvature test failed and was not repaired
  bool repaired = false;      // the constraint terms made the update possible
  double frobenius = 0.0;     // ||R||_F after the call
};

// Updates R (n x n upper triangle) for the step alpha p (p: n) with the gradient change Y (n,
// of the Lagrangian; augmented in place by a repair).  With d = y'p and q = ||R p||^2 the
// update runs when q > 0 and d >= 0.1 q (after a repair when it fails); R is scaled by
// sqrt(y's / s'Hs) first when alpha 0.1 q >= d.  After an update R'R s = y, s = alpha p.
// work: 2n reals.
BfgsOutcome update_hessian_factor(int n,
                                  ColumnMajorView<double> r,
                                  double alpha,
                                  const double* p,
                                  double* y,
                                  const CurvatureRepair& repair,
                                  double* work);

}  // namespace zun
