// Word map of the dense option store: the option sets, the constants and the resumable state
// of the dense solver, as 1-based word numbers of the store's logical, integer and real
// areas.  The words that the dense QP/LS solver shares are declared once in
// library/dense_qp/qp_shared_words.h and re-exported here under the same names.
#pragma once

#include "library/dense_qp/qp_shared_words.h"

namespace zun::dense_words {

// A range of words, first..last inclusive.
struct WordRange {
  int first;
  int last;
  constexpr int size() const { return last - first + 1; }
};

// Each option set: 30 integer and 30 real words, a working copy and a backup.
constexpr int kOptionSetSize = 30;
constexpr WordRange kNpIntegerBackup{116, 145};
constexpr WordRange kNpIntegerWorking{146, 175};
constexpr WordRange kNpRealBackup{67, 96};
constexpr WordRange kNpRealWorking{97, 126};
constexpr WordRange kQpIntegerBackup{367, 396};
constexpr WordRange kQpIntegerWorking{397, 426};
constexpr WordRange kQpRealBackup{260, 289};
constexpr WordRange kQpRealWorking{290, 319};

namespace logical_word {
constexpr int kFirstLine = 5;           // the next option line is the first after a set-up/solve
constexpr int kPresetDerivatives = 18;  // gradient/Jacobian elements are preset and counted
constexpr int kStoreSetUp = 53;         // set by the store set-up, becomes kFirstLine
constexpr int kListing = 54;            // option lines are listed
constexpr int kResetOptions = 60;       // every option becomes unset before the next line
}  // namespace logical_word

namespace integer_word {
// Starts of the solver arrays inside WORK (28 words) and IWORK (16 words).
constexpr WordRange kRealArrayStarts{67, 94};
constexpr WordRange kIntegerArrayStarts{324, 339};

constexpr int kDifferenceType = 102;       // 0 none, 1 forward, 2 second-order differences
constexpr int kMissingJacobian = 103;      // Jacobian elements not supplied
constexpr int kMissingGradient = 104;      // gradient elements not supplied
constexpr int kIntervalMode = 105;         // 0 computed, 1 one interval, 2 user vector
constexpr int kCheckLevel = 106;           // level of the derivative check to run, -1 none
constexpr int kObjectiveCheckStart = 107;  // copies of 147..150 in force
constexpr int kObjectiveCheckStop = 108;
constexpr int kConstraintCheckStart = 109;
constexpr int kConstraintCheckStop = 110;

// NpOptionSet, working copy (keyword words).
constexpr int kMajorIterationLimit = 146;
constexpr int kStartObjectiveCheck = 147;
constexpr int kStopObjectiveCheck = 148;
constexpr int kStartConstraintCheck = 149;
constexpr int kStopConstraintCheck = 150;
constexpr int kDerivativeLevel = 151;  // 0 none, 1 gradient, 2 Jacobian, 3 both
constexpr int kVerifyLevel = 152;
constexpr int kMajorPrintLevel = 153;
constexpr int kNonlinearObjectiveVars = 154;
constexpr int kNonlinearJacobianVars = 155;
constexpr int kNonlinearVars = 156;
constexpr int kNonlinearConstraints = 157;
constexpr int kNpWord158 = 158;  // no keyword
constexpr int kNpWord159 = 159;  // no keyword; a hot start needs it
constexpr int kNpWord160 = 160;  // no keyword

constexpr int kAdvisoryUnitCopy = 316;
using qp_words::kMonitoringFile;  // 318: unit of the monitoring file
using qp_words::kPrintFile;       // 317: unit of the print file

// QpOptionSet, working copy (IPRMLS k is word 396 + k).
constexpr int kIprmlsBase = 396;
constexpr int kPrintFileOption = 397;
constexpr int kMonitoringFileOption = 398;
using qp_words::kGeneralMinorLimit;  // 399
using qp_words::kMinorLimit;         // 400
constexpr int kStart = 401;          // 0 cold, 1 warm, 2 hot
constexpr int kHessianOutput = 402;  // 1: R returned in the natural variables
using qp_words::kMinorPrintLevel;    // 404
constexpr int kVariablesOption = 405;
constexpr int kLinearConstraintsOption = 406;
constexpr int kProblemNumber = 407;

constexpr int kErrorUnitCopy = 473;
constexpr int kInputErrors = 474;
constexpr int kFirstDerivativePhase = 481;  // 1 during the first derivative phase of a solve
constexpr int kBodyState = 483;             // 0 fresh, 1..4 the stage to resume
constexpr int kJacobianCheckResult = 495;
constexpr int kGradientCheckResult = 496;
constexpr int kDerivativeMode = 497;  // 0 values, 1 derivatives, 2 both; negative: stop
constexpr int kKnownJacobian = 498;   // N x NCNLN minus the missing Jacobian elements
constexpr int kDerivativeState = 499;  // 0..6
constexpr int kMajorMode = 548;
constexpr int kMajorState = 553;
constexpr int kReaderAdvisoryUnit = 574;  // advisory unit of the option reader

// The solver's own state between requests.
constexpr int kIfailOnEntry = 575;          // IFAIL as the caller gave it at the fresh start
constexpr int kFpInform = 576;              // inform of the FP problem, -1 before it ran
constexpr int kPhaseInform = 577;           // result of the last derivative phase
constexpr int kDerivativesKnown = 578;      // 1 once a derivative phase has taken derivatives
constexpr int kObjectiveEvaluations = 579;  // objective values supplied by the caller
constexpr int kConstraintEvaluations = 580;
constexpr int kFdVariable = 581;            // finite differences: the variable in hand
constexpr int kFdStep = 582;                // 0 values at x + h awaited, 1 at x + 2h
constexpr int kFdAwaiting = 583;            // the request code issued at that point
constexpr int kCheckVariable = 584;         // checks and intervals: the variable in hand
constexpr int kCheckRow = 585;              // the function in hand (0: the objective)
constexpr int kCheckStep = 586;             // sub-step of the check or interval search
constexpr int kCheckResult = 587;           // 1 when the check in hand found large errors
constexpr int kCheckOkCount = 588;
constexpr int kCheckCount = 589;
constexpr int kCheckLargestElement = 590;   // column of the largest relative error
constexpr int kCheckLargestRow = 591;
constexpr int kConstantObjective = 592;     // gradient elements found constant
constexpr int kConstantJacobian = 593;      // Jacobian elements found constant

// The major iterations (the state is kMajorState).
constexpr int kSearchLimit = 513;           // evaluation limit of the step search
constexpr int kSearchMode = 514;            // 0 values only, 2 values and derivatives
constexpr int kSearchStage = 516;           // 1 constraint values awaited, 2 the objective
constexpr int kSearchBadTrial = 517;        // 1 when the trial gave a non-finite value
constexpr int kConvergenceTests = 518;     // bits: 1 small step, 2 feasible, 4 optimal
constexpr int kPenaltyRising = 519;         // 1 when the penalty norm rose at its last update
constexpr int kQpExit = 551;                // exit code of this iteration's QP subproblem
constexpr int kInfeasibleCount = 552;       // consecutive infeasible QP subproblems
constexpr int kMajorRan = 594;              // 1 once a QP subproblem has been solved
constexpr int kQpBasisUnitQ = 540;          // the last QP subproblem's basis: 1 when Q = I
constexpr int kQpBasisFree = 541;           // and its number of free variables
constexpr int kMinorTotal = 595;            // minor iterations of all QP subproblems
constexpr int kFunctionCount = 596;         // function evaluations of the step searches
constexpr int kWorkingBounds = 597;         // bounds in the working set
constexpr int kWorkingLinear = 598;         // linear rows in the working set
constexpr int kWorkingNonlinear = 599;      // nonlinear rows in the working set
constexpr int kNullDimension = 600;         // dimension of the null space
constexpr int kMonitorLines = 601;          // line counters of the major log
constexpr int kPrintLines = 602;
constexpr int kMinorIterations = 603;       // minor iterations of this QP subproblem
constexpr int kRefreshOnly = 604;           // 1: the derivatives are re-estimated at the point
constexpr WordRange kMajorFlags{605, 609};  // the five flag characters
constexpr int kMajorExit = 610;             // exit code decided by the last log line, -99 none
}  // namespace integer_word

namespace real_word {
constexpr int kInverseEps = 63;      // 1/eps
constexpr int kPenaltyNorm = 64;     // norm of the penalty parameters
constexpr int kDamping = 65;         // damping parameter of the penalty rule
constexpr int kMeritScale = 66;

// NpOptionSet, working copy.
constexpr int kCentralInterval = 97;
constexpr int kNonlinearFeasibility = 98;
constexpr int kStepLimit = 99;
constexpr int kFunctionPrecision = 100;
constexpr int kLineSearchTolerance = 101;
constexpr int kDifferenceInterval = 102;
constexpr int kOptimalityTolerance = 103;
constexpr int kConditionLimit = 104;

constexpr int kEpsPow033 = 247;
constexpr int kSqrtEps = 248;
using qp_words::kStationarityFactor;  // 249: eps^0.8
using qp_words::kPivotFactor;         // 250: eps^0.9
using qp_words::kReferenceRowNorm;    // 251
using qp_words::kLargestTDiagonal;    // 252
using qp_words::kSmallestTDiagonal;   // 253
using qp_words::kRootConditionLimit;  // 254
using qp_words::kRFrobeniusNorm;      // 255

// QpOptionSet, working copy (RPRMLS k is word 289 + k).
constexpr int kRprmlsBase = 289;
using qp_words::kInfiniteBound;  // 290
using qp_words::kInfiniteStep;   // 291
constexpr int kLowerBoundOption = 292;
constexpr int kUpperBoundOption = 293;
constexpr int kCrashTolerance = 294;
constexpr int kLinearFeasibility = 295;
using qp_words::kInverseConditionLimit;  // 296

constexpr int kEps = 326;
constexpr int kBaseInterval = 327;  // base difference interval
constexpr int kRootN = 330;         // sqrt(N)
constexpr int kStartPointNorm = 331;

// The major iterations and the step search.
constexpr int kSearchEpsaf = 371;            // differences of the merit function below it: noise
constexpr int kTrialConstraintPart = 373;    // lambda'r - (theta/2) sum rho r^2 at the trial
constexpr int kTrialConstraintSlope = 374;   // the constraint terms of the merit slope there
constexpr int kSearchG0 = 375;               // 0.9999 g0 as the step routines see it
constexpr int kMeritStart = 378;             // M0
constexpr int kSlopeStart = 379;             // g0
constexpr int kSearchTarget = 380;           // TARGTG
constexpr int kLargestTrial = 382;           // largest finite trial value of psi
constexpr int kObjectiveStart = 383;         // f at alpha = 0
constexpr int kMeritValue = 384;             // merit value at the current point
constexpr int kSearchTolAbs = 385;
constexpr int kSearchTolRel = 386;
constexpr int kSearchTolTiny = 387;
constexpr int kSearchAlpha = 388;            // the trial step
constexpr int kLastStepLength = 390;         // alpha ||p|| of the last step
constexpr int kStepLimitQuotient = 391;      // (1 + ||x||) step limit / ||p||
constexpr int kSearchAlphaMax = 392;
constexpr int kSearchAlphaSmall = 393;       // smallest useful step
constexpr int kDirectionNorm = 394;          // ||p||
constexpr int kCurvature = 395;              // ||R p||^2
constexpr int kReducedGradientNorm = 396;    // ||Z'g||
constexpr int kViolationNorm = 397;          // norm of the nonlinear violations
constexpr int kConditionH = 398;
constexpr int kConditionHz = 399;
constexpr int kConditionT = 400;
constexpr int kLastAlpha = 401;              // the step length of the last search
constexpr int kPointNorm = 402;              // ||x|| at the start of the search
constexpr WordRange kStepStateBlock{446, 475};  // state of the step routine

// The solver's own state between requests.
constexpr int kFdStepSize = 420;             // h of the variable in hand
constexpr int kFdLargestStep = 421;          // largest |h| of the last estimation
constexpr int kFdObjective1 = 422;           // objective at x + h
constexpr int kFdObjective2 = 423;           // objective at x + 2h
constexpr int kSearchValue1 = 424;           // interval search: the value at x + h
constexpr int kCheckH = 425;                 // step along the check direction
constexpr int kCheckLargestError = 426;      // largest relative error of the element checks
constexpr int kFpSumInfeasibilities = 427;   // sum of infeasibilities of the FP problem
constexpr WordRange kIntervalSearchBlock{430, 445};  // state of the interval search
}  // namespace real_word

}  // namespace zun::dense_words
