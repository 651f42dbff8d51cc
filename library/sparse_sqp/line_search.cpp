// The line search driver.
#include "library/sparse_sqp/line_search.h"

#include <algorithm>
#include <cmath>

#include "library/support/machine.h"

namespace zun {
namespace {

constexpr int kDerivativeEvaluations = 10;
constexpr int kValueEvaluations = 15;
constexpr double kDecrease = 0.0001;
constexpr double kRestartCut = 0.1;
constexpr int kUndefined = -1;  // the trial callback's status for undefined functions

}  // namespace

SearchLimits search_limits(int nb,
                           double merit0,
                           double g0,
                           double alpha_max,
                           double x_norm,
                           double p_norm,
                           const double* x0,
                           const double* p,
                           double eps,
                           double eps08,
                           double function_precision,
                           double eta) {
  SearchLimits lim;
  lim.alpha_max = alpha_max;
  lim.g0 = g0;
  lim.eta = eta;
  lim.epsaf = (std::fabs(merit0) + 1.0) * std::max(function_precision, eps);
  int fail = 0;
  lim.tol_abs = std::min(alpha_max, safe_divide((1.0 + x_norm) * eps08, p_norm, fail));
  lim.tol_rel = std::max(eps, eps08);
  double biggest = 0.0;
  for (int j = 0; j < nb; ++j) {
    biggest = std::max(biggest, std::fabs(p[j]) / ((1.0 + std::fabs(x0[j])) * eps08));
  }
  lim.tol_tiny = lim.tol_abs;
  if (biggest > 0.0) lim.tol_tiny = std::min(lim.tol_abs, 1.0 / biggest);
  return lim;
}

int line_search(const SearchInput& in, const SearchCallbacks& cb, double& alpha, int& evaluations) {
  SearchLimits lim = in.lim;
  lim.max_evaluations = in.derivatives ? kDerivativeEvaluations : kValueEvaluations;
  double first = in.alpha;
  bool restarted = false;
  evaluations = 0;
  for (;;) {
    StepSearchA with_slopes;
    StepSearchB values_only;
    if (in.derivatives) {
      with_slopes.start(first, lim);
    } else {
      values_only.start(first, lim);
    }
    const auto state = [&]() -> const StepState& {
      return in.derivatives ? with_slopes.state() : values_only.state();
    };
    bool failed = false;
    while (!state().done) {
      const double trial = state().alpha;
      double m = 0.0;
      double g = 0.0;
      const int status = cb.trial(trial, in.derivatives, m, g);
      ++evaluations;
      if (status != 0 && status != kUndefined) return search_result::kUserStop;
      const double ftry = m - in.merit0 - trial * kDecrease * lim.g0;
      const double gtry = in.derivatives ? g - kDecrease * lim.g0 : 0.0;
      // A merit value or slope that is not finite (an overflow, a NaN) says nothing about the
      // merit function: such a trial fails as one where the functions are undefined.
      if (status == kUndefined || !std::isfinite(ftry) || !std::isfinite(gtry)) {
        if (!restarted && cb.restart_message) cb.restart_message();
        restarted = true;
        if (cb.restart() != 0) return search_result::kUserStop;
        // Below both the failed trial and the old largest step, so that the search ends even
        // when the step routine placed the trial beyond alphaMax.
        lim.alpha_max = kRestartCut * std::min(lim.alpha_max, trial);
        first = lim.alpha_max;
        failed = true;
        break;
      }
      if (in.derivatives) {
        with_slopes.next(ftry, gtry);
      } else {
        values_only.next(ftry);
      }
      if (state().improved) cb.accept();
    }
    if (failed) continue;
    const StepState& s = state();
    alpha = s.alfbst;
    if (s.count > 0 && !s.improved) cb.finish(alpha);
    return s.result;
  }
}

}  // namespace zun
