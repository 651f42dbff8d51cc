// The solve body: the stages of one sparse run in their fixed order, then the end values,
// the final report, the last call of the user routines and the exit message.
#include "library/sparse_sqp/solve_driver.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/exit_messages.h"
#include "library/sparse_sqp/final_report.h"
#include "library/sparse_sqp/jacobian_auxiliary.h"
#include "library/sparse_sqp/linear_phases.h"
#include "library/sparse_sqp/matrix_statistics.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/run_state.h"
#include "library/sparse_sqp/user_routines.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
namespace rword = run_word;

constexpr int kRecordLength = 120;
constexpr int kStatisticsLength = 78;
constexpr int kListingLevel = 20;
constexpr int kMinPartialSection = 10;
constexpr int kMaxPriceDivisor = 10;
constexpr int kDetailedMinorLevel = 10;
constexpr int kCrashAllSlacks = 0;
constexpr int kEitherBound = 3;
constexpr int kKnownGradientLevel = 3;
constexpr int kFinalCallOffset = 2;

bool listing_condition(const RunState& st) {
  return st.option(iw::kMonitoringUnit) >= 0 && st.option(iw::kMajorPrintLevel) >= kListingLevel;
}

void count_rows(RunState& st) {
  st.nlin = st.m - st.ncnln;
  st.nlin_eq = 0;
  for (int k = st.n + st.ncnln; k < st.nb; ++k) {
    if (st.bl[k] == st.bu[k]) ++st.nlin_eq;
  }
  st.nlin_ineq = st.nlin - st.nlin_eq;
}

void starting_values(RunState& st) {
  double* pi = st.pi();
  if (st.ncnln >= 1) {
    Words<double> w(st.z);
    std::copy(pi, pi + st.ncnln, w.at(st.option(sparse_ws::real_array::kNonlinearRowMultipliers)));
  }
  std::fill(pi + st.ncnln, pi + st.m, 0.0);
  std::fill(st.scales(), st.scales() + st.nb, 1.0);
  Words<double>(st.z)(rword::kObjectiveScale) = 1.0;
  st.option_word(rword::kStartFlag) = 1;
  st.option_word(rword::kFactorizations) = 0;
  st.option_word(rword::kAllNonlinear) = st.n <= st.nnl ? 1 : 0;
  for (int w = rword::kFirstCounter; w <= rword::kLastCounter; ++w) {
    if (w != rword::kUnusedCounter) st.option_word(w) = 0;
  }
  *st.p.ninfs = 0;
  *st.p.objv = 0.0;
  st.feasible_point = st.option(iw::kObjectiveKind) == 0;
  const char start = st.p.start;
  st.crash_request = !(start == 'W' || start == 'w');
  if (st.crash_request) *st.p.nsb = 0;
}

void adjust_partial_price(RunState& st) {
  int& word = st.option_word(iw::kPartialPrice);
  const int p = word;
  if (std::max(st.n / p, st.m / p) >= kMinPartialSection) return;
  const int big = std::max(st.m, st.n);
  const int q = big / std::min(big, kMaxPriceDivisor);
  word = q;
  if (q == p) return;
  const std::string text = "Partial price reduced from " + platform::format_i(p, 16) + " to " +
                           platform::format_i(q, 16) + ".";
  message_both_units(st.iz, st.option(iw::kMajorPrintLevel), 0, text, true);
}

void adjust_scale_option(RunState& st) {
  int& option = st.option_word(iw::kScaleOption);
  if (option != 1 || st.nnl != st.n) return;
  option = 0;
  const std::string text = "Scale option reduced from " + platform::format_i(1, 16) + " to " +
                           platform::format_i(0, 16) + ".";
  message_both_units(st.iz, st.option(iw::kMajorPrintLevel), 0, text, true);
}

