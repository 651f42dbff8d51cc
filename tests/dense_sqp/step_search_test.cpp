// The two step-length searches on analytic merit functions: accepted steps decrease the
// function, the result codes, the evaluation limits and the bad-input exits.
#include "library/dense_sqp/step_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace zun {
namespace {

namespace sr = step_result;

constexpr double kDecrease = 0.0001;
constexpr double kEta = 0.9;

// A merit function along the step: value and slope.
struct Merit {
  const char* name;
  std::function<double(double)> m;
  std::function<double(double)> dm;
  double alfmax;
  double epsaf;
};

struct Outcome {
  int result = 0;
  int evaluations = 0;
  double alpha = 0.0;
};

StepSearch set_up(const Merit& f, bool values_only) {
  StepSearch s;
  const double g0 = f.dm(0.0);
  s.limit = values_only ? 15 : 10;
  s.alfmax = f.alfmax;
  s.alfsml = 0.0;
  s.epsaf = f.epsaf;
  s.g0 = (1.0 - kDecrease) * g0;
  s.targtg = (kDecrease - kEta) * g0;
  s.tolabs = 1e-10;
  s.tolrel = 1e-10;
  s.toltny = 1e-14;
  return s;
}

Outcome run(const Merit& f, bool values_only, double first = 1.0) {
  StepSearch s = set_up(f, values_only);
  const double m0 = f.m(0.0), g0 = f.dm(0.0);
  Outcome out;
  double alfa = first;
  int code = values_only ? search_step_values_only(s, true, 0.0, alfa)
                         : search_step_with_derivatives(s, true, 0.0, 0.0, alfa);
  while (code == sr::kGoing && out.evaluations < 100) {
    ++out.evaluations;
    const double ftry = f.m(alfa) - m0 - kDecrease * alfa * g0;
    const double gtry = f.dm(alfa) - kDecrease * g0;
    code = values_only ? search_step_values_only(s, false, ftry, alfa)
                       : search_step_with_derivatives(s, false, ftry, gtry, alfa);
  }
  out.result = code;
  out.alpha = alfa;
  return out;
}

const Merit kDescents[] = {
    {"Quadratic", [](double a) { return (a - 0.3) * (a - 0.3); }, [](double a) { return 2 * (a - 0.3); }, 1.0, 1e-15},
    {"QuadraticBeyondOne", [](double a) { return (a - 3.0) * (a - 3.0); }, [](double a) { return 2 * (a - 3.0); }, 10.0, 1e-15},
    {"SteepCubic", [](double a) { return -a + 50 * a * a * a; }, [](double a) { return -1 + 150 * a * a; }, 1.0, 1e-15},
    {"FlatAndNoisy", [](double a) { return -1e-3 * a + 1e-9 * std::sin(1e4 * a); },
     [](double a) { return -1e-3 + 1e-5 * std::cos(1e4 * a); }, 1.0, 1e-8},
    {"SmallLargestStep", [](double a) { return (a - 5.0) * (a - 5.0); }, [](double a) { return 2 * (a - 5.0); }, 0.01, 1e-15},
    {"Exponential", [](double a) { return std::exp(4 * a) - 8 * a; }, [](double a) { return 4 * std::exp(4 * a) - 8; }, 2.0, 1e-15},
};

class StepSearches : public ::testing::TestWithParam<std::tuple<Merit, bool>> {};

TEST_P(StepSearches, AcceptedStepDecreasesTheMeritFunctionWithinTheLimits) {
  const auto& [f, values_only] = GetParam();
  const Outcome out = run(f, values_only);
  ASSERT_GE(out.result, sr::kSlopeMet);
  EXPECT_LE(out.result, sr::kBetterPoint) << out.result;
  EXPECT_GT(out.alpha, 0.0);
  EXPECT_LE(out.alpha, f.alfmax);
  EXPECT_LT(f.m(out.alpha), f.m(0.0));
  EXPECT_LE(f.m(out.alpha) - f.m(0.0), kDecrease * out.alpha * f.dm(0.0) + f.epsaf);
  EXPECT_LE(out.evaluations, values_only ? 15 : 10);
  if (out.result == sr::kSlopeMetAtMax) {
    EXPECT_EQ(out.alpha, f.alfmax);
  }
  if (out.result == sr::kSlopeMet) {
    EXPECT_LT(out.alpha, f.alfmax);
  }
}

std::string merit_name(const ::testing::TestParamInfo<std::tuple<Merit, bool>>& info) {
  return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "Values" : "Slopes");
}

INSTANTIATE_TEST_SUITE_P(Dense, StepSearches,
                         ::testing::Combine(::testing::ValuesIn(kDescents), ::testing::Bool()),
                         merit_name);

class StepSearchExits : public ::testing::TestWithParam<bool> {};

TEST_P(StepSearchExits, UphillDirectionEndsAtOnceWithResultEight) {
  const Merit up{"Increasing", [](double a) { return a; }, [](double) { return 1.0; }, 1.0, 1e-15};
  const Outcome out = run(up, GetParam());
  EXPECT_EQ(out.result, sr::kBadInput);
  EXPECT_EQ(out.evaluations, 0);
}

TEST_P(StepSearchExits, LargestStepBelowTheTinyStepEndsWithResultEight) {
  Merit f = kDescents[0];
  f.alfmax = 1e-16;
  EXPECT_EQ(run(f, GetParam()).result, sr::kBadInput);
}

TEST(StepSearchWithSlopes, SlopeMetAtTheFirstTrialTakesOneEvaluation) {
  // M = (a - 1)^2: the first trial a = 1 is the minimum; with alfmax 2 it is inside.
  const Merit f{"Exact", [](double a) { return (a - 1) * (a - 1); }, [](double a) { return 2 * (a - 1); }, 2.0, 1e-15};
  const Outcome out = run(f, false);
  EXPECT_EQ(out.result, sr::kSlopeMet);
  EXPECT_EQ(out.evaluations, 1);
  EXPECT_DOUBLE_EQ(out.alpha, 1.0);
}

