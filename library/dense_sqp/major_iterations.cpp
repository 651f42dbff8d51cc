// The major iterations: QP subproblem, convergence tests, penalty update and log line, the
// step search, the derivatives at the new point and the BFGS update.
#include "library/dense_sqp/major_iterations.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/dense_print/dense_print.h"
#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/ls_qp.h"
#include "library/dense_sqp/bfgs_update.h"
#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/dense_top_level.h"
#include "library/dense_sqp/derivative_phase.h"
#include "library/dense_sqp/major_log.h"
#include "library/dense_sqp/merit_search.h"
#include "library/dense_sqp/qp_subproblem.h"
#include "library/dense_sqp/step_search.h"
#include "library/platform/format.h"
#include "library/support/machine.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;
namespace ma = major_array;
namespace ex = dense_exit;

enum MajorState {
  kBegin = 0,
  kSearching = 2,
  kAwaitJacobian = 3,
  kAwaitGradient = 4,
  kDifferencing = 5,
};

enum Flag { kFlagM = 0, kFlagI = 1, kFlagC = 2, kFlagL = 3, kFlagR = 4 };
constexpr char kFlagLetters[] = "MICLR";
enum Tests { kSmallStep = 1, kFeasible = 2, kOptimal = 4 };

constexpr int kSecondOrder = 2;
constexpr int kDerivativesMode = 1;
constexpr int kStuckInfeasible = 7;
constexpr int kMessageLevel = 5;
constexpr int kDetailLevel = 20;
constexpr double kFrobeniusFactor = 100.0;
constexpr int kRecordLength = 80;

// ---- Small helpers.

double norm(int n, const double* v) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += v[i] * v[i];
  return std::sqrt(sum);
}

double safe_quotient(double a, double b) {
  int fail = 0;
  return safe_divide(a, b, fail);
}

void set_flag(DenseRun& run, Flag f, bool on = true) {
  run.s.i(iw::kMajorFlags.first + f) = on ? kFlagLetters[f] : ' ';
}

void clear_flags(DenseRun& run) {
  for (int k = 0; k < iw::kMajorFlags.size(); ++k) run.s.i(iw::kMajorFlags.first + k) = ' ';
}

bool derivatives_estimated(const DenseRun& run) {
  return run.s.i(iw::kMissingJacobian) + run.s.i(iw::kMissingGradient) > 0;
}

bool second_order(const DenseRun& run) { return run.s.i(iw::kDifferenceType) == kSecondOrder; }

bool test(const DenseRun& run, Tests t) { return (run.s.i(iw::kConvergenceTests) & t) != 0; }

// J p at the current Jacobian into jp (NCNLN).
void jacobian_times(const DenseRun& run, Words<const double> dir, Words<double> jp) {
  const ColumnMajorView<double> jac = run.jac();
  for (int k = 1; k <= run.p.ncnln; ++k) {
    double sum = 0.0;
    for (int j = 1; j <= run.p.n; ++j) sum += jac(k, j) * dir(j);
    jp(k) = sum;
  }
}

// ---- The slacks and the merit function at the start of an iteration.

// Slacks that minimise the merit function over s within the bounds of each row.
void choose_slacks(DenseRun& run) {
  const DenseProblem& p = run.p;
  const Words<double> lambda = run.array(ma::kMultipliers);
  const Words<double> rho = run.array(ma::kPenalties);
  Words<double> s = run.array(ma::kSlacks);
  const double theta = run.s.r(rw::kMeritScale);
  for (int k = 1; k <= p.ncnln; ++k) {
    const int j = p.n + p.nclin + k;
    double v = run.c(k);
    if (rho(k) > 0.0 && theta > 0.0) v -= lambda(k) / (theta * rho(k));
    s(k) = std::clamp(v, p.bl(j), std::max(p.bl(j), p.bu(j)));
  }
}

