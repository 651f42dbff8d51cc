// The column-compressed problem arrays built from the ASL's view of a problem.
#include "drivers/spnlp/problem_arrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using spnlp::ProblemShape;
using spnlp::SparseArrays;
using spnlp::Term;

// A shape with the given sizes, zero bounds and start point, and no rows.
ProblemShape empty_shape(int n_var, int nlvo) {
  ProblemShape s;
  s.var_count = n_var;
  s.nonlinear_objective_vars = nlvo;
  s.var_lower.assign(n_var, -1.0);
  s.var_upper.assign(n_var, 1.0);
  s.start.assign(n_var, 0.5);
  return s;
}

void add_row(ProblemShape& s, std::vector<Term> terms, double lower, double upper, double dual) {
  s.rows.push_back(std::move(terms));
  s.row_lower.push_back(lower);
  s.row_upper.push_back(upper);
  s.duals.push_back(dual);
}

// A consistent shape: 3 variables, nonlinear row 1 in x1 and x2, linear row 2 in x3, an
// objective with a linear term in x3.
ProblemShape small_shape() {
  ProblemShape s = empty_shape(3, 2);
  s.nonlinear_rows = 1;
  s.nonlinear_jacobian_vars = 2;
  add_row(s, {{0, 0.0}, {1, 0.0}}, -1.0, 1.0, 0.0);
  add_row(s, {{2, 4.0}}, 0.0, 2.0, 0.0);
  s.has_objective = true;
  s.objective = {{0, 0.0}, {2, 1.0}};
  return s;
}

struct CorruptShape {
  const char* name;
  void (*corrupt)(ProblemShape&);
};

class CorruptShapes : public ::testing::TestWithParam<CorruptShape> {};

// Regression: a corrupt .nl file that the ASL reads without complaint gave counts or variable
// numbers out of range, and building the arrays read and wrote past their ends.
TEST_P(CorruptShapes, CorruptCountOrVariableNumberIsRefusedBeforeBuilding) {
  ASSERT_TRUE(spnlp::is_consistent(small_shape()));
  ProblemShape s = small_shape();
  GetParam().corrupt(s);
  EXPECT_FALSE(spnlp::is_consistent(s));
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    CorruptShapes,
    ::testing::Values(
        CorruptShape{"MoreNonlinearRowsThanRows", [](ProblemShape& s) { s.nonlinear_rows = 3; }},
        CorruptShape{"NegativeNonlinearRows", [](ProblemShape& s) { s.nonlinear_rows = -5; }},
        CorruptShape{"JacobianVariablesBeyondN",
                     [](ProblemShape& s) { s.nonlinear_jacobian_vars = 4; }},
        CorruptShape{"NegativeJacobianVariables",
                     [](ProblemShape& s) { s.nonlinear_jacobian_vars = -5; }},
        CorruptShape{"ObjectiveVariablesBeyondN",
                     [](ProblemShape& s) { s.nonlinear_objective_vars = 4; }},
        CorruptShape{"NegativeObjectiveVariables",
                     [](ProblemShape& s) { s.nonlinear_objective_vars = -1; }},
        CorruptShape{"RowTermBeyondN", [](ProblemShape& s) { s.rows[1][0].var = 3; }},
        CorruptShape{"RowTermAtInt32Max", [](ProblemShape& s) { s.rows[1][0].var = 2147483647; }},
        CorruptShape{"NegativeRowTerm", [](ProblemShape& s) { s.rows[0][0].var = -1; }},
        CorruptShape{"ObjectiveTermBeyondN", [](ProblemShape& s) { s.objective[1].var = 7; }},
        CorruptShape{"MissingRowBound", [](ProblemShape& s) { s.row_upper.pop_back(); }},
        CorruptShape{"MissingDual", [](ProblemShape& s) { s.duals.pop_back(); }},
        CorruptShape{"MissingStartValue", [](ProblemShape& s) { s.start.pop_back(); }}),
    [](const ::testing::TestParamInfo<CorruptShape>& info) { return info.param.name; });

TEST(ProblemArrays, PurelyNonlinearObjectiveWithoutRowsGetsTheDummyFreeRow) {
  ProblemShape s = empty_shape(3, 3);
  s.has_objective = true;
  s.objective = {{0, 0.0}, {1, 0.0}, {2, 0.0}};
  const SparseArrays a = spnlp::build_sparse_arrays(s);
  EXPECT_EQ(a.m, 1);
  EXPECT_EQ(a.iobj, -1);
  EXPECT_EQ(a.nnz, 1);
  EXPECT_EQ(a.ha[0], 1);
  EXPECT_EQ(a.aval[0], 0.0);
  EXPECT_EQ(a.ka, (std::vector<int>{1, 2, 2, 2}));
  EXPECT_EQ(a.bl[3], -1e20);
  EXPECT_EQ(a.bu[3], 1e20);
  EXPECT_EQ(a.iusr[0], 0);
  EXPECT_EQ(a.ngcon, 0);
}

