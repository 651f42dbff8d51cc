// The stages of a sparse run beyond the linear phases: the derivative level and checks, the
// loading of the nonlinear rows, the rescaling with them, and at most two passes of the major
// iterations (the second on the feasible-point problem).
#include <algorithm>
#include <cmath>

#include "library/sparse_sqp/derivative_level.h"
#include "library/sparse_sqp/evaluator.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/jacobian_auxiliary.h"
#include "library/sparse_sqp/major_iterations.h"
#include "library/sparse_sqp/matrix_statistics.h"
#include "library/sparse_sqp/nonlinear_violation.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/run_state.h"
#include "library/sparse_sqp/verification_step.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

constexpr int kNonlinearRowsCrashMode = 5;
constexpr double kViolationFactor = 10.0;
constexpr int kObjectiveRowWord = 218;

Evaluator run_evaluator(RunState& st) {
  Evaluator ev;
  ev.user = st.run.user;
  ev.jac = {st.n, st.p.ha, st.p.ka};
  ev.ncnln = st.ncnln;
  ev.njnln = st.njnln;
  ev.nonln = st.nonln;
  ev.ngcon = st.option(ws::kJacobianCount);
  ev.iz = st.iz;
  ev.z = st.z;
  ev.stop_code = &st.stop_code;
  return ev;
}

double* jacobian(const RunState& st) {
  return Words<double>(st.z).at(st.option(run_array::kJacobian));
}

// An evaluation status as an end class.
int status_class(int status) {
  if (status == 0) return end_class::kConverged;
  return status == evaluation_status::kUndefined ? end_class::kFunctionsUndefined
                                                 : end_class::kUserStop;
}

// The derivative level, the verification, the missing derivatives and the nonlinear rows, with
// the scale option held at 0.  Returns the end class.
int derivative_stage(RunState& st, const Evaluator& ev) {
  int& scale_option = st.option_word(iw::kScaleOption);
  const int saved = scale_option;
  scale_option = 0;
  const DerivativePoint at{st.p.xv, st.constraint_values(), jacobian(st), &st.fobj,
                           st.objective_gradient()};
  int result = check_derivative_level(ev, at, st.iterations);
  if (result == evaluation_status::kUserStop) result = end_class::kUserStop;
  if (result == 0) result = verify_derivatives_step(st, ev);
  if (result == 0) result = status_class(fill_missing_derivatives(ev, at));
  if (result == 0 && st.ncnln >= 1) {
    Words<double> z(st.z);
    load_nonlinear_rows(st.matrix, jacobian_arrays(st.iz, st.z), st.constraint_values(), st.p.xv,
                        0.0, z.at(st.option(run_array::kLinearPart)));
  }
  if (result == 0) scale_option = saved;
  return result;
}

// The violation limit of a pass and the slacks of the nonlinear rows at their activities.
void start_pass(RunState& st) {
  if (st.ncnln < 1) return;
  std::vector<double> c(static_cast<std::size_t>(st.ncnln));
  const NonlinearViolation v =
      nonlinear_violation(st.ncnln, st.njnln, 0.0, st.matrix, st.bl.data(), st.bu.data(),
                          st.constraint_values(), st.p.xv, c.data());
  st.violation_limit = std::max(kViolationFactor * v.relative, st.real(rw::kViolationLimit));
  const double tol = st.real(rw::kMinorFeasibilityTol);
  for (int i = 0; i < st.ncnln; ++i) {
    const int j = st.n + i;
    double s = std::min(std::max(c[static_cast<std::size_t>(i)], st.bl[j]), st.bu[j]);
    if (st.p.istate[j] < 2) {
      if (s <= st.bl[j] + tol) s = st.bl[j];
      if (s >= st.bu[j] - tol) s = st.bu[j];
    }
    st.p.xv[j] = s;
  }
}

void crash_nonlinear_rows(RunState& st) {
  if (!st.crash_request) return;
  print_matrix_statistics("Define row types", st.matrix, st.bl.data(), st.bu.data(),
                          st.row_types(), st.iz, st.z);
  Words<int> i(st.iz);
  crash_basis(kNonlinearRowsCrashMode, st.option(iw::kMinorPrintLevel), st.m, st.n,
              st.option(iw::kCrashOption), st.real(rw::kCrashTol), st.columns(),
              i.at(i(sparse_ws::int_array::kRowWork)), st.p.istate, st.row_types(), st.bl.data(),
              st.bu.data(), st.p.xv, st.iz, st.z);
  st.crash_request = false;
}

int one_pass(RunState& st, const Evaluator& ev) {
  MajorProblem pr;
  pr.sign = st.option(ws::kObjectiveSign) < 0 ? -1 : 1;
  if (!st.feasible_point) {
    pr.iobj = st.run.objective_row;
    pr.nonln = st.nonln;
    pr.nnl = st.nnl;
    pr.elastic_weight_option = st.real(rw::kElasticWeight);
    return run_major_iterations(st, ev, pr);
  }
  // The feasible-point problem: half the squares of the nonlinear Jacobian variables.
  pr.feasible_point = true;
  pr.sign = 1;
  pr.nonln = st.njnln;
  pr.nnl = st.njnln;
  pr.elastic_weight_option = 1.0;
  double* g = st.objective_gradient();
  double f = 0.0;
  for (int j = 0; j < st.njnln; ++j) {
    g[j] = st.p.xv[j];
    f += st.p.xv[j] * st.p.xv[j];
  }
  st.fobj = 0.5 * f;
  int& objective_row = st.option_word(kObjectiveRowWord);
  const int saved_row = objective_row;
  objective_row = 0;
  const int result = run_major_iterations(st, ev, pr);
  objective_row = saved_row;
  return result;
}

}  // namespace

int run_major_stages(RunState& st) {
  const Evaluator ev = run_evaluator(st);
  if (st.nnl >= 1) {
    const int result = derivative_stage(st, ev);
    if (result != 0) return result;
    rescale_problem(st);
  }
  st.nonlinear_handled = true;
  int result = 0;
  for (int pass = 0; pass < 2; ++pass) {
    result = 0;
    st.major_iterations = 0;
    if (pass == 1) st.nonlinear_infeasible = 0;
    start_pass(st);
    crash_nonlinear_rows(st);
    result = one_pass(st, ev);
    if (result == end_class::kCannotImprove &&
        std::fabs(st.user_objective()) > st.real(rw::kUnboundedObjective)) {
      result = end_class::kUnboundedOrViolation;
    } else if (result >= 30 || (result >= 20 && st.iterations == 0)) {
      break;
    }
    const bool done = st.option(iw::kFeasibleExit) == 0 || st.feasible_point ||
                      (result == 0 && *st.p.ninfs == 0) ||
                      (result == end_class::kLimitReached &&
                       st.iterations >= st.option(iw::kIterationLimit)) ||
                      result == end_class::kUserStop || result < 0;
    if (done) break;
    st.feasible_point = true;
    message_both_units(st.iz, st.option(iw::kMajorPrintLevel), st.iterations,
                       "Making the nonlinear rows feasible.", true, true);
  }
  return result;
}

}  // namespace zun
