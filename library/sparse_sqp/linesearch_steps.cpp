// The two step routines of the line search: safeguarded cubic (slopes) and parabolic (values)
// interpolation inside a bracket that shrinks around the best step.
#include "library/sparse_sqp/linesearch_steps.h"

#include <cmath>

namespace zun {
namespace {

constexpr double kDecrease = 0.0001;  // the sufficient-decrease factor inside psi
constexpr double kExtrapolation = 5.0;
constexpr int kSameSideLimit = 3;

// The step from a bracket side c of a bracket [a, b] when extrapolating.
double extrapolation_step(double d, double len) {
  if (d < len) return std::sqrt(len) * std::sqrt(d) * 0.5;
  return (len / d + 0.1) * len * 5.0 / 11.0;
}

// No search is made when the largest step is below the smallest useful one or the slope at 0
// does not promise a decrease; written so that a NaN in either test ends the search too.
bool no_search(const SearchLimits& lim, double slope) {
  return !(lim.alpha_max > lim.tol_tiny) || !(slope < 0.0);
}

}  // namespace

// ---- Derivative search.

void StepSearchA::start(double alpha, const SearchLimits& lim) {
  s_ = StepState{};
  s_.lim = lim;
  s_.gbest = (1.0 - kDecrease) * lim.g0;
  if (no_search(lim, lim.g0)) {
    s_.done = true;
    s_.result = search_result::kUphill;
    return;
  }
  s_.tol = lim.tol_abs;
  s_.tolmax = lim.tol_rel * lim.alpha_max + lim.tol_abs;
  s_.b = lim.alpha_max + s_.tolmax;
  s_.small_max = lim.alpha_max <= lim.tol_abs;
  s_.xtry = alpha;
  place();
}

void StepSearchA::next(double ftry, double gtry) {
  StepState& s = s_;
  ++s.count;
  if (!s.bracketed) {
    s.tolmax = s.lim.tol_rel * s.lim.alpha_max + s.lim.tol_abs;
    s.b = s.tolmax + s.lim.alpha_max - s.alfbst;
  }
  const double change = std::fabs(ftry - s.fbest);
  const bool better = (change > s.lim.epsaf && ftry < s.fbest) ||
                      (change <= s.lim.epsaf && std::fabs(gtry) <= std::fabs(s.gbest));
  s.improved = better;
  if (better) {
    s.fw = s.fbest;
    s.gw = s.gbest;
    s.xw = -s.xtry;
    s.fbest = ftry;
    s.gbest = gtry;
    s.alfbst = s.alpha;
    s.a -= s.xtry;
    s.b -= s.xtry;
    s.moved = true;
    s.w_set = true;
    s.extrapolate = (s.xw < 0.0 && s.gbest < 0.0) || (s.xw > 0.0 && s.gbest > 0.0);
    if (s.gbest > 0.0) {
      s.b = 0.0;
      s.bracketed = true;
      ++s.left;
      s.right = 0;
    } else {
      s.a = 0.0;
      ++s.right;
      s.left = 0;
    }
  } else {
    if (s.xtry > 0.0) {
      s.b = s.xtry;
      s.bracketed = true;
      ++s.left;
      s.right = 0;
    } else {
      s.a = s.xtry;
      ++s.right;
      s.left = 0;
    }
    if (!s.w_set || ftry < s.fw || !s.extrapolate) {
      s.xw = s.xtry;
      s.fw = ftry;
      s.gw = gtry;
      s.w_set = true;
      s.extrapolate = false;
    }
  }
  terminate();
  if (!s.done) choose();
}

void StepSearchA::terminate() {
  StepState& s = s_;
  s.tol = s.lim.tol_rel * s.alfbst + s.lim.tol_abs;
  const bool converged = std::fabs(s.gbest) <= (s.lim.eta - kDecrease) * std::fabs(s.lim.g0);
  const bool limit = s.count >= s.lim.max_evaluations;
  bool small = s.b - s.a <= 2.0 * s.tol;
  if (small && !s.moved) {
    s.lim.tol_abs = s.tol / 10.0;
    s.tol = s.lim.tol_abs;
    small = s.lim.tol_abs <= s.lim.tol_tiny ||
            (std::fabs(s.fw) <= s.lim.epsaf && s.gw <= s.lim.epsaf);
  }
  if (!(converged || limit || small)) return;
  s.done = true;
  if (converged) {
    s.result = s.alfbst >= s.lim.alpha_max ? search_result::kConvergedAtMax
                                           : search_result::kConverged;
  } else if (s.moved) {
    s.result = search_result::kBetterPoint;
  } else if (limit) {
    s.result = search_result::kTooManyFunctions;
  } else {
    s.result = s.small_max ? search_result::kMaxStepTooSmall : search_result::kNoMinimizer;
  }
  s.alpha = s.alfbst;
}

void StepSearchA::choose() {
  StepState& s = s_;
  double sn = s.gbest;
  double q = s.gbest - s.gw;
  if (std::fabs(s.fbest - s.fw) > s.lim.epsaf && s.xw != 0.0) {
    const double theta = 3.0 * (s.fbest - s.fw) / s.xw + s.gbest + s.gw;
    const double r = std::sqrt(std::fabs(s.gw)) * std::sqrt(std::fabs(s.gbest));
    bool cubic = true;
    double gamma = 0.0;
    if ((s.gw < 0.0) != (s.gbest < 0.0)) {
      gamma = std::hypot(theta, r);
    } else if (std::fabs(theta) >= r) {
      gamma = std::sqrt(std::fabs(theta) - r) * std::sqrt(std::fabs(theta) + r);
    } else {
      cubic = false;
    }
    if (cubic) {
      if (s.xw < 0.0) gamma = -gamma;
      sn = s.gbest - theta - gamma;
      q = s.gbest - 2.0 * gamma - s.gw;
    }
  }
  double lower = s.a;
  double upper = s.b;
  double fallback;
  if (!s.bracketed) {
    fallback = -s.xw * s.factor;
    upper = fallback;
    if (s.alfbst + fallback < s.lim.alpha_max) s.factor *= kExtrapolation;
  } else if (!s.extrapolate) {
    fallback = 0.5 * (s.a + s.b);
    if (s.left < kSameSideLimit && s.right < kSameSideLimit) {
      s.factor = 1.0;
    } else {
      sn = sn * s.factor / kExtrapolation;
      s.factor /= kExtrapolation;
    }
  } else {
    fallback = extrapolation_step(std::fabs(s.xw), s.b - s.a);
    if (s.xw > 0.0) fallback = -fallback;
    if (fallback > 0.0) {
      upper = fallback;
    } else {
      lower = fallback;
    }
  }
  if (q < 0.0) {
    q = -q;
    sn = -sn;
  }
  const double num = sn * s.xw;
  if (q != 0.0 && num > lower * q && num < upper * q) {
    s.xtry = std::fabs(num) < q * s.tol ? 0.0 : num / q;
  } else {
    s.xtry = fallback;
  }
  place();
}

void StepSearchA::place() {
  StepState& s = s_;
  if (!s.bracketed && s.alfbst + s.xtry >= s.lim.alpha_max - s.tolmax) {
    s.xtry = s.lim.alpha_max - s.alfbst;
    s.alpha = s.lim.alpha_max;
    s.bracketed = true;
    return;
  }
  if (!(s.a + s.tol < s.xtry && s.xtry < s.b - s.tol)) {
    s.xtry = 0.5 * (s.a + s.b) > 0.0 ? s.tol : -s.tol;
  }
  if (std::fabs(s.xtry) < s.tol) s.xtry = 0.5 * (s.a + s.b) > 0.0 ? s.tol : -s.tol;
  s.alpha = s.alfbst + s.xtry;
}

// ---- Function-value search.

void StepSearchB::start(double alpha, const SearchLimits& lim) {
  s_ = StepState{};
  s_.lim = lim;
  if (no_search(lim, slope0())) {
    s_.done = true;
    s_.result = search_result::kUphill;
    return;
  }
  s_.small_max = lim.alpha_max <= lim.tol_abs;
  s_.tolmax = lim.tol_rel * lim.alpha_max + lim.tol_abs;
  s_.b = lim.alpha_max + s_.tolmax;
  s_.tol = lim.tol_abs;
  s_.xtry = alpha;
  place();
}

void StepSearchB::next(double ftry) {
  StepState& s = s_;
  ++s.count;
  if (!s.bracketed) {
    s.tolmax = s.lim.tol_rel * s.lim.alpha_max + s.lim.tol_abs;
    s.b = (s.lim.alpha_max - s.alfbst) + s.tolmax;
  }
  const bool between =
      s.w_set && ((0.0 < s.xtry && s.xtry <= s.xw) || (s.xw <= s.xtry && s.xtry < 0.0));
  s.improved = ftry < s.fbest;
  if (s.improved) {
    if (s.w_set) {
      s.xv = s.xw - s.xtry;
      s.fv = s.fw;
      s.v_set = true;
    }
    s.xw = -s.xtry;
    s.fw = s.fbest;
    s.w_set = true;
    const double old_best = s.fbest;
    s.fbest = ftry;
    s.alfbst = s.alpha;
    s.moved = true;
    s.extrapolate = !between;
    if (s.xtry < 0.0) {
      s.a -= s.xtry;
      s.b = -s.xtry;
      s.bracketed = true;
      ++s.right;
      s.left = 0;
    } else {
      s.b -= s.xtry;
      s.a = -s.xtry;
      s.fa = old_best;
      ++s.left;
      s.right = 0;
    }
  } else if (s.v_set && std::fabs(s.fbest - s.fv) <= s.lim.epsaf &&
             ftry - s.fbest < s.lim.epsaf) {
    terminate(true);
    return;
  } else {
    if (s.xtry >= 0.0) {
      s.b = s.xtry;
      s.bracketed = true;
      ++s.right;
      s.left = 0;
    } else {
      s.a = s.xtry;
      s.fa = ftry;
      ++s.left;
      s.right = 0;
    }
    if (!s.w_set) {
      s.xw = s.xtry;
      s.fw = ftry;
      s.w_set = true;
    } else if (s.fw <= ftry) {
      if (!s.moved) {
        s.xw = s.xtry;
        s.fw = ftry;
      } else if (!s.v_set || ftry < s.fv || !s.extrapolate) {
        if (s.v_set && between) {
          s.xw = s.xv;
          s.fw = s.fv;
        }
        s.xv = s.xtry;
        s.fv = ftry;
        s.v_set = true;
      }
    } else {
      s.xv = s.xw;
      s.fv = s.fw;
      s.xw = s.xtry;
      s.fw = ftry;
      s.v_set = true;
      if (s.moved) s.extrapolate = between;
    }
  }
  terminate(false);
  if (!s.done) choose();
}

void StepSearchB::terminate(bool flat) {
  StepState& s = s_;
  s.tol = s.lim.tol_rel * s.alfbst + s.lim.tol_abs;
  const double slope_bound = (kDecrease - s.lim.eta) * s.lim.g0;
  const bool converged = s.moved && std::fabs(s.fa - s.fbest) <= -slope_bound * s.a;
  const bool limit = s.count >= s.lim.max_evaluations;
  bool small = s.b - s.a <= 2.0 * s.tol;
  const bool too_small = s.alfbst + s.b <= s.lim.tol_tiny;
  if (small && !s.moved) {
    s.lim.tol_abs = s.tol / 10.0;
    s.tol = s.lim.tol_abs;
    small = std::fabs(s.fw) <= s.lim.epsaf || s.lim.tol_abs <= s.lim.tol_tiny;
  }
  if (!(flat || converged || limit || small || too_small)) return;
  s.done = true;
  if (too_small) {
    s.result = search_result::kStepTooSmall;
  } else if (converged) {
    s.result = s.alfbst < s.lim.alpha_max ? search_result::kConverged
                                          : search_result::kConvergedAtMax;
  } else if (s.moved) {
    s.result = search_result::kBetterPoint;
  } else if (limit) {
    s.result = search_result::kTooManyFunctions;
  } else {
    s.result = s.small_max ? search_result::kMaxStepTooSmall : search_result::kNoMinimizer;
  }
  s.alpha = s.alfbst;
}

void StepSearchB::choose() {
  StepState& s = s_;
  const double d = (s.fw - s.fbest) / s.xw;
  double sn;
  double q;
  if (s.v_set && s.moved) {
    const double dv = (s.fv - s.fbest) / s.xv;
    sn = dv - (s.xv / s.xw) * d;
    q = dv - d;
  } else {
    sn = s.moved ? slope0() - 2.0 * d : slope0();
    q = slope0() - d;
  }
  q *= 2.0;
  double lower = s.a;
  double upper = s.b;
  double fallback;
  if (!s.bracketed) {
    fallback = -s.xw * s.factor;
    upper = fallback;
    if (s.alfbst + fallback < s.lim.alpha_max) s.factor *= kExtrapolation;
  } else if (!(s.v_set && s.moved)) {
    fallback = s.extrapolate ? -s.xw : s.xw / 10.0;
  } else {
    double c;
    if (!s.extrapolate) {
      if (s.left < kSameSideLimit && s.right < kSameSideLimit) {
        s.factor = 1.0;
      } else {
        sn = sn * s.factor / kExtrapolation;
        s.factor /= kExtrapolation;
      }
      c = 0.5 * (s.a + s.b) > 0.0 ? s.b : s.a;
      if (s.right >= kSameSideLimit) c = s.a;
      if (s.left >= kSameSideLimit) c = s.b;
    } else {
      c = s.xw < 0.0 ? s.b : (s.xw > 0.0 ? s.a : 0.0);
    }
    const double dd = std::fabs(c);
    const double len = s.b - dd - s.a;
    fallback = len < dd ? std::sqrt(dd) * std::sqrt(std::fabs(len)) * 0.5
                        : (len > 0.0 ? (dd / len + 0.1) * dd * 5.0 / 11.0 : 0.0);
    if (c < 0.0) fallback = -fallback;
    if (s.extrapolate) {
      if (fallback > 0.0) {
        upper = fallback;
      } else {
        lower = fallback;
        upper = s.b;
      }
    }
  }
  if (q == 0.0) {
    s.xtry = fallback;
  } else {
    if (q < 0.0) {
      q = -q;
      sn = -sn;
    }
    const double num = sn * s.xw;
    if (num < lower * q || num > upper * q) {
      s.xtry = fallback;
    } else if (std::fabs(num) < q * s.tol) {
      s.xtry = 0.0;
    } else {
      s.xtry = num / q;
    }
  }
  place();
}

void StepSearchB::place() {
  StepState& s = s_;
  if (!s.bracketed && s.alfbst + s.xtry >= s.lim.alpha_max - s.tolmax) {
    s.xtry = s.lim.alpha_max - s.alfbst;
    s.alpha = s.lim.alpha_max;
    s.bracketed = true;
    return;
  }
  const double side = 0.5 * (s.a + s.b) > 0.0 ? s.tol : -s.tol;
  if (!(s.a + s.tol < s.xtry && s.xtry < s.b - s.tol)) s.xtry = side;
  if (std::fabs(s.xtry) < s.tol) s.xtry = side;
  s.alpha = s.alfbst + s.xtry;
}

}  // namespace zun
