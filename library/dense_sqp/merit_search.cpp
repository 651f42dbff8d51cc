// The merit-function step search: set-up, one trial point per request, acceptance.
#include "library/dense_sqp/merit_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/derivative_phase.h"
#include "library/dense_sqp/step_search.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;
namespace ma = major_array;

constexpr double kDecrease = 0.0001;      // sufficient-decrease constant
constexpr double kSlopeMargin = 0.0001;   // keeps the slope target positive for small eta
constexpr int kValuesLimit = 15;
constexpr int kDerivativesLimit = 10;
constexpr int kValuesMode = 0;
constexpr int kBothMode = 2;
constexpr double kStandInFactor = 1.0e10;  // a non-finite trial counts this far above the rest

enum Stage { kAwaitConstraints = 1, kAwaitObjective = 2 };

StepSearch load_search(const DenseRun& run) {
  StepSearch s;
  s.load(&run.s.r(rw::kStepStateBlock.first));
  return s;
}

void save_search(const DenseRun& run, const StepSearch& s) {
  static_assert(StepSearch::kWords <= rw::kStepStateBlock.size());
  s.save(&run.s.r(rw::kStepStateBlock.first));
}

bool values_only(const DenseRun& run) { return run.s.i(iw::kSearchMode) == kValuesMode; }

double multiplier_weight(double alpha) { return std::min(alpha, 1.0); }

// lambda and s at the trial step alpha.
void trial_multipliers(const DenseRun& run, double alpha, Words<double> lambda, Words<double> s) {
  const Words<double> l0 = run.array(ma::kMultipliersStart);
  const Words<double> dl = run.array(ma::kMultiplierStep);
  const Words<double> s0 = run.array(ma::kSlacks);
  const Words<double> ds = run.array(ma::kSlackStep);
  for (int k = 1; k <= run.p.ncnln; ++k) {
    lambda(k) = l0(k) + multiplier_weight(alpha) * dl(k);
    s(k) = s0(k) + alpha * ds(k);
  }
}

// Asks for the values at x0 + alpha p.
void issue_trial(DenseRun& run, double alpha) {
  const Words<double> x0 = run.array(ma::kPointStart);
  const Words<double> p = run.array(ma::kDirection);
  for (int j = 1; j <= run.p.n; ++j) run.p.x(j) = x0(j) + alpha * p(j);
  run.s.r(rw::kSearchAlpha) = alpha;
  run.s.i(iw::kSearchBadTrial) = 0;
  const int mode = run.s.i(iw::kSearchMode);
  if (run.p.ncnln > 0) {
    run.s.i(iw::kSearchStage) = kAwaitConstraints;
    request_constraints(run, mode);
  } else {
    run.s.i(iw::kSearchStage) = kAwaitObjective;
    request_objective(run, mode);
  }
}

// The violation of nonlinear row K by the value C beyond its tolerance.
double row_violation(const DenseRun& run, int k, double c) {
  const DenseProblem& p = run.p;
  const int j = p.n + p.nclin + k;
  const double tol = run.array(dense_array::kFeasibilityTolerances)(j);
  return std::max({p.bl(j) - c - tol, c - p.bu(j) - tol, 0.0});
}

// The term of nonlinear row K in the merit function, -lambda r + (theta/2) rho r^2, r = c - s.
double row_merit_term(const DenseRun& run, int k, double c, double lambda, double s) {
  const double r = c - s;
  const double rho = run.array(ma::kPenalties)(k);
  return -lambda * r + run.s.r(rw::kMeritScale) / 2.0 * rho * r * r;
}

// Beyond the QP step the linearised rows no longer describe the problem.  A trial there at
// which a nonlinear row violates its bounds more than at the start while the row's term of the
// merit function has not risen (no multiplier or penalty prices that violation yet, or the
// multiplier has the wrong sign) has a merit value that says nothing of the row: it becomes
// the largest step, so that the search goes no further along the direction.
void cap_extrapolation(const DenseRun& run, StepSearch& st) {
  const double alpha = run.s.r(rw::kSearchAlpha);
  if (values_only(run) || alpha <= 1.0 || alpha >= st.alfmax) return;
  const int ncnln = run.p.ncnln;
  std::vector<double> lambda(ncnln), slack(ncnln);
  trial_multipliers(run, alpha, Words<double>(lambda.data()), Words<double>(slack.data()));
  const Words<const double> trial(&run.array(ma::kConstraintsTrial)(1));
  const Words<const double> start(&run.array(ma::kConstraintsStart)(1));
  const Words<const double> lambda0(&run.array(ma::kMultipliersStart)(1));
  const Words<const double> slack0(&run.array(ma::kSlacks)(1));
  for (int k = 1; k <= ncnln; ++k) {
    if (row_violation(run, k, trial(k)) <= row_violation(run, k, start(k))) continue;
    const double now = row_merit_term(run, k, trial(k), lambda[k - 1], slack[k - 1]);
    if (now <= row_merit_term(run, k, start(k), lambda0(k), slack0(k))) {
      st.alfmax = alpha;
      return;
    }
  }
}

