// The final report: reduced costs, the largest infeasibilities, the status texts, "Save" on a
// scaled maximisation, and the listing lines of one small LP.
#include "library/sparse_sqp/final_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/run_test_support.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;
using run_test::OwnedMatrix;
using run_test::SmallWorkspace;

constexpr double kInf = 1e20;

TEST(FinalReport, ReducedCostsIncludeTheObjectiveGradient) {
  OwnedMatrix a({{1.0, 2.0, 0.0}, {0.0, -1.0, 4.0}});
  const std::vector<double> gobj{10.0, 20.0};
  const std::vector<double> pi{3.0, -2.0};
  std::vector<double> rc(5);
  for (int sign : {1, -1}) {
    final_reduced_costs(a.view, 2, sign, gobj.data(), pi.data(), rc.data());
    EXPECT_EQ(rc, (std::vector<double>{sign * 10.0 - 3.0, sign * 20.0 - 8.0, 8.0, 3.0, -2.0}));
  }
}

TEST(FinalReport, LargestInfeasibilities) {
  const std::vector<double> bl{0, 0, 0, 1, -kInf}, bu{1, 1, 1, 1, kInf};
  double v = -1.0;
  int at = -1;
  max_primal_infeasibility(5, bl.data(), bu.data(), std::vector<double>{0.5, 1, 0, 1, 3}.data(), v,
                           at);
  EXPECT_EQ(v, 0.0);
  EXPECT_EQ(at, 0);
  max_primal_infeasibility(5, bl.data(), bu.data(), std::vector<double>{2.0, -0.5, 0, 0, 0}.data(),
                           v, at);
  EXPECT_EQ(v, 1.0);  // index 4 ties with 1.0 below its bound; the first wins
  EXPECT_EQ(at, 1);
  // At a lower bound a negative reduced cost is infeasible, at an upper bound a positive one,
  // between the bounds any nonzero one; fixed entries and the objective row are skipped.
  const std::vector<double> x{0, 1, 0.5, 1, 0};
  max_dual_infeasibility(3, 5, 2, bl.data(), bu.data(),
                         std::vector<double>{-2, 3, 0.5, 9, 99}.data(), x.data(), v, at);
  EXPECT_EQ(v, 3.0);
  EXPECT_EQ(at, 2);
  max_dual_infeasibility(3, 5, 0, bl.data(), bu.data(),
                         std::vector<double>{2, -3, -0.5, 9, -99}.data(), x.data(), v, at);
  EXPECT_EQ(v, 99.0);
  EXPECT_EQ(at, 5);
}

TEST(FinalReport, StatusTexts) {
  EXPECT_EQ(select_status_text("NP ", 1), "Optimal Soln");
  EXPECT_EQ(select_status_text("FP ", 1), "Feasble soln");
  EXPECT_EQ(select_status_text("NP ", 2), "  Infeasible");
  EXPECT_EQ(select_status_text("NP ", 3), "   Unbounded");
  EXPECT_EQ(select_status_text("FP ", 4), " Excess itns");
  EXPECT_EQ(select_status_text("NP ", 9), " Error condn");
  EXPECT_EQ(select_status_text("NP ", 0), " Error condn");
  EXPECT_EQ(select_status_text("NP ", -3), " Error condn");
}

// A small LP held scaled: 2 columns, rows 1 (an inequality) and 2 (the free objective row).
struct SmallLp {
  OwnedMatrix a{{{1.0, 1.0}, {-1.0, -2.0}}};
  std::vector<double> bl{0.0, 0.0, -kInf, -kInf}, bu{4.0, kInf, 3.0, kInf};
  std::vector<double> x{1.0, 2.0, 3.0, -5.0};
  std::vector<int> state{3, 3, 1, 3};
  std::vector<double> pi{2.0, -1.0};
  std::vector<double> rc = std::vector<double>(4, 0.0);
  std::vector<double> s{1.0, 1.0, 1.0, 1.0};
  std::vector<double> gobj{0.0};
  SmallWorkspace w;
  int unscale_calls = 0;

