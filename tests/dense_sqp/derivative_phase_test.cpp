// The derivative phase through the reverse-communication loop: what the caller supplies and
// the derivative level, the requests of the finite differences, the difference formulas, the
// interval search, the derivative checks, stops at any request and replay from any request.
#include "library/dense_sqp/derivative_phase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "library/dense_sqp/interval_search.h"
#include "library/support/output.h"
#include "tests/dense_sqp/dense_harness.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
using dense_test::DenseHarness;
using dense_test::Request;
using dense_test::TestProblem;

constexpr int kPrintUnit = 87;
constexpr int kErrorUnit = 88;
constexpr int kLimitExit = 4;  // "Major iterations limit 0": the solve ends at once

// f = x1^2 x2 + exp(x2), c1 = x1 x2 + x2^2, c2 = sin(x1) + x2 (with a linear row x1 - x2).
TestProblem curved_problem() {
  TestProblem p;
  p.n = 2;
  p.nclin = 1;
  p.ncnln = 2;
  p.a = {1.0, -1.0};
  p.bl = {-3.0, -3.0, -10.0, -10.0, -10.0};
  p.bu = {3.0, 3.0, 10.0, 10.0, 10.0};
  p.x0 = {0.7, 0.4};
  p.f = [](const std::vector<double>& x) { return x[0] * x[0] * x[1] + std::exp(x[1]); };
  p.grad = [](const std::vector<double>& x) {
    return std::vector<double>{2 * x[0] * x[1], x[0] * x[0] + std::exp(x[1])};
  };
  p.cons = [](const std::vector<double>& x) {
    return std::vector<double>{x[0] * x[1] + x[1] * x[1], std::sin(x[0]) + x[1]};
  };
  p.jac_row = [](const std::vector<double>& x, int k) {
    if (k == 0) return std::vector<double>{x[1], x[0] + 2 * x[1]};
    return std::vector<double>{std::cos(x[0]), 1.0};
  };
  return p;
}

using DerivativePhase = dense_test::CapturedUnits<kPrintUnit, kErrorUnit>;

double jac(const DenseHarness& h, int k, int j) {
  return h.jacnl[(k - 1) + static_cast<std::size_t>(j - 1) * h.ldcj];
}

TEST_F(DerivativePhase, EverythingSuppliedRaisesTheLevelAndEstimatesNothing) {
  DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 1", "Derivative level 0", "Verify level 10"});
  EXPECT_EQ(h.run(-13), kLimitExit);
  EXPECT_TRUE(printed(" All Jacobian elements have been set."));
  EXPECT_TRUE(printed(" Derivative level increased to    2"));
  EXPECT_TRUE(printed(" All objective gradient elements have been set."));
  EXPECT_TRUE(printed(" Derivative level increased to    3"));
  ASSERT_GE(h.log().size(), 2u);
  EXPECT_EQ(h.log()[0].code, request::kConstraintsBoth);
  EXPECT_EQ(h.log()[0].needrow, (std::vector<int>{1, 2}));
  EXPECT_EQ(h.log()[1].code, request::kObjectiveBoth);
  // Only the two directional checks follow: no finite differences.
  EXPECT_EQ(h.log().size(), 4u);
  EXPECT_EQ(h.store.i(iw::kDifferenceType), 0);
  // The derivatives at the caller's point are handed back.
  const std::vector<double> g = h.prob.grad(h.prob.x0);
  EXPECT_EQ(h.objg, g);
  EXPECT_EQ(jac(h, 1, 2), h.prob.jac_row(h.prob.x0, 0)[1]);
  EXPECT_TRUE(h.canaries_intact());
}

