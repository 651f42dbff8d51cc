// Option defaults, the "Initialize" task and the "Check optional parameters" rules.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "library/support/one_based.h"
#include "library/sparse_sqp/option_reader.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/machine.h"
#include "library/support/option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
using sparse_option::kNever;

struct IntegerDefault {
  int word;
  int value;
};

constexpr IntegerDefault kIntegerDefaults[] = {
    {ws::kLastRealOptionWord, 500},
    {ws::kLastIntOptionWord, 500},
    {iw::kMonitoringUnit, -1},
    {ws::kNonlinearConstraints, 0},
    {ws::kNonlinearJacobianVars, 0},
    {ws::kNonlinearObjectiveVars, 0},
    {ws::kNonlinearVars, 0},
    {ws::kProblemSize26, 0},
    {ws::kProblemSize27, 0},
    {iw::kReserved51, 1},
    {iw::kHessianStorage, kUnsetInteger},
    {iw::kReducedHessianDim, kUnsetInteger},
    {iw::kSuperbasicsLimit, kUnsetInteger},
    {iw::kCheckFrequency, 60},
    {iw::kFactorizationFrequency, kUnsetInteger},
    {iw::kFrequency62, 100},
    {iw::kDetailedLogFrequency, 1},
    {iw::kShortLogFrequency, 1},
    {iw::kExpandFrequency, 10000},
    {iw::kHessianUpdates, kUnsetInteger},
    {iw::kHessianFrequency, kNever},
    {iw::kHessianResetCount, kNever},
    {iw::kSkippedUpdatesAllowed, 2},
    {iw::kDerivativeLevel, 3},
    {iw::kFeasibleExit, 0},
    {iw::kReserved73, 2},
    {iw::kScaleOption, kUnsetInteger},
    {iw::kDerivativeLinesearch, 1},
    {iw::kVerifyLevel, 0},
    {iw::kReserved82, kNever},
    {iw::kReserved84, kNever},
    {iw::kReserved83, 0},
    {iw::kObjectiveKind, 1},
    {iw::kCrashOption, kUnsetInteger},
    {iw::kIterationLimit, 10000},
    {iw::kMajorIterationLimit, 1000},
    {iw::kMinorIterationLimit, 500},
    {iw::kMajorPrintLevel, 0},
    {iw::kMinorPrintLevel, 0},
    {iw::kPartialPrice, kUnsetInteger},
    {iw::kStartObjectiveCheck, 1},
    {iw::kStopObjectiveCheck, 0},
    {iw::kStartConstraintCheck, 1},
    {iw::kStopConstraintCheck, 0},
    {iw::kReserved106, 10},
    {iw::kReserved107, 0},
    {iw::kReserved130, 0},
    {iw::kSolutionListing, 0},
    {ws::kRows, 0},
    {ws::kColumns, 0},
    {ws::kElements, 0},
    {iw::kLuPrintLevel, -1},
    {iw::kLuMaxCol, 5},
};

// A real default: a constant, or a power of eps taken from a machine-constant word.
struct RealDefault {
  int word;
  double value;
  int machine_word = 0;  // nonzero: the value is this machine-constant word
};

constexpr RealDefault kRealDefaults[] = {
    {rw::kOptimalityCompanion, 0.0, rw::kSqrtEps},
    {rw::kMinorOptimalityTol, 0.0, rw::kSqrtEps},
    {rw::kMajorOptimalityTol, 0.0, rw::kSqrtEps},
    {rw::kMinorFeasibilityTol, 0.0, rw::kSqrtEps},
    {rw::kMajorFeasibilityTol, 0.0, rw::kSqrtEps},
    {rw::kPivotTol, 0.0, rw::kEpsPow067},
    {rw::kCrashTol, 0.1},
    {rw::kReserved65, 0.0, rw::kEpsPow025},
    {rw::kLuFactorTol, kUnsetReal},
    {rw::kLuUpdateTol, kUnsetReal},
    {rw::kInfiniteBoundSize, 1e20},
    {rw::kUnboundedObjective, 1e15},
    {rw::kUnboundedStepSize, 1e20},
    {rw::kFunctionPrecision, 0.0, rw::kEpsPow08},
    {rw::kMajorStepLimit, 2.0},
    {rw::kViolationLimit, 10.0},
    {rw::kLinesearchTol, 0.9},
    {rw::kElasticWeight, kUnsetReal},
    {rw::kInitialPenalty, 0.0},
    {rw::kScaleTol, 0.9},
    {rw::kLuFactorTolInUse, 5.0},
    {rw::kLuUpdateTolInUse, 5.0},
    {rw::kLuDropTol, 0.0, rw::kEpsPow08},
    {rw::kLuAbsSingularityTol, 0.0, rw::kEpsPow067},
    {rw::kLuRelSingularityTol, 0.0, rw::kEpsPow067},
    {rw::kLuGrowthSpace, 3.0},
    {rw::kLuDensity1, 0.3},
    {rw::kLuDensityTol, 0.6},
    {rw::kNotSupplied, sparse_option::kNotSuppliedValue},
    {rw::kOptimalityTolInForce, 0.0, rw::kSqrtEps},
};

