// The modified quasi-Newton pair.
#include "library/sparse_sqp/update_pair.h"

#include <algorithm>
#include <vector>

#include "library/sparse_sqp/jacobian_product.h"
#include "library/support/machine.h"

namespace zun {
namespace {

constexpr double kRatioLimit = 1.0e5;

}  // namespace

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
                      double* y) {
  const auto nc = static_cast<std::size_t>(ncnln);
  std::vector<double> a(nc), b(nc), w(nc), q(nc);
  multiply_jacobian("No transpose", jac, gcon_old, 1.0, p, njnln, 0.0, a.data(), ncnln);
  multiply_jacobian("No transpose", jac, gcon_new, 1.0, p, njnln, 0.0, b.data(), ncnln);
  double qmax = 0.0;
  double qq = 0.0;
  for (std::size_t i = 0; i < nc; ++i) {
    b[i] -= a[i];
    w[i] = (fcon_new[i] - fcon_old[i]) - alpha * a[i];
    q[i] = std::max(0.0, b[i] * w[i]);
    qmax = std::max(qmax, q[i]);
    qq += q[i] * q[i];
  }
  const double shortfall = threshold - py;
  if (qmax <= 0.0) return false;
  int fail = 0;
  const double ratio = safe_divide(qmax * shortfall, qq, fail);
  if (fail != 0 || ratio >= kRatioLimit) return false;
  double gain = 0.0;
  for (std::size_t i = 0; i < nc; ++i) {
    const double omega = shortfall / qq * q[i];
    gain += q[i] * omega;
    w[i] *= omega;
  }
  py = std::max(py + gain, threshold);
  multiply_jacobian("Transpose", jac, gcon_new, 1.0, w.data(), njnln, 1.0, y, ncnln);
  multiply_jacobian("Transpose", jac, gcon_old, -1.0, w.data(), njnln, 1.0, y, ncnln);
  return true;
}

}  // namespace zun
