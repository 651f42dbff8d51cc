// The dense printers: golden lines of the QP iteration log, the multipliers and the solution
// table, the print-level rules, and the predicted status of the constraints.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/dense_print/dense_print.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/support/option_store.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

using testing::UnitCapture;

constexpr int kPrintUnit = 71;
constexpr int kMonitorUnit = 72;

struct Units {
  std::vector<int> iw = std::vector<int>(kDenseStoreSizes.integer, 0);
  Units(int print, int monitor) {
    iw[qp_words::kPrintFile - 1] = print;
    iw[qp_words::kMonitoringFile - 1] = monitor;
  }
};

// One iteration line with fixed values; iter, the print level and the counters vary.
void iteration_line(const Units& u, int msglvl, int iter, int& lines_monitor, int& lines_print) {
  const double x[2] = {1.0, -2.0};
  const double ax[1] = {3.0};
  const int istate[3] = {1, 0, 2};
  const double t[2] = {0.0, 4.0};  // 1 x 2 array, T(1, 2) = 4
  const double r[4] = {5.0, 0.0, 1.0, 6.0};
  print_qp_iteration("QP", kTrue, msglvl, u.iw.data(), lines_monitor, lines_print, iter, 2, 5, "UL",
                     0.5, 0, 1.25, 1, 1, 0, 1, 1e-3, 10.0, 2.5, 2, 1, 2, 2, 1, 2, istate, x, ax, t,
                     r, 2, 2);
}

const std::string kMonitorLine =
    "   3    2U    5L  5.0E-01    0  1.25000000E+00    1    1    0    1  1.0E-03  1.0E+01  2.5E+00";
const std::string kMonitorHeading =
    " Itn Jdel  Jadd      Step Ninf  Sinf/Objective  Bnd  Lin  Art   Zr  Norm Gz   Cond T  Cond Rz";

TEST(QpIteration, MonitoringAndPrintLinesWithTheirHeadings) {
  UnitCapture print(kPrintUnit);
  UnitCapture monitor(kMonitorUnit);
  const Units u(kPrintUnit, kMonitorUnit);
  int lm = 0;
  int lp = 0;
  iteration_line(u, 5, 0, lm, lp);
  iteration_line(u, 5, 3, lm, lp);
  const std::vector<std::string> mon = monitor.lines();
  ASSERT_EQ(mon.size(), 5u);
  EXPECT_EQ(mon[0], "");
  EXPECT_EQ(mon[1], "");
  EXPECT_EQ(mon[2], kMonitorHeading);
  EXPECT_EQ(mon[4], kMonitorLine);
  const std::vector<std::string> prt = print.lines();
  ASSERT_EQ(prt.size(), 5u);
  EXPECT_EQ(prt[2], " Itn     Step Ninf Sinf/Objective  Norm Gz");
  EXPECT_EQ(prt[4], "   3  5.0E-01    0   1.250000E+00  1.0E-03");
  EXPECT_EQ(lm, 2);
  EXPECT_EQ(lp, 2);
}

TEST(QpIteration, CountersRepeatTheHeadingAndLevelsGateTheOutput) {
  UnitCapture monitor(kMonitorUnit);
  const Units u(-1, kMonitorUnit);
  int lm = 50000;
  int lp = 0;
  iteration_line(u, 4, 3, lm, lp);  // below level 5: nothing
  EXPECT_TRUE(monitor.lines().empty());
  iteration_line(u, 5, 3, lm, lp);  // the counter has reached its limit: heading again
  std::vector<std::string> mon = monitor.lines();
  ASSERT_EQ(mon.size(), 4u);
  EXPECT_EQ(mon[2], kMonitorHeading);
  EXPECT_EQ(lm, 1);
  // Level 15: the iteration title; iteration 12345 shows as 2345.
  iteration_line(u, 15, 12345, lm, lp);
  mon = monitor.lines();
  ASSERT_EQ(mon.size(), 11u);
  EXPECT_EQ(mon[6], " QP iteration12345 =================");
  EXPECT_EQ(mon[10].substr(0, 4), "2345");
}

TEST(QpIteration, DetailBlockAtLevelTwenty) {
  UnitCapture monitor(kMonitorUnit);
  const Units u(-1, kMonitorUnit);
  int lm = 0;
  int lp = 0;
  iteration_line(u, 20, 3, lm, lp);
  const std::vector<std::string> mon = monitor.lines();
  const auto line = std::find(mon.begin(), mon.end(), kMonitorLine);
  ASSERT_NE(line, mon.end());
  const std::vector<std::string> block(line + 1, mon.end());
  const std::vector<std::string> expected = {
      "",
      " Values and status of the QP constraints",
      " ---------------------------------------",
      "",
      " Variables...",
      "    1.000000E+00    1  -2.000000E+00    0",
      "",
      " General linear constraints...",
      "    3.000000E+00    2",
      "",
      " Diagonals of QP working set factor T",
      "   4.000000E+00",
      "",
      " Diagonals of QP triangle R",
      "   5.000000E+00   6.000000E+00",
      "",
      "",
      " " + std::string(95, '-')};
  EXPECT_EQ(block, expected);
}