TEST_F(DerivativePhase, OneMissingElementCostsOneRequestWithOnlyItsRow) {
  DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 1", "Derivative level 1", "Verify level 10",
                                    "Difference interval 1e-7"});
  h.withheld_jacobian = {{2, 1}};
  EXPECT_EQ(h.run(-1), kLimitExit);
  EXPECT_TRUE(printed(" The user sets      3   out of     4   Jacobian elements."));
  EXPECT_TRUE(printed(" Each iteration,      1   Jacobian elements will be estimated numerically."));
  std::vector<Request> values;
  for (const Request& r : h.log()) {
    if (r.code == request::kConstraints) values.push_back(r);
  }
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].needrow, (std::vector<int>{2}));
  const double step = 1e-7 * (std::fabs(h.prob.x0[0]) + 1.0);
  EXPECT_NEAR(std::fabs(values[0].x[0] - h.prob.x0[0]), step, 1e-15);
  EXPECT_EQ(values[0].x[1], h.prob.x0[1]);
  EXPECT_EQ(h.count(request::kObjective), 1);  // the objective's directional check only
  EXPECT_NEAR(jac(h, 2, 1), std::cos(h.prob.x0[0]), 1e-6);
  EXPECT_EQ(jac(h, 1, 1), h.prob.jac_row(h.prob.x0, 0)[0]);
  EXPECT_TRUE(h.canaries_intact());
}

TEST_F(DerivativePhase, MissingGradientAtAnUpperBoundIsPerturbedDownward) {
  TestProblem p = curved_problem();
  p.x0 = {0.7, 3.0};  // x2 at its upper bound
  DenseHarness h(p, {"Major iterations limit 0", "Print level 0", "Derivative level 2", "Verify level 10",
                     "Difference interval 1e-7"});
  h.withheld_gradient = {2};
  EXPECT_EQ(h.run(-1), kLimitExit);
  const Request& last = h.log().back();
  EXPECT_EQ(last.code, request::kObjective);
  EXPECT_LT(last.x[1], 3.0);
  const double exact = p.grad(p.x0)[1];
  EXPECT_NEAR(h.objg[1], exact, 1e-5 * std::fabs(exact));
}

TEST_F(DerivativePhase, SecondOrderDifferencesUseTheTwoPointFormula) {
  DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 0", "Derivative level 1", "Verify level 10",
                                    "Difference interval 1e-4"});
  h.withheld_jacobian = {{1, 2}};
  // Requests 0..3 take the derivatives and run the two directional checks; request 4 is the
  // first point of the finite differences.
  h.pause_after = 4;
  h.run(-1);
  ASSERT_EQ(h.irevcm, request::kConstraints);
  h.store.i(iw::kDifferenceType) = 2;
  h.pause_after.reset();
  EXPECT_EQ(h.resume(), kLimitExit);
  std::vector<Request> values;
  for (const Request& r : h.log()) {
    if (r.code == request::kConstraints) values.push_back(r);
  }
  ASSERT_EQ(values.size(), 2u);
  const double x2 = h.prob.x0[1];
  const double step = values[0].x[1] - x2;
  EXPECT_NEAR(values[1].x[1] - x2, 2 * step, 1e-15);
  const double v0 = h.prob.cons(h.prob.x0)[0];
  const double v1 = h.prob.cons(values[0].x)[0];
  const double v2 = h.prob.cons(values[1].x)[0];
  EXPECT_NEAR(jac(h, 1, 2), (4 * v1 - 3 * v0 - v2) / (2 * step), 1e-9);
  EXPECT_NEAR(jac(h, 1, 2), h.prob.x0[0] + 2 * x2, 1e-7);
}

TEST_F(DerivativePhase, ComputedIntervalsPrecedeTheDifferences) {
  DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 1", "Derivative level 3", "Verify level 10",
                                    "Derivative level 1"});
  h.withheld_jacobian = {{2, 1}};
  EXPECT_EQ(h.run(-1), kLimitExit);
  EXPECT_TRUE(printed(" Computation of the finite-difference intervals"));
  std::vector<Request> values;
  for (const Request& r : h.log()) {
    if (r.code == request::kConstraints) values.push_back(r);
  }
  // Pairs of points x + h, x + 2h for the interval search, then one difference.
  ASSERT_GE(values.size(), 3u);
  EXPECT_EQ(values.size() % 2, 1u);
  for (const Request& r : values) EXPECT_EQ(r.needrow, (std::vector<int>{2}));
  EXPECT_NEAR(jac(h, 2, 1), std::cos(h.prob.x0[0]), 1e-6);
}

