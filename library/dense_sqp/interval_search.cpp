// The interval search TOLBEZ.
#include "library/dense_sqp/interval_search.h"

#include <algorithm>
#include <cmath>

#include "library/support/machine.h"

namespace zun {
namespace {

constexpr double kLowestRatio = 0.001;
constexpr double kHighestRatio = 0.1;
constexpr double kBaseFactorScale = 0.25;
constexpr double kBaseFactorPower = -0.16;
constexpr double kReductionScale = 10.0;

double divide(double a, double b) {
  int fail = 0;
  return safe_divide(a, b, fail);
}

void finish_accepted(IntervalSearch& s, double forward_fallback) {
  s.done = true;
  s.accepted = true;
  s.h_used = std::fabs(s.h);
  const double root = std::sqrt(std::fabs(s.d4));
  s.forward = root > 0.0 ? divide(2.0 * std::sqrt(s.epsa), root) : forward_fallback;
  s.error = std::max(std::fabs(s.d4) * s.forward, std::fabs(s.d1 - s.d3));
}

void finish_at_limit(IntervalSearch& s) {
  s.done = true;
  s.accepted = false;
  if (!s.has_fallback) {
    s.h_used = std::fabs(s.h);
    s.forward = s.h_used;
    s.error = std::fabs(s.d1 - s.d3);
    return;
  }
  const double h = std::fabs(s.fallback_h);
  s.forward = h;
  s.h_used = h;
  s.d1 = s.fallback_d1;
  s.d3 = s.fallback_d3;
  s.d4 = s.fallback_d4;
  const double noise = divide(2.0 * s.epsa, h);
  s.error = s.direction < 0 ? std::fabs(s.d4) * h / 2.0 + noise : noise;
}

}  // namespace

void interval_search_step(IntervalSearch& s,
                          double phi0,
                          double phi1,
                          double phi2,
                          double forward_fallback) {
  ++s.iterations;
  const double h = s.h;
  s.d1 = divide(phi1 - phi0, h);
  const double d2 = divide(phi2 - phi0, 2.0 * h);
  s.d3 = divide(4.0 * phi1 - 3.0 * phi0 - phi2, 2.0 * h);
  s.d4 = divide(phi0 - 2.0 * phi1 + phi2, h * h);
  const double e1 = divide(s.epsa, 0.5 * std::fabs(h) * std::min(std::fabs(s.d1), std::fabs(d2)));
  s.e2 = divide(s.epsa, 0.25 * std::fabs(s.d4) * h * h);

  if (!s.has_fallback && e1 <= kHighestRatio) {
    s.has_fallback = true;
    s.fallback_h = h;
    s.fallback_d1 = s.d1;
    s.fallback_d3 = s.d3;
    s.fallback_d4 = s.d4;
  }
  if (s.iterations == 1) {
    s.factor = kBaseFactorScale * std::pow(s.fprec, kBaseFactorPower);
    if (s.e2 > kHighestRatio) s.direction = 1;
    if (s.e2 < kLowestRatio) {
      s.direction = -1;
      s.factor *= kReductionScale;
    }
  }
  if (s.e2 >= kLowestRatio && s.e2 <= kHighestRatio) {
    finish_accepted(s, forward_fallback);
    return;
  }
  if (s.direction < 0 && s.e2 > kHighestRatio) {
    // The reduction overshot: the previous interval is the one to keep.
    s.h = s.previous_h;
    s.d1 = s.previous_d1;
    s.d3 = s.previous_d3;
    s.d4 = s.previous_d4;
    finish_accepted(s, forward_fallback);
    return;
  }
  if (s.iterations >= s.limit) {
    finish_at_limit(s);
    return;
  }
  s.previous_h = h;
  s.previous_d1 = s.d1;
  s.previous_d3 = s.d3;
  s.previous_d4 = s.d4;
  s.h = s.direction > 0 ? h * s.factor : h / s.factor;
}

}  // namespace zun
