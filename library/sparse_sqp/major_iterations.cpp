// The SQP major iterations: QP subproblem, convergence test, merit function, line search and
// quasi-Newton update, repeated until the point is optimal or a limit is reached.
#include "library/sparse_sqp/major_iterations.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/sparse_multiply.h"
#include "library/sparse_sqp/derivative_level.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/jacobian_auxiliary.h"
#include "library/sparse_sqp/jacobian_product.h"
#include "library/sparse_sqp/line_search.h"
#include "library/sparse_sqp/major_log.h"
#include "library/sparse_sqp/merit_function.h"
#include "library/sparse_sqp/nonlinear_violation.h"
#include "library/sparse_sqp/qp_subproblem.h"
#include "library/sparse_sqp/quasi_newton.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/update_pair.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;

constexpr int kRecordLength = 120;
constexpr int kDifferenceType = 182;
constexpr int kCentral = 2;
constexpr int kJacobianMissing = 183;
constexpr int kGradientMissing = 184;
constexpr int kFactorStatistics = 223;
constexpr int kLongHeading = 224;
constexpr int kShortHeading = 225;
constexpr int kEps067 = 3;
constexpr int kEps02 = 7;
constexpr double kCurvatureFactor = 0.0001;
constexpr int kSkipsBeforePenaltyReset = 9;
constexpr int kFruitlessResets = 2;
constexpr double kViolationCut = 0.1;
constexpr int kObjectiveRowWord = 218;

double norm1(const double* v, int count) {
  double s = 0.0;
  for (int i = 0; i < count; ++i) s += std::fabs(v[i]);
  return s;
}

double dot(int count, const double* a, const double* b) {
  double s = 0.0;
  for (int i = 0; i < count; ++i) s += a[i] * b[i];
  return s;
}

double scaled_norm1(const double* v, int count) {
  return count > 0 ? norm1(v, count) / std::sqrt(static_cast<double>(count)) : 0.0;
}

// The functions of one point.
struct PointValues {
  std::vector<double> x;
  std::vector<double> fcon;
  std::vector<double> gcon;
  std::vector<double> gobj;
  double fobj = 0.0;
  double merit = 0.0;
  double sinf = 0.0;
  std::vector<double> y1;
};

class MajorLoop {
 public:
  MajorLoop(RunState& st, const Evaluator& ev, const MajorProblem& pr);
  int run();

 private:
  // Words and sizes.
  int word(int w) const { return st_.iz[w - 1]; }
  int& word_ref(int w) { return st_.iz[w - 1]; }
  double real(int w) const { return st_.z[w - 1]; }
  bool logging() const { return print_level_ == 5 || print_level_ >= 10; }

  int evaluate(int mode, double* x, double* fcon, double* gcon, double& fobj, double* gobj);
  void activity(const double* x, const double* fcon, double* c) const;
  double objective_part(const double* x, double fobj) const;
  void load_rows();
  int factorize(bool first);
  int qp_phase();
  void measure();
  bool difference_switch();
  void log_line();
  int search_and_update();
  int failed_search(int search);
  int update_hessian(const PointValues& acc, double alpha);
  void reset_penalties();
  void gradient_scale();
  void header() const;
  void exit_lines() const;
  void message(const std::string& text) const {
    message_both_units(st_.iz, print_level_, itn_, text, true, true);
  }

  RunState& st_;
  Evaluator ev_;
  MajorProblem pr_;
  int n_, m_, nb_, ncnln_, njnln_, ngcon_, nnl_;
  int print_level_, minor_print_;
  double* x_;
  double* fcon_;
  double* gcon_;
  double* gobj_;
  double* y_;
  double* pi_;
  std::vector<double> xqp_, p_, w_, d_, c_, viol_, dy_, rho_, work_, hp_, yvec_, gobj_qp_;
  PenaltyState penalty_;
  ElasticWeight elastic_weight_;
  bool elastic_ = false;
  bool elastic_allowed_ = false;
  bool r_valid_ = false;
  bool differences_ = false;
  bool derivatives_after_ = false;
  bool pending_central_ = false;
  bool cut_for_violation_ = false;
  bool first_factor_ = true;
  int result_ = 0;
  int itn_ = 0;
  int major_ = 0;
  int minor_count_ = 0;
  int minor_total_ = 0;
  int ns_ = 0;
  int bs_changes_ = 0;
  int logged_major_ = -1;
  int central_count_ = 0;
  int fruitless_ = 0;
  int skipped_ = 0;
  int ninf_ = 0;
  int ninf_qp_ = 0;
  double sinf_ = 0.0;
  double sinf_qp_ = 0.0;
  double g0_scale_ = 1.0;
  double x_norm_ = 0.0, x_norm_n_ = 0.0, p_norm_ = 0.0, p_norm_n_ = 0.0;
  double pi_norm_ = 1.0;
  double dual_inf_ = 0.0;
  double primal_inf_ = 0.0;
  double max_res_ = 0.0;
  double merit_ = 0.0;
  double step_ = 0.0;
  double php_ = 0.0;
  bool feasible_ = false;
  bool optimal_ = false;
  bool converged_ = false;
  bool minor_limit_ = false;
  char flags_[6] = {' ', ' ', ' ', ' ', ' ', ' '};
  char qp_flags_[2] = {' ', ' '};
  FactorStats factor_stats_;
};

