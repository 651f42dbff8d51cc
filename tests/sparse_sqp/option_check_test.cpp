// "Check optional parameters" and the options listing, on workspace copies of the options.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "library/sparse_sqp/option_reader.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

using sqp_test::LocalStore;
using sqp_test::UnitCapture;
namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

const double kEps = std::ldexp(1.0, -53);
const double kSqrtEps = std::sqrt(kEps);
const double kEps08 = std::pow(kEps, 0.8);
const double kEps067 = std::pow(kEps, 0.67);

struct Sizes {
  int m, n, ncnln, njnln, nonln;
};

// The workspace words of a solve: the store's option words and the problem sizes.
struct Workspace {
  std::vector<int> iz = std::vector<int>(600, 0);
  std::vector<double> z = std::vector<double>(600, 0.0);
  int& i(int k) { return iz[k - 1]; }
  double& r(int k) { return z[k - 1]; }
};

Workspace workspace_for(const std::vector<std::string>& lines, const Sizes& s, int unit = -1) {
  LocalStore store(unit);
  for (const std::string& line : lines) {
    int inform = 0;
    process_option_line(line.data(), static_cast<int>(line.size()), false, store.lw, store.iw,
                        store.rw, "SPKEYF", inform);
  }
  Workspace w;
  std::copy(store.iw, store.iw + 500, w.iz.begin());
  std::copy(store.rw, store.rw + 500, w.z.begin());
  w.i(ws::kRows) = s.m;
  w.i(ws::kColumns) = s.n;
  w.i(ws::kNonlinearConstraints) = s.ncnln;
  w.i(ws::kNonlinearJacobianVars) = s.njnln;
  w.i(ws::kNonlinearObjectiveVars) = s.nonln;
  w.i(ws::kIntLength) = 600;
  w.i(ws::kRealLength) = 600;
  return w;
}

struct IntegerWord {
  int word;
  int value;
};
struct RealWord {
  int word;
  double value;
};

struct CheckCase {
  const char* name;
  std::vector<std::string> lines;
  Sizes sizes;
  std::vector<IntegerWord> ints;
  std::vector<RealWord> reals;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class CheckOptionsTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckOptionsTest, ResolvesTheWords) {
  const CheckCase& c = GetParam();
  Workspace w = workspace_for(c.lines, c.sizes);
  check_options(w.iz.data(), w.z.data());
  for (const IntegerWord& e : c.ints) EXPECT_EQ(w.i(e.word), e.value) << "integer " << e.word;
  for (const RealWord& e : c.reals) EXPECT_DOUBLE_EQ(w.r(e.word), e.value) << "real " << e.word;
}

constexpr int kNever = sparse_option::kNever;