// The constraint values (and with derivatives the Jacobian) at the trial: the constraint part
// of the merit value and of its slope.
void take_trial_constraints(DenseRun& run) {
  const DenseProblem& p = run.p;
  const double alpha = run.s.r(rw::kSearchAlpha);
  std::vector<double> lambda(p.ncnln), slack(p.ncnln);
  trial_multipliers(run, alpha, Words<double>(lambda.data()), Words<double>(slack.data()));
  Words<double> ct = run.array(ma::kConstraintsTrial);
  bool finite = true;
  for (int k = 1; k <= p.ncnln; ++k) {
    ct(k) = p.c(k);
    finite = finite && std::isfinite(ct(k));
  }
  if (!finite) {
    run.s.i(iw::kSearchBadTrial) = 1;
    return;
  }
  run.s.r(rw::kTrialConstraintPart) =
      merit_constraint_part(run, ct, Words<const double>(lambda.data()), Words<const double>(slack.data()));
  if (values_only(run)) return;
  const Words<double> dir = run.array(ma::kDirection);
  const Words<double> dl = run.array(ma::kMultiplierStep);
  const Words<double> ds = run.array(ma::kSlackStep);
  const Words<double> rho = run.array(ma::kPenalties);
  const double theta = run.s.r(rw::kMeritScale);
  double slope = 0.0;
  for (int k = 1; k <= p.ncnln; ++k) {
    double jp = 0.0;
    for (int j = 1; j <= p.n; ++j) jp += p.jacnl(k, j) * dir(j);
    const double r = ct(k) - slack[k - 1];
    const double rate = jp - ds(k);
    slope += -lambda[k - 1] * rate + theta * rho(k) * r * rate;
    if (alpha <= 1.0) slope -= dl(k) * r;
  }
  if (!std::isfinite(slope)) run.s.i(iw::kSearchBadTrial) = 1;
  run.s.r(rw::kTrialConstraintSlope) = slope;
}

// psi and its slope at the trial; a non-finite trial gets a finite value above the others.
void trial_values(DenseRun& run, const StepSearch& st, double& ftry, double& gtry) {
  const double alpha = run.s.r(rw::kSearchAlpha);
  const double m0 = run.s.r(rw::kMeritStart);
  const double g0 = run.s.r(rw::kSlopeStart);
  const double part = run.p.ncnln > 0 ? run.s.r(rw::kTrialConstraintPart) : 0.0;
  ftry = run.p.objv - part - m0 - kDecrease * alpha * g0;
  gtry = 0.0;
  if (!values_only(run)) {
    const Words<double> dir = run.array(ma::kDirection);
    double gp = 0.0;
    for (int j = 1; j <= run.p.n; ++j) gp += run.p.objg(j) * dir(j);
    const double cslope = run.p.ncnln > 0 ? run.s.r(rw::kTrialConstraintSlope) : 0.0;
    gtry = gp + cslope - kDecrease * g0;
  }
  const bool bad = run.s.i(iw::kSearchBadTrial) == 1 || !std::isfinite(ftry) || !std::isfinite(gtry);
  if (!bad) {
    run.s.r(rw::kLargestTrial) = std::max(run.s.r(rw::kLargestTrial), ftry);
    return;
  }
  run.s.i(iw::kSearchBadTrial) = 1;
  ftry = 2.0 * std::max(run.s.r(rw::kLargestTrial), 0.0) + kStandInFactor * (1.0 + std::fabs(m0));
  gtry = -st.g0;
}

// Makes the trial current (it is the best so far).
void accept_trial(DenseRun& run, double ftry) {
  run.f() = run.p.objv;
  const Words<double> ct = run.array(ma::kConstraintsTrial);
  for (int k = 1; k <= run.p.ncnln; ++k) run.c(k) = ct(k);
  const double alpha = run.s.r(rw::kSearchAlpha);
  run.s.r(rw::kMeritValue) =
      ftry + run.s.r(rw::kMeritStart) + kDecrease * alpha * run.s.r(rw::kSlopeStart);
}

// The end of the search: the point at the best step (x, lambda, s); f and c are already the
// best values.
void finish_search(DenseRun& run, const StepSearch& st) {
  const double alpha = st.alfbst;
  const Words<double> x0 = run.array(ma::kPointStart);
  const Words<double> dir = run.array(ma::kDirection);
  for (int j = 1; j <= run.p.n; ++j) run.x(j) = x0(j) + alpha * dir(j);
  Words<double> lambda = run.array(ma::kMultipliers);
  Words<double> slack = run.array(ma::kSlacks);
  trial_multipliers(run, alpha, lambda, slack);
  run.s.r(rw::kLastAlpha) = alpha;
  run.s.i(iw::kFunctionCount) += st.numf;
  run.s.i(iw::kSearchStage) = 0;
}

}  // namespace

