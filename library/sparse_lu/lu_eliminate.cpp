// Elimination loop of the sparse LU factorisation: phases, one pivot step with its fill, count
// list upkeep and compressions.
#include <algorithm>
#include <cmath>

#include "library/sparse_lu/lu_factor.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun::lu {
namespace {

namespace iw = lu_integer_words;

// Exchanges the items at places p and q of a count list.
void swap_places(const CountList& list, int p, int q) {
  const int a = list.perm[p];
  const int b = list.perm[q];
  list.perm[p] = b;
  list.inv[b] = p;
  list.perm[q] = a;
  list.inv[a] = q;
}

// Removes the entry at place l of column j; the column's last entry takes its place.
void remove_from_column(const Factors& f, int j, int l) {
  const int last = f.locc[j] + f.lenc[j] - 1;
  f.a[l] = f.a[last];
  f.indc[l] = f.indc[last];
  f.indc[last] = 0;
  f.lenc[j] -= 1;
}

// Removes column j from the list of row i and moves the row down one count.
void remove_from_row(const FactorWork& s, int i, int j) {
  const Factors& f = s.f;
  const int l1 = f.locr[i];
  const int last = l1 + f.lenr[i] - 1;
  for (int l = l1; l <= last; ++l) {
    if (f.indr[l] != j) continue;
    f.indr[l] = f.indr[last];
    f.indr[last] = 0;
    f.lenr[i] -= 1;
    lu_update_count_lists(s.rows, i, f.lenr[i] + 1, f.lenr[i]);
    return;
  }
}

void storage_shortage(FactorWork& s, int compressed_length) {
  s.inform = lu_inform::kNoStorage;
  s.minlen = static_cast<std::int64_t>(s.f.lena) + compressed_length +
             2 * (static_cast<std::int64_t>(s.f.m) + s.f.n);
}

// Room for a pivot step whose L-area entries start at lnew: both files must end below lnew
// with `need` free places, and a file past its compression limit is compressed.
bool make_room(FactorWork& s, int lnew, int need) {
  if (s.lcol + static_cast<std::int64_t>(need) >= lnew ||
      s.lcol > compression_limit(s, s.lcol_compressed)) {
    compress_columns(s);
    if (s.lcol + static_cast<std::int64_t>(need) >= lnew) {
      storage_shortage(s, s.lcol);
      return false;
    }
  }
  if (s.lrow + static_cast<std::int64_t>(need) >= lnew ||
      s.lrow > compression_limit(s, s.lrow_compressed)) {
    compress_rows(s);
    if (s.lrow + static_cast<std::int64_t>(need) >= lnew) {
      storage_shortage(s, s.lrow);
      return false;
    }
  }
  return true;
}

// True when the nfill places after column j are free (inside the file with index 0, or past
// its end and below lnew).
bool room_after_column(const FactorWork& s, int j, int nfill, int lnew) {
  const Factors& f = s.f;
  if (f.lenc[j] <= 0) return false;
  const int end = f.locc[j] + f.lenc[j];
  if (static_cast<std::int64_t>(end) + nfill > lnew) return false;
  for (int l = end; l < end + nfill && l <= s.lcol; ++l) {
    if (f.indc[l] != 0) return false;
  }
  return true;
}

// Makes room for nfill entries after column j, moving it to the end of the column file (and
// compressing the file first) when it cannot grow in place.
bool make_column_room(FactorWork& s, int j, int nfill, int lnew) {
  const Factors& f = s.f;
  if (room_after_column(s, j, nfill, lnew)) return true;
  const int len = std::max(f.lenc[j], 0);
  if (s.lcol + static_cast<std::int64_t>(len) + nfill >= lnew) {
    compress_columns(s);
    if (s.lcol + static_cast<std::int64_t>(len) + nfill >= lnew) {
      storage_shortage(s, s.lcol);
      return false;
    }
  }
  const int l1 = f.locc[j];
  const int start = s.lcol + 1;
  for (int k = 0; k < len; ++k) {
    f.a[start + k] = f.a[l1 + k];
    f.indc[start + k] = f.indc[l1 + k];
    f.indc[l1 + k] = 0;
  }
  f.locc[j] = start;
  s.lcol += len;
  return true;
}

// The pivot step's view of the L area: U row at lu (nr places, diagonal first), multipliers
// at ll (nl places).  During the step indc of a U place holds the fill count of its column
// and indr of an L place the fill count of its row.
struct StepLayout {
  int ibest;
  int jbest;
  int lu;
  int nr;
  int ll;
  int nl;
  int lnew;
};

// Updates column j (U place idx) with the pivot column: entries of the pivot column's rows
// get l_i u_j (deleted when they fall to <= small), other rows get fill.
bool update_column(FactorWork& s, const StepLayout& st, int idx) {
  const Factors& f = s.f;
  const int j = f.indr[idx];
  const int old_len = f.lenc[j];
  for (int l = f.locc[j]; l < f.locc[j] + f.lenc[j]; ++l) {
    if (f.indc[l] == st.ibest) {
      f.a[idx] = f.a[l];
      remove_from_column(f, j, l);
      break;
    }
  }
  s.active -= 1;
  const double u = f.a[idx];
  int nfill = 0;
  if (st.nl > 0) {
    int l = f.locc[j];
    while (l < f.locc[j] + f.lenc[j]) {
      const int i = f.indc[l];
      const int pm = s.mark[i];
      if (pm <= 0) {
        ++l;
        continue;
      }
      s.mark[i] = -pm;
      const double v = f.a[l] + f.a[pm] * u;
      if (std::abs(v) <= s.small) {
        remove_from_column(f, j, l);
        remove_from_row(s, i, j);
        s.active -= 1;
        continue;
      }
      f.a[l] = v;
      ++l;
    }
    for (int p = st.ll; p < st.ll + st.nl; ++p) {
      if (s.mark[f.indc[p]] > 0 && std::abs(f.a[p] * u) > s.small) ++nfill;
    }
    if (nfill > 0) {
      if (!make_column_room(s, j, nfill, st.lnew)) return false;
      int pos = f.locc[j] + std::max(f.lenc[j], 0);
      for (int p = st.ll; p < st.ll + st.nl; ++p) {
        const int i = f.indc[p];
        const double v = f.a[p] * u;
        if (s.mark[i] <= 0 || std::abs(v) <= s.small) continue;
        f.a[pos] = v;
        f.indc[pos] = i;
        ++pos;
        f.indr[p] += 1;
      }
      f.lenc[j] = pos - f.locc[j];
      s.lcol = std::max(s.lcol, pos - 1);
      s.active += nfill;
    }
    for (int p = st.ll; p < st.ll + st.nl; ++p) s.mark[f.indc[p]] = p;
  }
  lu_update_count_lists(s.cols, j, old_len, f.lenc[j]);
  f.indc[idx] = nfill;
  return true;
}

// Moves every row that gained fill to the end of the row file with room for its fill, then
// writes the new column numbers (the last entries of each filled column) into those places.
bool lu_move_to_end(FactorWork& s, const StepLayout& st) {
  const Factors& f = s.f;
  std::int64_t need = 0;
  for (int p = st.ll; p < st.ll + st.nl; ++p) {
    if (f.indr[p] > 0) need += f.lenr[f.indc[p]] + f.indr[p];
  }
  if (need == 0) return true;
  if (s.lrow + need >= st.lnew) {
    compress_rows(s);
    if (s.lrow + need >= st.lnew) {
      storage_shortage(s, s.lrow);
      return false;
    }
  }
  for (int p = st.ll; p < st.ll + st.nl; ++p) {
    const int gain = f.indr[p];
    if (gain == 0) continue;
    const int i = f.indc[p];
    const int l1 = f.locr[i];
    const int start = s.lrow + 1;
    for (int k = 0; k < f.lenr[i]; ++k) {
      f.indr[start + k] = f.indr[l1 + k];
      f.indr[l1 + k] = 0;
    }
    f.locr[i] = start;
    s.lrow += f.lenr[i] + gain;
    for (int l = start + f.lenr[i]; l <= s.lrow; ++l) f.indr[l] = 0;
  }
  for (int idx = st.lu + 1; idx < st.lu + st.nr; ++idx) {
    const int nf = f.indc[idx];
    if (nf == 0) continue;
    const int j = f.indr[idx];
    const int end = f.locc[j] + f.lenc[j];
    for (int l = end - nf; l < end; ++l) {
      const int i = f.indc[l];
      f.indr[f.locr[i] + f.lenr[i]] = j;
      f.lenr[i] += 1;
      lu_update_count_lists(s.rows, i, f.lenr[i] - 1, f.lenr[i]);
    }
  }
  return true;
}

// Copies the pivot row and column into the L area and takes them out of both files.
void take_out_pivot(FactorWork& s, const StepLayout& st) {
  const Factors& f = s.f;
  const int lc1 = f.locc[st.jbest];
  const int nc = f.lenc[st.jbest];
  double apiv = 0.0;
  for (int l = lc1; l < lc1 + nc; ++l) {
    if (f.indc[l] == st.ibest) apiv = f.a[l];
  }
  f.a[st.lu] = apiv;
  f.indr[st.lu] = st.jbest;
  f.indc[st.lu] = 0;
  int pos = st.lu + 1;
  const int lr1 = f.locr[st.ibest];
  for (int l = lr1; l < lr1 + st.nr; ++l) {
    const int j = f.indr[l];
    f.indr[l] = 0;
    if (j == st.jbest) continue;
    f.a[pos] = 0.0;
    f.indr[pos] = j;
    f.indc[pos] = 0;
    ++pos;
  }
  pos = st.ll;
  for (int l = lc1; l < lc1 + nc; ++l) {
    const int i = f.indc[l];
    f.indc[l] = 0;
    if (i == st.ibest) continue;
    f.a[pos] = -f.a[l] / apiv;
    f.indc[pos] = i;
    f.indr[pos] = 0;
    s.mark[i] = pos;
    ++pos;
  }
  lu_update_count_lists(s.rows, st.ibest, st.nr, 0);
  lu_update_count_lists(s.cols, st.jbest, nc, 0);
  f.lenr[st.ibest] = -st.nr;
  f.locr[st.ibest] = st.lu;
  f.lenc[st.jbest] = -nc;
  f.locc[st.jbest] = st.ll;
  s.active -= nc;
}

// One elimination step with pivot p.  False on a storage shortage (inform 7).
bool lu_eliminate_pivot(FactorWork& s, const Pivot& p) {
  const Factors& f = s.f;
  const int nc = f.lenc[p.column];
  const int nr = f.lenr[p.row];
  const int need = (nc - 1) + nr;
  const int lnew = s.lfile - need;
  if (!make_room(s, lnew, need)) return false;
  const StepLayout st{p.row, p.column, lnew, nr, lnew + nr, nc - 1, lnew};
  take_out_pivot(s, st);
  for (int q = st.ll; q < st.ll + st.nl; ++q) remove_from_row(s, f.indc[q], st.jbest);
  for (int idx = st.lu + 1; idx < st.lu + st.nr; ++idx) {
    if (!update_column(s, st, idx)) return false;
  }
  if (!lu_move_to_end(s, st)) return false;
  for (int q = st.ll; q < st.ll + st.nl; ++q) {
    s.mark[f.indc[q]] = 0;
    f.indr[q] = st.ibest;
  }
  for (int idx = st.lu + 1; idx < st.lu + st.nr; ++idx) f.indc[idx] = 0;
  s.len_l += nc - 1;
  s.len_u += nr;
  s.merit_sum += p.merit;
  if (s.keep) {
    s.lfile = lnew;
    if (nc > 1) ++s.num_l0;
  } else {
    f.a[f.lena - f.n + p.column] = f.a[st.lu];
  }
  return true;
}

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
void restore_column_maxima(const FactorWork& s, const Phases& ph, const Pivot& p) {
  const Factors& f = s.f;
  if (ph.utri) return;
  if (ph.spars1) {
    const int lu = f.locr[p.row];
    for (int idx = lu + 1; idx < lu - f.lenr[p.row]; ++idx) move_max_to_front(s, f.indr[idx]);
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

void lu_update_count_lists(const CountList& list, int item, int from, int to) {
  for (; from > to; --from) {
    const int q = list.loc[from];
    swap_places(list, list.inv[item], q);
    list.loc[from] = q + 1;
  }
  for (; from < to; ++from) {
    const int q = list.loc[from + 1] - 1;
    swap_places(list, list.inv[item], q);
    list.loc[from + 1] = q;
  }
}

std::int64_t compression_limit(const FactorWork& s, int length) {
  return static_cast<std::int64_t>(s.uspace * length) + s.f.m + s.f.n + 1000;
}

void compress_columns(FactorWork& s) {
  Factors& f = s.f;
  PRUNEL(f.n, true, f.luparm, s.lcol, f.a, f.indc, f.lenc, f.locc);
  s.lcol_compressed = s.lcol;
}

void compress_rows(FactorWork& s) {
  Factors& f = s.f;
  PRUNEL(f.m, false, f.luparm, s.lrow, f.a, f.indr, f.lenr, f.locr);
  s.lrow_compressed = s.lrow;
}

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