// The multiplier and slack steps of the QP, the penalty update, M0 and its slope g0 along
// (p, dlambda, ds).
void form_merit(DenseRun& run, double q) {
  const DenseProblem& p = run.p;
  const Words<double> dir = run.array(ma::kDirection);
  double gp = 0.0;
  for (int j = 1; j <= p.n; ++j) gp += run.g(j) * dir(j);
  if (p.ncnln == 0) {
    run.s.r(rw::kMeritStart) = run.f();
    run.s.r(rw::kSlopeStart) = gp;
    return;
  }
  const Words<double> lambda = run.array(ma::kMultipliers);
  const Words<double> s = run.array(ma::kSlacks);
  const Words<double> clamda = run.array(dense_array::kQpMultipliers);
  Words<double> dl = run.array(ma::kMultiplierStep);
  Words<double> ds = run.array(ma::kSlackStep);
  Words<double> r = run.array(ma::kResiduals);
  Words<double> jp = run.array(ma::kJacobianStep);
  jacobian_times(run, dir, jp);
  double slope = gp;
  for (int k = 1; k <= p.ncnln; ++k) {
    dl(k) = clamda(p.n + p.nclin + k) - lambda(k);
    ds(k) = run.c(k) + jp(k) - s(k);
    r(k) = run.c(k) - s(k);
    slope += -lambda(k) * (jp(k) - ds(k)) - dl(k) * r(k);
  }
  const double penalty_slope = update_dense_penalty_parameters(run, r, slope, q);
  Words<const double> c(&run.c(1));
  run.s.r(rw::kMeritStart) = run.f() - merit_constraint_part(run, c, lambda, s);
  run.s.r(rw::kSlopeStart) = slope + penalty_slope;
}

// ---- Measures and tests.

struct Measures {
  double pnorm = 0.0;
  double xnorm = 0.0;
  double gnorm = 0.0;
  double cnorm = 0.0;
  double violation = 0.0;  // of the nonlinear rows
  bool feasible = true;
};

Measures measure(const DenseRun& run, Words<const double> dir) {
  const DenseProblem& p = run.p;
  Measures m;
  m.pnorm = norm(p.n, dir.at(1));
  m.xnorm = norm(p.n, &run.x(1));
  m.gnorm = norm(p.n, &run.g(1));
  m.cnorm = p.ncnln > 0 ? norm(p.ncnln, &run.c(1)) : 0.0;
  const Words<double> featol = run.array(dense_array::kFeasibilityTolerances);
  double vsum = 0.0;
  for (int j = 1; j <= p.total(); ++j) {
    double value = 0.0;
    if (j <= p.n) {
      value = run.x(j);
    } else if (j <= p.n + p.nclin) {
      for (int i = 1; i <= p.n; ++i) value += p.a(j - p.n, i) * run.x(i);
    } else {
      value = run.c(j - p.n - p.nclin);
    }
    const double v = std::max({p.bl(j) - value, value - p.bu(j), 0.0});
    if (v > featol(j)) m.feasible = false;
    if (j > p.n + p.nclin) vsum += v * v;
  }
  m.violation = std::sqrt(vsum);
  return m;
}

double condition_of_h(const DenseRun& run) {
  double dmax = 0.0, dmin = 0.0;
  const int diagonal = run.p.ldr + 1;
  abs_range(run.p.n, run.p.r.at(1, 1), diagonal, dmax, dmin);
  const double c = safe_quotient(dmax, dmin);
  return c * c;
}

struct Tested {
  bool optimal = false;
  bool small_step = false;
  bool tiny = false;
  bool stuck = false;
  bool converged = false;
};

// The convergence tests of the iteration (kept in the store for the step that follows).
Tested convergence_tests(DenseRun& run, const QpSubproblemResult& qp, const Measures& m) {
  DenseStoreView s = run.s;
  const double eps8 = s.r(rw::kStationarityFactor);
  const double root_tol = std::sqrt(s.r(rw::kOptimalityTolerance));
  const double gscale = std::max(std::fabs(run.f()) + 1.0, m.gnorm);
  const double xscale = 1.0 + m.xnorm;
  Tested t;
  t.optimal = m.feasible && qp.reduced_gradient_norm < root_tol * gscale;
  t.small_step = run.p.niter > 0 && s.r(rw::kLastStepLength) <= root_tol * xscale;
  const bool minimum = qp.inform == static_cast<int>(LsQpExit::kOptimal) ||
                       qp.inform == static_cast<int>(LsQpExit::kWeakMinimum);
  t.tiny = m.feasible && m.pnorm <= eps8 * gscale && minimum;
  t.stuck = s.i(iw::kInfeasibleCount) > kStuckInfeasible || (!qp.feasible && t.small_step);
  t.converged = t.optimal && t.small_step;
  s.i(iw::kConvergenceTests) =
      (t.small_step ? kSmallStep : 0) | (m.feasible ? kFeasible : 0) | (t.optimal ? kOptimal : 0);
  return t;
}

