// Public entries of the dense SQP solver: the option setter DNKEYF and the reverse-
// communication solver DNNLPF.  All arguments by reference, arrays 1-based, matrices stored by
// columns; character lengths follow the other arguments.
#pragma once

#include <cstdint>

namespace zun {

// Request codes of DNNLPF in IREVCM.
namespace request {
constexpr int kDone = 0;             // first call of a solve, and the final return
constexpr int kObjective = 1;        // set OBJV
constexpr int kGradient = 2;         // set OBJG
constexpr int kObjectiveBoth = 3;    // set OBJV and OBJG
constexpr int kConstraints = 4;      // set C(k) where NEEDROW(k) > 0
constexpr int kJacobian = 5;         // set row k of JACNL where NEEDROW(k) > 0
constexpr int kConstraintsBoth = 6;  // both of the above
}  // namespace request

// Exit codes of DNNLPF in IFAIL (a negative code is the caller's stop value).
namespace dense_exit {
constexpr int kOptimal = 0;
constexpr int kAccuracyNotAchieved = 1;
constexpr int kLinearInfeasible = 2;
constexpr int kNonlinearInfeasible = 3;
constexpr int kMajorLimit = 4;
constexpr int kCannotImprove = 6;
constexpr int kDerivativeErrors = 7;
constexpr int kInputErrors = 9;
}  // namespace dense_exit

// The infinite bound size unless an option line sets another: bounds at or beyond it in
// magnitude are absent.
constexpr double kDefaultInfiniteBound = 9.9999e19;

// Applies one option line LINE (line_len characters).
void DNKEYF(const char* line, int line_len);

// Solves the problem by reverse communication: see the request codes above.
void DNNLPF(int& irevcm,
            const int& n,
            const int& nclin,
            const int& ncnln,
            const int& lda,
            const int& ldcj,
            const int& ldr,
            const double* a,
            const double* bl,
            const double* bu,
            int& niter,
            int* istate,
            double* c,
            double* jacnl,
            double* mult,
            double& objv,
            double* objg,
            double* r,
            double* x,
            int* needrow,
            int* iwork,
            const int& leniw,
            double* work,
            const int& lenw,
            int& ifail);

// The workspace lengths DNNLPF needs (64-bit; the caller refuses lengths beyond 32 bits).
struct DenseWorkspaceNeed {
  std::int64_t integers;
  std::int64_t reals;
};
DenseWorkspaceNeed dense_workspace_need(int n, int nclin, int ncnln);

}  // namespace zun
