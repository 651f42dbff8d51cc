// The dense problem arrays of the dnnlp driver: lengths against the solver's own need, the
// 32-bit limit, the placement of the linear constraints and bounds, and the multipliers in the
// ASL's row order.
#include "drivers/dnnlp/dense_arrays.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "library/dense_sqp/dense_sqp.h"

namespace {

using dnnlp::DenseArrays;
using zun_driver::ProblemShape;
using zun_driver::Term;

// n variables, `nonlinear` nonlinear rows then `linear` linear rows; row i has the terms
// (j, 10*(i+1) + j) for every variable j; bounds and start values tell their owner apart.
ProblemShape shape(int n, int nonlinear, int linear) {
  ProblemShape s;
  s.var_count = n;
  s.nonlinear_rows = nonlinear;
  s.nonlinear_jacobian_vars = nonlinear > 0 ? n : 0;
  s.has_objective = true;
  for (int i = 0; i < nonlinear + linear; ++i) {
    std::vector<Term> row;
    for (int j = 0; j < n; ++j) row.push_back(Term{j, 10.0 * (i + 1) + j});
    s.rows.push_back(row);
    s.row_lower.push_back(-100.0 - i);
    s.row_upper.push_back(100.0 + i);
    s.duals.push_back(0.5);
  }
  for (int j = 0; j < n; ++j) {
    s.var_lower.push_back(-1.0 - j);
    s.var_upper.push_back(1.0 + j);
    s.start.push_back(0.25 * j);
  }
  return s;
}

TEST(DenseArrays, LengthsCoverWhatTheSolverNeeds) {
  for (int n = 1; n <= 7; ++n) {
    for (int nclin = 0; nclin <= 4; ++nclin) {
      for (int ncnln = 0; ncnln <= 4; ++ncnln) {
        const dnnlp::DenseLengths l = dnnlp::dense_lengths(n, nclin, ncnln);
        const zun::DenseWorkspaceNeed need = zun::dense_workspace_need(n, nclin, ncnln);
        EXPECT_EQ(l.leniw, need.integers) << n << " " << nclin << " " << ncnln;
        EXPECT_GE(l.lenw, need.reals) << n << " " << nclin << " " << ncnln;
      }
    }
  }
}

TEST(DenseArrays, LengthsBeyond32BitsAreRefusedBeforeAllocating) {
  // 2n^2 + 21n + 1 reaches 2^31 between n = 32762 and n = 32763.
  EXPECT_TRUE(dnnlp::fits_32_bits(dnnlp::dense_lengths(32762, 0, 0)));
  EXPECT_FALSE(dnnlp::fits_32_bits(dnnlp::dense_lengths(32763, 0, 0)));
  EXPECT_FALSE(dnnlp::fits_32_bits(dnnlp::dense_lengths(100, 30000000, 0)));
  ProblemShape huge;
  huge.var_count = 50000;  // no arrays are built for it: the lengths are refused first
  EXPECT_THROW(dnnlp::build_dense_arrays(huge), std::bad_alloc);
}

TEST(DenseArrays, LinearRowsBoundsAndStartTakeTheirPlaces) {
  constexpr int n = 3, nonlinear = 2, linear = 2;
  const ProblemShape s = shape(n, nonlinear, linear);
  const DenseArrays d = dnnlp::build_dense_arrays(s);
  EXPECT_EQ(d.n, n);
  EXPECT_EQ(d.nclin, linear);
  EXPECT_EQ(d.ncnln, nonlinear);
  EXPECT_EQ(d.lda, linear);
  EXPECT_EQ(d.ldcj, nonlinear);
  EXPECT_EQ(d.ldr, n);
  ASSERT_EQ(d.a.size(), static_cast<std::size_t>(linear * n + 1));
  for (int k = 0; k < linear; ++k) {
    for (int j = 0; j < n; ++j) {
      EXPECT_EQ(d.a[j * d.lda + k], 10.0 * (nonlinear + k + 1) + j) << k << " " << j;
    }
  }
  const std::vector<double> lower = {-1, -2, -3, -102, -103, -100, -101};
  const std::vector<double> upper = {1, 2, 3, 102, 103, 100, 101};
  EXPECT_EQ(d.bl, lower);
  EXPECT_EQ(d.bu, upper);
  EXPECT_EQ(d.x, s.start);
  EXPECT_EQ(d.mult, std::vector<double>(7, 0.0));
  EXPECT_EQ(d.istate, std::vector<int>(7, 0));
  EXPECT_EQ(d.r.size(), static_cast<std::size_t>(n * n));
  EXPECT_EQ(d.jacnl.size(), static_cast<std::size_t>(nonlinear * n + 1));
  EXPECT_EQ(d.iwork.size(), static_cast<std::size_t>(d.leniw));
  EXPECT_EQ(d.work.size(), static_cast<std::size_t>(d.lenw));
}

TEST(DenseArrays, MissingRowKindsKeepOneElementAndLeadingDimensionOne) {
  const DenseArrays d = dnnlp::build_dense_arrays(shape(2, 0, 0));
  EXPECT_EQ(d.lda, 1);
  EXPECT_EQ(d.ldcj, 1);
  EXPECT_EQ(d.a.size(), 1u);
  EXPECT_EQ(d.c.size(), 1u);
  EXPECT_EQ(d.jacnl.size(), 1u);
  EXPECT_EQ(d.needrow.size(), 1u);
  EXPECT_EQ(d.bl.size(), 2u);
}

TEST(DenseArrays, MultipliersReturnInTheAslRowOrder) {
  DenseArrays d = dnnlp::build_dense_arrays(shape(2, 2, 3));
  // Variables 1..2, linear rows 3..5, nonlinear rows 6..7.
  d.mult = {-1, -2, 31, 32, 33, 61, 62};
  std::vector<double> duals(5, 0.0);
  dnnlp::copy_row_multipliers(d, duals.data());
  EXPECT_EQ(duals, (std::vector<double>{61, 62, 31, 32, 33}));
}

}  // namespace
