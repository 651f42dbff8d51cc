// Public entries of the dense factorisation kit: plane rotations and their sequences,
// Householder reflections, the QR factorisation with column interchanges, the upkeep of an
// upper-triangular factor R, and the largest-value routine with its argument report.
//
// Conventions: matrices are column-major with a leading dimension; indices are 1-based;
// option words are character arguments of which only the first letter is tested (either case),
// each followed by its length as a trailing int; an unrecognised letter does nothing unless
// the routine says otherwise.
//
// Rotations: c(k), s(k) hold the rotation of plane k.  Applied to the pair (x, y), x in the
// lower-numbered plane, it gives (c x + s y, c y - s x).  The planes of rotation k are
//   PIVOT "Variable": (k, k + 1);  "Top": (k1, k + 1);  "Bottom": (k, k2),
// for k = k1..k2-1 ("Forwards") or k2-1 down to k1 ("Backwards").
#pragma once

#include "library/support/option_store.h"

namespace zun {

// ---- Plane rotations

// c and s from the tangent t: |t| < sqrt(eps) gives (1, t); |t| > 1/sqrt(eps) gives
// (1/|t|, sign(t)); otherwise c = 1/sqrt(1 + t^2), s = c t.
void rotation_from_tangent(const double& t, double& c, double& s);

// The rotation that zeroes b against a: c a + s b -> a, c b - s a = 0.  b = 0 gives (1, 0);
// otherwise b := the tangent b/a (by safe_divide), from which the rotation can be rebuilt.
void generate_plane_rotation(double& a, double& b, double& c, double& s);

// Rotations that fold x(1..n) (stride incx) into alpha; c(1..n), s(1..n) out.  Each rotation
// leaves its tangent in the x element it zeroed.  The result matches apply_rotation_sequence
// on planes 1..n+1 with these positions:
//   "Fixed" "Forwards":     alpha in plane 1, x(i) in plane i+1; apply with "Top".
//   "Fixed" "Backwards":    x(i) in plane i, alpha in plane n+1; apply with "Bottom".
//   "Variable" "Forwards":  x(i) in plane i, alpha in plane n+1 (x(i) folds into x(i+1)).
//   "Variable" "Backwards": alpha in plane 1, x(i) in plane i+1 (x(i) folds into x(i-1)).
// Nothing when n <= 0.
void generate_rotation_sequence(const char* pivot,
                                const char* direct,
                                const int& n,
                                double& alpha,
                                double* x,
                                const int& incx,
                                double* c,
                                double* s,
                                int pivot_len,
                                int direct_len);

// A := P A (SIDE "Left", rotations combine rows) or A P' ("Right", columns) for the m x n
// matrix A and the rotations c(k), s(k), k = k1..k2-1, in the planes named by PIVOT and the
// order named by DIRECT.  Nothing when min(m, n, k1) < 1, k1 >= k2, or k2 exceeds the rows
// ("Left") or columns ("Right"); a rotation with c = 1, s = 0 is skipped.
void apply_rotation_sequence(const char* side,
                             const char* pivot,
                             const char* direct,
                             const int& m,
                             const int& n,
                             const int& k1,
                             const int& k2,
                             const double* c,
                             const double* s,
                             double* a,
                             const int& lda,
                             int side_len,
                             int pivot_len,
                             int direct_len);

// Interchanges recorded in perm(1..n) (reals holding row or column numbers): P = P(1)...P(n),
// P(i) swapping i with perm(i).  "Left": B (k columns) := P B ("Normal", i = n..1) or P'B
// ("Transpose", i = 1..n); "Right": B (k rows) := B P ("Normal", i = 1..n) or B P'
// ("Transpose", i = n..1).  So "Left" "Transpose" and "Right" "Normal" both move rows and
// columns the same way, as a record of a reordering of VarOrder needs.  Entries with
// perm(i) = i or perm(i) < 1 are skipped.
void apply_interchanges(const char* side,
                        const char* trans,
                        const int& n,
                        const double* perm,
                        const int& k,
                        double* b,
                        const int& ldb,
                        int side_len,
                        int trans_len);

// ---- Rotations on triangular factors.  A is the n x n upper triangle (only the upper triangle
// is referenced); 1 <= k1 < k2 <= n, otherwise nothing is done.

// Applies the rotations of planes (j, j+1), j = k1..k2-1, to the triangle: "Right" A P'
// (forwards), "Left" P A (backwards).  The subdiagonal element (j+1, j) each creates is
// returned in s(j); A keeps its upper triangle.
void apply_rotations_to_triangle(const char* side,
                                 const int& n,
                                 const int& k1,
                                 const int& k2,
                                 const double* c,
                                 double* s,
                                 double* a,
                                 const int& lda,
                                 int side_len);

// Reduces the upper-Hessenberg block k1..k2 (subdiagonal element (j+1, j) in s(j)) back to
// upper-triangular form: "Left" by row rotations of planes (j, j+1), j = k1..k2-1 (apply to
// companions with "Left" "Variable" "Forwards"); "Right" by column rotations, j = k2-1..k1
// ("Right" "Variable" "Backwards").  The rotations are returned in c and s.
void restore_triangle(const char* side,
                      const int& n,
                      const int& k1,
                      const int& k2,
                      double* c,
                      double* s,
                      double* a,
                      const int& lda,
                      int side_len);

// Cyclic shift of the triangle.  "Right": column k1 moves to k2 and columns k1+1..k2 move one
// place left.  "Left": row k2 moves to k1 and rows k1..k2-1 move one place down.  Either makes
// the block k1..k2 upper Hessenberg; its subdiagonal (j+1, j) is returned in s(j),
// j = k1..k2-1, ready for restore_triangle.
void shift_triangle_cyclically(const char* side,
                               const int& n,
                               const int& k1,
                               const int& k2,
                               double* s,
                               double* a,
                               const int& lda,
                               int side_len);

// Applies the given rotations of planes (j, j+1), j = k2-1 down to k1, to the triangle and
// keeps it triangular by a rotation from the other side in the same plane after each one.
// "Right": A := L A P' with P given; "Left": A := P A L' with P given.  L (its rotations) is
// returned in c and s, to be applied to companions with "Variable" "Backwards" ("Left" for
// the "Right" case, "Right" for the "Left" case).  The other-side rotations touch only the n
// columns (or rows) of the triangle.
void retriangulate_spike(const char* side,
                         const int& n,
                         const int& k1,
                         const int& k2,
                         double* c,
                         double* s,
                         double* a,
                         const int& lda,
                         int side_len);

// SIDE "Left": applies the rotations of planes (k, k2), k = k2-1 down to k1 ("Bottom"
// "Backwards"), to rows k1..k2 of the triangle.  Row k2 acquires a spike in columns
// k1..k2-1, returned in s(k1..k2-1); c is unchanged.
void create_row_spike(const char* side,
                      const int& n,
                      const int& k1,
                      const int& k2,
                      const double* c,
                      double* s,
                      double* a,
                      const int& lda,
                      int side_len);

// SIDE "Left": removes the spike s(k1..k2-1) of row k2 (its columns k1..k2-1) by rotations of
// planes (k, k2), k = k1..k2-1 ("Bottom" "Forwards"), returned in c and s.
void remove_row_spike(const char* side,
                      const int& n,
                      const int& k1,
                      const int& k2,
                      double* c,
                      double* s,
                      double* a,
                      const int& lda,
                      int side_len);

// Column rotations of planes (k, k+1) on the reverse-triangular T (nrowt rows in an array of n
// columns; row i has its diagonal in column n+1-i and is zero to the left of it).
// "Create": applies the given rotations, k = k1..k2-1 forwards; the element each creates left
// of a diagonal (row n-k, column k) becomes that row's new diagonal and is also returned in
// s(k).  "Remove": T whose rows i = n-k2+1..n-k1 have one extra element in column n-i, left
// of the diagonal in column n+1-i (as left by deleting a row and moving the rows below it
// up): generates and applies the rotations, k = k2-1 down to k1, that zero them (row n-k by
// the rotation of plane k); they are returned in c and s (for companions: "Right" "Variable"
// "Backwards").  Nothing when
// min(n, nrowt, k1) < 1, k1 >= k2 or k2 > n.
void rotate_reverse_triangle(const char* job,
                             const int& n,
                             const int& nrowt,
                             const int& k1,
                             const int& k2,
                             double* c,
                             double* s,
                             double* t,
                             const int& ldt,
                             int job_len);

// ---- Householder reflections

// P = I - u u', u = (zeta, z), with P (alpha, x) = (beta, 0) for x(1..n) (stride incx):
// on exit alpha = beta and x = z.  zeta = 0 (P = I, nothing changed) when n <= 0 or
// ||x|| <= max(eps |alpha|, tol).
void generate_reflection(
    const int& n, double& alpha, double* x, const int& incx, const double& tol, double& zeta);

// ---- QR factorisation.  The reflections are held as by generate_reflection: reflection j is
// I - u u' on rows j..m with u = (zeta(j), A(j+1..m, j)); Q = P(1) P(2) ... so that Q'A = R.

// Householder QR of the m x n matrix A (R in the upper triangle).  PIVOT beginning "C": the
// pivot column at each step has the largest remaining column norm; otherwise the first
// column with a nonzero norm, then the largest ratio of remaining to original norm.
// perm(k) (integers) is the column interchanged with column k at step k.  zeta(1..n): the
// scalar factors (0 beyond min(m, n)); work: 2n reals.
void factor_qr_core(const char* pivot,
                    const int& m,
                    const int& n,
                    double* a,
                    const int& lda,
                    double* zeta,
                    int* perm,
                    double* work,
                    int pivot_len);

// Householder QR without interchanges through DGEQRF (its reflections converted to the form
// above), or unblocked when DGEQRF's workspace cannot be allocated.  zeta: n reals (0 beyond
// min(m, n)).
void factor_qr(const int& m, const int& n, double* a, const int& lda, double* zeta);

// B (m x k) := Q'B (TRANS beginning "C" or "T") or Q B (otherwise) with the reflections of the
// first n columns of A.  WHERE "Separate": scalar factors from zeta; otherwise from the
// diagonal of A.  work: k reals.
void apply_qr_reflections(const char* trans,
                          const char* where,
                          const int& m,
                          const int& n,
                          const int& k,
                          const double* a,
                          const int& lda,
                          const double* zeta,
                          double* b,
                          const int& ldb,
                          double* work,
                          int trans_len,
                          int where_len);

// Number of leading elements of x(1..n) (stride incx) with |x(i)| > tol max_{j<=i} |x(j)|;
// tol < 0 means the machine precision.  0 when n <= 0 or x(1) = 0.
int count_leading_significant(const int& n, const double* x, const int& incx, const double& tol);

// Largest and smallest |x(i)|, i = 1..n (stride incx); both 0 when n < 1.
void abs_range(const int& n, const double* x, const int& incx, double& xmax, double& xmin);

// ---- Upkeep of the upper-triangular factor R (n x n)

// Refactorises R with column interchanges.  The leading nfree x nfree block is factorised by
// factor_qr_core ("Column interchanges"); each interchange goes to kx (VarOrder) when unitq is
// true, else to the columns of Q (nfree x nfree), and to companion(1..nfree).  nrank: the rank
// found with tolerance 1/(real word 254); columns nrank+1..nfree keep only their diagonal,
// |R(1,1)|/(word 254), columns nfree+1..n only theirs (half the root of |R(1,1) R(rank,rank)|,
// 0 for rank 0, 1 for nfree = 0).  Real word 255 := ||R||_F.  rshared: the shared real words
// (1-based).  iwork: nfree integers; work: 3 nfree reals.
void refactor_r_with_interchanges(const Logical& unitq,
                                  const int& n,
                                  const int& nfree,
                                  const int& ldq,
                                  const int& ldr,
                                  int& nrank,
                                  int* kx,
                                  double* companion,
                                  double* r,
                                  double* q,
                                  int* iwork,
                                  double* work,
                                  double* rshared);

// Interchanges columns j1 and j2 of R and restores the triangle by row rotations, which are
// also applied to rows min(j1,j2)..max(j1,j2) of the companion C (ncolc columns; none when
// ncolc < 1).
void interchange_r_columns(const int& n,
                           const int& j1,
                           const int& j2,
                           const int& ldr,
                           const int& ncolc,
                           const int& ldc,
                           double* r,
                           double* c);

// R := Q (R + u v') upper triangular, u(1..g) (zero beyond g), v(1..n), g = min(nu, n); the
// rotations Q are also applied to rows 1..g of the companion C (ncolc columns).  Nothing when
// nu < 1.
void apply_rank_one_update(const int& n,
                           const int& nu,
                           const int& ldr,
                           const int& ncolc,
                           const int& ldc,
                           double* r,
                           const double* u,
                           const double* v,
                           double* c);

// ---- Largest value

// k := the storage position of the first largest element (by value) of x(1..n) (stride incx,
// a negative stride scanning from the far end), r := its value.  n < 1 gives k = 0, r = 0;
// incx = 0 gives the same and the argument report of GRAVMZ, which stops the program.
void BLAS_DMAX_VAL(const int& n, const double* x, const int& incx, int& k, double& r);
// The same, forwarded.
void find_max_value(const int& n, const double* x, const int& incx, int& k, double& r);

// Argument report: writes "** On entry to <srname>, parameter number <-info>" and "** had the
// illegal value of <value>" (info < 0) or "** Unknown error code <info> raised by routine
// <srname>" on standard output, then stops the program (non-zero exit status).
[[noreturn]] void GRAVMZ(const char* srname, const int& info, const int& value, int srname_len);

// The name/value table (20 entries of 80-character names and values).  Operation 1 sets the
// value of the last entry named `name` (or appends one while there is room); any other gets it
// (a blank when there is none).
void access_name_table(
    const int& operation, const char* name, char* value, int name_len, int value_len);
void get_table_value(const char* name, char* value, int name_len, int value_len);
void set_table_value(const char* name, const char* value, int name_len, int value_len);

}  // namespace zun
