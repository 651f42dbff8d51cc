// Verification of user derivatives: the verdicts, the end classes and the printed tables on
// hand-made user routines with correct and deliberately wrong derivatives, at every Verify
// Level.
#include "library/sparse_sqp/derivative_verification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/machine.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;

constexpr double kSentinel = -111111.0;
constexpr double kError = 1.5;  // added to a deliberately wrong element (RUSR(1) by default)

// Controls of the user routines, in IUSR.
enum Control {
  kWrongJacobian = 0,  // 1-based gCon element returned wrong (0: none)
  kWrongGradient,      // 1-based gradient element returned wrong
  kTrialMode,          // MODE returned by a call with MODE = 0 (0: keep)
  kMissingJacobian,    // 1-based gCon element that confun does not set
  kHiddenTerm,         // 1: c2 also depends on x2, outside the pattern
  kCalls,              // calls so far
  kControls
};

// Rows c1 = x1^2 + x2 x3, c2 = sin(x1) + x3^2 (+ 2 x2^2 with the hidden term) and a linear
// row 3 in columns 1 and 3.  gCon in column order: (1,1) (2,1) (1,2) (1,3) (2,3).
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
  ++iusr[kCalls];
  const double hidden = iusr[kHiddenTerm] != 0 ? 2.0 * x[1] * x[1] : 0.0;
  fcon[0] = x[0] * x[0] + x[1] * x[2];
  fcon[1] = std::sin(x[0]) + x[2] * x[2] + hidden;
  if (mode > 0) {
    const double g[] = {2.0 * x[0], std::cos(x[0]), x[2], x[1], 2.0 * x[2]};
    for (int l = 1; l <= 5; ++l) {
      if (l == iusr[kMissingJacobian]) continue;
      gcon[l - 1] = g[l - 1] + (l == iusr[kWrongJacobian] ? kError : 0.0);
    }
  }
  if (mode == 0 && iusr[kTrialMode] != 0) mode = iusr[kTrialMode];
}

// f = x1^2 + 3 x2^2 + x1 x3 + exp(x3) on the first NONLN variables (NONLN = 1: (x1 - 0.3)^2).
void objfun(int& mode,
            const int& nonln,
            const double* x,
            double& f,
            double* g,
            const int&,
            int* iusr,
            double* rusr) {
  ++iusr[kCalls];
  if (nonln == 1) {
    f = (x[0] - 0.3) * (x[0] - 0.3);
    if (mode > 0) g[0] = 2.0 * (x[0] - 0.3);
  } else {
    f = x[0] * x[0] + 3.0 * x[1] * x[1] + x[0] * x[2] + std::exp(x[2]);
    if (mode > 0) {
      const double gg[] = {2.0 * x[0] + x[2], 6.0 * x[1], x[0] + std::exp(x[2])};
      for (int j = 1; j <= 3; ++j) g[j - 1] = gg[j - 1] + (j == iusr[kWrongGradient] ? rusr[0] : 0.0);
    }
  }
  if (mode == 0 && iusr[kTrialMode] != 0) mode = iusr[kTrialMode];
}

constexpr int kSavedJacobianAt = 1001;

// The workspace and the first evaluation of a run at x = (0.8, 0.7, -0.4).
struct Problem {
  std::vector<int> ha{1, 2, 3, 1, 1, 2, 3};
  std::vector<int> ka{1, 4, 5, 8};
  std::vector<int> iz = std::vector<int>(1500, 0);
  std::vector<double> z = std::vector<double>(1500, 0.0);
  std::vector<int> iusr = std::vector<int>(kControls, 0);
  std::vector<double> rusr{kError};
  std::vector<double> x{0.8, 0.7, -0.4};
  std::vector<double> bl{-10.0, -10.0, -10.0};
  std::vector<double> bu{10.0, 10.0, 10.0};
  std::vector<double> fcon = std::vector<double>(2, 0.0);
  std::vector<double> gcon = std::vector<double>(5, kSentinel);
  std::vector<double> gobj = std::vector<double>(3, kSentinel);
  double fobj = 0.0;
  int stop_code = 0;
  Evaluator ev;

