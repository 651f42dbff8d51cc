// Products with the nonlinear Jacobian: the NCNLN by NJNLN block whose elements are the
// leading elements (row <= NCNLN) of columns 1..NJNLN of the constraint matrix, with values
// held separately in column order (gCon).
#pragma once

#include <string_view>

#include "library/sparse_sqp/user_routines.h"

namespace zun {

// trans "No transpose": y(NCNLN) := alpha J x(NJNLN) + beta y; "Transpose" (first letter
// 'T'): y(NJNLN) := alpha J' x(NCNLN) + beta y.  beta = 0 clears y first; beta = 1 with
// alpha = 0 returns at once.
void multiply_jacobian(std::string_view trans,
                       const JacobianStructure& jac,
                       const double* gcon,
                       double alpha,
                       const double* x,
                       int njnln,
                       double beta,
                       double* y,
                       int ncnln);

}  // namespace zun