TEST_P(StepSearchExits, FunctionIncreasingAfterAVerySmallDescentFindsNothingBetter) {
  // A descent slope at 0 but higher values at every step the search can take.
  const Merit f{"IncreasingBeyondZero", [](double a) { return a > 0 ? 1.0 + a : 0.0; },
                [](double a) { return a > 0 ? 1.0 : -1.0; }, 1.0, 1e-15};
  const Outcome out = run(f, GetParam());
  EXPECT_TRUE(out.result == sr::kNoBetterPoint || out.result == sr::kEvaluationLimit) << out.result;
  EXPECT_EQ(out.alpha, 0.0);
  EXPECT_LE(out.evaluations, GetParam() ? 15 : 10);
}

TEST_P(StepSearchExits, CrampedLargestStepWithNothingBetterGivesResultFour) {
  const Merit f{"Cramped", [](double a) { return a > 0 ? 1.0 : 0.0; }, [](double a) { return a > 0 ? 1.0 : -1.0; },
                1e-11, 1e-15};
  StepSearch s = set_up(f, GetParam());
  s.tolabs = 1e-10;  // above the largest step
  double alfa = 1.0;
  int code = GetParam() ? search_step_values_only(s, true, 0.0, alfa)
                        : search_step_with_derivatives(s, true, 0.0, 0.0, alfa);
  int evaluations = 0;
  while (code == sr::kGoing && evaluations < 30) {
    ++evaluations;
    code = GetParam() ? search_step_values_only(s, false, 1.0, alfa)
                      : search_step_with_derivatives(s, false, 1.0, 1.0, alfa);
  }
  EXPECT_EQ(code, sr::kCramped);
  EXPECT_EQ(alfa, 0.0);
}

TEST_P(StepSearchExits, EvaluationLimitWithoutABetterPointGivesResultSeven) {
  // Worse and worse values far apart (no noise band), ever closer to 0.
  StepSearch s = set_up(kDescents[0], GetParam());
  s.limit = 3;
  double alfa = 1.0;
  int code = GetParam() ? search_step_values_only(s, true, 0.0, alfa)
                        : search_step_with_derivatives(s, true, 0.0, 0.0, alfa);
  int evaluations = 0;
  while (code == sr::kGoing && evaluations < 30) {
    ++evaluations;
    const double worse = 1.0 + evaluations;
    code = GetParam() ? search_step_values_only(s, false, worse, alfa)
                      : search_step_with_derivatives(s, false, worse, 1.0, alfa);
  }
  EXPECT_EQ(code, sr::kEvaluationLimit);
  EXPECT_EQ(evaluations, 3);
}

// A bracketed search whose fit degenerates (q = 0) takes its default step.  The state before
// the call: the best step 0, a trial at 1 that improves on it with the same slope as before
// (and, values only, W at 0.5), the interval [0, b0].  After the call the interval around the
// new best step 1 is [A, B] = [-1, b0 - 1] (values only) or [0, b0 - 1], and the default,
// toward B, is 0.5 sqrt(u) sqrt(v) when u < v, else 5 v (v / u + 0.1) / 11, with
// (u, v) = (B - A - B, B) = (1, b0 - 1) for the values-only search and (|XW|, B - A) =
// (1, b0 - 1) with derivatives.
struct BracketedDefault {
  bool values_only;
  double b0;
  double alfa;  // the next trial
};

class BracketedSearch : public ::testing::TestWithParam<BracketedDefault> {};

TEST_P(BracketedSearch, TakesTheDefaultStepWhenTheFitDegenerates) {
  const BracketedDefault& c = GetParam();
  StepSearch s = set_up(kDescents[0], c.values_only);
  s.alfmax = 10.0;
  s.g0 = -1.0;
  s.gbest = -1.0;
  s.targtg = 1e-3;
  s.braktd = true;
  s.b = c.b0;
  s.xtry = 1.0;
  s.wset = c.values_only;
  s.xw = 0.5;
  s.fw = -0.5;
  double alfa = 1.0;
  const int code = c.values_only ? search_step_values_only(s, false, -1.0, alfa)
                                 : search_step_with_derivatives(s, false, -1.0, -1.0, alfa);
  EXPECT_EQ(code, sr::kGoing);
  EXPECT_NEAR(alfa, c.alfa, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Dense, BracketedSearch,
                         ::testing::Values(BracketedDefault{true, 4.0, 1.0 + 0.5 * std::sqrt(3.0)},
                                           BracketedDefault{true, 1.5, 1.0 + 1.5 / 11.0},
                                           BracketedDefault{false, 10.0, 1.0 + 0.5 * std::sqrt(9.0)},
                                           BracketedDefault{false, 1.5, 1.0 + 1.5 / 11.0}));

TEST(StepSearchState, SaveAndLoadKeepEveryField) {
  StepSearch s = set_up(kDescents[2], true);
  double alfa = 1.0;
  search_step_values_only(s, true, 0.0, alfa);
  search_step_values_only(s, false, 0.5, alfa);
  std::vector<double> words(StepSearch::kWords, -1.0);
  s.save(words.data());
  StepSearch back;
  back.load(words.data());
  std::vector<double> again(StepSearch::kWords, -2.0);
  back.save(again.data());
  EXPECT_EQ(words, again);
}

INSTANTIATE_TEST_SUITE_P(Dense, StepSearchExits, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "Values" : "Slopes");
                         });

}  // namespace
}  // namespace zun
