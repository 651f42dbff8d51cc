// The solve body through the top level with array-built problems: feasibility problems on
// linear rows solved under each scale option; infeasible linear rows; the
// caller's arrays untouched, also across a re-run after a real workspace too small for the
// basis factors; the final call of the user routines.
#include "library/sparse_sqp/solve_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/solve_top_level.h"
#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/run_test_support.h"
#include "tests/sparse_sqp/solve_run.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;

using run_test::kInf;
using run_test::SolveRun;

// Seeded LPs feasible by construction: equality, inequality and free rows; fixed, free,
// one-sided and boxed columns; a start point away from the feasible set.
SolveRun random_lp(std::mt19937& gen) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int m = 2 + static_cast<int>(gen() % 20);
  const int n = 3 + static_cast<int>(gen() % 25);
  std::vector<std::vector<double>> rows(m, std::vector<double>(n, 0.0));
  for (auto& row : rows) {
    for (double& v : row) {
      if (u(gen) < 0.3) v = std::round((u(gen) * 20.0 - 10.0) * 4.0) / 4.0;
    }
  }
  std::vector<double> bl(n + m), bu(n + m), xs(n), start(n);
  for (int j = 0; j < n; ++j) {
    const double r = u(gen);
    xs[j] = u(gen) * 10.0 - 2.0;
    if (r < 0.1) {
      bl[j] = bu[j] = xs[j];
    } else if (r < 0.25) {
      bl[j] = -kInf, bu[j] = kInf;
    } else if (r < 0.5) {
      xs[j] = std::fabs(xs[j]);
      bl[j] = 0.0, bu[j] = kInf;
    } else {
      bl[j] = xs[j] - u(gen) * 3.0, bu[j] = xs[j] + u(gen) * 3.0;
    }
    start[j] = xs[j] + (u(gen) - 0.5) * 40.0;
  }
  for (int i = 0; i < m; ++i) {
    double ax = 0.0;
    for (int j = 0; j < n; ++j) ax += rows[i][j] * xs[j];
    const double r = u(gen);
    if (r < 0.3) {
      bl[n + i] = bu[n + i] = ax;
    } else if (r < 0.4) {
      bl[n + i] = -kInf, bu[n + i] = kInf;
    } else {
      bl[n + i] = r < 0.6 ? -kInf : ax - u(gen) * 5.0;
      bu[n + i] = r > 0.85 ? kInf : ax + u(gen) * 5.0;
    }
  }
  return SolveRun(rows, bl, bu, start);
}

class FeasibleLps : public ::testing::TestWithParam<int> {};

TEST_P(FeasibleLps, EndFeasibleOnTheLinearConstraints) {
  std::mt19937 gen(7919 + GetParam());
  for (int trial = 0; trial < 40; ++trial) {
    SolveRun r = random_lp(gen);
    r.set(iw::kScaleOption, GetParam());
    const std::vector<double> aval = r.aval, bl = r.bl, bu = r.bu;
    EXPECT_EQ(r.solve(), sparse_inform::kOptimal) << "trial " << trial;
    EXPECT_EQ(r.ninfs, 0);
    EXPECT_EQ(r.suminf, 0.0);
    r.expect_linear_feasible();
    EXPECT_EQ(r.aval, aval);
    EXPECT_EQ(r.bl, bl);
    EXPECT_EQ(r.bu, bu);
    EXPECT_EQ(r.iusr[0], 0) << "no user routine for a linear problem";
  }
}

INSTANTIATE_TEST_SUITE_P(ScaleOptions, FeasibleLps, ::testing::Values(0, 1, 2));

// x1 + x2 >= 3 and x1 + x2 <= 1: no point satisfies both.
SolveRun infeasible_lp() {
  return SolveRun({{1.0, 1.0}, {1.0, 1.0}}, {0, 0, 3, -kInf}, {10, 10, kInf, 1}, {0.5, 0.5});
}

