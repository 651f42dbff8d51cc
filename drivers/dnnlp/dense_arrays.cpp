// Building the dense problem arrays of DNNLPF from the ASL's view of a problem.
#include "drivers/dnnlp/dense_arrays.h"

#include <algorithm>
#include <limits>
#include <new>

namespace dnnlp {
namespace {

std::size_t size_of(std::int64_t length) { return static_cast<std::size_t>(length); }

void fill_linear_matrix(const ProblemShape& s, DenseArrays& d) {
  for (int k = 0; k < d.nclin; ++k) {
    for (const zun_driver::Term& t : s.rows[static_cast<std::size_t>(d.ncnln + k)]) {
      d.a[size_of(static_cast<std::int64_t>(t.var) * d.lda + k)] = t.coef;
    }
  }
}

// Variables, then the linear rows (ASL rows ncnln..), then the nonlinear rows (ASL rows
// 0..ncnln-1).
void fill_bounds(const ProblemShape& s, DenseArrays& d) {
  const auto n = static_cast<std::ptrdiff_t>(d.n);
  const auto nl = static_cast<std::ptrdiff_t>(d.ncnln);
  std::copy(s.var_lower.begin(), s.var_lower.end(), d.bl.begin());
  std::copy(s.var_upper.begin(), s.var_upper.end(), d.bu.begin());
  std::copy(s.row_lower.begin() + nl, s.row_lower.end(), d.bl.begin() + n);
  std::copy(s.row_upper.begin() + nl, s.row_upper.end(), d.bu.begin() + n);
  std::copy(s.row_lower.begin(), s.row_lower.begin() + nl, d.bl.begin() + n + d.nclin);
  std::copy(s.row_upper.begin(), s.row_upper.begin() + nl, d.bu.begin() + n + d.nclin);
}

}  // namespace

DenseLengths dense_lengths(std::int64_t n, std::int64_t nclin, std::int64_t ncnln) {
  DenseLengths l{};
  l.a = nclin * n + 1;
  l.rows = n + nclin + ncnln;
  l.c = ncnln + 1;
  l.jacnl = ncnln * n + 1;
  l.r = n * n;
  l.leniw = 3 * n + nclin + 2 * ncnln;
  l.lenw = 2 * n * n + n * nclin + 2 * n * ncnln + 21 * n + 11 * nclin + 22 * ncnln + 1;
  return l;
}

bool fits_32_bits(const DenseLengths& l) {
  constexpr std::int64_t kLargest = std::numeric_limits<int>::max();
  return std::max({l.a, l.rows, l.c, l.jacnl, l.r, l.leniw, l.lenw}) <= kLargest;
}

DenseArrays build_dense_arrays(const ProblemShape& s) {
  DenseArrays d;
  d.n = s.var_count;
  d.ncnln = s.nonlinear_rows;
  d.nclin = static_cast<int>(s.rows.size()) - d.ncnln;
  const DenseLengths l = dense_lengths(d.n, d.nclin, d.ncnln);
  if (!fits_32_bits(l)) throw std::bad_alloc();
  d.lda = std::max(1, d.nclin);
  d.ldcj = std::max(1, d.ncnln);
  d.ldr = d.n;
  d.leniw = static_cast<int>(l.leniw);
  d.lenw = static_cast<int>(l.lenw);
  d.a.assign(size_of(l.a), 0.0);
  d.bl.assign(size_of(l.rows), 0.0);
  d.bu.assign(size_of(l.rows), 0.0);
  d.istate.assign(size_of(l.rows), 0);
  d.c.assign(size_of(l.c), 0.0);
  d.jacnl.assign(size_of(l.jacnl), 0.0);
  d.mult.assign(size_of(l.rows), 0.0);
  d.objg.assign(size_of(d.n), 0.0);
  d.r.assign(size_of(l.r), 0.0);
  d.x = s.start;
  d.needrow.assign(size_of(l.c), 0);
  d.iwork.assign(size_of(std::max<std::int64_t>(l.leniw, 1)), 0);
  d.work.assign(size_of(l.lenw), 0.0);
  d.scratch.assign(size_of(d.n), 0.0);
  fill_linear_matrix(s, d);
  fill_bounds(s, d);
  return d;
}

void copy_row_multipliers(const DenseArrays& d, double* duals) {
  const auto n = static_cast<std::ptrdiff_t>(d.n);
  std::copy(d.mult.begin() + n + d.nclin, d.mult.begin() + n + d.nclin + d.ncnln, duals);
  std::copy(d.mult.begin() + n, d.mult.begin() + n + d.nclin, duals + d.ncnln);
}

}  // namespace dnnlp
