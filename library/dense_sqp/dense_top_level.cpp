// The body of the dense solver: fresh start, resumption and exit.
#include "library/dense_sqp/dense_top_level.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/dense_sqp/dense_exit_messages.h"
#include "library/dense_sqp/dense_input_checks.h"
#include "library/dense_sqp/dense_option_reader.h"
#include "library/dense_sqp/dense_options.h"
#include "library/dense_sqp/dense_run.h"
#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/derivative_phase.h"
#include "library/dense_sqp/feasible_point.h"
#include "library/dense_sqp/major_iterations.h"
#include "library/dense_sqp/qp_subproblem.h"
#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/ls_qp.h"
#include "library/dense_qp/working_set.h"
#include "library/platform/format.h"
#include "library/support/blas_lapack.h"
#include "library/support/failure.h"
#include "library/support/machine.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;
namespace ex = dense_exit;

constexpr int kRecordLength = 80;
constexpr int kValueWidth = 16;
constexpr int kFirstVerifyStage = 10;
constexpr int kRoutineNameLength = 6;
constexpr double kUnmovedFactor = 10.0;

enum BodyState { kFresh = 0, kFirstPhase = 1, kSecondPhase = 2, kMajorNoNonlinear = 3, kMajorNonlinear = 4 };
enum State { kFree = 0, kAtLower = 1, kAtUpper = 2, kEqual = 3 };
enum Start { kCold = 0, kWarm = 1, kHot = 2 };

void emit(int unit, const std::string& text) { write_record(unit, text); }

void set_constants(const DenseProblem& p, DenseStoreView s) {
  const double eps = machine_precision();
  s.r(rw::kEps) = eps;
  s.r(rw::kEpsPow033) = std::pow(eps, 0.33);
  s.r(rw::kSqrtEps) = std::sqrt(eps);
  s.r(rw::kStationarityFactor) = std::pow(eps, 0.8);
  s.r(rw::kPivotFactor) = std::pow(eps, 0.9);
  s.r(rw::kInverseEps) = 1.0 / eps;
  s.r(rw::kRootN) = std::sqrt(static_cast<double>(std::max(p.n, 0)));
  advisory_unit(0, s.i(iw::kAdvisoryUnitCopy));
  error_unit(0, s.i(iw::kErrorUnitCopy));
}

void reset_state_words(DenseStoreView s) {
  s.i(iw::kBodyState) = kFresh;
  s.i(iw::kDerivativeState) = 0;
  s.i(iw::kMajorState) = 0;
}

// Copies back what the solve holds, prints the exit messages, restores the option sets and
// sets IFAIL through the failure convention.
void finish_solve(DenseProblem& p, DenseStoreView s, std::string_view routine, int code) {
  DenseExitSituation e;
  e.code = code;
  e.input_errors = s.i(iw::kInputErrors);
  e.fp_inform = s.i(iw::kFpInform);
  const bool has_tail = code != ex::kInputErrors;
  DenseRun run(p, s);
  if (has_tail) e.objective = run.f();
  e.sum_infeasibilities = s.r(rw::kFpSumInfeasibilities);
  print_dense_exit_message(e, routine, s);
  restore_qp_option_set(s);
  restore_np_option_set(s);
  // Derivatives and values exist once a derivative phase has taken them.
  const bool known = has_tail && s.i(iw::kDerivativesKnown) == 1;
  if (known && code < ex::kInputErrors) {
    const ColumnMajorView<double> jac = run.jac();
    for (int j = 1; j <= p.n; ++j) {
      for (int k = 1; k <= p.ncnln; ++k) p.jacnl(k, j) = jac(k, j);
      p.objg(j) = run.g(j);
    }
  }
  print_dense_error_message(e, s);
  // MULT: the last QP subproblem's multipliers with lambda for the nonlinear rows, or the FP
  // problem's when no QP subproblem was solved.
  if (e.fp_inform >= 0) {
    const Words<double> clamda = run.array(dense_array::kQpMultipliers);
    const int count = s.i(iw::kMajorRan) == 1 ? p.total() : p.n + p.nclin;
    for (int j = 1; j <= count; ++j) p.mult(j) = clamda(j);
  }
  if (has_tail && code >= ex::kOptimal && code <= ex::kCannotImprove) {
    for (int j = 1; j <= p.n; ++j) p.x(j) = run.x(j);
    if (known) {
      for (int k = 1; k <= p.ncnln; ++k) p.c(k) = run.c(k);
      p.objv = run.f();
    }
  }
  reset_state_words(s);
  p.irevcm = request::kDone;
  const std::string name = platform::format_a(routine, kRoutineNameLength);
  p.ifail = report_failure(s.i(iw::kIfailOnEntry), code, name.data(), 0, name.data(),
                           kRoutineNameLength, kRoutineNameLength);
}

