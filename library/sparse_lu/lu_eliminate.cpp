// One elimination step of the sparse LU factorisation: the pivot row and column taken out,
// the column updates with their fill (through the index of a long line where it has one), the
// row lists, count list upkeep and compressions.
#include <algorithm>
#include <cmath>

#include "library/sparse_lu/lu_factor.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun::lu {
namespace {

// First entry of largest magnitude in a column, noted in the order of its places.  A NaN is
// never taken; move_max_to_front keeps a NaN that stands first, which the caller checks.
struct ColumnMax {
  int offset = 0;
  double value = -1.0;
  void note(int place_offset, double magnitude) {
    if (magnitude > value) {
      value = magnitude;
      offset = place_offset;
    }
  }
};

// Exchanges the items at places p and q of a count list.
void swap_places(const CountList& list, int p, int q) {
  const int a = list.perm[p];
  const int b = list.perm[q];
  list.perm[p] = b;
  list.inv[b] = p;
  list.perm[q] = a;
  list.inv[a] = q;
}

// Lines at least this long get an index once searching them has cost kIndexAfterSweeps
// times their length.  A column update goes through the index only when the column is at
// least kLongRatio times longer than the pivot column; else the sweep is the cheaper.
constexpr int kLongLine = 256;
constexpr std::int64_t kIndexAfterSweeps = 4;
constexpr std::int64_t kLongRatio = 8;

// The index of a long line keeps its entries in place: after an entry at offset `to` was
// removed, the line's last entry (item `moved`, formerly at offset `from`) stands there.
void index_removal(LineIndex& x, int removed, int moved, int to, int from) {
  x.offset[static_cast<std::size_t>(removed)] = -1;
  if (to != from) x.offset[static_cast<std::size_t>(moved)] = to;
}

// The index upkeep of remove_from_column (kept out of its common path).
[[gnu::noinline]] void index_column_removal(LineIndex& x, const Factors& f, int j, int l, int last) {
  const int to = l - f.locc[j];
  const int from = last - f.locc[j];
  index_removal(x, f.indc[l], f.indc[last], to, from);
  if (to != from) x.largest.set(to, magnitude_key(f.a[last]));
  x.largest.clear(from);
}

// Removes the entry at place l of column j; the column's last entry takes its place.
void remove_from_column(FactorWork& s, int j, int l) {
  const Factors& f = s.f;
  const int last = f.locc[j] + f.lenc[j] - 1;
  if (LineIndex* x = s.long_columns.find(j)) index_column_removal(*x, f, j, l, last);
  f.a[l] = f.a[last];
  f.indc[l] = f.indc[last];
  f.indc[last] = 0;
  f.lenc[j] -= 1;
  if (s.utri_map.valid && l != last) s.utri_map.moved(l, last);
}

// An index for row i once searching it has cost enough (nullptr while it has none).
LineIndex* long_row_index(FactorWork& s, int i) {
  const Factors& f = s.f;
  const int len = f.lenr[i];
  if (s.utri || len < kLongLine || s.long_rows.scanned(i) < kIndexAfterSweeps * len) {
    return nullptr;
  }
  LineIndex* x = s.long_rows.open(i);
  if (x == nullptr) return nullptr;
  const int l1 = f.locr[i];
  for (int k = 0; k < len; ++k) x->offset[static_cast<std::size_t>(f.indr[l1 + k])] = k;
  return x;
}

// Place of column j in the long list of row i (past the list when absent).
[[gnu::noinline]] int find_in_long_row(FactorWork& s, int i, int j) {
  const Factors& f = s.f;
  const int l1 = f.locr[i];
  const int len = f.lenr[i];
  LineIndex* x = s.long_rows.find(i);
  if (x == nullptr) {
    const int l = find_place(f.indr, l1, len, j);
    s.long_rows.scanned(i) += l - l1 + 1;
    x = long_row_index(s, i);
    if (x == nullptr) return l;
  }
  const int offset = x->offset[static_cast<std::size_t>(j)];
  return offset >= 0 ? l1 + offset : l1 + len;
}

// Place of column j in the list of row i (past the list when absent).
int find_in_row(FactorWork& s, int i, int j) {
  const Factors& f = s.f;
  if (f.lenr[i] < kLongLine && s.long_rows.empty()) {
    return find_place(f.indr, f.locr[i], f.lenr[i], j);
  }
  return find_in_long_row(s, i, j);
}

// Removes column j from the list of row i and moves the row down one count.
void remove_from_row(FactorWork& s, int i, int j) {
  const Factors& f = s.f;
  const int l1 = f.locr[i];
  const int len = f.lenr[i];
  const int l = find_in_row(s, i, j);
  if (l >= l1 + len) return;
  const int last = l1 + len - 1;
  if (LineIndex* x = s.long_rows.find(i)) index_removal(*x, j, f.indr[last], l - l1, last - l1);
  f.indr[l] = f.indr[last];
  f.indr[last] = 0;
  f.lenr[i] -= 1;
  lu_update_count_lists(s.rows, i, f.lenr[i] + 1, f.lenr[i]);
}

// Builds the map of the upper-triangular phase.  It relies on the rows still listing their
// columns in increasing order, as the set-up left them (the phase only deletes whole rows);
// the map is retired if that does not hold.
void build_triangular_map(FactorWork& s) {
  const Factors& f = s.f;
  TriangularMap& map = s.utri_map;
  map.row_place.assign(static_cast<std::size_t>(s.lcol) + 1, 0);
  map.column_place.assign(static_cast<std::size_t>(s.lrow) + 1, 0);
  std::vector<int> cursor(static_cast<std::size_t>(f.m) + 1, 0);
  for (int i = 1; i <= f.m; ++i) cursor[static_cast<std::size_t>(i)] = f.locr[i];
  for (int j = 1; j <= f.n; ++j) {
    for (int l = f.locc[j]; l < f.locc[j] + f.lenc[j]; ++l) {
      const int i = f.indc[l];
      const int r = cursor[static_cast<std::size_t>(i)]++;
      if (f.lenr[i] <= 0 || r >= f.locr[i] + f.lenr[i] || f.indr[r] != j) {
        retire_triangular_map(s);
        return;
      }
      map.row_place[static_cast<std::size_t>(l)] = r;
      map.column_place[static_cast<std::size_t>(r)] = l;
    }
  }
  map.valid = true;
}

// Builds the map once searching without it has cost about as much as building it.
void consider_triangular_map(FactorWork& s) {
  TriangularMap& map = s.utri_map;
  if (!s.utri || map.valid || map.retired) return;
  if (map.scanned > static_cast<std::int64_t>(s.lcol) + s.lrow + s.f.m + s.f.n) {
    map.scanned = 0;
    build_triangular_map(s);
  }
}

void storage_shortage(FactorWork& s, int compressed_length) {
  s.inform = lu_inform::kNoStorage;
  s.minlen = static_cast<std::int64_t>(s.f.lena) + compressed_length +
             2 * (static_cast<std::int64_t>(s.f.m) + s.f.n);
}

// The room left after a compression of a file that now ends at file_end, for `need` more
// places below lnew.  There must be some (else inform 7).  When a shortage forced the
// compression, the room must also be at least 1/kCompressionSlack of the compressed file:
// with less, the next steps would compress again almost at once, each time sweeping the whole
// file (time quadratic in the file length), and the factors do not fit with reasonable slack,
// so inform 7 is given at once.
constexpr std::int64_t kCompressionSlack = 10;

bool room_after_compression(FactorWork& s, int file_end, std::int64_t need, int lnew, bool forced) {
  const std::int64_t room = lnew - (file_end + need);
  if (room > 0 && (!forced || room * kCompressionSlack >= file_end)) return true;
  storage_shortage(s, file_end);
  return false;
}

// Room for a pivot step whose L-area entries start at lnew: both files must end below lnew
// with `need` free places, and a file past its compression limit is compressed.
bool make_room(FactorWork& s, int lnew, int need) {
  const bool column_shortage = s.lcol + static_cast<std::int64_t>(need) >= lnew;
  if (column_shortage || s.lcol > compression_limit(s, s.lcol_compressed)) {
    compress_columns(s);
    if (!room_after_compression(s, s.lcol, need, lnew, column_shortage)) return false;
  }
  const bool row_shortage = s.lrow + static_cast<std::int64_t>(need) >= lnew;
  if (row_shortage || s.lrow > compression_limit(s, s.lrow_compressed)) {
    compress_rows(s);
    if (!room_after_compression(s, s.lrow, need, lnew, row_shortage)) return false;
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
    if (!room_after_compression(s, s.lcol, static_cast<std::int64_t>(len) + nfill, lnew, true)) {
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

// Asks the cache for the start of column j, which the next column update reads first.
void prefetch_column(const Factors& f, int j) {
  constexpr int kLines = 32;  // cache lines of row indices (16 entries each) fetched ahead
  const int l1 = f.locc[j];
  const int len = std::min(f.lenc[j], 16 * kLines);
  for (int k = 0; k < len; k += 16) {
    __builtin_prefetch(&f.indc[l1 + k]);
    __builtin_prefetch(&f.a[l1 + k]);
    if (k + 8 < len) __builtin_prefetch(&f.a[l1 + k + 8]);
  }
}

// Deletes the entry at place l of column j (row i), which has fallen to <= small.
void delete_entry(FactorWork& s, int j, int l, int i) {
  remove_from_column(s, j, l);
  remove_from_row(s, i, j);
  s.active -= 1;
}

// A stamp not yet used in s.seen.
void next_stamp(FactorWork& s) {
  if (s.stamp == INT_MAX) {
    std::fill(s.seen.begin(), s.seen.end(), 0);
    s.stamp = 0;
  }
  s.stamp += 1;
}

// What a column sweep reads besides the column itself.
struct SweepData {
  const int* mark;      // by row (0-based pointer into s.mark)
  const double* lmult;  // by multiplier number, slot 0 = 0.0
  int* seen;            // by multiplier number
  int stamp;
  double u;
  double small;
};

// Kernel of the column sweep on n entries (0-based: row indices ind, values val) whose first
// has offset first_offset in its column.  Rows outside the pivot column have mark 0 and
// multiplier slot 0 holds 0.0, so with a finite u their entries (all stored entries are
// above small) are rewritten unchanged and the loop needs no branch on the mark.  Stops at
// the first entry that falls to <= small, without storing it, and returns its offset (n when
// there is none).
template <bool kTrackMax>
int sweep_kernel(
    const int* ind, double* val, int n, const SweepData& data, int first_offset, ColumnMax& cmax) {
  const int* const mark = data.mark;
  const double* const lmult = data.lmult;
  int* const seen = data.seen;
  const int stamp = data.stamp;
  const double u = data.u;
  const double small = data.small;
  double best = cmax.value;
  int best_offset = cmax.offset;
  int t = 0;
#pragma GCC unroll 4
  for (; t < n; ++t) {
    const int k = mark[ind[t]];
    const double v = val[t] + lmult[k] * u;
    seen[k] = stamp;
    const double av = std::abs(v);
    if (av <= small) break;
    val[t] = v;
    if (kTrackMax && av > best) {
      best = av;
      best_offset = first_offset + t;
    }
  }
  cmax.value = best;
  cmax.offset = best_offset;
  return t;
}

// Updates the entries of column j whose rows are in the pivot column by l_i u; an entry that
// falls to <= small is deleted (the column's last entry takes its place and is looked at
// next).  Multiplier k's slot in s.seen gets the current stamp when its row is found.  With
// kTrackMax it also finds the first entry of largest magnitude in the column as it stands
// after the sweep.
template <bool kTrackMax>
void sweep_column(FactorWork& s, int j, double u, ColumnMax& cmax) {
  const Factors& f = s.f;
  const int l1 = f.locc[j];
  int end = l1 + f.lenc[j];
  int l = l1;
  if (!std::isfinite(u) || s.small < 0.0) {
    while (l < end) {
      const int i = f.indc[l];
      const int k = s.mark[static_cast<std::size_t>(i)];
      if (k > 0) {
        s.seen[static_cast<std::size_t>(k)] = s.stamp;
        const double v = f.a[l] + s.lmult[static_cast<std::size_t>(k)] * u;
        if (std::abs(v) <= s.small) {
          delete_entry(s, j, l, i);
          --end;
          continue;
        }
        f.a[l] = v;
      }
      if (kTrackMax) cmax.note(l - l1, std::abs(f.a[l]));
      ++l;
    }
    return;
  }
  const SweepData data{s.mark.data(), s.lmult.data(), s.seen.data(), s.stamp, u, s.small};
  while (l < end) {
    l += sweep_kernel<kTrackMax>(&f.indc[l], &f.a[l], end - l, data, l - l1, cmax);
    if (l >= end) break;
    const int i = f.indc[l];
    if (s.mark[static_cast<std::size_t>(i)] > 0) {
      delete_entry(s, j, l, i);
      --end;
    } else {
      // Not a pivot-column row: the entry stays as it is.
      if (kTrackMax) cmax.note(l - l1, std::abs(f.a[l]));
      ++l;
    }
  }
}

// The index of column j for a column update by nl multipliers with u_j = u, built once
// searching the column has cost enough; nullptr when the column is to be swept.  The sweep
// alone handles a non-finite u or a negative drop tolerance, so such an update gives up the
// index.
LineIndex* long_column_index(FactorWork& s, int j, int nl, double u) {
  const Factors& f = s.f;
  LineIndex* x = s.long_columns.find(j);
  const int l1 = f.locc[j];
  const int len = f.lenc[j];
  if (!std::isfinite(u) || s.small < 0.0) {
    if (x != nullptr) s.long_columns.close(j, &f.indc[l1], len);
    return nullptr;
  }
  if (x != nullptr || s.utri || len < kLongLine) return x;
  if (len < kLongRatio * nl || s.long_columns.scanned(j) < kIndexAfterSweeps * len) {
    return nullptr;
  }
  x = s.long_columns.open(j);
  if (x == nullptr) return nullptr;
  for (int k = 0; k < len; ++k) x->offset[static_cast<std::size_t>(f.indc[l1 + k])] = k;
  x->largest.invalidate();
  return x;
}

// sweep_column through the index of column j: only the entries in the pivot column's rows
// are visited.  The entries that fall to <= small are deleted in the order of the sweep, each
// replaced by the column's last entry, so that the column, the row lists and the count lists
// end exactly as the sweep leaves them.
void update_indexed_column(FactorWork& s, const StepLayout& st, int j, double u, LineIndex& x) {
  const Factors& f = s.f;
  const int l1 = f.locc[j];
  if (x.largest.stale()) x.largest.build(&f.a[l1], f.lenc[j]);
  std::vector<int>& dead = s.dead;
  dead.clear();
  for (int k = 1; k <= st.nl; ++k) {
    const int offset = x.offset[static_cast<std::size_t>(f.indc[st.ll + k - 1])];
    if (offset < 0) continue;
    s.seen[static_cast<std::size_t>(k)] = s.stamp;
    const double v = f.a[l1 + offset] + s.lmult[static_cast<std::size_t>(k)] * u;
    if (std::abs(v) <= s.small) {
      dead.push_back(offset);
      continue;
    }
    f.a[l1 + offset] = v;
    x.largest.set(offset, magnitude_key(v));
  }
  std::sort(dead.begin(), dead.end());
  delete_as_swept(dead, f.lenc[j], [&s, &f, j, l1](int offset) {
    delete_entry(s, j, l1 + offset, f.indc[l1 + offset]);
  });
}

// Place of the pivot row's entry in column j (U place idx).
int locate_pivot_row(FactorWork& s, const StepLayout& st, int idx) {
  const Factors& f = s.f;
  const int j = f.indr[idx];
  if (const LineIndex* x = s.long_columns.find(j)) {
    return f.locc[j] + x->offset[static_cast<std::size_t>(st.ibest)];
  }
  if (s.utri_map.valid) {
    const int p = s.utri_map.step_place[static_cast<std::size_t>(idx - st.lu - 1)];
    if (f.indc[p] == st.ibest) return p;
    retire_triangular_map(s);
  }
  const int l1 = f.locc[j];
  const int l = find_place(f.indc, l1, f.lenc[j], st.ibest);
  if (s.utri) s.utri_map.scanned += l - l1 + 1;
  if (f.lenc[j] >= kLongLine) s.long_columns.scanned(j) += l - l1 + 1;
  return l;
}

// Adds the fill of column j (multiplier times u for the pivot-column rows not found in the
// column, when larger than small).  Out: nfill.  False on a storage shortage.
template <bool kTrackMax>
bool add_column_fill(
    FactorWork& s, const StepLayout& st, int j, double u, ColumnMax& cmax, int& nfill) {
  const Factors& f = s.f;
  const double* const lmult = s.lmult.data();
  const int* const seen = s.seen.data();
  const int stamp = s.stamp;
  const Array1<int> indc = f.indc;
  nfill = 0;
  int missing = 0;
  for (int k = 1; k <= st.nl; ++k) missing += seen[k] != stamp ? 1 : 0;
  if (missing == 0) return true;
  // Room for every row not found implies room for the actual fill; otherwise count it.
  if (!room_after_column(s, j, missing, st.lnew)) {
    for (int k = 1; k <= st.nl; ++k) {
      if (seen[k] != stamp && std::abs(lmult[k] * u) > s.small) ++nfill;
    }
    if (nfill > 0 && !make_column_room(s, j, nfill, st.lnew)) return false;
  }
  const int l1 = f.locc[j];
  const int first = l1 + std::max(f.lenc[j], 0);
  LineIndex* x = s.long_columns.find(j);
  int pos = first;
  for (int k = 1; k <= st.nl; ++k) {
    if (seen[k] == stamp) continue;
    const double v = lmult[k] * u;
    if (!(std::abs(v) > s.small)) continue;  // as counted above: a NaN makes no fill
    const int p = st.ll + k - 1;
    if (kTrackMax) cmax.note(pos - l1, std::abs(v));
    f.a[pos] = v;
    indc[pos] = indc[p];
    if (x != nullptr) {
      x->offset[static_cast<std::size_t>(indc[p])] = pos - l1;
      x->largest.set(pos - l1, magnitude_key(v));
    }
    ++pos;
    f.indr[p] += 1;
  }
  nfill = pos - first;
  if (nfill > 0) {
    f.lenc[j] = pos - l1;
    s.lcol = std::max(s.lcol, pos - 1);
    s.active += nfill;
  }
  return true;
}

// Updates column j (U place idx) with the pivot column: its entry in the pivot row moves to
// the U row, entries of the pivot column's rows get l_i u_j (deleted when they fall to <=
// small), other rows get fill.  During the step indc of the U place holds the column's fill.
// With kTrackMax the place of the column's largest entry is noted for the step's end.
template <bool kTrackMax>
bool update_column(FactorWork& s, const StepLayout& st, int idx) {
  const Factors& f = s.f;
  const int j = f.indr[idx];
  const int old_len = f.lenc[j];
  const int p = locate_pivot_row(s, st, idx);
  const double u = f.a[p];
  f.a[idx] = u;
  remove_from_column(s, j, p);
  s.active -= 1;
  int nfill = 0;
  ColumnMax cmax;
  if (st.nl > 0) {
    next_stamp(s);
    LineIndex* x = nullptr;
    if (!s.long_columns.empty() || f.lenc[j] >= kLongLine) x = long_column_index(s, j, st.nl, u);
    const bool indexed = x != nullptr && f.lenc[j] >= kLongRatio * st.nl;
    if (indexed) {
      update_indexed_column(s, st, j, u, *x);
    } else {
      if (f.lenc[j] >= kLongLine) s.long_columns.scanned(j) += f.lenc[j];
      sweep_column<kTrackMax>(s, j, u, cmax);
      // The sweep rewrote the values; the index kept their places.
      if (x != nullptr) x->largest.invalidate();
    }
    if (!add_column_fill<kTrackMax>(s, st, j, u, cmax, nfill)) return false;
    if (indexed) cmax.offset = x->largest.first_max();
  }
  if (kTrackMax) {
    s.max_offset[static_cast<std::size_t>(idx - st.lu - 1)] = st.nl > 0 ? cmax.offset : -1;
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
    if (!room_after_compression(s, s.lrow, need, st.lnew, true)) return false;
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
      if (LineIndex* x = s.long_rows.find(i)) x->offset[static_cast<std::size_t>(j)] = f.lenr[i];
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
  s.long_columns.close(st.jbest, &f.indc[lc1], nc);
  s.long_rows.close(st.ibest, &f.indr[f.locr[st.ibest]], st.nr);
  double apiv = 0.0;
  for (int l = lc1; l < lc1 + nc; ++l) {
    if (f.indc[l] == st.ibest) apiv = f.a[l];
  }
  f.a[st.lu] = apiv;
  f.indr[st.lu] = st.jbest;
  f.indc[st.lu] = 0;
  int pos = st.lu + 1;
  const int lr1 = f.locr[st.ibest];
  TriangularMap& map = s.utri_map;
  map.step_place.clear();
  for (int l = lr1; l < lr1 + st.nr; ++l) {
    const int j = f.indr[l];
    f.indr[l] = 0;
    if (j == st.jbest) continue;
    if (map.valid) map.step_place.push_back(map.column_place[static_cast<std::size_t>(l)]);
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
    const int k = pos - st.ll + 1;
    s.mark[static_cast<std::size_t>(i)] = k;
    s.lmult[static_cast<std::size_t>(k)] = f.a[pos];
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

}  // namespace

bool lu_eliminate_pivot(FactorWork& s, const Pivot& p) {
  const Factors& f = s.f;
  const int nc = f.lenc[p.column];
  const int nr = f.lenr[p.row];
  const int need = (nc - 1) + nr;
  const int lnew = s.lfile - need;
  if (!make_room(s, lnew, need)) return false;
  const StepLayout st{p.row, p.column, lnew, nr, lnew + nr, nc - 1, lnew};
  consider_triangular_map(s);
  if (s.lmult.size() < static_cast<std::size_t>(nc)) {
    s.lmult.resize(static_cast<std::size_t>(nc));
    s.seen.resize(static_cast<std::size_t>(nc));
  }
  if (s.max_offset.size() < static_cast<std::size_t>(nr))
    s.max_offset.resize(static_cast<std::size_t>(nr));
  take_out_pivot(s, st);
  for (int q = st.ll; q < st.ll + st.nl; ++q) {
    if (q + 2 < st.ll + st.nl) __builtin_prefetch(&f.indr[std::max(f.locr[f.indc[q + 2]], 1)]);
    remove_from_row(s, f.indc[q], st.jbest);
  }
  for (int idx = st.lu + 1; idx < st.lu + st.nr; ++idx) {
    if (idx + 1 < st.lu + st.nr) prefetch_column(f, f.indr[idx + 1]);
    const bool done = s.spars1 ? update_column<true>(s, st, idx) : update_column<false>(s, st, idx);
    if (!done) return false;
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

void retire_triangular_map(FactorWork& s) {
  s.utri_map = TriangularMap{};
  s.utri_map.retired = true;
}

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
  s.utri_map.valid = false;
  PRUNEL(f.n, true, f.luparm, s.lcol, f.a, f.indc, f.lenc, f.locc);
  s.lcol_compressed = s.lcol;
}

void compress_rows(FactorWork& s) {
  Factors& f = s.f;
  s.utri_map.valid = false;
  PRUNEL(f.m, false, f.luparm, s.lrow, f.a, f.indr, f.lenr, f.locr);
  s.lrow_compressed = s.lrow;
}

}  // namespace zun::lu