  ReportData data() {
    ReportData d;
    d.a = &a.view;
    d.objective_row = 2;
    d.bl = bl.data();
    d.bu = bu.data();
    d.x = x.data();
    d.state = state.data();
    d.pi = pi.data();
    d.rc = rc.data();
    d.s = s.data();
    d.gobj = gobj.data();
    d.iz = w.iz.data();
    d.z = w.z.data();
    d.unscale = [this] { ++unscale_calls; };
    return d;
  }
};

TEST(FinalReport, SaveUnscalesOnceAndFlipsAMaximisationOnce) {
  SmallLp lp;
  lp.w.i(ws::kObjectiveSign) = -1;
  lp.s = {2.0, 4.0, 0.5, 1.0};
  ReportData d = lp.data();
  d.scaled = true;
  ReportMeasures r;
  report_solution("Save", d, r, 0);
  report_solution("Print", d, r, 0);
  EXPECT_EQ(lp.unscale_calls, 1);
  EXPECT_FALSE(d.scaled);
  EXPECT_TRUE(r.was_scaled);
  // rc = -(A'pi) scaled back by the column scales and negated once; the row part is pi.
  EXPECT_EQ(lp.rc, (std::vector<double>{3.0 / 2.0, 4.0 / 4.0, -2.0, 1.0}));
  EXPECT_EQ(lp.pi, (std::vector<double>{-2.0, 1.0}));
  EXPECT_EQ(std::vector<double>(lp.rc.begin() + 2, lp.rc.end()), lp.pi);
}

TEST(FinalReport, ListingLines) {
  sqp_test::UnitCapture print(72);
  sqp_test::UnitCapture monitor(73);
  SmallLp lp;
  lp.w.i(iw::kPrintUnit) = print.unit();
  lp.w.i(iw::kMonitoringUnit) = monitor.unit();
  lp.w.i(iw::kMajorPrintLevel) = 10;
  lp.w.i(ws::kObjectiveSign) = 1;
  lp.state = {0, 3, 1, 3};
  lp.x = {0.0, 1.5, 3.0, -3.0};
  ReportData d = lp.data();
  ReportMeasures r;
  report_solution("Save", d, r, 0);
  report_solution("Print", d, r, 0);
  const std::vector<std::string> full = monitor.lines();
  const std::vector<std::string> want_full{
      " ",
      " Section 1 - Columns",
      " ",
      "  Number  .Column. State  ...Activity...  .Obj Gradient.  ..Lower Bound.  ..Upper Bound.  "
      "Reduced Gradnt    m+j",
      " ",
      "       1  X      1 N  LL        .         -1.0000000            .          4.0000000      "
      "-3.0000000          3",
      "       2  X      2    BS   1.5000000      -2.0000000            .              None       "
      "-4.0000000          4",
      " ",
      " Section 2 - Rows",
      " ",
      "  Number  ...Row.. State  ...Activity...  Slack Activity  ..Lower Bound.  ..Upper Bound.  "
      ".Dual Activity    ..i",
      " ",
      "       3  L      1 N  UL   3.0000000            .              None        3.0000000      "
      "-2.0000000          1",
      "       4  Free Row    BS  -3.0000000      -3.0000000           None            None       "
      "-1.0000000          2"};
  EXPECT_EQ(full, want_full);
  const std::vector<std::string> compact = print.lines();
  ASSERT_EQ(compact.size(), 10u);
  EXPECT_EQ(compact[1],
            " Variable State     Value       Lower Bound  Upper Bound   Lagr Mult  Residual");
  EXPECT_EQ(compact[3],
            " X      1 N  LL    0.00000           .        4.0000      -3.000         .");
  EXPECT_EQ(compact[8],
            " L      1 N  UL    3.00000          None      3.0000      -2.000         .");
  EXPECT_EQ(compact[9], " Free Row    BS   -3.00000          None         None     -1.000");
}

}  // namespace
}  // namespace zun
