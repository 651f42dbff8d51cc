// The dense option reader: the word map, the keyword tables, every phrase of an option line
// with its word and value, the diagnostics and the listing of option lines.
#include "library/dense_sqp/dense_option_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <string>
#include <vector>

#include "library/dense_sqp/dense_store_words.h"
#include "library/support/output.h"
#include "tests/dense_sqp/dense_harness.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

namespace dw = dense_words;
namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;
using dense_test::LocalDenseStore;
using testing::UnitCapture;

constexpr int kAdvisory = 83;

// Sets the advisory unit to a captured unit for the life of a test.
class AdvisoryCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    int unit = kAdvisory;
    advisory_unit(1, unit);
  }
  void TearDown() override {
    int unit = 6;
    advisory_unit(1, unit);
  }
  UnitCapture out_{kAdvisory};
};

int apply(LocalDenseStore& store, const std::string& line, bool listing = true) {
  int inform = -1;
  process_dense_option_string(line.data(), static_cast<int>(line.size()), listing, "DNKEYF",
                              store.view(), inform);
  return inform;
}

TEST(DenseWordMap, WordsUniquePerKindAndOptionRangesDisjoint) {
  const std::vector<int> integers = {
      iw::kDifferenceType, iw::kMissingJacobian, iw::kMissingGradient, iw::kIntervalMode,
      iw::kCheckLevel, iw::kObjectiveCheckStart, iw::kObjectiveCheckStop,
      iw::kConstraintCheckStart, iw::kConstraintCheckStop, iw::kAdvisoryUnitCopy, iw::kPrintFile,
      iw::kMonitoringFile, iw::kErrorUnitCopy, iw::kInputErrors, iw::kFirstDerivativePhase,
      iw::kBodyState, iw::kJacobianCheckResult, iw::kGradientCheckResult, iw::kDerivativeMode,
      iw::kKnownJacobian, iw::kDerivativeState, iw::kMajorMode, iw::kMajorState,
      iw::kReaderAdvisoryUnit, iw::kIfailOnEntry, iw::kFpInform, iw::kPhaseInform,
      iw::kDerivativesKnown, iw::kObjectiveEvaluations, iw::kConstraintEvaluations,
      iw::kFdVariable, iw::kFdStep, iw::kFdAwaiting, iw::kCheckVariable, iw::kCheckRow,
      iw::kCheckStep, iw::kCheckResult, iw::kCheckOkCount, iw::kCheckCount,
      iw::kCheckLargestElement, iw::kCheckLargestRow, iw::kConstantObjective,
      iw::kConstantJacobian};
  const std::vector<int> reals = {
      rw::kInverseEps, rw::kPenaltyNorm, rw::kDamping, rw::kMeritScale, rw::kEpsPow033,
      rw::kSqrtEps, rw::kStationarityFactor, rw::kPivotFactor, rw::kReferenceRowNorm,
      rw::kLargestTDiagonal, rw::kSmallestTDiagonal, rw::kRootConditionLimit,
      rw::kRFrobeniusNorm, rw::kEps, rw::kBaseInterval, rw::kRootN, rw::kStartPointNorm,
      rw::kFdStepSize, rw::kFdLargestStep, rw::kFdObjective1, rw::kFdObjective2,
      rw::kSearchValue1, rw::kCheckH, rw::kCheckLargestError, rw::kFpSumInfeasibilities};
  const auto inside = [](int w, dw::WordRange r) { return w >= r.first && w <= r.last; };
  std::set<int> seen;
  for (int w : integers) {
    EXPECT_TRUE(seen.insert(w).second) << "integer word " << w << " named twice";
    EXPECT_GE(w, 1);
    EXPECT_LE(w, kDenseStoreSizes.integer);
    for (dw::WordRange r : {dw::kNpIntegerBackup, dw::kNpIntegerWorking, dw::kQpIntegerBackup,
                            dw::kQpIntegerWorking, iw::kRealArrayStarts, iw::kIntegerArrayStarts}) {
      EXPECT_FALSE(inside(w, r)) << "integer word " << w << " lies in an option or start range";
    }
  }
  seen.clear();
  for (int w : reals) {
    EXPECT_TRUE(seen.insert(w).second) << "real word " << w << " named twice";
    EXPECT_LE(w, kDenseStoreSizes.real);
    for (dw::WordRange r : {dw::kNpRealBackup, dw::kQpRealBackup, rw::kIntervalSearchBlock}) {
      EXPECT_FALSE(inside(w, r)) << "real word " << w;
    }
  }
  const std::vector<std::pair<dw::WordRange, dw::WordRange>> pairs = {
      {dw::kNpIntegerBackup, dw::kNpIntegerWorking}, {dw::kQpIntegerBackup, dw::kQpIntegerWorking},
      {dw::kNpRealBackup, dw::kNpRealWorking},       {dw::kQpRealBackup, dw::kQpRealWorking},
      {dw::kNpIntegerWorking, dw::kQpIntegerBackup}, {dw::kNpRealWorking, dw::kQpRealBackup}};
  for (const auto& [a, b] : pairs) {
    EXPECT_EQ(a.size(), dw::kOptionSetSize);
    EXPECT_EQ(b.size(), dw::kOptionSetSize);
    EXPECT_TRUE(a.last < b.first || b.last < a.first);
  }
  EXPECT_LE(rw::kIntervalSearchBlock.last, kDenseStoreSizes.real);
}