void print_price_listing(const RunState& st) {
  if (!listing_condition(st)) return;
  const int unit = st.option(iw::kMonitoringUnit);
  const int price = st.option(iw::kPartialPrice);
  write_record(unit, platform::Record(kRecordLength));
  write_record(unit, platform::Record(kRecordLength)
                         .text(" Scale option")
                         .i(st.option(iw::kScaleOption), 3)
                         .text(",      Partial price")
                         .i(price, 8));
  write_record(
      unit,
      platform::Record(kRecordLength).text(" Partial price section size ( A)").i(st.n / price, 12));
  write_record(
      unit,
      platform::Record(kRecordLength).text(" Partial price section size (-I)").i(st.m / price, 12));
}

void start_kind(RunState& st) {
  const bool listing = listing_condition(st);
  const int unit = st.option(iw::kMonitoringUnit);
  const bool cold = st.crash_request;
  if (listing) {
    write_record(unit, platform::Record(kRecordLength));
    write_record(unit, platform::Record(kRecordLength).text(cold ? " Cold Start" : " Warm Start"));
    write_record(unit, platform::Record(kRecordLength).text(" ----------"));
  }
  if (!cold) return;
  std::fill(st.p.xv + st.n, st.p.xv + st.nb, 0.0);
  if (st.option(iw::kCrashOption) == kCrashAllSlacks) {
    Words<int> i(st.iz);
    crash_basis(kCrashAllSlacks, st.option(iw::kMinorPrintLevel), st.m, st.n,
                st.option(iw::kCrashOption), st.real(rw::kCrashTol), st.columns(),
                i.at(i(sparse_ws::int_array::kRowWork)), st.p.istate, st.row_types(), st.bl.data(),
                st.bu.data(), st.p.xv, st.iz, st.z);
    st.crash_request = false;
  }
}

void clamp_into_bounds(RunState& st, int count) {
  for (int j = 0; j < count; ++j) st.p.xv[j] = std::min(std::max(st.p.xv[j], st.bl[j]), st.bu[j]);
}

int minor_print_level(const RunState& st) {
  const int level = st.option(iw::kMinorPrintLevel);
  return level > 0 ? kDetailedMinorLevel : level;
}

// Scales the linear part, frees the nonlinear rows and runs the linear phases; the problem
// is back in the user's units afterwards.
void linear_phases(RunState& st) {
  if (st.option(iw::kScaleOption) >= 1 && st.nlin >= 1) scale_problem(st);
  st.saved_bl = st.bl;
  st.saved_bu = st.bu;
  if (st.nnl >= 1) std::copy(st.p.xv, st.p.xv + st.nnl, st.start_point());
  const double infinite = st.real(rw::kInfiniteBoundSize);
  if (st.ncnln >= 1 && st.nlin >= 1) {
    std::fill(st.bl.begin() + st.n, st.bl.begin() + st.n + st.ncnln, -infinite);
    std::fill(st.bu.begin() + st.n, st.bu.begin() + st.n + st.ncnln, infinite);
  }
  std::fill(st.allowance(), st.allowance() + st.nb, 0);
  const int level = minor_print_level(st);
  make_linear_rows_feasible(st, level);
  if (st.nlin < 1) return;
  if (st.end_class == end_class::kConverged) find_point_near_start(st, level);
  if (st.ncnln >= 1) {
    const std::size_t first = static_cast<std::size_t>(st.n);
    const std::size_t last = first + static_cast<std::size_t>(st.ncnln);
    std::copy(st.saved_bl.begin() + first, st.saved_bl.begin() + last, st.bl.begin() + first);
    std::copy(st.saved_bu.begin() + first, st.saved_bu.begin() + last, st.bu.begin() + first);
    call_jacobian_auxiliary("Restore constants", st.matrix, st.iz, st.z);
  }
  unscale_problem(st);
}

