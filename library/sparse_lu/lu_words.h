// Word map of LuParameters: the integer block LuIntegerWords and the real block LuRealWords that
// the sparse LU factorisation, its solves and its column replacement read and write.  Word
// numbers are 1-based within each block.  In the sparse solver's workspace the blocks start at
// integer and real word 151, so block word k is IZ(kLuWorkspaceOffset + k), Z(...) likewise.
#pragma once

namespace zun {

// Offset of both LU blocks inside the sparse solver's workspace (block word 1 is word 151).
constexpr int kLuWorkspaceOffset = 150;
// Words each block must provide.
constexpr int kLuIntegerWordsLength = 30;
constexpr int kLuRealWordsLength = 20;

namespace lu_integer_words {
constexpr int kPrintUnit = 1;        // caller: print unit of the messages
constexpr int kPrintLevel = 2;       // caller: <0 silent, >=0 messages, >0 compressions, >1 pivots
constexpr int kMaxCol = 3;           // caller: columns examined by the pivot search (default 5)
constexpr int kKeepFactors = 8;      // caller: 0 keeps only the diagonal of U, no L
constexpr int kInform = 10;          // inform of the last call
constexpr int kNumSingular = 11;     // nsing: singular columns
constexpr int kLastSingular = 12;    // jsing: last singular column
constexpr int kMinLength = 13;       // minlen: storage needed, or to ask for after inform 7
constexpr int kReplacements = 15;    // column replacements since the factorisation
constexpr int kRank = 16;            // nrank: rank of U
constexpr int kDense1Columns = 17;   // ndens1: columns left at the first density threshold
constexpr int kDense2Columns = 18;   // ndens2: columns left at the second density threshold
constexpr int kMinDiagColumn = 19;   // jumin: column of the smallest diagonal of U
constexpr int kNumL0 = 20;           // numL0: L columns of the factorisation
constexpr int kLenL0 = 21;           // lenL0: entries of L after the factorisation
constexpr int kLenU0 = 22;           // lenU0: entries of U after the factorisation
constexpr int kLenL = 23;            // lenL: current entries of L
constexpr int kLenU = 24;            // lenU: current entries of U
constexpr int kRowFileEnd = 25;      // lrow: end of the row file
constexpr int kCompressions = 26;    // compressions performed
constexpr int kMeritSum = 27;        // sum of the merits of the chosen pivots
constexpr int kUpperTriPivots = 28;  // nUtri: pivots of the upper-triangular phase
constexpr int kLowerTriPivots = 29;  // nLtri: pivots of the lower-triangular phase
}  // namespace lu_integer_words

namespace lu_real_words {
constexpr int kFactorTol = 1;    // caller: Ltol1, bound on |L| entries (taken >= 1.0001)
constexpr int kUpdateTol = 2;    // caller: Ltol2, the same for column replacements
constexpr int kDropTol = 3;      // caller: small, magnitudes <= small are dropped
constexpr int kAbsSingTol = 4;   // caller: Utol1, absolute singularity tolerance
constexpr int kRelSingTol = 5;   // caller: Utol2, relative singularity tolerance
constexpr int kGrowthSpace = 6;  // caller: Uspace, growth allowance of the compression rule
constexpr int kDensity1 = 7;     // caller: dens1, first density threshold
constexpr int kDensity2 = 8;     // caller: dens2, second density threshold
constexpr int kAmax = 10;        // largest magnitude of the kept entries of A
constexpr int kLmax = 11;        // largest magnitude in L
constexpr int kUmax = 12;        // largest magnitude in U
constexpr int kDiagUmax = 13;    // largest diagonal magnitude of U
constexpr int kDiagUmin = 14;    // smallest diagonal magnitude of U (0 when none)
constexpr int kResidual = 20;    // residual of the last solve
}  // namespace lu_real_words

}  // namespace zun
