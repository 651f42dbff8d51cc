// Adding one constraint to the working set and deleting one from it.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/dense_print/dense_print.h"
#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/dense_qp/tq_basis.h"
#include "library/dense_qp/working_set.h"
#include "library/platform/format.h"
#include "library/support/blas_lapack.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"
#include "library/support/output.h"

namespace zun {

namespace {

namespace qw = qp_words;

tq::Basis make_basis(bool unit_q,
                     int n,
                     int nactiv,
                     int nfree,
                     int nrank,
                     int* kx,
                     double* q,
                     int ldq,
                     double* r,
                     int ldr,
                     double* t,
                     int ldt,
                     double* gq,
                     int ngq,
                     double* res,
                     int nres) {
  tq::Basis b;
  b.n = n;
  b.unit_q = unit_q;
  b.nactiv = nactiv;
  b.nfree = nfree;
  b.nz = nfree - nactiv;
  b.nrank = nrank;
  b.kx = kx;
  b.q = tq::Mat{q, ldq};
  b.r = tq::Mat{r, ldr};
  b.t = tq::Mat{t, ldt};
  b.gq = gq;
  b.ngq = ngq;
  b.res = res;
  b.nres = nres;
  return b;
}

void warn_ill_conditioned(const int* iw, int jadd) {
  const int unit = Words<const int>(iw)(qw::kPrintFile);
  write_text_line(unit, "");
  platform::Record rec(120);
  rec.text(" XXX  Serious ill-conditioning in the working set after adding constraint ").i(jadd, 5);
  write_text_line(unit, rec.str());
  write_text_line(unit, "");
}

// Rotations of the planes (k, k+1), k = 1..count-1, that fold w(1..count) into w(count); they
// go to the basis, and to T from the plane first_t on.
void fold_into_last(const tq::Basis& b, double* w, int count, int first_t) {
  for (int k = 1; k < count; ++k) {
    double c = 1.0;
    double s = 0.0;
    tq::rotation_into_second(w[k - 1], w[k], c, s);
    b.rotate(k, c, s, k >= first_t);
    w[k] = std::hypot(w[k - 1], w[k]);
    w[k - 1] = 0.0;
  }
}

// Adds the general row iadd: its part in the null space is rotated into its last element,
// which becomes the new diagonal of T.
void add_general_row(tq::Basis& b,
                     int& inform,
                     int iadd,
                     int jadd,
                     double condmx,
                     const double* a,
                     int lda,
                     double* w,
                     int msglvl,
                     const int* iw,
                     Words<double> rw) {
  const int nz = b.nz;
  for (int i = 1; i <= b.nfree; ++i) {
    w[i - 1] = a[(iadd - 1) + static_cast<std::int64_t>(b.kx[i - 1] - 1) * lda];
  }
  if (!b.unit_q) {
    std::vector<double> wq(b.nfree, 0.0);
    for (int j = 1; j <= b.nfree; ++j) {
      double sum = 0.0;
      for (int i = 1; i <= b.nfree; ++i) sum += b.q(i, j) * w[i - 1];
      wq[j - 1] = sum;
    }
    std::copy(wq.begin(), wq.end(), w);
  }
  const int one = 1;
  const double d = nz > 0 ? dnrm2_(&nz, w, &one) : 0.0;
  double dtmax = d;
  double dtmin = d;
  int fail = 0;
  double cond = 0.0;
  if (b.nactiv == 0) {
    cond = safe_divide(rw(qw::kReferenceRowNorm), d, fail);
  } else {
    dtmax = std::max(rw(qw::kLargestTDiagonal), d);
    dtmin = std::min(rw(qw::kSmallestTDiagonal), d);
    cond = safe_divide(dtmax, dtmin, fail);
  }
  if (fail != 0 || cond > condmx || d == 0.0) {
    inform = 1;
    return;
  }
  if (b.unit_q) b.make_q_explicit();
  fold_into_last(b, w, nz, nz);
  const int row = b.nactiv + 1;
  for (int i = 1; i <= b.nactiv; ++i) b.t(i, nz) = 0.0;
  for (int j = nz; j <= b.nfree; ++j) b.t(row, j) = w[j - 1];
  rw(qw::kLargestTDiagonal) = dtmax;
  rw(qw::kSmallestTDiagonal) = dtmin;
  inform = 0;
  if (cond >= 1.0 / rw(qw::kPivotFactor) && msglvl > 0) warn_ill_conditioned(iw, jadd);
}

// Adds the bound of the variable at place ifix: it moves to place nfree, and the rotations
// that make Q's last row a unit vector go to T, R and the companions.
void add_bound(tq::Basis& b,
               int& inform,
               int ifix,
               int jadd,
               double condmx,
               double* w,
               int msglvl,
               const int* iw,
               Words<double> rw) {
  const int nfree = b.nfree;
  if (b.unit_q) {
    for (int k = ifix; k < nfree; ++k) b.swap_adjacent(k, false);
  } else {
    if (b.nactiv > 0 && b.nz < 1) {
      inform = 1;
      return;
    }
    for (int j = 1; j <= nfree; ++j) std::swap(b.q(ifix, j), b.q(nfree, j));
    std::swap(b.kx[ifix - 1], b.kx[nfree - 1]);
    for (int j = 1; j <= nfree; ++j) w[j - 1] = b.q(nfree, j);
    if (b.nactiv > 0) {
      for (int i = 1; i <= b.nactiv; ++i) b.t(i, b.nz) = 0.0;
    }
    fold_into_last(b, w, nfree, b.nactiv > 0 ? b.nz : nfree + 1);
    if (b.q(nfree, nfree) < 0.0) b.negate(nfree, b.nactiv > 0);
  }
  b.kx[nfree - 1] = jadd;
  if (b.nactiv < 1) return;
  double dmax = 0.0;
  double dmin = 0.0;
  tq::anti_diagonal_range(b.t, b.nactiv, nfree - 1, dmax, dmin);
  int fail = 0;
  const double cond = safe_divide(dmax, dmin, fail);
  if (fail != 0 || cond >= condmx) {
    inform = 1;
    return;
  }
  rw(qw::kLargestTDiagonal) = dmax;
  rw(qw::kSmallestTDiagonal) = dmin;
  inform = 0;
  if (cond >= 1.0 / rw(qw::kPivotFactor) && msglvl > 0) warn_ill_conditioned(iw, jadd);
}

// Removes the spike left in rows first..nactiv of T (row i one element left of its diagonal,
// in column nfree - i) by rotations of the planes (nfree - i, nfree - i + 1).
void remove_t_spike(const tq::Basis& b, int first) {
  for (int i = first; i <= b.nactiv; ++i) {
    const int k = b.nfree - i;
    double c = 1.0;
    double s = 0.0;
    tq::rotation_into_second(b.t(i, k), b.t(i, k + 1), c, s);
    b.rotate(k, c, s, true);
    b.t(i, k) = 0.0;
  }
}

}  // namespace

void add_to_working_set(Logical& unitq,
                        int& inform,
                        const int& ifix,
                        const int& iadd,
                        const int& jadd,
                        const int& nactiv,
                        const int& nz,
                        const int& nfree,
                        const int& nrank,
                        const int& nres,
                        const int& ngq,
                        const int& n,
                        const int& lda,
                        const int& ldq,
                        const int& ldr,
                        const int& ldt,
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
  tq::Basis b = make_basis(is_true(unitq), n, nactiv, nfree, nrank, kx, q, ldq, r, ldr, t, ldt,
                           gq, ngq, res, nres);
  b.nz = nz;
  inform = 0;
  if (jadd > n) {
    add_general_row(b, inform, iadd, jadd, condmx, a, lda, w, msglvl, iw, Words<double>(rw));
  } else {
    add_bound(b, inform, ifix, jadd, condmx, w, msglvl, iw, Words<double>(rw));
  }
  unitq = b.unit_q ? kTrue : kFalse;
}

void delete_from_working_set(Logical& unitq,
                             const int& n,
                             int& nactiv,
                             int& nfree,
                             const int& nres,
                             const int& ngq,
                             int& nz,
                             int& nzr,
                             const int& lda,
                             const int& ldq,
                             const int& ldr,
                             const int& ldt,
                             const int& nrank,
                             const int& jdel,
                             const int& kdel,
                             int* kactiv,
                             int* kx,
                             const double* a,
                             double* res,
                             double* r,
                             double* t,
                             double* gq,
                             double* q,
                             double* rw) {
  Words<double> w(rw);
  tq::Basis b = make_basis(is_true(unitq), n, nactiv, nfree, nrank, kx, q, ldq, r, ldr, t, ldt,
                           gq, ngq, res, nres);
  int spike_from = 0;
  if (jdel > n) {
    for (int i = kdel; i < nactiv; ++i) {
      kactiv[i - 1] = kactiv[i];
      for (int j = nz + 1; j <= nfree; ++j) b.t(i, j) = b.t(i + 1, j);
    }
    --nactiv;
    ++nz;
    spike_from = kdel;
  } else if (jdel >= 1) {
    int place = nfree + 1;
    for (int i = nfree + 1; i <= n; ++i) {
      if (kx[i - 1] == jdel) place = i;
    }
    ++nfree;
    b.nfree = nfree;
    b.swap_places(place, nfree, false);
    if (!b.unit_q) {
      for (int i = 1; i < nfree; ++i) {
        b.q(i, nfree) = 0.0;
        b.q(nfree, i) = 0.0;
      }
      b.q(nfree, nfree) = 1.0;
      for (int i = 1; i <= nactiv; ++i) {
        b.t(i, nfree) = a[(kactiv[i - 1] - 1) + static_cast<std::int64_t>(jdel - 1) * lda];
      }
      spike_from = 1;
    }
    ++nz;
  }
  b.nactiv = nactiv;
  b.nfree = nfree;
  b.nz = nz;
  if (spike_from >= 1) remove_t_spike(b, spike_from);
  if (jdel >= 1) {
    double dmax = 1.0;
    double dmin = 1.0;
    tq::anti_diagonal_range(b.t, nactiv, nfree, dmax, dmin);
    if (nactiv == 0) dmax = dmin = 1.0;
    w(qp_words::kLargestTDiagonal) = dmax;
    w(qp_words::kSmallestTDiagonal) = dmin;
  }
  // The entering null-space direction goes to place nzr + 1.
  int enter = -jdel;
  if (jdel >= 1) {
    enter = nzr + 1;
    double best = -1.0;
    for (int i = nzr + 1; i <= nz; ++i) {
      if (std::fabs(gq[i - 1]) > best) {
        best = std::fabs(gq[i - 1]);
        enter = i;
      }
    }
  }
  if (enter >= nzr + 1 && enter <= nz) {
    b.swap_places(enter, nzr + 1, true);
    ++nzr;
  }
  unitq = b.unit_q ? kTrue : kFalse;
}

}  // namespace zun
