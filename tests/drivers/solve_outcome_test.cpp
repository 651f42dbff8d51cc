// Workspace growth between re-runs and the solve messages.
#include "drivers/spnlp/solve_outcome.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace {

using spnlp::WorkspaceLengths;

struct GrowthCase {
  const char* name;
  int ifail;
  WorkspaceLengths current;
  int neediz;
  int needz;
  std::optional<WorkspaceLengths> expected;
};

class WorkspaceGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(WorkspaceGrowth, GivesTheNextLengths) {
  const GrowthCase& c = GetParam();
  EXPECT_TRUE(spnlp::workspace_too_small(c.ifail));
  const auto next = spnlp::grown_workspace(c.ifail, c.current, c.neediz, c.needz);
  ASSERT_EQ(next.has_value(), c.expected.has_value());
  if (next) {
    EXPECT_EQ(next->leniz, c.expected->leniz);
    EXPECT_EQ(next->lenz, c.expected->lenz);
  }
}

constexpr int kMaxInt = std::numeric_limits<int>::max();

INSTANTIATE_TEST_SUITE_P(
    Codes,
    WorkspaceGrowth,
    ::testing::Values(
        // The usual first call: the real workspace of 500 words is too small.
        GrowthCase{
            "RealPlanNeedAboveDouble", 16, {500, 500}, 300, 4001, WorkspaceLengths{500, 6001}},
        GrowthCase{"RealPlanAtLeastDoubles", 16, {500, 500}, 300, 600, WorkspaceLengths{500, 1000}},
        GrowthCase{"RealNamedButNeedMet", 13, {500, 500}, 300, 400, WorkspaceLengths{500, 1000}},
        GrowthCase{"IntegerPlanBothShort", 15, {500, 500}, 900, 700, WorkspaceLengths{1350, 1050}},
        GrowthCase{"IntegerAtLeastDoubles", 12, {800, 500}, 801, 10, WorkspaceLengths{1600, 500}},
        GrowthCase{
            "IntegerOddNeedTruncates", 15, {500, 5000}, 1001, 10, WorkspaceLengths{1501, 5000}},
        GrowthCase{"DoublingBeyond32BitsFails", 16, {500, 1500000000}, 10, 10, std::nullopt},
        GrowthCase{"NeedBeyond32BitsFails", 15, {500, 500}, kMaxInt, 10, std::nullopt},
        GrowthCase{
            "LargestThatFits", 13, {500, 1000}, 10, 1431655765, WorkspaceLengths{500, 2147483647}}),
    [](const ::testing::TestParamInfo<GrowthCase>& info) { return std::string(info.param.name); });

TEST(WorkspaceGrowth, OnlyTheFourShortageCodesAskForARerun) {
  for (int code = -20; code <= 30; ++code) {
    const bool shortage = code == 12 || code == 13 || code == 15 || code == 16;
    EXPECT_EQ(spnlp::workspace_too_small(code), shortage) << code;
  }
}

struct MessageCase {
  int ifail;
  const char* message;
};

class SolveMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(SolveMessages, FollowTheFinalCode) {
  EXPECT_STREQ(spnlp::solve_message(GetParam().ifail), GetParam().message);
}

constexpr const char* kManual = "error: please consult the manual";

INSTANTIATE_TEST_SUITE_P(
    Codes,
    SolveMessages,
    ::testing::Values(
        MessageCase{0, "converged: optimal solution found"},
        MessageCase{1, "failed: the problem is infeasible"},
        MessageCase{2, "failed: the problem seems to be unbounded"},
        MessageCase{3,
                    "failed: the problem might be unbounded,\n  please check optional parameters "
                    "Unbounded Objective and Unbounded Step Size"},
        MessageCase{4, "failed: maximum number of iterations reached"},
        MessageCase{5, "converged: suboptimal solution found, accuracy couldn't be achieved"},
        MessageCase{6,
                    "error: superbasics limit is too small, increase it using option "
                    "'superbasics'"},
        MessageCase{7, kManual},
        MessageCase{16, kManual},
        MessageCase{-1, kManual},
        MessageCase{-3, kManual},
        MessageCase{kMaxInt, kManual}));

}  // namespace
