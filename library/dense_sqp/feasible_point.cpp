// The FP problem of the dense solver and the set-up it stands on.
#include "library/dense_sqp/feasible_point.h"

#include <cmath>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/ls_qp.h"
#include "library/dense_qp/working_set.h"
#include "library/dense_sqp/dense_top_level.h"
#include "library/support/machine.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;

constexpr int kColdStart = 0;
// The QP/LS work area keeps two gradient and two residual columns.
constexpr int kGradientColumns = 2;
constexpr int kResidualColumns = 2;
constexpr char kNoNames[] = "        ";
constexpr int kNameLength = 8;
constexpr char kProblemType[] = "FP";
constexpr int kProblemTypeLength = 2;
constexpr double kFrobeniusFactor = 100.0;

// The first estimates of the method: R, the nonlinear multipliers and the penalty words.
void start_estimates(DenseRun& run, bool cold) {
  const DenseProblem& p = run.p;
  if (cold) {
    for (int j = 1; j <= p.n; ++j) {
      for (int i = 1; i <= p.n; ++i) p.r(i, j) = i == j ? 1.0 : 0.0;
    }
    run.s.r(rw::kRFrobeniusNorm) = std::sqrt(static_cast<double>(p.n));
  }
  Words<double> multipliers = run.array(dense_array::kNonlinearMultipliers);
  Words<double> penalties = run.array(dense_array::kPenalties);
  for (int k = 1; k <= p.ncnln; ++k) {
    multipliers(k) = cold ? 0.0 : p.mult(p.n + p.nclin + k);
    penalties(k) = 0.0;
  }
  run.s.r(rw::kPenaltyNorm) = 0.0;
  run.s.r(rw::kDamping) = 1.0;
  run.s.r(rw::kMeritScale) = 1.0;
}

// Without general rows the bounds alone are the constraints: the point put inside them is
// feasible and every multiplier is zero.
int bounds_only(DenseRun& run) {
  Words<double> clamda = run.array(dense_array::kQpMultipliers);
  for (int j = 1; j <= run.p.total(); ++j) clamda(j) = 0.0;
  run.s.r(rw::kFpSumInfeasibilities) = 0.0;
  return static_cast<int>(LsQpExit::kOptimal);
}

// A warm start's Hessian factor: refactorised with column interchanges when it is too
// ill-conditioned or too large for its diagonal.  (unitq, nfree, ldq, q): the working set's
// basis after the FP problem.
void check_initial_hessian(DenseRun& run, const Logical& unitq, int nfree, int ldq, double* q) {
  const DenseProblem& p = run.p;
  double sum = 0.0;
  for (int j = 1; j <= p.n; ++j) {
    for (int i = 1; i <= j; ++i) sum += p.r(i, j) * p.r(i, j);
  }
  const double frobenius = std::sqrt(sum);
  double dmax = 0.0, dmin = 0.0;
  const int diagonal_stride = p.ldr + 1;
  abs_range(p.n, p.r.at(1, 1), diagonal_stride, dmax, dmin);
  int fail = 0;
  const double condition = safe_divide(dmax, dmin, fail);
  if (!(condition > run.s.r(rw::kRootConditionLimit) ||
        frobenius > kFrobeniusFactor * std::sqrt(static_cast<double>(p.n)) * dmax)) {
    return;
  }
  if (run.major_print() > 0) {
    write_record(run.print_file(), " XXX  Bad initial Hessian,   R  refactorized.");
  }
  std::vector<double> companion(p.n, 0.0);
  std::vector<double> work(3 * static_cast<std::size_t>(p.n), 0.0);
  std::vector<int> iwork(p.n, 0);
  int nrank = 0;
  refactor_r_with_interchanges(unitq, p.n, nfree, ldq, p.ldr, nrank,
                               run.integer_array(dense_array::kVariableOrder).at(1),
                               companion.data(), p.r.at(1, 1), q, iwork.data(), work.data(),
                               run.s.r.at(1));
}

}  // namespace

int solve_feasible_point(DenseRun& run) {
  DenseProblem& p = run.p;
  DenseStoreView s = run.s;
  const bool cold = s.i(iw::kStart) == kColdStart;
  set_initial_point_status(p, cold, s.r(rw::kInfiniteBound), s.r(rw::kCrashTolerance),
                           Words<double>(&run.x(1)));
  Words<int> kx = run.integer_array(dense_array::kVariableOrder);
  for (int j = 1; j <= p.n; ++j) kx(j) = j;
  start_estimates(run, cold);
  if (p.nclin == 0) {
    double no_q = 0.0;
    if (!cold) check_initial_hessian(run, kTrue, p.n, 1, &no_q);
    return bounds_only(run);
  }

  const LsQpWorkLayout lay = LsQpWorkLayout::plan(p.n, p.nclin);
  double* w = p.work.at(s.i(dense_array::kQpWorkArea));
  Words<int> kactiv = run.integer_array(dense_array::kActiveSet);
  Logical unitq = kTrue;
  int inform = 0, nactiv = 0, nfree = p.n, nz = p.n, nzr = 0;
  const int nrank = 0;
  fix_bound_variables(unitq, inform, nz, nfree, nrank, kResidualColumns, kGradientColumns, p.n,
                      p.ldr, p.istate.at(1), kx.at(1), p.r.at(1, 1), w + lay.res - 1,
                      w + lay.gq - 1);
  int candidates = 0;
  for (int k = 1; k <= p.nclin; ++k) {
    if (p.istate(p.n + k) > 0) kactiv(++candidates) = k;
  }
  if (candidates > 0) {
    int nartif = 0, nrejtd = 0;
    constexpr int kNoArtificials = 0;
    constexpr int kQuiet = 0;
    add_initial_working_set(unitq, kNoArtificials, inform, 1, candidates, nactiv, nartif, nz,
                            nfree, nrank, nrejtd, kResidualColumns, kGradientColumns, p.n, p.lda,
                            lay.ldq, p.ldr, lay.ldt, p.istate.at(1), kactiv.at(1), kx.at(1),
                            kInitialDependencyLimit, p.a.at(1, 1), p.r.at(1, 1), w + lay.t - 1,
                            w + lay.res - 1, w + lay.gq - 1, w + lay.q - 1,
                            w + lay.scratch - 1, kQuiet, s.i.at(1), s.r.at(1));
  }
  int iterations = 0, numinf = 0;
  const int nctotl = p.n + p.nclin;
  const int no_release = 0;
  const double no_residual = 0.0;
  double ctx = 0.0, obj = 0.0, suminf = 0.0, xnorm = 0.0;
  solve_ls_qp(kProblemType, kFalse, kNoNames, kFalse, unitq, inform, iterations, no_release,
              p.nclin, nctotl, nactiv, nfree, nrank, nz, nzr, p.n, p.lda, p.ldr, p.istate.at(1),
              kactiv.at(1), kx.at(1), ctx, obj, no_residual, suminf, numinf, xnorm, p.bl.at(1),
              p.bu.at(1), p.a.at(1, 1), run.array(dense_array::kQpMultipliers).at(1),
              p.work.at(run.tail.linear_values), run.array(dense_array::kFeasibilityTolerances).at(1),
              p.r.at(1, 1), &run.x(1), w, s.i.at(1), s.r.at(1), kProblemTypeLength, kNameLength);
  s.r(rw::kFpSumInfeasibilities) = suminf;
  if (!cold && inform <= static_cast<int>(LsQpExit::kWeakMinimum)) {
    check_initial_hessian(run, unitq, nfree, lay.ldq, w + lay.q - 1);
  }
  return inform;
}

}  // namespace zun