INSTANTIATE_TEST_SUITE_P(
    Rules,
    CheckOptionsTest,
    ::testing::Values(
        CheckCase{"LinearDefaults",
                  {},
                  {5, 10, 0, 0, 0},
                  {{iw::kCrashOption, 3},
                   {iw::kScaleOption, 2},
                   {iw::kPartialPrice, 10},
                   {iw::kFactorizationFrequency, 100},
                   {iw::kSuperbasicsLimit, 1},
                   {iw::kReducedHessianDim, 1},
                   {iw::kHessianStorage, 2},
                   {iw::kHessianUpdates, kNever},
                   {iw::kHessianResetCount, kNever},
                   {iw::kMajorPrintLevel, 0},
                   {iw::kMonitoringUnit, -1},
                   {iw::kReserved73, 2},
                   {iw::kReserved51, 1},
                   {ws::kNonlinearVars, 0},
                   {iw::kStopObjectiveCheck, 0},
                   {iw::kStartObjectiveCheck, 1},
                   {iw::kLuPrintLevel, -1}},
                  {{rw::kLuFactorTol, 100.0},
                   {rw::kLuUpdateTol, 10.0},
                   {rw::kLuFactorTolInUse, 100.0},
                   {rw::kLuUpdateTolInUse, 10.0},
                   {rw::kElasticWeight, 1.0},
                   {rw::kMinorOptimalityTol, kSqrtEps},
                   {rw::kOptimalityTolInForce, kSqrtEps},
                   {rw::kPivotTol, kEps067},
                   {rw::kNotSupplied, -111111.0}}},
        CheckCase{"NonlinearLimitedMemory",
                  {},
                  {10, 200, 5, 80, 10},
                  {{iw::kHessianStorage, 1},
                   {iw::kHessianUpdates, 20},
                   {iw::kSuperbasicsLimit, 81},
                   {iw::kReducedHessianDim, 81},
                   {iw::kCrashOption, 0},
                   {iw::kScaleOption, 1},
                   {iw::kPartialPrice, 1},
                   {iw::kFactorizationFrequency, 50},
                   {ws::kNonlinearVars, 80},
                   {iw::kStopConstraintCheck, 80},
                   {iw::kStopObjectiveCheck, 10}},
                  {{rw::kLuFactorTol, 5.0}, {rw::kLuUpdateTol, 5.0}, {rw::kElasticWeight, 100.0}}},
        CheckCase{"FullMemoryBelowSeventySix",
                  {},
                  {10, 200, 5, 75, 10},
                  {{iw::kHessianStorage, 2}, {iw::kHessianUpdates, kNever}},
                  {}},
        CheckCase{"SuperbasicsLimitCutToN",
                  {"Superbasics Limit = 300"},
                  {5, 50, 2, 3, 3},
                  {{iw::kSuperbasicsLimit, 50},
                   {iw::kReducedHessianDim, 50},
                   {iw::kSuperbasicsRequested, 300}},
                  {}},
        CheckCase{"SuperbasicsCappedAt500",
                  {},
                  {5, 2000, 2, 900, 3},
                  {{iw::kSuperbasicsLimit, 500}, {iw::kReducedHessianDim, 500}},
                  {}},
        CheckCase{"BadRealsReplaced",
                  {"Function Precision = 2.0", "Crash Tolerance = 1.0", "Scale Tolerance 1.0",
                   "Linesearch Tolerance -1", "Minor feasibility tolerance 1e-30",
                   "Infinite Bound Size 0", "Unbounded Step Size 0", "Major Step Limit -3",
                   "Violation Limit 0", "Pivot Tolerance 0"},
                  {5, 10, 0, 0, 0},
                  {},
                  {{rw::kFunctionPrecision, kEps08},
                   {rw::kCrashTol, 0.1},
                   {rw::kScaleTol, 0.9},
                   {rw::kLinesearchTol, 0.9},
                   {rw::kMinorFeasibilityTol, kSqrtEps},
                   {rw::kInfiniteBoundSize, 1e20},
                   {rw::kUnboundedStepSize, 1e20},
                   {rw::kMajorStepLimit, 2.0},
                   {rw::kViolationLimit, 10.0},
                   {rw::kPivotTol, kEps067}}},
        CheckCase{"DifferenceIntervalsFollowThePrecision",
                  {"Function Precision 1e-8", "Forward Difference Interval 0",
                   "Central Difference Interval -1"},
                  {5, 10, 0, 0, 0},
                  {},
                  {{rw::kForwardDifferenceInterval, 1e-4},
                   {rw::kCentralDifferenceInterval, std::cbrt(1e-8)}}},
        CheckCase{"CheckFrequencyZeroMeansNever",
                  {"Check Frequency = 0", "Expand Frequency 0", "Hessian Frequency 0"},
                  {5, 10, 0, 0, 0},
                  {{iw::kCheckFrequency, kNever},
                   {iw::kExpandFrequency, kNever},
                   {iw::kHessianFrequency, kNever}},
                  {}},
        CheckCase{"NegativeCheckFrequencyIsDefault",
                  {"Check Frequency = -5", "Expand Frequency -2"},
                  {5, 10, 0, 0, 0},
                  {{iw::kCheckFrequency, 60}, {iw::kExpandFrequency, 10000}},
                  {}},
        CheckCase{"MonitoringKeptAtPrintLevelFive",
                  {"Monitoring File 9", "Print Level 5"},
                  {5, 10, 0, 0, 0},
                  {{iw::kMonitoringUnit, 9}, {iw::kLuPrintUnit, 9}},
                  {}},
        CheckCase{"MonitoringDroppedAtPrintLevelFour",
                  {"Monitoring File 9", "Print Level 4"},
                  {5, 10, 0, 0, 0},
                  {{iw::kMonitoringUnit, -1}},
                  {}},
        CheckCase{"MonitoringKeptByMinorPrintLevel",
                  {"Monitoring File 9", "Print Level 0", "Minor Print Level 1"},
                  {5, 10, 0, 0, 0},
                  {{iw::kMonitoringUnit, 9}},
                  {}},
        CheckCase{"NonlinearRowsWithoutJacobianVariablesAreLinear",
                  {},
                  {5, 10, 3, 0, 0},
                  {{ws::kNonlinearConstraints, 0}, {iw::kCrashOption, 3}},
                  {}},
        CheckCase{"ConstraintCheckColumnsReset",
                  {"Start Constraints Check At Column = 7"},
                  {5, 10, 2, 5, 0},
                  {{iw::kStartConstraintCheck, 1}, {iw::kStopConstraintCheck, 5}},
                  {}},
        CheckCase{"ObjectiveCheckColumnsKept",
                  {"Start Objective Check At Column 2", "Stop Objective Check At Column 3"},
                  {5, 10, 0, 0, 4},
                  {{iw::kStartObjectiveCheck, 2}, {iw::kStopObjectiveCheck, 3}},
                  {}},
        CheckCase{"LevelsOutsideTheirRanges",
                  {"Derivative Level 7", "Verify Level -2", "Iteration Limit 0",
                   "Major Iteration Limit -1", "Minor Iteration Limit -1", "Crash Option 5",
                   "Scale Option 3", "Feasible Exit", "Elastic Weight -1", "Major Print Level 1e9"},
                  {5, 10, 0, 0, 0},
                  {{iw::kDerivativeLevel, 3},
                   {iw::kVerifyLevel, 0},
                   {iw::kIterationLimit, 10000},
                   {iw::kMajorIterationLimit, 1000},
                   {iw::kMinorIterationLimit, 500},
                   {iw::kCrashOption, 3},
                   {iw::kScaleOption, 2},
                   {iw::kFeasibleExit, 1},
                   {iw::kMajorPrintLevel, 10}},
                  {{rw::kElasticWeight, 1.0}}}));

