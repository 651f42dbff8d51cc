// Word map of the sparse solver's options.  Integer option word k and real option word k
// (1-based, k <= 500) live in the program's OptionStore and become IZ(k) and Z(k) of the
// sparse workspace at each solve.  The LU parameter block from word 151 on is the sparse LU's
// own map (library/sparse_lu/lu_words.h).
#pragma once

#include "library/sparse_lu/lu_words.h"
#include "library/support/machine.h"

namespace zun::sparse_option {

// Words 1..kOptionWordCount of each kind are copied from the store into the workspace.
constexpr int kOptionWordCount = 500;

// Logical words of the store.
namespace logical_word {
constexpr int kInitializeOnNextUse = 2;  // run "Initialize" before the next option line
constexpr int kListingState = 3;         // option lines are echoed and reported
constexpr int kDefaultsNotSet = 11;      // "Initialize" has not stored the defaults yet
constexpr int kFirstDefaults = 16;       // the first Defaults request clears all words
}  // namespace logical_word

namespace integer_word {
constexpr int kPrintUnit = machine_words::kAdvisoryUnit;  // 12
constexpr int kMonitoringUnit = 13;                       // Monitoring File, negative: none
constexpr int kReserved51 = 51;                           // set to 1 by Check
constexpr int kHessianStorage = 53;                       // 1 limited memory, 2 full memory
constexpr int kReducedHessianDim = 56;                    // r, companion of the superbasics limit
constexpr int kSuperbasicsLimit = 57;                     // s, Superbasics Limit in force
constexpr int kSuperbasicsRequested = 59;                 // Superbasics Limit as the user gave it
constexpr int kCheckFrequency = 60;
constexpr int kFactorizationFrequency = 61;
constexpr int kFrequency62 = 62;           // a frequency without keyword (default 100)
constexpr int kDetailedLogFrequency = 63;  // minor log: detailed-line frequency
constexpr int kShortLogFrequency = 64;     // minor log: short-line frequency
constexpr int kExpandFrequency = 65;
constexpr int kHessianUpdates = 66;
constexpr int kHessianFrequency = 67;
constexpr int kHessianResetCount = 68;  // one-time Hessian reset count
constexpr int kSkippedUpdatesAllowed = 69;
constexpr int kDerivativeLevel = 71;
constexpr int kFeasibleExit = 72;  // 1 Feasible Exit, 0 Infeasible Exit
constexpr int kReserved73 = 73;    // set to 2 by Check
constexpr int kScaleOption = 75;
constexpr int kDerivativeLinesearch = 76;  // 1 derivative, 0 nonderivative linesearch
constexpr int kVerifyLevel = 78;
constexpr int kReserved82 = 82;
constexpr int kReserved83 = 83;
constexpr int kReserved84 = 84;
constexpr int kObjectiveKind = 87;  // 1 minimize, -1 maximize, 0 feasible point
constexpr int kCrashOption = 88;
constexpr int kIterationLimit = 89;
constexpr int kMajorIterationLimit = 90;
constexpr int kMajorPrintLevel = 92;
constexpr int kMinorIterationLimit = 91;
constexpr int kMinorPrintLevel = 93;
constexpr int kPartialPrice = 94;
constexpr int kStartObjectiveCheck = 98;
constexpr int kStopObjectiveCheck = 99;
constexpr int kStartConstraintCheck = 100;
constexpr int kStopConstraintCheck = 101;
constexpr int kReserved106 = 106;
constexpr int kReserved107 = 107;
// Words 121..127 and 130: zero by default, set by the solve stages.
constexpr int kReservedBlockFirst = 121;
constexpr int kReservedBlockLast = 127;
constexpr int kReserved130 = 130;
constexpr int kSolutionListing = 131;  // the final report prints the listing when > 0
constexpr int kLuPrintUnit = kLuWorkspaceOffset + lu_integer_words::kPrintUnit;    // 151
constexpr int kLuPrintLevel = kLuWorkspaceOffset + lu_integer_words::kPrintLevel;  // 152
constexpr int kLuMaxCol = kLuWorkspaceOffset + lu_integer_words::kMaxCol;          // 153
constexpr int kErrorUnit = machine_words::kErrorUnit;                              // 499
// In the store: 1 right after the defaults were set, -1 after the first option line.
// In the workspace: 1 after "Check optional parameters".
constexpr int kFirstLineFlag = 500;
}  // namespace integer_word

namespace real_word {
constexpr int kEps = machine_words::kEps;
constexpr int kEpsPow08 = machine_words::kEpsPow08;
constexpr int kEpsPow067 = machine_words::kEpsPow067;
constexpr int kSqrtEps = machine_words::kSqrtEps;
constexpr int kEpsPow033 = machine_words::kEpsPow033;
constexpr int kEpsPow025 = machine_words::kEpsPow025;
constexpr int kOptimalityCompanion = 51;  // defaults to the minor optimality tolerance
constexpr int kMinorOptimalityTol = 52;
constexpr int kMajorOptimalityTol = 53;
constexpr int kMinorFeasibilityTol = 56;
constexpr int kMajorFeasibilityTol = 57;
constexpr int kPivotTol = 60;
constexpr int kReserved61 = 61;  // max(eps^0.33, 1e-4)
constexpr int kCrashTol = 62;
constexpr int kReserved65 = 65;  // eps^0.25
constexpr int kLuFactorTol = 66;
constexpr int kLuUpdateTol = 67;
constexpr int kInfiniteBoundSize = 70;
constexpr int kUnboundedObjective = 71;
constexpr int kUnboundedStepSize = 72;
constexpr int kFunctionPrecision = 73;
constexpr int kForwardDifferenceInterval = 76;
constexpr int kCentralDifferenceInterval = 77;
constexpr int kMajorStepLimit = 80;
constexpr int kViolationLimit = 81;
constexpr int kLinesearchTol = 84;
constexpr int kConditionLimit = 85;  // condition limit of the reduced-Hessian factor
constexpr int kElasticWeight = 88;
constexpr int kInitialPenalty = 89;
constexpr int kScaleTol = 92;
constexpr int kLuFactorTolInUse = kLuWorkspaceOffset + lu_real_words::kFactorTol;      // 151
constexpr int kLuUpdateTolInUse = kLuWorkspaceOffset + lu_real_words::kUpdateTol;      // 152
constexpr int kLuDropTol = kLuWorkspaceOffset + lu_real_words::kDropTol;               // 153
constexpr int kLuAbsSingularityTol = kLuWorkspaceOffset + lu_real_words::kAbsSingTol;  // 154
constexpr int kLuRelSingularityTol = kLuWorkspaceOffset + lu_real_words::kRelSingTol;  // 155
constexpr int kLuGrowthSpace = kLuWorkspaceOffset + lu_real_words::kGrowthSpace;       // 156
constexpr int kLuDensity1 = kLuWorkspaceOffset + lu_real_words::kDensity1;             // 157
constexpr int kLuDensityTol = kLuWorkspaceOffset + lu_real_words::kDensity2;           // 158
constexpr int kNotSupplied = 181;  // value that flags derivatives not supplied
constexpr int kOptimalityTolInForce = 186;
}  // namespace real_word

// Value of real word kNotSupplied.
constexpr double kNotSuppliedValue = -111111.0;
// "Never" for frequencies and counts.
constexpr int kNever = 99999999;
// Integer value stored for a number of magnitude kIntegerValueLimit or more.
constexpr double kIntegerValueLimit = 1e8;

// Range of option words that a later DEFAULTS line resets to unset.
constexpr int kFirstResetWord = 51;
constexpr int kLastResetWord = 180;

}  // namespace zun::sparse_option
