// The crash: an initial basis of slacks and columns chosen so that the first factorisation is
// nearly triangular.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_qp/sparse_multiply.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"

namespace zun {
namespace {

namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

// CrashRowState.
constexpr int kOpen = 1;
constexpr int kCovered = 2;
constexpr int kTaken = 3;
constexpr int kPreferred = -1;  // a column that was basic before the crash

constexpr int kStatisticsLevel = 20;
constexpr double kNearBound = 0.01;
constexpr double kFreeBound = 10000.0;
constexpr double kSmallColumn = 0.001;

// Column passes, in order; the counters are indexed by pass.
enum Pass { kSlack = 1, kFree = 2, kPreferredPass = 3, kUnit = 4, kDouble = 5, kTriangle = 6 };

struct Crash {
  int mode;
  int m;
  int n;
  int ncnln;
  double tol;
  const ColumnMatrix& a;
  int* row_state;
  int* state;
  const int* row_type;
  const double* bl;
  const double* bu;
  double* x;
  int basics = 0;
  std::array<int, 7> counters{};

  int& slack(int i) const { return state[n + i - 1]; }
};

// Puts the slack of row i on the nearer bound when it lies within 0.01 of one.
bool set_near_bound(Crash& c, int i) {
  const int j = c.n + i - 1;
  const double to_lower = c.x[j] - c.bl[j];
  const double to_upper = c.bu[j] - c.x[j];
  if (std::min(to_lower, to_upper) > kNearBound) return false;
  const bool upper = to_upper < to_lower;
  c.x[j] = upper ? c.bu[j] : c.bl[j];
  c.state[j] = upper ? VariableState::kAtUpper : VariableState::kAtLower;
  return true;
}

void take_row(Crash& c, int i) {
  c.row_state[i - 1] = kTaken;
  c.slack(i) = VariableState::kBasic;
  ++c.basics;
}

// Rows whose open status is covered by a column that is basic already.
void cover_rows_of_basic_columns(Crash& c, int first, int last) {
  for (int j = 1; j <= c.n; ++j) {
    if (c.state[j - 1] != VariableState::kBasic) continue;
    for (int l = c.a.starts[j - 1]; l < c.a.starts[j]; ++l) {
      const int i = c.a.rows[l - 1];
      if (i >= first && i <= last && c.row_state[i - 1] == kOpen && c.a.values[l - 1] != 0.0) {
        c.row_state[i - 1] = kCovered;
      }
    }
  }
}

// The set-up of each mode; returns the first row of the passes (0: nothing to do).
int set_up(Crash& c) {
  const int m = c.m;
  if (c.mode <= 3) {
    const int k1 = c.mode == 1 ? 1 : c.ncnln + 1;
    for (int j = 0; j < c.n; ++j) {
      if (c.state[j] == VariableState::kBasic) c.state[j] = kPreferred;
    }
    for (int i = k1; i <= m; ++i) {
      c.row_state[i - 1] = kOpen;
      c.slack(i) = VariableState::kAtLower;
    }
    if (c.mode >= 2) {
      for (int i = 1; i < k1; ++i) take_row(c, i);
    }
    if (c.mode == 3) {
      for (int i = k1; i <= m; ++i) {
        if (c.row_type[i - 1] != 0) take_row(c, i);
      }
    }
    return k1;
  }
  if (c.mode == 4) {
    if (c.ncnln == m) return 0;
    for (int i = 1; i <= c.ncnln; ++i) c.row_state[i - 1] = kTaken;
    c.basics = c.ncnln;
    for (int i = c.ncnln + 1; i <= m; ++i) {
      if (c.row_type[i - 1] == 0) {
        c.row_state[i - 1] = kTaken;
        ++c.basics;
      } else {
        c.row_state[i - 1] = kOpen;
        c.slack(i) = VariableState::kAtLower;
      }
    }
    cover_rows_of_basic_columns(c, c.ncnln + 1, m);
    return c.ncnln + 1;
  }
  for (int i = c.ncnln + 1; i <= m; ++i) c.row_state[i - 1] = kTaken;
  c.basics = m - c.ncnln;
  for (int i = 1; i <= c.ncnln; ++i) {
    c.row_state[i - 1] = kOpen;
    c.slack(i) = VariableState::kAtLower;
  }
  cover_rows_of_basic_columns(c, 1, c.ncnln);
  return 1;
}

void slack_pass(Crash& c, int k1) {
  for (int i = k1; i <= c.m; ++i) {
    if (c.slack(i) >= VariableState::kSuperbasic || c.row_type[i - 1] == 0) continue;
    if (c.mode >= 4 && set_near_bound(c, i)) continue;
    take_row(c, i);
    ++c.counters[kSlack];
  }
}

bool column_qualifies(const Crash& c, int pass, int j) {
  const int s = c.state[j - 1];
  if (s >= VariableState::kSuperbasic || c.bl[j - 1] == c.bu[j - 1]) return false;
  if (pass == kFree) return c.bl[j - 1] <= -kFreeBound && c.bu[j - 1] >= kFreeBound;
  if (pass == kPreferredPass) return s == kPreferred;
  return true;
}

// Tries column j in a pass; true when it became basic.
bool try_column(Crash& c, int pass, int j) {
  const int first = c.a.starts[j - 1];
  const int last = c.a.starts[j];
  double amax = 0.0;
  for (int l = first; l < last; ++l) {
    if (c.row_state[c.a.rows[l - 1] - 1] != kCovered)
      amax = std::max(amax, std::abs(c.a.values[l - 1]));
  }
  if (amax <= kSmallColumn) return false;
  const double small = c.tol * amax;
  int nz = 0;
  bool conflict = false;
  double conflict_max = 0.0;
  int open_row = 0;
  int covered_row = 0;
  double open_best = 0.0;
  double covered_best = 0.0;
  for (int l = first; l < last; ++l) {
    const int i = c.a.rows[l - 1];
    const double v = std::abs(c.a.values[l - 1]);
    if (c.slack(i) == VariableState::kBasic || v <= small) continue;
    ++nz;
    const int rs = c.row_state[i - 1];
    if (rs == kOpen && v > open_best) {
      open_best = v;
      open_row = i;
    } else if (rs == kCovered && v > covered_best) {
      covered_best = v;
      covered_row = i;
    } else if (rs == kTaken) {
      conflict = true;
      conflict_max = std::max(conflict_max, v);
    }
  }
  if ((pass == kUnit && nz != 1) || (pass == kDouble && nz != 2)) return false;
  const int pivot = open_row != 0 ? open_row : (conflict ? 0 : covered_row);
  if (pivot == 0) return false;
  // A column with an entry in a taken row lies above the diagonal of the triangle, and the
  // basis solve multiplies by that entry over the pivot: when it is the larger, a chain of
  // such columns (each pivoting on its small entry in the next open row) makes a basis whose
  // condition grows geometrically along the chain.  (With a conflict the pivot row is open.)
  if (conflict_max > open_best) return false;
  ++c.counters[pass];
  c.state[j - 1] = VariableState::kBasic;
  c.row_state[pivot - 1] = kTaken;
  ++c.basics;
  for (int l = first; l < last; ++l) {
    const int i = c.a.rows[l - 1];
    if (c.row_state[i - 1] == kOpen && std::abs(c.a.values[l - 1]) > small)
      c.row_state[i - 1] = kCovered;
  }
  return true;
}

void column_passes(Crash& c) {
  for (int pass = kFree; pass <= kTriangle && c.basics < c.m; ++pass) {
    for (int j = 1; j <= c.n && c.basics < c.m; ++j) {
      if (column_qualifies(c, pass, j)) try_column(c, pass, j);
    }
  }
}

void pad_with_slacks(Crash& c, int unit, bool report) {
  const int pad = c.m - c.basics;
  if (report) {
    const auto f = [](int v) { return platform::format_i(v, 6); };
    qp::write_record(unit, " Slacks   " + f(c.counters[kSlack]) + "   Free cols" +
                               f(c.counters[kFree]) + "   Preferred" +
                               f(c.counters[kPreferredPass]));
    qp::write_record(unit, " Unit     " + f(c.counters[kUnit]) + "   Double   " +
                               f(c.counters[kDouble]) + "   Triangle " + f(c.counters[kTriangle]) +
                               "   Pad      " + f(pad));
  }
  int left = pad;
  for (int i = 1; i <= c.m && left > 0; ++i) {
    if (c.row_state[i - 1] == kTaken) continue;
    c.row_state[i - 1] = kTaken;
    c.slack(i) = VariableState::kBasic;
    --left;
  }
}

// Crash modes 4 and 5 count rows as taken without looking at the columns that were basic
// already, so more than m variables can end up basic: the columns that were basic before the
// call leave again, last column first.
void demote_surplus(Crash& c, const std::vector<char>& was_basic) {
  int basics = 0;
  for (int j = 0; j < c.n + c.m; ++j) basics += c.state[j] == VariableState::kBasic;
  for (int j = c.n; j >= 1 && basics > c.m; --j) {
    if (!was_basic[j - 1] || c.state[j - 1] != VariableState::kBasic) continue;
    double& xj = c.x[j - 1];
    if (xj <= c.bl[j - 1]) {
      xj = c.bl[j - 1];
      c.state[j - 1] = VariableState::kAtLower;
    } else if (xj >= c.bu[j - 1]) {
      xj = c.bu[j - 1];
      c.state[j - 1] = VariableState::kAtUpper;
    } else {
      c.state[j - 1] = VariableState::kAtLower;
    }
    --basics;
  }
}

void write_heading(const Crash& c, int unit, int option_value) {
  if (c.mode <= 3) {
    qp::write_record(unit, " Crash option" + platform::format_i(option_value, 3));
    if (c.mode == 3 && c.ncnln < c.m)
      qp::write_record(unit, " Crash on linear E  rows ( equalities ):");
  } else if (c.mode == 4) {
    qp::write_record(unit, " Crash on linear LG rows (inequalities):");
  } else {
    qp::write_record(unit, " Crash on nonlinear rows:");
  }
}

void row_activities(const Crash& c, const double* z) {
  const int unused = 0;
  sparse_multiply("N", z[rw::kEpsPow08 - 1], unused, unused, c.a.values, c.a.rows, c.a.starts, 1.0,
                  c.x, c.n, 0.0, c.x + c.n, c.m, 1);
}

}  // namespace

void crash_basis(int mode,
                 int print_level,
                 int m,
                 int n,
                 int option_value,
                 double crash_tol,
                 const ColumnMatrix& a,
                 int* row_state,
                 int* state,
                 const int* row_type,
                 const double* bl,
                 const double* bu,
                 double* x,
                 const int* iz,
                 const double* z) {
  Crash c{mode, m,  n, iz[ws::kNonlinearConstraints - 1], crash_tol, a, row_state, state, row_type,
          bl,   bu, x};
  const int unit = qp::units(iz).monitor;
  const bool report = unit >= 0 && print_level >= kStatisticsLevel;
  if (report) write_heading(c, unit, option_value);
  if (mode <= 4) row_activities(c, z);
  if (mode == 0) {
    std::fill(state, state + n, VariableState::kAtLower);
    std::fill(state + n, state + n + m, VariableState::kBasic);
    return;
  }
  std::vector<char> was_basic(n);
  for (int j = 0; j < n; ++j) was_basic[j] = state[j] == VariableState::kBasic;
  const int k1 = set_up(c);
  if (k1 == 0) return;
  bool open = false;
  for (int i = k1; i <= m; ++i) open = open || row_state[i - 1] == kOpen;
  if (open || mode >= 4) {
    slack_pass(c, k1);
    column_passes(c);
    pad_with_slacks(c, unit, report);
  }
  for (int i = k1; i <= m; ++i) {
    if (c.slack(i) < VariableState::kSuperbasic && row_type[i - 1] != 0) set_near_bound(c, i);
  }
  for (int j = 0; j < n; ++j) {
    if (state[j] == kPreferred) state[j] = VariableState::kAtLower;
  }
  if (mode >= 4) demote_surplus(c, was_basic);
}

}  // namespace zun
