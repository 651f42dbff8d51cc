// Adding one constraint to the working set and deleting one from it.  Every rotation and
// interchange of the factors goes through the routines of the factorisation kit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "library/dense_print/dense_print.h"
#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/dense_qp/working_set.h"
#include "library/dense_qp/working_set_internal.h"
#include "library/platform/format.h"
#include "library/support/blas_lapack.h"
#include "library/support/column_major.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"
#include "library/support/output.h"

namespace zun {

namespace {

// Option words of the kit; only their first letter is read.
constexpr char kLeft[] = "Left";
constexpr char kRight[] = "Right";
constexpr char kVariable[] = "Variable";
constexpr char kForwards[] = "Forwards";
constexpr char kBackwards[] = "Backwards";
constexpr char kTranspose[] = "Transpose";
constexpr char kNormal[] = "Normal";
constexpr char kCreate[] = "Create";
constexpr char kRemove[] = "Remove";
constexpr int kWord = 1;  // the length handed with each option word

}  // namespace

namespace working_set {

void t_diagonal_range(const double* t, int ldt, int nactiv, int nfree, double& dmax, double& dmin) {
  dmax = 0.0;
  dmin = 0.0;
  if (nactiv < 1) return;
  // T(i, nfree+1-i) walks back ldt - 1 words per row; the last row's element comes first in
  // storage.
  const ColumnMajorView<const double> tm(t, ldt);
  const int stride = ldt - 1;
  abs_range(nactiv, tm.at(nactiv, nfree + 1 - nactiv), stride, dmax, dmin);
}

namespace {

void swap_r_columns_over_rank(const Factors& f, int j1, int j2) {
  const int rows = f.nrank;
  const int one = 1;
  dswap_(&rows, f.r + static_cast<std::int64_t>(j1 - 1) * f.ldr, &one,
         f.r + static_cast<std::int64_t>(j2 - 1) * f.ldr, &one);
}

void interchange_within_rank(const Factors& f, int j1, int j2) {
  interchange_r_columns(f.n, j1, j2, f.ldr, f.nres, f.n, f.r, f.res);
}

}  // namespace

void swap_basis_places(const Factors& f, int nfree, int j1, int j2, bool q_columns) {
  if (j1 == j2) return;
  const int lo = std::min(j1, j2);
  const int hi = std::max(j1, j2);
  const int one = 1;
  if (q_columns && !f.unit_q) {
    dswap_(&nfree, f.q + static_cast<std::int64_t>(lo - 1) * f.ldq, &one,
           f.q + static_cast<std::int64_t>(hi - 1) * f.ldq, &one);
  } else {
    std::swap(f.kx[lo - 1], f.kx[hi - 1]);
  }
  for (int j = 0; j < f.ngq; ++j) std::swap(f.gq[j * f.n + lo - 1], f.gq[j * f.n + hi - 1]);
  if (f.nrank < 1) return;
  // Rows beyond the rank take no part: a column beyond it is moved by a plain swap of its
  // rows 1..nrank, and a swap that crosses the rank goes through column nrank.
  if (hi <= f.nrank) {
    interchange_within_rank(f, lo, hi);
  } else if (lo >= f.nrank) {
    swap_r_columns_over_rank(f, lo, hi);
  } else {
    swap_r_columns_over_rank(f, f.nrank, hi);
    interchange_within_rank(f, lo, f.nrank);
    swap_r_columns_over_rank(f, f.nrank, hi);
  }
}

// R's columns ifix..min(rank, nfree) shift cyclically, the columns beyond the rank are
// interchanged.
void move_to_last_free_place(const Factors& f, int ifix, int nfree) {
  std::vector<double> perm(nfree);
  for (int i = 1; i <= nfree; ++i) perm[i - 1] = (i < ifix || i == nfree) ? i : i + 1;
  apply_interchanges(kLeft, kTranspose, nfree, perm.data(), f.ngq, f.gq, f.n, kWord, kWord);
  std::rotate(f.kx + (ifix - 1), f.kx + ifix, f.kx + nfree);
  if (f.nrank < 1) return;
  const int last = std::min(f.nrank, nfree);
  std::vector<double> c(f.n), s(f.n);
  shift_triangle_cyclically(kRight, f.n, ifix, last, s.data(), f.r, f.ldr, kWord);
  for (int i = ifix; i < std::min(last, nfree); ++i) perm[i - 1] = i;
  apply_interchanges(kRight, kNormal, nfree, perm.data(), f.nrank, f.r, f.ldr, kWord, kWord);
  restore_triangle(kLeft, f.n, ifix, last, c.data(), s.data(), f.r, f.ldr, kWord);
  if (f.nres > 0) {
    apply_rotation_sequence(kLeft, kVariable, kForwards, last, f.nres, ifix, last, c.data(),
                            s.data(), f.res, f.n, kWord, kWord, kWord);
  }
}

}  // namespace working_set

namespace {

namespace qw = qp_words;
using working_set::Factors;


void warn_ill_conditioned(const int* iw, int jadd) {
  const int unit = Words<const int>(iw)(qw::kPrintFile);
  write_text_line(unit, "");
  platform::Record rec(120);
  rec.text(" XXX  Serious ill-conditioning in the working set after adding constraint ").i(jadd, 5);
  write_text_line(unit, rec.str());
  write_text_line(unit, "");
}

// The rotations of planes (k, k+1), k = 1..last-1, that folded a vector into its element
// last: they go to the gradient rows, to the columns of Q (rows 1..nfree) and to R, whose
// triangle is restored by row rotations that also go to the residual rows.  R's rows beyond
// its rank take no part.  c and s are overwritten.
void rotate_basis_forwards(const Factors& f, int last, int nfree, double* c, double* s) {
  if (last < 2) return;
  const int first = 1;
  apply_rotation_sequence(kLeft, kVariable, kForwards, last, f.ngq, first, last, c, s, f.gq, f.n,
                          kWord, kWord, kWord);
  apply_rotation_sequence(kRight, kVariable, kForwards, nfree, last, first, last, c, s, f.q, f.ldq,
                          kWord, kWord, kWord);
  if (f.nrank < 1) return;
  const int k2 = std::min(f.nrank, last);
  apply_rotations_to_triangle(kRight, f.n, first, k2, c, s, f.r, f.ldr, kWord);
  apply_rotation_sequence(kRight, kVariable, kForwards, k2, last, k2, last, c, s, f.r, f.ldr,
                          kWord, kWord, kWord);
  restore_triangle(kLeft, f.n, first, k2, c, s, f.r, f.ldr, kWord);
  if (f.nres > 0) {
    apply_rotation_sequence(kLeft, kVariable, kForwards, k2, f.nres, first, k2, c, s, f.res, f.n,
                            kWord, kWord, kWord);
  }
}

// Rotations of planes (k, k+1), k = 1..count-1, that fold w(1..count) into w(count).
void fold_into_last(int count, double* w, double* c, double* s) {
  const int folded = count - 1;
  const int one = 1;
  generate_rotation_sequence(kVariable, kForwards, folded, w[count - 1], w, one, c, s, kWord,
                             kWord);
}

// The extreme magnitudes on T's diagonal after a change, and the condition estimate of T.
struct TExtremes {
  double largest = 0.0;
  double smallest = 0.0;
  double estimate = 0.0;
};

// Stores the extremes in words 252 and 253; warns when the estimate is at least 1 / (word 250).
void accept_extremes(const TExtremes& e, int msglvl, const int* iw, Words<double> rw, int jadd) {
  rw(qw::kLargestTDiagonal) = e.largest;
  rw(qw::kSmallestTDiagonal) = e.smallest;
  if (e.estimate >= 1.0 / rw(qw::kPivotFactor) && msglvl > 0) warn_ill_conditioned(iw, jadd);
}

void make_q_explicit(Factors& f, Logical& unitq, int nfree) {
  const ColumnMajor qm(f.q, f.ldq);
  for (int j = 1; j <= nfree; ++j) {
    for (int i = 1; i <= nfree; ++i) qm(i, j) = (i == j) ? 1.0 : 0.0;
  }
  f.unit_q = false;
  unitq = kFalse;
}

// Sizes of the working set before a change.
struct Sizes {
  int nactiv;
  int nz;
  int nfree;
};

// Adds the general row iadd: its part in the null space is rotated into its last element,
// which becomes the new diagonal of T.
void add_general_row(Factors& f,
                     Logical& unitq,
                     int& inform,
                     const Sizes& z,
                     int iadd,
                     int jadd,
                     double condmx,
                     const double* a,
                     int lda,
                     double* t,
                     int ldt,
                     double* w,
                     int msglvl,
                     const int* iw,
                     Words<double> rw) {
  const int n = f.n;
  const int one = 1;
  dcopy_(&n, a + (iadd - 1), &lda, w, &one);
  constexpr int kGatherQ = 8;
  std::vector<double> work(n);
  apply_tq_factor(kGatherQ, n, z.nz, z.nfree, f.ldq, unitq, f.kx, w, f.q, work.data());
  const double d = z.nz > 0 ? dnrm2_(&z.nz, w, &one) : 0.0;
  TExtremes e{d, d, 0.0};
  int fail = 0;
  if (z.nactiv == 0) {
    e.estimate = safe_divide(rw(qw::kReferenceRowNorm), d, fail);
  } else {
    e.largest = std::max(rw(qw::kLargestTDiagonal), d);
    e.smallest = std::min(rw(qw::kSmallestTDiagonal), d);
    e.estimate = safe_divide(e.largest, e.smallest, fail);
  }
  if (fail != 0 || e.estimate > condmx || d == 0.0) {
    inform = 1;
    return;
  }
  if (f.unit_q) make_q_explicit(f, unitq, z.nfree);
  std::vector<double> c(n), s(n);
  fold_into_last(z.nz, w, c.data(), s.data());
  rotate_basis_forwards(f, z.nz, z.nfree, c.data(), s.data());
  const ColumnMajor tm(t, ldt);
  const int row = z.nactiv + 1;
  for (int i = 1; i <= z.nactiv; ++i) tm(i, z.nz) = 0.0;
  for (int j = z.nz; j <= z.nfree; ++j) tm(row, j) = w[j - 1];
  inform = 0;
  accept_extremes(e, msglvl, iw, rw, jadd);
}

// Q explicit: row ifix of Q moves to row nfree (with its VarOrder entry), and the rotations
// that reduce that row to a multiple of the last unit vector go to T and to the companions.
void rotate_out_of_free_set(const Factors& f,
                            const Sizes& z,
                            int ifix,
                            double* t,
                            int ldt,
                            double* w) {
  const int nfree = z.nfree;
  const ColumnMajor qm(f.q, f.ldq);
  const int ldq = f.ldq;
  dswap_(&nfree, qm.at(ifix, 1), &ldq, qm.at(nfree, 1), &ldq);
  std::swap(f.kx[ifix - 1], f.kx[nfree - 1]);
  const int one = 1;
  dcopy_(&nfree, qm.at(nfree, 1), &ldq, w, &one);
  std::vector<double> c(f.n), s(f.n);
  fold_into_last(nfree, w, c.data(), s.data());
  if (z.nactiv >= 1) {
    // T's columns nz..nfree take the rotations of planes nz..nfree-1, each row's diagonal
    // moving one column left.  The sweep overwrites the sines it is given with those
    // diagonals, so it gets a copy: the companions still need the sines.
    const ColumnMajor tm(t, ldt);
    for (int i = 1; i <= z.nactiv; ++i) tm(i, z.nz) = 0.0;
    std::vector<double> sines(s);
    rotate_reverse_triangle(kCreate, nfree, z.nactiv, z.nz, nfree, c.data(), sines.data(), t, ldt,
                            kWord);
  }
  rotate_basis_forwards(f, nfree, nfree, c.data(), s.data());
  // Q's row nfree is now -e' or e': with -e' the variable's column of R and its gradient rows
  // change sign, so that its basis vector is its own unit vector.
  if (w[nfree - 1] < 0.0) {
    const int rows = std::min(f.nrank, nfree);
    const ColumnMajor rm(f.r, f.ldr);
    for (int i = 1; i <= rows; ++i) rm(i, nfree) = -rm(i, nfree);
    for (int j = 0; j < f.ngq; ++j) f.gq[j * f.n + nfree - 1] = -f.gq[j * f.n + nfree - 1];
  }
}

// Adds the bound of the variable at place ifix of VarOrder: it leaves the free set at place
// nfree.
void add_bound(const Factors& f,
               int& inform,
               const Sizes& z,
               int ifix,
               int jadd,
               double condmx,
               double* t,
               int ldt,
               double* w,
               int msglvl,
               const int* iw,
               Words<double> rw) {
  if (f.unit_q) {
    move_to_last_free_place(f, ifix, z.nfree);
  } else {
    if (z.nactiv > 0 && z.nz < 1) {
      inform = 1;
      return;
    }
    rotate_out_of_free_set(f, z, ifix, t, ldt, w);
  }
  f.kx[z.nfree - 1] = jadd;
  if (z.nactiv < 1) return;
  TExtremes e;
  working_set::t_diagonal_range(t, ldt, z.nactiv, z.nfree - 1, e.largest, e.smallest);
  int fail = 0;
  e.estimate = safe_divide(e.largest, e.smallest, fail);
  if (fail != 0 || e.estimate >= condmx) {
    inform = 1;
    return;
  }
  inform = 0;
  accept_extremes(e, msglvl, iw, rw, jadd);
}

// T whose rows first..nactiv hold one element left of their diagonal (in column nfree - i):
// the rotations of planes nz..nfree-first that remove it go to Q, the gradient rows, and R,
// whose triangle is restored by row rotations that also go to the residual rows.
void remove_t_spike(const Factors& f, const Sizes& z, int first, double* t, int ldt) {
  const int k1 = z.nz;
  const int k2 = z.nfree - first + 1;
  if (z.nactiv < 1 || k1 >= k2) return;
  std::vector<double> c(f.n), s(f.n);
  rotate_reverse_triangle(kRemove, z.nfree, z.nactiv, k1, k2, c.data(), s.data(), t, ldt, kWord);
  if (!f.unit_q) {
    apply_rotation_sequence(kRight, kVariable, kBackwards, z.nfree, k2, k1, k2, c.data(), s.data(),
                            f.q, f.ldq, kWord, kWord, kWord);
  }
  apply_rotation_sequence(kLeft, kVariable, kBackwards, k2, f.ngq, k1, k2, c.data(), s.data(), f.gq,
                          f.n, kWord, kWord, kWord);
  if (f.nrank < 1) return;
  const int k = std::min(f.nrank, k2);
  apply_rotation_sequence(kRight, kVariable, kBackwards, k, k2, std::max(k, k1), k2, c.data(),
                          s.data(), f.r, f.ldr, kWord, kWord, kWord);
  if (k1 >= k) return;
  retriangulate_spike(kRight, k, k1, k, c.data(), s.data(), f.r, f.ldr, kWord);
  const int beyond = f.n - k;
  if (beyond > 0) {
    apply_rotation_sequence(kLeft, kVariable, kBackwards, k, beyond, k1, k, c.data(), s.data(),
                            f.r + static_cast<std::int64_t>(k) * f.ldr, f.ldr, kWord, kWord,
                            kWord);
  }
  if (f.nres > 0) {
    apply_rotation_sequence(kLeft, kVariable, kBackwards, k, f.nres, k1, k, c.data(), s.data(),
                            f.res, f.n, kWord, kWord, kWord);
  }
}

// The null-space direction to enter Rz: -jdel for an artificial constraint, else the one of
// largest |gradient| among nzr+1..nz (0 when there is none).
int entering_direction(int jdel, int nzr, int nz, const double* gq) {
  if (jdel < 1) return -jdel;
  const int count = nz - nzr;
  if (count < 1) return 0;
  const int one = 1;
  return nzr + idamax_(&count, gq + nzr, &one);
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
  Factors f{n, nrank, is_true(unitq), kx, q, ldq, r, ldr, gq, ngq, res, nres};
  const Sizes z{nactiv, nz, nfree};
  inform = 0;
  if (jadd > n) {
    add_general_row(f, unitq, inform, z, iadd, jadd, condmx, a, lda, t, ldt, w, msglvl, iw,
                    Words<double>(rw));
  } else {
    add_bound(f, inform, z, ifix, jadd, condmx, t, ldt, w, msglvl, iw, Words<double>(rw));
  }
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
  const Factors f{n, nrank, is_true(unitq), kx, q, ldq, r, ldr, gq, ngq, res, nres};
  const ColumnMajor tm(t, ldt);
  int spike_from = 0;
  if (jdel > n) {
    for (int i = kdel; i < nactiv; ++i) {
      kactiv[i - 1] = kactiv[i];
      for (int j = nz + 1; j <= nfree; ++j) tm(i, j) = tm(i + 1, j);
    }
    --nactiv;
    spike_from = kdel;
  } else if (jdel >= 1) {
    int place = nfree + 1;
    for (int i = nfree + 1; i <= n; ++i) {
      if (kx[i - 1] == jdel) place = i;
    }
    ++nfree;
    working_set::swap_basis_places(f, nfree, place, nfree, false);
    if (!f.unit_q) {
      const ColumnMajor qm(q, ldq);
      for (int i = 1; i < nfree; ++i) {
        qm(i, nfree) = 0.0;
        qm(nfree, i) = 0.0;
      }
      qm(nfree, nfree) = 1.0;
      const ColumnMajorView<const double> am(a, lda);
      for (int i = 1; i <= nactiv; ++i) tm(i, nfree) = am(kactiv[i - 1], jdel);
      spike_from = 1;
    }
  }
  if (jdel >= 1) {
    ++nz;
    if (spike_from >= 1) remove_t_spike(f, Sizes{nactiv, nz, nfree}, spike_from, t, ldt);
    double dmax = 1.0;
    double dmin = 1.0;
    if (nactiv > 0) working_set::t_diagonal_range(t, ldt, nactiv, nfree, dmax, dmin);
    Words<double> w(rw);
    w(qp_words::kLargestTDiagonal) = dmax;
    w(qp_words::kSmallestTDiagonal) = dmin;
  }
  const int enter = entering_direction(jdel, nzr, nz, gq);
  if (enter >= nzr + 1 && enter <= nz) {
    working_set::swap_basis_places(f, nfree, enter, nzr + 1, true);
    ++nzr;
  }
}

}  // namespace zun
