// The crash: every mode on seeded LPs gives a basis that the factorisation accepts, with no
// more basic variables than rows, a well-conditioned basis for a chain of two-entry columns,
// and the edge cases of the passes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/sparse_qp/lp_fixture.h"

namespace zun {
namespace {

using namespace qp_test;
namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;
namespace ws = sparse_ws::integer_word;

Lp crash_lp(std::mt19937& gen) {
  Lp lp = random_matrix(gen, {std::uniform_int_distribution<int>(3, 40)(gen),
                              std::uniform_int_distribution<int>(3, 60)(gen), 0.15});
  std::vector<double> xs(lp.n);
  std::uniform_real_distribution<double> value(-2.0, 2.0);
  for (double& v : xs) v = value(gen);
  random_column_bounds(gen, lp, xs);
  random_row_bounds(gen, lp, lp.product(xs));
  return lp;
}

struct CrashRun {
  std::vector<int> state;
  std::vector<double> x;
};

CrashRun run_crash(
    const Lp& lp, Workspace& w, const std::vector<int>& modes, unsigned seed, int print_level = 0) {
  std::mt19937 gen(seed);
  CrashRun c;
  c.x.assign(lp.n + lp.m, 0.0);
  c.state.assign(lp.n + lp.m, 0);
  std::uniform_int_distribution<int> coin(0, 3);
  int prior = 0;  // columns basic from an earlier crash, at most half the rows
  for (int j = 0; j < lp.n; ++j) {
    c.x[j] = std::clamp(0.0, lp.bl[j], lp.bu[j]);
    if (coin(gen) == 0 && 2 * (prior + 1) <= lp.m) {
      c.state[j] = VariableState::kBasic;
      ++prior;
    }
  }
  const std::vector<int> types = row_types(lp);
  for (int mode : modes) {
    crash_basis(mode, print_level, lp.m, lp.n, mode, 0.1, lp.matrix(), w.ints(ia::kRowWork),
                c.state.data(), types.data(), lp.bl.data(), lp.bu.data(), c.x.data(), w.iz.data(),
                w.z.data());
  }
  return c;
}

// Every mode sequence of the solve (3 then 4 as the linear phases do, 5 for the nonlinear rows).
class CrashModes : public ::testing::TestWithParam<std::vector<int>> {};

TEST_P(CrashModes, BasisHasAtMostOneBasicPerRowAndFactorizes) {
  const std::vector<int>& modes = GetParam();
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 gen(seed);
    const Lp lp = crash_lp(gen);
    Workspace w(lp);
    w.i(ws::kNonlinearConstraints) = static_cast<int>(seed % (lp.m + 1));
    CrashRun c = run_crash(lp, w, modes, seed);
    const int basics = count_state(c.state, VariableState::kBasic);
    const std::string where = "seed " + std::to_string(seed);
    EXPECT_LE(basics, lp.m) << where;
    if (modes.size() == 1 && modes[0] <= 3) {
      EXPECT_EQ(basics, lp.m) << where;
    }
    for (int s : c.state) EXPECT_TRUE(s >= 0 && s <= 3) << where;
    // The row activities of the slacks (modes 0 to 4) and the factorisation of the basis.
    if (modes.back() <= 4) {
      const std::vector<double> ax = lp.product(c.x);
      for (int i = 0; i < lp.m; ++i) {
        const bool on_bound = c.x[lp.n + i] == lp.bl[lp.n + i] || c.x[lp.n + i] == lp.bu[lp.n + i];
        if (!on_bound) {
          EXPECT_NEAR(c.x[lp.n + i], ax[i], 1e-12) << where << " row " << i + 1;
        }
      }
    }
    BasisArrays basis{c.state.data(),     w.ints(ia::kBsIndex), w.reals(ra::kXBS),
                      w.reals(ra::kBlBS), w.reals(ra::kBuBS),   c.x.data(),
                      lp.bl.data(),       lp.bu.data()};
    bool factorize = true;
    bool changed = false;
    bool moved = false;
    int result = -1;
    int reason = 0;
    int ns = 0;
    int bs_changes = 0;
    factorize_basis_driver(BasisType::kBasis, factorize, changed, moved, result, 0, 0, reason, lp.m,
                           lp.n, 0, ns, bs_changes, lp.matrix(), basis, w.iz.data(), w.leniz,
                           w.z.data(), w.lenz);
    EXPECT_EQ(result, 0) << where;
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences,
                         CrashModes,
                         ::testing::Values(std::vector<int>{0},
                                           std::vector<int>{1},
                                           std::vector<int>{2},
                                           std::vector<int>{3},
                                           std::vector<int>{3, 4},
                                           std::vector<int>{2, 4},
                                           std::vector<int>{3, 4, 5},
                                           std::vector<int>{4},
                                           std::vector<int>{5}));

// Two equality rows: column 1 free with one entry, column 2 fixed, column 3 with two entries
// (taken in the double pass).
Lp edge_lp() {
  Lp lp;
  lp.m = 2;
  lp.add_column({{1, 2.0}});
  lp.add_column({{1, 1.0}, {2, 1.0}});
  lp.add_column({{1, 1.0}, {2, 3.0}});
  lp.bl = {-kInf, 1.0, 0.0, 1.0, 2.0};
  lp.bu = {kInf, 1.0, 5.0, 1.0, 2.0};
  return lp;
}

TEST(Crash, ModeZeroMakesEverySlackBasicAndEveryColumnNonbasic) {
  const Lp lp = edge_lp();
  Workspace w(lp);
  const CrashRun c = run_crash(lp, w, {0}, 3);
  EXPECT_EQ(c.state, (std::vector<int>{0, 0, 0, 3, 3}));
}

TEST(Crash, AFreeColumnWithOneEntryIsTakenAsFreeAndCountsArePrinted) {
  constexpr int kMonitor = 81;
  sqp_test::UnitCapture monitor(kMonitor);
  const Lp lp = edge_lp();
  Workspace w(lp, {}, -1, -1, kMonitor);
  const CrashRun c = run_crash(lp, w, {1}, 3, 20);
  EXPECT_EQ(c.state[0], VariableState::kBasic);
  EXPECT_EQ(c.state[2], VariableState::kBasic);
  EXPECT_EQ(monitor.lines(),
            (std::vector<std::string>{
                " Crash option  1", " Slacks        0   Free cols     1   Preferred     0",
                " Unit          0   Double        1   Triangle      0   Pad           0"}));
}

TEST(Crash, WithoutQualifyingColumnsTheOpenRowsGetTheirSlacks) {
  Lp lp = edge_lp();
  lp.bl[0] = lp.bu[0] = 0.0;
  lp.bl[2] = lp.bu[2] = 0.0;
  Workspace w(lp);
  const CrashRun c = run_crash(lp, w, {1}, 4);
  EXPECT_EQ(std::vector<int>(c.state.begin() + 3, c.state.end()), (std::vector<int>{3, 3}));
  EXPECT_EQ(count_state(c.state, VariableState::kBasic), 2);
}

// The largest |x| of B x = (1, ..., 1) for the crash basis B, by dense elimination with partial
// pivoting; infinite when B is singular.
double basis_solution_size(const Lp& lp, const std::vector<int>& state) {
  const int m = lp.m;
  std::vector<std::vector<double>> b(m, std::vector<double>(m + 1, 0.0));
  int k = 0;
  for (int j = 0; j < lp.n + m && k < m; ++j) {
    if (state[j] != VariableState::kBasic) continue;
    if (j >= lp.n) {
      b[j - lp.n][k] = -1.0;
    } else {
      for (int l = lp.starts[j]; l < lp.starts[j + 1]; ++l) {
        b[lp.rows[l - 1] - 1][k] = lp.values[l - 1];
      }
    }
    ++k;
  }
  for (auto& row : b) row[m] = 1.0;
  for (int c = 0; c < m; ++c) {
    int p = c;
    for (int i = c + 1; i < m; ++i) {
      if (std::fabs(b[i][c]) > std::fabs(b[p][c])) p = i;
    }
    if (b[p][c] == 0.0) return std::numeric_limits<double>::infinity();
    std::swap(b[p], b[c]);
    for (int i = c + 1; i < m; ++i) {
      const double f = b[i][c] / b[c][c];
      for (int l = c; l <= m; ++l) b[i][l] -= f * b[c][l];
    }
  }
  double largest = 0.0;
  std::vector<double> x(m);
  for (int c = m - 1; c >= 0; --c) {
    double s = b[c][m];
    for (int l = c + 1; l < m; ++l) s -= b[c][l] * x[l];
    x[c] = s / b[c][c];
    largest = std::max(largest, std::fabs(x[c]));
  }
  return largest;
}

// Equality rows over a chain of columns, column j with 1 in row j and 0.2 in row j + 1 (the
// Jacobian of y_j + 0.1 y_{j-1}^2 = 1): the double pass must not string the columns together on
// their small entries, which makes B^-1 grow like 5^m.
TEST(Crash, AChainOfTwoEntryColumnsGivesAWellConditionedBasis) {
  const int m = 30;
  Lp lp;
  lp.m = m;
  for (int j = 1; j <= m; ++j) {
    if (j < m) {
      lp.add_column({{j, 1.0}, {j + 1, 0.2}});
    } else {
      lp.add_column({{j, 1.0}});
    }
  }
  lp.bl.assign(2 * m, -5.0);
  lp.bu.assign(2 * m, 5.0);
  for (int i = m; i < 2 * m; ++i) lp.bl[i] = lp.bu[i] = 1.0;
  for (int mode : {1, 2, 3}) {
    Workspace w(lp);
    const CrashRun c = run_crash(lp, w, {mode}, 5);
    EXPECT_EQ(count_state(c.state, VariableState::kBasic), m);
    EXPECT_LT(basis_solution_size(lp, c.state), 100.0) << "mode " << mode;
  }
}

TEST(Crash, ModeFourEndsAtOnceWhenEveryRowIsNonlinear) {
  const Lp lp = edge_lp();
  Workspace w(lp);
  w.i(ws::kNonlinearConstraints) = lp.m;
  std::vector<int> state{3, 0, 3, 0, 0};
  std::vector<double> x{0, 1, 0, 0, 0};
  const std::vector<int> types = row_types(lp);
  crash_basis(4, 0, lp.m, lp.n, 4, 0.1, lp.matrix(), w.ints(ia::kRowWork), state.data(),
              types.data(), lp.bl.data(), lp.bu.data(), x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(state, (std::vector<int>{3, 0, 3, 0, 0}));
}

}  // namespace
}  // namespace zun
