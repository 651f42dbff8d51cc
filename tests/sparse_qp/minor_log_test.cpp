// The minor-iteration log of one fixed LP: headings, the first lines of both files and the
// messages of the phases.
#include <gtest/gtest.h>

#include "tests/sparse_qp/lp_fixture.h"

namespace zun {
namespace {

using namespace qp_test;
namespace iw = sparse_option::integer_word;

constexpr int kPrint = 83;
constexpr int kMonitor = 84;

// x1 + x2 = 2 and x1 - x2 >= 0.5 with 0 <= x <= 5, started at x = 0.
Lp fixed_lp() {
  Lp lp;
  lp.m = 2;
  lp.add_column({{1, 1.0}, {2, 1.0}});
  lp.add_column({{1, 1.0}, {2, -1.0}});
  lp.bl = {0.0, 0.0, 2.0, 0.5};
  lp.bu = {5.0, 5.0, 2.0, kInf};
  return lp;
}

std::vector<std::string> run_logged(const OptionChanges& changes,
                                    int print_level,
                                    int print_unit,
                                    int monitor_unit,
                                    std::vector<std::string>* monitor_lines) {
  sqp_test::UnitCapture print(kPrint);
  sqp_test::UnitCapture monitor(kMonitor);
  const Lp lp = fixed_lp();
  Workspace w(lp, changes, -1, print_unit, monitor_unit);
  LpRun run = start_run(lp, w, 0);
  solve(lp, w, run, "FPLinear constrnts", print_level);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.ninf, 0);
  if (monitor_lines != nullptr) *monitor_lines = monitor.lines();
  return print.lines();
}

TEST(MinorLog, HeadingsFirstLinesAndThePhaseMessage) {
  std::vector<std::string> monitor;
  const std::vector<std::string> print = run_logged({}, 1, kPrint, kMonitor, &monitor);
  ASSERT_GE(print.size(), 5u);
  EXPECT_EQ(print[0], " ");
  EXPECT_EQ(print[1], "   Itn     Step  Ninf     Sinf      Objective  Norm rg");
  EXPECT_EQ(print[2], " Itn      0 -- Infeasible.");
  EXPECT_EQ(print[3], "     0  0.0E+00     2  2.5E+00   0.000000E+00  0.0E+00");
  EXPECT_EQ(print.back(), " Itn      1 -- Feasible linear rows.");
  ASSERT_GE(monitor.size(), 3u);
  EXPECT_EQ(monitor[0], " ");
  EXPECT_EQ(monitor[1],
            "   Itn pp       dj  +SBS  -SBS   -BS    -B    Step    Pivot Ninf  Sinf/Objective     "
            "L     U Ncp");
  EXPECT_EQ(monitor[2],
            "     0  1 -2.0E+00     0     0     0     0 0.0E+00  0.0E+00    2  2.50000000E+00     "
            "0     2   0");
  EXPECT_EQ(monitor.back(), " Itn      1 -- Feasible linear rows.");
}

TEST(MinorLog, OneFileForBothGetsTheDetailedLineOnly) {
  const std::vector<std::string> lines = run_logged({}, 1, kPrint, kPrint, nullptr);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(0, 9), "   Itn pp");
  for (const std::string& line : lines) EXPECT_EQ(line.find("Composite"), std::string::npos);
  for (const std::string& line : lines)
    EXPECT_EQ(line.find("Objective  Norm rg"), std::string::npos);
}

TEST(MinorLog, NothingAtPrintLevelZeroAndOnlyTheShortLineWithoutMonitoring) {
  std::vector<std::string> monitor;
  EXPECT_TRUE(run_logged({}, 0, kPrint, kMonitor, &monitor).empty());
  EXPECT_TRUE(monitor.empty());
  const std::vector<std::string> print = run_logged({}, 1, kPrint, -1, &monitor);
  EXPECT_TRUE(monitor.empty());
  ASSERT_GE(print.size(), 2u);
  EXPECT_EQ(print[1], "   Itn     Step  Ninf     Sinf      Objective  Norm rg");
}

TEST(MinorLog, ItnColumnWrapsAtOneHundredThousand) {
  sqp_test::UnitCapture print(kPrint);
  sqp_test::UnitCapture monitor(kMonitor);
  const Lp lp = fixed_lp();
  Workspace w(lp, {}, -1, kPrint, kMonitor);
  MinorLogLine line;
  line.kind = "FPLinear constrnts";
  line.label = "linear rows.";
  line.print_level = 1;
  line.itn = 123456;
  line.step.step = 0.00012;
  MinorLogHeadings headings{1, 1};
  print_minor_iteration(line, headings, w.iz.data());
  EXPECT_EQ(print.lines(),
            (std::vector<std::string>{" 23456  1.2E-04     0  0.0E+00   0.000000E+00  0.0E+00"}));
  ASSERT_EQ(monitor.lines().size(), 1u);
  EXPECT_EQ(monitor.lines()[0].substr(0, 6), " 23456");
  EXPECT_EQ(monitor.lines()[0].substr(42, 8), " 1.2E-04");
}

}  // namespace
}  // namespace zun