void report_irevcm_error(const DenseProblem& p, DenseStoreView s) {
  s.i(iw::kInputErrors) = 1;
  if (!failure_mode_prints(s.i(iw::kIfailOnEntry))) return;
  const int unit = s.i(iw::kErrorUnitCopy);
  emit(unit, "");
  emit(unit, " ** On initial entry or intermediate re-entry, IREVCM.gt.6:");
  emit(unit, platform::Record(kRecordLength).text("    IREVCM = ").i(p.irevcm, kValueWidth).str());
}

// Feasibility tolerances of the bounds and rows (before the row scaling).
void set_feasibility_tolerances(DenseRun& run) {
  Words<double> featol = run.array(dense_array::kFeasibilityTolerances);
  const double linear = run.s.r(rw::kLinearFeasibility);
  const double nonlinear = std::max(run.s.r(rw::kNonlinearFeasibility), linear);
  for (int j = 1; j <= run.p.total(); ++j) {
    featol(j) = j <= run.p.n + run.p.nclin ? linear : nonlinear;
  }
}

double base_interval(const DenseStoreView s) {
  if (s.i(iw::kIntervalMode) == 1) return s.r(rw::kDifferenceInterval);
  return std::sqrt(s.r(rw::kFunctionPrecision));
}

// Each linear row's tolerance scaled by the row's own norm (0 counts as 1); the largest norm is
// the reference of the first dependency test.
void scale_row_tolerances(DenseRun& run) {
  const DenseProblem& p = run.p;
  Words<double> featol = run.array(dense_array::kFeasibilityTolerances);
  double largest = 0.0;
  for (int i = 1; i <= p.nclin; ++i) {
    const double norm = dnrm2_(&p.n, &p.a(i, 1), &p.lda);
    largest = std::max(largest, norm);
    featol(p.n + i) *= norm > 0.0 ? norm : 1.0;
  }
  run.s.r(rw::kReferenceRowNorm) = largest;
}

void resume_phase(DenseProblem& p, DenseStoreView s, std::string_view routine);

// Resumes the major iterations; on their end finishes the solve.
void resume_major_iterations(DenseProblem& p, DenseStoreView s, std::string_view routine) {
  DenseRun run(p, s);
  int code = 0;
  if (run_dense_major_iterations(run, code)) return;
  if (s.i(iw::kHessianOutput) == 0) express_hessian_in_qp_basis(run);
  finish_solve(p, s, routine, code);
}

void start_derivative_phase(DenseRun& run, BodyState body, int check_level) {
  run.s.i(iw::kCheckLevel) = check_level;
  run.s.i(iw::kDerivativeState) = 0;
  run.s.i(iw::kBodyState) = body;
}

// The set-up of a fresh solve up to the first derivative phase.  Returns false when the solve
// has ended.
bool set_up(DenseProblem& p, DenseStoreView s, std::string_view routine) {
  const int irevcm = p.irevcm;
  s.i(iw::kBodyState) = kFresh;
  s.i(iw::kIfailOnEntry) = p.ifail;
  s.i(iw::kFpInform) = -1;
  s.r(rw::kFpSumInfeasibilities) = 0.0;
  s.i(iw::kDerivativesKnown) = 0;
  s.i(iw::kObjectiveEvaluations) = 0;
  s.i(iw::kConstraintEvaluations) = 0;
  s.i(iw::kInputErrors) = 0;
  s.i(iw::kMajorRan) = 0;
  set_constants(p, s);
  finish_dense_options(p.n, p.nclin, p.ncnln, routine, irevcm, s);
  if (s.i(iw::kStart) != kHot) p.niter = 0;
  if (irevcm > request::kConstraintsBoth) {
    report_irevcm_error(p, s);
    finish_solve(p, s, routine, ex::kInputErrors);
    return false;
  }
  const int level = s.i(iw::kDerivativeLevel);
  const bool estimated = level == 0 || level == 2 || (level == 1 && p.ncnln > 0);
  s.i(iw::kDifferenceType) = estimated ? 1 : 0;
  const DenseNeed need = partition_dense_workspace(p.n, p.nclin, p.ncnln, s);
  if (check_dense_input(p, need, s) > 0) {
    finish_solve(p, s, routine, ex::kInputErrors);
    return false;
  }
  DenseRun run(p, s);
  for (int j = 1; j <= p.n; ++j) run.x(j) = p.x(j);
  s.r(rw::kInverseConditionLimit) = 1.0 / s.r(rw::kConditionLimit);
  s.r(rw::kRootConditionLimit) = std::sqrt(s.r(rw::kConditionLimit));
  set_feasibility_tolerances(run);
  s.r(rw::kBaseInterval) = base_interval(s);
  Words<double> start = run.array(dense_array::kStartPoint);
  for (int j = 1; j <= p.n; ++j) start(j) = run.x(j);
  constexpr int kUnitStride = 1;
  s.r(rw::kStartPointNorm) = dnrm2_(&p.n, &run.x(1), &kUnitStride);
  s.i(iw::kFirstDerivativePhase) = 1;
  return true;
}

