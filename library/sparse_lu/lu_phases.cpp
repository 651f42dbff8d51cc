// Elimination loop of the sparse LU factorisation (PRUNEM): the pivot phases, the switches
// between them and the upkeep of "largest entry first" after each step.
#include <algorithm>
#include <cmath>

#include "library/sparse_lu/lu_factor.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun::lu {
namespace {

namespace iw = lu_integer_words;

// Pulls the file ends back over trailing empty places.
void pull_back_ends(FactorWork& s) {
  while (s.lcol > 0 && s.f.indc[s.lcol] == 0) --s.lcol;
  while (s.lrow > 0 && s.f.indr[s.lrow] == 0) --s.lrow;
}

struct Phases {
  bool utri = true;
  bool ltri = false;
  bool spars1 = false;
  bool spars2 = false;
  bool dense = false;
  int maxcol = 0;
  int maxrow = 0;
};

// Restores "largest entry first" where the step may have broken it.
void restore_column_maxima(FactorWork& s, const Phases& ph, const Pivot& p) {
  const Factors& f = s.f;
  if (ph.utri) return;
  if (ph.spars1) {
    const int lu = f.locr[p.row];
    for (int idx = lu + 1; idx < lu - f.lenr[p.row]; ++idx) {
      const int j = f.indr[idx];
      const int offset = s.max_offset[static_cast<std::size_t>(idx - lu - 1)];
      if (offset < 0) {
        move_max_to_front(s, j);
      } else if (offset > 0 && !std::isnan(f.a[f.locc[j]])) {
        swap_column_entries(s, j, 0, offset);
      }
    }
    return;
  }
  const int q1 = s.cols.start(1);
  for (int q = q1; q < q1 + ph.maxcol && q <= f.n; ++q) move_max_to_front(s, f.iq[q]);
}

// Chooses the pivot of step nrowu, switching phases as the active block fills up.  Returns
// false when the rest is to be factorised densely.
bool choose_pivot(FactorWork& s, Phases& ph, int nrowu, Pivot& p) {
  const Factors& f = s.f;
  const std::int64_t mleft = f.m - nrowu + 1;
  const std::int64_t nleft = f.n - nrowu + 1;
  if (ph.utri) {
    const int q = s.cols.start(1);
    if (q < s.cols.start(2)) {
      const int j = f.iq[q];
      const int l = f.locc[j];
      p = Pivot{f.indc[l], j, 0, std::abs(f.a[l]), 0.0};
      return true;
    }
    s.n_utri = nrowu - 1;
    ph.utri = false;
    s.utri = false;
    retire_triangular_map(s);
    ph.ltri = true;
    ph.spars1 = true;
    for (int k = s.cols.start(1); k <= f.n; ++k) move_max_to_front(s, f.iq[k]);
  }
  p = lu_pivot_search(s, ph.maxcol, ph.spars1 ? ph.maxrow : 0);
  if (ph.ltri && p.merit > 0) {
    ph.ltri = false;
    s.n_ltri = nrowu - s.n_utri - 1;
  }
  const double cells = static_cast<double>(mleft) * static_cast<double>(nleft);
  const double active = static_cast<double>(s.active);
  if (ph.spars1 && !ph.ltri && cells * std::min(s.dens1, s.dens2) <= active) {
    ph.spars1 = false;
    ph.spars2 = true;
    s.ndens1 = static_cast<int>(nleft);
  }
  if (ph.spars2 && cells * s.dens2 <= active) {
    ph.spars2 = false;
    ph.dense = true;
    ph.maxcol = 1;
    s.ndens2 = static_cast<int>(nleft);
  }
  return !(ph.dense && 2 * mleft * nleft <= s.lfile - 1);
}

}  // namespace

void PRUNEM(FactorWork& s) {
  const Factors& f = s.f;
  Phases ph;
  ph.maxcol = s.maxcol;
  ph.maxrow = s.maxcol - 1;
  const int nmin = std::min(f.m, f.n);
  for (int nrowu = 1; nrowu <= nmin; ++nrowu) {
    if (s.rows.start(1) > f.m) break;
    Pivot p;
    if (!choose_pivot(s, ph, nrowu, p)) {
      lu_dense_finish(s);
      return;
    }
    s.spars1 = ph.spars1;
    if (!lu_eliminate_pivot(s, p)) return;
    s.npiv = nrowu;
    if (f.luparm[iw::kPrintLevel] > 1) {
      report_pivot(f.luparm, nrowu, p.row, p.column, clamp_to_int(s.len_l), clamp_to_int(s.len_u));
    }
    restore_column_maxima(s, ph, p);
    pull_back_ends(s);
    if (s.lcol >= s.lfile || s.lrow >= s.lfile) {
      s.inform = lu_inform::kInternalError;
      return;
    }
  }
  if (ph.utri) s.n_utri = s.npiv;
  if (ph.ltri) s.n_ltri = s.npiv - s.n_utri;
}

}  // namespace zun::lu
