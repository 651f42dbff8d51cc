// The option lines that the driver's keyword values become, and the keyword table itself.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "drivers/spnlp/keywords.h"
#include "getstub.h"

namespace {

using spnlp::SparseKeywordValues;

struct LinesCase {
  const char* name;
  std::function<void(SparseKeywordValues&)> set;
  std::vector<std::string> lines;
};

class OptionLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(OptionLines, AreSentInTheirOrderWithTrailingBlank) {
  SparseKeywordValues values;
  GetParam().set(values);
  EXPECT_EQ(spnlp::solver_option_lines(values), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Keywords,
    OptionLines,
    ::testing::Values(
        LinesCase{
            "Defaults", [](SparseKeywordValues&) {}, {"Verify Level = -1 ", "Print Level = 5 "}},
        LinesCase{"PrintMinusOneSendsNoPrintLine",
                  [](SparseKeywordValues& v) { v.print = -1; },
                  {"Verify Level = -1 "}},
        LinesCase{"OtherNegativeIntegersAreSent",
                  [](SparseKeywordValues& v) {
                    v.maxit = -5;
                    v.print = -2;
                  },
                  {"Verify Level = -1 ", "Major Iteration Limit = -5 ", "Print Level = -2 "}},
        LinesCase{
            "RealsAtOrBelowZeroAndNaNAreNotSent",
            [](SparseKeywordValues& v) {
              v.feasibility = 0.0;
              v.minfeas = -3.0;
              v.precision = std::nan("");
              v.optimality = 2.5e-7;
            },
            {"Verify Level = -1 ", "Optimality Tolerance = 2.500000e-07 ", "Print Level = 5 "}},
        LinesCase{
            "AllSetInTheSolverOrder",
            [](SparseKeywordValues& v) {
              v.feasibility = 1e-6;
              v.hupdates = 7;
              v.maxit = 100;
              v.minfeas = 2e-6;
              v.minit = 300;
              v.minittotal = 9000;
              v.minprint = 1;
              v.optimality = 3e-6;
              v.precision = 1e-10;
              v.print = 0;
              v.superbasics = 40;
            },
            {"Verify Level = -1 ", "Major Feasibility Tolerance = 1.000000e-06 ",
             "Minor Feasibility Tolerance = 2.000000e-06 ", "Function Precision = 1.000000e-10 ",
             "Optimality Tolerance = 3.000000e-06 ", "Major Iteration Limit = 100 ",
             "Minor Iteration Limit = 300 ", "Iteration Limit = 9000 ", "Print Level = 0 ",
             "Minor Print Level = 1 ", "Superbasics Limit = 40 ", "Hessian Updates = 7 "}}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

TEST(KeywordTable, IsSortedForTheAslsBinarySearchAndPointsAtTheCells) {
  Option_Info& info = spnlp::driver_option_info();
  ASSERT_EQ(info.n_keywds, 11);
  for (int k = 1; k < info.n_keywds; ++k) {
    EXPECT_LT(std::string(info.keywds[k - 1].name), std::string(info.keywds[k].name));
  }
  SparseKeywordValues& cells = spnlp::keyword_values();
  EXPECT_EQ(cells.print, 5);
  EXPECT_EQ(cells.maxit, -1);
  EXPECT_EQ(info.keywds[9].info, static_cast<void*>(&cells.print));
  EXPECT_EQ(info.keywds[0].info, static_cast<void*>(&cells.feasibility));
  EXPECT_STREQ(info.opname, "spnlp_options");
  EXPECT_STREQ(info.bsname, "SPNLP, ZUN Fortran Library Plen 22");
  EXPECT_EQ(info.wantsol, 0);
}

}  // namespace
