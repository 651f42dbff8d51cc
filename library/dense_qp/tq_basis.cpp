// Elementary changes of the working set's basis: rotations, interchanges and sign changes that
// keep Q, T, R and the companion columns consistent.
#include "library/dense_qp/tq_basis.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zun::tq {

namespace {

void rotate_pair(double c, double s, double& x, double& y) {
  const double t = c * x + s * y;
  y = c * y - s * x;
  x = t;
}

}  // namespace

void anti_diagonal_range(const Mat& t, int nactiv, int nfree, double& dmax, double& dmin) {
  dmax = 0.0;
  dmin = 0.0;
  for (int i = 1; i <= nactiv; ++i) {
    const double d = std::fabs(t(i, nfree + 1 - i));
    dmax = (i == 1) ? d : std::max(dmax, d);
    dmin = (i == 1) ? d : std::min(dmin, d);
  }
}

void rotation_into_second(double a, double b, double& c, double& s) {
  const double h = std::hypot(a, b);
  if (h == 0.0) {
    c = 1.0;
    s = 0.0;
    return;
  }
  c = b / h;
  s = -a / h;
}

void Basis::restore_subdiagonal(int k) const {
  if (k + 1 > nrank) return;
  const double a = r(k, k);
  const double b = r(k + 1, k);
  const double h = std::hypot(a, b);
  if (h == 0.0) return;
  const double cr = a / h;
  const double sr = b / h;
  r(k, k) = h;
  r(k + 1, k) = 0.0;
  for (int j = k + 1; j <= n; ++j) rotate_pair(cr, sr, r(k, j), r(k + 1, j));
  for (int j = 0; j < nres; ++j) rotate_pair(cr, sr, res[j * n + k - 1], res[j * n + k]);
}

void Basis::rotate(int k, double c, double s, bool on_t) const {
  if (c == 1.0 && s == 0.0) return;
  if (!unit_q) {
    for (int i = 1; i <= nfree; ++i) rotate_pair(c, s, q(i, k), q(i, k + 1));
  }
  for (int j = 0; j < ngq; ++j) rotate_pair(c, s, gq[j * n + k - 1], gq[j * n + k]);
  if (on_t) {
    for (int i = 1; i <= nactiv; ++i) rotate_pair(c, s, t(i, k), t(i, k + 1));
  }
  if (nrank < 1) return;
  const int last_row = std::min(k + 1, nrank);
  for (int i = 1; i <= last_row; ++i) rotate_pair(c, s, r(i, k), r(i, k + 1));
  restore_subdiagonal(k);
}

void Basis::swap_adjacent(int k, bool q_columns) const {
  if (q_columns && !unit_q) {
    for (int i = 1; i <= nfree; ++i) std::swap(q(i, k), q(i, k + 1));
  } else {
    std::swap(kx[k - 1], kx[k]);
  }
  for (int j = 0; j < ngq; ++j) std::swap(gq[j * n + k - 1], gq[j * n + k]);
  if (nrank < 1) return;
  const int last_row = std::min(k + 1, nrank);
  for (int i = 1; i <= last_row; ++i) std::swap(r(i, k), r(i, k + 1));
  restore_subdiagonal(k);
}

void Basis::swap_places(int j1, int j2, bool q_columns) const {
  if (j1 == j2) return;
  const int lo = std::min(j1, j2);
  const int hi = std::max(j1, j2);
  for (int k = hi - 1; k >= lo; --k) swap_adjacent(k, q_columns);
  for (int k = lo + 1; k < hi; ++k) swap_adjacent(k, q_columns);
}

void Basis::negate(int k, bool on_t) const {
  if (!unit_q) {
    for (int i = 1; i <= nfree; ++i) q(i, k) = -q(i, k);
  }
  for (int j = 0; j < ngq; ++j) gq[j * n + k - 1] = -gq[j * n + k - 1];
  if (on_t) {
    for (int i = 1; i <= nactiv; ++i) t(i, k) = -t(i, k);
  }
  const int last_row = std::min(k, nrank);
  for (int i = 1; i <= last_row; ++i) r(i, k) = -r(i, k);
}

void Basis::make_q_explicit() {
  for (int j = 1; j <= nfree; ++j) {
    for (int i = 1; i <= nfree; ++i) q(i, j) = (i == j) ? 1.0 : 0.0;
  }
  unit_q = false;
}

}  // namespace zun::tq
