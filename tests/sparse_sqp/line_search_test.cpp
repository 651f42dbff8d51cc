// The line search on analytic merit functions: result codes, sufficient decrease of the
// accepted step, the evaluation limits and the restart after an undefined point.
#include "library/sparse_sqp/line_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace zun {
namespace {

constexpr double kEps = 2.220446049250313e-16;

struct Merit {
  std::string name;
  std::function<double(double)> f;
  std::function<double(double)> g;
  double undefined_beyond = std::numeric_limits<double>::infinity();
};

struct Outcome {
  int result = 0;
  double alpha = 0.0;
  int evaluations = 0;
  double accepted_merit = 0.0;
  double accepted_alpha = -1.0;
  double finished_at = -1.0;
  int restarts = 0;
};

Outcome search(const Merit& fn, bool derivatives, double alpha_max, double first = 1.0) {
  Outcome run;
  double last_alpha = 0.0;
  double last_merit = 0.0;
  SearchCallbacks cb;
  cb.trial = [&](double a, bool slope, double& m, double& g) {
    if (a > fn.undefined_beyond) return -1;
    last_alpha = a;
    last_merit = fn.f(a);
    m = last_merit;
    if (slope) g = fn.g(a);
    return 0;
  };
  cb.accept = [&] {
    run.accepted_alpha = last_alpha;
    run.accepted_merit = last_merit;
  };
  cb.restart = [&] { return 0; };
  cb.restart_message = [&] { ++run.restarts; };
  cb.finish = [&](double a) { run.finished_at = a; };
  SearchInput in;
  in.merit0 = fn.f(0.0);
  in.alpha = first;
  in.derivatives = derivatives;
  const double p = 1.0;
  const double x0 = 0.0;
  in.lim = search_limits(1, in.merit0, fn.g(0.0), alpha_max, 0.0, 1.0, &x0, &p, kEps,
                         std::pow(kEps, 0.8), std::pow(kEps, 0.9), 0.9);
  run.result = line_search(in, cb, run.alpha, run.evaluations);
  return run;
}

class DescentTest : public ::testing::TestWithParam<bool> {};

TEST_P(DescentTest, AcceptedStepsDecreaseSufficiently) {
  const bool derivatives = GetParam();
  const Merit cases[] = {
      {"quadratic", [](double a) { return (a - 0.3) * (a - 0.3); },
       [](double a) { return 2.0 * (a - 0.3); }},
      {"far quadratic", [](double a) { return (a - 7.0) * (a - 7.0); },
       [](double a) { return 2.0 * (a - 7.0); }},
      {"cubic", [](double a) { return a * a * a - 2.0 * a; },
       [](double a) { return 3.0 * a * a - 2.0; }},
      {"quartic", [](double a) { return std::pow(a - 0.05, 4.0) - 1e-3 * a; },
       [](double a) { return 4.0 * std::pow(a - 0.05, 3.0) - 1e-3; }},
  };
  for (const Merit& fn : cases) {
    for (double alpha_max : {1.0, 10.0}) {
      const Outcome run = search(fn, derivatives, alpha_max);
      SCOPED_TRACE(fn.name + " " + std::to_string(alpha_max));
      ASSERT_GE(run.result, 1);
      ASSERT_LE(run.result, 3);
      EXPECT_GT(run.alpha, 0.0);
      EXPECT_LE(run.alpha, alpha_max);
      const double g0 = fn.g(0.0);
      EXPECT_LE(fn.f(run.alpha), fn.f(0.0) + 1e-4 * run.alpha * g0 + 1e-14);
      // The accepted values are those of the accepted step, and the point is put back there
      // when the last trial was elsewhere.
      EXPECT_DOUBLE_EQ(run.accepted_alpha, run.alpha);
      if (run.finished_at >= 0.0) {
        EXPECT_DOUBLE_EQ(run.finished_at, run.alpha);
      }
      if (run.result <= 2 && derivatives) {
        EXPECT_LE(std::fabs(fn.g(run.alpha) - 1e-4 * g0), 0.9 * std::fabs(g0) + 1e-12);
      }
      EXPECT_LE(run.evaluations, derivatives ? 10 : 15);
    }
  }
}

TEST_P(DescentTest, IncreasingDirectionIsUphill) {
  const Merit up{"increasing", [](double a) { return a; }, [](double) { return 1.0; }};
  const Outcome run = search(up, GetParam(), 1.0);
  EXPECT_EQ(run.result, search_result::kUphill);
  EXPECT_EQ(run.evaluations, 0);
}

TEST_P(DescentTest, FlatFunctionAcceptsNoIncrease) {
  // The slope at 0 promises a decrease that never comes.
  const Merit flat{"flat", [](double) { return 1.0; },
                   [](double a) { return a == 0.0 ? -1e-3 : 0.0; }};
  const Outcome run = search(flat, GetParam(), 1.0);
  // Without slopes no step is better; with slopes a step within the function precision whose
  // slope is flatter may be taken.
  if (!GetParam()) {
    EXPECT_GE(run.result, 4);
  }
  if (run.result <= 3) {
    EXPECT_LT(run.alpha, 1e-6);
  }
  EXPECT_LE(run.evaluations, GetParam() ? 10 : 15);
}

TEST_P(DescentTest, SteepWallUsesTheEvaluationLimit) {
  // Decrease only on a tiny interval near 0: the limit or a too-small step ends the search.
  const Merit wall{"wall", [](double a) { return a < 1e-12 ? -a : 1e6 * a; },
                   [](double a) { return a < 1e-12 ? -1.0 : 1e6; }};
  const Outcome run = search(wall, GetParam(), 1.0);
  EXPECT_LE(run.evaluations, GetParam() ? 10 : 15);
  if (run.result <= 3) {
    EXPECT_LE(wall.f(run.alpha), 0.0);
  }
}

// Beyond alpha = 0.5 the functions are undefined, or the merit value and slope are NaN.
TEST_P(DescentTest, UndefinedBeyondAPointRestartsWithATenthOfTheStep) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  const Merit cases[] = {
      {"undefined", [](double a) { return (a - 1.0) * (a - 1.0); },
       [](double a) { return 2.0 * (a - 1.0); }, 0.5},
      {"not a number", [](double a) { return a > 0.5 ? kNaN : (a - 1.0) * (a - 1.0); },
       [](double a) { return a > 0.5 ? kNaN : 2.0 * (a - 1.0); }},
  };
  for (const Merit& fn : cases) {
    SCOPED_TRACE(fn.name);
    const Outcome run = search(fn, GetParam(), 2.0);
    EXPECT_EQ(run.restarts, 1);
    ASSERT_LE(run.result, 3);
    EXPECT_GT(run.alpha, 0.0);
    EXPECT_LE(run.alpha, 0.1 * 1.0 + 1e-15);  // the first trial, 1.0, failed
    EXPECT_LT(fn.f(run.alpha), fn.f(0.0));
  }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutSlopes, DescentTest, ::testing::Bool());

TEST(LineSearch, StopInAUserRoutineEndsTheSearch) {
  SearchCallbacks cb;
  cb.trial = [](double, bool, double&, double&) { return 6; };
  cb.accept = [] {};
  cb.restart = [] { return 0; };
  cb.finish = [](double) {};
  SearchInput in;
  in.merit0 = 0.0;
  in.lim.alpha_max = 1.0;
  in.lim.g0 = -1.0;
  in.lim.tol_abs = 1e-10;
  in.lim.tol_rel = 1e-13;
  in.lim.tol_tiny = 1e-14;
  double alpha = 0.0;
  int evaluations = 0;
  EXPECT_EQ(line_search(in, cb, alpha, evaluations), search_result::kUserStop);
  EXPECT_EQ(evaluations, 1);
}

}  // namespace
}  // namespace zun