TEST(LinearPhases, InfeasibleLinearRowsEndTheRunWithTheListing) {
  sqp_test::UnitCapture print(74);
  SolveRun r = infeasible_lp();
  r.set(iw::kPrintUnit, print.unit());
  r.set(iw::kMajorPrintLevel, 10);
  EXPECT_EQ(r.solve(), sparse_inform::kInfeasible);
  EXPECT_GT(r.suminf, 0.0);
  EXPECT_GT(r.ninfs, 0);
  const std::vector<std::string> lines = print.lines();
  const auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has(" Exit SPNLPF - No feasible point for the linear constraints."));
  EXPECT_TRUE(
      has(" Variable State     Value       Lower Bound  Upper Bound   Lagr Mult  Residual"));
  EXPECT_TRUE(
      has(" Constrnt State     Value       Lower Bound  Upper Bound   Lagr Mult  Residual"));
  const auto sum_line = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind(" Sum of infeasibilities = ", 0) == 0;
  });
  EXPECT_NE(sum_line, lines.end());
  // Both rows' multipliers are reported in MULT's row part.
  EXPECT_EQ(r.mult.size(), 4u);
}

// A real workspace that leaves the basis factors 4 words: the first factorisation fails, the
// run ends with code 13 and the caller's arrays as given; a re-run with room ends as a run
// with room from the start does.
TEST(LinearPhases, RerunAfterTooLittleRoomForTheFactorsEndsAsOneRun) {
  std::mt19937 gen(31337);
  for (int trial = 0; trial < 5; ++trial) {
    SolveRun first = random_lp(gen);
    SolveRun roomy = first;
    if (first.solve_once() == sparse_inform::kIntegerWorkspaceToStart) {
      first.iz.assign(static_cast<std::size_t>(first.neediz) * 4, 0);
      first.solve_once();
    }
    ASSERT_EQ(first.codes.back(), sparse_inform::kRealWorkspaceToStart);
    first.iz.assign(static_cast<std::size_t>(first.neediz) * 4, 0);
    first.z.assign(static_cast<std::size_t>(first.needz) + 4, 0.0);
    const std::vector<double> aval = first.aval, bl = first.bl, bu = first.bu;
    EXPECT_EQ(first.solve_once(), sparse_inform::kRealWorkspaceForFactors);
    EXPECT_EQ(first.aval, aval);
    EXPECT_EQ(first.bl, bl);
    EXPECT_EQ(first.bu, bu);
    EXPECT_EQ(first.solve(), roomy.solve());
    EXPECT_EQ(first.ninfs, roomy.ninfs);
    first.expect_linear_feasible();
  }
}

// With a nonlinear row the run solves min (x1-1)^2 + (x2-2)^2 on x1^2 + x2^2 <= 4,
// x1 + x2 + x3 = 1, x3 in [0, 4]; the last call of the user routines sees the final point with
// FIRSTCALL = end class + 2.
TEST(SolveRun, NonlinearProblemSolvesAndEndsWithTheFinalCall) {
  for (int option : {0, 1, 2}) {
    SolveRun r({{1.0, 1.0, 0.0}, {1.0, 1.0, 1.0}}, {-5, -5, 0, -kInf, 1}, {5, 5, 4, 4, 1},
               {3, -4, 0});
    r.ncnln = 1;
    r.njnln = 2;
    r.nonln = 2;
    r.set(iw::kScaleOption, option);
    EXPECT_EQ(r.solve(), sparse_inform::kOptimal);
    EXPECT_EQ(r.iusr[1], end_class::kConverged + 2);
    r.expect_linear_feasible();
    EXPECT_LE(r.xv[0] * r.xv[0] + r.xv[1] * r.xv[1], 4.0 + 1e-6);
    // x1 + x2 <= 1 is active (x3 = 0) and the circle is not: x = (0, 1).
    EXPECT_NEAR(r.xv[0], 0.0, 1e-6);
    EXPECT_NEAR(r.xv[1], 1.0, 1e-6);
    EXPECT_NEAR(r.objv, 2.0, 1e-8);
  }
}

struct PriceCase {
  int n, m, price, reduced;
};

class PartialPrice : public ::testing::TestWithParam<PriceCase> {};