TEST(DenseKeywordTables, SortedWithTheirCounts) {
  for (auto table : {dense_first_keywords(), dense_second_keywords()}) {
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
    EXPECT_EQ(std::adjacent_find(table.begin(), table.end()), table.end());
  }
  EXPECT_EQ(dense_first_keywords().size(), 40u);
  EXPECT_EQ(dense_second_keywords().size(), 19u);
}

struct IntWord {
  int word;
  int value;
};
struct RealWord {
  int word;
  double value;
};
struct LineCase {
  const char* line;
  std::vector<IntWord> ints;
  std::vector<RealWord> reals;
  int inform;
  const char* message;  // the diagnostic written while listing, "" for none
};

class DenseOptionLine : public AdvisoryCapture, public ::testing::WithParamInterface<LineCase> {};

TEST_P(DenseOptionLine, StoresItsWordAndNothingElse) {
  const LineCase& c = GetParam();
  LocalDenseStore store;
  apply(store, "Begin");  // the first line: resets every option and lists the header
  const LocalDenseStore before = store;
  const std::size_t lines_before = out_.lines().size();
  EXPECT_EQ(apply(store, c.line), c.inform) << c.line;
  for (int k = 1; k <= 610; ++k) {
    const auto it = std::find_if(c.ints.begin(), c.ints.end(), [k](IntWord w) { return w.word == k; });
    if (k == iw::kReaderAdvisoryUnit) continue;
    EXPECT_EQ(store.i(k), it != c.ints.end() ? it->value : before.iw[k - 1]) << c.line << " word " << k;
  }
  for (int k = 1; k <= 475; ++k) {
    const auto it = std::find_if(c.reals.begin(), c.reals.end(), [k](RealWord w) { return w.word == k; });
    if (it != c.reals.end()) {
      EXPECT_DOUBLE_EQ(store.r(k), it->value) << c.line << " real word " << k;
    } else {
      EXPECT_EQ(store.r(k), before.rw[k - 1]) << c.line << " real word " << k;
    }
  }
  const std::vector<std::string> lines = out_.lines();
  ASSERT_GE(lines.size(), lines_before + 1);
  EXPECT_EQ(lines[lines_before], "      " + std::string(c.line).substr(0, 72));
  if (std::string(c.message).empty()) {
    EXPECT_EQ(lines.size(), lines_before + 1) << c.line;
  } else {
    ASSERT_EQ(lines.size(), lines_before + 2) << c.line;
    EXPECT_EQ(lines.back(), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Phrases,
    DenseOptionLine,
    ::testing::Values(
        LineCase{"Infinite bound size 1.0e20", {}, {{rw::kInfiniteBound, 9.9999e19}}, 0, ""},
        LineCase{"Infinite step size 1.0e10", {}, {{rw::kInfiniteStep, 1.0e10}}, 0, ""},
        LineCase{"Infinite size 5", {}, {}, 5, " XXX  Second keyword not recognized:  SIZE"},
        LineCase{"Infinite level 5", {}, {}, 0, ""},
        LineCase{"Verify", {{iw::kVerifyLevel, 3}}, {}, 0, ""},
        LineCase{"Verify abc", {{iw::kVerifyLevel, 3}}, {}, 0, ""},
        LineCase{"Verify No", {{iw::kVerifyLevel, -1}}, {}, 0, ""},
        LineCase{"Verify objective gradients", {{iw::kVerifyLevel, 1}}, {}, 0, ""},
        LineCase{"Verify constraints", {{iw::kVerifyLevel, 2}}, {}, 0, ""},
        LineCase{"Verify level 12", {{iw::kVerifyLevel, 12}}, {}, 0, ""},
        LineCase{"Major Iterations Limit 2.9", {{iw::kMajorIterationLimit, 2}}, {}, 0, ""},
        LineCase{"Itns 40", {{iw::kMajorIterationLimit, 40}}, {}, 0, ""},
        LineCase{"Iters limit -3.7", {{iw::kMajorIterationLimit, -3}}, {}, 0, ""},
        LineCase{"Iterations 1e12", {{iw::kMajorIterationLimit, INT_MAX}}, {}, 0, ""},
        LineCase{"Iterations -1e12", {{iw::kMajorIterationLimit, INT_MIN}}, {}, 0, ""},
        LineCase{"Print level = 5 * a note", {{iw::kMajorPrintLevel, 5}}, {}, 0, ""},
        LineCase{"Maj print 7", {{iw::kMajorPrintLevel, 7}}, {}, 0, ""},
        LineCase{"Minor print level 3", {{iw::kMinorPrintLevel, 3}}, {}, 0, ""},
        LineCase{"Minor iterations 77", {{iw::kMinorLimit, 77}}, {}, 0, ""},
        LineCase{"Feasibility tolerance 1.0e-6", {},
                 {{rw::kNonlinearFeasibility, 1e-6}, {rw::kLinearFeasibility, 1e-6}}, 0, ""},
        LineCase{"Nonlinear feasibility 1.0e-6", {}, {{rw::kNonlinearFeasibility, 1e-6}}, 0, ""},
        LineCase{"Linear feasibility 1.0e-7", {}, {{rw::kLinearFeasibility, 1e-7}}, 0, ""},
        LineCase{"Row tolerance 1.0e-5", {}, {{rw::kNonlinearFeasibility, 1e-5}}, 0, ""},
        LineCase{"Linesearch tolerance 0.5", {}, {{rw::kLineSearchTolerance, 0.5}}, 0, ""},
        LineCase{"Linear search tolerance 0.25", {}, {{rw::kLineSearchTolerance, 0.25}}, 0, ""},
        LineCase{"Linear constraints 4", {{iw::kLinearConstraintsOption, 4}}, {}, 0, ""},
        LineCase{"Nonlinear Jacobian variables 4", {{iw::kNonlinearJacobianVars, 4}}, {}, 0, ""},
        LineCase{"Nonlinear objective variables 3", {{iw::kNonlinearObjectiveVars, 3}}, {}, 0, ""},
        LineCase{"Nonlinear variables 2", {{iw::kNonlinearVars, 2}}, {}, 0, ""},
        LineCase{"Nonlinear constraints 2", {{iw::kNonlinearConstraints, 2}}, {}, 0, ""},
        LineCase{"Function precision 1.0D-10", {}, {{rw::kFunctionPrecision, 1e-10}}, 0, ""},
        LineCase{"Difference interval 1e-4", {}, {{rw::kDifferenceInterval, 1e-4}}, 0, ""},
        LineCase{"Central difference interval 1e-3", {}, {{rw::kCentralInterval, 1e-3}}, 0, ""},
        LineCase{"Optimality tolerance 1e-8", {}, {{rw::kOptimalityTolerance, 1e-8}}, 0, ""},
        LineCase{"Condition limit 1e8", {}, {{rw::kConditionLimit, 1e8}}, 0, ""},
        LineCase{"Crash tolerance 0.1", {}, {{rw::kCrashTolerance, 0.1}}, 0, ""},
        LineCase{"Step limit 3", {}, {{rw::kStepLimit, 3.0}}, 0, ""},
        LineCase{"Lower bound -5", {}, {{rw::kLowerBoundOption, -5.0}}, 0, ""},
        LineCase{"Upper bound 5", {}, {{rw::kUpperBoundOption, 5.0}}, 0, ""},
        LineCase{"Derivative level 1", {{iw::kDerivativeLevel, 1}}, {}, 0, ""},
        LineCase{"Hessian yes", {{iw::kHessianOutput, 1}}, {}, 0, ""},
        LineCase{"Hessian no", {{iw::kHessianOutput, 0}}, {}, 0, ""},
        LineCase{"Warm start", {{iw::kStart, 1}}, {}, 0, ""},
        LineCase{"Cold start", {{iw::kStart, 0}}, {}, 0, ""},
        LineCase{"Monitoring file 9", {{iw::kMonitoringFileOption, 9}}, {}, 0, ""},
        LineCase{"Problem number 17", {{iw::kProblemNumber, 17}}, {}, 0, ""},
        LineCase{"Problem no. 18", {{iw::kProblemNumber, 18}}, {}, 0, ""},
        LineCase{"Problem size 18", {}, {}, 0, ""},
        LineCase{"Start objective check at variable 2", {{iw::kStartObjectiveCheck, 2}}, {}, 0, ""},
        LineCase{"Stop constraints check at variable 3", {{iw::kStopConstraintCheck, 3}}, {}, 0, ""},
        LineCase{"Variables 6", {{iw::kVariablesOption, 6}}, {}, 0, ""},
        LineCase{"Constraints 6", {{iw::kLinearConstraintsOption, 6}}, {}, 0, ""},
        LineCase{"IPRMLS 5 4", {{iw::kIprmlsBase + 5, 4}}, {}, 0, ""},
        LineCase{"RPRMLS 30 2.5", {}, {{rw::kRprmlsBase + 30, 2.5}}, 0, ""},
        LineCase{"IPRMLS 31 4", {}, {}, 5, " XXX  The PARM subscript is out of range:        31"},
        LineCase{"Con 3", {}, {}, 5, " XXX  Ambiguous keyword:              CON"},
        LineCase{"Frobnicate 3", {}, {}, 5, " XXX  Keyword not recognized:         FROBNICATE"},
        LineCase{"Major feasibility 3", {}, {}, 0, ""},
        LineCase{"Major steps 3", {}, {}, 5, " XXX  Second keyword not recognized:  STEPS"},
        LineCase{"End", {}, {}, 0, ""},
        LineCase{"* a comment line", {}, {}, 0, ""}));

TEST_F(AdvisoryCapture, DefaultsUnsetsEveryWorkingWordAndNotTheBackups) {
  LocalDenseStore store;
  apply(store, "Major iterations 5");
  apply(store, "Infinite bound 1e10");
  save_np_option_set(store.view());
  save_qp_option_set(store.view());
  apply(store, "Defaults");
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), kUnsetInteger);
  EXPECT_EQ(store.r(rw::kInfiniteBound), kUnsetReal);
  restore_np_option_set(store.view());
  restore_qp_option_set(store.view());
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 5);
  EXPECT_DOUBLE_EQ(store.r(rw::kInfiniteBound), 1e10 * 0.99999);
}

