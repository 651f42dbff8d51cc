// Whole solves through the top level that exercise the major iterations: a square nonlinear
// system under each crash option, elastic mode entered and left, and a zero QP step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "tests/sparse_sqp/solve_run.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
using run_test::kInf;
using run_test::SolveRun;

constexpr int kLogUnit = 83;

// The square system: k = NJNLN - NCNLN free unknowns x_z and one unknown y_i = x_{k+i} per row,
// row i: 0.1 sin(x_{i mod k}) + 0.1 y_{i-1}^2 + y_i = 1, objective sum (x_z - 2)^2.  Every
// column is a Jacobian column; column k+i holds rows i and i+1.
constexpr double kCoef = 0.1;
constexpr double kTarget = 2.0;

void square_rows(int& mode,
                 const int& ncnln,
                 const int& njnln,
                 const int&,
                 const double* x,
                 double* f,
                 double* g,
                 const int&,
                 int*,
                 double*) {
  const int k = njnln - ncnln;
  if (mode != 1) {
    for (int i = 0; i < ncnln; ++i) {
      f[i] = kCoef * std::sin(x[i % k]) + x[k + i];
      if (i > 0) f[i] += kCoef * x[k + i - 1] * x[k + i - 1];
    }
  }
  if (mode == 0) return;
  int e = 0;
  for (int j = 0; j < k; ++j) {
    for (int i = j; i < ncnln; i += k) g[e++] = kCoef * std::cos(x[j]);
  }
  for (int i = 0; i < ncnln; ++i) {
    g[e++] = 1.0;
    if (i + 1 < ncnln) g[e++] = 2.0 * kCoef * x[k + i];
  }
}

void square_objective(int& mode,
                      const int& nonln,
                      const double* x,
                      double& f,
                      double* g,
                      const int&,
                      int*,
                      double*) {
  f = 0.0;
  for (int j = 0; j < nonln; ++j) {
    f += (x[j] - kTarget) * (x[j] - kTarget);
    if (mode != 0) g[j] = 2.0 * (x[j] - kTarget);
  }
}

SolveRun square_system(int k, int m) {
  const int n = k + m;
  std::vector<std::vector<double>> rows(m, std::vector<double>(n, 0.0));
  for (int i = 0; i < m; ++i) {
    rows[i][i % k] = 1.0;
    rows[i][k + i] = 1.0;
    if (i > 0) rows[i][k + i - 1] = 1.0;
  }
  std::vector<double> bl(n + m, -5.0), bu(n + m, 5.0);
  for (int i = 0; i < m; ++i) bl[n + i] = bu[n + i] = 1.0;
  SolveRun r(rows, bl, bu, std::vector<double>(n, 1.0));
  r.confun = square_rows;
  r.objfun = square_objective;
  r.ncnln = m;
  r.njnln = n;
  r.nonln = k;
  return r;
}

// (crash option, rows m): m = 390 gives N + M = 783, beyond the least integer workspace of 500.
class SquareSystemCrash : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(SquareSystemCrash, SolvesToTheKnownSolution) {
  const int k = 3;
  const auto [crash, m] = GetParam();
  SolveRun r = square_system(k, m);
  r.set(iw::kCrashOption, crash);
  ASSERT_EQ(r.solve(), sparse_inform::kOptimal);
  double previous = 0.0;
  for (int i = 0; i < m; ++i) {
    const double y = 1.0 - kCoef * std::sin(kTarget) - kCoef * previous * previous;
    EXPECT_NEAR(r.xv[k + i], y, 1e-6) << "row " << i + 1;
    previous = y;
  }
  for (int j = 0; j < k; ++j) EXPECT_NEAR(r.xv[j], kTarget, 1e-6);
  EXPECT_NEAR(r.objv, 0.0, 1e-10);
}

INSTANTIATE_TEST_SUITE_P(CrashOptions,
                         SquareSystemCrash,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3),
                                            ::testing::Values(40, 390)));

// min (x1 - 2)^2 + (x2 - 1)^2 on k (x1^2 + x2^2) = k, the nearest point of the unit circle
// (2, 1)/sqrt(5).  IUSR(1) holds k in thousandths.
void scaled_circle(int& mode,
                   const int&,
                   const int&,
                   const int&,
                   const double* x,
                   double* f,
                   double* g,
                   const int&,
                   int* iusr,
                   double*) {
  const double k = iusr[0] / 1000.0;
  if (mode != 1) f[0] = k * (x[0] * x[0] + x[1] * x[1]);
  if (mode != 0) {
    g[0] = 2.0 * k * x[0];
    g[1] = 2.0 * k * x[1];
  }
}

