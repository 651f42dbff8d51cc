// The measures of a major iteration: the reduced-Hessian statistics, the elastic weight and
// its boosts, the nonlinear infeasibilities, the reduced gradient and the optimality measures,
// and the exact lines of the major-iteration log.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "library/sparse_sqp/major_log.h"
#include "library/sparse_sqp/qp_subproblem.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;

TEST(FactorStats, ConditionOfTheReducedHessianFactor) {
  FactorStats s;
  const double half = 0.5, two = 2.0;
  factor_diagonal_stats(1, &half, s);
  EXPECT_DOUBLE_EQ(s.condition, 4.0);
  factor_diagonal_stats(1, &two, s);
  EXPECT_DOUBLE_EQ(s.condition, 4.0);
  // Packed by columns: R = [2 -7; 0 0.5].
  const std::vector<double> r{2.0, -7.0, 0.5};
  factor_diagonal_stats(2, r.data(), s);
  EXPECT_DOUBLE_EQ(s.largest_diagonal, 2.0);
  EXPECT_DOUBLE_EQ(s.smallest_diagonal, 0.5);
  EXPECT_DOUBLE_EQ(s.largest_element, 7.0);
  EXPECT_DOUBLE_EQ(s.condition, 16.0);
  const std::vector<double> singular{2.0, 1.0, 0.0};
  factor_diagonal_stats(2, singular.data(), s);
  EXPECT_TRUE(std::isfinite(s.condition));
  EXPECT_GT(s.condition, 1e300);
  FactorStats kept = s;
  factor_diagonal_stats(0, nullptr, kept);
  EXPECT_EQ(kept.condition, s.condition);
}

TEST(ElasticWeight, BoostsByGrowingPowersOfTenUpToTheCap) {
  std::vector<int> iz(600, 0);
  iz[iw::kPrintUnit - 1] = -1;
  iz[iw::kMonitoringUnit - 1] = -1;
  ElasticWeight w;
  set_elastic_weight_initial(w, 3.0, 2.0);
  EXPECT_DOUBLE_EQ(w.weight, 6.0);
  const double factors[] = {20.0, 2000.0, 2.0e6};
  for (double f : factors) {
    ASSERT_TRUE(boost_elastic_weight(w, 0, iz.data()));
    EXPECT_DOUBLE_EQ(w.weight, 3.0 * f);
  }
  EXPECT_FALSE(boost_elastic_weight(w, 0, iz.data()));
  EXPECT_DOUBLE_EQ(w.weight, 3.0 * 2.0e6);  // 2e10 would pass the cap of 1e10
}

TEST(Measures, InfeasibilitiesReducedGradientAndOptimality) {
  // Two columns, two rows (the first nonlinear): A = [1 2; 0 3].
  const std::vector<double> values{1.0, 2.0, 3.0};
  const std::vector<int> rows{1, 1, 2};
  const std::vector<int> starts{1, 2, 4};
  const ColumnMatrix a{values.data(), rows.data(), starts.data()};
  const std::vector<double> bl{0.0, 0.0, 1.0, -5.0}, bu{4.0, 4.0, 2.0, 5.0};
  const std::vector<double> x{0.0, 1.5, 2.5, 4.5};
  int count = 0;
  double sum = 0.0;
  nonlinear_infeasibilities(2, 1, 1e-6, count, sum, bl.data(), bu.data(), x.data());
  EXPECT_EQ(count, 1);
  EXPECT_DOUBLE_EQ(sum, 0.5);
  const std::vector<double> gobj{1.0, -1.0}, pi{0.5, -1.0};
  std::vector<double> d(4);
  reduced_gradient(2.0, 1, 2, 2, 2, 2, a, gobj.data(), pi.data(), d.data());
  // d = g - A'pi on the columns, pi on the slacks, plus the objective row's scale.
  EXPECT_DOUBLE_EQ(d[0], 1.0 - 0.5);
  EXPECT_DOUBLE_EQ(d[1], -1.0 - (2.0 * 0.5 - 3.0));
  EXPECT_DOUBLE_EQ(d[2], 0.5);
  EXPECT_DOUBLE_EQ(d[3], -1.0 + 2.0);
  const std::vector<double> c{2.25};
  const OptimalityMeasures om =
      optimality_measures(false, 2, 4, 1, 1.0, bl.data(), bu.data(), d.data(), x.data(), c.data());
  EXPECT_DOUBLE_EQ(om.max_viol, 0.25);
  EXPECT_EQ(om.viol_row, 3);
  // Column 1 is at its lower bound with d > 0 (complementary); column 2 is inside with d = 1:
  // 1 x min(1.5, 1).
  EXPECT_DOUBLE_EQ(om.max_dual, 1.0);
  EXPECT_EQ(om.dual_index, 2);
}

TEST(MajorLog, LinesAndHeadingsOnBothUnits) {
  sqp_test::UnitCapture print(63);
  sqp_test::UnitCapture monitor(64);
  std::vector<int> iz(600, 0);
  iz[iw::kPrintUnit - 1] = print.unit();
  iz[iw::kMonitoringUnit - 1] = monitor.unit();
  iz[ws::kNonlinearConstraints - 1] = 1;
  iz[ws::kConfunDerivativeCalls - 1] = 3;
  iz[ws::kObjfunDerivativeCalls - 1] = 4;
  iz[173 - 1] = 10;
  iz[174 - 1] = 12;
  MajorLogLine l;
  l.major = 0;
  l.minor = 2;
  l.objective = -1.5;
  l.sign = -1;
  l.feasibility = 1.2e-4;
  l.optimality = 0.5;
  l.ns = 3;
  l.penalty = 2.0;
  l.swaps = 1;
  l.condition = 40.0;
  l.primal = true;
  l.flags = "  R   ";
  print_major_iteration(l, 10, iz.data());
  const std::vector<std::string> p = print.lines();
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0], " ");
  EXPECT_EQ(p[2], "  Maj  Mnr    Step Merit Function Feasibl Optimal Cond Hz PD");
  EXPECT_EQ(p[3], "    0    2 0.0E+00   1.500000E+00 1.2E-04 5.0E-01 4.0E+01 TF   R");
  const std::vector<std::string> m = monitor.lines();
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1],
            " Major Minor   Step   nObj  nCon      Merit      Feasibl Optimal   nS Penalty     LU "
            "Swp Cond Hz PD");
  EXPECT_EQ(m[2],
            "     0     2 0.0E+00     4     3  1.50000000E+00 1.2E-04 5.0E-01    3 2.0E+00     22"
            "   1 4.0E+01 TF   R");
  // The next line has no heading below print level 20; from a heading at level 20 on, the long
  // heading comes before every long line.
  l.major = 1;
  print_major_iteration(l, 10, iz.data());
  EXPECT_EQ(print.lines().size(), 5u);
  EXPECT_EQ(monitor.lines().size(), 4u);
  iz[224 - 1] = 1;
  print_major_iteration(l, 20, iz.data());
  print_major_iteration(l, 20, iz.data());
  EXPECT_EQ(monitor.lines().size(), 4u + 3u + 3u);
  print_major_iteration(l, 0, iz.data());
  EXPECT_EQ(print.lines().size(), 7u);
}

}  // namespace
}  // namespace zun
