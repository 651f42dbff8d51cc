// Whole solves through the top level: generated LPs with a known optimum (minimised and
// maximised) and their multipliers, unbounded, infeasible and limited LPs, a nonlinear problem
// whose gradients are withheld at each derivative level, a user stop, the Feasible Exit pass, a
// maximisation with nonlinear rows, evaluation errors at trial points and at the point that the
// Hessian update evaluates again, an objective unbounded through its linear part and an
// iteration limit in the equality phase.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "tests/sparse_sqp/solve_run.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
using run_test::kInf;
using run_test::SolveRun;

// An LP min c'x (the last row holds c and is the objective row) whose optimum x*, with
// multipliers pi* and reduced costs z*, is built to satisfy the optimality conditions: each
// variable and row is at its lower bound (multiplier >= 0), at its upper bound (<= 0), fixed, or
// strictly inside (multiplier 0), and c = A'pi* + z*.
struct GeneratedLp {
  SolveRun run;
  double f_star;
};

GeneratedLp generated_lp(std::mt19937& gen, double sign) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int m = 2 + static_cast<int>(gen() % 10);
  const int n = m + 1 + static_cast<int>(gen() % 12);
  std::vector<std::vector<double>> rows(m + 1, std::vector<double>(n, 0.0));
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < n; ++j) {
      if (u(gen) < 0.4) rows[i][j] = std::round(u(gen) * 16.0 - 8.0);
    }
  }
  std::vector<double> bl(n + m + 1), bu(n + m + 1), x(n), start(n), pi(m, 0.0), z(n, 0.0);
  const auto side = [&](double value, double& lo, double& up, double& mult) {
    const double r = u(gen);
    const double width = 1.0 + 4.0 * u(gen);
    if (r < 0.3) {
      lo = value, up = value + width, mult = 0.1 + u(gen);
    } else if (r < 0.6) {
      lo = value - width, up = value, mult = -(0.1 + u(gen));
    } else if (r < 0.7) {
      lo = up = value, mult = u(gen) - 0.5;
    } else {
      lo = value - width, up = value + width, mult = 0.0;
    }
  };
  for (int j = 0; j < n; ++j) {
    x[j] = std::round(u(gen) * 8.0 - 4.0);
    side(x[j], bl[j], bu[j], z[j]);
    start[j] = 0.5 * (bl[j] + bu[j]);
  }
  for (int i = 0; i < m; ++i) {
    double ax = 0.0;
    for (int j = 0; j < n; ++j) ax += rows[i][j] * x[j];
    side(ax, bl[n + i], bu[n + i], pi[i]);
  }
  double f = 0.0;
  for (int j = 0; j < n; ++j) {
    double c = z[j];
    for (int i = 0; i < m; ++i) c += rows[i][j] * pi[i];
    rows[m][j] = sign * c;  // maximise -c'x for sign -1
    f += c * x[j];
  }
  bl[n + m] = -kInf;
  bu[n + m] = kInf;
  GeneratedLp lp{SolveRun(rows, bl, bu, start), sign * f};
  lp.run.iobj = m + 1;
  if (sign < 0) lp.run.set(iw::kObjectiveKind, -1);
  return lp;
}

class GeneratedLps : public ::testing::TestWithParam<double> {};

