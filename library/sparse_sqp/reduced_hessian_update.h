// The change of the reduced-Hessian factor R (R'R = Z'HZ over the superbasics) that follows an
// accepted BFGS update of H when only linear constraints are present, made in the null space
// instead of building Z'HZ again.
#pragma once

#include "library/sparse_qp/sparse_qp.h"

namespace zun {

// The dense kernel.  With w = zhp / sqrt(php) and v = zy / sqrt(apy), R (packed upper triangle
// of order ns) becomes a factor of scale R'R - w w' + v v': first R := sqrt(scale) R, then the
// rank-one update with v and the rank-one downdate with w, each by one triangular solve and the
// plane rotations of `rotate_r_factor`.  The diagonal of the result is positive.  Returns false,
// with R unchanged, when R has a diagonal entry near 0 (at most 1e-8 times the largest), a quantity
// is not finite or the downdate would lose positive definiteness; the caller then builds the factor
// afresh.  work: 3 ns reals.
bool update_reduced_factor(int ns,
                           double scale,
                           double apy,
                           double php,
                           const double* zy,
                           const double* zhp,
                           double* r,
                           double* work);

// The reduced vector Z'v = v_S - S'B'^-1 v_B for the superbasics BsIndex(m+1..m+ns) of the
// current basis factors, v (nnl) holding the nonlinear variables (0 beyond nnl).  out: ns reals;
// work: 2 m reals.  Returns false when the basis solve reports trouble.
bool reduce_to_superbasics(int m,
                           int n,
                           int ns,
                           int nnl,
                           const int* bs_index,
                           const ColumnMatrix& a,
                           const double* v,
                           double* out,
                           double* work,
                           int* iz,
                           double* z);

// After an accepted update H+ = H - Hp p'H / p'Hp + y y' / (alpha p'y) (H first scaled by scale
// when this was the first update after a reset; hp and php already carry that scale), R :=
// a factor of Z'H+Z.  Returns false, with R unchanged, when the factor must be built again.
bool update_reduced_hessian(int m,
                            int n,
                            int ns,
                            int nnl,
                            const int* bs_index,
                            const ColumnMatrix& a,
                            double scale,
                            double apy,
                            double php,
                            const double* y,
                            const double* hp,
                            double* r,
                            int* iz,
                            double* z);

}  // namespace zun
