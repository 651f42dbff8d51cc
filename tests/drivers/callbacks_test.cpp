// The driver's evaluation routines against the ASL on real problems: values, the nonlinear
// Jacobian in column order and the objective gradient against finite differences, the split
// between nonlinear functions and constant matrix elements, and evaluation errors.
#include "drivers/spnlp/callbacks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "drivers/common/problem_shape.h"
#include "drivers/spnlp/problem_arrays.h"
#include "tests/drivers/asl_loader.h"

namespace {

using spnlp::SparseArrays;
using spnlp_test::LoadedProblem;

constexpr double kUntouched = -111111.0;
constexpr int kValues = 0;
constexpr int kDerivatives = 1;
constexpr int kBoth = 2;

struct Evaluated {
  int mode;
  std::vector<double> fcon;
  std::vector<double> gcon;
};

Evaluated eval_constraints(SparseArrays& a, int mode, const std::vector<double>& x) {
  Evaluated e{mode, std::vector<double>(std::max(a.ncnln, 1), kUntouched),
              std::vector<double>(std::max(a.ngcon, 1), kUntouched)};
  const int first = 1;
  spnlp::confun(e.mode, a.ncnln, a.njnln, a.ngcon, x.data(), e.fcon.data(), e.gcon.data(), first,
                a.iusr.data(), a.rusr.data());
  return e;
}

std::pair<int, double> eval_objective(SparseArrays& a,
                                      int mode,
                                      const std::vector<double>& x,
                                      std::vector<double>& g) {
  double f = kUntouched;
  g.assign(std::max(a.nonln, 1), kUntouched);
  const int first = 0;
  spnlp::objfun(mode, a.nonln, x.data(), f, g.data(), first, a.iusr.data(), a.rusr.data());
  return {mode, f};
}

double step(double x) { return 1e-6 * std::max(1.0, std::fabs(x)); }

void expect_near_derivative(double analytic, double difference, const std::string& where) {
  EXPECT_NEAR(analytic, difference, 1e-5 * std::max(1.0, std::fabs(analytic))) << where;
}

// A point inside every test problem's domain: the start point moved a little.
std::vector<double> test_point(const LoadedProblem& p) {
  std::vector<double> x = p.start();
  for (std::size_t j = 0; j < x.size(); ++j) x[j] += 0.3 + 0.05 * static_cast<double>(j);
  return x;
}

class ProblemCallbacks : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    problem_ = std::make_unique<LoadedProblem>(spnlp_test::data_path(GetParam()));
    ASSERT_TRUE(problem_->loaded());
    objective_ = problem_->counts().n_obj > 0 ? 0 : -1;
    arrays_ = spnlp::build_sparse_arrays(spnlp::read_problem_shape(objective_).value());
    x_ = test_point(*problem_);
  }
  std::unique_ptr<LoadedProblem> problem_;
  int objective_ = -1;
  SparseArrays arrays_;
  std::vector<double> x_;
};

using ConstraintCallbacks = ProblemCallbacks;
using ObjectiveCallbacks = ProblemCallbacks;

TEST_P(ConstraintCallbacks, JacobianInColumnOrderMatchesFiniteDifferences) {
  SparseArrays& a = arrays_;
  ASSERT_GT(a.ncnln, 0);
  const Evaluated both = eval_constraints(a, kBoth, x_);
  ASSERT_EQ(both.mode, kBoth);
  int p = 0;
  for (int j = 1; j <= a.njnln; ++j) {
    for (int k = a.ka[j - 1]; k < a.ka[j]; ++k) {
      const int row = a.ha[k - 1];
      if (row > a.ncnln) continue;
      std::vector<double> up = x_, down = x_;
      const double h = step(x_[j - 1]);
      up[j - 1] += h;
      down[j - 1] -= h;
      const double diff = (eval_constraints(a, kValues, up).fcon[row - 1] -
                           eval_constraints(a, kValues, down).fcon[row - 1]) /
                          (2 * h);
      expect_near_derivative(both.gcon[p], diff,
                             "row " + std::to_string(row) + " column " + std::to_string(j));
      ++p;
    }
  }
  EXPECT_EQ(p, a.ngcon);

  const Evaluated derivatives = eval_constraints(a, kDerivatives, x_);
  EXPECT_EQ(derivatives.gcon, both.gcon);
  EXPECT_EQ(derivatives.fcon, std::vector<double>(derivatives.fcon.size(), kUntouched));
  const Evaluated values = eval_constraints(a, kValues, x_);
  EXPECT_EQ(values.fcon, both.fcon);
  EXPECT_EQ(values.gcon, std::vector<double>(values.gcon.size(), kUntouched));
}