// The listing of a nonlinear problem with a reduced superbasics limit and verification on.
TEST(OptionListing, PrintsEveryBlockWithItsLabelsAndValues) {
  constexpr int kUnit = 72;
  UnitCapture out(kUnit);
  Workspace w = workspace_for({"Print Level 1", "Superbasics Limit 300", "Verify Level 1",
                               "Maximize", "Hessian Updates 5", "Hessian Limited"},
                              {4, 120, 2, 3, 2}, kUnit);
  check_options(w.iz.data(), w.z.data());
  print_options(w.iz.data(), w.z.data(), 'w', "SPNLPF", 1234, 56789);
  const std::vector<std::string> want = {
      " ",
      " *** SPNLPF",
      " ",
      " Itn      0 -- Superbasics limit reduced from           300 to            120.",
      " ",
      " Parameters",
      " ----------",
      " ",
      " Frequencies.",
      " Check frequency.........        60       Expand frequency.......     10000",
      " Factorization frequency.        50",
      " ",
      " QP subproblems.",
      " Scale tolerance.........  9.00E-01       Minor feasibility tol..  1.05E-08",
      " Scale option............         1       Minor optimality tol...  1.05E-08",
      " Partial price...........         1       Crash tolerance........  1.00E-01",
      " Pivot tolerance.........  2.04E-11       Minor print level......         0",
      " Crash option............         0       Elastic weight.........  1.00E+02",
      " ",
      " The SQP method.",
      " Maximize................",
      " Nonlinear objective vars         2       Major optimality tol...  1.05E-08",
      " Function precision......  1.72E-13       Unbounded step size....  1.00E+20",
      " Superbasics limit.......       120       Forward difference int.  4.15E-07",
      " Unbounded objective.....  1.00E+15       Central difference int.  5.56E-05",
      " Major step limit........  2.00E+00       Derivative linesearch..",
      " Derivative level........         3       Major iteration limit..      1000",
      " Linesearch tolerance....  9.00E-01       Verify level...........         1",
      " Minor iteration limit...       500       Major print level......         1",
      " Infinite bound size.....  1.00E+20       Iteration limit........     10000",
      " ",
      " Hessian approximation.",
      " Hessian limited memory..                 Hessian updates........         5",
      " Hessian frequency.......  99999999",
      " ",
      " Nonlinear constraints.",
      " Nonlinear constraints...         2       Major feasibility tol..  1.05E-08",
      " Nonlinear Jacobian vars.         3       Violation limit........  1.00E+01",
      " Start con check at col..         1       Stop con check at col..         3",
      " ",
      " Miscellaneous.",
      " Variables...............       120       Linear constraints.....         2",
      " Nonlinear variables.....         3       Linear variables.......       117",
      " LU factor tolerance.....  5.00E+00       LU singularity tol.....  2.04E-11",
      " LU update tolerance.....  5.00E+00       LU density tolerance...  6.00E-01",
      " eps (machine precision).  1.11E-16       Monitoring file........        -1",
      " WARM start..............                 Infeasible exit........",
      " Start obj check at col..         1       Stop obj check at col..         2",
      " ",
      " Workspace provided is                 IZ(     600),  Z(     600).",
      " To start solving the problem we need  IZ(    1234),  Z(   56789).",
  };
  EXPECT_EQ(out.lines(), want);
}