// (x1 - 2)^2 + (x2 - 1)^2, negated when IUSR(2) = -1 (to be maximised).
void to_two_one(int& mode, const int&, const double* x, double& f, double* g, const int&,
                int* iusr, double*) {
  const double s = iusr[1] < 0 ? -1.0 : 1.0;
  f = s * ((x[0] - 2.0) * (x[0] - 2.0) + (x[1] - 1.0) * (x[1] - 1.0));
  if (mode != 0) {
    g[0] = s * 2.0 * (x[0] - 2.0);
    g[1] = s * 2.0 * (x[1] - 1.0);
  }
}

struct ElasticCase {
  const char* name;
  int k_thousandths;
  double x1, x2;       // the start
  const char* reason;  // the log line that starts elastic mode
  int sign;            // -1: the negated objective is maximised
  const char* boost;   // a log line of a weight increase, or "" when none is needed
};

class ElasticMode : public ::testing::TestWithParam<ElasticCase> {};

TEST_P(ElasticMode, EnteredAndLeftEndsOptimal) {
  const ElasticCase& t = GetParam();
  const double k = t.k_thousandths / 1000.0;
  SolveRun r({{1.0, 1.0}}, {-5.0, -5.0, k}, {5.0, 5.0, k}, {t.x1, t.x2});
  r.confun = scaled_circle;
  r.objfun = to_two_one;
  r.ncnln = 1;
  r.njnln = 2;
  r.nonln = 2;
  r.iusr[0] = t.k_thousandths;
  r.iusr[1] = t.sign;
  r.set(iw::kObjectiveKind, t.sign);
  sqp_test::UnitCapture log(kLogUnit);
  r.set(iw::kPrintUnit, kLogUnit);
  r.set(iw::kMajorPrintLevel, 5);
  ASSERT_EQ(r.solve(), sparse_inform::kOptimal);
  const std::vector<std::string> lines = log.lines();
  const auto has = [&](const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(has(t.reason));
  EXPECT_TRUE(has("Elastic mode started with weight ="));
  EXPECT_TRUE(has(t.boost));
  const double root5 = std::sqrt(5.0);
  EXPECT_NEAR(r.xv[0], 2.0 / root5, 1e-6);
  EXPECT_NEAR(r.xv[1], 1.0 / root5, 1e-6);
  EXPECT_NEAR(r.objv, t.sign * (root5 - 1.0) * (root5 - 1.0), 1e-6);
  EXPECT_EQ(r.ninfs, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Starts,
    ElasticMode,
    ::testing::Values(
        // At the origin the row's gradient vanishes: its linearisation cannot be met.
        ElasticCase{"infeasible_first_qp", 1000, 0.0, 0.0, "Infeasible subproblem.", 1, ""},
        // k = 0.001: the row's multiplier, about -1000, is far beyond the first weight, which
        // must grow before the elastic optimum is feasible.
        ElasticCase{"large_multipliers", 1, 1.0, 0.0, "Large multipliers.", 1,
                    "Elastic weight increased to   3.828E+03."},
        ElasticCase{"large_multipliers_maximised", 1, 1.0, 0.0, "Large multipliers.", -1,
                    "Elastic weight increased to   3.828E+03."}),
    [](const auto& info) { return std::string(info.param.name); });

// A start whose reduced gradient (2e-10) is below the QP's optimality tolerance but above the
// major one: the QP step is zero, so the curvature along it is zero and the Hessian is reset
// before the search, and the run ends "requested accuracy could not be achieved" at the start.
TEST(HessianReset, ZeroStepBelowTheMajorToleranceEndsWithoutTheRequestedAccuracy) {
  const double start = 2.0 + 1e-10;
  SolveRun r({{1.0, 1.0}}, {-5.0, -5.0, -kInf}, {5.0, 5.0, kInf}, {start, 1.0});
  r.objfun = to_two_one;
  r.nonln = 2;
  r.store.real[sparse_option::real_word::kMajorOptimalityTol - 1] = 1e-11;
  EXPECT_EQ(r.solve(), sparse_inform::kAccuracyNotAchieved);
  EXPECT_EQ(r.xv[0], start);
  EXPECT_EQ(r.xv[1], 1.0);
}

}  // namespace
}  // namespace zun
