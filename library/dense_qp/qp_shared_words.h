// Words of the dense option store's shared integer and real areas that the dense QP/LS solver
// and its factorisations read or write (1-based word numbers).
#pragma once

namespace zun::qp_words {

// Real words.
constexpr int kStationarityFactor = 249;     // eps^0.8
constexpr int kPivotFactor = 250;            // eps^0.9: pivot, negligible step, ill-conditioning
constexpr int kReferenceRowNorm = 251;       // reference of the first dependency test
constexpr int kLargestTDiagonal = 252;       // largest |diagonal of T|
constexpr int kSmallestTDiagonal = 253;      // smallest |diagonal of T|
constexpr int kRootConditionLimit = 254;     // sqrt(condition limit): rank tolerance of R
constexpr int kRFrobeniusNorm = 255;         // ||R||_F after a refactorisation
constexpr int kInfiniteBound = 290;          // bigbnd
constexpr int kInfiniteStep = 291;           // infinite step size
constexpr int kInverseConditionLimit = 296;  // 1 / condition limit (tolRz)

// Integer words.
constexpr int kPrintFile = 317;
constexpr int kMonitoringFile = 318;  // unit of the monitoring lines (0: none)
constexpr int kGeneralMinorLimit = 399;  // max(50, 3(n + nclin + ncnln))
constexpr int kMinorLimit = 400;         // the minor iterations limit option
constexpr int kMinorPrintLevel = 404;

}  // namespace zun::qp_words
