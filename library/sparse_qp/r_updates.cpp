// Solves with the reduced-Hessian factor R and its changes by plane rotations: the rank-one
// change of a basic/superbasic swap and the move of a column to the end.
#include <cmath>
#include <vector>

#include "library/sparse_qp/reduced_hessian.h"

namespace zun {
namespace {

// Rotates row i of R and the spike row v (n reals) so that v(i) becomes 0.
void eliminate_spike(int i, int n, double* r, double* v) {
  const double a = v[i - 1];
  const double rii = r[packed(i, i)];
  const double rr = std::sqrt(rii * rii + a * a);
  const double c = rii / rr;
  const double sn = a / rr;
  r[packed(i, i)] = rr;
  v[i - 1] = 0.0;
  for (int j = i + 1; j <= n; ++j) {
    const double rij = r[packed(i, j)];
    const double vj = v[j - 1];
    r[packed(i, j)] = c * rij + sn * vj;
    v[j - 1] = sn * rij - c * vj;
  }
}

}  // namespace

void solve_with_r(std::string_view mode, int ns, const double* r, double* v) {
  if (mode.size() >= 2 && mode[0] == 'R' && mode[1] == ' ') {
    for (int i = ns; i >= 1; --i) {
      double s = v[i - 1];
      for (int j = i + 1; j <= ns; ++j) s -= r[packed(i, j)] * v[j - 1];
      v[i - 1] = s / r[packed(i, i)];
    }
    return;
  }
  for (int j = 1; j <= ns; ++j) {
    double s = v[j - 1];
    for (int i = 1; i < j; ++i) s -= r[packed(i, j)] * v[i - 1];
    v[j - 1] = s / r[packed(j, j)];
  }
}

void rotate_r_factor(int n,
                     double* r,
                     double* v,
                     const double* w,
                     int k,
                     [[maybe_unused]] double t,
                     double tol) {
  // u(k) is the weight of row k in u; each rotation folds one u(i), i < k, into it.
  const double d = v[k - 1];
  for (int j = k; j <= n; ++j) v[j - 1] = r[packed(k, j)];
  double s2 = d * d;
  double rnorm = d;
  for (int i = k - 1; i >= 1; --i) {
    const double a = v[i - 1];
    v[i - 1] = 0.0;
    if (std::abs(a) <= tol) continue;
    s2 += a * a;
    const double rnew = std::sqrt(s2);
    const double c = rnorm / rnew;
    const double sn = a / rnew;
    rnorm = rnew;
    for (int j = i; j <= n; ++j) {
      const double rij = r[packed(i, j)];
      const double vj = v[j - 1];
      v[j - 1] = sn * rij + c * vj;
      r[packed(i, j)] = sn * vj - c * rij;
    }
  }
  for (int j = 0; j < n; ++j) v[j] += rnorm * w[j];
  for (int i = 1; i < k; ++i) {
    if (std::abs(v[i - 1]) > tol) eliminate_spike(i, n, r, v);
  }
  for (int j = k; j <= n; ++j) r[packed(k, j)] = v[j - 1];
}

void update_r_on_swap(int n, double* r, double* v, const double* w, int k) {
  double t = 0.0;
  for (int i = 1; i <= k; ++i) {
    v[i - 1] = r[packed(i, k)];
    t += v[i - 1] * v[i - 1];
  }
  rotate_r_factor(n, r, v, w, k, std::sqrt(t), 0.0);
}

namespace {

// Column k1 moves left to place k2 < k1; columns k2..k1-1 move one place right.  The moved
// column, held in work (rows 1..k1), is reduced to rows 1..k2 by rotations of rows i and i+1
// from the bottom up, which fill the diagonal of the shifted columns.
void move_r_column_left(int k1, int k2, int n, double* r, double* work) {
  for (int i = 1; i <= k1; ++i) work[i - 1] = r[packed(i, k1)];
  for (int j = k1; j > k2; --j) {
    for (int i = 1; i < j; ++i) r[packed(i, j)] = r[packed(i, j - 1)];
    r[packed(j, j)] = 0.0;
  }
  for (int i = k1 - 1; i >= k2; --i) {
    const double a = work[i - 1];
    const double b = work[i];
    if (b == 0.0) continue;
    const double rr = std::sqrt(a * a + b * b);
    const double c = a / rr;
    const double sn = b / rr;
    work[i - 1] = rr;
    work[i] = 0.0;
    for (int j = i + 1; j <= n; ++j) {
      const double upper = r[packed(i, j)];
      const double lower = r[packed(i + 1, j)];
      r[packed(i, j)] = c * upper + sn * lower;
      r[packed(i + 1, j)] = c * lower - sn * upper;
    }
  }
  for (int i = 1; i <= k2; ++i) r[packed(i, k2)] = work[i - 1];
}

}  // namespace

void move_r_column(int k1, int k2, int n, double* r, double* work) {
  if (k2 < k1) {
    move_r_column_left(k1, k2, n, r, work);
    return;
  }
  if (k1 == k2) return;
  // Place j of the new order holds old column old_of(j); rows k1+1..k2 move up one row and old
  // row k1, in the new column order, becomes the spike row held in work.
  auto old_of = [&](int j) { return j < k1 || j > k2 ? j : (j == k2 ? k1 : j + 1); };
  const std::vector<double> old(r, r + n * (n + 1) / 2);
  auto old_at = [&](int i, int j) { return i <= j ? old[packed(i, j)] : 0.0; };
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) {
      const int oi = i < k1 || i > k2 ? i : (i == k2 ? 0 : i + 1);
      r[packed(i, j)] = oi == 0 ? 0.0 : old_at(oi, old_of(j));
    }
    work[j - 1] = j >= k1 ? old_at(k1, old_of(j)) : 0.0;
  }
  for (int i = k1; i < k2; ++i) {
    if (work[i - 1] != 0.0) eliminate_spike(i, n, r, work);
  }
  for (int j = k2; j <= n; ++j) r[packed(k2, j)] = work[j - 1];
}

}  // namespace zun