MajorLoop::MajorLoop(RunState& st, const Evaluator& ev, const MajorProblem& pr)
    : st_(st), ev_(ev), pr_(pr) {
  n_ = st.n;
  m_ = st.m;
  nb_ = st.nb;
  ncnln_ = st.ncnln;
  njnln_ = st.njnln;
  ngcon_ = word(ws::kJacobianCount);
  nnl_ = pr.nnl;
  print_level_ = word(iw::kMajorPrintLevel);
  minor_print_ = word(iw::kMinorPrintLevel);
  ev_.nonln = pr.feasible_point ? 0 : pr.nonln;
  x_ = st.p.xv;
  fcon_ = st.constraint_values();
  Words<double> z(st.z);
  gcon_ = z.at(word(run_array::kJacobian));
  gobj_ = st.objective_gradient();
  y_ = z.at(word(run_array::kNonlinearMultipliers));
  pi_ = z.at(word(ra::kPi));
  const auto nb = static_cast<std::size_t>(nb_);
  const auto nc = static_cast<std::size_t>(ncnln_);
  xqp_.assign(x_, x_ + nb_);
  p_.assign(nb, 0.0);
  w_.assign(nb, 0.0);
  d_.assign(nb, 0.0);
  c_.assign(nc, 0.0);
  viol_.assign(nc, 0.0);
  dy_.assign(nc, 0.0);
  rho_.assign(nc, 0.0);
  work_.assign(nc, 0.0);
  hp_.assign(static_cast<std::size_t>(nnl_), 0.0);
  yvec_.assign(static_cast<std::size_t>(nnl_), 0.0);
  gobj_qp_.assign(static_cast<std::size_t>(nnl_), 0.0);
  ns_ = *st.p.nsb;
  itn_ = st.iterations;
  const int level = word(iw::kDerivativeLevel);
  const bool objective_differences = (level == 0 || level == 2) && ev_.nonln >= 1;
  const bool constraint_differences = (level == 0 || level == 1) && ncnln_ >= 1;
  differences_ = objective_differences || constraint_differences;
  derivatives_after_ = differences_ || word(iw::kDerivativeLinesearch) == 0;
  elastic_allowed_ = !pr.feasible_point && ncnln_ >= 1;
}

// The objective part of the merit function at x: the signed objective row and objective.
double MajorLoop::objective_part(const double* x, double fobj) const {
  double f = 0.0;
  if (pr_.iobj >= 1) f += pr_.sign * x[n_ + pr_.iobj - 1] * real(run_word::kObjectiveScale);
  if (pr_.nonln >= 1) f += pr_.sign * fobj;
  return f;
}

int MajorLoop::evaluate(int mode, double* x, double* fcon, double* gcon, double& fobj,
                        double* gobj) {
  int status = ev_.constraints(mode, 0, x, fcon, gcon);
  if (status != 0) return status;
  if (pr_.feasible_point) {
    fobj = 0.5 * dot(njnln_, x, x);
    std::copy(x, x + njnln_, gobj);
  } else {
    status = ev_.objective(mode, 0, x, fobj, gobj);
    if (status != 0) return status;
  }
  if (mode > 0 && differences_) {
    status = fill_missing_derivatives(ev_, {x, fcon, gcon, &fobj, gobj});
  }
  return status;
}

// c := F plus the linear terms of the nonlinear rows over the columns NJNLN+1..N.
void MajorLoop::activity(const double* x, const double* fcon, double* c) const {
  std::copy(fcon, fcon + ncnln_, c);
  const int nx = n_ - njnln_;
  if (nx < 1 || ncnln_ < 1) return;
  const double zero = 0.0;
  const double one = 1.0;
  sparse_multiply("No transpose", zero, m_, n_, st_.aval.data(), st_.p.ha, st_.p.ka + njnln_, one,
                  x + njnln_, nx, one, c, ncnln_, 12);
}

void MajorLoop::load_rows() {
  Words<double> z(st_.z);
  load_nonlinear_rows(st_.matrix, jacobian_arrays(st_.iz, st_.z), fcon_, x_, 0.0,
                      z.at(word(run_array::kLinearPart)));
  activity(x_, fcon_, c_.data());
  set_merit_slacks(elastic_, n_, ncnln_, real(rw::kEpsPow08), elastic_weight_.weight,
                   st_.bl.data(), st_.bu.data(), viol_.data(), x_, y_, rho_.data(), c_.data());
}

