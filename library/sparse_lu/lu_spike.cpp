// Elimination of the spike row of a column replacement.  The spike row is held by columns in
// the work array w while it is eliminated; locc (free after the factorisation) marks its
// columns: 1 present, -1 listed but deleted, 0 not listed.
#include <algorithm>
#include <cmath>

#include "library/sparse_lu/lu_update.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun::lu {
namespace {

constexpr int kPresent = 1;
constexpr int kDeleted = -1;

class Spike {
 public:
  explicit Spike(Update& u) : u_(u), f_(u.f) {}

  int row() const { return row_; }
  int count() const { return count_; }
  bool has(int j) const { return f_.locc[j] == kPresent; }
  double value(int j) const { return u_.w[j]; }

  // Moves row i to the end of the row file and scatters it into w.
  bool load(int i) {
    if (!ensure_row_room(u_, f_.lenr[i])) return false;
    move_row_to_end(u_, i);
    row_ = i;
    count_ = f_.lenr[i];
    u_.len_u -= count_;
    for (int l = f_.locr[i]; l < f_.locr[i] + f_.lenr[i]; ++l) {
      u_.w[f_.indr[l]] = f_.a[l];
      f_.locc[f_.indr[l]] = kPresent;
    }
    return true;
  }

  void remove(int j) {
    f_.locc[j] = kDeleted;
    u_.w[j] = 0.0;
    --count_;
  }

  // Adds t to the entry in column j, deleting it when it falls to <= small; a new entry is
  // appended when |t| > small.
  bool add(int j, double t) {
    if (has(j)) {
      u_.w[j] += t;
      if (std::abs(u_.w[j]) <= u_.small) remove(j);
      return true;
    }
    if (std::abs(t) <= u_.small) return true;
    if (f_.locc[j] == 0) {
      if (!ensure_row_room(u_, 1)) return false;
      if (f_.lenr[row_] == 0) f_.locr[row_] = u_.lrow + 1;
      const int next = u_.lrow + 1;
      f_.indr[next] = j;
      f_.a[next] = 0.0;
      f_.lenr[row_] += 1;
      u_.lrow = next;
    }
    f_.locc[j] = kPresent;
    u_.w[j] = t;
    ++count_;
    return true;
  }

  // Writes the live entries back into the row (compacted), with column `front` first when
  // present, and clears w and the marks.  Returns the front value or 0 when absent.
  double store(int front) {
    const int l1 = f_.locr[row_];
    int pos = l1;
    double front_value = 0.0;
    for (int l = l1; l < l1 + f_.lenr[row_]; ++l) {
      const int j = f_.indr[l];
      if (f_.locc[j] == kPresent) {
        f_.a[pos] = u_.w[j];
        f_.indr[pos] = j;
        if (j == front) {
          std::swap(f_.a[pos], f_.a[l1]);
          std::swap(f_.indr[pos], f_.indr[l1]);
          front_value = f_.a[l1];
        }
        ++pos;
      }
      f_.locc[j] = 0;
      u_.w[j] = 0.0;
    }
    for (int l = pos; l < l1 + f_.lenr[row_]; ++l) f_.indr[l] = 0;
    f_.lenr[row_] = pos - l1;
    u_.len_u += f_.lenr[row_];
    pull_back_rows(u_);
    return front_value;
  }

 private:
  Update& u_;
  const Factors& f_;
  int row_ = 0;
  int count_ = 0;
};

// The spike row gets mult times the off-diagonal part of row r.  The room for every new entry
// is made first, so that no compression moves row r while it is read.
bool add_row_multiple(Update& u, Spike& spike, int r, double mult) {
  const Factors& f = u.f;
  if (!ensure_row_room(u, f.lenr[r])) return false;
  const int l1 = f.locr[r];
  for (int l = l1 + 1; l < l1 + f.lenr[r]; ++l) {
    if (!spike.add(f.indr[l], mult * f.a[l])) return false;
  }
  return true;
}

}  // namespace

int lu_eliminate_spike_row(Update& u, int first, int last, double& diag) {
  const Factors& f = u.f;
  diag = 0.0;
  for (int j = 1; j <= f.n; ++j) {
    f.locc[j] = 0;
    u.w[j] = 0.0;
  }
  if (!ensure_row_room(u, static_cast<std::int64_t>(f.n) + 1)) return lu_inform::kNoStorage;
  Spike spike(u);
  if (!spike.load(f.ip[last])) return lu_inform::kNoStorage;
  const int kend = std::min(last, f.n);
  bool exchanged = false;
  for (int k = first; k <= kend;) {
    const int jk = f.iq[k];
    if (k == last || !spike.has(jk)) {
      ++k;
      exchanged = false;
      continue;
    }
    const double v = spike.value(jk);
    const int r = f.ip[k];
    const bool starts_with_diag = f.lenr[r] > 0 && f.indr[f.locr[r]] == jk;
    bool swap_rows = !starts_with_diag;
    if (starts_with_diag && !exchanged) {
      const double uk = std::abs(f.a[f.locr[r]]);
      swap_rows =
          uk <= u.ltol2 * std::abs(v) && (u.ltol2 * uk < std::abs(v) || spike.count() < f.lenr[r]);
    }
    if (swap_rows) {
      // The spike takes place k starting with its entry in column jk; row r becomes the spike.
      spike.store(jk);
      std::swap(f.ip[k], f.ip[last]);
      if (!spike.load(r)) return lu_inform::kNoStorage;
      exchanged = true;
      continue;
    }
    spike.remove(jk);
    if (std::abs(v) > u.small) {
      const double mult = -v / f.a[f.locr[r]];
      if (!add_l_factor(u, mult, spike.row(), r)) return lu_inform::kNoStorage;
      if (!add_row_multiple(u, spike, r, mult)) return lu_inform::kNoStorage;
    }
    exchanged = false;
    ++k;
  }
  diag = spike.store(last <= f.n ? f.iq[last] : 0);
  const std::int64_t limit = static_cast<std::int64_t>(u.uspace * u.len_u) + f.m + f.n + 1000;
  if (u.lrow > limit) compress_u_rows(u);
  return diag != 0.0 ? lu_inform::kOk : lu_inform::kSingular;
}

}  // namespace zun::lu
