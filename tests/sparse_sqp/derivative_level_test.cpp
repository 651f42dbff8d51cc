// The derivative level and the missing derivatives: counts of supplied elements, the lowered
// level and its message, and estimates by forward and central differences against analytic
// derivatives, with the function values kept.
#include "library/sparse_sqp/derivative_level.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;

// c1 = x1^2 + x2, c2 = x1 x2 (rows 1, 2; column 1 rows 1, 2; column 2 rows 1, 2, 3);
// f = x1^2 + 3 x2^2 + x1 x2.  IUSR: [0] Jacobian elements supplied (0..4), [1] gradient
// elements supplied (0..2), [2] MODE to return at the next call (0: keep).
void confun(int& mode,
            const int&,
            const int&,
            const int&,
            const double* x,
            double* fcon,
            double* gcon,
            const int&,
            int* iusr,
            double*) {
  if (mode != 1) {
    fcon[0] = x[0] * x[0] + x[1];
    fcon[1] = x[0] * x[1];
  }
  const double g[] = {2.0 * x[0], x[1], 1.0, x[0]};
  if (mode > 0) {
    for (int k = 0; k < iusr[0]; ++k) gcon[k] = g[k];
  }
  if (iusr[2] != 0) mode = iusr[2];
}

void objfun(int& mode,
            const int&,
            const double* x,
            double& f,
            double* g,
            const int&,
            int* iusr,
            double*) {
  if (mode != 1) f = x[0] * x[0] + 3.0 * x[1] * x[1] + x[0] * x[1];
  const double gg[] = {2.0 * x[0] + x[1], 6.0 * x[1] + x[0]};
  if (mode > 0) {
    for (int k = 0; k < iusr[1]; ++k) g[k] = gg[k];
  }
  if (iusr[2] != 0) mode = iusr[2];
}

struct Problem {
  std::vector<int> ha{1, 2, 1, 2, 3};
  std::vector<int> ka{1, 3, 6};
  std::vector<int> iz = std::vector<int>(1500, 0);
  std::vector<double> z = std::vector<double>(1500, 0.0);
  std::vector<int> iusr{4, 2, 0};
  std::vector<double> x{1.5, -0.5, 0.0};
  std::vector<double> fcon = std::vector<double>(2, 0.0);
  std::vector<double> gcon = std::vector<double>(4, 0.0);
  std::vector<double> gobj = std::vector<double>(2, 0.0);
  double fobj = 0.0;
  int stop_code = 0;
  Evaluator ev;

  Problem(int level, int jacobian_supplied, int gradient_supplied, int print_unit = -1) {
    iusr[0] = jacobian_supplied;
    iusr[1] = gradient_supplied;
    iz[iw::kPrintUnit - 1] = print_unit;
    iz[iw::kMonitoringUnit - 1] = -1;
    iz[iw::kMajorPrintLevel - 1] = 1;
    iz[iw::kDerivativeLevel - 1] = level;
    iz[182 - 1] = 1;
    iz[ra::kSavedJacobian - 1] = 1001;
    iz[299 - 1] = 1101;
    z[rw::kNotSupplied - 1] = -111111.0;
    z[rw::kForwardDifferenceInterval - 1] = 1.5e-8;
    z[rw::kCentralDifferenceInterval - 1] = 6.0e-6;
    ev.user.confun = confun;
    ev.user.objfun = objfun;
    ev.user.iusr = iusr.data();
    ev.jac = {2, ha.data(), ka.data()};
    ev.ncnln = 2;
    ev.njnln = 2;
    ev.nonln = 2;
    ev.ngcon = 4;
    ev.iz = iz.data();
    ev.z = z.data();
    ev.stop_code = &stop_code;
  }
  DerivativePoint at() { return {x.data(), fcon.data(), gcon.data(), &fobj, gobj.data()}; }
  int& i(int w) { return iz[w - 1]; }
};

struct LevelCase {
  int level;
  int jacobian_supplied;
  int gradient_supplied;
  int level_after;
  int jacobian_missing;  // word 183
  int gradient_missing;  // word 184
};

class DerivativeLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(DerivativeLevelTest, CountsAndEstimatesMatchTheAnalyticDerivatives) {
  const LevelCase c = GetParam();
  for (int type : {1, 2}) {
    Problem p(c.level, c.jacobian_supplied, c.gradient_supplied);
    p.i(182) = type;
    ASSERT_EQ(check_derivative_level(p.ev, p.at(), 0), 0);
    EXPECT_EQ(p.i(iw::kDerivativeLevel), c.level_after);
    EXPECT_EQ(p.i(183), c.jacobian_missing);
    EXPECT_EQ(p.i(184), c.gradient_missing);
    EXPECT_EQ(p.i(ws::kJacobianSupplied), c.jacobian_supplied);
    EXPECT_EQ(p.i(ws::kObjGradientSupplied), c.gradient_supplied);
    const int calls_before = p.i(ws::kConfunCalls) + p.i(ws::kObjfunCalls);
    ASSERT_EQ(fill_missing_derivatives(p.ev, p.at()), 0);
    const double x1 = p.x[0];
    const double x2 = p.x[1];
    // The values at x are kept.
    EXPECT_DOUBLE_EQ(p.fcon[0], x1 * x1 + x2);
    EXPECT_DOUBLE_EQ(p.fcon[1], x1 * x2);
    EXPECT_DOUBLE_EQ(p.fobj, x1 * x1 + 3.0 * x2 * x2 + x1 * x2);
    EXPECT_EQ(p.x, (std::vector<double>{1.5, -0.5, 0.0}));
    const double tol = type == 1 ? 1e-6 : 1e-9;
    const double gc[] = {2.0 * x1, x2, 1.0, x1};
    const double go[] = {2.0 * x1 + x2, 6.0 * x2 + x1};
    if (c.jacobian_missing > 0 || c.jacobian_supplied == 4) {
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(p.gcon[k], gc[k], tol) << k;
    }
    for (int k = 0; k < 2; ++k) EXPECT_NEAR(p.gobj[k], go[k], tol) << k;
    // One call per column with a missing element (two for central differences).
    const int columns = c.jacobian_missing == 0 ? 0 : (c.jacobian_supplied >= 2 ? 1 : 2);
    const int grads = c.gradient_missing;
    EXPECT_EQ(p.i(ws::kConfunCalls) + p.i(ws::kObjfunCalls) - calls_before,
              type * (columns + grads));
    EXPECT_EQ(p.i(190 + type), type * columns);
    EXPECT_EQ(p.i(195 + type), type * grads);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels,
                         DerivativeLevelTest,
                         ::testing::Values(LevelCase{3, 4, 2, 3, 0, 0},
                                           LevelCase{3, 4, 1, 2, 0, 1},
                                           LevelCase{1, 0, 2, 1, 4, 0},
                                           LevelCase{1, 3, 0, 0, 1, 2},
                                           LevelCase{0, 0, 0, 0, 4, 2},
                                           LevelCase{0, 2, 0, 0, 2, 2}));

TEST(DerivativeLevel, LoweredLevelIsReported) {
  sqp_test::UnitCapture out(61);
  Problem p(3, 4, 1, out.unit());
  ASSERT_EQ(check_derivative_level(p.ev, p.at(), 0), 0);
  const std::vector<std::string> expected{
      " ",
      " confun  sets       4   out of       4   constraint gradients.",
      " objfun  sets       1   out of       2   objective  gradients.",
      " ",
      " XXX Some objective derivatives are missing.",
      " ",
      " Itn      0 -- Derivative level reduced from              3 to              2."};
  EXPECT_EQ(out.lines(), expected);
}

TEST(DerivativeLevel, MissingConstraintGradientsAtLevelTwoAreTakenAsConstant) {
  sqp_test::UnitCapture out(62);
  Problem p(2, 3, 2, out.unit());
  for (int k = 0; k < 4; ++k) p.z[1000 + k] = 40.0 + k;
  ASSERT_EQ(check_derivative_level(p.ev, p.at(), 0), 0);
  EXPECT_EQ(p.i(183), 0);
  EXPECT_EQ(p.i(iw::kDerivativeLevel), 2);
  EXPECT_DOUBLE_EQ(p.gcon[3], 43.0);  // the saved element, kept by the repeat call
  const auto lines = out.lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[3], " XXX Some constraint derivatives are missing (assumed constant).");
}

TEST(DerivativeLevel, StopAtTheFirstEvaluation) {
  Problem p(3, 4, 2);
  p.iusr[2] = -3;
  EXPECT_EQ(check_derivative_level(p.ev, p.at(), 0), 6);
  EXPECT_EQ(p.stop_code, -3);
  EXPECT_EQ(p.i(ws::kJacobianSupplied), 0);
}

TEST(DerivativeLevel, FailedDifferenceEvaluationEndsTheEstimateAndKeepsTheValues) {
  Problem p(0, 0, 0);
  p.i(182) = 2;
  ASSERT_EQ(check_derivative_level(p.ev, p.at(), 0), 0);
  const std::vector<double> fcon = p.fcon;
  p.iusr[2] = -1;
  EXPECT_EQ(fill_missing_derivatives(p.ev, p.at()), -1);
  EXPECT_EQ(p.fcon, fcon);
  EXPECT_EQ(p.x, (std::vector<double>{1.5, -0.5, 0.0}));
  EXPECT_EQ(p.i(192), 1);
}

}  // namespace
}  // namespace zun