// The solver adds the linear terms of the later variables from the constant matrix elements:
// the ASL's value at a full point is confun's value plus those terms.
TEST_P(ConstraintCallbacks, ValuesPlusConstantElementsGiveTheModelsValues) {
  SparseArrays& a = arrays_;
  ASSERT_GT(a.ncnln, 0);
  std::vector<double> full = x_;
  for (int j = a.njnln; j < a.n; ++j) full[j] = 0.7 - 0.1 * j;
  const Evaluated e = eval_constraints(a, kValues, full);
  ASSERT_EQ(e.mode, kValues);
  for (int i = 1; i <= a.ncnln; ++i) {
    double value = e.fcon[i - 1];
    for (int j = a.njnln + 1; j <= a.n; ++j) {
      for (int k = a.ka[j - 1]; k < a.ka[j]; ++k) {
        if (a.ha[k - 1] == i) value += a.aval[k - 1] * full[j - 1];
      }
    }
    bool error = false;
    EXPECT_NEAR(value, problem_->constraint(i - 1, full, error),
                1e-10 * std::max(1.0, std::fabs(value)));
    EXPECT_FALSE(error);
  }
}

TEST_P(ObjectiveCallbacks, GradientMatchesFiniteDifferencesAndTheModel) {
  SparseArrays& a = arrays_;
  std::vector<double> g;
  const auto [mode, f] = eval_objective(a, kBoth, x_, g);
  ASSERT_EQ(mode, kBoth);
  if (objective_ < 0) {
    EXPECT_EQ(f, 0.0);
    EXPECT_EQ(g, std::vector<double>(g.size(), a.nonln > 0 ? 0.0 : kUntouched));
    return;
  }
  std::vector<double> unused;
  for (int j = 0; j < a.nonln; ++j) {
    std::vector<double> up = x_, down = x_;
    const double h = step(x_[j]);
    up[j] += h;
    down[j] -= h;
    const double diff = (eval_objective(a, kValues, up, unused).second -
                         eval_objective(a, kValues, down, unused).second) /
                        (2 * h);
    expect_near_derivative(g[j], diff, "variable " + std::to_string(j + 1));
  }
  std::vector<double> only_gradient;
  const auto [mode1, f1] = eval_objective(a, kDerivatives, x_, only_gradient);
  EXPECT_EQ(mode1, kDerivatives);
  EXPECT_EQ(f1, kUntouched);
  EXPECT_EQ(only_gradient, g);

  // The model's objective is objfun's value plus the objective row's constant elements.
  std::vector<double> full = x_;
  for (int j = a.nonln; j < a.n; ++j) full[j] = 0.4 + 0.2 * j;
  double value = eval_objective(a, kValues, full, unused).second;
  if (a.iobj > 0) {
    for (int j = 1; j <= a.n; ++j) {
      for (int k = a.ka[j - 1]; k < a.ka[j]; ++k) {
        if (a.ha[k - 1] == a.iobj) value += a.aval[k - 1] * full[j - 1];
      }
    }
  }
  bool error = false;
  EXPECT_NEAR(value, problem_->objective(objective_, full, error),
              1e-10 * std::max(1.0, std::fabs(value)));
  EXPECT_FALSE(error);
}

// The constraint routine holds its point as the ASL's known point only for its sweep over the
// rows: an objective evaluation at another point through the same scratch array afterwards
// gets that point's value.
TEST_P(ConstraintCallbacks, ObjectiveAfterARowSweepFollowsItsOwnPoint) {
  SparseArrays& a = arrays_;
  ASSERT_GT(a.ncnln, 0);
  if (objective_ < 0 || a.nonln == 0) GTEST_SKIP() << "no nonlinear objective";
  std::vector<double> other = x_, unused;
  for (double& v : other) v += 0.125;
  const double before = eval_objective(a, kValues, other, unused).second;
  ASSERT_NE(before, eval_objective(a, kValues, x_, unused).second);
  ASSERT_EQ(eval_constraints(a, kBoth, x_).mode, kBoth);
  EXPECT_EQ(eval_objective(a, kValues, other, unused).second, before);
}

std::string file_stem(const ::testing::TestParamInfo<const char*>& info) {
  const std::string name = info.param;
  return name.substr(0, name.find('.'));
}

INSTANTIATE_TEST_SUITE_P(Problems,
                         ConstraintCallbacks,
                         ::testing::Values("hs071.nl",
                                           "hs100asl.nl",
                                           "bratu5.nl",
                                           "hs022.nl",
                                           "log_error.nl",
                                           "no_objective.nl",
                                           "unsorted_jacobian.nl"),
                         file_stem);

