// Products and solves with the TQ factors, the initial working set, the reordering of fixed
// variables, and moving x onto the working set.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/dense_qp/working_set.h"
#include "library/dense_qp/working_set_internal.h"
#include "library/support/blas_lapack.h"
#include "library/support/column_major.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"

namespace zun {

namespace {

double element(const double* a, int lda, int i, int j) {
  return a[(i - 1) + static_cast<std::int64_t>(j - 1) * lda];
}

// The bound a working constraint is held at: bu for status 2 and 3, otherwise bl.
double held_bound(int status, double lower, double upper) {
  return (status == 2 || status == 3) ? upper : lower;
}

}  // namespace

void apply_tq_factor(const int& mode,
                     const int& n,
                     const int& nz,
                     const int& nfree,
                     const int& ldq,
                     const Logical& unitq,
                     const int* kx,
                     double* v,
                     const double* q,
                     double* work) {
  const bool unit = is_true(unitq);
  const ColumnMajorView<const double> qm(q, ldq);
  if (mode >= 1 && mode <= 3) {
    const int lo = (mode == 2) ? nz + 1 : 1;
    const int hi = (mode == 1) ? nz : nfree;
    for (int i = 1; i <= nfree; ++i) {
      double sum = 0.0;
      if (unit) {
        sum = (i >= lo && i <= hi) ? v[i - 1] : 0.0;
      } else {
        for (int j = lo; j <= hi; ++j) sum += qm(i, j) * v[j - 1];
      }
      work[i - 1] = sum;
    }
    for (int i = nfree + 1; i <= n; ++i) work[i - 1] = (mode == 1) ? 0.0 : v[i - 1];
    for (int i = 1; i <= n; ++i) v[kx[i - 1] - 1] = work[i - 1];
    return;
  }
  for (int i = 1; i <= n; ++i) work[i - 1] = v[kx[i - 1] - 1];
  const int lo = (mode == 5 || mode == 7) ? nz + 1 : 1;
  const int hi = (mode == 4) ? nz : nfree;
  for (int j = lo; j <= hi; ++j) {
    double sum = 0.0;
    if (unit) {
      sum = work[j - 1];
    } else {
      for (int i = 1; i <= nfree; ++i) sum += qm(i, j) * work[i - 1];
    }
    v[j - 1] = sum;
  }
  if (mode == 5 || mode == 6) {
    for (int i = nfree + 1; i <= n; ++i) v[i - 1] = work[i - 1];
  }
}

void solve_with_t(const int& mode, const int& ldt, const int& nactiv, const double* t, double* b) {
  if (nactiv < 1) return;
  const int m = nactiv;
  std::vector<double> y(m, 0.0);
  if (mode == 1) {
    // Row i of the block has its diagonal in column m + 1 - i.
    for (int i = 1; i <= m; ++i) {
      const int j0 = m + 1 - i;
      double sum = b[i - 1];
      for (int j = j0 + 1; j <= m; ++j) sum -= element(t, ldt, i, j) * y[j - 1];
      y[j0 - 1] = sum / element(t, ldt, i, j0);
    }
  } else {
    for (int j = 1; j <= m; ++j) {
      const int i0 = m + 1 - j;
      double sum = b[j - 1];
      for (int i = i0 + 1; i <= m; ++i) sum -= element(t, ldt, i, j) * y[i - 1];
      y[i0 - 1] = sum / element(t, ldt, i0, j);
    }
  }
  std::copy(y.begin(), y.end(), b);
}

void add_initial_working_set(Logical& unitq,
                             const int& ioption,
                             int& inform,
                             const int& k1,
                             const int& k2,
                             int& nactiv,
                             int& nartif,
                             int& nz,
                             int& nfree,
                             const int& nrank,
                             int& nrejtd,
                             const int& nres,
                             const int& ngq,
                             const int& n,
                             const int& lda,
                             const int& ldq,
                             const int& ldr,
                             const int& ldt,
                             int* istate,
                             int* kactiv,
                             int* kx,
                             const double& condmx,
                             const double* a,
                             double* r,
                             double* t,
                             double* res,
                             double* gq,
                             double* q,
                             double* w,
                             const int& msglvl,
                             const int* iw,
                             double* rw) {
  Words<double> rs(rw);
  if (nactiv == 0) {
    rs(qp_words::kLargestTDiagonal) = 0.0;
    rs(qp_words::kSmallestTDiagonal) = 1.0;
  } else {
    double dmax = 0.0;
    double dmin = 0.0;
    working_set::t_diagonal_range(t, ldt, nactiv, nfree, dmax, dmin);
    rs(qp_words::kLargestTDiagonal) = dmax;
    rs(qp_words::kSmallestTDiagonal) = dmin;
  }
  std::vector<int> accepted;
  std::vector<int> rejected;
  for (int k = k1; k <= k2; ++k) {
    const int row = kactiv[k - 1];
    int added = 1;
    if (nactiv < nfree) {
      const int jadd = n + row;
      const int no_place = 0;
      add_to_working_set(unitq, added, no_place, row, jadd, nactiv, nz, nfree, nrank, nres, ngq, n,
                         lda, ldq, ldr, ldt, kx, condmx, a, r, t, res, gq, q, w, msglvl, iw, rw);
    }
    if (added == 0) {
      ++nactiv;
      --nz;
      accepted.push_back(row);
    } else {
      istate[n + row - 1] = 0;
      rejected.push_back(-row);
    }
  }
  int place = k1;
  for (int row : accepted) kactiv[place++ - 1] = row;
  for (int row : rejected) kactiv[place++ - 1] = row;
  nrejtd = k2 - nactiv;
  inform = 0;
  if ((ioption & 1) == 0 || nactiv >= k2) return;
  // Fix nz more variables: with Q explicit the one whose row of Z is largest, else the last
  // free one.
  const double limit = std::sqrt(1.0 / smallest_normal());
  const ColumnMajor qm(q, ldq);
  while (nz > 0) {
    int ifix = nfree;
    if (!is_true(unitq)) {
      double best = -1.0;
      for (int i = 1; i <= nfree; ++i) {
        double sum = 0.0;
        for (int j = 1; j <= nz; ++j) sum += qm(i, j) * qm(i, j);
        if (sum > best) {
          best = sum;
          ifix = i;
        }
      }
    }
    const int jadd = kx[ifix - 1];
    int status = 0;
    add_to_working_set(unitq, status, ifix, 0, jadd, nactiv, nz, nfree, nrank, nres, ngq, n, lda,
                       ldq, ldr, ldt, kx, limit, a, r, t, res, gq, q, w, msglvl, iw, rw);
    istate[jadd - 1] = 4;
    --nfree;
    --nz;
    ++nartif;
  }
}

void fix_bound_variables(const Logical& unitq,
                         int& inform,
                         int& nz,
                         int& nfree,
                         const int& nrank,
                         const int& nres,
                         const int& ngq,
                         const int& n,
                         const int& ldr,
                         const int* istate,
                         int* kx,
                         double* r,
                         double* res,
                         double* gq) {
  int fixed = 0;
  for (int j = 1; j <= n; ++j) {
    if (istate[j - 1] > 0) ++fixed;
  }
  const int no_ldq = 1;
  const working_set::Factors f{n, nrank, is_true(unitq), kx, nullptr, no_ldq, r, ldr, gq, ngq,
                               res, nres};
  if (nrank > 0 && nrank < n) {
    // Each fixed variable, from the last one down, leaves the free set as a bound would.
    nfree = n;
    for (int j = n; j >= 1 && nfree > n - fixed; --j) {
      if (istate[j - 1] <= 0) continue;
      int place = nfree;
      while (place > 1 && kx[place - 1] != j) --place;
      working_set::move_to_last_free_place(f, place, nfree);
      kx[nfree - 1] = j;
      --nfree;
    }
  } else {
    // Each free place holding a fixed variable swaps with the next fixed place holding a free
    // one.
    nfree = n - fixed;
    int next = nfree + 1;
    for (int place = 1; place <= nfree; ++place) {
      if (istate[kx[place - 1] - 1] <= 0) continue;
      while (next <= n && istate[kx[next - 1] - 1] > 0) ++next;
      if (next > n) break;
      working_set::swap_basis_places(f, nfree, place, next, false);
      ++next;
    }
  }
  nz = nfree;
  inform = 0;
}

void move_onto_working_set(const Logical& linobj,
                           Logical& rowerr,
                           const Logical& unitq,
                           const int& nclin,
                           const int& nactiv,
                           const int& nfree,
                           const int& nrank,
                           const int& nz,
                           const int& n,
                           const int& lda,
                           const int& ldq,
                           const int& ldr,
                           const int& ldt,
                           const int* istate,
                           const int* kactiv,
                           const int* kx,
                           int& jmax,
                           double& errmax,
                           double& ctx,
                           double& xnorm,
                           const double* a,
                           double* ax,
                           const double* bl,
                           const double* bu,
                           const double* cq,
                           double* res,
                           const double* res0,
                           const double* featol,
                           const double* r,
                           const double* t,
                           double* x,
                           const double* q,
                           double* work) {
  for (int i = nfree + 1; i <= n; ++i) {
    const int j = kx[i - 1];
    const int status = istate[j - 1];
    if (status == 4) continue;
    x[j - 1] = held_bound(status, bl[j - 1], bu[j - 1]);
  }
  const int one = 1;
  const double zero = 0.0;
  const double plus = 1.0;
  const int lda_used = std::max(lda, 1);
  auto recompute_rows = [&] {
    if (nclin > 0) {
      dgemv_("N", &nclin, &n, &plus, a, &lda_used, x, &one, &zero, ax, &one, 1);
    }
  };
  // Residuals of the working rows into work(1..nactiv); returns whether all are within their
  // tolerances, with the largest one.
  auto working_residuals = [&] {
    bool within = true;
    jmax = 0;
    errmax = 0.0;
    for (int i = 1; i <= nactiv; ++i) {
      const int k = kactiv[i - 1];
      const int jc = n + k;
      const double e = held_bound(istate[jc - 1], bl[jc - 1], bu[jc - 1]) - ax[k - 1];
      work[i - 1] = e;
      if (std::fabs(e) > errmax) {
        errmax = std::fabs(e);
        jmax = jc;
      }
      if (std::fabs(e) > featol[jc - 1]) within = false;
    }
    return within;
  };
  recompute_rows();
  bool within = working_residuals();
  double* step = work + n;
  // The first round runs even when every residual is within its tolerance, so that the working
  // rows hold to rounding: a warm start that leaves them off by up to the tolerance lets a
  // caller's rows drift that far from one solve to the next.
  for (int round = 1; round <= 5 && nactiv > 0 && (round == 1 || !within); ++round) {
    solve_with_t(1, ldt, nactiv, t + static_cast<std::int64_t>(nz) * ldt, work);
    std::fill(step, step + n, 0.0);
    for (int i = 1; i <= nactiv; ++i) step[nz + i - 1] = work[i - 1];
    apply_tq_factor(2, n, nz, nfree, ldq, unitq, kx, step, q, work);
    for (int j = 1; j <= n; ++j) x[j - 1] += step[j - 1];
    recompute_rows();
    within = working_residuals();
  }
  rowerr = within ? kFalse : kTrue;
  xnorm = dnrm2_(&n, x, &one);
  ctx = 0.0;
  if (nrank < 1 && !is_true(linobj)) return;
  std::copy(x, x + n, step);
  apply_tq_factor(6, n, nz, nfree, ldq, unitq, kx, step, q, work);
  if (is_true(linobj)) ctx = ddot_(&n, cq, &one, step, &one);
  if (nrank < 1) return;
  const ColumnMajorView<const double> rm(r, ldr);
  for (int i = 1; i <= nrank; ++i) {
    double sum = 0.0;
    for (int j = i; j <= n; ++j) sum += rm(i, j) * step[j - 1];
    res[i - 1] = res0[i - 1] - sum;
  }
}

void compute_range_space_step(const Logical& unitq,
                              const int& n,
                              const int& nclin,
                              const int& nactiv,
                              const int& nfree,
                              const int& nz,
                              const int& lda,
                              const int& ldq,
                              const int& ldt,
                              const int* istate,
                              const int* kactiv,
                              const int* kx,
                              const double* a,
                              const double* ax,
                              const double* bl,
                              const double* bu,
                              const double* x,
                              const double* t,
                              const double* q,
                              double* p,
                              double* ap,
                              double* work) {
  std::fill(p, p + n, 0.0);
  for (int i = nfree + 1; i <= n; ++i) {
    const int j = kx[i - 1];
    const int status = istate[j - 1];
    if (status != 4) p[j - 1] = held_bound(status, bl[j - 1], bu[j - 1]) - x[j - 1];
  }
  double* y = work + n;
  for (int i = 1; i <= nactiv; ++i) {
    const int k = kactiv[i - 1];
    const int jc = n + k;
    double e = held_bound(istate[jc - 1], bl[jc - 1], bu[jc - 1]) - ax[k - 1];
    for (int j = 1; j <= n; ++j) e -= element(a, lda, k, j) * p[j - 1];
    y[i - 1] = e;
  }
  if (nactiv > 0) {
    solve_with_t(1, ldt, nactiv, t + static_cast<std::int64_t>(nz) * ldt, y);
    std::vector<double> v(n, 0.0);
    for (int i = 1; i <= nactiv; ++i) v[nz + i - 1] = y[i - 1];
    apply_tq_factor(2, n, nz, nfree, ldq, unitq, kx, v.data(), q, work);
    for (int j = 1; j <= n; ++j) p[j - 1] += v[j - 1];
  }
  for (int k = 1; k <= nclin; ++k) {
    double sum = 0.0;
    for (int j = 1; j <= n; ++j) sum += element(a, lda, k, j) * p[j - 1];
    ap[k - 1] = sum;
  }
}

}  // namespace zun