TEST_F(AdvisoryCapture, FirstLineListsTheHeaderAndEachLineIsEchoed) {
  LocalDenseStore store;
  apply(store, "Major iterations 5");
  apply(store, "Print level 3");
  const std::vector<std::string> expected = {" ", " ", " Calls to DNKEYF", " ---------------", " ",
                                             "      Major iterations 5",
                                             "      Print level 3"};
  EXPECT_EQ(out_.lines(), expected);
}

TEST_F(AdvisoryCapture, NolistFirstPrintsNothingAndListResumesAfterItself) {
  LocalDenseStore store;
  apply(store, "NOLIST");
  apply(store, "Major iterations 5");
  EXPECT_EQ(apply(store, "Bogus"), 5);
  apply(store, "LIST");
  apply(store, "Print level 3");
  EXPECT_EQ(out_.lines(), std::vector<std::string>{"      Print level 3"});
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 5);
}

TEST_F(AdvisoryCapture, FirstLineWithListingOffIsSilentButDecoded) {
  LocalDenseStore store;
  apply(store, "Print level = 10", false);
  apply(store, "Major iterations 9", true);
  EXPECT_TRUE(out_.lines().empty());
  EXPECT_EQ(store.i(iw::kMajorPrintLevel), 10);
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 9);
}

}  // namespace
}  // namespace zun