INSTANTIATE_TEST_SUITE_P(Problems,
                         ObjectiveCallbacks,
                         ::testing::Values("hs071.nl",
                                           "hs100asl.nl",
                                           "hs118.nl",
                                           "bratu5.nl",
                                           "hs022.nl",
                                           "log_error.nl",
                                           "no_objective.nl",
                                           "maximize.nl",
                                           "unconstrained.nl",
                                           "linear_tail.nl",
                                           "two_objectives.nl"),
                         file_stem);

class CallbacksAtBadPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    problem_ = std::make_unique<LoadedProblem>(spnlp_test::data_path("log_error.nl"));
    ASSERT_TRUE(problem_->loaded());
    arrays_ = spnlp::build_sparse_arrays(spnlp::read_problem_shape(0).value());
  }
  std::unique_ptr<LoadedProblem> problem_;
  SparseArrays arrays_;
};

// Points of log_error.nl where a function cannot be used: the log of x1 <= 0 (row 3) or of
// x2 <= 0 (the objective) is an error of the ASL; at x1 = 1e308 the squares of row 1 and of the
// objective, and their derivatives, overflow without one.
struct BadPoint {
  std::vector<double> x;
  int failing_row;  // 0-based
};

const BadPoint kBadConstraintPoints[] = {{{-1.0, 1.0}, 2}, {{1e308, 1.0}, 0}};
const std::vector<double> kBadObjectivePoints[] = {{1.0, -1.0}, {1e308, 1.0}};

// The rows before the failing one are evaluated, the rest and the Jacobian are left alone.
TEST_F(CallbacksAtBadPoints, ConstraintErrorStopsAtTheFailingRow) {
  for (const BadPoint& p : kBadConstraintPoints) {
    SCOPED_TRACE(p.x[0]);
    const Evaluated e = eval_constraints(arrays_, kBoth, p.x);
    EXPECT_EQ(e.mode, -1);
    for (int i = 0; i < arrays_.ncnln; ++i) {
      bool error = false;
      EXPECT_EQ(e.fcon[i], i < p.failing_row ? problem_->constraint(i, p.x, error) : kUntouched)
          << "row " << i;
    }
    EXPECT_EQ(e.gcon, std::vector<double>(e.gcon.size(), kUntouched));
    EXPECT_EQ(eval_constraints(arrays_, kDerivatives, p.x).mode, -1);
  }
}

TEST_F(CallbacksAtBadPoints, ObjectiveErrorSetsModeMinusOne) {
  for (const std::vector<double>& x : kBadObjectivePoints) {
    for (int mode : {kValues, kDerivatives, kBoth}) {
      std::vector<double> g;
      const auto [out, f] = eval_objective(arrays_, mode, x, g);
      EXPECT_EQ(out, -1) << x[0] << " " << mode;
      EXPECT_EQ(f, kUntouched) << x[0] << " " << mode;
      EXPECT_EQ(g, std::vector<double>(g.size(), kUntouched)) << x[0] << " " << mode;
    }
  }
}

TEST_F(CallbacksAtBadPoints, OtherModesEvaluateNothing) {
  const std::vector<double> x = {-1.0, -1.0};
  const Evaluated e = eval_constraints(arrays_, 3, x);
  EXPECT_EQ(e.mode, 3);
  EXPECT_EQ(e.fcon, std::vector<double>(e.fcon.size(), kUntouched));
  std::vector<double> g;
  EXPECT_EQ(eval_objective(arrays_, 5, x, g), std::make_pair(5, kUntouched));
}

TEST_F(CallbacksAtBadPoints, NullArgumentsReturnAtOnce) {
  int mode = kBoth;
  std::vector<double> f(5, kUntouched);
  const int first = 1;
  spnlp::confun(mode, arrays_.ncnln, arrays_.njnln, arrays_.ngcon, nullptr, f.data(), nullptr,
                first, arrays_.iusr.data(), arrays_.rusr.data());
  EXPECT_EQ(mode, kBoth);
  EXPECT_EQ(f, std::vector<double>(5, kUntouched));
  double fobj = kUntouched;
  const std::vector<double> x = {1.0, 1.0};
  spnlp::objfun(mode, arrays_.nonln, x.data(), fobj, nullptr, first, arrays_.iusr.data(),
                arrays_.rusr.data());
  EXPECT_EQ(fobj, kUntouched);
}

}  // namespace
