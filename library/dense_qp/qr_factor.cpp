// Householder QR factorisation: the core form with column interchanges, the blocked form
// through DGEQRF with its unblocked fallback, the application of the reflections, and two
// measures of a vector used on the diagonal of R.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/kit_internal.h"
#include "library/support/blas_lapack.h"
#include "library/support/machine.h"

namespace zun {

using dense_kit::ColumnMajor;
using dense_kit::option_letter;
using dense_kit::Strided;

namespace {

// A remaining-norm estimate is recomputed when its downdate would lose about two digits.
constexpr double kNormDowndateGuard = 0.01;

// The pivot column of step k without "C": at step 1 the first column with a nonzero reference
// norm; later the largest ratio of running to reference norm.  A column whose reference norm
// is zero is never chosen and never divided by; column k when none qualifies.
int relative_norm_pivot(int k, int n, const double* running, const double* reference) {
  if (k == 1) {
    for (int j = 1; j <= n; ++j) {
      if (reference[j - 1] > 0.0) return j;
    }
    return 1;
  }
  int pivot = k;
  double best = 0.0;
  for (int j = k; j <= n; ++j) {
    if (reference[j - 1] <= 0.0) continue;
    const double ratio = running[j - 1] / reference[j - 1];
    if (ratio > best) {
      best = ratio;
      pivot = j;
    }
  }
  return pivot;
}

// Downdates the running norms of columns k+1..n after row k of R has been formed.
void downdate_column_norms(
    const ColumnMajor& a, int m, int n, int k, double* running, const double* reference) {
  for (int j = k + 1; j <= n; ++j) {
    const double r = running[j - 1];
    if (r == 0.0) continue;
    const double t = std::fabs(a(k, j)) / r;
    const double f = std::max(0.0, (1.0 - t) * (1.0 + t));
    const double ref = reference[j - 1];
    const bool recompute =
        ref <= 0.0 || 1.0 + kNormDowndateGuard * f * (r / ref) * (r / ref) == 1.0;
    if (!recompute) {
      running[j - 1] = r * std::sqrt(f);
    } else if (k < m) {
      const int rows = m - k;
      const int one = 1;
      running[j - 1] = dnrm2_(&rows, a.at(k + 1, j), &one);
    } else {
      running[j - 1] = 0.0;
    }
  }
}

// Forms reflection k from A(k..m, k) with tolerance tol and applies it to columns k+1..n,
// with zeta(k+1..n) as work.
void reflect_column(const ColumnMajor& a, int m, int n, int lda, int k, double tol, double* zeta) {
  if (k >= m) {
    zeta[k - 1] = 0.0;
    return;
  }
  const int len = m - k;
  const int one = 1;
  generate_reflection(len, a(k, k), a.at(k + 1, k), one, tol, zeta[k - 1]);
  if (k < n && zeta[k - 1] > 0.0) {
    dense_kit::apply_reflection(m - k + 1, n - k, zeta[k - 1], a.at(k + 1, k), a.at(k, k + 1), lda,
                                zeta + k);
  }
}

}  // namespace

void factor_qr_core(const char* pivot,
                    const int& m,
                    const int& n,
                    double* a,
                    const int& lda,
                    double* zeta,
                    int* perm,
                    double* work,
                    int pivot_len) {
  if (m < 1 || n < 1) return;
  const ColumnMajor mat(a, lda);
  const bool largest_norm = option_letter(pivot, pivot_len) == 'C';
  double* running = work;
  double* reference = work + n;
  const int one = 1;
  for (int j = 1; j <= n; ++j) {
    running[j - 1] = dnrm2_(&m, mat.at(1, j), &one);
    reference[j - 1] = running[j - 1];
  }
  const double eps = machine_precision();
  const int steps = std::min(m, n);
  for (int k = 1; k <= steps; ++k) {
    int p = k;
    if (largest_norm) {
      const int len = n - k + 1;
      int pos = 0;
      double value = 0.0;
      find_max_value(len, running + (k - 1), one, pos, value);
      p = k - 1 + std::max(pos, 1);
    } else {
      p = relative_norm_pivot(k, n, running, reference);
    }
    perm[k - 1] = p;
    if (p != k) {
      dswap_(&m, mat.at(1, p), &one, mat.at(1, k), &one);
      std::swap(reference[p - 1], reference[k - 1]);
      running[p - 1] = running[k - 1];
    }
    reflect_column(mat, m, n, lda, k, eps * reference[k - 1], zeta);
    downdate_column_norms(mat, m, n, k, running, reference);
  }
  for (int j = steps + 1; j <= n; ++j) zeta[j - 1] = 0.0;
}

namespace dense_kit {

bool factor_qr_blocked(int m, int n, double* a, int lda, double* zeta) {
  int info = 0;
  int query = -1;
  double optimal = 0.0;
  dgeqrf_(&m, &n, a, &lda, zeta, &optimal, &query, &info);
  int lwork = std::max(1, static_cast<int>(optimal));
  std::unique_ptr<double[]> work(new (std::nothrow) double[lwork]);
  if (!work) return false;
  dgeqrf_(&m, &n, a, &lda, zeta, work.get(), &lwork, &info);
  work.reset();
  // DGEQRF's reflection I - tau v v' (v(1) = 1) is I - u u' with u = sqrt(tau) v.
  const ColumnMajor mat(a, lda);
  const int steps = std::min(m, n);
  for (int k = 1; k <= steps; ++k) {
    const double root = std::sqrt(zeta[k - 1]);
    zeta[k - 1] = root;
    for (int i = k + 1; i <= m; ++i) mat(i, k) *= root;
  }
  for (int j = steps + 1; j <= n; ++j) zeta[j - 1] = 0.0;
  return true;
}

void factor_qr_unblocked(int m, int n, double* a, int lda, double* zeta) {
  const ColumnMajor mat(a, lda);
  const int steps = std::min(m, n);
  for (int k = 1; k <= steps; ++k) reflect_column(mat, m, n, lda, k, 0.0, zeta);
  for (int j = steps + 1; j <= n; ++j) zeta[j - 1] = 0.0;
}

}  // namespace dense_kit

void factor_qr(const int& m, const int& n, double* a, const int& lda, double* zeta) {
  if (m < 1 || n < 1 || lda < m) return;
  if (!dense_kit::factor_qr_blocked(m, n, a, lda, zeta)) {
    dense_kit::factor_qr_unblocked(m, n, a, lda, zeta);
  }
}

void apply_qr_reflections(const char* trans,
                          const char* where,
                          const int& m,
                          const int& n,
                          const int& k,
                          const double* a,
                          const int& lda,
                          const double* zeta,
                          double* b,
                          const int& ldb,
                          double* work,
                          int trans_len,
                          int where_len) {
  const int count = std::min(m - 1, n);
  if (count < 1 || k < 1) return;
  const char tr = option_letter(trans, trans_len);
  const bool transpose = tr == 'C' || tr == 'T';
  const bool separate = option_letter(where, where_len) == 'S';
  const ColumnMajor amat(const_cast<double*>(a), lda);
  const ColumnMajor bmat(b, ldb);
  for (int step = 0; step < count; ++step) {
    const int j = transpose ? step + 1 : count - step;
    const double z = separate ? zeta[j - 1] : amat(j, j);
    dense_kit::apply_reflection(m - j + 1, k, z, amat.at(j + 1, j), bmat.at(j, 1), ldb, work);
  }
}

int count_leading_significant(const int& n, const double* x, const int& incx, const double& tol) {
  if (n <= 0) return 0;
  const Strided<const double> xs(x, n, incx);
  const double factor = tol < 0.0 ? machine_precision() : tol;
  double largest = std::fabs(xs(1));
  if (largest == 0.0) return 0;
  int count = 0;
  for (int i = 1; i <= n; ++i) {
    const double v = std::fabs(xs(i));
    largest = std::max(largest, v);
    if (v <= factor * largest) break;
    ++count;
  }
  return count;
}

void abs_range(const int& n, const double* x, const int& incx, double& xmax, double& xmin) {
  xmax = 0.0;
  xmin = 0.0;
  if (n < 1) return;
  const Strided<const double> xs(x, n, incx);
  xmax = std::fabs(xs(1));
  xmin = xmax;
  for (int i = 2; i <= n; ++i) {
    const double v = std::fabs(xs(i));
    xmax = std::max(xmax, v);
    xmin = std::min(xmin, v);
  }
}

}  // namespace zun
