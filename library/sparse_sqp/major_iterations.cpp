// The SQP major iterations: QP subproblem, convergence test, merit function, line search and
// quasi-Newton update, repeated until the point is optimal or a limit is reached.
#include "library/sparse_sqp/major_loop.h"

namespace zun {
namespace major {

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

// The factorisation and the QP loop of an iteration, with the measures of the point.
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
  // The complementarity measured for a nonlinear row is that of its slack, which the merit
  // function may leave at a bound while the row's activity lies away from it: a point
  // converges only when the activities agree with the slacks.
  const bool slacks_agree = primal_res <= tol;
  converged_ = slacks_agree && (feasible_ || ninf_ >= 1) && optimal_;
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
  int restart_kind = kNextIteration;
  while (end == 0) {
    // A new iteration, or the same one again from its start with the reset Hessian (at most
    // once per iteration).
    if (restart_kind == kNextIteration || restart_kind == kAfterHessianReset) {
      minor_count_ = 0;
      cut_for_violation_ = false;
    }
    if (restart_kind == kNextIteration) reset_this_iteration = false;
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
      restart_kind = kWithCentralDifferences;
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
      if (dot(nnl_, p_.data(), hp.data()) <= 0.0) {
        h.reset(flags_[1]);
        r_valid_ = false;
        reset_this_iteration = true;
        restart_kind = kAfterHessianReset;
        continue;
      }
    }
    const int step = search_and_update();
    if (step >= end_class::kFunctionsUndefined) {
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
    // The point minimises the elastic infeasibilities of the nonlinear rows.
    if (end == 0 && elastic_) st_.nonlinear_infeasible = 1;
  }
  if (!stopped_in_search_) exit_lines();
  return end;
}

}  // namespace major

int run_major_iterations(RunState& st, const Evaluator& ev, const MajorProblem& pr) {
  major::MajorLoop loop(st, ev, pr);
  return loop.run();
}

}  // namespace zun
