// The modified quasi-Newton pair.
#include "library/sparse_sqp/update_pair.h"

#include <algorithm>
#include <vector>

#include "library/sparse_sqp/jacobian_product.h"
#include "library/sparse_sqp/merit_function.h"
#include "library/support/machine.h"

namespace zun {
namespace {

constexpr double kRatioLimit = 1.0e5;
constexpr double kCurvatureFactor = 0.0001;

double dot(int count, const double* a, const double* b) {
  double s = 0.0;
  for (int i = 0; i < count; ++i) s += a[i] * b[i];
  return s;
}

// H p, max(p'Hp, 0) and the gradient change with its p'y for the step from `old` to `acc`.
void measure_pair(const UpdateProblem& pr,
                  const QuasiNewtonHessian& h,
                  const double* p,
                  StepEndValues old,
                  StepEndValues acc,
                  const double* y1,
                  QuasiNewtonPair& pair) {
  h.multiply(1, p, pair.hp.data());
  pair.php = std::max(dot(pr.nnl, p, pair.hp.data()), 0.0);
  pair.py = merit_directional_derivative(pr.sign, pr.ncnln, pr.nonln, pr.njnln, pr.nnl, pr.jac,
                                         old.gobj, acc.gobj, old.gcon, acc.gcon, p,
                                         pair.y.data(), y1);
}

bool passes(const QuasiNewtonPair& pair) { return pair.py >= pair.threshold && pair.php > 0.0; }

}  // namespace

double curvature_threshold(double alpha, double php) { return kCurvatureFactor * alpha * php; }

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

QuasiNewtonPair choose_update_pair(const UpdateProblem& pr,
                                   const QuasiNewtonHessian& h,
                                   double alpha,
                                   const double* x0,
                                   const double* w,
                                   double* p,
                                   StepEndValues old,
                                   StepEndValues acc,
                                   const double* y1,
                                   const StepEndEvaluation& reevaluate) {
  QuasiNewtonPair pair;
  const auto nnl = static_cast<std::size_t>(pr.nnl);
  pair.hp.assign(nnl, 0.0);
  pair.y.assign(nnl, 0.0);
  measure_pair(pr, h, p, old, acc, y1, pair);
  pair.threshold = curvature_threshold(alpha, pair.php);
  if (pr.ncnln < 1 || passes(pair)) return pair;
  // The functions at the point alpha of the way toward the QP's feasible point: the step from
  // there to the accepted point often has the curvature that the whole step lacks.
  const auto nb = static_cast<std::size_t>(pr.nb);
  std::vector<double> x_mid(nb), p_mid(nb);
  for (std::size_t j = 0; j < nb; ++j) {
    const double d = w[j] - x0[j];
    x_mid[j] = x0[j] + alpha * d;
    p_mid[j] = p[j] - d;
  }
  StepEndValues mid;
  pair.status = reevaluate(x_mid.data(), mid);
  if (pair.status == 0) {
    const double php_old = pair.php;
    std::copy(p_mid.begin(), p_mid.end(), p);
    old = mid;
    measure_pair(pr, h, p, old, acc, y1, pair);
    pair.threshold = std::max({curvature_threshold(alpha, pair.php),
                               curvature_threshold(alpha, php_old), pr.eps});
    if (passes(pair)) {
      pair.flag = 'M';
      return pair;
    }
  }
  pair.flag = pair.threshold < alpha * pair.php &&
                      form_update_pair(pr.ncnln, pr.njnln, pr.jac, pair.py, pair.threshold, alpha,
                                       old.fcon, acc.fcon, old.gcon, acc.gcon, p, pair.y.data())
                  ? 'm'
                  : 'n';
  return pair;
}

}  // namespace zun
