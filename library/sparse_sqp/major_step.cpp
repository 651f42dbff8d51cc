// One step of the major iterations: the merit function along the QP direction, the line
// search, the quasi-Newton update and what follows a failed search.
#include "library/sparse_sqp/major_loop.h"
#include "library/sparse_sqp/reduced_hessian_update.h"

namespace zun::major {

// The quasi-Newton update of the step alpha p to the accepted point.  Returns 1 when the
// skipped updates reset the penalty parameters (the new multiplier estimates are then
// dropped), else 0; a stop asked for at the re-evaluation point sets stop_after_update_.
int MajorLoop::update_hessian(const PointValues& acc, double alpha) {
  QuasiNewtonHessian h(nnl_, st_.iz, st_.z);
  UpdateProblem up;
  up.sign = pr_.sign;
  up.ncnln = ncnln_;
  up.njnln = njnln_;
  up.nonln = std::min(pr_.nonln, nnl_);
  up.nnl = nnl_;
  up.nb = nb_;
  up.jac = ev_.jac;
  up.eps = real(rw::kEps);
  PointValues mid;
  const int stop_before = *ev_.stop_code;
  const StepEndEvaluation reevaluate = [&](const double* x, StepEndValues& at) {
    mid = acc;  // arrays of the right sizes
    std::copy(x, x + nb_, mid.x.begin());
    const int status =
        evaluate(2, mid.x.data(), mid.fcon.data(), mid.gcon.data(), mid.fobj, mid.gobj.data());
    at = {mid.fcon.data(), mid.gcon.data(), mid.gobj.data()};
    return status;
  };
  QuasiNewtonPair pair =
      choose_update_pair(up, h, alpha, x_, w_.data(), p_.data(), {fcon_, gcon_, gobj_},
                         {acc.fcon.data(), acc.gcon.data(), acc.gobj.data()}, acc.y1.data(),
                         reevaluate);
  // Undefined functions at the re-evaluation point cost only the better pair.
  if (pair.status == evaluation_status::kUndefined) *ev_.stop_code = stop_before;
  if (pair.status == evaluation_status::kUserStop) stop_after_update_ = true;
  if (pair.flag != ' ') flags_[0] = pair.flag;
  if (pair.flag == 'n' && ++skipped_ > kSkipsBeforePenaltyReset) {
    reset_penalties();
    skipped_ = 0;
    return 1;
  }
  const int stored_before = h.updates();
  const bool accepted = h.update(flags_[0], flags_[1], ncnln_, alpha, pair.py, pair.threshold,
                                 pair.php, pair.hp.data(), pair.y.data());
  if (accepted) {
    skipped_ = 0;
    r_valid_ = r_valid_ && update_reduced_factor(h, stored_before, alpha * pair.py, pair);
  }
  return 0;
}

// With linear constraints only, the accepted update that joined the stored list (no fold, no
// reset) changes R in the null space; otherwise, or when that fails, R is built again by the
// next QP subproblem.  pair.hp is as the update left it (scaled by a first update).
bool MajorLoop::update_reduced_factor(const QuasiNewtonHessian& h,
                                      int stored_before,
                                      double apy,
                                      QuasiNewtonPair& pair) {
  if (ncnln_ != 0 || ns_ < 1 || ns_ > word(iw::kReducedHessianDim)) return false;
  if (h.updates() < 1 || h.updates() != stored_before + 1) return false;
  // The first update after a reset scaled H, and with it hp, by the saved factor.
  const double scale = stored_before == 0 ? st_.z[hessian_word::kFirstScale - 1] : 1.0;
  Words<double> z(st_.z);
  Words<int> iz(st_.iz);
  return update_reduced_hessian(m_, n_, ns_, nnl_, iz.at(word(sparse_ws::int_array::kBsIndex)),
                                st_.columns(), scale, apy, scale * pair.php, pair.y.data(),
                                pair.hp.data(), z.at(word(ra::kReducedHessian)), st_.iz, st_.z);
}

int MajorLoop::failed_search(int search) {
  if (differences_ && word(kDifferenceType) != kCentral) {
    word_ref(kDifferenceType) = kCentral;
    flags_[3] = 'c';
    message("Central differences invoked. Small step length.");
    central_count_ = 0;
    pending_central_ = true;
    return kNextIteration;
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
    return kNextIteration;
  };
  if (feasible_) {
    if (std::fabs(st_.user_objective()) >= real(rw::kUnboundedObjective) / 10.0) {
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
    return kSolveQpAgain;
  }
  // The weight cannot be raised: no progress is possible from here.
  return end_class::kCannotImprove;
}

// The merit value and slope at x (in: f and its derivative gf along p) with the penalty
// parameters brought up to date.
void MajorLoop::merit_at_start(double& f, double& gf) {
  double curvature = php_;
  if (nnl_ < n_) curvature = std::max(php_, real(kEps067) * p_norm_n_ * p_norm_n_);
  f = objective_part(x_, st_.fobj);
  gf = 0.0;
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
}

// The smallest useful step, the largest step and the first trial; false when the QP was
// unbounded and nothing blocks before the unbounded step size.
bool MajorLoop::step_limits(StepLimits& lim) const {
  int fail = 0;
  lim.alpha_min = 0.0;
  if (derivatives_after_ && word(kDifferenceType) != kCentral &&
      ((word(kGradientMissing) >= 1 && pr_.nonln > word(ws::kObjGradientSupplied)) ||
       (word(kJacobianMissing) >= 1 && ngcon_ > word(ws::kJacobianSupplied)))) {
    lim.alpha_min = safe_divide((1.0 + x_norm_n_) * real(rw::kForwardDifferenceInterval),
                                p_norm_n_, fail);
  }
  lim.alpha_max = 1.0;
  if (ncnln_ == 0) {
    const double alpha_unb = safe_divide(real(rw::kUnboundedStepSize), p_norm_, fail);
    const double alpha_b =
        max_step_to_bounds(nb_, alpha_unb, 1.0, p_norm_ * real(rw::kPivotTol), real(rw::kEpsPow08),
                           st_.bl.data(), st_.bu.data(), x_, p_.data());
    if (qp_flags_[0] == 'u' && alpha_unb <= alpha_b) return false;
    lim.alpha_max = alpha_b;
  }
  lim.alpha_lim = safe_divide((1.0 + x_norm_) * real(rw::kMajorStepLimit), p_norm_, fail);
  lim.alpha_max = std::min(lim.alpha_max, lim.alpha_lim);
  lim.first = std::min(lim.alpha_lim, 1.0);
  return true;
}

// The functions and the merit value (and slope) at x0 + alpha p into ls.trial.  Returns 0, -1
// (undefined there, also for an objective beyond the unbounded value) or a stop.
int MajorLoop::trial_point(LineState& ls, double alpha, bool slope, double& merit, double& g) {
  PointValues& t = ls.trial;
  for (int j = 0; j < nb_; ++j) t.x[j] = ls.x0[j] + alpha * p_[j];
  const int status =
      evaluate(slope ? 2 : 0, t.x.data(), t.fcon.data(), t.gcon.data(), t.fobj, t.gobj.data());
  if (status != 0) return status == evaluation_status::kUndefined ? -1 : status;
  if (pr_.nonln >= 1 && !pr_.feasible_point &&
      std::fabs(t.fobj) > real(rw::kUnboundedObjective)) {
    return -1;
  }
  double ft = objective_part(t.x.data(), t.fobj);
  g = 0.0;
  if (slope) {
    if (pr_.iobj >= 1) g += pr_.sign * p_[n_ + pr_.iobj - 1] * real(run_word::kObjectiveScale);
    if (pr_.nonln >= 1) g += pr_.sign * dot(std::min(pr_.nonln, nnl_), t.gobj.data(), p_.data());
  }
  if (ncnln_ >= 1) {
    if (alpha <= 1.0) {
      for (int i = 0; i < ncnln_; ++i) t.y1[i] = y_[i] + alpha * dy_[i];
    }
    activity(t.x.data(), t.fcon.data(), ls.c.data());
    double quad = 0.0;
    for (int i = 0; i < ncnln_; ++i) {
      ls.v[i] = ls.c[i] - t.x[n_ + i];
      quad += ls.v[i] * rho_[i] * ls.v[i];
    }
    ft += -dot(ncnln_, t.y1.data(), ls.v.data()) + 0.5 * quad;
    if (slope) {
      // The change of the full row activities along p: J p plus the linear terms.
      multiply_jacobian("No transpose", ev_.jac, t.gcon.data(), 1.0, p_.data(), njnln_, 0.0,
                        ls.jp.data(), ncnln_);
      activity(p_.data(), ls.zero.data(), ls.lp.data());
      double wdot = 0.0;
      for (int i = 0; i < ncnln_; ++i) {
        const double wi = t.y1[i] - rho_[i] * ls.v[i];
        wdot += wi * (ls.jp[i] + ls.lp[i] - p_[n_ + i]);
      }
      g += -wdot - dot(ncnln_, ls.v.data(), dy_.data());
    }
  }
  if (elastic_) {
    t.sinf = sinf_ + alpha * (sinf_qp_ - sinf_);
    ft += elastic_weight_.weight * t.sinf;
    if (slope) g += elastic_weight_.weight * (sinf_qp_ - sinf_);
  }
  t.merit = ft;
  merit = ft;
  return 0;
}

// The search along p, cut for the violation limit as often as needed.  Returns the search
// result; step_ is the accepted step.
int MajorLoop::search(LineState& ls, StepLimits lim, double merit0, double g0) {
  SearchCallbacks cb;
  cb.trial = [&](double alpha, bool slope, double& merit, double& g) {
    return trial_point(ls, alpha, slope, merit, g);
  };
  cb.accept = [&] { ls.acc = ls.trial; };
  cb.restart = [&] {
    ls.acc.x = ls.x0;
    PointValues& a = ls.acc;
    const int status = evaluate(0, a.x.data(), a.fcon.data(), a.gcon.data(), a.fobj, a.gobj.data());
    if (status == 0) ev_.forget_undefined();
    return status;
  };
  cb.finish = [](double) {};
  cb.restart_message = [&] { message("Restart linesearch."); };
  for (;;) {
    int result = search_result::kUphill;
    int evaluations = 0;
    double alpha = 0.0;
    if (lim.alpha_max >= lim.alpha_min) {
      SearchInput in;
      in.merit0 = merit0;
      in.alpha = lim.first;
      in.derivatives = !derivatives_after_;
      in.lim = search_limits(nb_, merit0, g0, lim.alpha_max, x_norm_, p_norm_, ls.x0.data(),
                             p_.data(), real(rw::kEps), real(rw::kEpsPow08),
                             real(rw::kFunctionPrecision), real(rw::kLinesearchTol));
      result = line_search(in, cb, alpha, evaluations);
      if (result == search_result::kTooManyFunctions) {
        message("The linesearch has evaluated the functions" + platform::format_i(evaluations, 5) +
                " times.");
      }
    }
    step_ = alpha;
    if (result == search_result::kUserStop || result >= search_result::kMaxStepTooSmall) {
      return result;
    }
    if (alpha >= lim.alpha_lim) flags_[2] = 'l';
    if (ncnln_ >= 1) {
      const NonlinearViolation v =
          nonlinear_violation(ncnln_, njnln_, 0.0, st_.matrix, st_.bl.data(), st_.bu.data(),
                              ls.acc.fcon.data(), ls.acc.x.data(), ls.c.data());
      if (v.relative > st_.violation_limit && alpha > 0.0) {
        lim.alpha_max = kViolationCut * alpha;
        lim.first = lim.alpha_max;
        flags_[2] = 'd';
        cut_for_violation_ = true;
        continue;
      }
    }
    return result;
  }
}

// The accepted point becomes the current one, with its derivatives and the Hessian update.
int MajorLoop::take_step(LineState& ls) {
  PointValues& acc = ls.acc;
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
  const bool drop_multipliers = nnl_ >= 1 && update_hessian(acc, step_) != 0;
  std::copy(acc.x.begin(), acc.x.end(), x_);
  std::copy(acc.fcon.begin(), acc.fcon.end(), fcon_);
  std::copy(acc.gcon.begin(), acc.gcon.end(), gcon_);
  std::copy(acc.gobj.begin(), acc.gobj.end(), gobj_);
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
  return stop_after_update_ ? end_class::kUserStop : kNextIteration;
}

// The step from the QP direction: the merit function, the search, the update.  Returns an end
// class, kNextIteration or kSolveQpAgain.
int MajorLoop::search_and_update() {
  std::fill(std::begin(flags_), std::end(flags_), ' ');
  result_ = 0;
  step_ = 0.0;
  php_ = 0.0;
  if (nnl_ >= 1) {
    QuasiNewtonHessian(nnl_, st_.iz, st_.z).multiply(1, p_.data(), hp_.data());
    php_ = std::max(dot(nnl_, p_.data(), hp_.data()), 0.0);
  }
  double merit0 = 0.0;
  double g0 = 0.0;
  merit_at_start(merit0, g0);
  merit_ = merit0;
  StepLimits lim;
  if (!step_limits(lim)) {
    // A ray of the QP that no bound blocks: the exit reports an unbounded problem.
    st_.unbounded = true;
    return end_class::kUnboundedOrViolation;
  }
  const auto nc = static_cast<std::size_t>(ncnln_);
  const std::size_t ng = static_cast<std::size_t>(std::max(nnl_, pr_.nonln));
  LineState ls;
  ls.x0.assign(x_, x_ + nb_);
  ls.trial = PointValues{ls.x0,
                         std::vector<double>(fcon_, fcon_ + ncnln_),
                         std::vector<double>(gcon_, gcon_ + ngcon_),
                         std::vector<double>(gobj_, gobj_ + ng),
                         st_.fobj,
                         merit0,
                         sinf_,
                         std::vector<double>(y_, y_ + ncnln_)};
  ls.acc = ls.trial;
  for (std::vector<double>* v : {&ls.c, &ls.v, &ls.jp, &ls.lp, &ls.zero}) v->assign(nc, 0.0);
  const int result = search(ls, lim, merit0, g0);
  if (result == search_result::kUserStop) {
    stopped_in_search_ = true;
    return *ev_.stop_code == -1 ? end_class::kFunctionsUndefined : end_class::kUserStop;
  }
  if (result >= search_result::kMaxStepTooSmall) return failed_search(result);
  return take_step(ls);
}


}  // namespace zun::major
