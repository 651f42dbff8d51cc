// The major iterations end to end through the reverse-communication loop: known optima of
// classic test problems at every derivative level, the KKT conditions of the returned point
// and multipliers, the exit codes, stops inside the search and the difference requests, and
// the printed log header, exit lines and solution table.
#include "library/dense_sqp/major_iterations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/dense_sqp/dense_workspace.h"
#include "tests/dense_sqp/dense_harness.h"

namespace zun {
namespace {

using dense_test::DenseHarness;
using dense_test::TestProblem;

constexpr double kInf = 1.0e30;
constexpr int kPrintUnit = 91;
constexpr int kErrorUnit = 92;

using Vec = std::vector<double>;

TestProblem rosenbrock() {
  TestProblem p;
  p.n = 2;
  p.bl = {-kInf, -kInf};
  p.bu = {kInf, kInf};
  p.x0 = {-1.2, 1.0};
  p.f = [](const Vec& x) { return 100 * std::pow(x[1] - x[0] * x[0], 2) + std::pow(1 - x[0], 2); };
  p.grad = [](const Vec& x) {
    return Vec{-400 * x[0] * (x[1] - x[0] * x[0]) - 2 * (1 - x[0]), 200 * (x[1] - x[0] * x[0])};
  };
  return p;
}

TestProblem hs6() {
  TestProblem p;
  p.n = 2;
  p.ncnln = 1;
  p.bl = {-kInf, -kInf, 0.0};
  p.bu = {kInf, kInf, 0.0};
  p.x0 = {-1.2, 1.0};
  p.f = [](const Vec& x) { return (1 - x[0]) * (1 - x[0]); };
  p.grad = [](const Vec& x) { return Vec{-2 * (1 - x[0]), 0.0}; };
  p.cons = [](const Vec& x) { return Vec{10 * (x[1] - x[0] * x[0])}; };
  p.jac_row = [](const Vec& x, int) { return Vec{-20 * x[0], 10.0}; };
  return p;
}

TestProblem hs71() {
  TestProblem p;
  p.n = 4;
  p.ncnln = 2;
  p.bl = {1, 1, 1, 1, 25, 40};
  p.bu = {5, 5, 5, 5, kInf, 40};
  p.x0 = {1, 5, 5, 1};
  p.f = [](const Vec& x) { return x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2]; };
  p.grad = [](const Vec& x) {
    return Vec{x[3] * (2 * x[0] + x[1] + x[2]), x[0] * x[3], x[0] * x[3] + 1,
               x[0] * (x[0] + x[1] + x[2])};
  };
  p.cons = [](const Vec& x) {
    return Vec{x[0] * x[1] * x[2] * x[3], x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3]};
  };
  p.jac_row = [](const Vec& x, int k) {
    if (k == 0) return Vec{x[1] * x[2] * x[3], x[0] * x[2] * x[3], x[0] * x[1] * x[3], x[0] * x[1] * x[2]};
    return Vec{2 * x[0], 2 * x[1], 2 * x[2], 2 * x[3]};
  };
  return p;
}

// HS21: min 0.01 x1^2 + x2^2 - 100 subject to 10 x1 - x2 >= 10, 2 <= x1 <= 50, -50 <= x2 <= 50.
TestProblem hs21() {
  TestProblem p;
  p.n = 2;
  p.nclin = 1;
  p.a = {10.0, -1.0};
  p.bl = {2, -50, 10};
  p.bu = {50, 50, kInf};
  p.x0 = {-1, -1};
  p.f = [](const Vec& x) { return 0.01 * x[0] * x[0] + x[1] * x[1] - 100; };
  p.grad = [](const Vec& x) { return Vec{0.02 * x[0], 2 * x[1]}; };
  return p;
}

// HS28: min (x1 + x2)^2 + (x2 + x3)^2 subject to x1 + 2 x2 + 3 x3 = 1; with DUPLICATES the
// row is repeated (a dependent working set).
TestProblem hs28(int duplicates = 0) {
  TestProblem p;
  p.n = 3;
  p.nclin = 1 + duplicates;
  for (int j : {1, 2, 3}) {
    for (int i = 0; i < p.nclin; ++i) p.a.push_back(j);
  }
  p.bl = {-kInf, -kInf, -kInf};
  p.bu = {kInf, kInf, kInf};
  for (int i = 0; i < p.nclin; ++i) {
    p.bl.push_back(1.0);
    p.bu.push_back(1.0);
  }
  p.x0 = {-4, 1, 1};
  p.f = [](const Vec& x) { return std::pow(x[0] + x[1], 2) + std::pow(x[1] + x[2], 2); };
  p.grad = [](const Vec& x) {
    return Vec{2 * (x[0] + x[1]), 2 * (x[0] + x[1]) + 2 * (x[1] + x[2]), 2 * (x[1] + x[2])};
  };
  return p;
}

