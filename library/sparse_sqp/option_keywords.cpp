// The sparse solver's keyword tables and keyword actions.
#include "library/sparse_sqp/option_keywords.h"

#include <array>
#include <string>

#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
using A = OptionAction;

constexpr std::array<std::string_view, 37> kFirst = {
    "CENTRAL",  "CHECK",         "CRASH",       "DEFAULTS",    "DERIVATIVE", "ELASTIC",
    "EXPAND",   "FACTORIZATION", "FEASIBILITY", "FEASIBLE",    "FORWARD",    "FUNCTION",
    "HESSIAN",  "INFEASIBLE",    "INFINITE",    "ITERATION",   "LINESEARCH", "LIST",
    "LU",       "MAJOR",         "MAXIMIZE",    "MINIMIZE",    "MINOR",      "MONITORING",
    "NOLIST",   "NONDERIVATIVE", "OPTIMALITY",  "PARTIAL",     "PIVOT",      "PRINT",
    "SCALE",    "START",         "STOP",        "SUPERBASICS", "UNBOUNDED",  "VERIFY",
    "VIOLATION"};

constexpr std::array<std::string_view, 20> kSecond = {
    "CONSTRAINTS", "DENSITY", "EXIT",        "FACTOR",     "FEASIBILITY", "FREQUENCY",  "FULL",
    "ITERATION",   "LEVEL",   "LIMITED",     "LINESEARCH", "OBJECTIVE",   "OPTIMALITY", "OPTION",
    "POINT",       "PRINT",   "SINGULARITY", "STEP",       "TOLERANCE",   "UPDATES"};