  Problem(int level, int print_unit, int nonln = 3) {
    set_machine_constants(iz.data(), nullptr, z.data());
    i(iw::kPrintUnit) = print_unit;
    i(iw::kMonitoringUnit) = -1;
    i(iw::kMajorPrintLevel) = 1;
    i(iw::kVerifyLevel) = level;
    i(iw::kStartObjectiveCheck) = 1;
    i(iw::kStopObjectiveCheck) = 99999999;
    i(iw::kStartConstraintCheck) = 1;
    i(iw::kStopConstraintCheck) = 99999999;
    i(ra::kSavedJacobian) = kSavedJacobianAt;
    z[rw::kNotSupplied - 1] = kSentinel;
    z[rw::kForwardDifferenceInterval - 1] = std::sqrt(machine_precision());
    ev.user.confun = confun;
    ev.user.objfun = objfun;
    ev.user.iusr = iusr.data();
    ev.user.rusr = rusr.data();
    ev.jac = {3, ha.data(), ka.data()};
    ev.ncnln = 2;
    ev.njnln = 3;
    ev.nonln = nonln;
    ev.ngcon = 5;
    ev.iz = iz.data();
    ev.z = z.data();
    ev.stop_code = &stop_code;
  }
  int& i(int w) { return iz[w - 1]; }
  double* saved() { return &z[kSavedJacobianAt - 1]; }
  DerivativePoint at() { return {x.data(), fcon.data(), gcon.data(), &fobj, gobj.data()}; }
  VariableBounds bounds() const { return {bl.data(), bu.data()}; }