// ||R p||^2, the curvature of the model along the direction.
double curvature(const DenseRun& run, Words<const double> dir) {
  const DenseProblem& p = run.p;
  double sum = 0.0;
  for (int i = 1; i <= p.n; ++i) {
    double rp = 0.0;
    for (int j = i; j <= p.n; ++j) rp += p.r(i, j) * dir(j);
    sum += rp * rp;
  }
  return sum;
}

void log_iteration(DenseRun& run, const QpSubproblemResult& qp, const Measures& m, const Tested& t) {
  DenseStoreView s = run.s;
  const DenseProblem& p = run.p;
  MajorLogLine line;
  line.nonlinear = p.ncnln > 0;
  line.heading = s.i(iw::kMonitorLines) < 0;
  line.major = p.niter;
  line.minor = qp.iterations;
  line.nfun = s.i(iw::kFunctionCount);
  line.null_dimension = qp.null_dimension;
  line.bounds = qp.bounds;
  line.linear = qp.linear;
  line.nonlinear_rows = qp.nonlinear;
  line.step = s.r(rw::kLastAlpha);
  line.objective = p.ncnln > 0 ? s.r(rw::kMeritStart) : run.f();
  line.gz_norm = qp.reduced_gradient_norm;
  line.violation = m.violation;
  line.penalty = s.r(rw::kMeritScale) * s.r(rw::kPenaltyNorm);
  line.cond_h = condition_of_h(run);
  line.cond_hz = qp.condition_hz;
  line.cond_t = qp.condition_t;
  line.converged_step = t.small_step;
  line.feasible = m.feasible;
  line.optimal = t.optimal;
  for (int k = 0; k < iw::kMajorFlags.size(); ++k) {
    line.flags[k] = static_cast<char>(s.i(iw::kMajorFlags.first + k));
  }
  MajorLogDetail detail;
  std::vector<double> values, diagonal;
  std::vector<int> status;
  if (run.major_print() >= kDetailLevel && s.i(iw::kMonitoringFile) >= 0) {
    values.resize(p.total());
    status.resize(p.total());
    diagonal.resize(p.n);
    const double no_constraint = 0.0;
    predict_constraint_status(p.n, p.nclin, p.ncnln, p.lda, p.istate.at(1), p.a.at(1, 1), &run.x(1),
                              p.ncnln > 0 ? &run.c(1) : &no_constraint, p.bl.at(1), p.bu.at(1),
                              run.array(dense_array::kFeasibilityTolerances).at(1), values.data(),
                              status.data());
    for (int j = 1; j <= p.n; ++j) diagonal[j - 1] = p.r(j, j);
    detail = {p.n,          p.nclin,     p.ncnln,       values.data(),
              status.data(), run.f(),     m.violation,   diagonal.data(),
              qp.t_diagonal.data(), static_cast<int>(qp.t_diagonal.size())};
  }
  print_dense_major_iteration(line, detail, s);
  if (line.heading) s.i(iw::kMonitorLines) = std::max(s.i(iw::kMonitorLines), 0);
}

// ---- Requests of derivatives at the current point.

void request_gradient(DenseRun& run) {
  if (run.s.i(iw::kMissingGradient) > 0) preset_gradient(run);
  run.s.i(iw::kMajorState) = kAwaitGradient;
  request_objective(run, kDerivativesMode);
}

// The derivatives at the current point; REFRESH: for second-order differences at the same
// point (the iteration then starts again), else after a step.
void request_derivatives(DenseRun& run, bool refresh) {
  run.s.i(iw::kRefreshOnly) = refresh ? 1 : 0;
  run.publish_point();
  if (run.p.ncnln == 0) {
    request_gradient(run);
    return;
  }
  Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
  for (int k = 1; k <= run.p.ncnln; ++k) need(k) = 1;
  if (run.s.i(iw::kMissingJacobian) > 0) preset_jacobian(run);
  run.s.i(iw::kMajorState) = kAwaitJacobian;
  request_constraints(run, kDerivativesMode);
}

void switch_to_second_order(DenseRun& run) {
  run.s.i(iw::kDifferenceType) = kSecondOrder;
  set_flag(run, kFlagC);
}

bool start_differences(DenseRun& run, bool start, int& exit_code);

