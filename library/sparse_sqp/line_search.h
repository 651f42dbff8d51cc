// The line search driver: trial steps from the step routines, evaluations through the caller's
// callbacks, the restart with a tenth of the step after an evaluation that failed.
#pragma once

#include <functional>

#include "library/sparse_sqp/linesearch_steps.h"

namespace zun {

// What the search asks of its caller.
struct SearchCallbacks {
  // The merit value (and its slope when asked) at x0 + alpha p.  Returns 0, -1 when the
  // functions are undefined there (the search restarts with a shorter step, as it does after
  // a merit value or slope that is not finite), or any other value for a stop (the search
  // returns kUserStop at once).
  std::function<int(double alpha, bool slope, double& merit, double& derivative)> trial;
  // The last trial is the best so far: its values become the accepted ones.
  std::function<void()> accept;
  // Re-evaluates at x0 after a failure; 0 or a failure.
  std::function<int()> restart;
  // The last trial was not the best: the point is put back at the accepted step.
  std::function<void(double alpha)> finish;
  // Called once, at the first restart.
  std::function<void()> restart_message;
};

struct SearchInput {
  double merit0 = 0.0;
  double alpha = 1.0;  // the first trial
  bool derivatives = true;
  SearchLimits lim;    // max_evaluations is set by the search
};

// Searches; returns a search_result code.  alpha (out): the accepted step; evaluations (out).
int line_search(const SearchInput& in,
                const SearchCallbacks& cb,
                double& alpha,
                int& evaluations);

// The tolerances of a search along p (nb) from x0: tolAbs, tolRel, tolTiny and epsaf, from
// eps, eps^0.8 and the function precision.
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
                           double eta);

}  // namespace zun
