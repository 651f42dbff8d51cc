// Upkeep of the upper-triangular factor R: refactorisation with column interchanges, a column
// interchange, and a rank-one change, each restored to triangular form.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/kit_internal.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/support/blas_lapack.h"

namespace zun {

using dense_kit::ColumnMajor;

namespace {

// Applies the interchanges of the refactorisation to VarOrder or to the columns of Q, and to
// the companion vector.
void apply_refactor_interchanges(
    bool unitq, int nfree, int ldq, const int* perm, int* kx, double* companion, double* q) {
  const ColumnMajor qmat(q, ldq);
  const int one = 1;
  for (int i = 1; i <= nfree; ++i) {
    const int p = perm[i - 1];
    if (p <= i) continue;
    if (unitq) {
      std::swap(kx[i - 1], kx[p - 1]);
    } else {
      dswap_(&nfree, qmat.at(1, i), &one, qmat.at(1, p), &one);
    }
    std::swap(companion[i - 1], companion[p - 1]);
  }
}

// Clears column j of R above its diagonal and sets the diagonal to d.
void keep_only_diagonal(const ColumnMajor& r, int j, double d) {
  for (int i = 1; i < j; ++i) r(i, j) = 0.0;
  r(j, j) = d;
}

// ||R||_F of the upper triangle of the leading nfree columns plus (n - nfree) diagonal
// entries of value d, as a scaled sum of squares.
double frobenius_norm(const ColumnMajor& r, int n, int nfree, double d) {
  double scale = 0.0;
  double sumsq = 1.0;
  const int one = 1;
  for (int j = 1; j <= nfree; ++j) dlassq_(&j, r.at(1, j), &one, &scale, &sumsq);
  if (d != 0.0) {
    for (int j = nfree + 1; j <= n; ++j) dlassq_(&one, &d, &one, &scale, &sumsq);
  }
  return scale * std::sqrt(sumsq);
}

}  // namespace

void refactor_r_with_interchanges(const Logical& unitq,
                                  const int& n,
                                  const int& nfree,
                                  const int& ldq,
                                  const int& ldr,
                                  int& nrank,
                                  int* kx,
                                  double* companion,
                                  double* r,
                                  double* q,
                                  int* iwork,
                                  double* work,
                                  double* rshared) {
  const ColumnMajor rmat(r, ldr);
  const double root_cond = rshared[qp_words::kRootConditionLimit - 1];
  if (nfree >= 2) {
    for (int j = 1; j <= nfree; ++j) {
      for (int i = j + 1; i <= nfree; ++i) rmat(i, j) = 0.0;
    }
    factor_qr_core("Column interchanges", nfree, nfree, r, ldr, work, iwork, work + nfree, 19);
    // The reflections are not kept: R alone is the result.
    for (int j = 1; j <= nfree; ++j) {
      for (int i = j + 1; i <= nfree; ++i) rmat(i, j) = 0.0;
    }
    apply_refactor_interchanges(is_true(unitq), nfree, ldq, iwork, kx, companion, q);
  }
  const int diag_stride = ldr + 1;
  nrank = count_leading_significant(nfree, r, diag_stride, 1.0 / root_cond);
  const double r11 = (n >= 1) ? std::fabs(rmat(1, 1)) : 0.0;
  for (int j = nrank + 1; j <= nfree; ++j) keep_only_diagonal(rmat, j, r11 / root_cond);
  double fixed_diag = 1.0;
  if (nfree > 0) {
    fixed_diag = (nrank == 0) ? 0.0 : 0.5 * std::sqrt(std::fabs(rmat(1, 1) * rmat(nrank, nrank)));
  }
  for (int j = nfree + 1; j <= n; ++j) keep_only_diagonal(rmat, j, fixed_diag);
  rshared[qp_words::kRFrobeniusNorm - 1] = frobenius_norm(rmat, n, nfree, fixed_diag);
}

void interchange_r_columns(const int& n,
                           const int& j1,
                           const int& j2,
                           const int& ldr,
                           const int& ncolc,
                           const int& ldc,
                           double* r,
                           double* c) {
  const int i = std::min(j1, j2);
  const int j = std::max(j1, j2);
  if (i < 1 || j > n || i == j) return;
  const ColumnMajor rmat(r, ldr);
  // After the swap column i holds the old column j: its rows i..j are the spike, kept in v.
  std::vector<double> v(j - i + 1);
  std::vector<double> cs(n);
  std::vector<double> sn(n);
  for (int row = 1; row < i; ++row) std::swap(rmat(row, i), rmat(row, j));
  for (int row = i; row <= j; ++row) v[row - i] = rmat(row, j);
  rmat(i, j) = rmat(i, i);
  for (int row = i + 1; row <= j; ++row) rmat(row, j) = 0.0;
  rmat(i, i) = 0.0;
  // Rotations of planes (k, j), k = j-1..i, fold the spike into row j.
  const int len = j - i;
  const int one = 1;
  generate_rotation_sequence("Fixed", "Backwards", len, v[len], v.data(), one, cs.data() + (i - 1),
                             sn.data() + (i - 1), 5, 9);
  if (ncolc >= 1) {
    apply_rotation_sequence("Left", "Bottom", "Backwards", j, ncolc, i, j, cs.data(), sn.data(), c,
                            ldc, 4, 6, 9);
  }
  create_row_spike("Left", n, i, j, cs.data(), sn.data(), r, ldr, 4);
  sn[i - 1] += v[len];
  remove_row_spike("Left", n, i, j, cs.data(), sn.data(), r, ldr, 4);
  if (ncolc >= 1) {
    apply_rotation_sequence("Left", "Bottom", "Forwards", j, ncolc, i, j, cs.data(), sn.data(), c,
                            ldc, 4, 6, 8);
  }
}

void apply_rank_one_update(const int& n,
                           const int& nu,
                           const int& ldr,
                           const int& ncolc,
                           const int& ldc,
                           double* r,
                           const double* u,
                           const double* v,
                           double* c) {
  if (n < 1 || nu < 1) return;
  const ColumnMajor rmat(r, ldr);
  // Row g is the last row of R that the change reaches.
  const int g = std::min(nu, n);
  std::vector<double> w(u, u + g);
  std::vector<double> cs(n);
  std::vector<double> sn(n);
  // Rotations of planes (k, g), k = g-1..1, fold u(1..g-1) into u(g).
  const int len = g - 1;
  const int one = 1;
  generate_rotation_sequence("Fixed", "Backwards", len, w[g - 1], w.data(), one, cs.data(),
                             sn.data(), 5, 9);
  if (ncolc >= 1 && g > 1) {
    apply_rotation_sequence("Left", "Bottom", "Backwards", g, ncolc, 1, g, cs.data(), sn.data(), c,
                            ldc, 4, 6, 9);
  }
  create_row_spike("Left", n, 1, g, cs.data(), sn.data(), r, ldr, 4);
  // Row g receives u(g) v': the spike part in sn, the rest in R.
  const double ug = w[g - 1];
  for (int k = 1; k < g; ++k) sn[k - 1] += ug * v[k - 1];
  const int tail = n - g + 1;
  daxpy_(&tail, &ug, v + (g - 1), &one, rmat.at(g, g), &ldr);
  remove_row_spike("Left", n, 1, g, cs.data(), sn.data(), r, ldr, 4);
  if (ncolc >= 1 && g > 1) {
    apply_rotation_sequence("Left", "Bottom", "Forwards", g, ncolc, 1, g, cs.data(), sn.data(), c,
                            ldc, 4, 6, 8);
  }
}

}  // namespace zun