// True when every linear row's slack agrees with its activity A x to the feasibility
// tolerance, relative to the size of the row's terms (so that rounding never counts).
bool linear_rows_hold(const RunState& st) {
  std::vector<double> ax(static_cast<std::size_t>(st.m), 0.0);
  std::vector<double> size(static_cast<std::size_t>(st.m), 0.0);
  for (int j = 0; j < st.n; ++j) {
    for (int k = st.p.ka[j] - 1; k < st.p.ka[j + 1] - 1; ++k) {
      const auto i = static_cast<std::size_t>(st.p.ha[k] - 1);
      const double term = st.aval[static_cast<std::size_t>(k)] * st.p.xv[j];
      ax[i] += term;
      size[i] += std::fabs(term);
    }
  }
  const double tol = st.real(rw::kMinorFeasibilityTol);
  for (int i = st.ncnln; i < st.m; ++i) {
    const auto r = static_cast<std::size_t>(i);
    if (std::fabs(ax[r] - st.p.xv[st.n + i]) > tol * (1.0 + size[r])) return false;
  }
  return true;
}

// The stages up to the end of the passes; st.end_class holds the result.
void run_stages(RunState& st) {
  count_rows(st);
  starting_values(st);
  adjust_partial_price(st);
  adjust_scale_option(st);
  print_price_listing(st);
  print_matrix_statistics("Statistics too", st.matrix, st.bl.data(), st.bu.data(), st.row_types(),
                          st.iz, st.z);
  if (st.ncnln >= 1) {
    for (const char* mode :
         {"Assemble gCon column pointers", "Load constant Jacobian elements", "Fake"}) {
      call_jacobian_auxiliary(mode, st.matrix, st.iz, st.z);
    }
  }
  start_kind(st);
  clamp_into_bounds(st, st.n);
  linear_phases(st);
  st.linear_feasible = *st.p.ninfs == 0;
  if (st.end_class > 0) return;
  if (st.ncnln >= 1) {
    std::fill(st.allowance() + st.n, st.allowance() + st.n + st.ncnln, kEitherBound);
    call_jacobian_auxiliary("Restore constants", st.matrix, st.iz, st.z);
  }
  clamp_into_bounds(st, st.nb);
  if (st.nnl < 1) rescale_problem(st);
  st.end_class = run_major_stages(st);
  if (st.end_class < 0) st.end_class = end_class::kUserStop;
  // A verdict of a feasible point must not stand on a point that breaks a linear row.
  const bool feasible_verdict =
      (st.end_class == end_class::kConverged && st.nonlinear_infeasible == 0) ||
      st.end_class == end_class::kAccuracyNotAchieved;
  if (feasible_verdict && !linear_rows_hold(st)) st.end_class = end_class::kLinearNumericalError;
}

// The end class as the exit message reads it: the LU failures remapped.
int exit_class(const RunState& st) {
  constexpr int kLuStorage = MinorResult::kLuStorage;
  constexpr int kSingular = MinorResult::kSingular;
  if (st.end_class == kLuStorage) {
    return st.option(ws::kLuIntegerRoom) < st.option(ws::kLuRealRoom)
               ? end_class::kIntegerWorkspaceForFactors
               : end_class::kRealWorkspaceForFactors;
  }
  if (st.end_class == kSingular) return end_class::kSingularBasis;
  return st.end_class;
}

void end_values(RunState& st) {
  st.linear_objective = st.linear_objective_value();
  *st.p.objv = st.user_objective();
  Words<double>(st.z)(rword::kFinalObjective) = *st.p.objv;
  st.option_word(rword::kIterationsDone) = st.iterations;
  double sum = 0.0;
  for (int j = 0; j < st.nb; ++j) sum += std::fabs(st.p.xv[j]);
  st.x_norm = sum / std::sqrt(static_cast<double>(st.nb));
}

platform::Record stat(std::string_view text) {
  return platform::Record(kStatisticsLength).text(text);
}

