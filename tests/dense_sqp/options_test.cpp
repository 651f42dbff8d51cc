// The defaults of the dense options (values just inside and just outside their ranges), the
// saved option sets and the " Parameters" listing.
#include "library/dense_sqp/dense_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "library/dense_sqp/dense_option_reader.h"
#include "library/dense_sqp/dense_store_words.h"
#include "library/support/machine.h"
#include "library/support/output.h"
#include "tests/dense_sqp/dense_harness.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;
using dense_test::LocalDenseStore;
using testing::UnitCapture;

constexpr int kPrintUnit = 84;
const double kEps = std::ldexp(1.0, -53);

// A store after the given option lines, with the constants the solve sets before the defaults.
LocalDenseStore store_after(const std::vector<std::string>& lines) {
  LocalDenseStore store;
  int inform = 0;
  process_dense_option_string("Print level = 0", 15, false, "DNKEYF", store.view(), inform);
  for (const std::string& l : lines) {
    process_dense_option_string(l.data(), static_cast<int>(l.size()), false, "DNKEYF", store.view(),
                                inform);
  }
  store.r(rw::kEps) = kEps;
  store.r(rw::kEpsPow033) = std::pow(kEps, 0.33);
  store.r(rw::kSqrtEps) = std::sqrt(kEps);
  store.r(rw::kStationarityFactor) = std::pow(kEps, 0.8);
  store.r(rw::kPivotFactor) = std::pow(kEps, 0.9);
  store.r(rw::kInverseEps) = 1.0 / kEps;
  store.i(iw::kAdvisoryUnitCopy) = kPrintUnit;
  return store;
}

struct DefaultCase {
  std::string line;  // "" for none
  bool integer;
  int word;
  double expected;
};

class DenseDefault : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(DenseDefault, TakesItsDefaultOnlyOutsideItsRange) {
  const DefaultCase& c = GetParam();
  LocalDenseStore store = store_after(c.line.empty() ? std::vector<std::string>{}
                                                     : std::vector<std::string>{c.line});
  finish_dense_options(4, 2, 1, "DNNLPF", 0, store.view());
  if (c.integer) {
    EXPECT_EQ(store.i(c.word), static_cast<int>(c.expected)) << c.line;
  } else {
    EXPECT_NEAR(store.r(c.word), c.expected, 1e-12 * std::fabs(c.expected)) << c.line;
  }
}

const double kFprec = std::pow(kEps, 0.9);

INSTANTIATE_TEST_SUITE_P(
    Ranges,
    DenseDefault,
    ::testing::Values(
        DefaultCase{"Verify level 5", true, iw::kVerifyLevel, 0},
        DefaultCase{"Verify level 3", true, iw::kVerifyLevel, 3},
        DefaultCase{"Verify level 10", true, iw::kVerifyLevel, 10},
        DefaultCase{"Verify level 13", true, iw::kVerifyLevel, 13},
        DefaultCase{"Verify level 14", true, iw::kVerifyLevel, 0},
        DefaultCase{"Verify level -2", true, iw::kVerifyLevel, 0},
        DefaultCase{"Verify no", true, iw::kVerifyLevel, -1},
        DefaultCase{"Major iterations 0", true, iw::kMajorIterationLimit, 0},
        DefaultCase{"Major iterations -1", true, iw::kMajorIterationLimit, 50},
        DefaultCase{"Major iterations 2147483647", true, iw::kNpWord160, 2147483647},
        DefaultCase{"Major iterations 2147483646", true, iw::kNpWord160, 2147483647},
        DefaultCase{" ", true, iw::kMinorLimit, 50},
        DefaultCase{"Minor iterations 0", true, iw::kMinorLimit, 50},
        DefaultCase{"Minor iterations 1", true, iw::kMinorLimit, 1},
        DefaultCase{" ", true, iw::kGeneralMinorLimit, 50},
        DefaultCase{"Derivative level 4", true, iw::kDerivativeLevel, 3},
        DefaultCase{"Derivative level 0", true, iw::kDerivativeLevel, 0},
        DefaultCase{"Hessian yes", true, iw::kHessianOutput, 1},
        DefaultCase{"IPRMLS 6 2", true, iw::kHessianOutput, 0},
        DefaultCase{"IPRMLS 5 3", true, iw::kStart, 0},
        DefaultCase{"IPRMLS 5 2", true, iw::kStart, 0},  // hot needs a word no line sets
        DefaultCase{"Warm start", true, iw::kStart, 1},
        DefaultCase{"Stop objective check at variable 5", true, iw::kStopObjectiveCheck, 4},
        DefaultCase{"Stop objective check at variable 3", true, iw::kStopObjectiveCheck, 3},
        DefaultCase{"Start objective check at variable 4", true, iw::kObjectiveCheckStart, 4},
        DefaultCase{"Start constraints check at variable 0", true, iw::kConstraintCheckStart, 1},
        DefaultCase{"Monitoring file 9", true, iw::kMonitoringFile, -1},  // print levels below 5
        DefaultCase{" ", true, iw::kPrintFile, kPrintUnit},
        DefaultCase{" ", true, iw::kNonlinearJacobianVars, 4},
        DefaultCase{" ", true, iw::kIntervalMode, 0},
        DefaultCase{"Difference interval 1e-4", true, iw::kIntervalMode, 1},
        DefaultCase{"Difference interval -1e-4", true, iw::kIntervalMode, 2},
        DefaultCase{"Difference interval 1", true, iw::kIntervalMode, 0},
        DefaultCase{"Crash tolerance 0.999", false, rw::kCrashTolerance, 0.999},
        DefaultCase{"Crash tolerance 1", false, rw::kCrashTolerance, 0.01},
        DefaultCase{"Crash tolerance -0.1", false, rw::kCrashTolerance, 0.01},
        DefaultCase{"Function precision 1e-20", false, rw::kFunctionPrecision, kFprec},
        DefaultCase{"Function precision 1e-10", false, rw::kFunctionPrecision, 1e-10},
        DefaultCase{"Infinite bound size 0", false, rw::kInfiniteBound, 9.9999e19},
        DefaultCase{"Infinite bound size 1e25", false, rw::kInfiniteStep, 1e25 * 0.99999},
        DefaultCase{"Step limit 0", false, rw::kStepLimit, 2.0},
        DefaultCase{"Linesearch tolerance 0", false, rw::kLineSearchTolerance, 0.0},
        DefaultCase{"Linesearch tolerance 1", false, rw::kLineSearchTolerance, 0.9},
        DefaultCase{"Optimality tolerance 1e-20", false, rw::kOptimalityTolerance,
                    std::pow(kFprec, 0.8)},
        DefaultCase{"Condition limit 0.5", false, rw::kConditionLimit, 1.0 / (400.0 * kEps)},
        DefaultCase{"Derivative level 1", false, rw::kNonlinearFeasibility, std::pow(kEps, 0.33)},
        DefaultCase{"Derivative level 2", false, rw::kNonlinearFeasibility, std::sqrt(kEps)},
        DefaultCase{"Difference interval 1e-4", false, rw::kCentralInterval,
                    std::pow(kFprec, 0.33)},
        DefaultCase{"Central difference interval 1e-3", false, rw::kCentralInterval, 1e-3}));