// After the switch to second-order differences the missing elements are estimated again at the
// current point.  Which ones are missing is known from the marks of the last answer, so the
// differences start at once; only when WORK has no room for the marks of the Jacobian
// elements (and some are missing) are the derivatives asked for again.
bool refresh_derivatives(DenseRun& run, int& exit_code) {
  if (run.s.i(iw::kMissingJacobian) > 0 && !unset_missing_jacobian(run)) {
    request_derivatives(run, true);
    return true;
  }
  run.s.i(iw::kRefreshOnly) = 1;
  unset_missing_gradient(run);
  return start_differences(run, true, exit_code);
}

// ---- The end of the loop.

void finish_major(DenseRun& run, int code, int& exit_code) {
  DenseProblem& p = run.p;
  DenseStoreView s = run.s;
  if (run.major_print() > 0) {
    const int unit = run.print_file();
    write_record(unit, "");
    write_record(unit, platform::Record(kRecordLength)
                           .text(" Exit from NP problem after ")
                           .i(p.niter, 5)
                           .text(" major iterations,")
                           .str());
    write_record(unit, platform::Record(kRecordLength)
                           .x(28)
                           .i(s.i(iw::kMinorTotal), 5)
                           .text(" minor iterations.")
                           .str());
  }
  Words<double> clamda = run.array(dense_array::kQpMultipliers);
  const Words<double> lambda = run.array(ma::kMultipliers);
  for (int k = 1; k <= p.ncnln; ++k) clamda(p.n + p.nclin + k) = lambda(k);
  std::vector<double> values(p.total());
  std::vector<int> predicted(p.total());
  const double no_constraint = 0.0;
  predict_constraint_status(p.n, p.nclin, p.ncnln, p.lda, p.istate.at(1), p.a.at(1, 1), &run.x(1),
                            p.ncnln > 0 ? &run.c(1) : &no_constraint, p.bl.at(1), p.bu.at(1),
                            run.array(dense_array::kFeasibilityTolerances).at(1), values.data(),
                            predicted.data());
  const int level = run.major_print();
  print_solution_table(level, s.i.at(1), p.n, p.nclin, p.ncnln, s.r(rw::kInfiniteBound),
                       predicted.data(), values.data(), p.bl.at(1), p.bu.at(1), clamda.at(1),
                       run.array(dense_array::kFeasibilityTolerances).at(1));
  s.i(iw::kMajorState) = kBegin;
  exit_code = code;
}

// ---- The step.

// The largest step for which every slack s + alpha ds stays within its row's bounds (at least
// 0; the infinite step size when no slack moves toward a finite bound).  Up to alpha = 1 the
// slacks move toward the QP's values of the linearised rows, which lie within the bounds up to
// the QP's tolerance; beyond it nothing keeps them there.
double slack_step_bound(const DenseRun& run) {
  const DenseProblem& p = run.p;
  const Words<double> s = run.array(ma::kSlacks);
  const Words<double> ds = run.array(ma::kSlackStep);
  const double bigbnd = run.s.r(rw::kInfiniteBound);
  const double tiny = run.s.r(rw::kPivotFactor);
  double l = run.s.r(rw::kInfiniteStep);
  for (int k = 1; k <= p.ncnln; ++k) {
    const int j = p.n + p.nclin + k;
    const double threshold = tiny * (1.0 + std::fabs(s(k)));
    double room = -1.0;
    if (ds(k) > threshold && p.bu(j) < bigbnd) room = p.bu(j) - s(k);
    if (ds(k) < -threshold && p.bl(j) > -bigbnd) room = s(k) - p.bl(j);
    if (room >= 0.0) l = std::min(l, room / std::fabs(ds(k)));
  }
  return std::max(l, 0.0);
}

