// The BFGS update of the Hessian factor: the secant condition and positive definiteness over
// seeded random factors, scaled and unscaled; a skipped update and its repair by the
// nonlinear constraints.
#include "library/dense_sqp/bfgs_update.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace zun {
namespace {

using Vec = std::vector<double>;

struct Factor {
  int n;
  Vec r;  // n x n by columns
  ColumnMajorView<double> view() { return ColumnMajorView<double>(r.data(), n); }
};

Factor random_factor(int n, std::mt19937& gen) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Factor f{n, Vec(static_cast<std::size_t>(n) * n, 0.0)};
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) f.view()(i, j) = i == j ? 1.0 + std::fabs(u(gen)) : 0.3 * u(gen);
  }
  return f;
}

// H v = R'R v.
Vec hessian_times(Factor& f, const Vec& v) {
  const int n = f.n;
  Vec rv(n, 0.0), out(n, 0.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) rv[i - 1] += f.view()(i, j) * v[j - 1];
  }
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) out[j - 1] += f.view()(i, j) * rv[i - 1];
  }
  return out;
}

double dot(const Vec& a, const Vec& b) {
  double s = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
  return s;
}

void expect_triangular_and_definite(Factor& f) {
  for (int j = 1; j <= f.n; ++j) {
    EXPECT_GT(std::fabs(f.view()(j, j)), 1e-12);
    for (int i = j + 1; i <= f.n; ++i) EXPECT_EQ(f.view()(i, j), 0.0);
  }
}

struct SecantCase {
  double alpha;
  double curvature;  // y'p = curvature * ||R p||^2
};

class BfgsSecant : public ::testing::TestWithParam<SecantCase> {};

TEST_P(BfgsSecant, UpdatedFactorSatisfiesTheSecantConditionAndStaysDefinite) {
  std::mt19937 gen(20260);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 1 + trial % 9;
    Factor f = random_factor(n, gen);
    Vec p(n), y(n);
    for (double& v : p) v = u(gen);
    const Vec hp = hessian_times(f, p);
    // y = c H p + a perturbation orthogonal to p: y'p = c p'Hp.
    Vec w(n);
    for (double& v : w) v = u(gen);
    const double pp = dot(p, p), wp = dot(w, p);
    for (int i = 0; i < n; ++i) y[i] = GetParam().curvature * hp[i] + 0.2 * (w[i] - wp / pp * p[i]);
    const double alpha = GetParam().alpha;
    Vec work(2 * n);
    const Vec y_given = y;
    const BfgsOutcome out = update_hessian_factor(n, f.view(), alpha, p.data(), y.data(), {}, work.data());
    ASSERT_TRUE(out.updated);
    EXPECT_FALSE(out.flag_m);
    // H+ (alpha p) = y.
    Vec s(n);
    for (int i = 0; i < n; ++i) s[i] = alpha * p[i];
    const Vec hs = hessian_times(f, s);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(hs[i], y_given[i], 1e-9 * (1.0 + std::fabs(y_given[i])));
    expect_triangular_and_definite(f);
    double frob = 0.0;
    for (double v : f.r) frob += v * v;
    EXPECT_NEAR(out.frobenius, std::sqrt(frob), 1e-12 * std::sqrt(frob));
  }
}

INSTANTIATE_TEST_SUITE_P(Dense, BfgsSecant,
                         ::testing::Values(SecantCase{1.0, 1.0}, SecantCase{1.0, 5.0},
                                           SecantCase{0.3, 1.0},
                                           // alpha 0.1 q >= d: the scaled update
                                           SecantCase{3.0, 0.2}, SecantCase{2.0, 0.15}));

TEST(BfgsSkip, NegativeCurvatureWithoutConstraintsLeavesRAndFlagsM) {
  std::mt19937 gen(7);
  Factor f = random_factor(4, gen);
  const Vec before = f.r;
  Vec p = {1.0, -0.5, 0.25, 2.0};
  Vec y = hessian_times(f, p);
  for (double& v : y) v = -v;  // d < 0
  Vec work(8);
  const BfgsOutcome out = update_hessian_factor(4, f.view(), 1.0, p.data(), y.data(), {}, work.data());
  EXPECT_FALSE(out.updated);
  EXPECT_TRUE(out.flag_m);
  EXPECT_EQ(f.r, before);
}

TEST(BfgsSkip, ConstraintTermsRepairTheCurvatureAndClearTheFlag) {
  // One constraint c(x) = x1^2 whose residual grows along p: its terms add curvature.
  std::mt19937 gen(11);
  Factor f = random_factor(2, gen);
  const Vec p = {1.0, 0.0};
  const double alpha = 1.0;
  const Vec x_old = {0.5, 0.0}, x_new = {1.5, 0.0};
  Vec y = {-0.1, 0.0};  // slightly negative curvature of the Lagrangian
  const double r_old = x_old[0] * x_old[0], r_new = x_new[0] * x_new[0];
  const double jp_old = 2 * x_old[0], jp_new = 2 * x_new[0];
  const Vec jac_old = {2 * x_old[0], 0.0}, jac_new = {2 * x_new[0], 0.0};
  CurvatureRepair c;
  c.ncnln = 1;
  c.r_old = &r_old;
  c.r_new = &r_new;
  c.jp_old = &jp_old;
  c.jp_new = &jp_new;
  c.jac_old = ColumnMajorView<const double>(jac_old.data(), 1);
  c.jac_new = ColumnMajorView<const double>(jac_new.data(), 1);
  c.weight_limit = 1e16;
  Vec work(4);
  const BfgsOutcome out = update_hessian_factor(2, f.view(), alpha, p.data(), y.data(), c, work.data());
  EXPECT_TRUE(out.updated);
  EXPECT_TRUE(out.repaired);
  EXPECT_FALSE(out.flag_m);
  // The secant condition holds for the augmented y.
  const Vec hs = hessian_times(f, p);
  EXPECT_NEAR(hs[0], y[0], 1e-10);
  EXPECT_NEAR(hs[1], y[1], 1e-10);
  expect_triangular_and_definite(f);
}

}  // namespace
}  // namespace zun