void store_table_defaults(Words<int> i, Words<double> r) {
  for (const IntegerDefault& d : kIntegerDefaults) i(d.word) = d.value;
  for (int k = iw::kReservedBlockFirst; k <= iw::kReservedBlockLast; ++k) i(k) = 0;
  for (const RealDefault& d : kRealDefaults) {
    r(d.word) = d.machine_word != 0 ? r(d.machine_word) : d.value;
  }
  const double eps = r(rw::kEps);
  r(rw::kReserved61) = std::max(r(rw::kEpsPow033), 1e-4);
  r(rw::kForwardDifferenceInterval) = std::sqrt(r(rw::kEpsPow08));
  r(rw::kCentralDifferenceInterval) = std::cbrt(r(rw::kEpsPow08));
  r(rw::kConditionLimit) = std::max(1.0 / (5000.0 * eps), 1e6);
}

// Frequencies and counts: steps that resolve unset words and mean "never" by 0 or less.
void check_frequencies(Words<int> i, bool nonlinear) {
  if (i(iw::kCheckFrequency) < 0) i(iw::kCheckFrequency) = 60;
  if (i(iw::kFactorizationFrequency) < 1) i(iw::kFactorizationFrequency) = nonlinear ? 50 : 100;
  if (i(iw::kExpandFrequency) < 0) i(iw::kExpandFrequency) = 10000;
  if (i(iw::kDetailedLogFrequency) == kUnsetInteger) i(iw::kDetailedLogFrequency) = 1;
  if (i(iw::kShortLogFrequency) == kUnsetInteger) i(iw::kShortLogFrequency) = 1;
  if (i(iw::kFrequency62) == kUnsetInteger) i(iw::kFrequency62) = 100;
  if (i(iw::kHessianResetCount) == kUnsetInteger) i(iw::kHessianResetCount) = 0;

  if (i(iw::kCheckFrequency) == 0) i(iw::kCheckFrequency) = kNever;
  if (i(iw::kHessianResetCount) < 1) i(iw::kHessianResetCount) = kNever;
  if (i(iw::kDetailedLogFrequency) < 1) i(iw::kDetailedLogFrequency) = kNever;
  if (i(iw::kFrequency62) < 1) i(iw::kFrequency62) = kNever;
  if (i(iw::kShortLogFrequency) < 1) i(iw::kShortLogFrequency) = kNever;
  if (i(iw::kExpandFrequency) == 0) i(iw::kExpandFrequency) = kNever;
  if (i(iw::kHessianFrequency) < 1) i(iw::kHessianFrequency) = kNever;
}

void check_hessian_and_levels(Words<int> i, bool nonlinear) {
  int& crash = i(iw::kCrashOption);
  if (crash < 0) crash = nonlinear ? 0 : 3;
  if (crash > 2) crash = 3;

  if (i(iw::kHessianStorage) < 0) i(iw::kHessianStorage) = i(ws::kNonlinearVars) < 76 ? 2 : 1;
  if (i(iw::kHessianStorage) == 2) i(iw::kHessianUpdates) = i(iw::kHessianFrequency);
  if (i(iw::kHessianUpdates) < 0) i(iw::kHessianUpdates) = 20;

  if (i(iw::kObjectiveKind) == kUnsetInteger) i(iw::kObjectiveKind) = 1;
  if (i(iw::kMajorPrintLevel) == kUnsetInteger) i(iw::kMajorPrintLevel) = 10;
  if (i(iw::kMinorPrintLevel) == kUnsetInteger) i(iw::kMinorPrintLevel) = 0;
  if (i(iw::kMonitoringUnit) < 0 || (i(iw::kMajorPrintLevel) < 5 && i(iw::kMinorPrintLevel) < 1)) {
    i(iw::kMonitoringUnit) = -1;
  }

  if (i(ws::kLastRealOptionWord) < 501) i(ws::kLastRealOptionWord) = 500;
  if (i(ws::kLastIntOptionWord) < 501) i(ws::kLastIntOptionWord) = 500;
  if (i(iw::kFeasibleExit) < 0 || i(iw::kFeasibleExit) > 1) i(iw::kFeasibleExit) = 0;
  i(iw::kReserved73) = 2;
  if (i(iw::kDerivativeLinesearch) < 0) i(iw::kDerivativeLinesearch) = 1;
  i(iw::kReserved51) = 1;
}