TEST(OptionListing, LinearProblemAndPrintLevelZero) {
  constexpr int kUnit = 73;
  UnitCapture out(kUnit);
  Workspace quiet = workspace_for({}, {3, 4, 0, 0, 0}, kUnit);
  check_options(quiet.iz.data(), quiet.z.data());
  print_options(quiet.iz.data(), quiet.z.data(), 'C', "SPNLPF", 1, 1);
  EXPECT_TRUE(out.lines().empty());

  Workspace w =
      workspace_for({"Print Level 1", "Feasible Point", "Nonderivative"}, {3, 4, 0, 0, 0}, kUnit);
  check_options(w.iz.data(), w.z.data());
  print_options(w.iz.data(), w.z.data(), 'c', "SPNLPF", 1, 1);
  const std::vector<std::string> lines = out.lines();
  auto has = [&](const std::string& s) {
    return std::find(lines.begin(), lines.end(), s) != lines.end();
  };
  EXPECT_TRUE(has(" Feasible point only....."));
  EXPECT_TRUE(has(" Major step limit........  2.00E+00       Nonderivative linesearch"));
  EXPECT_TRUE(has(" Nonlinear constraints...         0       Nonlinear Jacobian vars         0"));
  EXPECT_TRUE(has(" COLD start..............                 Infeasible exit........"));
  EXPECT_FALSE(has(" Hessian approximation."));
  EXPECT_FALSE(has(" Parameters") && has(" Itn      0 -- Superbasics limit reduced from"));
}

}  // namespace
}  // namespace zun

namespace zun {
namespace {

TEST(OptionTasks, DispatchOnTheFirstLetter) {
  Workspace checked = workspace_for({}, {3, 4, 0, 0, 0});
  Workspace dispatched = checked;
  check_options(checked.iz.data(), checked.z.data());
  run_option_task("Check optional parameters", 'C', "SPNLPF", dispatched.iz.data(), 600,
                  dispatched.z.data(), 600, 0, 0, nullptr);
  EXPECT_EQ(dispatched.iz, checked.iz);
  Workspace untouched = dispatched;
  run_option_task("Xray", 'C', "SPNLPF", dispatched.iz.data(), 600, dispatched.z.data(), 600, 0, 0,
                  nullptr);
  EXPECT_EQ(dispatched.iz, untouched.iz);

  // "Initialize" stores the defaults only while the defaults-not-set word is true.
  LocalStore store;
  store.i(iw::kMajorIterationLimit) = 7;
  run_option_task("Initialize", 'C', "SPNLPF", store.iw, 500, store.rw, 500, 0, 0, store.lw);
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 7);
}

}  // namespace
}  // namespace zun
