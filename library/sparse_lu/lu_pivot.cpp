// Markowitz pivot search with threshold partial pivoting.
#include <algorithm>
#include <cmath>

#include "library/sparse_lu/lu_factor.h"

namespace zun::lu {
namespace {

// Candidate judgement against the column's first (largest) entry at place lfirst.
struct Candidate {
  bool acceptable = false;
  double size = 0.0;
  double cmax = 0.0;
};

Candidate judge(const FactorWork& s, int j, int l) {
  const Factors& f = s.f;
  const int lfirst = f.locc[j];
  const double amax = std::abs(f.a[lfirst]);
  const double aij = std::abs(f.a[l]);
  Candidate c;
  c.size = aij;
  if (l == lfirst) {
    double other = 0.0;
    for (int k = lfirst + 1; k < lfirst + f.lenc[j]; ++k) other = std::max(other, std::abs(f.a[k]));
    c.cmax = (amax > 0.0) ? other / amax : 0.0;
    c.acceptable = true;
    return c;
  }
  if (aij * s.ltol1 < amax) return c;
  c.cmax = amax / aij;
  c.acceptable = true;
  return c;
}

// True when a candidate of equal merit beats the best so far.
bool wins_tie(const Pivot& best, const Candidate& c) {
  if (best.cmax <= 2.0 && c.cmax <= 2.0) return c.size > best.size;
  return c.cmax < best.cmax;
}

class Search {
 public:
  explicit Search(const FactorWork& s) : s_(s) {
    best_.merit = 1000 * static_cast<std::int64_t>(std::max(s.f.m, s.f.n));
  }

  // Considers entry l of column j with the given merit; true when the search must end.
  bool consider(int i, int j, int l, std::int64_t merit, int nz) {
    if (merit > best_.merit) return false;
    const Candidate c = judge(s_, j, l);
    if (!c.acceptable) return false;
    if (found_ && merit == best_.merit && !wins_tie(best_, c)) return false;
    best_ = Pivot{i, j, merit, c.size, c.cmax};
    found_ = true;
    return nz == 1;
  }

  bool found() const { return found_; }
  const Pivot& best() const { return best_; }

 private:
  const FactorWork& s_;
  Pivot best_;
  bool found_ = false;
};

// Place of row i in column j (0 when absent).
int find_in_column(const FactorWork& s, int j, int i) {
  const Factors& f = s.f;
  const int l1 = f.locc[j];
  if (const LineIndex* x = s.long_columns.find(j)) {
    const int offset = x->offset[static_cast<std::size_t>(i)];
    return offset >= 0 ? l1 + offset : 0;
  }
  const int l = find_place(f.indc, l1, f.lenc[j], i);
  return l < l1 + f.lenc[j] ? l : 0;
}

// The fallback pivot: the largest entry of the first column that has entries.
Pivot first_column_pivot(const FactorWork& s) {
  const Factors& f = s.f;
  const int j = f.iq[s.cols.start(1)];
  const int l1 = f.locc[j];
  int lbest = l1;
  for (int l = l1 + 1; l < l1 + f.lenc[j]; ++l) {
    if (std::abs(f.a[l]) > std::abs(f.a[lbest])) lbest = l;
  }
  const int i = f.indc[lbest];
  const std::int64_t merit =
      static_cast<std::int64_t>(f.lenc[j] - 1) * static_cast<std::int64_t>(f.lenr[i] - 1);
  return Pivot{i, j, merit, std::abs(f.a[lbest]), 0.0};
}

}  // namespace

Pivot lu_pivot_search(const FactorWork& s, int maxcol, int maxrow) {
  const Factors& f = s.f;
  Search search(s);
  int ncol = 0;
  int nrow = 0;
  const int max_count = std::max(f.m, f.n);
  for (int nz = 1; nz <= max_count; ++nz) {
    const std::int64_t nz1 = nz - 1;
    if (search.best().merit <= nz1 * nz1) break;
    // Columns with nz entries.
    for (int q = s.cols.start(nz); ncol < maxcol && nz <= f.m && q < s.cols.start(nz + 1); ++q) {
      const int j = f.iq[q];
      ++ncol;
      const int l1 = f.locc[j];
      for (int l = l1; l < l1 + nz; ++l) {
        const int i = f.indc[l];
        const std::int64_t merit = nz1 * (f.lenr[i] - 1);
        if (search.consider(i, j, l, merit, nz)) return search.best();
      }
    }
    // Rows with nz entries.
    for (int q = s.rows.start(nz); nrow < maxrow && nz <= f.n && q < s.rows.start(nz + 1); ++q) {
      const int i = f.ip[q];
      ++nrow;
      const int l1 = f.locr[i];
      for (int lr = l1; lr < l1 + nz; ++lr) {
        const int j = f.indr[lr];
        const std::int64_t merit = nz1 * (f.lenc[j] - 1);
        if (merit > search.best().merit) continue;
        const int l = find_in_column(s, j, i);
        if (l > 0 && search.consider(i, j, l, merit, nz)) return search.best();
      }
    }
    if (ncol >= maxcol && nrow >= maxrow) break;
  }
  if (search.found()) return search.best();
  return first_column_pivot(s);
}

void move_max_to_front(FactorWork& s, int j) {
  const Factors& f = s.f;
  const int l1 = f.locc[j];
  const int len = f.lenc[j];
  if (len <= 1) return;
  if (LineIndex* x = s.long_columns.find(j)) {
    // A NaN first stays first, as in the scan below.
    if (std::isnan(f.a[l1])) return;
    if (x->largest.stale()) x->largest.build(&f.a[l1], len);
    swap_column_entries(s, j, 0, x->largest.first_max());
    return;
  }
  int lmax = l1;
  double amax = std::abs(f.a[l1]);
  for (int l = l1 + 1; l < l1 + len; ++l) {
    if (std::abs(f.a[l]) > amax) {
      amax = std::abs(f.a[l]);
      lmax = l;
    }
  }
  swap_column_entries(s, j, 0, lmax - l1);
}

void swap_column_entries(FactorWork& s, int j, int p, int q) {
  if (p == q) return;
  const Factors& f = s.f;
  const int lp = f.locc[j] + p;
  const int lq = f.locc[j] + q;
  std::swap(f.a[lp], f.a[lq]);
  std::swap(f.indc[lp], f.indc[lq]);
  if (LineIndex* x = s.long_columns.find(j)) {
    x->offset[static_cast<std::size_t>(f.indc[lp])] = p;
    x->offset[static_cast<std::size_t>(f.indc[lq])] = q;
    x->largest.set(p, magnitude_key(f.a[lp]));
    x->largest.set(q, magnitude_key(f.a[lq]));
  }
}

}  // namespace zun::lu
