// Exit codes and exit messages of a sparse run.
#include "library/sparse_sqp/exit_messages.h"

#include <cmath>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;

constexpr int kPrintRecordLength = 120;
constexpr int kErrorRecordLength = 80;

enum class ValueLine { kNone, kObjective, kInfeasibilities };

struct ExitChoice {
  int code;
  std::string_view text;  // empty for the internal error
  ValueLine value = ValueLine::kNone;
  bool converged_class = false;  // end class 0: the reduced-gradient warning may follow
};

constexpr std::string_view kUndefinedText =
    "Constraint and objective values could not be calculated.";
constexpr std::string_view kUserStopText = "User requested termination.";
constexpr std::string_view kInternalPrint[] = {
    " ** An internal error has occurred in SPNLPF. Check the routine call and",
    "    any array sizes. If the call is correct please consult ZUN for assistance."};
constexpr std::string_view kInternalError[] = {
    " ** An internal error has occurred in this routine. Check the routine call and",
    "    any array sizes. If the call is correct please consult ZUN for assistance."};
constexpr std::string_view kReducedGradientWarning =
    " XXX WARNING - Reduced gradient is large, solution is not really optimal.";

ExitChoice choose_converged(const ExitSituation& s) {
  if (s.nonlinear_infeasible != 0) {
    return {sparse_inform::kInfeasible, "Infeasible problem, nonlinear infeasibilities minimized.",
            ValueLine::kInfeasibilities, true};
  }
  if (s.feasible_point_problem) {
    return {sparse_inform::kOptimal, "Feasible point found.", ValueLine::kNone, true};
  }
  return {sparse_inform::kOptimal, "Optimal solution found.", ValueLine::kObjective, true};
}

ExitChoice choose_limit(const ExitSituation& s, int major_limit) {
  constexpr int code = sparse_inform::kIterationLimit;
  if (s.major_iterations >= major_limit) return {code, "Major Iteration Limit exceeded."};
  if (s.minor_iterations >= s.minor_iteration_limit) {
    return {code, "Minor Iteration Limit exceeded."};
  }
  // Also when no count reached its limit: the total count is the widest of the three.
  return {code, "Iteration Limit exceeded."};
}

ExitChoice choose_exit(const ExitSituation& s, int end, int major_limit) {
  namespace ec = end_class;
  namespace si = sparse_inform;
  if (s.stop_code == -1) return {-1, kUndefinedText};
  if (s.stop_code < -1) return {s.stop_code, kUserStopText};
  switch (end) {
    case ec::kFunctionsUndefined:
      return {si::kFunctionsUndefined, kUndefinedText};
    case ec::kConverged:
      return choose_converged(s);
    case ec::kInfeasible:
      return {si::kInfeasible,
              s.nonlinear_infeasible_kind ? "No feasible point for the nonlinear constraints."
                                          : "No feasible point for the linear constraints.",
              ValueLine::kInfeasibilities};
    case ec::kUnboundedOrViolation:
      if (std::fabs(s.objective_reached) > s.unbounded_objective / 10.0 || s.unbounded) {
        return {si::kUnbounded, "The problem is unbounded (or badly scaled)."};
      }
      return {si::kViolationLimit, "Violation Limit exceeded. The problem may be unbounded."};
    case ec::kLimitReached:
      return choose_limit(s, major_limit);
    case ec::kAccuracyNotAchieved:
      return {si::kAccuracyNotAchieved,
              "Feasible solution, but requested accuracy could not be achieved.",
              ValueLine::kObjective};
    case ec::kSuperbasicsLimit:
      return {si::kSuperbasicsLimit, "Superbasics Limit is too small."};
    case ec::kObjectiveGradients:
      return {si::kObjectiveGradients,
              "Subroutine objfun appears to be giving incorrect gradients."};
    case ec::kConstraintGradients:
      return {si::kConstraintGradients,
              "Subroutine confun appears to be giving incorrect gradients."};
    case ec::kCannotImprove:
      return {si::kCannotImprove, "Current point cannot be improved upon."};
    case ec::kLinearNumericalError:
      return {si::kLinearNumericalError,
              "Numerical error in trying to satisfy the linear constraints."};
    case ec::kIntegerWorkspaceForFactors:
      return {si::kIntegerWorkspaceForFactors,
              "Not enough integer workspace for the basis factors."};
    case ec::kRealWorkspaceForFactors:
      return {si::kRealWorkspaceForFactors, "Not enough real workspace for the basis factors."};
    case ec::kSingularBasis:
      return {si::kSingularBasis, "The basis is singular after 15 factorization attempts."};
    default:
      return {end, {}};  // end class 6 and every class above 13: internal error
  }
}

void write_record(int unit, const std::string& record) {
  write_line(unit, record.data(), static_cast<int>(record.size()));
}

void write_blank_and(int unit, std::string_view text, int width) {
  write_record(unit, platform::Record(width).str());
  write_record(unit, platform::Record(width).text(text).str());
}

void print_value_line(int unit, const ExitChoice& choice, const ExitSituation& s) {
  if (choice.value == ValueLine::kObjective) {
    write_blank_and(unit,
                    " Final objective value = " + platform::format_g(s.final_objective, 16, 7),
                    kPrintRecordLength);
  } else if (choice.value == ValueLine::kInfeasibilities) {
    write_blank_and(unit,
                    " Sum of infeasibilities = " + platform::format_g(s.sum_infeasibilities, 16, 7),
                    kPrintRecordLength);
  }
}

void print_on_print_unit(int unit,
                         const ExitChoice& choice,
                         const ExitSituation& s,
                         std::string_view routine) {
  if (choice.text.empty()) {
    write_record(unit, platform::Record(kPrintRecordLength).str());
    for (std::string_view line : kInternalPrint) {
      write_record(unit, platform::Record(kPrintRecordLength).text(line).str());
    }
    return;
  }
  std::string line = " Exit " + std::string(routine) + " - " + std::string(choice.text);
  write_blank_and(unit, line, kPrintRecordLength);
  print_value_line(unit, choice, s);
  if (choice.converged_class && s.reduced_gradient > 0.1) {
    write_blank_and(unit, kReducedGradientWarning, kPrintRecordLength);
  }
}

void print_on_error_unit(int unit, const ExitChoice& choice) {
  if (choice.text.empty()) {
    for (std::string_view line : kInternalError) {
      write_record(unit, platform::Record(kErrorRecordLength).text(line).str());
    }
    return;
  }
  write_blank_and(unit, " ** " + std::string(choice.text), kErrorRecordLength);
}

}  // namespace

void print_exit_message(const ExitSituation& situation,
                        int& ifail,
                        const int* iz,
                        int ifail_on_entry,
                        std::string_view routine,
                        int& monitoring_status) {
  Words<const int> w(iz);
  const ExitChoice choice = choose_exit(situation, ifail, w(iw::kMajorIterationLimit));
  ifail = choice.code;
  if (w(iw::kMajorPrintLevel) > 0) {
    print_on_print_unit(w(iw::kPrintUnit), choice, situation, routine);
  }
  if (failure_mode_prints(ifail_on_entry) && ifail != 0) {
    print_on_error_unit(w(iw::kErrorUnit), choice);
  }
  monitoring_status = ifail < 3 ? ifail : ifail - 1;
}

}  // namespace zun
