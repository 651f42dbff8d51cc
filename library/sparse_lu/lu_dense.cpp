// Dense finish of the sparse LU: the last active block is factorised by Gaussian elimination
// with row interchanges, and its L and U parts go back into the factor files.
#include <algorithm>
#include <cmath>

#include "library/sparse_lu/lu_factor.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun::lu {
namespace {

// The md x nd dense block stored by columns at a(1..md*nd).
class DenseBlock {
 public:
  DenseBlock(const Factors& f, int md) : a_(f.a), md_(md) {}
  double& operator()(int r, int c) const { return a_[static_cast<std::int64_t>(c - 1) * md_ + r]; }

 private:
  Array1<double> a_;
  std::int64_t md_;
};

// Stable partition of perm(1..npos) by flag(item) != 0; buffer has npos places.
int stable_partition(
    Array1<int> perm, Array1<int> len, Array1<int> inv, Array1<int> buffer, int npos) {
  int front = 0;
  for (int k = 1; k <= npos; ++k) {
    if (len[perm[k]] != 0) buffer[++front] = perm[k];
  }
  int back = front;
  for (int k = 1; k <= npos; ++k) {
    if (len[perm[k]] == 0) buffer[++back] = perm[k];
  }
  for (int k = 1; k <= npos; ++k) {
    perm[k] = buffer[k];
    inv[perm[k]] = k;
  }
  return front;
}

// Gaussian elimination with partial pivoting by rows on the block; a column whose pivot is
// <= small is swapped with the last remaining column and counted singular.  The row and column
// exchanges are applied to ip and iq after position k0.  Multipliers are stored negated.
// Returns the number of pivots.
int dense_lu(const FactorWork& s, int k0, int md, int nd) {
  const Factors& f = s.f;
  const DenseBlock d(f, md);
  int last = nd;
  int k = 1;
  while (k <= md && k <= last) {
    int p = k;
    double big = std::abs(d(k, k));
    for (int r = k + 1; r <= md; ++r) {
      if (std::abs(d(r, k)) > big) {
        big = std::abs(d(r, k));
        p = r;
      }
    }
    if (big <= s.small) {
      for (int r = 1; r <= md; ++r) std::swap(d(r, k), d(r, last));
      std::swap(f.iq[k0 + k], f.iq[k0 + last]);
      --last;
      continue;
    }
    if (p != k) {
      for (int c = 1; c <= nd; ++c) std::swap(d(k, c), d(p, c));
      std::swap(f.ip[k0 + k], f.ip[k0 + p]);
    }
    const double piv = d(k, k);
    for (int r = k + 1; r <= md; ++r) d(r, k) = -d(r, k) / piv;
    for (int c = k + 1; c <= nd; ++c) {
      const double ukc = d(k, c);
      if (ukc == 0.0) continue;
      for (int r = k + 1; r <= md; ++r) d(r, c) += d(r, k) * ukc;
    }
    ++k;
  }
  return k - 1;
}

// Stores pivot k of the dense block as an L column and a U row below the L area.
void store_dense_pivot(FactorWork& s, int k0, int md, int nd, int k) {
  const Factors& f = s.f;
  const DenseBlock d(f, md);
  int nl = 0;
  for (int r = k + 1; r <= md; ++r) nl += std::abs(d(r, k)) > s.small ? 1 : 0;
  int nu = 1;
  for (int c = k + 1; c <= nd; ++c) nu += std::abs(d(k, c)) > s.small ? 1 : 0;
  const int i = f.ip[k0 + k];
  const int j = f.iq[k0 + k];
  s.len_l += nl;
  s.len_u += nu;
  f.lenr[i] = -nu;
  f.lenc[j] = -(nl + 1);
  if (!s.keep) {
    f.a[f.lena - f.n + j] = d(k, k);
    return;
  }
  const int lu = s.lfile - nl - nu;
  const int ll = lu + nu;
  f.a[lu] = d(k, k);
  f.indr[lu] = j;
  int pos = lu + 1;
  for (int c = k + 1; c <= nd; ++c) {
    if (!(std::abs(d(k, c)) > s.small)) continue;  // as counted above, NaN included
    f.a[pos] = d(k, c);
    f.indr[pos] = f.iq[k0 + c];
    ++pos;
  }
  pos = ll;
  for (int r = k + 1; r <= md; ++r) {
    if (!(std::abs(d(r, k)) > s.small)) continue;
    f.a[pos] = d(r, k);
    f.indc[pos] = f.ip[k0 + r];
    f.indr[pos] = i;
    ++pos;
  }
  f.locr[i] = lu;
  f.locc[j] = ll;
  s.lfile = lu;
  if (nl > 0) ++s.num_l0;
}

}  // namespace

int partition_by_flag(FactorWork& s) {
  const Factors& f = s.f;
  // The count-list starts are free once the elimination has ended: they serve as buffers.
  const int nrows = stable_partition(f.ip, f.lenr, s.rows.inv, s.cols.loc, f.m);
  const int ncols = stable_partition(f.iq, f.lenc, s.cols.inv, s.rows.loc, f.n);
  return std::min(nrows, ncols);
}

void lu_dense_finish(FactorWork& s) {
  const Factors& f = s.f;
  partition_by_flag(s);
  const int k0 = s.npiv;
  const int md = f.m - k0;
  const int nd = f.n - k0;
  const std::int64_t size = static_cast<std::int64_t>(md) * nd;
  if (s.lfile - 1 - s.lcol < size) compress_columns(s);
  if (s.lfile - 1 - s.lcol < size || 2 * size > s.lfile - 1) {
    s.inform = lu_inform::kInternalError;
    return;
  }
  // Fill the block just below the L area, then move it to the front so that the factors can
  // be written downward from the L area without overwriting it.
  const std::int64_t base = s.lfile - size;
  for (std::int64_t l = base; l < s.lfile; ++l) f.a[l] = 0.0;
  for (int c = 1; c <= nd; ++c) {
    const int j = f.iq[k0 + c];
    for (int l = f.locc[j]; l < f.locc[j] + std::max(f.lenc[j], 0); ++l) {
      const int r = s.rows.inv[f.indc[l]] - k0;
      f.a[base + static_cast<std::int64_t>(c - 1) * md + (r - 1)] = f.a[l];
    }
  }
  for (std::int64_t l = 0; l < size; ++l) f.a[1 + l] = f.a[base + l];
  for (int k = k0 + 1; k <= f.m; ++k) f.lenr[f.ip[k]] = 0;
  for (int k = k0 + 1; k <= f.n; ++k) f.lenc[f.iq[k]] = 0;

  const int rank = dense_lu(s, k0, md, nd);
  for (int k = 1; k <= rank; ++k) store_dense_pivot(s, k0, md, nd, k);
  s.nrank = k0 + rank;
  s.npiv = s.nrank;
  s.dense_done = true;
}

}  // namespace zun::lu
