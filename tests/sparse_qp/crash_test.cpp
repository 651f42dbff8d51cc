// The crash: every mode on seeded LPs gives a basis that the factorisation accepts, with no
// more basic variables than rows, and the edge cases of the passes.
#include <gtest/gtest.h>

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
