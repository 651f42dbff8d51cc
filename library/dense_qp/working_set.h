// Public entries of the working set of the dense QP/LS solver and its TQ factorisation.
//
// The working set holds the general rows and the bounds that are active.  Its state, which the
// caller keeps between calls:
//   unitq    Q is the identity (VarOrder alone orders the variables); cleared by the first
//            general row added.
//   nactiv   NumActive, general rows in the working set (rows of T);
//   nfree    NumFree, free variables (order of Q);  nz = NullDim = nfree - nactiv.
//   nrank    rank of R (rows 1..nrank of R are the objective's factor).
//   kactiv   ActiveList(1..nactiv): the row numbers (1..nclin) of the working rows in T's order.
//   kx       VarOrder(1..n): the variables, the nfree free ones first.
//   Q        ldq x n array, its leading nfree x nfree block orthogonal: x_F = Q x_Q for the
//            free variables x_F in VarOrder order.  Q = (Z Y), Z its first nz columns.
//   T        ldt x n array: the working rows restricted to the free variables satisfy
//            A_F Q = (0 T), T in columns nz+1..nfree, reverse-triangular: row i is zero left
//            of its diagonal T(i, nfree+1-i).
//   R        ldr x n upper triangle, columns in the basis (Q for the free part, VarOrder places
//            for the fixed part); the objective's Hessian in natural coordinates is
//            Qf R'R Qf', Qf = P diag(Q, I).
// Companions kept with every change: gq (ngq columns of n reals, ld n: the gradient in the
// basis and, as a second column, the linear term) and res (nres columns of n reals, ld n: the
// residual and the initial residual, rows 1..nrank).
// Shared areas: iw and rw are the dense option store's integer and real words (1-based); the
// words used are those of qp_shared_words.h (print file 317; real 250..253).
//
// All arrays are 1-based in meaning and column-major; arguments are by reference.
#pragma once

#include "library/support/option_store.h"