int MajorLoop::factorize(bool first) {
  bool factor = first || ncnln_ >= 1;
  bool changed = false;
  bool moved = false;
  int result = 0;
  int reason = RefactorReason::kNone;
  double& abs_tol = st_.z[rw::kLuAbsSingularityTol - 1];
  double& rel_tol = st_.z[rw::kLuRelSingularityTol - 1];
  const double saved_abs = abs_tol;
  const double saved_rel = rel_tol;
  if (first) {
    abs_tol = std::max(abs_tol, real(kEps02));
    rel_tol = std::max(rel_tol, real(kEps02));
  }
  factorize_basis_driver(first ? BasisType::kWithSuperbasics : BasisType::kNormal, factor, changed,
                         moved, result, itn_, minor_print_, reason, m_, n_, njnln_, ns_,
                         bs_changes_, st_.columns(),
                         workspace_basis(st_.iz, st_.z, st_.p.istate, xqp_.data(), st_.bl.data(),
                                         st_.bu.data()),
                         st_.iz, st_.p.leniz, st_.z, st_.p.lenz);
  abs_tol = saved_abs;
  rel_tol = saved_rel;
  if (changed) r_valid_ = false;
  return result;
}

void MajorLoop::gradient_scale() {
  if (nnl_ < 1) return;
  g0_scale_ = 1.0;
  if (pr_.nonln >= 1) g0_scale_ += scaled_norm1(gobj_, pr_.nonln);
  if (pr_.iobj >= 1) g0_scale_ += real(run_word::kObjectiveScale);
}

void MajorLoop::reset_penalties() {
  penalty_.step_factor = 1.0;
  penalty_.ceiling = 1.0 / real(rw::kEps);
  penalty_.direction_down = true;
  std::fill(rho_.begin(), rho_.end(), real(rw::kInitialPenalty));
  penalty_.norm = real(rw::kInitialPenalty);
}

void MajorLoop::header() const {
  if (minor_print_ <= 0) return;
  const int print = word(iw::kPrintUnit);
  const int monitor = word(iw::kMonitoringUnit);
  const std::string dashes76(76, '-');
  write_record(print, platform::Record(kRecordLength).x(1).text(dashes76));
  const auto start = platform::Record(kRecordLength).text(" Start of major itn").i(major_, 6).text(".");
  write_record(print, start);
  if (monitor >= 0 && monitor != print) {
    write_record(monitor, platform::Record(kRecordLength));
    write_record(monitor, platform::Record(kRecordLength).text(std::string(116, '-')));
    write_record(monitor, platform::Record(kRecordLength));
    write_record(monitor, start);
  }
}

void MajorLoop::exit_lines() const {
  const int print = word(iw::kPrintUnit);
  const int monitor = word(iw::kMonitoringUnit);
  if (minor_print_ > 0) {
    write_record(print, platform::Record(kRecordLength).x(1).text(std::string(76, '-')));
    if (monitor >= 0 && monitor != print) {
      write_record(monitor, platform::Record(kRecordLength).x(1).text(std::string(116, '-')));
    }
  }
  if (!logging()) return;
  write_record(print, platform::Record(kRecordLength));
  write_record(print, platform::Record(kRecordLength)
                          .text(" Exit from ")
                          .text(pr_.feasible_point ? "FP " : "NP ")
                          .text("problem after ")
                          .i(major_, 5)
                          .text(" major iterations,"));
  write_record(print, platform::Record(kRecordLength)
                          .x(28)
                          .i(minor_total_, 5)
                          .text(" minor iterations."));
}