// HS35: a convex QP with bounds x >= 0 and x1 + x2 + 2 x3 <= 3.
TestProblem hs35() {
  TestProblem p;
  p.n = 3;
  p.nclin = 1;
  p.a = {1, 1, 2};
  p.bl = {0, 0, 0, -kInf};
  p.bu = {kInf, kInf, kInf, 3};
  p.x0 = {0.5, 0.5, 0.5};
  p.f = [](const Vec& x) {
    return 9 - 8 * x[0] - 6 * x[1] - 4 * x[2] + 2 * x[0] * x[0] + 2 * x[1] * x[1] + x[2] * x[2] +
           2 * x[0] * x[1] + 2 * x[0] * x[2];
  };
  p.grad = [](const Vec& x) {
    return Vec{-8 + 4 * x[0] + 2 * x[1] + 2 * x[2], -6 + 4 * x[1] + 2 * x[0], -4 + 2 * x[2] + 2 * x[0]};
  };
  return p;
}

// An LP: min -x1 - x2 subject to x1 + 2 x2 <= 4, 3 x1 + x2 <= 6, x >= 0 (vertex (1.6, 1.2)).
TestProblem lp() {
  TestProblem p;
  p.n = 2;
  p.nclin = 2;
  p.a = {1, 3, 2, 1};
  p.bl = {0, 0, -kInf, -kInf};
  p.bu = {kInf, kInf, 4, 6};
  p.x0 = {0, 0};
  p.f = [](const Vec& x) { return -x[0] - x[1]; };
  p.grad = [](const Vec&) { return Vec{-1, -1}; };
  return p;
}

// A maximisation handed over as the minimisation of the negated objective, as the driver does:
// max x1 x2 subject to x1^2 + x2^2 <= 2 (optimum 1 at (1, 1)).
TestProblem negated_maximisation() {
  TestProblem p;
  p.n = 2;
  p.ncnln = 1;
  p.bl = {0, 0, -kInf};
  p.bu = {kInf, kInf, 2};
  p.x0 = {0.5, 1.5};
  p.f = [](const Vec& x) { return -x[0] * x[1]; };
  p.grad = [](const Vec& x) { return Vec{-x[1], -x[0]}; };
  p.cons = [](const Vec& x) { return Vec{x[0] * x[0] + x[1] * x[1]}; };
  p.jac_row = [](const Vec& x, int) { return Vec{2 * x[0], 2 * x[1]}; };
  return p;
}

struct KnownOptimum {
  const char* name;
  TestProblem (*make)();
  double fstar;
};

TestProblem hs28_duplicated() { return hs28(2); }
TestProblem hs28_single() { return hs28(0); }

const KnownOptimum kProblems[] = {
    {"Rosenbrock", rosenbrock, 0.0},
    {"HS6", hs6, 0.0},
    {"HS21", hs21, -99.96},
    {"HS28", hs28_single, 0.0},
    {"HS28Duplicated", hs28_duplicated, 0.0},
    {"HS35", hs35, 1.0 / 9.0},
    {"HS71", hs71, 17.0140172891},
    {"LP", lp, -2.8},
    {"NegatedMaximisation", negated_maximisation, -1.0},
};

// The harness set to supply the derivatives of LEVEL (0 none, 1 gradient, 2 Jacobian, 3 both).
void withhold_for_level(DenseHarness& h, int level) {
  if (level == 0 || level == 2) {
    for (int j = 1; j <= h.prob.n; ++j) h.withheld_gradient.insert(j);
  }
  if (level == 0 || level == 1) {
    for (int k = 1; k <= h.prob.ncnln; ++k) {
      for (int j = 1; j <= h.prob.n; ++j) h.withheld_jacobian.insert({k, j});
    }
  }
}

// The largest violation of the bounds and rows at x.
double infeasibility(const TestProblem& p, const Vec& x) {
  double worst = 0.0;
  std::vector<double> values(x);
  for (int i = 0; i < p.nclin; ++i) {
    double ax = 0.0;
    for (int j = 0; j < p.n; ++j) ax += p.a[i + static_cast<std::size_t>(j) * p.nclin] * x[j];
    values.push_back(ax);
  }
  if (p.ncnln > 0) {
    const Vec c = p.cons(x);
    values.insert(values.end(), c.begin(), c.end());
  }
  for (std::size_t j = 0; j < values.size(); ++j) {
    worst = std::max({worst, p.bl[j] - values[j], values[j] - p.bu[j]});
  }
  return worst;
}

// ||g - sum mult_j grad_j||_inf over the bounds, the linear rows and the nonlinear rows, and
// the worst multiplier of the wrong sign (at least 0 at a lower bound, at most 0 at an upper).
struct Kkt {
  double stationarity = 0.0;
  double wrong_sign = 0.0;
  double gnorm = 0.0;
};

