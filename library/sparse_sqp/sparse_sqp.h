// Public entries of the sparse SQP solver: the option setter SPKEYF and the solver SPNLPF,
// with the contract of the two user routines that SPNLPF calls back.
#pragma once

namespace zun {

// confun(MODE, NCNLN, NJNLN, NGCON, XNL, fCon, gCon, FIRSTCALL, IUSR, RUSR).
// MODE in: 0 values, 1 derivatives, 2 both; out: unchanged or >= 0 to go on, -1 when the
// functions cannot be evaluated at XNL, <= -2 to stop the solve.  XNL(1..NJNLN) the leading
// variables; fCon(1..NCNLN) values; gCon(1..NGCON) the nonlinear Jacobian elements in column
// order.  FIRSTCALL: 1 on the first call, 0 later, >= 2 on the final evaluation.
using ConstraintRoutine = void (*)(int& mode,
                                   const int& ncnln,
                                   const int& njnln,
                                   const int& ngcon,
                                   const double* xnl,
                                   double* fcon,
                                   double* gcon,
                                   const int& firstcall,
                                   int* iusr,
                                   double* rusr);

// objfun(MODE, NONLN, XNL, fObj, gObj, FIRSTCALL, IUSR, RUSR): the same rules, with
// XNL(1..NONLN), one objective value fObj and its gradient gObj(1..NONLN).
using ObjectiveRoutine = void (*)(int& mode,
                                  const int& nonln,
                                  const double* xnl,
                                  double& fobj,
                                  double* gobj,
                                  const int& firstcall,
                                  int* iusr,
                                  double* rusr);

// Applies one option line (line_len characters) to the program's option store.
void SPKEYF(const char* line, int line_len);

// Solves one sparse nonlinear program.  Arrays are 1-based in meaning (HA, KA hold 1-based
// row numbers and column starts); bounds, states, values and multipliers run over the N
// columns and then the M rows.  IFAIL: failure mode in, exit code out.
void SPNLPF(ConstraintRoutine confun,
            ObjectiveRoutine objfun,
            const int& n,
            const int& m,
            const int& ncnln,
            const int& nonln,
            const int& njnln,
            const int& iobj,
            const int& nnz,
            const double* aval,
            const int* ha,
            const int* ka,
            const double* bl,
            const double* bu,
            const char* start,
            const int& nname,
            const char* namev,
            int& nsb,
            double* xv,
            int* istate,
            double* mult,
            int& neediz,
            int& needz,
            int& ninfs,
            double& suminf,
            double& objv,
            int* iz,
            const int& leniz,
            double* z,
            const int& lenz,
            int* iusr,
            double* rusr,
            int& ifail,
            int start_len,
            int namev_len);

}  // namespace zun