// Steps 4 and 5 of an iteration: the factorisation and the QP loop with the measures.
int MajorLoop::qp_phase() {
  int& minor_limit_word = word_ref(iw::kMinorIterationLimit);
  const int saved_limit = minor_limit_word;
  if (first_factor_ && word(iw::kCrashOption) == 0) {
    minor_limit_word = m_ + saved_limit;
    message("All-slack basis B = I selected.");
  }
  const int factor_result = factorize(first_factor_);
  if (factor_result != 0) {
    minor_limit_word = saved_limit;
    return factor_result;
  }
  for (;;) {
    QpSubproblem qp;
    qp.m = m_;
    qp.n = n_;
    qp.ncnln = ncnln_;
    qp.nnl = nnl_;
    qp.major_print_level = print_level_;
    qp.minor_print_level = minor_print_;
    qp.elastic_allowed = elastic_allowed_;
    qp.settings.m = m_;
    qp.settings.n = n_;
    qp.settings.superbasics_limit = word(iw::kSuperbasicsLimit);
    qp.settings.nnobj = nnl_;
    qp.settings.nnh = nnl_;
    qp.settings.minor_limit = minor_limit_word;
    qp.settings.print_level = minor_print_;
    qp.settings.objective_sign = pr_.sign;
    qp.settings.optimality_tol = real(rw::kMinorOptimalityTol);
    qp.settings.phase1_optimality_tol = real(rw::kOptimalityCompanion);
    qp.settings.feasibility_tol = real(rw::kMinorFeasibilityTol);
    std::fill(gobj_qp_.begin(), gobj_qp_.end(), 0.0);
    std::copy(gobj_, gobj_ + std::min(pr_.nonln, nnl_), gobj_qp_.begin());
    qp.objective.gobj = gobj_qp_.data();
    qp.objective.x0 = x_;
    qp.a = st_.columns();
    qp.state = st_.p.istate;
    qp.bl = st_.bl.data();
    qp.bu = st_.bu.data();
    qp.x = xqp_.data();
    qp.w = w_.data();
    qp.pi = pi_;
    const bool elastic_before = elastic_;
    int minor = 0;
    const int result = solve_qp_subproblem(qp, flags_[1], qp_flags_, elastic_, r_valid_, itn_, minor,
                                           ns_, bs_changes_, elastic_weight_.weight, st_.iz,
                                           st_.p.leniz, st_.z, st_.p.lenz);
    minor_count_ += minor;
    minor_total_ += minor;
    st_.degenerate_steps += qp.objective.degenerate_steps;
    flags_[4] = qp_flags_[0];
    flags_[5] = qp_flags_[1];
    pi_norm_ = qp.measures.pi_norm;
    ninf_qp_ = qp.measures.ninf;
    sinf_qp_ = qp.measures.sinf;
    if (first_factor_) {
      minor_limit_word = saved_limit;
      first_factor_ = false;
    }
    if (result > 9) return result;
    result_ = result;
    if (ncnln_ >= 1) {
      for (int i = 0; i < ncnln_; ++i) dy_[i] = pi_[i] - y_[i];
      if (elastic_ && !elastic_before) {
        for (int i = 0; i < ncnln_; ++i) x_[n_ + i] = c_[i];
        set_merit_slacks(elastic_, n_, ncnln_, real(rw::kEpsPow08), elastic_weight_.weight,
                         st_.bl.data(), st_.bu.data(), viol_.data(), x_, y_, rho_.data(),
                         c_.data());
      }
      nonlinear_infeasibilities(n_, ncnln_, real(rw::kMinorFeasibilityTol), ninf_, sinf_,
                                st_.bl.data(), st_.bu.data(), x_);
    }
    for (int j = 0; j < nb_; ++j) p_[j] = xqp_[j] - x_[j];
    measure();
    if (elastic_allowed_ && converged_ && ninf_ >= 1 &&
        boost_elastic_weight(elastic_weight_, itn_, st_.iz)) {
      elastic_ = true;
      continue;
    }
    return 0;
  }
}

void MajorLoop::measure() {
  x_norm_ = scaled_norm1(x_, nb_);
  x_norm_n_ = scaled_norm1(x_, n_);
  p_norm_ = scaled_norm1(p_.data(), nb_);
  p_norm_n_ = scaled_norm1(p_.data(), n_);
  reduced_gradient(real(run_word::kObjectiveScale), pr_.sign, pr_.iobj, m_, n_,
                   std::min(pr_.nonln, nnl_), st_.columns(), gobj_, pi_, d_.data());
  const OptimalityMeasures om =
      optimality_measures(elastic_, n_, nb_, ncnln_, elastic_weight_.weight, st_.bl.data(),
                          st_.bu.data(), d_.data(), x_, c_.data());
  max_res_ = 0.0;
  for (double v : viol_) max_res_ = std::max(max_res_, std::fabs(v));
  if (r_valid_) {
    Words<double> z(st_.z);
    factor_diagonal_stats(ns_, z.at(word(ra::kReducedHessian)), factor_stats_);
  }
  const double primal_res = max_res_ / (1.0 + x_norm_);
  primal_inf_ = om.max_viol / (1.0 + x_norm_);
  dual_inf_ = om.max_dual / (1.0 + pi_norm_);
  const double tol = real(rw::kMajorFeasibilityTol);
  feasible_ = primal_inf_ <= tol;
  optimal_ = dual_inf_ < real(rw::kMajorOptimalityTol);
  converged_ = (feasible_ || (primal_res < tol && ninf_ >= 1)) && optimal_;
}

// Returns true when the iteration must start again with central differences.
bool MajorLoop::difference_switch() {
  double c = ncnln_ >= 1 ? scaled_norm1(fcon_, ncnln_) : 0.0;
  if (pr_.nonln >= 1) c += std::fabs(st_.fobj);
  const double threshold =
      (c + 1.0) * real(rw::kFunctionPrecision) / real(rw::kForwardDifferenceInterval);
  int& type = word_ref(kDifferenceType);
  if (type != kCentral) {
    if (dual_inf_ > threshold) return false;
    type = kCentral;
    if (!differences_) return false;
    flags_[3] = 'c';
    message("Central differences invoked. Small reduced gradient.");
    central_count_ = 0;
    pending_central_ = true;
    return true;
  }
  if (10.0 * threshold < dual_inf_ && central_count_ >= 1) {
    type = 1;
    if (differences_) flags_[3] = ' ';
  }
  return false;
}

