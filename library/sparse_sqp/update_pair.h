// The modified quasi-Newton pair of a nonlinearly constrained problem: when the curvature
// along the step is too small, the gradient change is augmented by a multiple of the change
// in the constraint gradients weighted by the constraint residuals.
#pragma once

#include "library/sparse_sqp/user_routines.h"

namespace zun {

// p'y (in/out) is raised toward threshold by adding J_new'(omega .* w) - J_old'(omega .* w)
// to y (NJNLN entries of the nnL), w(i) = F_new(i) - F_old(i) - alpha (J_old p)(i), omega >= 0
// the least-norm weights that make up the shortfall.  Returns false (nothing changed) when no
// such weights exist or they would be too large.
bool form_update_pair(int ncnln,
                      int njnln,
                      const JacobianStructure& jac,
                      double& py,
                      double threshold,
                      double alpha,
                      const double* fcon_old,
                      const double* fcon_new,
                      const double* gcon_old,
                      const double* gcon_new,
                      const double* p,
                      double* y);

}  // namespace zun
