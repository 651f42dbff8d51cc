// Exit codes and exit messages: every end class and stop code with its texts on the print and
// error units, the failure modes that print, and the monitoring status.
#include "library/sparse_sqp/exit_messages.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
constexpr int kPrintUnit = 78;
constexpr int kErrorUnit = 79;

struct ExitCase {
  const char* name;
  int end_class;
  std::function<void(ExitSituation&)> change;
  int code;
  std::vector<std::string> print;  // after the blank record
  std::vector<std::string> error;  // after the blank record ("" = nothing)
  int monitoring_status;
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

ExitSituation base_situation() {
  ExitSituation s;
  s.unbounded_objective = 1e15;
  s.final_objective = 1.5;
  s.sum_infeasibilities = 2.25;
  s.major_iterations = 10;
  s.minor_iterations = 10;
  s.minor_iteration_limit = 500;
  s.iterations = 10;
  s.iteration_limit = 10000;
  return s;
}

std::vector<int> workspace(int print_level) {
  std::vector<int> iz(600, 0);
  iz[iw::kPrintUnit - 1] = kPrintUnit;
  iz[iw::kErrorUnit - 1] = kErrorUnit;
  iz[iw::kMajorPrintLevel - 1] = print_level;
  iz[iw::kMajorIterationLimit - 1] = 1000;
  return iz;
}

class ExitMessageTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitMessageTest, CodeTextsAndMonitoringStatus) {
  const ExitCase& c = GetParam();
  sqp_test::UnitCapture print(kPrintUnit);
  sqp_test::UnitCapture error(kErrorUnit);
  ExitSituation s = base_situation();
  c.change(s);
  std::vector<int> iz = workspace(1);
  int ifail = c.end_class;
  int status = -99;
  print_exit_message(s, ifail, iz.data(), -1, "SPNLPF", status);
  EXPECT_EQ(ifail, c.code);
  EXPECT_EQ(status, c.monitoring_status);
  EXPECT_EQ(print.lines(), c.print);
  EXPECT_EQ(error.lines(), c.error);
}

void none(ExitSituation&) {}

const std::vector<std::string> kInternalPrint = {
    " ", " ** An internal error has occurred in SPNLPF. Check the routine call and",
    "    any array sizes. If the call is correct please consult ZUN for assistance."};
const std::vector<std::string> kInternalError = {
    " ** An internal error has occurred in this routine. Check the routine call and",
    "    any array sizes. If the call is correct please consult ZUN for assistance."};

std::vector<std::string> exit_lines(const std::string& text) {
  return {" ", " Exit SPNLPF - " + text};
}
std::vector<std::string> error_lines(const std::string& text) { return {" ", " ** " + text}; }
std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const std::vector<std::string> kObjectiveLine = {" ", " Final objective value =     1.500000"};
const std::vector<std::string> kInfeasLine = {" ", " Sum of infeasibilities =     2.250000"};
const std::vector<std::string> kWarning = {
    " ", " XXX WARNING - Reduced gradient is large, solution is not really optimal."};