// The start states of the nonlinear rows at the current point (their candidates enter the
// first QP subproblem's working set), then the major iterations.
void start_major_iterations(DenseProblem& p, DenseStoreView s, std::string_view routine) {
  DenseRun run(p, s);
  int used = 0;
  for (int j = 1; j <= p.n + p.nclin; ++j) used += p.istate(j) > 0 ? 1 : 0;
  set_nonlinear_start_status(p, s.i(iw::kStart) == kCold, std::max(p.n - used, 0),
                             s.r(rw::kInfiniteBound), s.r(rw::kCrashTolerance),
                             Words<const double>(&run.c(1)));
  s.i(iw::kBodyState) = p.ncnln > 0 ? kMajorNonlinear : kMajorNoNonlinear;
  s.i(iw::kMajorState) = 0;
  resume_major_iterations(p, s, routine);
}

// The derivative phase at the feasible point, unless the first phase already ran there.
void after_feasible_point(DenseProblem& p, DenseStoreView s, std::string_view routine) {
  DenseRun run(p, s);
  const Words<double> start = run.array(dense_array::kStartPoint);
  double moved = 0.0;
  for (int j = 1; j <= p.n; ++j) moved = std::hypot(moved, start(j) - run.x(j));
  const int verify = s.i(iw::kVerifyLevel);
  if (verify >= kFirstVerifyStage && moved <= kUnmovedFactor * s.r(rw::kEps)) {
    start_major_iterations(p, s, routine);
    return;
  }
  s.i(iw::kDerivativesKnown) = 0;
  start_derivative_phase(run, kSecondPhase, verify < kFirstVerifyStage ? verify : -1);
  resume_phase(p, s, routine);
}

// The linear feasible point: exit 2 when there is none.
void feasible_point_stage(DenseProblem& p, DenseStoreView s, std::string_view routine) {
  DenseRun run(p, s);
  scale_row_tolerances(run);
  const int inform = solve_feasible_point(run);
  s.i(iw::kFpInform) = inform;
  if (inform > static_cast<int>(LsQpExit::kWeakMinimum)) {
    finish_solve(p, s, routine, ex::kLinearInfeasible);
    return;
  }
  if (s.i(iw::kMinorPrintLevel) > 0) {
    emit(s.i(iw::kPrintFile), "");
    emit(s.i(iw::kPrintFile), " The linear constraints are feasible.");
  }
  after_feasible_point(p, s, routine);
}

// Resumes the derivative phase of the body state; on its end goes on with the next stage.
void resume_phase(DenseProblem& p, DenseStoreView s, std::string_view routine) {
  DenseRun run(p, s);
  int inform = 0;
  if (run_derivative_phase(run, inform)) return;
  if (inform >= 0) s.i(iw::kDerivativesKnown) = 1;
  if (inform != 0) {
    finish_solve(p, s, routine, inform > 0 ? ex::kDerivativeErrors : inform);
    return;
  }
  if (s.i(iw::kBodyState) == kFirstPhase) {
    feasible_point_stage(p, s, routine);
    return;
  }
  start_major_iterations(p, s, routine);
}

}  // namespace

void solve_dense_nlp(DenseProblem& p, DenseStoreView s, std::string_view routine) {
  const int body = s.i(iw::kBodyState);
  const bool in_progress = body >= kFirstPhase && body <= kMajorNonlinear;
  if (p.irevcm < 0 && !in_progress) {
    // A stop with no solve in progress: nothing to set up or give back.
    reset_state_words(s);
    const int code = p.irevcm;
    p.irevcm = request::kDone;
    const std::string name = platform::format_a(routine, kRoutineNameLength);
    p.ifail = report_failure(p.ifail, code, name.data(), 0, name.data(), kRoutineNameLength,
                             kRoutineNameLength);
    return;
  }
  if (in_progress && p.irevcm != request::kDone && p.irevcm <= request::kConstraintsBoth) {
    if (body == kFirstPhase || body == kSecondPhase) {
      resume_phase(p, s, routine);
    } else {
      resume_major_iterations(p, s, routine);
    }
    return;
  }
  if (!set_up(p, s, routine)) return;
  const int verify = s.i(iw::kVerifyLevel);
  DenseRun run(p, s);
  if (verify >= kFirstVerifyStage) {
    start_derivative_phase(run, kFirstPhase, verify - kFirstVerifyStage);
    resume_phase(p, s, routine);
    return;
  }
  feasible_point_stage(p, s, routine);
}

