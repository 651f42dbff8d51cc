// The roles that a sparse run gives to arrays of the workspace plan: each name is the integer
// word that holds the array's first position (in IZ for integer arrays, in Z for real ones).
#pragma once

#include "library/sparse_sqp/workspace_words.h"

namespace zun::run_array {

namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;

// Integer arrays.
constexpr int kRowTypes = ia::kRowTypes;                      // M: 0 equality, 1 inequality, 2 free
constexpr int kElasticAllowance = ia::kElasticAllowance;      // N + M: 0 none, 3 either bound
constexpr int kBsIndex = ia::kMbsIndexA;                      // M + s: basic, then superbasic
constexpr int kJacobianPointers = ia::kJacobianColumnStarts;  // NJNLN + 1: starts in gCon

// Real arrays.
constexpr int kScales = ra::kScales;  // N column scales, then M row scales

constexpr int kStartPoint = ra::kStartPoint;          // nnL: x0 of the nonlinear variables
constexpr int kRowMultipliers = ra::kRowMultipliers;  // M: pi
constexpr int kNonlinearMultipliers = ra::kNonlinearRowMultipliers;  // NCNLN
constexpr int kConstraintValues = ra::kNcRealA;     // NCNLN: F(x) of the last evaluation
constexpr int kJacobian = ra::kJacobianA;           // ng: gCon as the wrapper fills it
constexpr int kSavedJacobian = ra::kSavedJacobian;  // ng: the constant elements (user units)
constexpr int kSecondJacobian = ra::kJacobianB;     // ng: the second Jacobian copy
constexpr int kLinearPart = ra::kRowReal;           // NCNLN: J x - F(x) of the nonlinear rows

constexpr int kObjectiveGradient = ra::kNlvRealA;  // nnL: gObj

}  // namespace zun::run_array

// Single words of the workspace that a run sets.
namespace zun::run_word {
constexpr int kStartFlag = 182;     // integer: 1 at the start of a run
constexpr int kFirstCounter = 189;  // integer: evaluation counters 189..192, 194..197
constexpr int kLastCounter = 197;
constexpr int kUnusedCounter = 193;  // integer: between the two counter groups
constexpr int kConfunForward = 191;  // integer: calls of confun for forward differences
constexpr int kConfunCentral = 192;
constexpr int kObjfunForward = 196;
constexpr int kObjfunCentral = 197;
constexpr int kAllNonlinear = 200;    // integer: 1 when every variable is nonlinear
constexpr int kFactorizations = 210;  // integer: factorisations so far
constexpr int kIterationsDone = 400;  // integer: the iterations of the run
constexpr int kObjectiveScale = 188;  // real: scale of the objective row
constexpr int kFinalObjective = 400;  // real: OBJV
}  // namespace zun::run_word
