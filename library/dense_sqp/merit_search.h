// The step search of a major iteration along (p, dlambda, ds) on the augmented-Lagrangian merit
// function, one reverse-communication request per trial value.
#pragma once

#include "library/dense_sqp/dense_run.h"

namespace zun {

// The arrays of WORK that the major iterations keep between requests (store words of their
// starts; the derivative checks and the start point use them only before the iterations).
namespace major_array {
constexpr int kDirection = dense_array::kCheckDirection;       // p (N)
constexpr int kPointStart = dense_array::kPointSaved;          // x at alpha = 0 (N)
constexpr int kGradientStart = dense_array::kStartPoint;       // g at alpha = 0 (N)
constexpr int kConstraintsStart = dense_array::kConstraintsSaved;  // c at alpha = 0 (NCNLN)
constexpr int kConstraintsTrial = dense_array::kConstraintsTrial;
constexpr int kMultipliers = dense_array::kNonlinearMultipliers;   // lambda (NCNLN)
constexpr int kMultipliersStart = dense_array::kMultipliersSaved;
constexpr int kMultiplierStep = dense_array::kMultiplierStep;      // dlambda
constexpr int kPenalties = dense_array::kPenalties;                // rho
constexpr int kSlacks = dense_array::kSlacks;                      // s at alpha = 0
constexpr int kSlackStep = dense_array::kSlackStep;                // ds
constexpr int kResiduals = dense_array::kViolations;               // r = c - s
constexpr int kJacobianStep = dense_array::kPenaltyWork;           // J p at alpha = 0
}  // namespace major_array

// The constraint part lambda'r - (theta/2) sum rho(i) r(i)^2 of the merit function, r = c - s,
// for the NCNLN values C, multipliers LAMBDA and slacks S (1-based).
double merit_constraint_part(const DenseRun& run,
                             Words<const double> c,
                             Words<const double> lambda,
                             Words<const double> s);

// Sets the search up from the words the major iteration stored (first trial step, largest and
// smallest useful step, M0, g0, ||p||, ||x||) and issues the first request.  VALUES_ONLY
// chooses the search on values alone.  Returns 0 with a request pending, or the result code 8
// (bad input) with no request.
int start_merit_search(DenseRun& run, bool values_only);

// Takes the caller's answer.  Returns true with the next request pending; false at the end
// with RESULT the step routine's result (1..8) or the caller's negative IREVCM, and the best
// point (x, f, c, lambda, s) made current.
bool continue_merit_search(DenseRun& run, int& result);

}  // namespace zun