void print_statistics(const RunState& st) {
  if (!listing_condition(st)) return;
  const int unit = st.option(iw::kMonitoringUnit);
  write_record(unit, platform::Record(kStatisticsLength));
  write_record(unit, platform::Record(kStatisticsLength));
  write_record(unit, stat(" No. of iterations")
                         .i(st.iterations, 20)
                         .x(2)
                         .text(" Objective value")
                         .e(*st.p.objv, 22, 10));
  if (*st.p.ninfs >= 1) {
    write_record(unit, stat(" No. of infeasibilities")
                           .i(*st.p.ninfs, 15)
                           .x(2)
                           .text(" Sum of infeas")
                           .e(*st.p.suminf, 24, 10));
    if (st.linear_feasible) {
      write_record(unit,
                   stat(" Elastic weight            ")
                       .e(st.elastic_weight, 11, 1)
                       .x(2)
                       .text(" Scaled Merit ")
                       .e(st.elastic_weight != 0.0 ? st.merit / st.elastic_weight : 0.0, 24, 10));
    }
  }
  const auto i = [&](int w) { return st.option(w); };
  if (st.nnl >= 1) {
    write_record(unit, stat(" No. of major iterations")
                           .i(st.major_iterations, 14)
                           .x(2)
                           .text(" Linear objective")
                           .e(st.linear_objective, 21, 10));
    write_record(unit, stat(" Penalty parameter")
                           .e(st.penalty, 20, 3)
                           .x(2)
                           .text(" Nonlinear objective")
                           .e(st.fobj, 18, 10));
    write_record(unit, stat(" No. of calls to objfun")
                           .i(i(ws::kObjfunCalls), 15)
                           .x(2)
                           .text(" No. of calls to confun")
                           .i(i(ws::kConfunCalls), 15));
  }
  const int level = i(iw::kDerivativeLevel);
  if (level < kKnownGradientLevel || (st.nnl >= 1 && i(iw::kDerivativeLinesearch) == 0)) {
    constexpr std::string_view known = " Calls with modes 1,2 (known g)";
    write_record(unit, stat(known)
                           .i(i(ws::kObjfunDerivativeCalls), 7)
                           .x(2)
                           .text(known)
                           .i(i(ws::kConfunDerivativeCalls), 7));
  }
  if (level < kKnownGradientLevel) {
    constexpr std::string_view forward = " Calls for forward differencing";
    constexpr std::string_view central = " Calls for central differencing";
    write_record(unit, stat(forward)
                           .i(i(rword::kObjfunForward), 7)
                           .x(2)
                           .text(forward)
                           .i(i(rword::kConfunForward), 7));
    write_record(unit, stat(central)
                           .i(i(rword::kObjfunCentral), 7)
                           .x(2)
                           .text(central)
                           .i(i(rword::kConfunCentral), 7));
  }
  if (*st.p.nsb > 0) {
    int basic_nonlinears = 0;
    for (int j = 0; j < st.nnl; ++j) {
      if (st.p.istate[j] == VariableState::kBasic) ++basic_nonlinears;
    }
    write_record(unit, stat(" No. of superbasics")
                           .i(*st.p.nsb, 19)
                           .x(2)
                           .text(" No. of basic nonlinears")
                           .i(basic_nonlinears, 14));
  }
  const double percentage = 100.0 * st.degenerate_steps / std::max(st.iterations, 1);
  write_record(unit, stat(" No. of degenerate steps")
                         .i(st.degenerate_steps, 14)
                         .x(2)
                         .text(" Percentage")
                         .f(percentage, 27, 2));
}

