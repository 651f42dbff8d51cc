// PRUNEP: replacement of one column of the sparse LU factors by a new column.
#include <algorithm>
#include <cmath>

#include "library/sparse_lu/lu_report.h"
#include "library/sparse_lu/lu_update.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun {
namespace lu {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;

// Results of the rank-tail step besides a storage shortage.
constexpr int kNoNewPivot = 0;
constexpr int kNewPivot = 1;

// Removes column jrep from the U rows down to its own row; returns its place krep in iq.
int lu_delete_column(Update& u, int jrep) {
  const Factors& f = u.f;
  for (int k = 1; k <= u.nrank; ++k) {
    const int i = f.ip[k];
    for (int l = f.locr[i]; l < f.locr[i] + f.lenr[i]; ++l) {
      if (f.indr[l] != jrep) continue;
      remove_from_u_row(u, i, l);
      u.len_u -= 1;
      break;
    }
    if (f.iq[k] == jrep) {
      pull_back_rows(u);
      return k;
    }
  }
  pull_back_rows(u);
  for (int k = u.nrank + 1; k <= f.n; ++k) {
    if (f.iq[k] == jrep) return k;
  }
  return 0;
}

// Place of column jrep in iq, searched from n down.
int find_column(const Factors& f, int jrep) {
  for (int k = f.n; k >= 1; --k) {
    if (f.iq[k] == jrep) return k;
  }
  return 0;
}

// Appends the entries v(i) > small of the U rows as column jrep; returns klast (0 when none)
// or -1 on a storage shortage.
int lu_add_column(Update& u, int jrep, Array1<double> v, double& vnorm) {
  const Factors& f = u.f;
  int klast = 0;
  for (int k = 1; k <= u.nrank; ++k) {
    const int i = f.ip[k];
    if (std::abs(v[i]) <= u.small) continue;
    if (!append_to_row(u, i, v[i], jrep)) return -1;
    vnorm += std::abs(v[i]);
    u.len_u += 1;
    klast = k;
  }
  return klast;
}

// Takes the largest entry of v beyond the rank as a new pivot in column jrep; the others are
// eliminated by single-entry L factors.  Returns kNewPivot when the rank rose, kNoNewPivot when
// nothing remained, inform 7 on a storage shortage.  With judge set (column jrep had a pivot
// inside the rank) a pivot that the singularity test rejects is not taken: that road never
// judges the new pivot again, and the rank is decided by the U part of the column instead.
int lu_update_rank_tail(
    Update& u, int jrep, Array1<double> v, double vnorm, bool judge, double& diag) {
  const Factors& f = u.f;
  int kmax = 0;
  double vmax = 0.0;
  for (int k = u.nrank + 1; k <= f.m; ++k) {
    const double t = std::abs(v[f.ip[k]]);
    if (t > u.small && t > vmax) {
      vmax = t;
      kmax = k;
    }
  }
  if (kmax == 0) return kNoNewPivot;
  if (judge && (vmax <= u.utol1 || vmax <= u.utol2 * vnorm)) return kNoNewPivot;
  if (!ensure_row_room(u, f.m - u.nrank)) return lu_inform::kNoStorage;
  const int ipiv = f.ip[kmax];
  const double pivot = v[ipiv];
  for (int k = u.nrank + 1; k <= f.m; ++k) {
    const int i = f.ip[k];
    if (i == ipiv || std::abs(v[i]) <= u.small) continue;
    if (!add_l_factor(u, -v[i] / pivot, i, ipiv)) return lu_inform::kNoStorage;
  }
  std::swap(f.ip[u.nrank + 1], f.ip[kmax]);
  if (!ensure_row_room(u, 1)) return lu_inform::kNoStorage;
  const int l = u.lrow + 1;
  f.a[l] = pivot;
  f.indr[l] = jrep;
  f.locr[ipiv] = l;
  f.lenr[ipiv] = 1;
  u.lrow = l;
  u.len_u += 1;
  u.nrank += 1;
  diag = pivot;
  return kNewPivot;
}

// Makes the largest entry of the last U row its diagonal, or drops the row (rank falls) when
// that entry is too small or lies in column jrep after a singular replacement.
void lu_finish_update(Update& u, int jrep, bool singular) {
  const Factors& f = u.f;
  const int i = f.ip[u.nrank];
  const int l1 = f.locr[i];
  const int len = f.lenr[i];
  int lmax = 0;
  double umax = 0.0;
  for (int l = l1; l < l1 + len; ++l) {
    if (std::abs(f.a[l]) > umax) {
      umax = std::abs(f.a[l]);
      lmax = l;
    }
  }
  if (lmax > 0) {
    const int jmax = f.indr[lmax];
    std::swap(f.a[l1], f.a[lmax]);
    std::swap(f.indr[l1], f.indr[lmax]);
    for (int k = u.nrank; k <= f.n; ++k) {
      if (f.iq[k] != jmax) continue;
      std::swap(f.iq[k], f.iq[u.nrank]);
      break;
    }
    if (umax > u.utol1 && !(singular && jmax == jrep)) return;
  }
  for (int l = l1; l < l1 + len; ++l) f.indr[l] = 0;
  u.len_u -= len;
  f.lenr[i] = 0;
  u.nrank -= 1;
  pull_back_rows(u);
}

// A new pivot from the rows beyond the rank went to column jrep while jrep was a pivot
// column (krep inside the old rank).  Row krep has lost its diagonal: it is moved to the end
// with the first column beyond the old rank and eliminated there, and the new pivot row stays
// paired with column jrep just before it.  The last row then keeps a pivot or is dropped.
// With more rows than columns the rank may for a moment exceed n; the spike then has no
// column of its own and is eliminated over all n.
int place_after_rank_tail(Update& u, int krep) {
  const Factors& f = u.f;
  if (u.nrank <= f.n) {
    std::swap(f.iq[krep], f.iq[u.nrank]);
    cyclic_shift(f.iq, krep, u.nrank);
  } else {
    cyclic_shift(f.iq, krep, f.n);
  }
  cyclic_shift(f.ip, krep, u.nrank);
  double spike_diag = 0.0;
  if (lu_eliminate_spike_row(u, krep, u.nrank, spike_diag) == lu_inform::kNoStorage) {
    return lu_inform::kNoStorage;
  }
  lu_finish_update(u, 0, false);
  return lu_inform::kOk;
}

// After the new column has entered U: moves it into place, eliminates the row spike and judges
// the new diagonal, dropping the last row when the rank falls.  Returns inform 0 or 7.
int place_new_column(Update& u, int jrep, int krep, int klast, double vnorm, double& diag) {
  const Factors& f = u.f;
  if (u.nrank >= 1 && u.nrank < f.n && krep >= u.nrank) {
    std::swap(f.iq[krep], f.iq[u.nrank]);
    krep = u.nrank;
  }
  if (krep >= 1 && krep <= klast) {
    cyclic_shift(f.ip, krep, klast);
    cyclic_shift(f.iq, krep, klast);
    if (lu_eliminate_spike_row(u, krep, klast, diag) == lu_inform::kNoStorage) {
      return lu_inform::kNoStorage;
    }
    krep = klast;
  }
  const int i = (krep >= 1 && krep <= f.m) ? f.ip[krep] : 0;
  diag = (i > 0 && f.lenr[i] > 0 && f.indr[f.locr[i]] == jrep) ? f.a[f.locr[i]] : 0.0;
  const bool singular = std::abs(diag) <= u.utol1 || std::abs(diag) <= u.utol2 * vnorm;
  if (singular && krep < u.nrank) {
    cyclic_shift(f.ip, krep, u.nrank);
    cyclic_shift(f.iq, krep, f.n);
    double spike_diag = 0.0;
    if (lu_eliminate_spike_row(u, krep, u.nrank, spike_diag) == lu_inform::kNoStorage) {
      return lu_inform::kNoStorage;
    }
  }
  if (!singular && u.nrank >= f.n) return lu_inform::kOk;
  if (u.nrank >= 1) lu_finish_update(u, jrep, singular);
  return lu_inform::kOk;
}

// The whole replacement; returns the inform code.
int replace_column(
    Update& u, int mode1, int mode2, int jrep, Array1<double> v, double& diag, double& vnorm) {
  const Factors& f = u.f;
  const int krep = (mode1 != 0) ? lu_delete_column(u, jrep) : find_column(f, jrep);
  int klast = 0;
  if (mode2 != 0) {
    if (mode2 == 1) solve_l(f, v);
    klast = lu_add_column(u, jrep, v, vnorm);
    if (klast < 0) return lu_inform::kNoStorage;
    if (u.nrank < f.m) {
      const int rank_before = u.nrank;
      const bool pivot_inside = krep >= 1 && krep <= rank_before;
      const int tail = lu_update_rank_tail(u, jrep, v, vnorm, pivot_inside, diag);
      if (tail == lu_inform::kNoStorage) return tail;
      if (tail == kNewPivot && pivot_inside) return place_after_rank_tail(u, krep);
      if (tail == kNewPivot) klast = u.nrank;
    }
  }
  return place_new_column(u, jrep, krep, klast, vnorm, diag);
}

}  // namespace
}  // namespace lu