TEST_F(DerivativePhase, LinearElementsAreAssignedAndStillEstimatedWithoutRaisingTheLevel) {
  TestProblem p = curved_problem();
  p.cons = [](const std::vector<double>& x) {
    return std::vector<double>{x[0] * x[1] + x[1] * x[1], 3.0 * x[0] - x[1]};
  };
  p.jac_row = [](const std::vector<double>& x, int k) {
    if (k == 0) return std::vector<double>{x[1], x[0] + 2 * x[1]};
    return std::vector<double>{3.0, -1.0};
  };
  DenseHarness h(p, {"Major iterations limit 1", "Print level 1", "Derivative level 1", "Verify level 10"});
  h.withheld_jacobian = {{2, 1}};
  EXPECT_EQ(h.run(-1), kLimitExit);
  EXPECT_TRUE(printed("     1  constant constraint gradient elements assigned."));
  EXPECT_TRUE(printed(" All missing Jacobian elements are constants."));
  EXPECT_TRUE(printed(" They are still estimated at every point."));
  const std::vector<std::string> lines = print_.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with(" Derivative level increased"); }),
            0);
  // The caller still does not supply the element: it is estimated again after the step.
  EXPECT_TRUE(std::any_of(h.log().begin(), h.log().end(), [&](const Request& r) {
    return r.code == request::kConstraints && r.needrow == std::vector<int>{2} &&
           r.x[1] != h.prob.x0[1];
  }));
  EXPECT_NEAR(jac(h, 2, 1), 3.0, 1e-6);
}

TEST_F(DerivativePhase, WrongGradientEndsWithExitSevenAndBadLines) {
  DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 1", "Verify level 11"});
  h.gradient_error = {{1, 10.0}};
  EXPECT_EQ(h.run(-1), 7);
  EXPECT_TRUE(printed(" XXX  The objective gradients seem to be incorrect."));
  EXPECT_TRUE(printed(" XXX  There seem to be     1  incorrect objective gradients out of the     2"));
  const std::vector<std::string> lines = print_.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.ends_with(" BAD?"); }),
            1);
  EXPECT_TRUE(printed(" Exit DNNLPF - Large errors found in the derivatives."));
  const std::vector<std::string> errors = error_.lines();
  EXPECT_NE(std::find(errors.begin(), errors.end(), " ** Large errors found in the derivatives."),
            errors.end());
  EXPECT_EQ(h.x, h.prob.x0);  // the point of the checks, not a perturbed one
}

TEST_F(DerivativePhase, MissingElementAndWrongGradientRunTheDifferencesThenExitSeven) {
  DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 0", "Derivative level 1", "Verify level 11"});
  h.withheld_jacobian = {{1, 1}};
  h.gradient_error = {{2, -20.0}};
  EXPECT_EQ(h.run(-1), 7);
  EXPECT_NEAR(jac(h, 1, 1), h.prob.x0[1], 1e-6);
}

TEST_F(DerivativePhase, CorrectDerivativesPassEveryCheck) {
  DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 1", "Verify level 13"});
  EXPECT_EQ(h.run(-1), kLimitExit);
  EXPECT_TRUE(printed(" The objective gradients seem to be ok."));
  EXPECT_TRUE(printed(" The constraint gradients seem to be ok."));
  const std::vector<std::string> lines = print_.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.ends_with(" BAD?"); }),
            0);
}

TEST_F(DerivativePhase, StopAtAnyRequestEndsWithThatValue) {
  DenseHarness full(curved_problem(), {"Major iterations limit 0", "Print level 0", "Derivative level 0", "Verify level 13"});
  full.withheld_gradient = {1};
  full.withheld_jacobian = {{1, 2}};
  full.run(-1);
  const std::size_t requests = full.log().size();
  ASSERT_GT(requests, 6u);
  for (std::size_t k = 0; k < requests; ++k) {
    DenseHarness h(curved_problem(), {"Major iterations limit 0", "Print level 1", "Derivative level 0", "Verify level 13"});
    h.withheld_gradient = {1};
    h.withheld_jacobian = {{1, 2}};
    h.stop_at = static_cast<int>(k);
    h.stop_value = -2 - static_cast<int>(k);
    EXPECT_EQ(h.run(1), h.stop_value) << "stop at request " << k;
    EXPECT_EQ(h.irevcm, 0);
    EXPECT_EQ(h.log().size(), k + 1);
    EXPECT_EQ(h.store.i(iw::kBodyState), 0);
    EXPECT_EQ(h.store.i(iw::kDerivativeState), 0);
  }
  EXPECT_TRUE(printed(" Exit DNNLPF - User requested termination."));
}