INSTANTIATE_TEST_SUITE_P(
    Classes,
    ExitMessageTest,
    ::testing::Values(
        ExitCase{"Optimal",
                 0,
                 none,
                 0,
                 plus(exit_lines("Optimal solution found."), kObjectiveLine),
                 {},
                 0},
        ExitCase{"OptimalLargeReducedGradient",
                 0,
                 [](ExitSituation& s) { s.reduced_gradient = 0.2; },
                 0,
                 plus(plus(exit_lines("Optimal solution found."), kObjectiveLine), kWarning),
                 {},
                 0},
        ExitCase{"FeasiblePoint",
                 0,
                 [](ExitSituation& s) { s.feasible_point_problem = true; },
                 0,
                 exit_lines("Feasible point found."),
                 {},
                 0},
        ExitCase{"NonlinearInfeasibilitiesMinimized", 0,
                 [](ExitSituation& s) {
                   s.nonlinear_infeasible = 1;
                   s.feasible_point_problem = true;
                 },
                 1,
                 plus(exit_lines("Infeasible problem, nonlinear infeasibilities minimized."),
                      kInfeasLine),
                 error_lines("Infeasible problem, nonlinear infeasibilities minimized."), 1},
        ExitCase{"LinearInfeasible", 1, none, 1,
                 plus(exit_lines("No feasible point for the linear constraints."), kInfeasLine),
                 error_lines("No feasible point for the linear constraints."), 1},
        ExitCase{"NonlinearInfeasible", 1,
                 [](ExitSituation& s) { s.nonlinear_infeasible_kind = true; }, 1,
                 plus(exit_lines("No feasible point for the nonlinear constraints."), kInfeasLine),
                 error_lines("No feasible point for the nonlinear constraints."), 1},
        ExitCase{"UnboundedObjective", 2, [](ExitSituation& s) { s.objective_reached = -2e14; }, 2,
                 exit_lines("The problem is unbounded (or badly scaled)."),
                 error_lines("The problem is unbounded (or badly scaled)."), 2},
        ExitCase{"UnboundedFlag", 2, [](ExitSituation& s) { s.unbounded = true; }, 2,
                 exit_lines("The problem is unbounded (or badly scaled)."),
                 error_lines("The problem is unbounded (or badly scaled)."), 2},
        ExitCase{"ExactlyATenthIsViolationLimit", 2,
                 [](ExitSituation& s) { s.objective_reached = 1e14; }, 3,
                 exit_lines("Violation Limit exceeded. The problem may be unbounded."),
                 error_lines("Violation Limit exceeded. The problem may be unbounded."), 2},
        ExitCase{"MajorLimit", 3, [](ExitSituation& s) { s.major_iterations = 1000; }, 4,
                 exit_lines("Major Iteration Limit exceeded."),
                 error_lines("Major Iteration Limit exceeded."), 3},
        ExitCase{"MinorLimit", 3, [](ExitSituation& s) { s.minor_iterations = 500; }, 4,
                 exit_lines("Minor Iteration Limit exceeded."),
                 error_lines("Minor Iteration Limit exceeded."), 3},
        ExitCase{"IterationLimit", 3, [](ExitSituation& s) { s.iterations = 10000; }, 4,
                 exit_lines("Iteration Limit exceeded."), error_lines("Iteration Limit exceeded."),
                 3},
        ExitCase{
            "AccuracyNotAchieved", 4, none, 5,
            plus(exit_lines("Feasible solution, but requested accuracy could not be achieved."),
                 kObjectiveLine),
            error_lines("Feasible solution, but requested accuracy could not be achieved."), 4},
        ExitCase{"SuperbasicsLimit", 5, none, 6, exit_lines("Superbasics Limit is too small."),
                 error_lines("Superbasics Limit is too small."), 5},
        ExitCase{"ObjectiveGradients", 7, none, 8,
                 exit_lines("Subroutine objfun appears to be giving incorrect gradients."),
                 error_lines("Subroutine objfun appears to be giving incorrect gradients."), 7},
        ExitCase{"ConstraintGradients", 8, none, 9,
                 exit_lines("Subroutine confun appears to be giving incorrect gradients."),
                 error_lines("Subroutine confun appears to be giving incorrect gradients."), 8},
        ExitCase{"CannotImprove", 9, none, 10, exit_lines("Current point cannot be improved upon."),
                 error_lines("Current point cannot be improved upon."), 9},
        ExitCase{"LinearNumericalError", 10, none, 11,
                 exit_lines("Numerical error in trying to satisfy the linear constraints."),
                 error_lines("Numerical error in trying to satisfy the linear constraints."), 10},
        ExitCase{"IntegerFactorWorkspace", 11, none, 12,
                 exit_lines("Not enough integer workspace for the basis factors."),
                 error_lines("Not enough integer workspace for the basis factors."), 11},
        ExitCase{"RealFactorWorkspace", 12, none, 13,
                 exit_lines("Not enough real workspace for the basis factors."),
                 error_lines("Not enough real workspace for the basis factors."), 12},
        ExitCase{"SingularBasis", 13, none, 14,
                 exit_lines("The basis is singular after 15 factorization attempts."),
                 error_lines("The basis is singular after 15 factorization attempts."), 13},
        ExitCase{"ClassSixIsInternal", 6, none, 6, kInternalPrint, kInternalError, 5},
        ExitCase{"StagesUnavailableIsInternal", end_class::kStagesUnavailable, none, 17,
                 kInternalPrint, kInternalError, 16},
        ExitCase{"FunctionsUndefinedClass", -1, none, -1,
                 exit_lines("Constraint and objective values could not be calculated."),
                 error_lines("Constraint and objective values could not be calculated."), -1},
        ExitCase{"StopCodeMinusOneBeatsTheClass", 0, [](ExitSituation& s) { s.stop_code = -1; }, -1,
                 exit_lines("Constraint and objective values could not be calculated."),
                 error_lines("Constraint and objective values could not be calculated."), -1},
        ExitCase{"UserStop", 9, [](ExitSituation& s) { s.stop_code = -5; }, -5,
                 exit_lines("User requested termination."),
                 error_lines("User requested termination."), -5}));

TEST(ExitMessages, PrintLevelZeroStillWritesTheErrorUnit) {
  sqp_test::UnitCapture print(kPrintUnit);
  sqp_test::UnitCapture error(kErrorUnit);
  std::vector<int> iz = workspace(0);
  int ifail = end_class::kCannotImprove;
  int status = 0;
  print_exit_message(base_situation(), ifail, iz.data(), 0, "SPNLPF", status);
  EXPECT_EQ(ifail, 10);
  EXPECT_TRUE(print.lines().empty());
  EXPECT_EQ(error.lines(), error_lines("Current point cannot be improved upon."));
}

TEST(ExitMessages, OnlyFailureModesZeroMinusOneAndMinusThirteenUseTheErrorUnit) {
  for (int mode : {0, -1, -13, 1, 10, 11, -2}) {
    sqp_test::UnitCapture error(kErrorUnit);
    std::vector<int> iz = workspace(0);
    int ifail = end_class::kSuperbasicsLimit;
    int status = 0;
    print_exit_message(base_situation(), ifail, iz.data(), mode, "SPNLPF", status);
    EXPECT_EQ(error.lines().empty(), !(mode == 0 || mode == -1 || mode == -13)) << mode;
  }
}

}  // namespace
}  // namespace zun
