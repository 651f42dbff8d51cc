// The null-space form of the BFGS update on the reduced-Hessian factor.
#include "library/sparse_sqp/reduced_hessian_update.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "library/sparse_qp/reduced_hessian.h"

namespace zun {
namespace {

// The downdate must leave 1 - |R^-T w|^2 above this margin, or the factor is built again.
constexpr double kDowndateMargin = 1.0e-10;
// Nor is a factor changed whose smallest diagonal is at most this fraction of its largest.
constexpr double kDiagonalRatio = 1.0e-8;

double squared_norm(int n, const double* v) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += v[i] * v[i];
  return s;
}

// R := R + (R^-T c) (factor c)' so that R'R gains sign_term c c' (sign_term +1 or -1):
// with u = R^-T c and t = |u|^2, factor = 1 / (1 + sqrt(1 + sign_term t)) times sign_term.
bool rank_one(int ns, double sign_term, const double* c, double* r, double* u, double* row) {
  std::copy(c, c + ns, u);
  solve_with_r("Rt", ns, r, u);
  const double t = squared_norm(ns, u);
  if (!std::isfinite(t)) return false;
  const double rest = 1.0 + sign_term * t;
  if (rest <= kDowndateMargin) return false;
  const double factor = sign_term / (1.0 + std::sqrt(rest));
  for (int j = 0; j < ns; ++j) row[j] = factor * c[j];
  rotate_r_factor(ns, r, u, row, ns, std::sqrt(t), 0.0);
  return true;
}

}  // namespace

bool update_reduced_factor(int ns,
                           double scale,
                           double apy,
                           double php,
                           const double* zy,
                           const double* zhp,
                           double* r,
                           double* work) {
  if (ns < 1) return true;
  if (!(apy > 0.0 && php > 0.0 && scale > 0.0)) return false;
  const int size = ns * (ns + 1) / 2;
  const std::vector<double> saved(r, r + size);
  const auto restore = [&] {
    std::copy(saved.begin(), saved.end(), r);
    return false;
  };
  double* c = work;
  double* u = work + ns;
  double* row = work + 2 * ns;
  if (scale != 1.0) {
    const double root = std::sqrt(scale);
    for (int k = 0; k < size; ++k) r[k] *= root;
  }
  // A factor whose diagonal holds a (nearly) zero entry, as an incomplete one may, is left to
  // be built again: its solves would swamp the change.
  double dmax = 0.0;
  double dmin = HUGE_VAL;
  for (int j = 1; j <= ns; ++j) {
    const double d = std::fabs(r[packed(j, j)]);
    dmax = std::max(dmax, d);
    dmin = std::min(dmin, d);
  }
  if (!(dmin > kDiagonalRatio * dmax)) return restore();
  // The gain v v' first, so that the loss w w' is taken from a matrix that can afford it: when
  // p lies in the range of Z, R'R - w w' alone is singular.
  const double vscale = 1.0 / std::sqrt(apy);
  for (int j = 0; j < ns; ++j) c[j] = zy[j] * vscale;
  if (!rank_one(ns, 1.0, c, r, u, row)) return restore();
  const double wscale = 1.0 / std::sqrt(php);
  for (int j = 0; j < ns; ++j) c[j] = zhp[j] * wscale;
  if (!rank_one(ns, -1.0, c, r, u, row)) return restore();
  // Rows of R may change sign under the rotations; R'R does not.
  for (int i = 1; i <= ns; ++i) {
    const double d = r[packed(i, i)];
    if (!std::isfinite(d) || d == 0.0) return restore();
    if (d < 0.0) {
      for (int j = i; j <= ns; ++j) r[packed(i, j)] = -r[packed(i, j)];
    }
  }
  for (int k = 0; k < size; ++k) {
    if (!std::isfinite(r[k])) return restore();
  }
  return true;
}

bool reduce_to_superbasics(int m,
                           int n,
                           int ns,
                           int nnl,
                           const int* bs_index,
                           const ColumnMatrix& a,
                           const double* v,
                           double* out,
                           double* work,
                           int* iz,
                           double* z) {
  const auto entry = [&](int j) { return j >= 1 && j <= nnl ? v[j - 1] : 0.0; };
  for (int k = 0; k < ns; ++k) out[k] = entry(bs_index[m + k]);
  if (m < 1) return true;
  double* wb = work;
  double* vb = work + m;
  for (int k = 0; k < m; ++k) wb[k] = entry(bs_index[k]);
  int inform = 0;
  solve_with_basis("Bt vB = wB", inform, m, wb, vb, iz, z);
  if (inform != 0) return false;
  multiply_columns("Transpose", 0.0, m, n, ns, bs_index + m, a, -1.0, vb, 1.0, out);
  return true;
}

bool update_reduced_hessian(int m,
                            int n,
                            int ns,
                            int nnl,
                            const int* bs_index,
                            const ColumnMatrix& a,
                            double scale,
                            double apy,
                            double php,
                            const double* y,
                            const double* hp,
                            double* r,
                            int* iz,
                            double* z) {
  if (ns < 1) return false;
  std::vector<double> zy(ns);
  std::vector<double> zhp(ns);
  std::vector<double> work(static_cast<std::size_t>(std::max(2 * m, 3 * ns)));
  if (!reduce_to_superbasics(m, n, ns, nnl, bs_index, a, y, zy.data(), work.data(), iz, z) ||
      !reduce_to_superbasics(m, n, ns, nnl, bs_index, a, hp, zhp.data(), work.data(), iz, z)) {
    return false;
  }
  return update_reduced_factor(ns, scale, apy, php, zy.data(), zhp.data(), r, work.data());
}

}  // namespace zun