// The superbasics limit s (word 57) and its companion r (word 56).
void check_superbasics(Words<int> i) {
  const int nlv = i(ws::kNonlinearVars);
  const int n = i(ws::kColumns);
  int r = i(iw::kReducedHessianDim);
  int s = i(iw::kSuperbasicsLimit);
  if (nlv >= 1) {
    if (r >= 1 && s < 0) s = r;
    if (s < 1) {
      if (s < 0) s = std::min(nlv + 1, 500);
      if (r < 0) r = s;
    } else if (r < 0) {
      r = s;
    }
  }
  if (s < 1) s = 1;
  r = std::max(r, 0);
  r = std::max(r, s);
  i(iw::kSuperbasicsLimit) = std::max(std::min(s, n), 1);
  i(iw::kReducedHessianDim) = std::max(std::min(r, n), 1);
}

void check_tolerances(Words<int> i, Words<double> z, bool nonlinear) {
  const double eps = z(rw::kEps);
  const double sqrt_eps = z(rw::kSqrtEps);
  if (z(rw::kMinorOptimalityTol) <= 0) z(rw::kMinorOptimalityTol) = sqrt_eps;
  if (z(rw::kMajorOptimalityTol) <= 0) z(rw::kMajorOptimalityTol) = sqrt_eps;
  if (z(rw::kOptimalityCompanion) <= 0) z(rw::kOptimalityCompanion) = z(rw::kMinorOptimalityTol);
  if (z(rw::kInfiniteBoundSize) <= 0) z(rw::kInfiniteBoundSize) = 1e20;
  if (z(rw::kUnboundedObjective) <= 0) z(rw::kUnboundedObjective) = 1e15;
  if (z(rw::kUnboundedStepSize) <= 0) {
    z(rw::kUnboundedStepSize) = std::max(z(rw::kInfiniteBoundSize), 1e20);
  }
  double& precision = z(rw::kFunctionPrecision);
  if (precision < eps || precision >= 1) precision = z(rw::kEpsPow08);
  if (z(rw::kConditionLimit) <= 0) {
    z(rw::kConditionLimit) = std::max(1.0 / (100.0 * eps * i(iw::kSuperbasicsLimit)), 1e6);
  }
  if (z(rw::kMajorStepLimit) <= 0) z(rw::kMajorStepLimit) = 2.0;
  if (z(rw::kViolationLimit) <= 0) z(rw::kViolationLimit) = 10.0;
  if (z(rw::kInitialPenalty) < 0) z(rw::kInitialPenalty) = 0.0;
  if (z(rw::kReserved65) <= 0) z(rw::kReserved65) = z(rw::kEpsPow025);
  if (z(rw::kCrashTol) < 0 || z(rw::kCrashTol) >= 1) z(rw::kCrashTol) = 0.1;
  if (z(rw::kLinesearchTol) < 0 || z(rw::kLinesearchTol) >= 1) z(rw::kLinesearchTol) = 0.9;
  if (z(rw::kForwardDifferenceInterval) <= 0) {
    z(rw::kForwardDifferenceInterval) = std::sqrt(precision);
  }
  if (z(rw::kCentralDifferenceInterval) <= 0) {
    z(rw::kCentralDifferenceInterval) = std::cbrt(precision);
  }

  i(iw::kLuPrintUnit) = i(iw::kMonitoringUnit) >= 0 ? i(iw::kMonitoringUnit) : i(iw::kPrintUnit);
  i(iw::kLuPrintLevel) = -1;
  if (z(rw::kLuFactorTol) < 1) z(rw::kLuFactorTol) = nonlinear ? 5.0 : 100.0;
  if (z(rw::kLuUpdateTol) < 1) z(rw::kLuUpdateTol) = nonlinear ? 5.0 : 10.0;
  z(rw::kLuFactorTolInUse) = z(rw::kLuFactorTol);
  z(rw::kLuUpdateTolInUse) = z(rw::kLuUpdateTol);
  if (z(rw::kLuAbsSingularityTol) <= 0) z(rw::kLuAbsSingularityTol) = z(rw::kEpsPow067);
  if (z(rw::kLuRelSingularityTol) <= 0) z(rw::kLuRelSingularityTol) = z(rw::kEpsPow067);
  if (z(rw::kLuDensityTol) < 0) z(rw::kLuDensityTol) = 0.6;

  if (z(rw::kMinorFeasibilityTol) <= eps) z(rw::kMinorFeasibilityTol) = sqrt_eps;
  if (z(rw::kMajorFeasibilityTol) <= eps) z(rw::kMajorFeasibilityTol) = sqrt_eps;
  if (z(rw::kScaleTol) <= 0 || z(rw::kScaleTol) >= 1) z(rw::kScaleTol) = 0.9;
  if (z(rw::kPivotTol) <= 0) z(rw::kPivotTol) = z(rw::kEpsPow067);
  if (z(rw::kElasticWeight) < 0) z(rw::kElasticWeight) = nonlinear ? 100.0 : 1.0;
}

