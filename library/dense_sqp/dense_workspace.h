// The partition of the dense solver's workspaces: where each solver array starts inside IWORK
// and WORK (kept in integer words of the option store), the lengths needed, and the fixed
// tail of WORK that holds the current point, the constraint values and the objective value.
#pragma once

#include <cstdint>

#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/dense_store.h"
#include "library/dense_sqp/dense_store_words.h"

namespace zun {

namespace dense_array {
// The store word that holds the start of each real array of WORK.
constexpr int kQpWorkArea = 67;              // work area of the QP/LS solver (T and Q inside)
constexpr int kConstraintMatrix = 69;        // rows of A, then the Jacobian (NCNLN > 0)
constexpr int kJacobian = 70;                // current Jacobian, NCNLN x N
constexpr int kFeasibilityTolerances = 71;   // N + NCLIN + NCNLN
constexpr int kQpMultipliers = 72;           // N + NCLIN + NCNLN
constexpr int kGradient = 81;                // N each from here ...
constexpr int kStartPoint = 84;
constexpr int kPointSaved = 85;
constexpr int kForwardIntervals = 87;
constexpr int kCentralIntervals = 88;
constexpr int kCheckDirection = 89;
constexpr int kVariableWork = 90;            // ... to here
constexpr int kMissingGradientMarks = kVariableWork;  // 1.0 where the caller left g unset
constexpr int kConstraintsSaved = 91;        // NCNLN each from here ...
constexpr int kConstraintsTrial = 92;
constexpr int kNonlinearMultipliers = 93;
constexpr int kMultiplierStep = 94;
constexpr int kMultipliersSaved = 328;
constexpr int kPenalties = 329;
constexpr int kSlacks = 330;
constexpr int kSlackStep = 331;
constexpr int kViolations = 332;
constexpr int kPenaltyWork = 333;
constexpr int kRowCheckWork = 334;           // ... to here
// The store word that holds the start of each integer array of IWORK.
constexpr int kQpStates = 324;               // N + NCLIN + NCNLN
constexpr int kActiveSet = 325;              // N
constexpr int kVariableOrder = 326;          // N
constexpr int kNeedRowCopy = 327;            // NCNLN
}  // namespace dense_array

struct DenseArraySpan {
  int word;             // the store word holding the start
  std::int64_t start;   // 1-based start in WORK or IWORK
  std::int64_t length;
};

// Writes the start of every array into its store word (clamped to 32 bits) and returns the
// integer and real lengths needed: 3N + NCLIN + 2 NCNLN integers and, for the reals, a fixed
// closed form that holds the partitioned arrays and the tail N + NCLIN + max(1, NCNLN) + 1.
// The QP/LS work area is laid out for N variables and NCLIN + NCNLN general rows (none when
// there are no general rows).
using DenseNeed = DenseWorkspaceNeed;
DenseNeed partition_dense_workspace(int n, int nclin, int ncnln, DenseStoreView store);

// Every array of the partition with its start and length, integer arrays first (for tests and
// for the partition itself).
struct DensePartition {
  DenseArraySpan integer_arrays[4];
  DenseArraySpan real_arrays[23];
  DenseNeed need;
};
DensePartition plan_dense_workspace(int n, int nclin, int ncnln);

// Positions of the tail of WORK (1-based, from the caller's LENW).
struct DenseTail {
  std::int64_t linear_values;  // NCLIN values of A x
  std::int64_t point;          // N
  std::int64_t constraints;    // max(1, NCNLN)
  std::int64_t objective;      // 1
};
DenseTail dense_work_tail(int n, int nclin, int ncnln, int lenw);

// The 1-based start in WORK of NCNLN x N words that lie between the partitioned arrays and
// the tail of a WORK of length LENW and that nothing else uses, or 0 when there is no room
// for them.  With M = NCLIN + NCNLN the required LENW leaves N (N - min(N, M) + 1) + 5 M such
// words: room whenever NCLIN + 2 NCNLN <= N, rarely when M >= N.
std::int64_t dense_spare_jacobian_start(int n, int nclin, int ncnln, int lenw);

}  // namespace zun