Kkt kkt(const TestProblem& p, const Vec& x, const Vec& mult) {
  Kkt k;
  Vec res = p.grad(x);
  for (double v : res) k.gnorm = std::max(k.gnorm, std::fabs(v));
  for (int j = 0; j < p.n; ++j) res[j] -= mult[j];
  for (int i = 0; i < p.nclin; ++i) {
    for (int j = 0; j < p.n; ++j) res[j] -= mult[p.n + i] * p.a[i + static_cast<std::size_t>(j) * p.nclin];
  }
  for (int c = 0; c < p.ncnln; ++c) {
    const Vec row = p.jac_row(x, c);
    for (int j = 0; j < p.n; ++j) res[j] -= mult[p.n + p.nclin + c] * row[j];
  }
  for (double v : res) k.stationarity = std::max(k.stationarity, std::fabs(v));
  const double scale = 1e-6;
  for (int j = 0; j < p.n + p.nclin; ++j) {
    std::vector<double> values(x);
    double value = j < p.n ? x[j] : 0.0;
    if (j >= p.n) {
      for (int i = 0; i < p.n; ++i) value += p.a[(j - p.n) + static_cast<std::size_t>(i) * p.nclin] * x[i];
    }
    const bool at_lower = std::fabs(value - p.bl[j]) <= scale * (1 + std::fabs(p.bl[j]));
    const bool at_upper = std::fabs(value - p.bu[j]) <= scale * (1 + std::fabs(p.bu[j]));
    if (p.bl[j] == p.bu[j]) continue;
    if (!at_lower) k.wrong_sign = std::max(k.wrong_sign, mult[j]);
    if (!at_upper) k.wrong_sign = std::max(k.wrong_sign, -mult[j]);
  }
  return k;
}

bool converged(int code) { return code == 0 || code == 1; }

struct LevelCase {
  KnownOptimum problem;
  int level;
};

std::string case_name(const ::testing::TestParamInfo<LevelCase>& info) {
  return std::string(info.param.problem.name) + "Level" + std::to_string(info.param.level);
}

std::vector<LevelCase> level_cases() {
  std::vector<LevelCase> cases;
  for (const KnownOptimum& k : kProblems) {
    for (int level : {3, 2, 1, 0}) cases.push_back({k, level});
  }
  return cases;
}

class KnownOptima : public ::testing::TestWithParam<LevelCase> {};

TEST_P(KnownOptima, ReachTheOptimumWithKktMultipliers) {
  const LevelCase& c = GetParam();
  DenseHarness h(c.problem.make(), {"Print level 0", "Derivative level " + std::to_string(c.level),
                                    "Major iterations limit 200", "Optimality tolerance 1e-12"});
  withhold_for_level(h, c.level);
  const int code = h.run(-1);
  const bool estimated = c.level < 3;
  const double fstar = c.problem.fstar;
  const double ftol = (estimated ? 1e-5 : 1e-6) * (1.0 + std::fabs(fstar));
  // 1 where the last step was not small but the next direction is tiny (an exact step).
  EXPECT_TRUE(converged(code)) << code;
  EXPECT_NEAR(h.prob.f(h.x), fstar, ftol);
  EXPECT_NEAR(h.objv, h.prob.f(h.x), ftol);
  // Without a supplied Jacobian the nonlinear rows are held to eps^0.33 only.
  EXPECT_LE(infeasibility(h.prob, h.x), c.level < 2 ? std::pow(2.0, -53 * 0.33) : 1e-6);
  const Kkt k = kkt(h.prob, h.x, h.mult);
  const double s = std::sqrt(1e-12);
  const double scale = std::max({1.0, std::fabs(h.objv), k.gnorm});
  EXPECT_LE(k.stationarity, (estimated ? 1e3 : 10.0) * s * scale);
  EXPECT_LE(k.wrong_sign, 1e-6 * scale);
  for (double v : h.x) EXPECT_TRUE(std::isfinite(v));
  EXPECT_TRUE(h.canaries_intact());
}

INSTANTIATE_TEST_SUITE_P(Dense, KnownOptima, ::testing::ValuesIn(level_cases()), case_name);

// After the switch to second-order differences the missing gradient and Jacobian elements are
// estimated again at once: the derivatives are asked for at most once at any point.
TEST(CentralDifferences, SwitchAsksForNoDerivativesAgainAtThePoint) {
  struct Case {
    TestProblem (*make)();
    int level;
  };
  for (const Case c :
       {Case{rosenbrock, 2}, Case{hs6, 2}, Case{hs71, 2}, Case{hs71, 1}, Case{hs71, 0}}) {
    DenseHarness h(c.make(), {"Print level 0", "Derivative level " + std::to_string(c.level),
                              "Optimality tolerance 1e-12"});
    withhold_for_level(h, c.level);
    SCOPED_TRACE("level " + std::to_string(c.level) + ", n " + std::to_string(h.prob.n));
    EXPECT_EQ(h.run(-1), 0);
    ASSERT_EQ(h.store.i(dense_words::integer_word::kDifferenceType), 2);
    // The derivatives at a point: the Jacobian first when there are nonlinear rows.
    const std::vector<int> first_asked =
        h.prob.ncnln > 0 ? std::vector<int>{request::kJacobian, request::kConstraintsBoth}
                         : std::vector<int>{request::kGradient, request::kObjectiveBoth};
    std::vector<Vec> asked;
    for (const dense_test::Request& r : h.log()) {
      if (std::count(first_asked.begin(), first_asked.end(), r.code) == 0) continue;
      EXPECT_EQ(std::count(asked.begin(), asked.end(), r.x), 0);
      asked.push_back(r.x);
    }
  }
}

