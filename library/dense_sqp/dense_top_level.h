// The body of DNNLPF: a fresh solve's set-up, checks and derivative phase, the resumption of
// the stage that issued the last request, and the exit.
#pragma once

#include <string_view>

#include "library/dense_sqp/dense_problem.h"
#include "library/dense_sqp/dense_store.h"
#include "library/support/option_store.h"

namespace zun {

// One call of the solver with the caller's arguments and the program's option store.
// ROUTINE names the solver in the messages.
void solve_dense_nlp(DenseProblem& p, DenseStoreView store, std::string_view routine);

// Variables and linear rows: the point put inside its bounds and the start states of ISTATE
// (cold or warm start), candidates of the working set as room allows.  X: the current point;
// returns the number of fixed variables plus candidate rows.
int set_initial_point_status(const DenseProblem& p,
                             bool cold,
                             double bigbnd,
                             double crash_tolerance,
                             Words<double> x);

// Nonlinear rows: start states from their values C (cold start: 3 for equal bounds, else 0,
// then rows near a bound put on it, nearest first, within the crash tolerance), candidates of
// the working set while ROOM (places left of N) lasts.  Returns the room left.
int set_nonlinear_start_status(const DenseProblem& p,
                               bool cold,
                               int room,
                               double bigbnd,
                               double crash_tolerance,
                               Words<const double> c);

// Modes of transform_hessian_factor (those of apply_tq_factor for the whole basis).
constexpr int kBasisToNatural = 3;
constexpr int kNaturalToBasis = 6;

// R (N x N, leading dimension LDR) taken between the natural variables and the basis of a
// working set (kx, and Q with unitq, nfree; see the QP/LS solver's working set): each row is
// multiplied by the basis (kBasisToNatural: R holds the factor in the basis on entry and in the
// natural variables on return; kNaturalToBasis the other way) and the result refactorised by a
// Householder QR, so that R'R on return is the same approximation in the other variables.
// work: 2N reals.
void transform_hessian_factor(int mode,
                              int n,
                              int nfree,
                              int ldq,
                              const Logical& unitq,
                              const int* kx,
                              const double* q,
                              ColumnMajorView<double> r,
                              double* work);

}  // namespace zun
