// Products with the nonlinear Jacobian.
#include "library/sparse_sqp/jacobian_product.h"

#include <algorithm>

namespace zun {

void multiply_jacobian(std::string_view trans,
                       const JacobianStructure& jac,
                       const double* gcon,
                       double alpha,
                       const double* x,
                       int njnln,
                       double beta,
                       double* y,
                       int ncnln) {
  const bool transpose = !trans.empty() && (trans[0] == 'T' || trans[0] == 't');
  const int ny = transpose ? njnln : ncnln;
  if (beta == 1.0 && alpha == 0.0) return;
  if (beta == 0.0) {
    std::fill(y, y + ny, 0.0);
  } else if (beta != 1.0) {
    for (int i = 0; i < ny; ++i) y[i] *= beta;
  }
  if (alpha == 0.0) return;
  int l = 0;
  for (int j = 0; j < njnln; ++j) {
    double sum = 0.0;
    for (int e = jac.ka[j] - 1; e < jac.ka[j + 1] - 1 && jac.ha[e] <= ncnln; ++e, ++l) {
      const int row = jac.ha[e] - 1;
      if (transpose) {
        sum += gcon[l] * x[row];
      } else {
        y[row] += alpha * gcon[l] * x[j];
      }
    }
    if (transpose) y[j] += alpha * sum;
  }
}

}  // namespace zun