// Seven variables and seven curved rows leave WORK no room for the marks of the missing Jacobian
// elements: after the switch the derivatives are asked for again and the solve still ends at
// the optimum, x = (1, ..., 7) with every row inactive.
TEST(CentralDifferences, WithoutRoomForTheMarksTheDerivativesAreAskedForAgain) {
  constexpr int kN = 7;
  TestProblem p;
  p.n = kN;
  p.ncnln = kN;
  p.bl.assign(2 * kN, -kInf);
  p.bu.assign(kN, kInf);
  p.bu.insert(p.bu.end(), kN, 100.0);
  p.x0.assign(kN, 0.5);
  p.f = [](const Vec& x) {
    double sum = 0.0;
    for (int i = 0; i < kN; ++i) {
      const double d = x[i] - (i + 1);
      sum += d * d * (1.0 + d * d);
    }
    return sum;
  };
  p.grad = [](const Vec& x) {
    Vec g(kN);
    for (int i = 0; i < kN; ++i) {
      const double d = x[i] - (i + 1);
      g[i] = 2.0 * d + 4.0 * d * d * d;
    }
    return g;
  };
  p.cons = [](const Vec& x) {
    Vec c(kN);
    for (int i = 0; i < kN; ++i) c[i] = x[i] * x[i] + x[(i + 1) % kN];
    return c;
  };
  p.jac_row = [](const Vec& x, int k) {
    Vec row(kN, 0.0);
    row[k] = 2.0 * x[k];
    row[(k + 1) % kN] += 1.0;
    return row;
  };
  DenseHarness h(p, {"Print level 0", "Derivative level 1", "Optimality tolerance 1e-12"});
  ASSERT_EQ(dense_spare_jacobian_start(kN, 0, kN, h.lenw), 0);
  withhold_for_level(h, 1);
  EXPECT_TRUE(converged(h.run(-1)));
  EXPECT_EQ(h.store.i(dense_words::integer_word::kDifferenceType), 2);
  for (int i = 0; i < kN; ++i) EXPECT_NEAR(h.x[i], i + 1.0, 1e-5) << i;
  std::vector<Vec> asked;
  int again = 0;
  for (const dense_test::Request& r : h.log()) {
    if (r.code != request::kJacobian && r.code != request::kConstraintsBoth) continue;
    again += static_cast<int>(std::count(asked.begin(), asked.end(), r.x));
    asked.push_back(r.x);
  }
  EXPECT_GT(again, 0);
}

// trace((R'R)^k), k = 1..n: equal for two factors exactly when R'R have the same eigenvalues.
Vec power_traces(const Vec& r, int n) {
  Vec h(n * n, 0.0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < n; ++k) h[i + j * n] += r[k + i * n] * r[k + j * n];
    }
  }
  Vec power = h, traces;
  for (int k = 1; k <= n; ++k) {
    double t = 0.0;
    for (int i = 0; i < n; ++i) t += power[i + i * n];
    traces.push_back(t);
    Vec next(n * n, 0.0);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        for (int m = 0; m < n; ++m) next[i + j * n] += power[i + m * n] * h[m + j * n];
      }
    }
    power = next;
  }
  return traces;
}

struct HessianCase {
  const char* name;
  TestProblem (*make)();
  bool general_row_at_solution;  // the final working set then holds a general row
};

class HessianOutput : public ::testing::TestWithParam<HessianCase> {};

// "Hessian yes" returns R in the natural variables, "Hessian no" in the basis of the last QP
// subproblem: the same approximation, so R'R has the same eigenvalues; the factors differ once
// a general row is in the working set and agree up to row signs while the basis is the
// identity.
TEST_P(HessianOutput, ChoosesTheBasisOfTheReturnedFactor) {
  const HessianCase& c = GetParam();
  DenseHarness natural(c.make(), {"Print level 0", "Hessian yes"});
  DenseHarness basis(c.make(), {"Print level 0", "Hessian no"});
  ASSERT_EQ(natural.run(-1), 0);
  ASSERT_EQ(basis.run(-1), 0);
  EXPECT_EQ(natural.x, basis.x);
  const int n = natural.prob.n;
  double largest_difference = 0.0, scale = 0.0;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const double a = natural.r[i + j * n], b = basis.r[i + j * n];
      if (i > j) {
        EXPECT_EQ(b, 0.0);
      }
      largest_difference = std::max(largest_difference, std::fabs(std::fabs(a) - std::fabs(b)));
      scale = std::max(scale, std::fabs(a));
    }
  }
  if (c.general_row_at_solution) {
    EXPECT_GT(largest_difference, 1e-3 * scale);
  } else {
    EXPECT_LE(largest_difference, 1e-12 * scale);
  }
  const Vec a = power_traces(natural.r, n), b = power_traces(basis.r, n);
  for (int k = 0; k < n; ++k) EXPECT_NEAR(a[k], b[k], 1e-10 * std::fabs(a[k])) << "power " << k + 1;
}