int set_initial_point_status(const DenseProblem& p,
                             bool cold,
                             double bigbnd,
                             double crash_tolerance,
                             Words<double> x) {
  for (int j = 1; j <= p.n; ++j) {
    if (p.bl(j) > -bigbnd) x(j) = std::max(x(j), p.bl(j));
    if (p.bu(j) < bigbnd) x(j) = std::min(x(j), p.bu(j));
  }
  const int rows = p.n + p.nclin;
  for (int j = 1; j <= rows; ++j) {
    int& state = p.istate(j);
    if (p.bl(j) == p.bu(j)) {
      state = kEqual;
    } else if (cold || state < kFree || state > kAtUpper ||
               (state == kAtLower && p.bl(j) <= -bigbnd) ||
               (state == kAtUpper && p.bu(j) >= bigbnd)) {
      state = kFree;
    }
  }
  int count = 0;
  for (int j = 1; j <= p.n; ++j) {
    const int state = p.istate(j);
    if (state <= kFree) continue;
    x(j) = state == kAtLower ? p.bl(j) : p.bu(j);
    ++count;
  }
  for (int j = p.n + 1; j <= rows; ++j) {
    if (p.istate(j) <= kFree) continue;
    if (count < p.n) {
      ++count;
    } else {
      p.istate(j) = kFree;
    }
  }
  if (!cold) return count;
  for (int j = p.n; j >= 1 && count < p.n; --j) {
    if (p.istate(j) != kFree) continue;
    const double lo = p.bl(j), hi = p.bu(j);
    if (lo > -bigbnd && std::fabs(x(j) - lo) <= crash_tolerance * (std::fabs(lo) + 1.0)) {
      p.istate(j) = kAtLower;
      x(j) = lo;
      ++count;
    } else if (hi < bigbnd && std::fabs(x(j) - hi) <= crash_tolerance * (std::fabs(hi) + 1.0)) {
      p.istate(j) = kAtUpper;
      x(j) = hi;
      ++count;
    }
  }
  return count;
}

int set_nonlinear_start_status(const DenseProblem& p,
                               bool cold,
                               int room,
                               double bigbnd,
                               double crash_tolerance,
                               Words<const double> c) {
  const int first = p.n + p.nclin;
  for (int k = 1; k <= p.ncnln; ++k) {
    int& state = p.istate(first + k);
    if (cold) state = p.bl(first + k) == p.bu(first + k) ? kEqual : kFree;
    if (state <= kFree) continue;
    if (room > 0) {
      --room;
    } else {
      state = kFree;
    }
  }
  while (cold && room > 0) {
    int best = 0, best_state = kFree;
    double nearest = crash_tolerance;
    for (int k = 1; k <= p.ncnln; ++k) {
      const int j = first + k;
      if (p.istate(j) != kFree) continue;
      const auto consider = [&](double bound, int state) {
        const double d = std::fabs(c(k) - bound) / (std::fabs(bound) + 1.0);
        if (d < nearest) {
          nearest = d;
          best = k;
          best_state = state;
        }
      };
      if (p.bl(j) > -bigbnd) consider(p.bl(j), kAtLower);
      if (p.bu(j) < bigbnd) consider(p.bu(j), kAtUpper);
    }
    if (best == 0) break;
    p.istate(first + best) = best_state;
    --room;
  }
  return room;
}

void transform_hessian_factor(int mode,
                              int n,
                              int nfree,
                              int ldq,
                              const Logical& unitq,
                              const int* kx,
                              const double* q,
                              ColumnMajorView<double> r,
                              double* work) {
  // The null-space dimension does not matter to the whole-basis modes.
  const int nz = 0;
  double* row = work;
  double* scratch = work + n;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) row[j - 1] = j >= i ? r(i, j) : 0.0;
    apply_tq_factor(mode, n, nz, nfree, ldq, unitq, kx, row, q, scratch);
    for (int j = 1; j <= n; ++j) r(i, j) = row[j - 1];
  }
  std::vector<double> zeta(static_cast<std::size_t>(std::max(n, 1)), 0.0);
  const int ldr = static_cast<int>(r.ld());
  factor_qr(n, n, r.at(1, 1), ldr, zeta.data());
  for (int j = 1; j <= n; ++j) {
    for (int i = j + 1; i <= n; ++i) r(i, j) = 0.0;
  }
}

}  // namespace zun