// The first trial step, the largest and the smallest useful step.
void set_search_steps(DenseRun& run, const Measures& m, bool qp_feasible) {
  DenseStoreView s = run.s;
  const DenseProblem& p = run.p;
  const double quotient = safe_quotient((1.0 + m.xnorm) * s.r(rw::kStepLimit), m.pnorm);
  s.r(rw::kStepLimitQuotient) = quotient;
  s.r(rw::kSearchAlpha) = std::min(1.0, quotient);
  s.r(rw::kDirectionNorm) = m.pnorm;
  s.r(rw::kPointNorm) = m.xnorm;
  double alfmax = 1.0;
  if (!(p.ncnln > 0 && derivatives_estimated(run))) {
    const Words<double> dir = run.array(ma::kDirection);
    const Words<double> jp = run.array(ma::kJacobianStep);
    std::vector<double> values(p.total()), rates(p.total());
    for (int j = 1; j <= p.n; ++j) {
      values[j - 1] = run.x(j);
      rates[j - 1] = dir(j);
    }
    for (int i = 1; i <= p.nclin; ++i) {
      double ax = 0.0, ap = 0.0;
      for (int j = 1; j <= p.n; ++j) {
        ax += p.a(i, j) * run.x(j);
        ap += p.a(i, j) * dir(j);
      }
      values[p.n + i - 1] = ax;
      rates[p.n + i - 1] = ap;
    }
    for (int k = 1; k <= p.ncnln; ++k) {
      values[p.n + p.nclin + k - 1] = run.c(k);
      rates[p.n + p.nclin + k - 1] = jp(k);
    }
    const double lower = qp_feasible ? 1.0 : 0.0;
    const double upper = safe_quotient(s.r(rw::kInfiniteStep), m.pnorm);
    alfmax = scan_constraint_step_bound(run, lower, upper, Words<const double>(values.data()),
                                        Words<const double>(rates.data()));
    if (qp_feasible && alfmax < 1.0 + s.r(rw::kEpsPow033)) alfmax = 1.0;
    // No step beyond the QP's carries a slack out of its bounds: there the merit function
    // would fall without end as the residuals c - s grow against frozen multipliers.
    alfmax = std::min(alfmax, std::max(1.0, slack_step_bound(run)));
  }
  s.r(rw::kSearchAlphaMax) = alfmax;
  double alfsml = 0.0;
  if (derivatives_estimated(run) && !second_order(run)) {
    alfsml = std::min(alfmax, safe_quotient(s.r(rw::kFdLargestStep), m.pnorm));
  }
  s.r(rw::kSearchAlphaSmall) = alfsml;
}

// Saves the point's gradient, constraint values and multipliers for the update after the
// step.
void save_start(DenseRun& run) {
  Words<double> g0 = run.array(ma::kGradientStart);
  for (int j = 1; j <= run.p.n; ++j) g0(j) = run.g(j);
  Words<double> c0 = run.array(ma::kConstraintsStart);
  Words<double> l0 = run.array(ma::kMultipliersStart);
  const Words<double> lambda = run.array(ma::kMultipliers);
  for (int k = 1; k <= run.p.ncnln; ++k) {
    c0(k) = run.c(k);
    l0(k) = lambda(k);
  }
  run.s.r(rw::kObjectiveStart) = run.f();
}

bool after_search(DenseRun& run, int result, int& exit_code);

// ---- One iteration up to its search.

bool iteration(DenseRun& run, int& exit_code) {
  DenseProblem& p = run.p;
  DenseStoreView s = run.s;
  s.i(iw::kRefreshOnly) = 0;
  if (p.ncnln > 0) choose_slacks(run);
  Words<double> dir = run.array(ma::kDirection);
  const QpSubproblemResult qp = solve_dense_qp_subproblem(run, dir);
  s.i(iw::kMajorRan) = 1;
  s.i(iw::kQpExit) = qp.inform;
  s.i(iw::kMinorIterations) = qp.iterations;
  s.i(iw::kMinorTotal) += qp.iterations;
  if (qp.feasible) {
    s.i(iw::kInfeasibleCount) = 0;
  } else {
    set_flag(run, kFlagI);
    ++s.i(iw::kInfeasibleCount);
  }
  const Measures m = measure(run, dir);
  const double h = s.r(rw::kBaseInterval);
  const double cscale = (std::fabs(run.f()) + 1.0 + m.cnorm) * s.r(rw::kFunctionPrecision);
  if (derivatives_estimated(run) && !second_order(run) && h > 0.0 && m.pnorm <= cscale / h) {
    switch_to_second_order(run);
    if (run.major_print() >= kMessageLevel && qp.iterations >= 1) {
      write_record(run.print_file(), platform::Record(kRecordLength)
                                         .text(" Mnr itn ")
                                         .i(qp.iterations, 4)
                                         .text(" -- Re-solve QP subproblem.")
                                         .str());
    }
    return refresh_derivatives(run, exit_code);
  }
  const Tested t = convergence_tests(run, qp, m);
  const double q = curvature(run, dir);
  s.r(rw::kCurvature) = q;
  form_merit(run, q);
  log_iteration(run, qp, m, t);
  clear_flags(run);

  if (t.tiny || t.converged || t.stuck) {
    finish_major(run, t.converged ? ex::kOptimal
                      : t.tiny    ? ex::kAccuracyNotAchieved
                                  : ex::kNonlinearInfeasible,
                 exit_code);
    return false;
  }
  if (p.niter >= s.i(iw::kMajorIterationLimit)) {
    finish_major(run, ex::kMajorLimit, exit_code);
    return false;
  }
  ++p.niter;
  save_start(run);
  set_search_steps(run, m, qp.feasible);
  const bool values = derivatives_estimated(run);
  const int first = start_merit_search(run, values);
  if (first == 0) {
    s.i(iw::kMajorState) = kSearching;
    return true;
  }
  return after_search(run, first, exit_code);
}