INSTANTIATE_TEST_SUITE_P(Dense,
                         HessianOutput,
                         ::testing::Values(HessianCase{"HS71", hs71, true},
                                           HessianCase{"Rosenbrock", rosenbrock, false}),
                         [](const ::testing::TestParamInfo<HessianCase>& info) {
                           return std::string(info.param.name);
                         });

// f = (x - 2)^2 on [-10, 10], NaN (objective and gradient) beyond x = 2.5 when POISONED.
TestProblem one_variable(bool poisoned = false) {
  TestProblem p;
  p.n = 1;
  p.bl = {-10};
  p.bu = {10};
  p.x0 = {0};
  p.f = [poisoned](const Vec& x) { return poisoned && x[0] > 2.5 ? std::nan("") : (x[0] - 2) * (x[0] - 2); };
  p.grad = [poisoned](const Vec& x) { return Vec{poisoned && x[0] > 2.5 ? std::nan("") : 2 * (x[0] - 2)}; };
  return p;
}

// Two disjoint discs: x1^2 + x2^2 <= 1 and (x1 - 3)^2 + x2^2 <= 1.
TestProblem disjoint_discs() {
  TestProblem p;
  p.n = 2;
  p.ncnln = 2;
  p.bl = {-10, -10, -kInf, -kInf};
  p.bu = {10, 10, 1, 1};
  p.x0 = {1.5, 0.5};
  p.f = [](const Vec& x) { return x[0] + x[1]; };
  p.grad = [](const Vec&) { return Vec{1, 1}; };
  p.cons = [](const Vec& x) {
    return Vec{x[0] * x[0] + x[1] * x[1], (x[0] - 3) * (x[0] - 3) + x[1] * x[1]};
  };
  p.jac_row = [](const Vec& x, int k) {
    if (k == 0) return Vec{2 * x[0], 2 * x[1]};
    return Vec{2 * (x[0] - 3), 2 * x[1]};
  };
  return p;
}

// An eigenpair of the tridiagonal matrix A with diagonal 10, 9, ..., -10 and unit
// off-diagonals, as min -d subject to q'q = 1 and d q - A q = 0, -1 <= q <= 1, from d = 1 and
// the uniform unit vector: q'q is 1 only to rounding, and the first QP subproblem is
// infeasible.
constexpr int kEigenOrder = 21;

TestProblem tridiagonal_eigenpair() {
  TestProblem p;
  p.n = kEigenOrder + 1;
  p.ncnln = kEigenOrder + 1;
  p.bl.assign(p.n, -1.0);
  p.bu.assign(p.n, 1.0);
  p.bl[0] = -kInf;
  p.bu[0] = kInf;
  p.bl.push_back(1.0);
  p.bu.push_back(1.0);
  p.bl.resize(p.n + p.ncnln, 0.0);
  p.bu.resize(p.n + p.ncnln, 0.0);
  p.x0.assign(p.n, 1.0 / std::sqrt(static_cast<double>(kEigenOrder)));
  p.x0[0] = 1.0;
  p.f = [](const Vec& x) { return -x[0]; };
  p.grad = [](const Vec& x) {
    Vec g(x.size(), 0.0);
    g[0] = -1.0;
    return g;
  };
  // Row 0 is q'q; row i is d q(i) - (A q)(i), with q(i) = x[i].
  p.cons = [](const Vec& x) {
    Vec c(kEigenOrder + 1, 0.0);
    for (int i = 1; i <= kEigenOrder; ++i) {
      c[0] += x[i] * x[i];
      c[i] = x[0] * x[i] - (11 - i) * x[i];
      if (i > 1) c[i] -= x[i - 1];
      if (i < kEigenOrder) c[i] -= x[i + 1];
    }
    return c;
  };
  p.jac_row = [](const Vec& x, int k) {
    Vec row(x.size(), 0.0);
    if (k == 0) {
      for (int i = 1; i <= kEigenOrder; ++i) row[i] = 2 * x[i];
      return row;
    }
    row[0] = x[k];
    row[k] = x[0] - (11 - k);
    if (k > 1) row[k - 1] = -1.0;
    if (k < kEigenOrder) row[k + 1] = -1.0;
    return row;
  };
  return p;
}

using MajorExits = dense_test::CapturedUnits<kPrintUnit, kErrorUnit>;

TEST_F(MajorExits, InfeasibleNonlinearConstraintsEndWithExitThree) {
  DenseHarness h(disjoint_discs(), {"Print level 1", "Major iterations limit 100"});
  EXPECT_EQ(h.run(-1), 3);
  EXPECT_TRUE(printed(" Exit DNNLPF - No feasible point for the nonlinear constraints."));
  for (double v : h.x) EXPECT_TRUE(std::isfinite(v));
}

