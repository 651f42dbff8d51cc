// Whole solves through the top level that exercise the major iterations: a square nonlinear
// system under each crash option.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "tests/sparse_sqp/solve_run.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
using run_test::kInf;
using run_test::SolveRun;

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

class SquareSystemCrash : public ::testing::TestWithParam<int> {};

TEST_P(SquareSystemCrash, SolvesToTheKnownSolution) {
  const int k = 3;
  const int m = 40;
  SolveRun r = square_system(k, m);
  r.set(iw::kCrashOption, GetParam());
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

INSTANTIATE_TEST_SUITE_P(CrashOptions, SquareSystemCrash, ::testing::Values(0, 1, 2, 3));

}  // namespace
}  // namespace zun