TEST(ProblemArrays, LinearObjectiveTermBeyondTheNonlinearVariablesAddsTheObjectiveRow) {
  ProblemShape s = empty_shape(3, 1);
  s.has_objective = true;
  s.objective = {{0, 9.0}, {1, 3.0}, {2, -1.0}};
  const SparseArrays a = spnlp::build_sparse_arrays(s);
  EXPECT_EQ(a.m, 1);
  EXPECT_EQ(a.iobj, 1);
  EXPECT_EQ(a.nnz, 3);
  EXPECT_EQ(a.ha, (std::vector<int>{1, 1, 1}));
  // The nonlinear variable's term belongs to the objective function: its element is 0.
  EXPECT_EQ(a.aval, (std::vector<double>{0.0, 3.0, -1.0}));
  EXPECT_EQ(a.ka, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(a.bl[3], -1e20);
  EXPECT_EQ(a.bu[3], 1e20);
}

TEST(ProblemArrays, ObjectiveTermsOnlyAmongTheNonlinearVariablesAddNoRow) {
  ProblemShape s = empty_shape(3, 2);
  s.has_objective = true;
  s.objective = {{0, 1.0}, {1, 2.0}};
  add_row(s, {{2, 1.0}}, 0.0, 4.0, 7.0);
  const SparseArrays a = spnlp::build_sparse_arrays(s);
  EXPECT_EQ(a.m, 1);
  EXPECT_EQ(a.iobj, 0);
  EXPECT_EQ(a.nnz, 1);
  EXPECT_EQ(a.ka, (std::vector<int>{1, 1, 1, 2}));
  EXPECT_EQ(a.bl[3], 0.0);
  EXPECT_EQ(a.bu[3], 4.0);
  EXPECT_EQ(a.mult[3], 0.0);  // starting duals are passed for nonlinear rows only
}

TEST(ProblemArrays, NoObjectivePassesIndexMinusOneAndBuildsNoObjectiveRow) {
  ProblemShape s = empty_shape(2, 0);
  s.nonlinear_rows = 1;
  s.nonlinear_jacobian_vars = 2;
  add_row(s, {{0, 0.0}, {1, 0.0}}, 1.0, 1.0, 0.25);
  add_row(s, {{0, 1.0}, {1, -1.0}}, 0.0, 0.0, 0.5);
  const SparseArrays a = spnlp::build_sparse_arrays(s);
  EXPECT_EQ(a.iusr[0], -1);
  EXPECT_EQ(a.m, 2);
  EXPECT_EQ(a.iobj, 0);
  EXPECT_EQ(a.ha, (std::vector<int>{1, 2, 1, 2}));
  EXPECT_EQ(a.aval, (std::vector<double>{0.0, 1.0, 0.0, -1.0}));
  EXPECT_EQ(a.ngcon, 2);
  EXPECT_EQ(a.iusr, (std::vector<int>{-1, 0, 1}));
  EXPECT_EQ(a.mult[2], 0.25);
  EXPECT_EQ(a.mult[3], 0.0);
}

TEST(ProblemArrays, NonlinearRowWithoutNonlinearJacobianVariablesAddsNoGconElement) {
  ProblemShape s = empty_shape(3, 0);
  s.nonlinear_rows = 2;
  s.nonlinear_jacobian_vars = 1;
  add_row(s, {{1, 4.0}, {2, 5.0}}, 0.0, 1.0, 0.0);
  add_row(s, {{0, 0.0}, {2, 6.0}}, 0.0, 1.0, 0.0);
  const SparseArrays a = spnlp::build_sparse_arrays(s);
  EXPECT_EQ(a.ngcon, 1);
  EXPECT_EQ(a.iusr, (std::vector<int>{-1, 0}));
}

// Random shapes: every term must land once in its column with its row and value, columns in
// row order, and the walk-order map must be the row-to-column permutation of the nonlinear
// Jacobian block.
class RandomShapes : public ::testing::TestWithParam<unsigned> {};

ProblemShape random_shape(std::mt19937& rng) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int n = uniform(1, 12);
  ProblemShape s = empty_shape(n, uniform(0, n));
  s.nonlinear_jacobian_vars = uniform(0, n);
  const int n_con = uniform(0, 10);
  s.nonlinear_rows = s.nonlinear_jacobian_vars > 0 ? uniform(0, n_con) : 0;
  for (int i = 0; i < n_con; ++i) {
    std::vector<Term> terms;
    for (int j = 0; j < n; ++j) {
      if (uniform(0, 2) == 0) terms.push_back(Term{j, 1.0 + i * 100 + j});
    }
    add_row(s, terms, -i, i, 0.5 + i);
  }
  s.has_objective = uniform(0, 3) != 0;
  if (s.has_objective) {
    for (int j = 0; j < n; ++j) {
      if (uniform(0, 1) == 0) s.objective.push_back(Term{j, -1.0 - j});
    }
  }
  for (int j = 0; j < n; ++j) s.start[j] = 10.0 + j;
  return s;
}