TEST_F(MajorExits, RowOnItsBoundToRoundingDoesNotBlockTheStep) {
  DenseHarness h(tridiagonal_eigenpair(), {"Print level 1"});
  ASSERT_NE(h.prob.cons(h.prob.x0)[0], 1.0);  // on its bound to rounding only
  EXPECT_TRUE(converged(h.run(-1)));
  const Vec c = h.prob.cons(h.x);
  EXPECT_NEAR(c[0], 1.0, 1e-7);
  for (int i = 1; i <= kEigenOrder; ++i) EXPECT_NEAR(c[i], 0.0, 1e-7) << i;
}

// min x1 + x2 subject to x1^2 + x2^2 <= -1 from (1, 1): with no penalty yet the merit function
// falls along the first direction without end; the search stops where the row's violation
// grows beyond the QP step.
TEST_F(MajorExits, InfeasibleRowDoesNotSendTheStepAway) {
  TestProblem p = disjoint_discs();
  p.ncnln = 1;
  p.bl = {-kInf, -kInf, -kInf};
  p.bu = {kInf, kInf, -1.0};
  p.x0 = {1.0, 1.0};
  p.cons = [](const Vec& x) { return Vec{x[0] * x[0] + x[1] * x[1]}; };
  p.jac_row = [](const Vec& x, int) { return Vec{2 * x[0], 2 * x[1]}; };
  DenseHarness h(p, {"Print level 0"});
  const int code = h.run(-1);
  EXPECT_TRUE(code == 3 || code == 6) << code;
  double largest = 0.0;
  for (const auto& r : h.log()) {
    for (const double v : r.x) largest = std::max(largest, std::fabs(v));
  }
  EXPECT_LT(largest, 10.0);
}

// With a loose nonlinear feasibility tolerance the point is feasible before the rows hold to
// rounding; the slacks of the rows must not let the search run off from the optimum.
TEST_F(MajorExits, LooseFeasibilityToleranceStillEndsOptimal) {
  for (const char* tolerance : {"1e-4", "1e-5"}) {
    DenseHarness h(hs71(), {"Print level 0", std::string("Nonlinear feasibility ") + tolerance});
    EXPECT_EQ(h.run(-1), 0) << tolerance;
    EXPECT_NEAR(h.objv, 17.0140172891, 1e-4) << tolerance;
    EXPECT_LE(infeasibility(h.prob, h.x), 1e-4);
  }
}

TEST_F(MajorExits, MajorIterationsLimitEndsWithExitFour) {
  DenseHarness h(rosenbrock(), {"Print level 1", "Major iterations limit 2"});
  EXPECT_EQ(h.run(-1), 4);
  EXPECT_EQ(h.niter, 2);
  EXPECT_TRUE(printed(" Exit DNNLPF - Too many major iterations."));
  const std::vector<std::string> errors = error_.lines();
  EXPECT_NE(std::find(errors.begin(), errors.end(), " ** Too many major iterations."), errors.end());
}

TEST_F(MajorExits, LimitOfZeroEndsAfterTheFirstLogLine) {
  DenseHarness h(hs71(), {"Print level 10", "Major iterations limit 0"});
  EXPECT_EQ(h.run(-1), 4);
  EXPECT_EQ(h.niter, 0);
  EXPECT_EQ(h.x, h.prob.x0);
}

TEST_F(MajorExits, TinyDirectionAwayFromTheOptimumEndsWithExitOne) {
  // A warm start whose Hessian is huge makes the first direction negligible.
  DenseHarness h(one_variable(), {"Print level 1", "Warm start"});
  h.r = {1e8};
  EXPECT_EQ(h.run(-1), 1);
  EXPECT_TRUE(printed(" Exit DNNLPF - Optimal solution found, but requested accuracy not achieved."));
}

// 1e300 (x - 0.5)^2 on [-1, 1] from 0: the scale of the objective must not make the start
// point pass for optimal.
TEST_F(MajorExits, HugeObjectiveScaleIsNotOptimalAwayFromTheMinimum) {
  TestProblem p = one_variable();
  p.bl = {-1};
  p.bu = {1};
  p.f = [](const Vec& x) { return 1e300 * (x[0] - 0.5) * (x[0] - 0.5); };
  p.grad = [](const Vec& x) { return Vec{2e300 * (x[0] - 0.5)}; };
  DenseHarness h(p, {"Print level 0"});
  const int code = h.run(-1);
  if (code == 0) {
    EXPECT_NEAR(h.x[0], 0.5, 1e-6);
  }
}

TEST_F(MajorExits, WrongUncheckedGradientEndsWithExitSix) {
  // A gradient of the wrong sign: every direction it gives goes uphill.
  TestProblem wrong = one_variable();
  wrong.grad = [](const Vec& x) { return Vec{-2 * (x[0] - 2)}; };
  DenseHarness h(wrong, {"Print level 1", "Verify level -1"});
  EXPECT_EQ(h.run(-1), 6);
  EXPECT_TRUE(printed(" Exit DNNLPF - Current point cannot be improved upon."));
  EXPECT_EQ(h.x, h.prob.x0);
}