namespace zun {

// Products with the basis.  Modes 1-3 take v in the basis (free part first, then the fixed
// variables) and return it in natural order: 1 Z w (fixed variables 0), 2 Y w and 3 Q w (fixed
// part copied).  Modes 4-8 take v in natural order and overwrite the entries named: 4 Z'v into
// 1..nz; 5 and 7 Y'v into nz+1..nfree; 6 and 8 Q'v into 1..nfree; modes 5 and 6 also copy the
// fixed variables' values into nfree+1..n; other entries are left as they were.  work: n reals.
void apply_tq_factor(const int& mode,
                     const int& n,
                     const int& nz,
                     const int& nfree,
                     const int& ldq,
                     const Logical& unitq,
                     const int* kx,
                     double* v,
                     const double* q,
                     double* work);

// Solves with the nactiv x nactiv block M of T that starts at t (column nz+1 of the T array):
// mode 1 M y = b, any other mode M'y = b; b(1..nactiv) is overwritten by y, y(i) belonging to
// working row i (mode 2) or to column i of the block (mode 1).
void solve_with_t(const int& mode, const int& ldt, const int& nactiv, const double* t, double* b);

// Adds constraint jadd: a bound (jadd <= n, its variable at place ifix of VarOrder) or the
// general row iadd = jadd - n.  inform 0: added; 1: a general row found dependent (condition
// estimate of T above condmx, or a failed division; nothing changed) or a bound after which T's
// estimate reaches condmx (the change stands).  The caller then counts nz - 1 and either
// nactiv + 1 (and appends iadd to kactiv) or nfree - 1.  w: n reals of work.  msglvl > 0
// prints the ill-conditioning warning on the print file.
void add_to_working_set(Logical& unitq,
                        int& inform,
                        const int& ifix,
                        const int& iadd,
                        const int& jadd,
                        const int& nactiv,
                        const int& nz,
                        const int& nfree,
                        const int& nrank,
                        const int& nres,
                        const int& ngq,
                        const int& n,
                        const int& lda,
                        const int& ldq,
                        const int& ldr,
                        const int& ldt,
                        int* kx,
                        const double& condmx,
                        const double* a,
                        double* r,
                        double* t,
                        double* res,
                        double* gq,
                        double* q,
                        double* w,
                        const int& msglvl,
                        const int* iw,
                        double* rw);

// Removes constraint jdel: a general row (jdel > n) at place kdel of kactiv, a bound
// (1 <= jdel <= n; its variable is found among the fixed places of VarOrder, kdel is not
// used), or the artificial constraint -jdel (jdel <= 0, a null-space direction beyond nzr).
// Updates nactiv, nfree, nz and the factors, then swaps the entering null-space direction
// (-jdel, or the one of largest |gq| among nzr+1..nz) into place nzr+1 and counts nzr + 1.
void delete_from_working_set(Logical& unitq,
                             const int& n,
                             int& nactiv,
                             int& nfree,
                             const int& nres,
                             const int& ngq,
                             int& nz,
                             int& nzr,
                             const int& lda,
                             const int& ldq,
                             const int& ldr,
                             const int& ldt,
                             const int& nrank,
                             const int& jdel,
                             const int& kdel,
                             int* kactiv,
                             int* kx,
                             const double* a,
                             double* res,
                             double* r,
                             double* t,
                             double* gq,
                             double* q,
                             double* rw);

// Builds the working set from the candidate rows kactiv(k1..k2) (row numbers), added in list
// order while nactiv < nfree.  A dependent candidate, and one for which no room is left, gets
// status 0 and its list entry negated; the list is then compacted (accepted entries first, in
// order).  nrejtd := k2 - nactiv.  With bit 0 of ioption, nz more variables are then fixed
// (status 4), counted in nartif.  inform: 0.  w: n reals.
void add_initial_working_set(Logical& unitq,
                             const int& ioption,
                             int& inform,
                             const int& k1,
                             const int& k2,
                             int& nactiv,
                             int& nartif,
                             int& nz,
                             int& nfree,
                             const int& nrank,
                             int& nrejtd,
                             const int& nres,
                             const int& ngq,
                             const int& n,
                             const int& lda,
                             const int& ldq,
                             const int& ldr,
                             const int& ldt,
                             int* istate,
                             int* kactiv,
                             int* kx,
                             const double& condmx,
                             const double* a,
                             double* r,
                             double* t,
                             double* res,
                             double* gq,
                             double* q,
                             double* w,
                             const int& msglvl,
                             const int* iw,
                             double* rw);

// Moves the variables whose status istate(j) > 0 (j = 1..n) out of the free set before any
// general row is in the working set (unit Q), R's columns and the gradient rows following.
// With 0 < nrank < n each one, from the last variable down, leaves as a bound does (the free
// variables keep their order); otherwise each free place that holds one swaps with the next
// later place that holds a free variable.  nfree := the number of free variables,
// nz := nfree.  inform: 0.
void fix_bound_variables(const Logical& unitq,
                         int& inform,
                         int& nz,
                         int& nfree,
                         const int& nrank,
                         const int& nres,
                         const int& ngq,
                         const int& n,
                         const int& ldr,
                         const int* istate,
                         int* kx,
                         double* r,
                         double* res,
                         double* gq);

// Puts the fixed variables on their bounds (status 2 and 3 on bu, 4 stays, others bl) and
// moves x onto the working rows (at most 5 corrections through T); recomputes ax, xnorm, and
// with nrank >= 1 or a linear term Q'x, ctx = cq'(Q'x) and res(1..nrank) = res0 - R (Q'x).
// rowerr: true when a working row is still off its bound by more than its feasibility
// tolerance; jmax (its constraint number) and errmax: the largest working-row residual.
// work: 2n reals.
void move_onto_working_set(const Logical& linobj,
                           Logical& rowerr,
                           const Logical& unitq,
                           const int& nclin,
                           const int& nactiv,
                           const int& nfree,
                           const int& nrank,
                           const int& nz,
                           const int& n,
                           const int& lda,
                           const int& ldq,
                           const int& ldr,
                           const int& ldt,
                           const int* istate,
                           const int* kactiv,
                           const int* kx,
                           int& jmax,
                           double& errmax,
                           double& ctx,
                           double& xnorm,
                           const double* a,
                           double* ax,
                           const double* bl,
                           const double* bu,
                           const double* cq,
                           double* res,
                           const double* res0,
                           const double* featol,
                           const double* r,
                           const double* t,
                           double* x,
                           const double* q,
                           double* work);

// The range-space part p (natural order) of a step from x that satisfies the working set:
// fixed variables move to their bound (status 4: 0), the working rows reach theirs through T;
// ap := A p.  work: 2n reals.
void compute_range_space_step(const Logical& unitq,
                              const int& n,
                              const int& nclin,
                              const int& nactiv,
                              const int& nfree,
                              const int& nz,
                              const int& lda,
                              const int& ldq,
                              const int& ldt,
                              const int* istate,
                              const int* kactiv,
                              const int* kx,
                              const double* a,
                              const double* ax,
                              const double* bl,
                              const double* bu,
                              const double* x,
                              const double* t,
                              const double* q,
                              double* p,
                              double* ap,
                              double* work);

}  // namespace zun
