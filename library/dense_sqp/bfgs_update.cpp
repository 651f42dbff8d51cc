// The BFGS update of the Hessian factor by a rank-one change of R.
#include "library/dense_sqp/bfgs_update.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/support/machine.h"

namespace zun {
namespace {

constexpr double kCurvatureRatio = 0.1;

// R p into rp (n).
void multiply_r(int n, const ColumnMajorView<double>& r, const double* p, double* rp) {
  for (int i = 1; i <= n; ++i) {
    double sum = 0.0;
    for (int j = i; j <= n; ++j) sum += r(i, j) * p[j - 1];
    rp[i - 1] = sum;
  }
}

double dot(int n, const double* a, const double* b) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += a[i] * b[i];
  return sum;
}

double frobenius(int n, const ColumnMajorView<double>& r) {
  double sum = 0.0;
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) sum += r(i, j) * r(i, j);
  }
  return std::sqrt(sum);
}

// Adds to y the weighted change of the constraint terms r_i grad c_i so that y'p grows by
// TARGET - d; false when the weights would be too large or nothing can be gained.
bool repair_curvature(int n, const CurvatureRepair& c, double target, double& d, const double* p,
                      double* y) {
  std::vector<double> w(c.ncnln);
  double wsq = 0.0;
  for (int i = 0; i < c.ncnln; ++i) {
    w[i] = std::max(0.0, c.r_new[i] * c.jp_new[i] - c.r_old[i] * c.jp_old[i]);
    wsq += w[i] * w[i];
  }
  int fail = 0;
  const double omega = safe_divide(target - d, wsq, fail);
  if (fail != 0 || !(omega < c.weight_limit) || !(omega > 0.0)) return false;
  for (int i = 0; i < c.ncnln; ++i) {
    if (w[i] == 0.0) continue;
    const double a = omega * w[i] * c.r_new[i];
    const double b = omega * w[i] * c.r_old[i];
    for (int j = 1; j <= n; ++j) y[j - 1] += a * c.jac_new(i + 1, j) - b * c.jac_old(i + 1, j);
  }
  d = dot(n, y, p);
  return d >= target;
}

}  // namespace

BfgsOutcome update_hessian_factor(int n,
                                  ColumnMajorView<double> r,
                                  double alpha,
                                  const double* p,
                                  double* y,
                                  const CurvatureRepair& repair,
                                  double* work) {
  BfgsOutcome out;
  double* rp = work;
  double* v = work + n;
  multiply_r(n, r, p, rp);
  const double q = dot(n, rp, rp);
  double d = dot(n, y, p);
  const double target = kCurvatureRatio * q;
  if (q > 0.0 && d < target) {
    out.flag_m = true;
    if (repair.ncnln > 0 && repair_curvature(n, repair, target, d, p, y)) {
      out.flag_m = false;
      out.repaired = true;
    }
  }
  if (!(q > 0.0 && d >= target && alpha > 0.0)) {
    out.frobenius = frobenius(n, r);
    return out;
  }
  const double t1 = std::sqrt(q);
  const double t2 = std::sqrt(d * alpha);
  const double scale = alpha * target < d ? 1.0 : t2 / (alpha * t1);
  // u = R p / t1 (kept in rp); v = y / t2 - scale R'u.
  for (int i = 0; i < n; ++i) rp[i] /= t1;
  for (int j = 1; j <= n; ++j) {
    double sum = 0.0;
    for (int i = 1; i <= j; ++i) sum += r(i, j) * rp[i - 1];
    v[j - 1] = y[j - 1] / t2 - scale * sum;
  }
  if (scale != 1.0) {
    for (int j = 1; j <= n; ++j) {
      for (int i = 1; i <= j; ++i) r(i, j) *= scale;
    }
  }
  const int ldr = static_cast<int>(r.ld());
  const int no_companion = 0, ldc = 1;
  apply_rank_one_update(n, n, ldr, no_companion, ldc, r.at(1, 1), rp, v, nullptr);
  out.updated = true;
  out.frobenius = frobenius(n, r);
  return out;
}

}  // namespace zun