TEST_F(MajorExits, NonFiniteTrialValuesNeverEnterTheStep) {
  for (int level : {3, 0}) {
    DenseHarness h(one_variable(true),
                   {"Print level 0", "Step limit 10", "Derivative level " + std::to_string(level)});
    withhold_for_level(h, level);
    EXPECT_TRUE(converged(h.run(-1))) << level;
    EXPECT_NEAR(h.x[0], 2.0, 1e-5);
    EXPECT_TRUE(std::isfinite(h.objv));
    bool probed_nan_region = false;
    for (const auto& r : h.log()) probed_nan_region = probed_nan_region || r.x[0] > 2.5;
    EXPECT_TRUE(probed_nan_region);  // the first trial step lies in it
  }
}

TEST_F(MajorExits, NonFiniteConstraintValuesNeverEnterTheStep) {
  TestProblem p = one_variable();
  p.x0 = {-1};
  p.ncnln = 1;
  p.bl.push_back(-kInf);
  p.bu.push_back(3.0);
  p.cons = [](const Vec& x) { return Vec{x[0] > 2.5 ? std::nan("") : x[0]}; };
  p.jac_row = [](const Vec&, int) { return Vec{1.0}; };
  DenseHarness h(p, {"Print level 0", "Step limit 10"});
  EXPECT_TRUE(converged(h.run(-1)));
  EXPECT_NEAR(h.x[0], 2.0, 1e-6);
  EXPECT_TRUE(std::isfinite(h.c[0]));
  EXPECT_TRUE(std::isfinite(h.mult[1]));
  bool probed_nan_region = false;
  for (const auto& r : h.log()) probed_nan_region = probed_nan_region || r.x[0] > 2.5;
  EXPECT_TRUE(probed_nan_region);
}

// The first request of a step search and the first difference request after a step.
std::size_t first_trial(const DenseHarness& h) {
  for (std::size_t k = 1; k < h.log().size(); ++k) {
    if (h.log()[k].x != h.log()[0].x) return k;
  }
  return 0;
}

std::size_t first_difference_after_step(const DenseHarness& h) {
  for (std::size_t k = 1; k + 1 < h.log().size(); ++k) {
    if (h.log()[k].code == request::kGradient && h.log()[k + 1].code == request::kObjective) return k + 1;
  }
  return 0;
}

TEST_F(MajorExits, UserStopInsideASearchTrialReturnsItsValue) {
  DenseHarness probe(rosenbrock(), {"Print level 0"});
  probe.run(-1);
  const std::size_t at = first_trial(probe);
  ASSERT_GT(at, 0u);
  DenseHarness h(rosenbrock(), {"Print level 1"});
  h.stop_at = static_cast<int>(at);
  h.stop_value = -7;
  EXPECT_EQ(h.run(-1), -7);
  EXPECT_EQ(h.irevcm, 0);
  EXPECT_EQ(h.x, h.log()[at].x);  // the trial point, not the last accepted one
  EXPECT_NE(h.x, h.prob.x0);
  EXPECT_TRUE(printed(" Exit DNNLPF - User requested termination."));
  EXPECT_EQ(h.log().size(), at + 1);
}

TEST_F(MajorExits, UserStopInsideADifferenceRequestReturnsItsValue) {
  DenseHarness probe(rosenbrock(), {"Print level 0", "Derivative level 0"});
  withhold_for_level(probe, 0);
  probe.run(-1);
  const std::size_t at = first_difference_after_step(probe);
  ASSERT_GT(at, 0u);
  DenseHarness h(rosenbrock(), {"Print level 0", "Derivative level 0"});
  withhold_for_level(h, 0);
  h.stop_at = static_cast<int>(at);
  h.stop_value = -3;
  EXPECT_EQ(h.run(-1), -3);
  EXPECT_EQ(h.log().size(), at + 1);
  EXPECT_EQ(h.x, h.log()[at].x);  // the point of the difference request
}

// The first step lands on the minimum of the quadratic: the step was not small and the next
// direction is tiny, so the solve ends with 1.
TEST_F(MajorExits, ShortLogExitLinesAndSolutionTable) {
  DenseHarness h(one_variable(), {"Print level 10"});
  EXPECT_EQ(h.run(-1), 1);
  const std::vector<std::string> lines = print_.lines();
  const auto at = std::find(lines.begin(), lines.end(), "  Maj  Mnr    Step      Objective Norm Gz Cond Hz");
  ASSERT_NE(at, lines.end());
  ASSERT_NE(at + 1, lines.end());
  // Maj 0: no step yet, f = 4, ||Z'g|| = 4, the identity as Hessian.
  EXPECT_EQ(at[1].substr(0, 5), "    0");
  EXPECT_EQ(at[1].substr(10), " 0.0E+00   4.000000E+00 4.0E+00 1.0E+00");
  const auto exit = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind(" Exit from NP problem after ", 0) == 0;
  });
  ASSERT_NE(exit, lines.end());
  EXPECT_EQ(exit->size(), std::string(" Exit from NP problem after ").size() + 5 + 18);
  EXPECT_EQ(exit->substr(exit->size() - 18), " major iterations,");
  EXPECT_EQ(exit[1].substr(0, 28), std::string(28, ' '));
  EXPECT_EQ(exit[1].substr(33), " minor iterations.");
  EXPECT_TRUE(printed(" Varbl State     Value       Lower Bound   Upper Bound    Lagr Mult   Slack"));
  EXPECT_TRUE(printed(" V   1    FR    2.00000      -10.0000       10.0000           .       8.000"));
  EXPECT_TRUE(printed(" Exit DNNLPF - Optimal solution found, but requested accuracy not achieved."));
  EXPECT_TRUE(printed(" Final objective value =    0.000000"));
}