TEST_F(DerivativePhase, ReplayFromAnyRequestGivesTheSameResult) {
  const std::vector<std::string> lines = {"Major iterations limit 0", "Print level 0", "Derivative level 0", "Verify level 13",
                                          "Function precision 1e-11"};
  // The start violates x1 - x2 >= 1: the state crosses the FP problem and a second phase.
  TestProblem moved = curved_problem();
  moved.bl[2] = 1.0;
  DenseHarness full(moved, lines);
  full.withheld_gradient = {2};
  full.withheld_jacobian = {{2, 2}};
  full.noise = 1e-12;
  full.run(-1);
  ASSERT_EQ(full.ifail, kLimitExit);
  ASSERT_GT(full.count(request::kObjectiveBoth), 1);
  for (std::size_t k = 0; k < full.log().size(); k += 3) {
    DenseHarness h(moved, lines);
    h.withheld_gradient = full.withheld_gradient;
    h.withheld_jacobian = full.withheld_jacobian;
    h.noise = full.noise;
    h.pause_after = k;
    h.run(-1);
    const DenseHarness::Snapshot snap = h.snapshot();
    h.pause_after.reset();
    h.resume();
    const std::vector<double> first_work = h.work;
    const dense_test::LocalDenseStore first_store = h.store;
    h.restore(snap);
    h.resume();
    EXPECT_EQ(h.work, first_work) << "replay from request " << k;
    EXPECT_TRUE(h.store == first_store) << "replay from request " << k;
    EXPECT_EQ(h.objg, full.objg);
    EXPECT_EQ(h.jacnl, full.jacnl);
    EXPECT_EQ(h.log().size(), full.log().size());
  }
}

// The interval search alone, on functions of known curvature.
struct SearchCase {
  const char* name;
  std::function<double(double)> f;
  double x;
  bool accepted;
};

class IntervalSearchOn : public ::testing::TestWithParam<SearchCase> {};

TEST_P(IntervalSearchOn, EndsWithinItsLimitWithAUsableInterval) {
  const SearchCase& c = GetParam();
  const double fprec = 1e-15;
  IntervalSearch s;
  s.fprec = fprec;
  s.epsa = fprec * (1.0 + std::fabs(c.f(c.x)));
  s.h = 1e-8;
  while (!s.done) {
    interval_search_step(s, c.f(c.x), c.f(c.x + s.h), c.f(c.x + 2 * s.h), 1e-8);
    ASSERT_LE(s.iterations, s.limit) << c.name;
  }
  EXPECT_EQ(s.accepted, c.accepted) << c.name;
  EXPECT_GT(s.forward, 0.0) << c.name;
  EXPECT_TRUE(std::isfinite(s.forward)) << c.name;
  EXPECT_TRUE(std::isfinite(s.error)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Functions,
    IntervalSearchOn,
    ::testing::Values(SearchCase{"quadratic", [](double x) { return x * x; }, 1.0, true},
                      SearchCase{"cubic", [](double x) { return x * x * x; }, 2.0, true},
                      SearchCase{"constant", [](double) { return 5.0; }, 1.0, false},
                      SearchCase{"linear", [](double x) { return 3.0 * x + 1.0; }, 1.0, false},
                      SearchCase{"noisy", [](double x) {
                                   return x * x + 1e-12 * std::sin(1e9 * x);
                                 }, 1.0, true}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

TEST(IntervalSearch, QuadraticIntervalMatchesItsCurvature) {
  const double fprec = 1e-15;
  IntervalSearch s;
  s.fprec = fprec;
  s.epsa = fprec * 2.0;
  s.h = 1e-8;
  const auto f = [](double x) { return 4.0 * x * x; };  // f'' = 8
  while (!s.done) interval_search_step(s, f(1.0), f(1.0 + s.h), f(1.0 + 2 * s.h), 1e-8);
  ASSERT_TRUE(s.accepted);
  EXPECT_NEAR(s.d4, 8.0, 1e-3);
  EXPECT_NEAR(s.forward, 2.0 * std::sqrt(s.epsa / 8.0), 1e-3 * s.forward);
  EXPECT_NEAR(s.d3, 8.0, 1e-4);
}

}  // namespace
}  // namespace zun