TEST_P(GeneratedLps, ReachTheirOptimumWithComplementaryMultipliers) {
  const double sign = GetParam();
  std::mt19937 gen(sign > 0 ? 2024 : 4048);
  for (int trial = 0; trial < 30; ++trial) {
    GeneratedLp lp = generated_lp(gen, sign);
    SolveRun& r = lp.run;
    ASSERT_EQ(r.solve(), sparse_inform::kOptimal) << "trial " << trial;
    EXPECT_NEAR(r.objv, lp.f_star, 1e-9 * (1.0 + std::fabs(lp.f_star))) << "trial " << trial;
    r.expect_linear_feasible();
    // MULT is dual feasible and complementary: in the minimisation's terms, nonnegative at a
    // lower bound, nonpositive at an upper bound, zero strictly inside (the objective row aside).
    for (int k = 0; k < r.n + r.m - 1; ++k) {
      const double value = r.xv[k];
      const double mult = sign * r.mult[k];
      const double tol = 1e-7 * (1.0 + std::fabs(value));
      const bool at_lower = value <= r.bl[k] + tol;
      const bool at_upper = value >= r.bu[k] - tol;
      const double mtol = 1e-8 * (1.0 + std::fabs(mult));
      if (at_lower && !at_upper) {
        EXPECT_GE(mult, -mtol) << "trial " << trial << " entry " << k;
      } else if (at_upper && !at_lower) {
        EXPECT_LE(mult, mtol) << "trial " << trial << " entry " << k;
      } else if (!at_lower && !at_upper) {
        EXPECT_NEAR(mult, 0.0, mtol) << "trial " << trial << " entry " << k;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(MinimiseAndMaximise, GeneratedLps, ::testing::Values(1.0, -1.0));

struct LpOutcome {
  const char* name;
  std::vector<std::vector<double>> rows;
  std::vector<double> bl, bu, start;
  int iobj;
  int iteration_limit;
  int code;
};

class LpOutcomes : public ::testing::TestWithParam<LpOutcome> {};

std::string outcome_name(const ::testing::TestParamInfo<LpOutcome>& info) {
  std::string name = info.param.name;
  for (char& ch : name) ch = ch == ' ' ? '_' : ch;
  return name;
}

TEST_P(LpOutcomes, EndWithTheirCode) {
  const LpOutcome& c = GetParam();
  SolveRun r(c.rows, c.bl, c.bu, c.start);
  r.iobj = c.iobj;
  if (c.iteration_limit > 0) r.set(iw::kIterationLimit, c.iteration_limit);
  EXPECT_EQ(r.solve(), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    LpOutcomes,
    ::testing::Values(
        // x1 + x2 >= 3 and x1 + x2 <= 1.
        LpOutcome{"infeasible", {{1.0, 1.0}, {1.0, 1.0}, {1.0, 2.0}}, {0, 0, 3, -kInf, -kInf},
                  {10, 10, kInf, 1, kInf}, {0.5, 0.5}, 3, 0, sparse_inform::kInfeasible},
        // A staircase that needs several pivots, stopped after one iteration.
        LpOutcome{"iteration limit",
                  {{1, 1, 0, 0, 0}, {0, 1, 1, 0, 0}, {0, 0, 1, 1, 0}, {0, 0, 0, 1, 1},
                   {-1, -2, -3, -4, -5}},
                  {0, 0, 0, 0, 0, -kInf, -kInf, -kInf, -kInf, -kInf},
                  {4, 4, 4, 4, 4, 3, 3, 3, 3, kInf},
                  {0, 0, 0, 0, 0},
                  5,
                  1,
                  sparse_inform::kIterationLimit}),
    outcome_name);

// Unbounded LPs: a superbasic variable moves along a ray that no bound blocks, and the run
// reports it rather than taking a unit step along it and running to a limit.
class UnboundedLps : public LpOutcomes {};

TEST_P(UnboundedLps, EndWithTwo) {
  const LpOutcome& c = GetParam();
  SolveRun r(c.rows, c.bl, c.bu, c.start);
  r.iobj = c.iobj;
  EXPECT_EQ(r.solve(), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Rays,
    UnboundedLps,
    ::testing::Values(
        // min -x1 - x2 with x1 - x2 in [-1, 1] and x1, x2 >= 0: unbounded along (1, 1).
        LpOutcome{"unbounded", {{1.0, -1.0}, {-1.0, -1.0}}, {0, 0, -1, -kInf},
                  {kInf, kInf, 1, kInf}, {0, 0}, 2, 0, sparse_inform::kUnbounded},
        // min -x1 with x1 + x2 <= 5, x1 >= 0, x2 free: unbounded along (1, -1).
        LpOutcome{"unbounded ray", {{1.0, 1.0}, {-1.0, 0.0}}, {0, -kInf, -kInf, -kInf},
                  {kInf, kInf, 5, kInf}, {0, 0}, 2, 0, sparse_inform::kUnbounded}),
    outcome_name);

// min (x1 - 1)^2 + (x2 - 2)^2 + x1 x2 on x1^2 + x2^2 <= 3 with x1 + x2 + x3 = 1, x3 in [0, 4].
// IUSR(1) withholds derivatives: bit 1 the objective gradient, bit 2 the Jacobian; bit 3
// negates the objective (for a maximisation); IUSR(2) is a MODE to return at the first call (0
// for none).
void circle_with_gaps(int& mode,
                      const int&,
                      const int&,
                      const int&,
                      const double* x,
                      double* f,
                      double* g,
                      const int&,
                      int* iusr,
                      double*) {
  if (mode != 1) f[0] = x[0] * x[0] + x[1] * x[1];
  if (mode != 0 && (iusr[0] & 2) == 0) {
    g[0] = 2 * x[0];
    g[1] = 2 * x[1];
  }
  if (iusr[1] != 0) mode = iusr[1];
}

void objective_with_gaps(int& mode,
                         const int&,
                         const double* x,
                         double& f,
                         double* g,
                         const int&,
                         int* iusr,
                         double*) {
  const double s = (iusr[0] & 4) != 0 ? -1.0 : 1.0;
  if (mode != 1) f = s * ((x[0] - 1) * (x[0] - 1) + (x[1] - 2) * (x[1] - 2) + x[0] * x[1]);
  if (mode != 0 && (iusr[0] & 1) == 0) {
    g[0] = s * (2 * (x[0] - 1) + x[1]);
    g[1] = s * (2 * (x[1] - 2) + x[0]);
  }
}

SolveRun nonlinear_problem(int withheld, int level) {
  SolveRun r({{1.0, 1.0, 0.0}, {1.0, 1.0, 1.0}}, {-5, -5, 0, -kInf, 1}, {5, 5, 4, 3, 1},
             {0.5, -0.5, 0});
  r.confun = circle_with_gaps;
  r.objfun = objective_with_gaps;
  r.ncnln = 1;
  r.njnln = 2;
  r.nonln = 2;
  r.iusr[0] = withheld;
  r.set(iw::kDerivativeLevel, level);
  return r;
}

TEST(DerivativeLevels, WithheldGradientsReachTheSameOptimumByDifferences) {
  SolveRun exact = nonlinear_problem(0, 3);
  ASSERT_EQ(exact.solve(), sparse_inform::kOptimal);
  // Level 3 told, 2 objective gradients withheld, 1 Jacobian withheld, 0 both.
  for (const auto& [withheld, level] : {std::pair{1, 2}, std::pair{2, 1}, std::pair{3, 0}}) {
    SolveRun r = nonlinear_problem(withheld, level);
    EXPECT_EQ(r.solve(), sparse_inform::kOptimal) << "level " << level;
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(r.xv[j], exact.xv[j], 1e-5) << "level " << level;
    EXPECT_NEAR(r.objv, exact.objv, 1e-5) << "level " << level;
  }
}

TEST(UserStop, ReturnsTheRoutinesMode) {
  for (int mode : {-2, -7}) {
    SolveRun r = nonlinear_problem(0, 3);
    r.iusr[1] = mode;
    EXPECT_EQ(r.solve(), mode);
  }
}

// A run whose Feasible Exit makes a second pass on the feasible-point problem after a first
// pass that ended at its major iteration limit, against a run without it.
struct FeasibleExitCase {
  int feasible_exit;
  int code;
  const char* exit_text;
};

class FeasibleExit : public ::testing::TestWithParam<FeasibleExitCase> {};

TEST_P(FeasibleExit, FindsAFeasiblePointAfterALimit) {
  const FeasibleExitCase& c = GetParam();
  sqp_test::UnitCapture print(82);
  SolveRun r = nonlinear_problem(0, 3);
  r.xv = {3, -4, 0, 0, 0};
  r.set(iw::kPrintUnit, print.unit());
  r.set(iw::kMajorPrintLevel, 10);
  r.set(iw::kFeasibleExit, c.feasible_exit);
  r.set(iw::kMajorIterationLimit, 1);
  EXPECT_EQ(r.solve(), c.code);
  const std::vector<std::string> lines = print.lines();
  const auto has = [&](const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
  };
  EXPECT_EQ(has(std::string(" Exit SPNLPF - ") + c.exit_text), 1);
  EXPECT_EQ(has(" Itn      5 -- Making the nonlinear rows feasible.") +
                has(" Exit from FP problem after     1 major iterations,"),
            c.feasible_exit == 1 ? 2 : 0);
  if (c.code == 0) {
    r.expect_linear_feasible();
    EXPECT_LE(r.xv[0] * r.xv[0] + r.xv[1] * r.xv[1], 3.0 + run_test::kFeasibilityTol);
  }
}

INSTANTIATE_TEST_SUITE_P(OnAndOff,
                         FeasibleExit,
                         ::testing::Values(FeasibleExitCase{1, sparse_inform::kOptimal,
                                                            "Feasible point found."},
                                           FeasibleExitCase{0, sparse_inform::kIterationLimit,
                                                            "Major Iteration Limit exceeded."}));

// Maximising -f reaches the point of minimising f, with the objective and every multiplier of
// the opposite sign; the nonlinear row and the linear equality are both active there.
TEST(Maximisation, WithNonlinearRowsMirrorsTheNegatedProblem) {
  SolveRun minimise = nonlinear_problem(0, 3);
  SolveRun maximise = nonlinear_problem(4, 3);
  maximise.set(iw::kObjectiveKind, -1);
  for (SolveRun* r : {&minimise, &maximise}) {
    r->bu[3] = 0.5;
    ASSERT_EQ(r->solve(), sparse_inform::kOptimal);
  }
  EXPECT_NEAR(minimise.xv[0] * minimise.xv[0] + minimise.xv[1] * minimise.xv[1], 0.5, 1e-8);
  EXPECT_GT(std::fabs(minimise.mult[3]), 1e-3);
  EXPECT_NEAR(maximise.objv, -minimise.objv, 1e-8);
  for (int k = 0; k < 5; ++k) {
    EXPECT_NEAR(maximise.xv[k], minimise.xv[k], 1e-7) << "entry " << k;
    EXPECT_NEAR(maximise.mult[k], -minimise.mult[k], 1e-6) << "entry " << k;
  }
}

// min x^4 - log x from x = 2 (one free linear row beside it): the first trial step lands at
// x < 0, where the objective returns MODE = -1.  IUSR(1) says what follows: 0 the run goes on
// from the restarted search; 1 every later call fails too, so the re-evaluation at the start of
// the search fails; 2 the derivatives at the point that the search accepted fail.
void quartic_log(
    int& mode, const int&, const double* x, double& f, double* g, const int&, int* iusr, double*) {
  const bool failed_before = iusr[1] != 0;
  if (x[0] <= 0.0) iusr[1] = 1;
  if (x[0] <= 0.0 || (failed_before && (iusr[0] == 1 || (iusr[0] == 2 && mode == 1)))) {
    mode = -1;
    return;
  }
  f = std::pow(x[0], 4) - std::log(x[0]);
  if (mode != 0) g[0] = 4 * std::pow(x[0], 3) - 1 / x[0];
}

void no_constraints(int&,
                    const int&,
                    const int&,
                    const int&,
                    const double*,
                    double*,
                    double*,
                    const int&,
                    int*,
                    double*) {}

struct UndefinedCase {
  const char* name;
  int kind;  // IUSR(1) of quartic_log
  int code;
  int exit_lines;  // " Exit from NP problem" lines
};

class UndefinedAtATrial : public ::testing::TestWithParam<UndefinedCase> {};

TEST_P(UndefinedAtATrial, FailsOnlyWhereTheRunEnds) {
  const UndefinedCase& c = GetParam();
  sqp_test::UnitCapture print(83);
  SolveRun r({{1.0}}, {-kInf, -kInf}, {kInf, kInf}, {2.0});
  r.confun = no_constraints;
  r.objfun = quartic_log;
  r.nonln = 1;
  r.iusr[0] = c.kind;
  r.set(iw::kPrintUnit, print.unit());
  r.set(iw::kMajorPrintLevel, 10);
  if (c.kind == 2) r.set(iw::kDerivativeLinesearch, 0);
  EXPECT_EQ(r.solve(), c.code);
  const std::vector<std::string> lines = print.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), " Itn      1 -- Restart linesearch."), 1);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) {
                            return l.rfind(" Exit from NP problem after", 0) == 0;
                          }),
            c.exit_lines);
  if (c.code == sparse_inform::kOptimal) {
    EXPECT_NEAR(r.xv[0], std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(r.objv, 0.5965735903, 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    UndefinedAtATrial,
    ::testing::Values(UndefinedCase{"recovered", 0, sparse_inform::kOptimal, 1},
                      UndefinedCase{"undefined_at_the_start_too", 1, -1, 0},
                      UndefinedCase{"undefined_derivatives_after_the_search", 2, -1, 1}),
    [](const ::testing::TestParamInfo<UndefinedCase>& info) { return info.param.name; });

// min x1 + x2 subject to x1^2 + x2^2 <= 2 from (1.2, 0.1), inside the circle: the first QP
// leaves the row inactive, so the first step's pair has no curvature (a linear objective and a
// zero multiplier) and the update evaluates the functions again on the way to the QP's feasible
// point, here the start itself.  The objective returns MODE = -1 there, once: RUSR(1) counts
// its calls with derivatives at the start.
void linear_at_start_once(
    int& mode, const int&, const double* x, double& f, double* g, const int&, int*, double* rusr) {
  if (mode == 2 && x[0] == 1.2 && x[1] == 0.1 && ++rusr[0] == 2.0) {
    mode = -1;
    return;
  }
  f = x[0] + x[1];
  if (mode != 0) g[0] = g[1] = 1.0;
}

// A failure there that stayed recorded would end the converged run with -1.
TEST(UndefinedAtTheUpdatesReevaluation, IsForgottenAndTheRunConverges) {
  SolveRun r({{1.0, 1.0}}, {-kInf, -kInf, -kInf}, {kInf, kInf, 2.0}, {1.2, 0.1});
  r.ncnln = 1;
  r.njnln = r.nonln = 2;
  r.objfun = linear_at_start_once;
  r.confun = run_test::circle;
  EXPECT_EQ(r.solve(), sparse_inform::kOptimal);
  EXPECT_GE(r.rusr[0], 2.0);  // the failure happened
  EXPECT_NEAR(r.xv[0], -1.0, 1e-7);
  EXPECT_NEAR(r.xv[1], -1.0, 1e-7);
  EXPECT_NEAR(r.objv, -2.0, 1e-9);
}

// A nonlinear row whose value is NaN everywhere, the start included (MODE left 0), beside the
// objective of quartic_log: the QP step carries the NaN into the row's slack, and the trials
// meet undefined points at long steps and NaN merit values at short ones.  Each restart of the
// search shortens its largest step, and the run ends away from any solution.
void nan_row(int& mode,
             const int&,
             const int&,
             const int&,
             const double*,
             double* f,
             double* g,
             const int&,
             int*,
             double*) {
  if (mode != 1) f[0] = std::numeric_limits<double>::quiet_NaN();
  if (mode != 0) g[0] = 1.0;
}

TEST(NotANumber, InARowEndsTheRunUnsolved) {
  for (int derivative_search : {1, 0}) {
    SolveRun r({{1.0}}, {-kInf, -kInf}, {10.0, kInf}, {2.0});
    r.confun = nan_row;
    r.objfun = quartic_log;
    r.ncnln = 1;
    r.njnln = 1;
    r.nonln = 1;
    r.set(iw::kDerivativeLinesearch, derivative_search);
    EXPECT_EQ(r.solve(), sparse_inform::kCannotImprove) << derivative_search;
    EXPECT_EQ(r.xv[0], 2.0) << derivative_search;
  }
}

// min exp(-x) - y with -x + y <= 1, x and y free: unbounded below through the linear part of
// the objective while the nonlinear part tends to 0.
void decaying(
    int& mode, const int&, const double* x, double& f, double* g, const int&, int*, double*) {
  f = std::exp(-x[0]);
  if (mode != 0) g[0] = -f;
}

// Its last steps break the linear row (A x - s of order 1e16, rounding in p = xQP - x times a
// step far above 1).  With Feasible Exit the feasible-point pass stops at once at that point,
// which must not be reported feasible.
TEST(Unbounded, ThroughTheLinearObjectiveIsReportedUnbounded) {
  for (const auto& [feasible_exit, code] : {std::pair{0, sparse_inform::kUnbounded},
                                            std::pair{1, sparse_inform::kLinearNumericalError}}) {
    SolveRun r({{-1.0, 1.0}, {0.0, -1.0}}, {-kInf, -kInf, -kInf, -kInf}, {kInf, kInf, 1, kInf},
               {0, 0});
    r.confun = no_constraints;
    r.objfun = decaying;
    r.nonln = 1;
    r.iobj = 2;
    r.set(iw::kFeasibleExit, feasible_exit);
    EXPECT_EQ(r.solve(), code) << "Feasible Exit " << feasible_exit;
    EXPECT_LT(r.objv, -1e14);
  }
}

// A feasible system of 12 linear equalities whose Phase 1A needs more than a few iterations:
// stopped by the iteration limit, the run reports the limit, not an infeasible problem.
TEST(LinearPhases, IterationLimitInPhaseOneAIsALimit) {
  constexpr int m = 12, n = 16;
  std::vector<std::vector<double>> rows(m, std::vector<double>(n, 0.0));
  std::vector<double> bl(n + m, 0.0), bu(n + m, 4.0);
  for (int i = 0; i < m; ++i) {
    double ax = 0.0;  // at x = 1
    for (int j = 0; j < n; ++j) ax += rows[i][j] = 1 + (i * 7 + j * 3) % 5;
    bl[n + i] = bu[n + i] = ax;
  }
  for (const auto& [limit, code] :
       {std::pair{1, sparse_inform::kIterationLimit}, std::pair{3, sparse_inform::kIterationLimit},
        std::pair{1000, sparse_inform::kOptimal}}) {
    SolveRun r(rows, bl, bu, std::vector<double>(n, 0.0));
    r.set(iw::kIterationLimit, limit);
    EXPECT_EQ(r.solve(), code) << "limit " << limit;
    if (code == sparse_inform::kOptimal) r.expect_linear_feasible();
  }
}

}  // namespace
}  // namespace zun
