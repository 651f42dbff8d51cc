// Word map of the scalar workspace words (IZ, Z; 1-based) that the basis factorisation and the
// minor iterations keep between calls.  The LU's own words are read through lu_words.h at
// their workspace offset; they hold nothing meaningful before the first factorisation
// (IZ(210) > 0).
#pragma once

#include "library/sparse_lu/lu_words.h"

namespace zun::minor_word {

namespace integer_word {
constexpr int kFactorizations = 210;           // factorisations so far
constexpr int kFactorizationsSinceBS = 211;    // factorisations since the last (B S) one
constexpr int kIterationsSinceFactor = 215;    // minor iterations since the last factorisation
constexpr int kBasisChangesSinceFactor = 216;  // basis changes since the last factorisation
constexpr int kObjectiveSlackPosition = 220;   // position of the objective row's slack in B
constexpr int kAllHessianVariables = 200;     // 1 when every variable is a Hessian variable
constexpr int kFactorStatistics = 223;         // 1 after a factorisation: a log heading is due
constexpr int kMajorHeadingDetailed = 224;     // the major log's detailed heading is due again
constexpr int kMajorHeadingShort = 225;        // the major log's short heading is due again
// LU words at their workspace offset.
constexpr int kLuKeepFactors = kLuWorkspaceOffset + lu_integer_words::kKeepFactors;
constexpr int kLuNumSingular = kLuWorkspaceOffset + lu_integer_words::kNumSingular;
constexpr int kLuMinLength = kLuWorkspaceOffset + lu_integer_words::kMinLength;
constexpr int kLuDense1 = kLuWorkspaceOffset + lu_integer_words::kDense1Columns;
constexpr int kLuDense2 = kLuWorkspaceOffset + lu_integer_words::kDense2Columns;
constexpr int kLuLenL0 = kLuWorkspaceOffset + lu_integer_words::kLenL0;
constexpr int kLuLenU0 = kLuWorkspaceOffset + lu_integer_words::kLenU0;
constexpr int kLuLenL = kLuWorkspaceOffset + lu_integer_words::kLenL;
constexpr int kLuLenU = kLuWorkspaceOffset + lu_integer_words::kLenU;
constexpr int kLuCompressions = kLuWorkspaceOffset + lu_integer_words::kCompressions;
constexpr int kLuMeritSum = kLuWorkspaceOffset + lu_integer_words::kMeritSum;
constexpr int kLuUpperTri = kLuWorkspaceOffset + lu_integer_words::kUpperTriPivots;
constexpr int kLuLowerTri = kLuWorkspaceOffset + lu_integer_words::kLowerTriPivots;
}  // namespace integer_word

namespace real_word {
constexpr int kInfeasiblePriceThreshold = 184;  // section threshold of pricing before feasibility
constexpr int kFeasiblePriceThreshold = 185;    // the same once feasible
constexpr int kObjectiveRowScale = 188;         // scale of the objective row (its slack's cost)
constexpr int kReferenceUmin = 190;             // reference smallest diagonal of U (0 at first)
// LU words at their workspace offset.
constexpr int kLuFactorTol = kLuWorkspaceOffset + lu_real_words::kFactorTol;
constexpr int kLuUpdateTol = kLuWorkspaceOffset + lu_real_words::kUpdateTol;
constexpr int kLuDropTol = kLuWorkspaceOffset + lu_real_words::kDropTol;
constexpr int kLuAmax = kLuWorkspaceOffset + lu_real_words::kAmax;
constexpr int kLuLmax = kLuWorkspaceOffset + lu_real_words::kLmax;
constexpr int kLuUmax = kLuWorkspaceOffset + lu_real_words::kUmax;
constexpr int kLuDiagUmin = kLuWorkspaceOffset + lu_real_words::kDiagUmin;
}  // namespace real_word

}  // namespace zun::minor_word