void MajorLoop::log_line() {
  if (!logging() || logged_major_ == major_) return;
  logged_major_ = major_;
  MajorLogLine l;
  l.major = major_;
  l.minor = minor_count_;
  l.step = step_;
  l.objective = merit_;
  l.sign = pr_.sign;
  l.feasibility = primal_inf_;
  l.optimality = dual_inf_;
  l.ns = ns_;
  l.penalty = penalty_.norm;
  l.swaps = bs_changes_;
  l.condition = factor_stats_.condition;
  l.primal = feasible_;
  l.dual = optimal_;
  l.flags = std::string_view(flags_, 6);
  print_major_iteration(l, print_level_, st_.iz);
}

int MajorLoop::update_hessian(const PointValues& acc, double alpha) {
  QuasiNewtonHessian h(nnl_, st_.iz, st_.z);
  const JacobianStructure& jac = ev_.jac;
  double py = merit_directional_derivative(pr_.sign, ncnln_, std::min(pr_.nonln, nnl_), njnln_,
                                           nnl_, jac, gobj_, acc.gobj.data(), gcon_,
                                           acc.gcon.data(), p_.data(), yvec_.data(),
                                           acc.y1.data());
  // The pair is the step alpha p and the change y of the Lagrangian gradient over it:
  // s'y >= 0.0001 s'Hs reads p'y >= 0.0001 alpha p'Hp.
  const double threshold = kCurvatureFactor * alpha * php_;
  if ((py < threshold || php_ <= 0.0) && ncnln_ >= 1) {
    if (threshold < alpha * php_ && php_ > 0.0 &&
        form_update_pair(ncnln_, njnln_, jac, py, threshold, alpha, fcon_, acc.fcon.data(),
                         gcon_, acc.gcon.data(), p_.data(), yvec_.data())) {
      flags_[0] = 'm';
    } else {
      flags_[0] = 'n';
      if (++skipped_ > kSkipsBeforePenaltyReset) {
        reset_penalties();
        skipped_ = 0;
        return 1;  // the new multiplier estimates are dropped
      }
    }
  }
  const bool accepted =
      h.update(flags_[0], flags_[1], ncnln_, alpha, py, threshold, php_, hp_.data(), yvec_.data());
  if (accepted) {
    skipped_ = 0;
    r_valid_ = false;
  }
  return 0;
}

int MajorLoop::failed_search(int search) {
  if (differences_ && word(kDifferenceType) != kCentral) {
    word_ref(kDifferenceType) = kCentral;
    flags_[3] = 'c';
    message("Central differences invoked. Small step length.");
    central_count_ = 0;
    pending_central_ = true;
    return -2;  // next major iteration
  }
  const bool reset_allowed = nnl_ >= 1 && fruitless_ < kFruitlessResets;
  const auto reset = [&] {
    if (word(hessian_word::kUpdates) < 1) {
      ++fruitless_;
    } else {
      fruitless_ = 0;
    }
    QuasiNewtonHessian(nnl_, st_.iz, st_.z).reset(flags_[1]);
    r_valid_ = false;
    reset_penalties();
    return -2;
  };
  if (feasible_) {
    if (std::fabs(st_.fobj) >= real(rw::kUnboundedObjective) / 10.0 && pr_.nonln >= 1) {
      return end_class::kUnboundedOrViolation;
    }
    if (reset_allowed) return reset();
    if (dual_inf_ < 100.0 * real(rw::kMajorOptimalityTol)) return end_class::kAccuracyNotAchieved;
  } else if (reset_allowed) {
    return reset();
  }
  if (minor_limit_) return end_class::kLimitReached;
  if (!cut_for_violation_) {
    if (search == search_result::kUnbounded) return end_class::kUnboundedOrViolation;
    const int monitor = word(iw::kMonitoringUnit);
    if (monitor >= 0 && monitor != word(iw::kPrintUnit)) {
      static constexpr const char* kTexts[] = {"max step too small.", "step too small.    ",
                                               "no minimizer.      ", "too many functions.",
                                               "uphill direction.  "};
      const int k = std::clamp(search - search_result::kMaxStepTooSmall, 0, 4);
      write_record(monitor, platform::Record(kRecordLength)
                                .text(" Search exit")
                                .i(search, 3)
                                .text(" -- ")
                                .text(kTexts[k])
                                .text("   Itn =")
                                .i(major_, 7)
                                .text(", Dual Inf =")
                                .e(dual_inf_, 11, 3)
                                .text("."));
    }
    return end_class::kCannotImprove;
  }
  if (feasible_) return end_class::kUnboundedOrViolation;
  if (elastic_allowed_ && boost_elastic_weight(elastic_weight_, itn_, st_.iz)) {
    elastic_ = true;
    return -3;  // solve the QP again
  }
  // The weight cannot be raised: no progress is possible from here.
  return end_class::kCannotImprove;
}