  // The first evaluation as the run makes it: the values, the derivatives, the counts of the
  // supplied elements and the saved Jacobian.
  void evaluate() {
    ASSERT_EQ(ev.constraints(2, 1, x.data(), fcon.data(), gcon.data()), 0);
    ASSERT_EQ(ev.objective(2, 1, x.data(), fobj, gobj.data()), 0);
    std::copy(gcon.begin(), gcon.end(), saved());
    i(ws::kJacobianSupplied) =
        static_cast<int>(std::count_if(gcon.begin(), gcon.end(), [](double g) { return g != kSentinel; }));
    i(ws::kObjGradientSupplied) = ev.nonln;
    iusr[kCalls] = 0;
  }
  int jacobian() { return verify_jacobian(ev, at(), bounds()); }
  int objective() { return verify_objective_gradients(ev, at(), bounds()); }
};

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool has_text(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

const std::string kJacobianOk = " The Jacobian seems to be OK.";
const std::string kObjectiveOk = " The objective gradients seem to be OK.";
const std::string kJacobianTitle =
    " Verification of constraint gradients returned by subroutine confun";
const std::string kObjectiveTitle =
    " Verification of objective gradients returned by subroutine objfun";
const std::string kJacobianAllOk =
    "      5  Jacobian elements in cols      1  through     3  seem to be OK.";
const std::string kObjectiveAllOk =
    "      3  objective gradients out of     1  through     3  seem to be OK.";

// Correct derivatives at each level: which parts run and what they print.
struct LevelCase {
  int level;
  bool jacobian_elements;
  bool objective_elements;
};

class CorrectDerivatives : public ::testing::TestWithParam<LevelCase> {};

TEST_P(CorrectDerivatives, PassAndPrintThePartsOfTheirLevel) {
  const LevelCase c = GetParam();
  sqp_test::UnitCapture out(71);
  Problem p(c.level, out.unit());
  p.evaluate();
  EXPECT_EQ(p.jacobian(), 0);
  EXPECT_EQ(p.objective(), 0);
  EXPECT_EQ(p.x, (std::vector<double>{0.8, 0.7, -0.4}));
  const std::vector<std::string> lines = out.lines();
  EXPECT_TRUE(has_line(lines, kJacobianOk));
  EXPECT_TRUE(has_line(lines, kObjectiveOk));
  EXPECT_FALSE(has_text(lines, "BAD?"));
  EXPECT_EQ(has_line(lines, " Cheap test on confun..."), !c.jacobian_elements);
  EXPECT_EQ(has_line(lines, " Cheap test on objfun..."), !c.objective_elements);
  EXPECT_EQ(has_line(lines, kJacobianTitle), c.jacobian_elements);
  EXPECT_EQ(has_line(lines, kJacobianAllOk), c.jacobian_elements);
  EXPECT_EQ(has_line(lines, kObjectiveTitle), c.objective_elements);
  EXPECT_EQ(has_line(lines, kObjectiveAllOk), c.objective_elements);
  // One trial per direction of the cheap tests, one per column or variable of the checks.
  EXPECT_EQ(p.iusr[kCalls], 1 + 2 + (c.jacobian_elements ? 3 : 0) + (c.objective_elements ? 3 : 0));
}

INSTANTIATE_TEST_SUITE_P(Levels,
                         CorrectDerivatives,
                         ::testing::Values(LevelCase{0, false, false},
                                           LevelCase{1, false, true},
                                           LevelCase{2, true, false},
                                           LevelCase{3, true, true}));

TEST(DerivativeVerification, LevelBelowZeroPrintsNothingAndEvaluatesNothing) {
  sqp_test::UnitCapture out(72);
  Problem p(-1, out.unit());
  p.evaluate();
  p.iusr[kWrongJacobian] = 2;
  p.gcon[1] += kError;
  EXPECT_EQ(p.jacobian(), 0);
  EXPECT_EQ(p.objective(), 0);
  EXPECT_EQ(p.iusr[kCalls], 0);
  EXPECT_TRUE(out.lines().empty());
}

// A wrong Jacobian element at each level: the cheap test fails, the element check still runs
// and marks the element.
struct WrongCase {
  int level;
  int element;  // 1-based gCon position
};

class WrongJacobian : public ::testing::TestWithParam<WrongCase> {};

TEST_P(WrongJacobian, EndsWithTheConstraintGradientClass) {
  const WrongCase c = GetParam();
  sqp_test::UnitCapture out(73);
  Problem p(c.level, out.unit());
  p.iusr[kWrongJacobian] = c.element;
  p.evaluate();
  EXPECT_EQ(p.jacobian(), end_class::kConstraintGradients);
  const std::vector<std::string> lines = out.lines();
  EXPECT_TRUE(has_line(lines, " XXX The Jacobian seems to be incorrect."));
  const long bad = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.size() >= 4 && l.compare(l.size() - 4, 4, "BAD?") == 0;
  });
  const bool elements = c.level >= 2;
  EXPECT_EQ(bad, elements ? 1 : 0);
  EXPECT_EQ(has_line(lines,
                     " XXX There seem to be     1  incorrect Jacobian elements in cols     1  "
                     "through     3."),
            elements);
}

INSTANTIATE_TEST_SUITE_P(Elements,
                         WrongJacobian,
                         ::testing::Values(WrongCase{0, 1},
                                           WrongCase{1, 4},
                                           WrongCase{2, 2},
                                           WrongCase{2, 5},
                                           WrongCase{3, 3}));

class WrongGradient : public ::testing::TestWithParam<WrongCase> {};

// The cheap test catches it; the check ends there.
TEST_P(WrongGradient, EndsWithTheObjectiveGradientClass) {
  const WrongCase c = GetParam();
  sqp_test::UnitCapture out(74);
  Problem p(c.level, out.unit());
  p.iusr[kWrongGradient] = c.element;
  p.evaluate();
  EXPECT_EQ(p.objective(), end_class::kObjectiveGradients);
  const std::vector<std::string> lines = out.lines();
  EXPECT_TRUE(has_line(lines, " XXX The objective gradients seem to be incorrect."));
  EXPECT_TRUE(has_text(lines, " Gradient projected in two directions"));
  EXPECT_TRUE(has_text(lines, " Difference approximations           "));
  EXPECT_FALSE(has_text(lines, "      j       x(j)"));
}

