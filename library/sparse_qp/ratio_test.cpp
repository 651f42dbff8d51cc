// The Harris two-pass ratio test with phase-1 breakpoints.
#include <cmath>

#include "library/sparse_qp/sparse_qp.h"

namespace zun {
namespace {

constexpr double kBreakpointPivotShare = 0.001;  // breakpoints with |p| >= this x pmax count

// Pass 1: the largest step that keeps every limiting entry within its bound relaxed by tol,
// and the largest |p| of the entries that are moving back towards a violated bound.
double relaxed_step(int count,
                    double tol,
                    double alpha_max,
                    double pivot_tol,
                    const int* type,
                    const double* lower,
                    const double* upper,
                    const double* x,
                    const double* p,
                    double& pmax) {
  double alpha1 = alpha_max;
  pmax = 0.0;
  for (int i = 0; i < count; ++i) {
    const double pi = p[i];
    const double mag = std::abs(pi);
    if (mag <= pivot_tol) continue;
    if (pi <= 0.0 && type[i] >= 0) {
      const double room = x[i] + tol - lower[i];
      if (room < alpha1 * mag) alpha1 = room / mag;
      if (type[i] > 0 && mag > pmax) pmax = mag;
    } else if (pi > 0.0 && type[i] <= 0) {
      const double room = upper[i] + tol - x[i];
      if (room < alpha1 * mag) alpha1 = room / mag;
      if (type[i] < 0 && mag > pmax) pmax = mag;
    }
  }
  return alpha1;
}

struct Candidates {
  int block = 0;  // 1-based; 0 none
  double block_pivot = 0.0;
  int breakpoint = 0;
  double ratio = 0.0;
};

// Pass 2: among the entries that reach their bound within alpha1 the largest |p| blocks; the
// breakpoint with the largest ratio is kept beside it.
Candidates choose(int count,
                  double pivot_tol,
                  double alpha1,
                  double pmax,
                  const int* type,
                  const double* lower,
                  const double* upper,
                  const double* x,
                  const double* p) {
  Candidates c;
  for (int i = 0; i < count; ++i) {
    const double pi = p[i];
    const double mag = std::abs(pi);
    if (mag <= pivot_tol) continue;
    const bool down = pi <= 0.0;
    if ((down && type[i] >= 0) || (!down && type[i] <= 0)) {
      const double distance = down ? x[i] - lower[i] : upper[i] - x[i];
      if (mag > c.block_pivot && distance <= alpha1 * mag) {
        c.block = i + 1;
        c.block_pivot = mag;
      }
    }
    if ((down && type[i] > 0) || (!down && type[i] < 0)) {
      const double distance = down ? x[i] - upper[i] : lower[i] - x[i];
      if (mag >= kBreakpointPivotShare * pmax && distance > c.ratio * mag) {
        c.breakpoint = i + 1;
        c.ratio = distance / mag;
      }
    }
  }
  return c;
}

void set_unbounded(double alpha_max, RatioTest& out) {
  out.unbounded = true;
  out.step = alpha_max;
  out.exact = true;
  out.at_bound = false;
}

}  // namespace

void ratio_test(int count,
                int& degenerate_steps,
                double tol,
                double bigbnd,
                double alpha_max,
                double min_step,
                double pivot_tol,
                const int* type,
                const double* lower,
                const double* upper,
                const double* x,
                const double* p,
                RatioTest& out) {
  double pmax = 0.0;
  out.alpha1 = count < 1
                   ? alpha_max
                   : relaxed_step(count, tol, alpha_max, pivot_tol, type, lower, upper, x, p, pmax);
  const Candidates c = choose(count, pivot_tol, out.alpha1, pmax, type, lower, upper, x, p);
  if (c.block == 0 && c.breakpoint == 0) {
    set_unbounded(alpha_max, out);
    return;
  }
  const bool take_breakpoint = c.block == 0 || (c.breakpoint != 0 && c.ratio <= out.alpha1);
  out.r = take_breakpoint ? c.breakpoint : c.block;
  const double pr = p[out.r - 1];
  out.hit_lower = take_breakpoint ? pr > 0.0 : pr < 0.0;
  out.bound = out.hit_lower ? lower[out.r - 1] : upper[out.r - 1];
  if (std::abs(out.bound) >= bigbnd) {
    set_unbounded(alpha_max, out);
    return;
  }
  out.unbounded = false;
  out.exact_step = (out.bound - x[out.r - 1]) / pr;
  const double shortest = min_step / std::abs(pr);
  out.exact = out.exact_step >= shortest;
  out.step = out.exact ? out.exact_step : shortest;
  out.at_bound = out.step == out.exact_step;
  if (!out.exact) ++degenerate_steps;
}

}  // namespace zun