// Steps 10 to 16: returns -2 for the next major iteration, -3 to solve the QP again, -4 to
// restart the iteration after a Hessian reset, or an end class.
int MajorLoop::search_and_update() {
  std::fill(std::begin(flags_), std::end(flags_), ' ');
  result_ = 0;
  step_ = 0.0;
  php_ = 0.0;
  if (nnl_ >= 1) {
    QuasiNewtonHessian(nnl_, st_.iz, st_.z).multiply(1, p_.data(), hp_.data());
    php_ = std::max(dot(nnl_, p_.data(), hp_.data()), 0.0);
  }
  double curvature = php_;
  if (nnl_ < n_) curvature = std::max(php_, real(kEps067) * p_norm_n_ * p_norm_n_);
  double f = objective_part(x_, st_.fobj);
  double gf = 0.0;
  if (pr_.iobj >= 1) gf += pr_.sign * p_[n_ + pr_.iobj - 1] * real(run_word::kObjectiveScale);
  if (pr_.nonln >= 1) gf += pr_.sign * dot(std::min(pr_.nonln, nnl_), gobj_, p_.data());
  if (elastic_) {
    f += elastic_weight_.weight * sinf_;
    gf += elastic_weight_.weight * (sinf_qp_ - sinf_);
  }
  if (ncnln_ >= 1) {
    update_penalty_parameters(ncnln_, f, gf, curvature, penalty_, viol_.data(), y_, dy_.data(),
                              rho_.data(), work_.data(), st_.z);
  }
  merit_ = f;
  const double merit0 = f;
  const double g0 = gf;
  int fail = 0;
  double alpha_min = 0.0;
  if (derivatives_after_ && word(kDifferenceType) != kCentral &&
      ((word(kGradientMissing) >= 1 && pr_.nonln > word(ws::kObjGradientSupplied)) ||
       (word(kJacobianMissing) >= 1 && ngcon_ > word(ws::kJacobianSupplied)))) {
    alpha_min = safe_divide((1.0 + x_norm_n_) * real(rw::kForwardDifferenceInterval), p_norm_n_,
                            fail);
  }
  double alpha_max = 1.0;
  if (ncnln_ == 0) {
    const double alpha_unb = safe_divide(real(rw::kUnboundedStepSize), p_norm_, fail);
    const double alpha_b =
        max_step_to_bounds(nb_, alpha_unb, 1.0, p_norm_ * real(rw::kPivotTol), real(rw::kEpsPow08),
                           st_.bl.data(), st_.bu.data(), x_, p_.data());
    if (qp_flags_[0] == 'u' && alpha_unb <= alpha_b) return end_class::kUnboundedOrViolation;
    alpha_max = alpha_b;
  }
  const double alpha_lim = safe_divide((1.0 + x_norm_) * real(rw::kMajorStepLimit), p_norm_, fail);
  alpha_max = std::min(alpha_max, alpha_lim);
  double first = std::min(alpha_lim, 1.0);

  // Trial values and the accepted point.
  const std::vector<double> x0(x_, x_ + nb_);
  PointValues trial{std::vector<double>(x0), std::vector<double>(fcon_, fcon_ + ncnln_),
                    std::vector<double>(gcon_, gcon_ + ngcon_),
                    std::vector<double>(gobj_, gobj_ + std::max(nnl_, pr_.nonln)),
                    st_.fobj, merit0, sinf_, std::vector<double>(y_, y_ + ncnln_)};
  PointValues acc = trial;
  std::vector<double> ct(static_cast<std::size_t>(ncnln_)), vt(ct), jp(ct), wv(ct);
  const bool with_slopes = !derivatives_after_;
  const double unbounded = real(rw::kUnboundedObjective);
  SearchCallbacks cb;
  cb.trial = [&](double alpha, bool slope, double& merit, double& g) {
    for (int j = 0; j < nb_; ++j) trial.x[j] = x0[j] + alpha * p_[j];
    const int mode = slope ? 2 : 0;
    int status = evaluate(mode, trial.x.data(), trial.fcon.data(), trial.gcon.data(), trial.fobj,
                          trial.gobj.data());
    if (status != 0) return status == evaluation_status::kUndefined ? -1 : status;
    if (pr_.nonln >= 1 && !pr_.feasible_point && std::fabs(trial.fobj) > unbounded) return -1;
    double ft = objective_part(trial.x.data(), trial.fobj);
    g = 0.0;
    if (slope) {
      if (pr_.iobj >= 1) g += pr_.sign * p_[n_ + pr_.iobj - 1] * real(run_word::kObjectiveScale);
      if (pr_.nonln >= 1) {
        g += pr_.sign * dot(std::min(pr_.nonln, nnl_), trial.gobj.data(), p_.data());
      }
    }
    if (ncnln_ >= 1) {
      if (alpha <= 1.0) {
        for (int i = 0; i < ncnln_; ++i) trial.y1[i] = y_[i] + alpha * dy_[i];
      }
      activity(trial.x.data(), trial.fcon.data(), ct.data());
      double quad = 0.0;
      for (int i = 0; i < ncnln_; ++i) {
        vt[i] = ct[i] - trial.x[n_ + i];
        quad += vt[i] * rho_[i] * vt[i];
      }
      ft += -dot(ncnln_, trial.y1.data(), vt.data()) + 0.5 * quad;
      if (slope) {
        multiply_jacobian("No transpose", ev_.jac, trial.gcon.data(), 1.0, p_.data(), njnln_, 0.0,
                          jp.data(), ncnln_);
        activity(p_.data(), std::vector<double>(static_cast<std::size_t>(ncnln_), 0.0).data(),
                 wv.data());
        double wdot = 0.0;
        for (int i = 0; i < ncnln_; ++i) {
          const double wi = trial.y1[i] - rho_[i] * vt[i];
          wdot += wi * (jp[i] + wv[i] - p_[n_ + i]);
        }
        g += -wdot - dot(ncnln_, vt.data(), dy_.data());
      }
    }
    if (elastic_) {
      trial.sinf = sinf_ + alpha * (sinf_qp_ - sinf_);
      ft += elastic_weight_.weight * trial.sinf;
      if (slope) g += elastic_weight_.weight * (sinf_qp_ - sinf_);
    }
    trial.merit = ft;
    merit = ft;
    return 0;
  };
  cb.accept = [&] { acc = trial; };
  cb.restart = [&] {
    acc.x = x0;
    return evaluate(0, acc.x.data(), acc.fcon.data(), acc.gcon.data(), acc.fobj, acc.gobj.data());
  };
  cb.finish = [](double) {};
  cb.restart_message = [&] { message("Restart linesearch."); };

  for (;;) {
    int search = search_result::kUphill;
    int evaluations = 0;
    double alpha = 0.0;
    if (alpha_max >= alpha_min) {
      SearchInput in;
      in.merit0 = merit0;
      in.alpha = first;
      in.derivatives = with_slopes;
      in.lim = search_limits(nb_, merit0, g0, alpha_max, x_norm_, p_norm_, x0.data(), p_.data(),
                             real(rw::kEps), real(rw::kEpsPow08), real(rw::kFunctionPrecision),
                             real(rw::kLinesearchTol));
      search = line_search(in, cb, alpha, evaluations);
      if (search == search_result::kTooManyFunctions) {
        message("The linesearch has evaluated the functions" + platform::format_i(evaluations, 5) +
                " times.");
      }
    }
    if (search == search_result::kUserStop) {
      return *ev_.stop_code == -1 ? end_class::kFunctionsUndefined : end_class::kUserStop;
    }
    step_ = alpha;
    if (alpha >= alpha_lim) flags_[2] = 'l';
    if (search >= search_result::kMaxStepTooSmall) return failed_search(search);
    if (ncnln_ >= 1) {
      std::vector<double> cv(static_cast<std::size_t>(ncnln_));
      const NonlinearViolation v = nonlinear_violation(ncnln_, njnln_, 0.0, st_.matrix,
                                                       st_.bl.data(), st_.bu.data(),
                                                       acc.fcon.data(), acc.x.data(), cv.data());
      if (v.relative > st_.violation_limit && alpha > 0.0) {
        alpha_max = kViolationCut * alpha;
        first = alpha_max;
        flags_[2] = 'd';
        cut_for_violation_ = true;
        continue;
      }
    }
    break;
  }
  if (derivatives_after_) {
    const int status =
        evaluate(1, acc.x.data(), acc.fcon.data(), acc.gcon.data(), acc.fobj, acc.gobj.data());
    if (status != 0) {
      return status == evaluation_status::kUndefined ? end_class::kFunctionsUndefined
                                                      : end_class::kUserStop;
    }
  }
  if (word(kDifferenceType) == kCentral) ++central_count_;
  ++major_;
  header();
  bool drop_multipliers = false;
  if (nnl_ >= 1) drop_multipliers = update_hessian(acc, step_) != 0;
  std::copy(acc.x.begin(), acc.x.end(), x_);
  std::copy(acc.fcon.begin(), acc.fcon.end(), fcon_);
  std::copy(acc.gcon.begin(), acc.gcon.end(), gcon_);
  std::copy(acc.gobj.begin(), acc.gobj.begin() + std::min<std::size_t>(acc.gobj.size(),
                                                                      static_cast<std::size_t>(
                                                                          std::max(nnl_, pr_.nonln))),
            gobj_);
  st_.fobj = acc.fobj;
  if (ncnln_ >= 1) {
    if (drop_multipliers) {
      std::fill(y_, y_ + ncnln_, 0.0);
    } else {
      std::copy(acc.y1.begin(), acc.y1.end(), y_);
    }
  }
  sinf_ = acc.sinf;
  ninf_ = ninf_qp_;
  gradient_scale();
  if (elastic_allowed_ && !elastic_) {
    set_elastic_weight_initial(elastic_weight_, g0_scale_, pr_.elastic_weight_option);
  }
  return -2;
}