double merit_constraint_part(const DenseRun& run,
                             Words<const double> c,
                             Words<const double> lambda,
                             Words<const double> s) {
  const Words<double> rho = run.array(ma::kPenalties);
  const double theta = run.s.r(rw::kMeritScale);
  double linear = 0.0, square = 0.0;
  for (int k = 1; k <= run.p.ncnln; ++k) {
    const double r = c(k) - s(k);
    linear += lambda(k) * r;
    square += rho(k) * r * r;
  }
  return linear - theta / 2.0 * square;
}

int start_merit_search(DenseRun& run, bool values) {
  DenseStoreView s = run.s;
  const DenseProblem& p = run.p;
  StepSearch st;
  st.limit = values ? kValuesLimit : kDerivativesLimit;
  const double m0 = s.r(rw::kMeritStart);
  const double g0 = s.r(rw::kSlopeStart);
  const double pnorm = s.r(rw::kDirectionNorm);
  const double xnorm = s.r(rw::kPointNorm);
  st.alfmax = s.r(rw::kSearchAlphaMax);
  st.alfsml = values ? s.r(rw::kSearchAlphaSmall) : 0.0;
  st.epsaf = (std::fabs(m0) + 1.0) * s.r(rw::kFunctionPrecision);
  const double u = s.r(rw::kStationarityFactor);
  st.tolabs = pnorm * st.alfmax > u * (1.0 + xnorm) ? u * (1.0 + xnorm) / pnorm : st.alfmax;
  st.tolrel = std::max(s.r(rw::kEps), u);
  const Words<double> dir = run.array(ma::kDirection);
  double t = 0.0;
  for (int j = 1; j <= p.n; ++j) t = std::max(t, std::fabs(dir(j)) / (u * (1.0 + std::fabs(run.x(j)))));
  st.toltny = t * st.tolabs > 1.0 ? 1.0 / t : st.tolabs;
  st.g0 = (1.0 - kDecrease) * g0;
  const double eta = std::max(s.r(rw::kLineSearchTolerance), kDecrease + kSlopeMargin);
  st.targtg = (kDecrease - eta) * g0;
  s.r(rw::kSearchEpsaf) = st.epsaf;
  s.r(rw::kSearchG0) = st.g0;
  s.r(rw::kSearchTarget) = st.targtg;
  s.r(rw::kLargestTrial) = 0.0;
  s.i(iw::kSearchLimit) = st.limit;
  s.i(iw::kSearchMode) = values ? kValuesMode : kBothMode;
  Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
  for (int k = 1; k <= p.ncnln; ++k) need(k) = 1;
  const Words<double> x0 = run.array(ma::kPointStart);
  for (int j = 1; j <= p.n; ++j) x0(j) = run.x(j);
  double alfa = s.r(rw::kSearchAlpha);
  const int first = values ? search_step_values_only(st, true, 0.0, alfa)
                           : search_step_with_derivatives(st, true, 0.0, 0.0, alfa);
  if (first != step_result::kGoing) {
    finish_search(run, st);
    return first;
  }
  save_search(run, st);
  issue_trial(run, alfa);
  return 0;
}

bool continue_merit_search(DenseRun& run, int& result) {
  StepSearch st = load_search(run);
  if (run.p.irevcm < 0) {
    result = run.p.irevcm;
    finish_search(run, st);
    return false;
  }
  if (run.s.i(iw::kSearchStage) == kAwaitConstraints) {
    take_trial_constraints(run);
    cap_extrapolation(run, st);
    save_search(run, st);
    ++run.s.i(iw::kConstraintEvaluations);
    run.s.i(iw::kSearchStage) = kAwaitObjective;
    request_objective(run, run.s.i(iw::kSearchMode));
    return true;
  }
  ++run.s.i(iw::kObjectiveEvaluations);
  double ftry = 0.0, gtry = 0.0;
  trial_values(run, st, ftry, gtry);
  double alfa = run.s.r(rw::kSearchAlpha);
  const int code = values_only(run) ? search_step_values_only(st, false, ftry, alfa)
                                    : search_step_with_derivatives(st, false, ftry, gtry, alfa);
  if (st.imprvd) accept_trial(run, ftry);
  if (code == step_result::kGoing) {
    save_search(run, st);
    issue_trial(run, alfa);
    return true;
  }
  result = code;
  finish_search(run, st);
  return false;
}

}  // namespace zun