// ---- After the step: the derivatives, the update of R and the next iteration.

// The gradient of the Lagrangian g - J'lambda at the new point less the one at the old point
// (with the new multipliers) into y.
void lagrangian_change(const DenseRun& run, double* y) {
  const DenseProblem& p = run.p;
  const Words<double> g0 = run.array(ma::kGradientStart);
  const Words<double> lambda = run.array(ma::kMultipliers);
  const ColumnMajorView<double> jac = run.jac();
  const int m = p.nclin + p.ncnln;
  const ColumnMajorView<double> jac0(p.work.at(run.s.i(dense_array::kConstraintMatrix)), std::max(m, 1));
  for (int j = 1; j <= p.n; ++j) {
    double v = run.g(j) - g0(j);
    for (int k = 1; k <= p.ncnln; ++k) v -= lambda(k) * (jac(k, j) - jac0(p.nclin + k, j));
    y[j - 1] = v;
  }
}

// Refactorises R with column interchanges when it is ill-conditioned or too large for its
// diagonal (flag 'R').
void check_hessian_condition(DenseRun& run, double frobenius) {
  DenseProblem& p = run.p;
  double dmax = 0.0, dmin = 0.0;
  const int diagonal = p.ldr + 1;
  abs_range(p.n, p.r.at(1, 1), diagonal, dmax, dmin);
  const double cond = safe_quotient(dmax, dmin);
  const double root_n = std::sqrt(static_cast<double>(p.n));
  if (!(cond > run.s.r(rw::kRootConditionLimit) || frobenius > kFrobeniusFactor * root_n * dmax)) {
    return;
  }
  set_flag(run, kFlagR);
  Words<int> kx = run.integer_array(dense_array::kVariableOrder);
  for (int j = 1; j <= p.n; ++j) kx(j) = j;
  std::vector<double> companion(p.n, 0.0), work(3 * static_cast<std::size_t>(p.n), 0.0);
  std::vector<int> iwork(p.n, 0);
  double no_q = 0.0;
  int nrank = 0;
  const int one = 1;
  refactor_r_with_interchanges(kTrue, p.n, p.n, one, p.ldr, nrank, kx.at(1), companion.data(),
                               p.r.at(1, 1), &no_q, iwork.data(), work.data(), run.s.r.at(1));
  transform_hessian_factor(kBasisToNatural, p.n, p.n, one, kTrue, kx.at(1), &no_q, p.r,
                           work.data());
  for (int j = 1; j <= p.n; ++j) kx(j) = j;
}