INSTANTIATE_TEST_SUITE_P(Elements,
                         WrongGradient,
                         ::testing::Values(WrongCase{0, 1},
                                           WrongCase{1, 2},
                                           WrongCase{3, 3}));

// With every variable fixed the cheap test cannot move; the element check still marks the
// wrong element, and fails the check when its relative error reaches 1.
struct FixedCase {
  double error;
  int result;
  const char* largest;
};

class FixedVariables : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedVariables, LeaveTheElementCheckToFindAWrongGradient) {
  const FixedCase c = GetParam();
  sqp_test::UnitCapture out(75);
  Problem p(1, out.unit());
  p.bl = p.x;
  p.bu = p.x;
  p.iusr[kWrongGradient] = 2;
  p.rusr[0] = c.error;
  p.evaluate();
  EXPECT_EQ(p.objective(), c.result);
  const std::vector<std::string> lines = out.lines();
  EXPECT_TRUE(has_line(lines,
                       " XXX Cannot find a feasible step - objective gradients not verified."));
  EXPECT_TRUE(has_line(lines,
                       " XXX There seem to be     1  incorrect objective gradients in cols     1"
                       "  through     3."));
  EXPECT_TRUE(has_line(lines, std::string(" The largest relative error was") + c.largest +
                                  "   in column     2."));
}

// g(2) = 4.2: returned as 5.7 (relative error 1.5/6.7) or as -5.8 (10/6.8).
INSTANTIATE_TEST_SUITE_P(Errors,
                         FixedVariables,
                         ::testing::Values(FixedCase{kError, 0, "    2.24E-01"},
                                           FixedCase{-10.0, end_class::kObjectiveGradients,
                                                     "    1.47E+00"}));

// A row that depends on a variable outside the pattern is reported in that column.
TEST(DerivativeVerification, NonzeroOutsideThePatternIsBad) {
  sqp_test::UnitCapture out(76);
  Problem p(2, out.unit());
  p.iusr[kHiddenTerm] = 1;
  p.evaluate();
  EXPECT_EQ(p.jacobian(), end_class::kConstraintGradients);
  const std::vector<std::string> lines = out.lines();
  EXPECT_TRUE(has_text(lines, "         Non-zero not in sparse structure ??        2"));
  EXPECT_TRUE(has_text(lines, " The largest relative error was"));
  EXPECT_TRUE(has_text(lines, "   in row     2,  column     2."));
}

// Regression: an element of the pattern that confun does not set was taken for a nonzero
// outside the pattern.
TEST(DerivativeVerification, MissingElementOfThePatternIsNotReported) {
  sqp_test::UnitCapture out(77);
  Problem p(2, out.unit());
  p.iusr[kMissingJacobian] = 2;
  p.evaluate();
  EXPECT_EQ(p.saved()[1], kSentinel);
  EXPECT_EQ(p.jacobian(), 0);
  const std::vector<std::string> lines = out.lines();
  EXPECT_FALSE(has_text(lines, "Non-zero not in sparse structure"));
  EXPECT_TRUE(has_line(lines,
                       "      4  Jacobian elements in cols      1  through     3  seem to be OK."));
}

// Regression: the saved constants were compared in place of the values confun returned.
TEST(DerivativeVerification, ComparesTheValuesThatConfunReturned) {
  sqp_test::UnitCapture out(78);
  Problem p(3, out.unit());
  p.evaluate();
  p.saved()[3] = 0.0;  // a stale constant for a supplied element
  EXPECT_EQ(p.jacobian(), 0);
  EXPECT_TRUE(has_line(out.lines(), kJacobianAllOk));
}

// Regression: with one nonlinear variable the cheap test compared the gradient with a zero
// difference and failed a correct gradient.
TEST(DerivativeVerification, OneVariableWithACorrectGradientPasses) {
  for (int level : {0, 1}) {
    sqp_test::UnitCapture out(79);
    Problem p(level, out.unit(), 1);
    p.evaluate();
    ASSERT_NE(p.gobj[0], 0.0);
    EXPECT_EQ(p.objective(), 0) << level;
    EXPECT_TRUE(has_line(out.lines(), kObjectiveOk));
  }
}