// Column ranges of the derivative checks and the last integer rules.
void check_derivative_options(Words<int> i, Words<double> z) {
  const int nonln = i(ws::kNonlinearObjectiveVars);
  const int njnln = i(ws::kNonlinearJacobianVars);
  int& stop_obj = i(iw::kStopObjectiveCheck);
  int& start_obj = i(iw::kStartObjectiveCheck);
  int& stop_con = i(iw::kStopConstraintCheck);
  int& start_con = i(iw::kStartConstraintCheck);
  if (stop_obj < 1 || stop_obj > nonln) stop_obj = nonln;
  if (start_obj < 1 || start_obj > std::min(nonln, stop_obj)) start_obj = 1;
  if (stop_con < 1 || stop_con > njnln) stop_con = njnln;
  if (start_con < 1 || start_con > std::min(njnln, stop_con)) start_con = 1;

  if (i(iw::kDerivativeLevel) < 0 || i(iw::kDerivativeLevel) > 3) i(iw::kDerivativeLevel) = 3;
  if (i(iw::kVerifyLevel) < -1 || i(iw::kVerifyLevel) > 3) i(iw::kVerifyLevel) = 0;
  if (i(iw::kIterationLimit) < 1) i(iw::kIterationLimit) = 10000;
  z(rw::kOptimalityTolInForce) = z(rw::kMinorOptimalityTol);
  if (i(iw::kMajorIterationLimit) < 0) i(iw::kMajorIterationLimit) = 1000;
  if (i(iw::kMinorIterationLimit) < 0) i(iw::kMinorIterationLimit) = 500;
}

}  // namespace

void store_option_defaults(int* iw_words, double* rw_words) {
  Words<int> i(iw_words);
  Words<double> r(rw_words);
  for (int k = sparse_option::kFirstResetWord; k <= sparse_option::kLastResetWord; ++k) {
    i(k) = kUnsetInteger;
    r(k) = kUnsetReal;
  }
  set_machine_constants(iw_words, nullptr, rw_words);
  store_table_defaults(i, r);
}

void initialize_options(Logical* lw, int* iw_words, int niw, double* rw_words, int nrw) {
  Words<Logical> logical(lw);
  Logical& not_set = logical(sparse_option::logical_word::kDefaultsNotSet);
  if (!is_true(not_set)) return;
  char line[kOptionLineLength];
  std::memset(line, ' ', sizeof(line));
  std::memcpy(line, "Defaults", 8);
  char key[kKeywordLength];
  int inform = 0;
  read_option_line(-1, line, key, iw_words, niw, rw_words, nrw, false,
                   logical(sparse_option::logical_word::kFirstDefaults), inform);
  not_set = kFalse;
}

void check_options(int* iz, double* z) {
  Words<int> i(iz);
  Words<double> r(z);
  r(rw::kNotSupplied) = sparse_option::kNotSuppliedValue;
  if (i(ws::kNonlinearConstraints) == 0) i(ws::kNonlinearJacobianVars) = 0;
  if (i(ws::kNonlinearConstraints) == 0 || i(ws::kNonlinearJacobianVars) == 0) {
    i(ws::kNonlinearConstraints) = 0;
  }
  i(ws::kNonlinearVars) = std::max(i(ws::kNonlinearJacobianVars), i(ws::kNonlinearObjectiveVars));
  const bool nonlinear = i(ws::kNonlinearConstraints) > 0;

  check_frequencies(i, nonlinear);
  check_hessian_and_levels(i, nonlinear);
  check_superbasics(i);
  if (i(iw::kScaleOption) < 0 || i(iw::kScaleOption) > 2) i(iw::kScaleOption) = nonlinear ? 1 : 2;
  if (i(iw::kPartialPrice) < 1) i(iw::kPartialPrice) = nonlinear ? 1 : 10;
  check_tolerances(i, r, nonlinear);
  check_derivative_options(i, r);
}

void run_option_task(std::string_view task,
                     char start,
                     std::string_view routine,
                     int* iw_words,
                     int niw,
                     double* rw_words,
                     int nrw,
                     int neediz,
                     int needz,
                     Logical* lw) {
  if (task.empty()) return;
  switch (task.front()) {
    case 'I':
      initialize_options(lw, iw_words, niw, rw_words, nrw);
      break;
    case 'C':
      check_options(iw_words, rw_words);
      break;
    case 'P':
      rw_words[sparse_option::real_word::kNotSupplied - 1] = sparse_option::kNotSuppliedValue;
      print_options(iw_words, rw_words, start, routine, neediz, needz);
      break;
    default:
      break;
  }
}

}  // namespace zun
