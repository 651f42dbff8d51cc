// The driver's unbounded verdict: which variables count as run off toward an absent bound, when
// a fallen objective counts, and which exit codes the verdict may replace.
#include "drivers/dnnlp/unbounded.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

#include "library/dense_sqp/dense_sqp.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kFar = 3e19;  // beyond a tenth of the infinite bound size

struct Case {
  const char* name;
  int ifail;
  double x, lower, upper;  // the one variable at the end of the solve, and its bounds
  bool unbounded;
  double objective = 0.0;  // as minimised
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class UnboundedVerdict : public ::testing::TestWithParam<Case> {};

TEST_P(UnboundedVerdict, IsGivenOnlyWhereThePointCanRunOffTowardAnAbsentBound) {
  dnnlp::DenseArrays d;
  d.n = 1;
  d.x = {GetParam().x};
  d.bl = {GetParam().lower};
  d.bu = {GetParam().upper};
  EXPECT_EQ(dnnlp::seems_unbounded(GetParam().ifail, d, GetParam().objective),
            GetParam().unbounded);
}

namespace code = zun::dense_exit;

INSTANTIATE_TEST_SUITE_P(
    Points,
    UnboundedVerdict,
    ::testing::Values(Case{"free_up", code::kOptimal, kFar, -kInf, kInf, true},
                      Case{"free_down", code::kCannotImprove, -kFar, -kInf, kInf, true},
                      Case{"absent_bound_set_large", code::kOptimal, -kFar, -1e20, 0.0, true},
                      Case{"short_of_a_tenth", code::kAccuracyNotAchieved, 9e18, -kInf, kInf, false},
                      Case{"finite_upper", code::kOptimal, kFar, -kInf, 4e19, false},
                      Case{"finite_lower", code::kOptimal, -kFar, -4e19, kInf, false},
                      Case{"fixed", code::kCannotImprove, kFar, kFar, kFar, false},
                      Case{"not_a_number", code::kOptimal,
                           std::numeric_limits<double>::quiet_NaN(), 0.0, 1.0, true},
                      Case{"infinite", code::kAccuracyNotAchieved, kInf, 0.0, 1.0, true},
                      Case{"other_exit", code::kMajorLimit, kFar, -kInf, kInf, false},
                      Case{"fallen_objective_free", code::kOptimal, -2e8, -kInf, kInf, true, -2e14},
                      Case{"fallen_objective_short", code::kOptimal, 2e8, -kInf, kInf, false, -9e13},
                      Case{"fallen_objective_in_a_box", code::kOptimal, 1.0, 0.0, 1.0, false, -1e30},
                      Case{"fallen_objective_bound_side", code::kAccuracyNotAchieved, 5.0, -kInf, 10.0,
                           false, -1e30},
                      Case{"fallen_objective_other_exit", code::kMajorLimit, 2e8, -kInf, kInf, false,
                           -1e30}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
