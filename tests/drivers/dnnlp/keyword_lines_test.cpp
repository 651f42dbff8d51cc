// The option lines that the dnnlp keywords become, and the solve messages of the final flag.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "drivers/dnnlp/keywords.h"

namespace {

using dnnlp::DenseKeywordValues;

struct LinesCase {
  const char* name;
  DenseKeywordValues values;
  std::vector<std::string> lines;
};

void PrintTo(const LinesCase& c, std::ostream* os) { *os << c.name; }

class OptionLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(OptionLines, FollowTheKeywordCells) {
  EXPECT_EQ(dnnlp::solver_option_lines(GetParam().values), GetParam().lines);
}

DenseKeywordValues with(
    double feasibility, int maxit, double optimality, double precision, int print) {
  return DenseKeywordValues{feasibility, maxit, optimality, precision, print};
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    OptionLines,
    ::testing::Values(
        LinesCase{"nothing_set", DenseKeywordValues{}, {"Verify Level = -1 "}},
        LinesCase{"all_set",
                  with(1e-7, 50, 2e-9, 1e-10, 3),
                  {"Verify Level = -1 ", "Feasibility Tolerance = 1.000000e-07 ",
                   "Function Precision = 1.000000e-10 ", "Optimality Tolerance = 2.000000e-09 ",
                   "Iteration Limit = 50 ", "Print Level = 3 "}},
        // Reals only when positive, integers unless -1: other negative values are sent.
        LinesCase{"limits",
                  with(0.0, -5, -1.0, std::nan(""), 0),
                  {"Verify Level = -1 ", "Iteration Limit = -5 ", "Print Level = 0 "}}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

TEST(SolveMessages, EveryCodeHasItsMessage) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "converged: optimal solution found"},
      {1, "converged: suboptimal solution found, accuracy couldn't be achieved"},
      {2, "failed: the problem is infeasible (linear constraints & bounds)"},
      {3, "failed: the problem is infeasible (nonlinear constraints)"},
      {4, "failed: maximum number of iterations reached"},
      {5, "error: please consult the manual"},
      {6, "failed: requested accuracy couldn't be achieved"},
      {7, "error: please consult the manual"},
      {9, "error: please consult the manual"},
      {-1, "error: please consult the manual"},
      {-7, "error: please consult the manual"}};
  for (const auto& [code, message] : cases) {
    EXPECT_EQ(dnnlp::solve_message(code), message) << code;
  }
}

}  // namespace