constexpr KeywordAction kActions[] = {
    {"CENTRAL", "", A::kRealValue, rw::kCentralDifferenceInterval},
    {"CHECK", "", A::kIntegerValue, iw::kCheckFrequency},
    {"CRASH", "OPTION", A::kIntegerValue, iw::kCrashOption},
    {"CRASH", "TOLERANCE", A::kRealValue, rw::kCrashTol},
    {"DEFAULTS", "", A::kDefaults},
    {"DERIVATIVE", "LEVEL", A::kIntegerValue, iw::kDerivativeLevel},
    {"DERIVATIVE", "LINESEARCH", A::kIntegerConstant, iw::kDerivativeLinesearch, 0, 1},
    {"ELASTIC", "", A::kRealValue, rw::kElasticWeight},
    {"EXPAND", "", A::kIntegerValue, iw::kExpandFrequency},
    {"FACTORIZATION", "", A::kIntegerValue, iw::kFactorizationFrequency},
    {"FEASIBILITY", "TOLERANCE", A::kRealValue, rw::kMinorFeasibilityTol},
    {"FEASIBLE", "POINT", A::kIntegerConstant, iw::kObjectiveKind, 0, 0},
    {"FEASIBLE", "EXIT", A::kIntegerConstant, iw::kFeasibleExit, 0, 1},
    {"FORWARD", "", A::kRealValue, rw::kForwardDifferenceInterval},
    {"FUNCTION", "", A::kRealValue, rw::kFunctionPrecision},
    {"HESSIAN", "FREQUENCY", A::kIntegerValue, iw::kHessianFrequency},
    {"HESSIAN", "LIMITED", A::kIntegerConstant, iw::kHessianStorage, 0, 1},
    {"HESSIAN", "FULL", A::kIntegerConstant, iw::kHessianStorage, 0, 2},
    {"HESSIAN", "UPDATES", A::kIntegerValue, iw::kHessianUpdates},
    {"INFEASIBLE", "", A::kIntegerConstant, iw::kFeasibleExit, 0, 0},
    {"INFINITE", "", A::kRealValue, rw::kInfiniteBoundSize},
    {"ITERATION", "", A::kIntegerValue, iw::kIterationLimit},
    {"LINESEARCH", "", A::kRealValue, rw::kLinesearchTol},
    {"LIST", "", A::kNone},
    {"LU", "FACTOR", A::kRealValue, rw::kLuFactorTol},
    {"LU", "UPDATES", A::kRealValue, rw::kLuUpdateTol},
    {"LU", "DENSITY", A::kRealValue, rw::kLuDensityTol},
    {"LU", "SINGULARITY", A::kRealValue, rw::kLuAbsSingularityTol, rw::kLuRelSingularityTol},
    {"MAJOR", "FEASIBILITY", A::kRealValue, rw::kMajorFeasibilityTol},
    {"MAJOR", "ITERATION", A::kIntegerValue, iw::kMajorIterationLimit},
    {"MAJOR", "OPTIMALITY", A::kRealValue, rw::kMajorOptimalityTol},
    {"MAJOR", "PRINT", A::kIntegerValue, iw::kMajorPrintLevel},
    {"MAJOR", "STEP", A::kRealValue, rw::kMajorStepLimit},
    {"MAXIMIZE", "", A::kIntegerConstant, iw::kObjectiveKind, 0, -1},
    {"MINIMIZE", "", A::kIntegerConstant, iw::kObjectiveKind, 0, 1},
    {"MINOR", "ITERATION", A::kIntegerValue, iw::kMinorIterationLimit},
    {"MINOR", "FEASIBILITY", A::kRealValue, rw::kMinorFeasibilityTol},
    {"MINOR", "OPTIMALITY", A::kRealValue, rw::kMinorOptimalityTol},
    {"MINOR", "PRINT", A::kIntegerValue, iw::kMinorPrintLevel},
    {"MONITORING", "", A::kIntegerValue, iw::kMonitoringUnit},
    {"NOLIST", "", A::kNone},
    {"NONDERIVATIVE", "", A::kIntegerConstant, iw::kDerivativeLinesearch, 0, 0},
    {"OPTIMALITY", "", A::kRealValue, rw::kMajorOptimalityTol},
    {"PARTIAL", "", A::kIntegerValue, iw::kPartialPrice},
    {"PIVOT", "", A::kRealValue, rw::kPivotTol},
    {"PRINT", "", A::kIntegerValue, iw::kMajorPrintLevel},
    {"SCALE", "OPTION", A::kIntegerValue, iw::kScaleOption},
    {"SCALE", "TOLERANCE", A::kRealValue, rw::kScaleTol},
    {"START", "OBJECTIVE", A::kIntegerValue, iw::kStartObjectiveCheck},
    {"START", "CONSTRAINTS", A::kIntegerValue, iw::kStartConstraintCheck},
    {"STOP", "OBJECTIVE", A::kIntegerValue, iw::kStopObjectiveCheck},
    {"STOP", "CONSTRAINTS", A::kIntegerValue, iw::kStopConstraintCheck},
    {"SUPERBASICS", "", A::kIntegerValue, iw::kSuperbasicsLimit, iw::kSuperbasicsRequested},
    {"UNBOUNDED", "OBJECTIVE", A::kRealValue, rw::kUnboundedObjective},
    {"UNBOUNDED", "STEP", A::kRealValue, rw::kUnboundedStepSize},
    {"VERIFY", "", A::kIntegerValue, iw::kVerifyLevel},
    {"VIOLATION", "", A::kRealValue, rw::kViolationLimit},
};

template <std::size_t N>
std::string pack(const std::array<std::string_view, N>& words) {
  std::string table(N * kKeywordLength, ' ');
  for (std::size_t i = 0; i < N; ++i) table.replace(i * kKeywordLength, words[i].size(), words[i]);
  return table;
}

}  // namespace

const char* first_keyword_table() {
  static const std::string table = pack(kFirst);
  return table.data();
}
int first_keyword_count() { return static_cast<int>(kFirst.size()); }

const char* second_keyword_table() {
  static const std::string table = pack(kSecond);
  return table.data();
}
int second_keyword_count() { return static_cast<int>(kSecond.size()); }

std::span<const std::string_view> first_keywords() { return kFirst; }
std::span<const std::string_view> second_keywords() { return kSecond; }
std::span<const KeywordAction> keyword_actions() { return kActions; }

}  // namespace zun
