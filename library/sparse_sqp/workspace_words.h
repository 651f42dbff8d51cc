// Word map of the sparse workspace (IZ, Z): the fixed integer words that the solver entry and
// the workspace plan set, and the integer words that hold the first position (1-based, in IZ
// or Z) of every planned array.  Words 1..500 of both arrays are the option words
// (sparse_option_words.h); the planned arrays start at word 501.
#pragma once

#include "library/sparse_sqp/sparse_option_words.h"

namespace zun::sparse_ws {

// First word of the planned arrays in both areas.
constexpr int kFirstArrayWord = sparse_option::kOptionWordCount + 1;

namespace integer_word {
constexpr int kLastRealOptionWord = 2;       // last real word in use before the arrays (500)
constexpr int kRealLength = 3;               // LENZ
constexpr int kLastIntOptionWord = 4;        // last integer word in use before the arrays (500)
constexpr int kIntLength = 5;                // LENIZ
constexpr int kJacobianCount = 20;           // ng: length of gCon (at least 1)
constexpr int kNonlinearConstraints = 21;    // NCNLN (after Check)
constexpr int kNonlinearJacobianVars = 22;   // NJNLN
constexpr int kNonlinearObjectiveVars = 23;  // NONLN
constexpr int kNonlinearVars = 24;           // nlv = max(NJNLN, NONLN)
constexpr int kProblemSize26 = 26;           // problem size word filled per solve (default 0)
constexpr int kProblemSize27 = 27;           // problem size word filled per solve (default 0)
constexpr int kReducedHessianLength = 28;    // r(r+1)/2
constexpr int kIntAreaFirst = 36;            // 501
constexpr int kIntAreaLastOption = 37;       // IZ(4)
constexpr int kIntAreaFirstFree = 38;        // NEEDIZ + 1
constexpr int kIntAreaLength = 39;           // LENIZ
constexpr int kRealAreaFirst = 41;           // 501
constexpr int kRealAreaLastOption = 42;      // IZ(2)
constexpr int kRealAreaFirstFree = 43;       // NEEDZ + 1
constexpr int kRealAreaLength = 44;          // LENZ
constexpr int kRows = 133;                   // M
constexpr int kColumns = 134;                // N
constexpr int kElements = 135;               // NNZ
constexpr int kObjGradientSupplied = 186;    // objective gradient elements that objfun set
constexpr int kJacobianSupplied = 187;       // Jacobian elements that confun set
constexpr int kConfunCalls = 189;
constexpr int kConfunDerivativeCalls = 190;  // calls of confun with MODE > 0
constexpr int kObjfunCalls = 194;
constexpr int kObjfunDerivativeCalls = 195;  // calls of objfun with MODE > 0
constexpr int kObjectiveSign = 199;          // -1 maximizing, else 1
constexpr int kLuFileLength = 213;           // lena: length of each LU file, 0 when no room
constexpr int kObjectiveRow = 218;           // abs(IOBJ), 1 for a dummy row
constexpr int kLuIntegerRoom = 331;          // L: room of each integer LU file
constexpr int kLuRealRoom = 332;             // R: room of the real LU file
}  // namespace integer_word

// Integer words that hold the start of each planned integer array (in IZ).
namespace int_array {
constexpr int kMbsIndexA = 267;             // mBS
constexpr int kMbsIndexB = 269;             // mBS
constexpr int kRowTypes = 268;              // nb (row types 0 equality, 1 inequality, 2 free)
constexpr int kElasticAllowance = 260;      // nb (0 none, 1 lower, 2 upper, 3 either)
constexpr int kMbsIndexC = 279;             // mBS
constexpr int kMbsIndexD = 280;             // mBS
constexpr int kJacobianColumnStarts = 312;  // NJNLN + 1
// LU integer arrays (a = s + m words or m words) and the two integer LU files.
constexpr int kLuA1 = 333;
constexpr int kLuM1 = 334;
constexpr int kLuM2 = 335;
constexpr int kLuA2 = 336;
constexpr int kLuM3 = 337;
constexpr int kLuA3 = 338;
constexpr int kLuM4 = 339;
constexpr int kLuA4 = 340;
constexpr int kLuColumnFile = 343;   // indc: L words
constexpr int kLuRowFile = 344;      // indr: L words
constexpr int kElasticStates = 261;  // nb: ElasticState (0, 1 below bl, 2 above bu)
constexpr int kLuM5 = 345;           // m
constexpr int kLuA5 = 346;           // a

// Roles of the integer arrays in the minor iterations and the basis factorisation.  Arrays
// that are live at different times share storage where noted.
// BsIndex: m + nS basic then superbasic variable numbers; live from the first factorisation on.
constexpr int kBsIndex = kMbsIndexA;
// BasicFeasibilityType of the BsIndex positions (m + 1 used by an LP step); live in a minor loop.
constexpr int kBasicFeasibility = kMbsIndexB;
// The BsIndex saved before a (B S) factorisation (m + nS); live inside one factorisation call.
constexpr int kSavedBsIndex = kMbsIndexC;
// Row work (m): CrashRowState during the crash, the row flags of a (B S) factorisation
// inside one factorisation call; never live at the same time.
constexpr int kRowWork = kMbsIndexD;
// The LU factors' integer arrays (LuFactors) for a = m + s columns; live from the first
// factorisation on.
constexpr int kLuColPerm = kLuA1;         // a: ColPerm
constexpr int kLuRowPerm = kLuM1;         // m: RowPerm
constexpr int kLuRowLength = kLuM2;       // m: RowLength
constexpr int kLuColLength = kLuA2;       // a: ColLength
constexpr int kLuRowStart = kLuM3;        // m: RowStart
constexpr int kLuColStart = kLuA3;        // a: ColStart
constexpr int kLuColCountStart = kLuM4;   // m: ColCountStart (work)
constexpr int kLuRowCountStart = kLuA4;   // a: RowCountStart (work)
constexpr int kLuRowPermInverse = kLuM5;  // m: RowPermInverse (work)
constexpr int kLuColPermInverse = kLuA5;  // a: ColPermInverse (work)
}  // namespace int_array

// Integer words that hold the start of each planned real array (in Z).
namespace real_array {
constexpr int kScales = 274;                   // nb: N column scales, then M row scales
constexpr int kNbRealA = 283;                  // nb
constexpr int kNbRealB = 281;                  // nb
constexpr int kNbRealC = 284;                  // nb
constexpr int kNbRealD = 282;                  // nb
constexpr int kMbsRealA = 270;                 // mBS
constexpr int kMbsRealB = 271;                 // mBS
constexpr int kMbsRealC = 272;                 // mBS
constexpr int kScaledVariables = 275;          // nlv + mBS: saved scaled copy of the variables
constexpr int kScaledVariablesTail = 273;      // start of 275 + nlv (its last mBS words)
constexpr int kNlvRealA = 289;                 // nlv
constexpr int kNlvRealB = 295;                 // nlv
constexpr int kNlvRealC = 297;                 // nlv
constexpr int kReducedHessian = 278;           // r(r+1)/2: the reduced-Hessian factor
constexpr int kSuperbasicReal = 277;           // s
constexpr int kNlvRealD = 300;                 // nlv
constexpr int kNlvRealE = 298;                 // nlv
constexpr int kNlvRealF = 301;                 // nlv
constexpr int kNlvRealG = 299;                 // nlv
constexpr int kNcRealA = 302;                  // nc
constexpr int kNcRealB = 304;                  // nc
constexpr int kNcRealC = 313;                  // nc
constexpr int kNbRealE = 314;                  // nb
constexpr int kNbRealF = 315;                  // nb
constexpr int kNonlinearRowMultipliers = 316;  // nc: multipliers of the major iterations
constexpr int kNcRealD = 317;                  // nc
constexpr int kNcRealE = 318;                  // nc
constexpr int kNcRealF = 319;                  // nc
constexpr int kNcRealG = 303;                  // nc
constexpr int kNcRealH = 320;                  // nc
constexpr int kSavedJacobian = 306;            // ng: saved copy of gCon
constexpr int kJacobianA = 305;                // ng
constexpr int kJacobianB = 307;                // ng
constexpr int kRowReal = 290;                  // m
constexpr int kNbRealG = 296;                  // nb
constexpr int kNbRealH = 321;                  // nb
constexpr int kStartPoint = 276;               // nb: x0, the start point of the nonlinear variables
constexpr int kRowMultipliers = 323;           // nb: first nc words the nonlinear-row multipliers
// Hessian storage, limited memory.
constexpr int kHessianDiagonal = 381;    // nlv
constexpr int kHessianV = 382;           // nlv * mQN
constexpr int kHessianU = 383;           // nlv * mQN
constexpr int kHessianInvAlphaPy = 384;  // mQN
constexpr int kHessianInvPHp = 385;      // mQN
// Hessian storage, full memory.
constexpr int kFullHessian = 371;        // nlv(nlv+1)/2, the packed factor
constexpr int kFullHessianLength = 372;  // holds that length (not a position)
// The real LU file.
constexpr int kLuValues = 341;
// The LU's column maxima w (a = m + s reals), signs read after each factorisation.
constexpr int kLuColumnMax = 342;

// Roles of the real arrays in the minor iterations and the basis factorisation (nb arrays
// hold at most m + nS <= nb entries of the BsIndex positions).
constexpr int kXBS = kMbsRealA;   // mBS: xBS, values of the BsIndex variables
constexpr int kBlBS = kMbsRealB;  // mBS: working lower bounds of the BsIndex positions
constexpr int kBuBS = kMbsRealC;  // mBS: working upper bounds of the BsIndex positions
// Live in one minor loop:
constexpr int kPi = kNbRealB;             // m words of nb: the multipliers pi
constexpr int kReducedCosts = kNbRealA;   // nb: reduced costs d of the variables and slacks
constexpr int kPhaseGradient = kNbRealC;  // m + nS of nb: gradient of the BsIndex positions
constexpr int kDirection = kNbRealD;      // m + nS (m + 1 in an LP step) of nb: direction p
// m of nb: L^-1 times the entering column, from the basis solve until the LU update.
constexpr int kEnteringColumn = kNbRealE;
constexpr int kSolveWork = kNbRealF;   // nb: residuals and solves (also inside a factorisation)
constexpr int kSolveWork2 = kNbRealG;  // nb: second solve vector
// The first IZ(21) words: J x - F of the nonlinear rows (zero during the linear phases).
constexpr int kRowConstants = kRowReal;
}  // namespace real_array

}  // namespace zun::sparse_ws