void PRUNEP(const int& mode1,
            const int& mode2,
            const int& m,
            const int& n,
            const int& jrep,
            double* v,
            double* w,
            const int& lena,
            int* luparm,
            double* parmlu,
            double* a,
            int* indc,
            int* indr,
            int* ip,
            int* iq,
            int* lenc,
            int* lenr,
            int* locc,
            int* locr,
            int& inform,
            double& diag,
            double& vnorm) {
  using lu::Array1;
  namespace iw = lu_integer_words;
  namespace rw = lu_real_words;
  lu::Update u;
  u.f = lu::Factors{m,
                    n,
                    lena,
                    Array1<int>(luparm),
                    Array1<double>(parmlu),
                    Array1<double>(a),
                    Array1<int>(indc),
                    Array1<int>(indr),
                    Array1<int>(ip),
                    Array1<int>(iq),
                    Array1<int>(lenc),
                    Array1<int>(lenr),
                    Array1<int>(locc),
                    Array1<int>(locr)};
  u.w = Array1<double>(w);
  u.small = u.f.rword(rw::kDropTol);
  u.ltol2 = u.f.rword(rw::kUpdateTol);
  u.utol1 = u.f.rword(rw::kAbsSingTol);
  u.utol2 = u.f.rword(rw::kRelSingTol);
  u.uspace = u.f.rword(rw::kGrowthSpace);
  u.nrank = u.f.iword(iw::kRank);
  u.len_l = u.f.iword(iw::kLenL);
  u.len_u = u.f.iword(iw::kLenU);
  u.lrow = u.f.iword(iw::kRowFileEnd);
  const int nrank0 = u.nrank;
  vnorm = 0.0;
  diag = 0.0;
  u.f.luparm[iw::kReplacements] += 1;
  if (jrep < 1 || jrep > n) {
    inform = lu_inform::kInternalError;
    u.f.luparm[iw::kInform] = inform;
    lu::report_replacement(u.f.luparm, m, n, jrep, diag, lena, false);
    return;
  }
  inform = lu::replace_column(u, mode1, mode2, jrep, Array1<double>(v), diag, vnorm);
  if (inform == lu_inform::kOk) {
    if (u.nrank > nrank0) inform = lu_inform::kSingular;
    if (u.nrank < nrank0) inform = lu_inform::kRankFell;
  }
  u.f.luparm[iw::kInform] = inform;
  u.f.luparm[iw::kRank] = u.nrank;
  u.f.luparm[iw::kLenL] = u.len_l;
  u.f.luparm[iw::kLenU] = u.len_u;
  u.f.luparm[iw::kRowFileEnd] = u.lrow;
  lu::report_replacement(u.f.luparm, m, n, jrep, diag, lena, nrank0 == n);
}

}  // namespace zun
