// Public entries of the sparse LU factorisation: PRUNEN factorises a sparse m x n matrix given
// as triples, lu_solve solves with the factors, PRUNEP replaces one column of the factors.
// Every argument is passed by reference; arrays hold 1-based indices and positions (array
// element k-1 is word k).  luparm and parmlu are the LuIntegerWords and LuRealWords blocks
// (lu_words.h); the factor storage (LuFactors) is a, indc, indr (lena words each) with the
// permutations, lengths and starts.
#pragma once

namespace zun {

// Inform codes of the LU entries.
namespace lu_inform {
constexpr int kOk = 0;             // factorised / rank unchanged / solve consistent
constexpr int kSingular = 1;       // PRUNEN: singular; lu_solve: inconsistent; PRUNEP: rank rose
constexpr int kRankFell = -1;      // PRUNEP: the rank fell
constexpr int kBadIndex = 3;       // PRUNEN: a row or column index out of range
constexpr int kDuplicate = 4;      // PRUNEN: two entries with the same row and column
constexpr int kNoStorage = 7;      // lena too small
constexpr int kInternalError = 8;  // PRUNEN: inconsistency; PRUNEP: jrep out of range
}  // namespace lu_inform

// Factorises A (m x n, nelem triples a(k), indc(k) row, indr(k) column) as P A Q = L U with
// threshold pivoting.  Work and result arrays: ip RowPerm (m), iq ColPerm (n), lenc ColLength
// (n), lenr RowLength (m), locc ColStart (n), locr RowStart (m), iploc RowCountStart (n),
// iqloc ColCountStart (m), ipinv, iqinv inverse permutations (m, n), w (n) the largest
// magnitude of each U column, negated for a singular column.  nelem is returned unchanged.
// After a failure (inform 3, 4, 7 or 8) the factors are left empty: rank 0, no L or U
// entries and identity permutations.
void PRUNEN(const int& m,
            const int& n,
            int& nelem,
            const int& lena,
            int* luparm,
            double* parmlu,
            double* a,
            int* indc,
            int* indr,
            int* ip,
            int* iq,
            int* lenc,
            int* lenr,
            int* locc,
            int* locr,
            int* iploc,
            int* iqloc,
            int* ipinv,
            int* iqinv,
            double* w,
            int& inform);

// Solves with the factors by mode: 1 v := L^-1 v; 2 v := L^-T v; 3 w := U^-1 v; 4 v := U^-T w;
// 5 w := A^-1 v (L then U); 6 v := A^-T w (U' then L').  v has m reals, w has n reals.
// inform 1 when the part of the right-hand side outside the range of a rank-deficient U is
// nonzero (its 1-norm goes to LuRealWords 20), else 0.
void lu_solve(const int& mode,
              const int& m,
              const int& n,
              double* v,
              double* w,
              const int& lena,
              int* luparm,
              double* parmlu,
              double* a,
              int* indc,
              int* indr,
              int* ip,
              int* iq,
              int* lenc,
              int* lenr,
              int* locc,
              int* locr,
              int& inform);

// Replaces column jrep of the factorised matrix.  mode1 0: column jrep of U is known to be
// empty.  mode2 0: the new column is zero; 1: v (m) holds it; 2: v holds L^-1 times it.  w (n)
// is work.  Out: diag the new diagonal of U (0 when singular), vnorm the 1-norm of the U part
// of v, inform 0 rank unchanged, 1 rose, -1 fell, 7 storage, 8 jrep out of range.
void PRUNEP(const int& mode1,
            const int& mode2,
            const int& m,
            const int& n,
            const int& jrep,
            double* v,
            double* w,
            const int& lena,
            int* luparm,
            double* parmlu,
            double* a,
            int* indc,
            int* indr,
            int* ip,
            int* iq,
            int* lenc,
            int* lenr,
            int* locc,
            int* locr,
            int& inform,
            double& diag,
            double& vnorm);

}  // namespace zun