TEST_F(MajorExits, LongLogHeadingsOnTheMonitoringFile) {
  for (const bool nonlinear : {false, true}) {
    DenseHarness h(nonlinear ? hs71() : rosenbrock(), {"Print level 10", "Monitoring file 91"});
    h.run(-1);
    EXPECT_TRUE(printed(nonlinear ? "  Maj  Mnr    Step Nfun  Merit Function Norm Gz  Violtn   Nz  Bnd  Lin  Nln "
                                    "Penalty  Cond H Cond Hz  Cond T Conv"
                                  : "  Maj  Mnr    Step Nfun       Objective Norm Gz   Nz  Bnd  Lin  Cond H "
                                    "Cond Hz  Cond T Conv"));
  }
}

TEST_F(MajorExits, FullListingOfAnIterationAtLevelTwenty) {
  DenseHarness h(hs71(), {"Print level 30", "Monitoring file 91", "Major iterations limit 1"});
  h.run(-1);
  EXPECT_TRUE(printed(" Major iteration    0 ===================="));
  EXPECT_TRUE(printed(" Major iteration    1 ===================="));
  EXPECT_TRUE(printed(" Values of the constraints and their predicted status"));
  EXPECT_TRUE(printed(" " + std::string(52, '-')));
  EXPECT_TRUE(printed(" Variables"));
  EXPECT_TRUE(printed(" Nonlinear constraints"));
  EXPECT_FALSE(printed(" General linear constraints"));
  EXPECT_TRUE(printed(" Diagonals of  R  ="));
  EXPECT_TRUE(printed(" Diagonals of  T  ="));  // the nonlinear rows are in the working set
  EXPECT_TRUE(printed(" " + std::string(89, '=')));
  // The start point (1, 5, 5, 1): x1's bound in the first working set.
  EXPECT_TRUE(printed("    1.000000E+00   1   5.000000E+00   0   5.000000E+00   0   1.000000E+00   0"));
}

// The merit function at the start of each search is differentiated along (p, dlambda, ds) by
// central differences and compared with the slope the search was given.
TEST(MeritSlope, MatchesItsFiniteDifferenceAtSeveralIterations) {
  namespace iw = dense_words::integer_word;
  namespace rw = dense_words::real_word;
  constexpr int kSearching = 2, kAwaitConstraints = 1;
  DenseHarness h(hs71(), {"Print level 0"});
  h.pause_after = 1;
  h.run(-1);
  int checked = 0;
  bool in_search = false;
  while (h.irevcm != 0 && checked < 4) {
    const bool searching = h.store.i(iw::kMajorState) == kSearching;
    if (searching && !in_search && h.store.i(iw::kSearchStage) == kAwaitConstraints) {
      const auto array = [&](int word) { return &h.work[h.store.i(word) - 1]; };
      const double* x0 = array(dense_array::kPointSaved);
      const double* p = array(dense_array::kCheckDirection);
      const double* l0 = array(dense_array::kMultipliersSaved);
      const double* dl = array(dense_array::kMultiplierStep);
      const double* s0 = array(dense_array::kSlacks);
      const double* ds = array(dense_array::kSlackStep);
      const double* rho = array(dense_array::kPenalties);
      const double theta = h.store.r(rw::kMeritScale);
      const auto merit = [&](double a) {
        Vec x(4);
        for (int j = 0; j < 4; ++j) x[j] = x0[j] + a * p[j];
        const Vec c = h.prob.cons(x);
        double m = h.prob.f(x);
        for (int k = 0; k < 2; ++k) {
          const double r = c[k] - s0[k] - a * ds[k];
          m += -(l0[k] + a * dl[k]) * r + theta / 2 * rho[k] * r * r;
        }
        return m;
      };
      const double step = 1e-6;
      const double fd = (merit(step) - merit(-step)) / (2 * step);
      const double g0 = h.store.r(rw::kSlopeStart);
      EXPECT_NEAR(fd, g0, 1e-5 * (1.0 + std::fabs(g0))) << "search " << checked;
      EXPECT_LT(g0, 0.0);
      EXPECT_NEAR(merit(0.0), h.store.r(rw::kMeritStart), 1e-10 * (1.0 + std::fabs(merit(0.0))));
      ++checked;
    }
    in_search = searching;
    h.pause_after = *h.pause_after + 1;
    h.resume();
  }
  EXPECT_EQ(checked, 4);
}

}  // namespace
}  // namespace zun