TEST_P(RandomShapes, HoldEveryElementOnceAndMapGconByColumns) {
  std::mt19937 rng(GetParam());
  const ProblemShape s = random_shape(rng);
  const SparseArrays a = spnlp::build_sparse_arrays(s);
  const int n_con = static_cast<int>(s.rows.size());
  const bool objective_row = spnlp::needs_objective_row(s);

  // Expected elements (column, row) -> value.
  std::map<std::pair<int, int>, double> expected;
  for (int i = 0; i < n_con; ++i) {
    for (const Term& t : s.rows[i]) expected[{t.var + 1, i + 1}] = t.coef;
  }
  if (objective_row) {
    for (const Term& t : s.objective) {
      expected[{t.var + 1, n_con + 1}] = t.var < s.nonlinear_objective_vars ? 0.0 : t.coef;
    }
  }
  const bool dummy = n_con == 0 && !objective_row;
  ASSERT_EQ(a.m, dummy ? 1 : n_con + (objective_row ? 1 : 0));
  EXPECT_EQ(a.iobj, objective_row ? a.m : (dummy ? -1 : 0));
  if (dummy) expected = {{{1, 1}, 0.0}};
  ASSERT_EQ(a.nnz, static_cast<int>(expected.size()));
  ASSERT_EQ(a.ka.front(), 1);
  ASSERT_EQ(a.ka.back(), a.nnz + 1);

  std::vector<std::tuple<int, int>> gcon_block;  // (row, column) in column order
  std::map<std::pair<int, int>, double> found;
  for (int j = 1; j <= a.n; ++j) {
    ASSERT_LE(a.ka[j - 1], a.ka[j]);
    for (int p = a.ka[j - 1]; p < a.ka[j]; ++p) {
      if (p > a.ka[j - 1]) {
        EXPECT_LT(a.ha[p - 2], a.ha[p - 1]);
      }
      found[{j, a.ha[p - 1]}] = a.aval[p - 1];
      if (a.ha[p - 1] <= a.ncnln && j <= a.njnln) {
        gcon_block.emplace_back(a.ha[p - 1], j);
      }
    }
  }
  EXPECT_EQ(found, expected);

  // Walk order: row by row, each row's terms in variable order, within the block.
  std::vector<std::tuple<int, int>> walk;
  for (int i = 0; i < s.nonlinear_rows; ++i) {
    for (const Term& t : s.rows[i]) {
      if (t.var < s.nonlinear_jacobian_vars) walk.emplace_back(i + 1, t.var + 1);
    }
  }
  ASSERT_EQ(a.ngcon, static_cast<int>(gcon_block.size()));
  ASSERT_EQ(walk.size(), gcon_block.size());
  std::set<int> positions;
  for (std::size_t c = 0; c < walk.size(); ++c) {
    const int p = a.iusr[c + 1];
    ASSERT_GE(p, 0);
    ASSERT_LT(p, a.ngcon);
    EXPECT_EQ(gcon_block[p], walk[c]);
    positions.insert(p);
  }
  EXPECT_EQ(positions.size(), walk.size());

  for (int j = 0; j < a.n; ++j) {
    EXPECT_EQ(a.xv[j], s.start[j]);
    EXPECT_EQ(a.bl[j], s.var_lower[j]);
  }
  for (int i = 0; i < n_con; ++i) {
    EXPECT_EQ(a.bu[a.n + i], s.row_upper[i]);
    EXPECT_EQ(a.mult[a.n + i], i < s.nonlinear_rows ? s.duals[i] : 0.0);
  }
  EXPECT_EQ(a.iusr[0], s.has_objective ? 0 : -1);
  EXPECT_EQ(static_cast<int>(a.rusr.size()), 2 * a.n);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomShapes, ::testing::Range(1u, 201u));

}  // namespace