TEST(QpMultipliers, ListsAndTheLeavingConstraint) {
  UnitCapture monitor(kMonitorUnit);
  const Units u(-1, kMonitorUnit);
  const int kactiv[1] = {2};
  const int kx[3] = {3, 1, 2};
  const double clamda[5] = {-0.25, 0.0, 0.0, 0.0, 1.5};
  const double gq[3] = {0.0, -0.125, 0.0};
  // n = 3, one row (row 2), nfree = 2 (variable 2 fixed), nz = 1, nzr = 0.
  const int kx_fixed[3] = {3, 2, 1};
  print_qp_multipliers("QP", 19, u.iw.data(), 3, 1, 2, 1, 0, kactiv, kx, clamda, gq, 1, 2);
  EXPECT_TRUE(monitor.lines().empty());
  print_qp_multipliers("QP", 20, u.iw.data(), 3, 1, 2, 1, 0, kactiv, kx_fixed, clamda, gq, 1, 2);
  const std::vector<std::string> expected = {
      "",
      " Multipliers for the QP linear constraints",
      "    2   1.50E+00",
      "",
      " Multipliers for the QP bound  constraints",
      "    1  -2.50E-01",
      "",
      " Multipliers for the artificial constraints",
      "        0.00E+00",
      "",
      " Constraint    1 leaves the working set."};
  EXPECT_EQ(monitor.lines(), expected);
}

// ---- Solution table

struct TableRow {
  int status;
  double value, lower, upper, multiplier;
};

std::vector<std::string> table(int level, const std::vector<TableRow>& rows, int nclin) {
  UnitCapture print(kPrintUnit);
  const Units u(kPrintUnit, -1);
  std::vector<int> istate;
  std::vector<double> values, bl, bu, clamda, featol;
  for (const TableRow& r : rows) {
    istate.push_back(r.status);
    values.push_back(r.value);
    bl.push_back(r.lower);
    bu.push_back(r.upper);
    clamda.push_back(r.multiplier);
    featol.push_back(1e-6);
  }
  const int n = static_cast<int>(rows.size()) - nclin;
  print_solution_table(level, u.iw.data(), n, nclin, 0, 1e20, istate.data(), values.data(),
                       bl.data(), bu.data(), clamda.data(), featol.data());
  return print.lines();
}

std::string trim_right(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

TEST(SolutionTable, GoldenLines) {
  const std::vector<TableRow> rows = {
      {0, 123.456, 0.0, 1e25, 0.0},      // a lower bound of 0, no upper bound
      {0, 0.5, -1e25, 1e25, 0.0},        // a free variable
      {1, 1.0, 1.0, 2.0, 0.0},           // active with a zero multiplier: 'A'
      {-2, -0.5, 0.0, 1.0, 0.0},         // violated: 'I'
      {0, 1e-7, 0.0, 1.0, 0.0},          // free within its tolerance of a bound: 'D'
      {2, 1234567.0, -1.0, 1234567.0, -3.0}};  // a row at its upper bound
  const std::vector<std::string> lines = table(1, rows, 1);
  const std::string head = " State     Value       Lower Bound   Upper Bound    Lagr Mult   Slack";
  const std::string none = "      None    ";
  const std::string point14 = "       .      ";
  const std::string point12 = "       .    ";
  const std::vector<std::string> expected = {
      "",
      "",
      " Varbl" + head,
      "",
      trim_right(" V   1    FR    123.456    " + point14 + none + point12 + "   123.5    "),
      trim_right(" V   2    FR   0.500000    " + none + none),
      trim_right(" V   3  A LL    1.00000       1.00000       2.00000    " + point12 +
                 "     .      "),
      trim_right(" V   4  I --  -0.500000    " + point14 + "   1.00000    " + point12 +
                 " -0.5000    "),
      trim_right(" V   5  D FR   1.000000E-07" + point14 + "   1.00000    " + point12 +
                 "  1.0000E-07"),
      "",
      "",
      " L Con" + head,
      "",
      trim_right(" L   1    UL   1.234567E+06  -1.00000      1.234567E+06  -3.000         .      ")};
  EXPECT_EQ(lines, expected);
}

TEST(SolutionTable, PrintLevelRule) {
  const std::vector<TableRow> rows = {{0, 1.0, 0.0, 2.0, 0.0}};
  EXPECT_TRUE(table(0, rows, 0).empty());
  EXPECT_TRUE(table(5, rows, 0).empty());
  EXPECT_FALSE(table(1, rows, 0).empty());
  EXPECT_FALSE(table(10, rows, 0).empty());
}

TEST(PredictConstraintStatus, ValuesAndStatus) {
  // Two variables, one row x1 + 2 x2, one nonlinear value.
  const double a[2] = {1.0, 2.0};
  const double x[2] = {1.0, -3.0};
  const double c[1] = {7.0};
  const double bl[4] = {0.0, -2.0, -10.0, 0.0};
  const double bu[4] = {1.0, 5.0, 10.0, 6.0};
  const double featol[4] = {1e-6, 1e-6, 1e-6, 1e-6};
  const int istate[4] = {2, 0, 0, 0};
  double values[4];
  int predicted[4];
  predict_constraint_status(2, 1, 1, 1, istate, a, x, c, bl, bu, featol, values, predicted);
  EXPECT_EQ((std::vector<double>{1.0, -3.0, -5.0, 7.0}), std::vector<double>(values, values + 4));
  EXPECT_EQ((std::vector<int>{2, -2, 0, -1}), std::vector<int>(predicted, predicted + 4));
}

TEST(StatusLetters, EveryCode) {
  const std::vector<std::string> expected = {"--", "++", "FR", "LL", "UL", "EQ", "TF"};
  for (int s = -2; s <= 4; ++s) EXPECT_EQ(status_letters(s), expected[s + 2]);
}

}  // namespace
}  // namespace zun