ReportData report_data(RunState& st) {
  ReportData d;
  d.a = &st.matrix;
  d.ncnln = st.ncnln;
  d.nonln = st.nonln;
  d.objective_row = st.run.objective_row;
  d.dummy_row = st.run.dummy_row;
  d.bl = st.bl.data();
  d.bu = st.bu.data();
  d.x = st.p.xv;
  d.state = st.p.istate;
  d.pi = st.pi();
  d.rc = st.p.mult;
  d.s = st.scales();
  d.gobj = st.objective_gradient();
  d.fcon = st.constraint_values();
  d.nname = st.p.nname;
  d.namev = st.p.namev;
  d.namev_len = st.p.namev_len;
  d.scaled = st.scaled;
  d.unscale = [&st] { unscale_problem(st); };
  d.nonlinear_infeasible = st.nonlinear_infeasible != 0;
  d.nonlinear_handled = st.nonlinear_handled;
  d.feasible_point = st.feasible_point;
  d.ninf = *st.p.ninfs;
  d.suminf = *st.p.suminf;
  d.iz = st.iz;
  d.z = st.z;
  return d;
}

// The last evaluation of the user routines at the final point, in the user's units.
void final_user_calls(RunState& st) {
  if (!st.linear_feasible || st.end_class == end_class::kUserStop) return;
  int& option = st.option_word(iw::kScaleOption);
  const int saved = option;
  option = 0;
  const int firstcall = st.end_class + kFinalCallOffset;
  int status = 0;
  Words<double> w(st.z);
  if (st.ncnln >= 1) {
    const JacobianStructure jac{st.n, st.p.ha, st.p.ka};
    evaluate_constraints(0, status, firstcall, st.ncnln, st.njnln, st.option(ws::kJacobianCount),
                         st.run.user, jac, st.constraint_values(),
                         w.at(st.option(run_array::kJacobian)), st.p.xv, st.iz, st.z, st.stop_code);
  }
  if (st.nonln >= 1) {
    evaluate_objective(0, status, firstcall, st.nonln, st.run.user, st.fobj,
                       st.objective_gradient(), st.p.xv, st.iz, st.z, st.stop_code);
  }
  option = saved;
}

ExitSituation exit_situation(const RunState& st) {
  ExitSituation s;
  s.feasible_point_problem = st.feasible_point;
  s.reduced_gradient = st.reduced_gradient;
  s.objective_reached = *st.p.objv;
  s.unbounded_objective = st.real(rw::kUnboundedObjective);
  s.final_objective = *st.p.objv;
  s.major_iterations = st.major_iterations;
  s.minor_iterations = st.minor_iterations;
  s.nonlinear_infeasible = st.nonlinear_infeasible;
  s.sum_infeasibilities = *st.p.suminf;
  s.minor_iteration_limit = st.option(iw::kMinorIterationLimit);
  s.unbounded = st.unbounded;
  s.iterations = st.iterations;
  s.iteration_limit = st.option(iw::kIterationLimit);
  s.stop_code = st.stop_code;
  s.nonlinear_infeasible_kind = st.linear_feasible;
  return s;
}

// End values, statistics, report, last user calls and the exit message; returns the code.
int finish(RunState& st) {
  int code = exit_class(st);
  // An internal-error class must never read as a code on which the caller grows a workspace
  // and calls again, and a user stop always carries its stop code.
  assert(code <= end_class::kSingularBasis || code > sparse_inform::kRealWorkspaceToStart);
  assert(code != end_class::kUserStop || st.stop_code < 0);
  end_values(st);
  print_statistics(st);
  ReportData d = report_data(st);
  ReportMeasures measures;
  measures.x_norm = st.x_norm;
  report_solution("Save", d, measures, 0);
  report_solution("Print", d, measures, 0);
  final_user_calls(st);
  int monitoring_status = 0;
  print_exit_message(exit_situation(st), code, st.iz, st.run.ifail_on_entry, st.run.routine,
                     monitoring_status);
  report_solution("Monitoring File Status", d, measures, monitoring_status);
  return code;
}

}  // namespace

int run_sparse_sqp(SparseRun& run) {
  RunState st(run);
  run_stages(st);
  const int code = finish(st);
  unscale_problem(st);
  return code;
}

}  // namespace zun