// A routine that cannot evaluate at a trial point (MODE = -1) or asks to stop (MODE <= -2).
struct StopCase {
  bool jacobian;
  int mode;
  bool message;
};

class TrialStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(TrialStop, EndsTheCheckWithTheUserStopClass) {
  const StopCase c = GetParam();
  sqp_test::UnitCapture out(80);
  Problem p(3, out.unit());
  p.evaluate();
  p.iusr[kTrialMode] = c.mode;
  EXPECT_EQ(c.jacobian ? p.jacobian() : p.objective(), end_class::kUserStop);
  EXPECT_EQ(p.stop_code, c.mode);
  const std::string message = c.jacobian
                                  ? " XXX Constraint functions are undefined during gradient checking."
                                  : " XXX Objective function is undefined during gradient checking.";
  EXPECT_EQ(has_line(out.lines(), message), c.message);
  EXPECT_EQ(p.iusr[kCalls], 1);
}

INSTANTIATE_TEST_SUITE_P(Modes,
                         TrialStop,
                         ::testing::Values(StopCase{true, -1, true},
                                           StopCase{true, -2, false},
                                           StopCase{false, -1, true},
                                           StopCase{false, -3, false}));

TEST(DerivativeVerification, StartColumnAboveStopColumnKeepsOnlyTheCheapTests) {
  sqp_test::UnitCapture out(81);
  Problem p(3, out.unit());
  p.i(iw::kStartObjectiveCheck) = 3;
  p.i(iw::kStopObjectiveCheck) = 2;
  p.i(iw::kStartConstraintCheck) = 4;
  p.evaluate();
  EXPECT_EQ(p.jacobian(), 0);
  EXPECT_EQ(p.objective(), 0);
  const std::vector<std::string> lines = out.lines();
  EXPECT_TRUE(has_line(lines, " Cheap test on confun..."));
  EXPECT_TRUE(has_line(lines, " Cheap test on objfun..."));
  EXPECT_FALSE(has_text(lines, "Verification of"));
}

TEST(DerivativeVerification, NoSuppliedGradientIsNotVerified) {
  sqp_test::UnitCapture out(82);
  Problem p(3, out.unit());
  p.evaluate();
  p.i(ws::kObjGradientSupplied) = 0;
  p.i(ws::kJacobianSupplied) = 0;
  EXPECT_EQ(p.objective(), 0);
  EXPECT_EQ(p.jacobian(), 0);
  EXPECT_EQ(p.iusr[kCalls], 0);
  EXPECT_TRUE(out.lines().empty());
}

// The step that keeps x + h d inside the bounds.
struct StepCase {
  double x, bl, bu, d;
  double d_after;
};

class FeasibleStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(FeasibleStep, KeepsTheTrialPointInsideTheBounds) {
  const StepCase c = GetParam();
  double d = c.d;
  const VariableBounds b{&c.bl, &c.bu};
  constexpr double h = 0.5;
  EXPECT_EQ(max_feasible_step(1, b, &c.x, h, &d), c.d_after != 0.0 ? 1 : 0);
  EXPECT_EQ(d, c.d_after);
  if (d != 0.0) {
    EXPECT_GE(c.x + h * d, c.bl);
    EXPECT_LE(c.x + h * d, c.bu);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         FeasibleStep,
                         ::testing::Values(StepCase{1.0, 1.0, 1.0, 1.0, 0.0},    // fixed
                                           StepCase{0.5, 0.0, 1.0, 0.0, 0.0},    // zero
                                           StepCase{0.5, 0.0, 1.0, 0.5, 0.5},    // inside
                                           StepCase{0.0, 0.0, 1.0, -1.0, 1.0},   // at lower
                                           StepCase{1.0, 0.0, 1.0, 1.0, -1.0},   // at upper
                                           StepCase{0.0, 0.0, 0.2, -1.0, 0.0},   // narrow
                                           StepCase{0.2, 0.0, 0.2, 1.0, 0.0}));  // narrow

}  // namespace
}  // namespace zun