void update_after_step(DenseRun& run) {
  const DenseProblem& p = run.p;
  const double alpha = run.s.r(rw::kLastAlpha);
  const Words<double> dir = run.array(ma::kDirection);
  std::vector<double> y(p.n), work(2 * static_cast<std::size_t>(p.n));
  lagrangian_change(run, y.data());
  std::vector<double> r_old(p.ncnln), r_new(p.ncnln), jp_new(p.ncnln);
  const Words<double> c0 = run.array(ma::kConstraintsStart);
  const Words<double> s_new = run.array(ma::kSlacks);
  const Words<double> ds = run.array(ma::kSlackStep);
  jacobian_times(run, dir, Words<double>(jp_new.data()));
  for (int k = 1; k <= p.ncnln; ++k) {
    r_new[k - 1] = run.c(k) - s_new(k);
    r_old[k - 1] = c0(k) - (s_new(k) - alpha * ds(k));
  }
  CurvatureRepair repair;
  repair.ncnln = p.ncnln;
  repair.r_old = r_old.data();
  repair.r_new = r_new.data();
  repair.jp_old = p.ncnln > 0 ? &run.array(ma::kJacobianStep)(1) : nullptr;
  repair.jp_new = jp_new.data();
  const int m = std::max(p.nclin + p.ncnln, 1);
  repair.jac_old = ColumnMajorView<const double>(
      p.work.at(run.s.i(dense_array::kConstraintMatrix)) + p.nclin, m);
  const ColumnMajorView<double> jac = run.jac();
  repair.jac_new = ColumnMajorView<const double>(jac.at(1, 1), static_cast<int>(jac.ld()));
  repair.weight_limit = run.s.r(rw::kInverseEps);
  const BfgsOutcome out =
      update_hessian_factor(p.n, p.r, alpha, dir.at(1), y.data(), repair, work.data());
  if (out.flag_m) set_flag(run, kFlagM);
  run.s.r(rw::kRFrobeniusNorm) = out.frobenius;
  check_hessian_condition(run, out.frobenius);
}

bool after_search(DenseRun& run, int result, int& exit_code) {
  DenseStoreView s = run.s;
  if (result < 0) {
    finish_major(run, result, exit_code);
    return false;
  }
  const double alpha = s.r(rw::kLastAlpha);
  if (alpha > s.r(rw::kStepLimitQuotient)) set_flag(run, kFlagL);
  s.r(rw::kLastStepLength) = alpha * s.r(rw::kDirectionNorm);
  if (result >= step_result::kCramped) {
    const bool forward = derivatives_estimated(run) && !second_order(run);
    if (forward && !test(run, kOptimal)) {
      switch_to_second_order(run);
      return refresh_derivatives(run, exit_code);
    }
    int code = ex::kCannotImprove;
    if (test(run, kOptimal)) {
      code = ex::kAccuracyNotAchieved;
    } else if (run.p.niter >= s.i(iw::kMajorIterationLimit)) {
      code = ex::kMajorLimit;
    }
    finish_major(run, code, exit_code);
    return false;
  }
  request_derivatives(run, false);
  return true;
}

// The derivatives have arrived (and the missing ones are estimated): on with the iteration.
bool after_derivatives(DenseRun& run, int& exit_code) {
  if (run.s.i(iw::kRefreshOnly) == 0) update_after_step(run);
  return iteration(run, exit_code);
}

bool start_differences(DenseRun& run, bool start, int& exit_code) {
  int stop = 0;
  if (step_difference_gradients(run, start, stop)) {
    run.s.i(iw::kMajorState) = kDifferencing;
    return true;
  }
  if (stop < 0) {
    finish_major(run, stop, exit_code);
    return false;
  }
  return after_derivatives(run, exit_code);
}

void begin_loop(DenseRun& run) {
  DenseStoreView s = run.s;
  // The caller does not supply the elements that the derivative phase found constant: they
  // are estimated with the other missing elements at every new point.
  s.i(iw::kMissingGradient) += s.i(iw::kConstantObjective);
  s.i(iw::kMissingJacobian) += s.i(iw::kConstantJacobian);
  s.i(iw::kConstantObjective) = 0;
  s.i(iw::kConstantJacobian) = 0;
  if (derivatives_estimated(run) && s.i(iw::kDifferenceType) == 0) s.i(iw::kDifferenceType) = 1;
  clear_flags(run);
  s.i(iw::kInfeasibleCount) = 0;
  s.i(iw::kMinorTotal) = 0;
  s.i(iw::kFunctionCount) = 0;
  s.i(iw::kMonitorLines) = -1;
  s.i(iw::kPrintLines) = 0;
  s.i(iw::kRefreshOnly) = 0;
  s.i(iw::kPenaltyRising) = 1;
  s.r(rw::kLastStepLength) = 0.0;
  s.r(rw::kLastAlpha) = 0.0;
}

}  // namespace