TEST(DenseOptionSets, DefaultsOfOneSolveDoNotCarryIntoTheNext) {
  LocalDenseStore store = store_after({"Major iterations 7"});
  finish_dense_options(4, 0, 0, "DNNLPF", 0, store.view());
  EXPECT_EQ(store.i(iw::kMinorLimit), 50);
  restore_qp_option_set(store.view());
  restore_np_option_set(store.view());
  EXPECT_EQ(store.i(iw::kMinorLimit), kUnsetInteger);
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 7);
  EXPECT_EQ(store.r(rw::kFunctionPrecision), kUnsetReal);
}

class DenseListing : public ::testing::Test {
 protected:
  UnitCapture out_{kPrintUnit};
};

TEST_F(DenseListing, ParametersListingText) {
  LocalDenseStore store = store_after({"Print level 10", "Verify level 1", "Derivative level 2",
                                       "Difference interval 1e-5"});
  finish_dense_options(3, 1, 2, "DNNLPF", 0, store.view());
  const std::vector<std::string> expected = {
      " ",
      " *** DNNLPF",
      " ",
      " Parameters",
      " ----------",
      " ",
      " Linear constraints.....         1       Variables..............         3",
      " Nonlinear constraints..         2",
      " ",
      " Infinite bound size....  1.00E+20       COLD start.............",
      " Infinite step size.....  1.00E+20       EPS (machine precision)  1.11E-16",
      " Step limit.............  2.00E+00       Hessian................        NO",
      " ",
      " Linear feasibility.....  1.05E-08       Crash tolerance........  1.00E-02",
      " Nonlinear feasibility..  1.05E-08       Optimality tolerance...  3.26E-12",
      " Line search tolerance..  9.00E-01       Function precision.....  4.37E-15",
      " ",
      " Derivative level.......         2       Monitoring file........        -1",
      " Verify level...........         1",
      " ",
      " Start obj chk at varble         1       Stop obj chk at varble.         3",
      " Start con chk at varble         1       Stop con chk at varble.         3",
      " ",
      " Major iterations limit.        50       Major print level......        10",
      " Minor iterations limit.        50       Minor print level......         0",
      " ",
      " Difference interval....  1.00E-05       Central diffce interval  1.83E-05"};
  EXPECT_EQ(out_.lines(), expected);
}

TEST_F(DenseListing, NoListingAtPrintLevelZeroOrForAnInputError) {
  LocalDenseStore store = store_after({});
  finish_dense_options(3, 0, 0, "DNNLPF", 0, store.view());
  LocalDenseStore loud = store_after({"Print level 10"});
  finish_dense_options(3, 0, 0, "DNNLPF", 7, loud.view());
  EXPECT_TRUE(out_.lines().empty());
}

}  // namespace
}  // namespace zun
