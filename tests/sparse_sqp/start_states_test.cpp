// Start states: normalised states and values, and the Fix and Free walks over superbasics.
#include "library/sparse_sqp/start_states.h"

#include <gtest/gtest.h>

#include <vector>

#include "library/sparse_sqp/sparse_option_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;

struct StartCase {
  const char* name;
  int m, n, limit, objective_row;
  std::vector<int> state;
  std::vector<double> x, bl, bu;
  std::vector<int> want_state;
  std::vector<double> want_x;
  int want_ns;
  std::vector<int> want_superbasics;  // BsIndex(M+1..M+NS)
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class NormalizeTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(NormalizeTest, StatesAndValues) {
  StartCase c = GetParam();
  std::vector<int> iz(600, 0);
  std::vector<double> z(600, 0.0);
  iz[iw::kMonitoringUnit - 1] = -1;
  z[rw::kInfiniteBoundSize - 1] = 1e20;
  std::vector<int> bs(c.m + c.limit, 0);
  int ns = -1;
  const int nb = c.n + c.m;
  normalize_start_states(c.m, c.limit, c.n, nb, ns, c.objective_row, c.state.data(), bs.data(),
                         c.bl.data(), c.bu.data(), c.x.data(), iz.data(), z.data());
  EXPECT_EQ(c.state, c.want_state);
  EXPECT_EQ(c.x, c.want_x);
  EXPECT_EQ(ns, c.want_ns);
  EXPECT_EQ(std::vector<int>(bs.begin() + c.m, bs.begin() + c.m + ns), c.want_superbasics);
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         NormalizeTest,
                         ::testing::Values(StartCase{"ColdFiveReadsAsUpper",
                                                     1,
                                                     2,
                                                     2,
                                                     0,
                                                     {5, 4, 3},
                                                     {7.0, -1.0, 0.0},
                                                     {0, 0, -1},
                                                     {3, 3, 1},
                                                     {1, 0, 3},
                                                     {3.0, 0.0, 0.0},
                                                     0,
                                                     {}},
                                           StartCase{"NegativeStatesReadAsNonbasic",
                                                     1,
                                                     1,
                                                     1,
                                                     0,
                                                     {-1, -3},
                                                     {2.0, 0.0},
                                                     {1, 0},
                                                     {3, 1},
                                                     {1, 0},
                                                     {2.0, 0.0},
                                                     0,
                                                     {}},
                                           StartCase{"SnapToNearerBound",
                                                     0,
                                                     2,
                                                     1,
                                                     0,
                                                     {1, 0},
                                                     {3.00005, 2.5},
                                                     {0, 0},
                                                     {3, 3},
                                                     {1, 1},
                                                     {3.0, 2.5},
                                                     0,
                                                     {}},
                                           StartCase{"SnapWithinTolerance",
                                                     0,
                                                     2,
                                                     1,
                                                     0,
                                                     {0, 0},
                                                     {0.00005, 2.99995},
                                                     {0, 0},
                                                     {3, 3},
                                                     {0, 1},
                                                     {0.0, 3.0},
                                                     0,
                                                     {}},
                                           StartCase{"HugeValueZeroedFirst",
                                                     0,
                                                     2,
                                                     1,
                                                     0,
                                                     {3, 0},
                                                     {1e19, 1e19},
                                                     {-1e20, -5},
                                                     {1e20, 5},
                                                     {1, 1},
                                                     {0.0, 0.0},
                                                     0,
                                                     {}},
                                           StartCase{"SlacksFirstForSuperbasics",
                                                     2,
                                                     3,
                                                     2,
                                                     0,
                                                     {2, 2, 0, 2, 2},
                                                     {0.5, 0.5, 0.0, 0.5, 0.5},
                                                     {0, 0, 0, 0, 0},
                                                     {1, 1, 1, 1, 1},
                                                     {1, 1, 0, 2, 2},
                                                     {0.5, 0.5, 0.0, 0.5, 0.5},
                                                     2,
                                                     {4, 5}},
                                           StartCase{"TooManyBasicsAndObjectiveSlackBasic",
                                                     2,
                                                     2,
                                                     1,
                                                     1,
                                                     {3, 3, 0, 0},
                                                     {1.0, 1.0, 0.0, 0.0},
                                                     {0, 0, -1e20, 0},
                                                     {2, 2, 1e20, 5},
                                                     {3, 1, 3, 0},
                                                     {1.0, 1.0, 0.0, 0.0},
                                                     0,
                                                     {}}));

TEST(StartStates, BasicCountWarningOnTheMonitoringFile) {
  constexpr int kUnit = 77;
  sqp_test::UnitCapture out(kUnit);
  std::vector<int> iz(600, 0);
  std::vector<double> z(600, 0.0);
  iz[iw::kMonitoringUnit - 1] = kUnit;
  iz[iw::kMajorPrintLevel - 1] = 20;
  z[rw::kInfiniteBoundSize - 1] = 1e20;
  std::vector<int> state{3, 3, 3, 0};
  std::vector<double> x(4, 0.0), bl(4, 0.0), bu(4, 1.0);
  std::vector<int> bs(3, 0);
  int ns = 0;
  normalize_start_states(2, 1, 2, 4, ns, 0, state.data(), bs.data(), bl.data(), bu.data(), x.data(),
                         iz.data(), z.data());
  const std::vector<std::string> want = {" ", " XXX WARNING -       3 basics specified.",
                                         " Preferably should have been      2."};
  EXPECT_EQ(out.lines(), want);
  iz[iw::kMajorPrintLevel - 1] = 19;
  state = {3, 0, 0, 0};
  normalize_start_states(2, 1, 2, 4, ns, 0, state.data(), bs.data(), bl.data(), bu.data(), x.data(),
                         iz.data(), z.data());
  EXPECT_EQ(out.lines(), want);
}

TEST(StartStates, FixReturnsSuperbasicsToNonbasicCodes) {
  std::vector<int> state{2, 2, 2, 2, 2, 3};
  const std::vector<double> bl{1, 0, 0, 0, 0, 0}, bu{1, 5, 5, 5, 5, 5};
  const std::vector<double> x{1, 0, 2, 5, 2, 0};
  std::vector<int> bs(4, 0);
  std::vector<double> blbs(4), bubs(4), xbs(4);
  int ns = 9;
  fix_or_free_superbasics("Fix any superbasics", 1, 3, 6, 4, ns, state.data(), bs.data(), bl.data(),
                          bu.data(), blbs.data(), bubs.data(), x.data(), xbs.data());
  EXPECT_EQ(ns, 0);
  EXPECT_EQ(state, (std::vector<int>{4, 0, -1, 1, 2, 3}));  // entry 5 is beyond the count
}

TEST(StartStates, FreeMakesTheFirstBetweenBoundsSuperbasicUpToTheLimit) {
  std::vector<int> state{-1, 0, -1, -1, -1};
  const std::vector<double> bl(5, 0.0), bu(5, 4.0);
  const std::vector<double> x{1, 0, 2, 3, 3};
  std::vector<int> bs(3, 0);
  std::vector<double> blbs(3), bubs(3), xbs(3);
  int ns = 0;
  fix_or_free_superbasics("Free", 1, 2, 5, 5, ns, state.data(), bs.data(), bl.data(), bu.data(),
                          blbs.data(), bubs.data(), x.data(), xbs.data());
  EXPECT_EQ(ns, 2);
  EXPECT_EQ(state, (std::vector<int>{2, 0, 2, -1, -1}));
  EXPECT_EQ(bs, (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(xbs[1], 1.0);
  EXPECT_EQ(xbs[2], 2.0);
  EXPECT_EQ(bubs[2], 4.0);
  state = {2, -1};
  fix_or_free_superbasics("Other", 1, 2, 2, 2, ns, state.data(), bs.data(), bl.data(), bu.data(),
                          blbs.data(), bubs.data(), x.data(), xbs.data());
  EXPECT_EQ(ns, 0);
  EXPECT_EQ(state, (std::vector<int>{2, -1}));
}

}  // namespace
}  // namespace zun