bool run_dense_major_iterations(DenseRun& run, int& exit_code) {
  DenseProblem& p = run.p;
  const auto state = static_cast<MajorState>(run.s.i(iw::kMajorState));
  if (state != kBegin && p.irevcm < 0 && state != kSearching && state != kDifferencing) {
    finish_major(run, p.irevcm, exit_code);
    return false;
  }
  switch (state) {
    case kBegin:
      begin_loop(run);
      return iteration(run, exit_code);
    case kSearching: {
      int result = 0;
      if (continue_merit_search(run, result)) return true;
      return after_search(run, result, exit_code);
    }
    case kAwaitJacobian: {
      const ColumnMajorView<double> jac = run.jac();
      for (int j = 1; j <= p.n; ++j) {
        for (int k = 1; k <= p.ncnln; ++k) jac(k, j) = p.jacnl(k, j);
      }
      record_missing_jacobian(run);
      request_gradient(run);
      return true;
    }
    case kAwaitGradient:
      for (int j = 1; j <= p.n; ++j) run.g(j) = p.objg(j);
      record_missing_gradient(run);
      if (derivatives_estimated(run)) return start_differences(run, true, exit_code);
      return after_derivatives(run, exit_code);
    case kDifferencing:
      return start_differences(run, false, exit_code);
  }
  finish_major(run, ex::kCannotImprove, exit_code);
  return false;
}

double update_dense_penalty_parameters(DenseRun& run,
                                       Words<const double> r,
                                       double slope,
                                       double q) {
  DenseStoreView s = run.s;
  const int ncnln = run.p.ncnln;
  Words<double> rho = run.array(ma::kPenalties);
  Words<double> e = run.array(dense_array::kRowCheckWork);
  const double root_eps = s.r(rw::kSqrtEps);
  for (int k = 1; k <= ncnln; ++k) e(k) = std::fabs(r(k)) > root_eps ? r(k) * r(k) : 0.0;
  const double enorm = norm(ncnln, e.at(1));
  int fail = 0;
  const double big_e = safe_divide(slope + q / 2.0, enorm, fail);
  if (fail == 0 && std::fabs(big_e) <= s.r(rw::kInverseEps)) {
    s.r(rw::kMeritScale) = 1.0;
    const double delta = s.r(rw::kDamping);
    for (int k = 1; k <= ncnln; ++k) {
      const double rho_hat = std::max(0.0, big_e * e(k) / enorm);
      double keep = rho(k);
      const double damped = std::sqrt(rho(k) * (delta + rho_hat));
      if (damped < rho(k) / 2.0) keep = damped;
      rho(k) = std::max(rho_hat, keep);
    }
    const double old_norm = s.r(rw::kPenaltyNorm);
    const double new_norm = norm(ncnln, rho.at(1));
    s.r(rw::kPenaltyNorm) = new_norm;
    if (new_norm != old_norm) {
      const int rising = new_norm > old_norm ? 1 : 0;
      if (rising != s.i(iw::kPenaltyRising)) {
        s.r(rw::kDamping) = 2.0 * delta;
        s.i(iw::kPenaltyRising) = rising;
      }
    }
  }
  const double theta = s.r(rw::kMeritScale);
  double term = 0.0;
  for (int k = 1; k <= ncnln; ++k) term += rho(k) * r(k) * r(k);
  return -theta * term;
}

double scan_constraint_step_bound(const DenseRun& run,
                                  double lower,
                                  double upper,
                                  Words<const double> values,
                                  Words<const double> rates) {
  const DenseProblem& p = run.p;
  const double bigbnd = run.s.r(rw::kInfiniteBound);
  const double tol = run.s.r(rw::kPivotFactor);
  const Words<double> featol = run.array(dense_array::kFeasibilityTolerances);
  double l = upper;
  for (int j = 1; j <= p.total() && l > lower; ++j) {
    double t = 1.0;
    if (j > p.n && j <= p.n + p.nclin) {
      double sum = 0.0;
      for (int i = 1; i <= p.n; ++i) sum += p.a(j - p.n, i) * p.a(j - p.n, i);
      t += std::sqrt(sum);
    }
    const double v = rates(j);
    double u = 0.0;
    if (v < -tol * t && p.bl(j) > -bigbnd) {
      u = values(j) - p.bl(j);
    } else if (v > tol * t && p.bu(j) < bigbnd) {
      u = p.bu(j) - values(j);
    } else {
      continue;
    }
    // A nonlinear row within its feasibility tolerance of the bound counts as on it: the
    // rounding in a function value must not stop the step.
    const double on_bound = j > p.n + p.nclin ? featol(j) : 0.0;
    if (u > on_bound) l = std::min(l, u / std::fabs(v));
  }
  return std::max(lower, l);
}

}  // namespace zun