// Sections of fewer than 10 columns or rows lower the partial price, with a message on the
// print unit at print level 5, after a blank record, and on the monitoring unit, without one.
TEST_P(PartialPrice, IsReducedForSmallSections) {
  const PriceCase& c = GetParam();
  sqp_test::UnitCapture print(75);
  sqp_test::UnitCapture monitor(78);
  std::vector<std::vector<double>> rows(c.m, std::vector<double>(c.n, 0.0));
  for (int i = 0; i < c.m; ++i) rows[i][i % c.n] = 1.0;
  SolveRun r(rows, std::vector<double>(c.n + c.m, -1.0), std::vector<double>(c.n + c.m, 1.0), {});
  r.set(iw::kPrintUnit, print.unit());
  r.set(iw::kMajorPrintLevel, 5);
  r.set(iw::kMonitoringUnit, monitor.unit());
  r.set(iw::kPartialPrice, c.price);
  r.solve();
  EXPECT_EQ(r.iz[iw::kPartialPrice - 1], c.reduced);
  const std::string text =
      "Partial price reduced from " + std::string(14, ' ') + std::to_string(c.price) + " to " +
      std::string(16 - std::to_string(c.reduced).size(), ' ') + std::to_string(c.reduced) + ".";
  // For each line that holds the message on a unit: whether a blank record precedes it.
  const auto after_blank = [](const std::vector<std::string>& lines, const std::string& message) {
    std::vector<bool> found;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (lines[k] == message)
        found.push_back(k > 0 && lines[k - 1].find_first_not_of(' ') == std::string::npos);
    }
    return found;
  };
  const bool reduced = c.price != c.reduced;
  using Blanks = std::vector<bool>;
  EXPECT_EQ(after_blank(print.lines(), " Itn      0 -- " + text),
            reduced ? Blanks{true} : Blanks{});
  EXPECT_EQ(after_blank(monitor.lines(), " XXX " + text), reduced ? Blanks{false} : Blanks{});
}

INSTANTIATE_TEST_SUITE_P(Sizes,
                         PartialPrice,
                         ::testing::Values(PriceCase{50, 20, 10, 5},
                                           PriceCase{8, 5, 10, 1},
                                           PriceCase{200, 150, 10, 10}));

// Scale option 1 with every variable nonlinear is lowered to 0 for the run.
TEST(SolveRun, ScaleOptionOneWithOnlyNonlinearVariablesIsLowered) {
  sqp_test::UnitCapture print(76);
  SolveRun r({{1.0, 1.0}, {1.0, -1.0}}, {-5, -5, -kInf, 0}, {5, 5, 4, 0}, {3, -4});
  r.ncnln = 1;
  r.njnln = 2;
  r.nonln = 2;
  r.set(iw::kPrintUnit, print.unit());
  r.set(iw::kMajorPrintLevel, 5);
  r.set(iw::kScaleOption, 1);
  r.solve();
  EXPECT_EQ(r.iz[iw::kScaleOption - 1], 0);
  const std::vector<std::string> lines = print.lines();
  EXPECT_EQ(
      std::count(lines.begin(), lines.end(),
                 " Itn      0 -- Scale option reduced from                1 to                "
                 "0."),
      1);
  r.expect_linear_feasible();
}

// The monitoring file of an infeasible run at print level 20: the end statistics and the
// status block.
TEST(LinearPhases, InfeasibleRunReportsItsStatusOnTheMonitoringFile) {
  sqp_test::UnitCapture monitor(77);
  SolveRun r = infeasible_lp();
  r.set(iw::kMonitoringUnit, monitor.unit());
  r.set(iw::kMajorPrintLevel, 20);
  EXPECT_EQ(r.solve(), sparse_inform::kInfeasible);
  const std::vector<std::string> lines = monitor.lines();
  const auto starts = [&](const std::string& head) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(head, 0) == 0; });
  };
  EXPECT_EQ(starts(" No. of iterations"), 1);
  EXPECT_EQ(starts(" No. of infeasibilities"), 1);
  EXPECT_EQ(starts(" No. of degenerate steps"), 1);
  EXPECT_EQ(starts(" No. of major iterations"), 0);  // no nonlinear variables
  const std::string status = " Status" + std::string(19, ' ') + "  Infeasible";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), status), 1);
  EXPECT_EQ(starts(" Max Primal infeas   "), 1);
  EXPECT_EQ(starts(" Section 2 - Rows"), 1);  // the full listing at level 10 and above
}

// A warm start from the states of a finished run keeps them (no crash) and again ends feasible
// on the linear constraints.
TEST(LinearPhases, WarmStartFromAFinishedRun) {
  std::mt19937 gen(4242);
  for (int trial = 0; trial < 10; ++trial) {
    SolveRun r = random_lp(gen);
    EXPECT_EQ(r.solve(), sparse_inform::kOptimal);
    r.start = 'W';
    EXPECT_EQ(r.solve(), sparse_inform::kOptimal);
    EXPECT_EQ(r.ninfs, 0);
    r.expect_linear_feasible();
  }
}

}  // namespace
}  // namespace zun