int MajorLoop::run() {
  word_ref(kFactorStatistics) = 0;
  word_ref(kShortHeading) = 0;
  word_ref(kLongHeading) = print_level_ >= 10 ? 1 : 0;
  header();
  gradient_scale();
  if (ncnln_ >= 1) {
    reset_penalties();
    std::fill(y_, y_ + ncnln_, 0.0);
    if (elastic_allowed_) {
      set_elastic_weight_initial(elastic_weight_, g0_scale_, pr_.elastic_weight_option);
    } else {
      elastic_weight_.weight = pr_.elastic_weight_option;
    }
  }
  if (nnl_ >= 1) QuasiNewtonHessian(nnl_, st_.iz, st_.z).reset(flags_[1]);
  int end = result_;
  bool reset_this_iteration = false;
  int restart_kind = -2;
  while (end == 0) {
    if (restart_kind == -2) {
      minor_count_ = 0;
      reset_this_iteration = false;
      cut_for_violation_ = false;
    }
    if (pending_central_ && differences_) {
      const int status = fill_missing_derivatives(ev_, {x_, fcon_, gcon_, &st_.fobj, gobj_});
      if (status != 0) {
        end = status == evaluation_status::kUndefined ? end_class::kFunctionsUndefined
                                                      : end_class::kUserStop;
        break;
      }
    }
    pending_central_ = false;
    if (ncnln_ >= 1) load_rows();
    const int qp = qp_phase();
    if (qp != 0) {
      end = qp;
      break;
    }
    const bool itn_limit = result_ == MinorResult::kIterationLimit &&
                           itn_ >= word(iw::kIterationLimit);
    const bool major_limit = major_ >= word(iw::kMajorIterationLimit);
    minor_limit_ = minor_count_ >= word(iw::kMinorIterationLimit);
    const bool superbasics = result_ == MinorResult::kSuperbasicsLimit;
    merit_ = objective_part(x_, st_.fobj);
    if (ncnln_ >= 1) {
      double quad = 0.0;
      for (int i = 0; i < ncnln_; ++i) quad += viol_[i] * rho_[i] * viol_[i];
      merit_ += -dot(ncnln_, y_, viol_.data()) + 0.5 * quad;
      if (elastic_) merit_ += elastic_weight_.weight * sinf_;
    }
    if (difference_switch()) {
      log_line();
      restart_kind = -1;
      continue;
    }
    log_line();
    if (converged_ || superbasics || itn_limit || major_limit) {
      end = converged_ ? 0 : (superbasics ? end_class::kSuperbasicsLimit : end_class::kLimitReached);
      break;
    }
    if (nnl_ >= 1 && nnl_ == n_ && !reset_this_iteration) {
      std::vector<double> hp(static_cast<std::size_t>(nnl_));
      QuasiNewtonHessian h(nnl_, st_.iz, st_.z);
      h.multiply(1, p_.data(), hp.data());
      if (dot(nnl_, p_.data(), hp.data()) <= 0.0 && p_norm_ > 0.0) {
        h.reset(flags_[1]);
        r_valid_ = false;
        reset_this_iteration = true;
        restart_kind = -4;
        continue;
      }
    }
    const int step = search_and_update();
    if (step >= 0 || step == -1) {
      end = step;
      break;
    }
    restart_kind = step;
  }
  st_.merit = merit_;
  st_.penalty = penalty_.norm;
  st_.reduced_gradient = dual_inf_;
  st_.major_iterations = major_;
  st_.minor_iterations = minor_count_;
  st_.iterations = itn_;
  st_.elastic_weight = elastic_weight_.weight;
  *st_.p.nsb = ns_;
  std::copy(pi_, pi_ + m_, st_.pi());
  if (ninf_ >= 1) {
    *st_.p.ninfs = ninf_;
    *st_.p.suminf = sinf_;
  }
  if (end != end_class::kUserStop && end != end_class::kFunctionsUndefined) exit_lines();
  return end;
}

}  // namespace

int run_major_iterations(RunState& st, const Evaluator& ev, const MajorProblem& pr) {
  MajorLoop loop(st, ev, pr);
  return loop.run();
}

}  // namespace zun
