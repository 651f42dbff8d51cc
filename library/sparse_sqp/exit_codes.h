// Status codes of the sparse solver: the public exit codes (SparseInform, returned in IFAIL)
// and the internal end classes with which a run ends before the exit message maps them.
#pragma once

namespace zun {

// Public exit codes of SPNLPF.  A negative IFAIL is -1 (functions undefined) or the user's
// own stop value of -2 or below.
namespace sparse_inform {
constexpr int kFunctionsUndefined = -1;
constexpr int kOptimal = 0;
constexpr int kInfeasible = 1;
constexpr int kUnbounded = 2;
constexpr int kViolationLimit = 3;
constexpr int kIterationLimit = 4;
constexpr int kAccuracyNotAchieved = 5;
constexpr int kSuperbasicsLimit = 6;
constexpr int kInputErrors = 7;
constexpr int kObjectiveGradients = 8;
constexpr int kConstraintGradients = 9;
constexpr int kCannotImprove = 10;
constexpr int kLinearNumericalError = 11;
constexpr int kIntegerWorkspaceForFactors = 12;
constexpr int kRealWorkspaceForFactors = 13;
constexpr int kSingularBasis = 14;
constexpr int kIntegerWorkspaceToStart = 15;
constexpr int kRealWorkspaceToStart = 16;
}  // namespace sparse_inform

// Internal end classes of a run.
namespace end_class {
constexpr int kFunctionsUndefined = -1;
constexpr int kConverged = 0;
constexpr int kInfeasible = 1;
constexpr int kUnboundedOrViolation = 2;
constexpr int kLimitReached = 3;
constexpr int kAccuracyNotAchieved = 4;
constexpr int kSuperbasicsLimit = 5;
constexpr int kUserStop = 6;
constexpr int kObjectiveGradients = 7;
constexpr int kConstraintGradients = 8;
constexpr int kCannotImprove = 9;
constexpr int kLinearNumericalError = 10;
constexpr int kIntegerWorkspaceForFactors = 11;
constexpr int kRealWorkspaceForFactors = 12;
constexpr int kSingularBasis = 13;
// The run could not be carried out because the solve stages are not part of this build.  It
// is an internal error (the class is returned as the exit code); 17 is the first class whose
// code means nothing else to a caller: 14 is the singular basis, 15 and 16 ask the caller to
// grow a workspace and 6 is the superbasics limit.
constexpr int kStagesUnavailable = 17;
}  // namespace end_class

}  // namespace zun
