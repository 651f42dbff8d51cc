// Public entries of the dense QP/LS solver: solve_ls_qp, its exit codes, the layout of its
// work area and the multipliers at a stationary point.
//
// The problem: minimise  ctx + 0.5 (rho^2 + ||res0 - R x_Q||^2)  (rows 1..nrank of R, x_Q the
// variables in the working set's basis, see working_set.h) subject to
//   bl(j) <= x(j) <= bu(j), j = 1..n,   bl(n+k) <= A(k,:) x <= bu(n+k), k = 1..nclin,
// with ctx = c_Q'x_Q when a linear term is given.  Problem type "FP" only looks for a point
// that satisfies the constraints within their feasibility tolerances featol(1..nctotl).
//
// Status codes istate(1..nctotl): -2 below bl beyond its tolerance, -1 above bu, 0 not in the
// working set, 1 at bl, 2 at bu, 3 equality, 4 fixed temporarily.
//
// The work area `w` (length ls_qp_work_length(n, nclin), see LsQpWorkLayout) holds:
//   kept between calls and read on entry:  T and Q (the working set's factors; Q is read
//     only when unitq is false), the linear term c_Q (with linobj) and the initial residual
//     res0 (with nrank >= 1);
//   written:  the gradient g_Q and the residual at the final point, the phase-1 weights (1.0
//     each), the row norms of A; everything else is scratch.
// With istate, kactiv, kx, unitq, nactiv, nfree and nz the caller's T and Q must describe one
// working set (as built by add_initial_working_set and fix_bound_variables).  On entry x is
// moved onto that working set.
#pragma once

#include <cmath>
#include <cstdint>

#include "library/support/option_store.h"

namespace zun {

// Exit codes of solve_ls_qp.
enum class LsQpExit : int {
  kOptimal = 0,        // stationary, feasible, no constraint to delete ("FP": feasible)
  kWeakMinimum = 1,    // as 0 with a zero multiplier or a singular reduced Hessian
  kUnbounded = 2,      // the step reached the largest step with the constraints satisfied
  kInfeasible = 3,     // no feasible point found, or x could not be kept on the working set
  kIterationLimit = 4,
  kNegligibleSteps = 5,  // 51 consecutive negligible steps
};

// The dependency limit that the callers hand to add_initial_working_set: 1 / eps^0.9, so that
// numerically dependent candidates (duplicated or redundant rows) are rejected.
inline const double kInitialDependencyLimit = 1.0 / std::pow(std::ldexp(1.0, -53), 0.9);

// Positions (1-based words of w) of the parts of the work area for n variables and nclin rows.
struct LsQpWorkLayout {
  int ldt = 1;            // leading dimension of T: max(1, min(n, nclin))
  int ldq = 1;            // leading dimension of Q: max(1, n)
  std::int64_t t = 1;     // T, ldt x n
  std::int64_t q = 1;     // Q, ldq x n
  std::int64_t gq = 1;    // gradient g_Q (n), then the linear term c_Q (n)
  std::int64_t res = 1;   // residual (n), then the initial residual res0 (n)
  std::int64_t wtinf = 1; // phase-1 weights (n + nclin)
  std::int64_t rownorm = 1;  // ||A(k,:)|| (nclin)
  std::int64_t pq = 1;    // direction in the basis (n)
  std::int64_t p = 1;     // direction in natural order (n)
  std::int64_t ap = 1;    // A p (nclin)
  std::int64_t scratch = 1;  // 3n reals
  std::int64_t length = 0;   // total words

  static LsQpWorkLayout plan(int n, int nclin);
};

// Length of the work area of solve_ls_qp.
std::int64_t ls_qp_work_length(const int& n, const int& nclin);

// The active-set QP/LS solver.  Arguments (1-based arrays):
//   prbtyp      problem type, its first two characters compared ("FP" or, e.g., "QP")
//   named, names  whether names are given, and the variable names (8 characters each; kept for
//               the printers, not used by the solution table)
//   linobj      the objective has the linear term c_Q (second gradient column of w)
//   unitq, nactiv, nfree, nz, kactiv, kx   the working set (in/out)
//   inform      out: LsQpExit
//   iter        out: minor iterations
//   jinf        in phase 1 only constraints numbered above jinf may be released (0 for "FP")
//   nrank       rank of R;  nzr out: dimension of the reduced Hessian
//   ctx, obj    out: c'x and 0.5 (rho^2 + ||res||^2);  rho = ssq1
//   suminf, numinf  out: weighted sum and number of infeasibilities
//   xnorm       out: ||x||
//   bl, bu, featol  bounds and feasibility tolerances (nctotl);  a: nclin x n (lda)
//   clamda      out: multipliers (nctotl), unscaled, zero outside the working set
//   ax          out: A x
//   r           R (ldr x n), kept consistent with the working set;  x in/out
//   w           the work area;  iw, rw  the dense option store's integer and real words
void solve_ls_qp(const char* prbtyp,
                 const Logical& named,
                 const char* names,
                 const Logical& linobj,
                 Logical& unitq,
                 int& inform,
                 int& iter,
                 const int& jinf,
                 const int& nclin,
                 const int& nctotl,
                 int& nactiv,
                 int& nfree,
                 const int& nrank,
                 int& nz,
                 int& nzr,
                 const int& n,
                 const int& lda,
                 const int& ldr,
                 int* istate,
                 int* kactiv,
                 int* kx,
                 double& ctx,
                 double& obj,
                 const double& ssq1,
                 double& suminf,
                 int& numinf,
                 double& xnorm,
                 const double* bl,
                 const double* bu,
                 const double* a,
                 double* clamda,
                 double* ax,
                 const double* featol,
                 double* r,
                 double* x,
                 double* w,
                 const int* iw,
                 double* rw,
                 int prbtyp_len,
                 int names_len);

// Multipliers at a stationary point, unscaled, in constraint numbering (zero outside the
// working set): general rows from T'lambda = the Y part of gq, fixed variables from the
// gradient less the rows' contributions.  gq: the gradient in the basis (n).  The choices are
// made on the multipliers scaled by their row norms (1 for a bound) with the sign of their
// status, against gtol:
//   jdel, kdel  the constraint to delete (smallest scaled multiplier below -gtol; equalities
//               never), kdel its place in kactiv; an artificial constraint (the null-space
//               direction i = nzr+1..nz, multiplier -|gq(i)|) is returned as jdel = -i;
//               0 when there is none;
//   jsmall      a constraint with a multiplier in [-gtol, gtol) (0 when none);
//   jbig, kbig  with ninf > 0: the constraint numbered above jinf whose multiplier (unscaled,
//               with the sign of its status) over its phase-1 weight is largest, above
//               1 + gtol (0 when none).
// clamda: nctotl; work: nactiv reals.
void compute_qp_multipliers(const int& n,
                            const int& nclin,
                            const int& nactiv,
                            const int& nfree,
                            const int& nz,
                            const int& nzr,
                            const int& ldt,
                            const int& lda,
                            const int& ninf,
                            const int& jinf,
                            const double& gtol,
                            const int* istate,
                            const int* kactiv,
                            const int* kx,
                            const double* a,
                            const double* gq,
                            const double* t,
                            const double* rownorm,
                            const double* wtinf,
                            double* clamda,
                            int& jdel,
                            int& kdel,
                            int& jsmall,
                            int& jbig,
                            int& kbig,
                            double* work);

}  // namespace zun
