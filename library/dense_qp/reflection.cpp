// Householder reflections P = I - u u' with u'u = 2: generation with a tolerance and
// application to a block of columns.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/kit_internal.h"
#include "library/support/blas_lapack.h"
#include "library/support/machine.h"

namespace zun {

void generate_reflection(
    const int& n, double& alpha, double* x, const int& incx, const double& tol, double& zeta) {
  zeta = 0.0;
  if (n <= 0 || incx == 0) return;
  // Norm and scaling do not depend on the order of the elements.
  const int inc = std::abs(incx);
  const double xnorm = dnrm2_(&n, x, &inc);
  if (xnorm <= std::max(machine_precision() * std::fabs(alpha), tol)) return;
  double divisor = 0.0;
  double beta = 0.0;
  if (alpha == 0.0) {
    // P (0, x) = (||x||, 0) with u = (1, -x/||x||).
    zeta = 1.0;
    beta = xnorm;
    divisor = -xnorm;
  } else {
    beta = -std::copysign(dlapy2_(&alpha, &xnorm), alpha);
    zeta = std::sqrt((std::fabs(alpha) + std::fabs(beta)) / std::fabs(beta));
    divisor = -zeta * beta;
  }
  for (std::int64_t i = 0; i < n; ++i) x[i * inc] /= divisor;
  alpha = beta;
}

namespace dense_kit {

void apply_reflection(
    int rows, int ncols, double zeta, const double* z, double* b, int ldb, double* work) {
  if (rows < 1 || ncols < 1 || zeta == 0.0) return;
  const ColumnMajor mat(b, ldb);
  // work := B' u = zeta B(1, :)' + B(2:rows, :)' z.
  for (int j = 1; j <= ncols; ++j) work[j - 1] = zeta * mat(1, j);
  const int tail = rows - 1;
  const int one = 1;
  const double plus_one = 1.0;
  const double minus_one = -1.0;
  if (tail > 0) {
    dgemv_("T", &tail, &ncols, &plus_one, mat.at(2, 1), &ldb, z, &one, &plus_one, work, &one, 1);
  }
  // B := B - u work'.
  for (int j = 1; j <= ncols; ++j) mat(1, j) -= zeta * work[j - 1];
  if (tail > 0) dger_(&tail, &ncols, &minus_one, z, &one, work, &one, mat.at(2, 1), &ldb);
}

}  // namespace dense_kit

}  // namespace zun
