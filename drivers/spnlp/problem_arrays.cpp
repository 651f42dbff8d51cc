// Building the column-compressed problem arrays of SPNLPF from the ASL's view of a problem.
#include "drivers/spnlp/problem_arrays.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace spnlp {
namespace {

// Sizes reach the solver as 32-bit integers: a larger one is treated as a failed allocation.
void require_32_bits(std::int64_t count) {
  if (count > std::numeric_limits<int>::max()) throw std::bad_alloc();
}

int checked_count(std::int64_t count) {
  require_32_bits(count);
  return static_cast<int>(count);
}

std::size_t at_least_one(std::int64_t length) {
  return static_cast<std::size_t>(std::max<std::int64_t>(length, 1));
}

// Matrix sizes and the per-column counts, turned into 0-based starts by running sums.
struct ColumnLayout {
  std::vector<std::int64_t> start;   // n+1 starts of all elements
  std::vector<std::int64_t> gstart;  // nlvc+1 starts of the nonlinear Jacobian elements
};

ColumnLayout count_columns(const ProblemShape& s, bool objective_row) {
  ColumnLayout layout;
  layout.start.assign(static_cast<std::size_t>(s.var_count) + 1, 0);
  layout.gstart.assign(static_cast<std::size_t>(s.nonlinear_jacobian_vars) + 1, 0);
  for (std::size_t r = 0; r < s.rows.size(); ++r) {
    const bool nonlinear_row = static_cast<int>(r) < s.nonlinear_rows;
    for (const Term& t : s.rows[r]) {
      ++layout.start[t.var + 1];
      if (nonlinear_row && t.var < s.nonlinear_jacobian_vars) ++layout.gstart[t.var + 1];
    }
  }
  if (objective_row) {
    for (const Term& t : s.objective) ++layout.start[t.var + 1];
  }
  for (std::size_t j = 1; j < layout.start.size(); ++j) layout.start[j] += layout.start[j - 1];
  for (std::size_t j = 1; j < layout.gstart.size(); ++j) {
    layout.gstart[j] += layout.gstart[j - 1];
  }
  return layout;
}

void allocate(SparseArrays& a) {
  const std::int64_t nm = static_cast<std::int64_t>(a.n) + a.m;
  a.aval.assign(at_least_one(a.nnz), 0.0);
  a.ha.assign(at_least_one(a.nnz), 0);
  a.ka.assign(static_cast<std::size_t>(a.n) + 1, 0);
  a.bl.assign(at_least_one(nm), 0.0);
  a.bu.assign(at_least_one(nm), 0.0);
  a.xv.assign(at_least_one(nm), 0.0);
  a.mult.assign(at_least_one(nm), 0.0);
  a.istate.assign(at_least_one(nm), 0);
  a.iusr.assign(static_cast<std::size_t>(a.ngcon) + 1, 0);
  a.rusr.assign(at_least_one(2 * static_cast<std::int64_t>(a.n)), 0.0);
}

// Places the elements column by column; `next` holds each column's next free position.
void fill_matrix(const ProblemShape& s, SparseArrays& a, const ColumnLayout& layout) {
  std::vector<std::int64_t> next(layout.start.begin(), layout.start.end() - 1);
  std::vector<std::int64_t> gnext(layout.gstart.begin(), layout.gstart.end() - 1);
  std::size_t c = 0;
  for (std::size_t r = 0; r < s.rows.size(); ++r) {
    const bool nonlinear_row = static_cast<int>(r) < s.nonlinear_rows;
    for (const Term& t : s.rows[r]) {
      const std::int64_t p = next[t.var]++;
      a.ha[p] = static_cast<int>(r) + 1;
      a.aval[p] = t.coef;
      if (nonlinear_row && t.var < s.nonlinear_jacobian_vars)
        a.iusr[++c] = static_cast<int>(gnext[t.var]++);
    }
  }
  if (a.iobj > 0) {
    for (const Term& t : s.objective) {
      const std::int64_t p = next[t.var]++;
      a.ha[p] = a.m;
      a.aval[p] = t.var < s.nonlinear_objective_vars ? 0.0 : t.coef;
    }
  }
  for (std::size_t j = 0; j < layout.start.size(); ++j) {
    a.ka[j] = static_cast<int>(layout.start[j] + 1);
  }
}

// The dummy free row: one zero element in column 1, row 1.
void fill_dummy_row(SparseArrays& a) {
  a.ha[0] = 1;
  a.aval[0] = 0.0;
  a.ka[0] = 1;
  for (int j = 1; j <= a.n; ++j) a.ka[j] = 2;
}

void fill_bounds_and_start(const ProblemShape& s, SparseArrays& a) {
  const std::size_t n = static_cast<std::size_t>(a.n);
  std::copy(s.var_lower.begin(), s.var_lower.end(), a.bl.begin());
  std::copy(s.var_upper.begin(), s.var_upper.end(), a.bu.begin());
  std::copy(s.row_lower.begin(), s.row_lower.end(), a.bl.begin() + n);
  std::copy(s.row_upper.begin(), s.row_upper.end(), a.bu.begin() + n);
  if (a.iobj != 0) {
    const std::size_t free_row = n + static_cast<std::size_t>(a.iobj > 0 ? a.iobj : 1) - 1;
    a.bl[free_row] = -kFreeRowBound;
    a.bu[free_row] = kFreeRowBound;
  }
  std::copy(s.start.begin(), s.start.end(), a.xv.begin());
  std::copy(s.duals.begin(), s.duals.begin() + s.nonlinear_rows, a.mult.begin() + n);
}

}  // namespace

bool needs_objective_row(const ProblemShape& s) {
  if (!s.has_objective || s.nonlinear_objective_vars >= s.var_count) return false;
  return std::any_of(s.objective.begin(), s.objective.end(),
                     [&](const Term& t) { return t.var >= s.nonlinear_objective_vars; });
}

SparseArrays build_sparse_arrays(const ProblemShape& s) {
  SparseArrays a;
  const bool objective_row = needs_objective_row(s);
  const int n_con = static_cast<int>(s.rows.size());
  a.n = s.var_count;
  a.m = checked_count(static_cast<std::int64_t>(n_con) + (objective_row ? 1 : 0));
  const bool dummy_row = a.m == 0;
  if (dummy_row) a.m = 1;
  a.ncnln = s.nonlinear_rows;
  a.nonln = s.nonlinear_objective_vars;
  a.njnln = s.nonlinear_jacobian_vars;
  a.iobj = objective_row ? a.m : (dummy_row ? -1 : 0);
  require_32_bits(static_cast<std::int64_t>(a.n) + a.m);
  require_32_bits(2 * static_cast<std::int64_t>(a.n));

  const ColumnLayout layout = count_columns(s, objective_row);
  a.nnz = dummy_row ? 1 : checked_count(layout.start.back());
  require_32_bits(layout.start.back() + 1);  // KA(N+1) = NNZ + 1
  a.ngcon = checked_count(layout.gstart.back());
  require_32_bits(layout.gstart.back() + 1);
  allocate(a);
  a.iusr[0] = s.has_objective ? 0 : -1;
  if (dummy_row) {
    fill_dummy_row(a);
  } else {
    fill_matrix(s, a, layout);
  }
  fill_bounds_and_start(s, a);
  return a;
}

}  // namespace spnlp
