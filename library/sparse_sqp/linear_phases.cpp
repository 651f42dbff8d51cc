// The linear feasibility phases.
#include "library/sparse_sqp/linear_phases.h"

#include <algorithm>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/sparse_multiply.h"
#include "library/sparse_qp/state_codes.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/matrix_statistics.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/start_states.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;

constexpr int kFirstCrashMode = 2;
constexpr int kRowsCrashMode = 3;
constexpr int kInequalityCrashMode = 4;
constexpr int kEitherBound = 3;

void crash(RunState& st, int mode, int print_level) {
  Words<int> i(st.iz);
  crash_basis(mode, print_level, st.m, st.n, st.option(iw::kCrashOption), st.real(rw::kCrashTol),
              st.columns(), i.at(i(ia::kRowWork)), st.p.istate, st.row_types(), st.bl.data(),
              st.bu.data(), st.p.xv, st.iz, st.z);
}

// Solves one feasibility LP on the run's bounds; returns the end class it gives (an
// unbounded result, which a feasibility LP cannot truly have, is a numerical error).
int phase_lp(RunState& st, std::string_view kind, std::string_view label, int print_level) {
  bool factorize = true;
  bool reset_basics = true;
  int result = 0;
  solve_phase1_lp(kind, label, factorize, reset_basics, result, st.m, st.n, print_level,
                  st.real(rw::kMinorFeasibilityTol), st.iterations, st.degenerate_steps,
                  *st.p.ninfs, *st.p.suminf, st.columns(), st.p.istate, st.bl.data(), st.bu.data(),
                  st.p.xv, st.iz, st.p.leniz, st.z, st.p.lenz);
  return result == MinorResult::kUnbounded ? end_class::kLinearNumericalError : result;
}

// Residuals A x - s of the rows first..last (1-based) into r(first..last).
void row_residuals(const RunState& st, int first, int last, std::vector<double>& r) {
  r.assign(static_cast<std::size_t>(st.m), 0.0);
  const double zero = 0.0;
  const double one = 1.0;
  sparse_multiply("No transpose", zero, st.m, st.n, st.aval.data(), st.p.ha, st.p.ka, one, st.p.xv,
                  st.n, zero, r.data(), st.m, 12);
  for (int i = 1; i <= st.m; ++i) {
    r[i - 1] = (i >= first && i <= last) ? r[i - 1] - st.p.xv[st.n + i - 1] : 0.0;
  }
}

void set_allowance(RunState& st, int first, int last, int value) {
  int* allowance = st.allowance();
  std::fill(allowance + first - 1, allowance + last, value);
}

void phase_1a(RunState& st, int print_level) {
  const double infinite = st.real(rw::kInfiniteBoundSize);
  std::vector<double> residual;
  if (st.nlin_ineq > 0) {
    row_residuals(st, st.ncnln + 1, st.m, residual);
    for (int i = st.ncnln + 1; i <= st.m; ++i) {
      const int k = st.n + i - 1;
      if (st.bl[k] == st.bu[k]) {
        residual[i - 1] = 0.0;
        continue;
      }
      st.bl[k] = -infinite;
      st.bu[k] = infinite;
    }
  }
  convert_state_codes("Internal", st.nb, st.bl.data(), st.bu.data(), st.p.istate, st.p.xv, 8);
  st.end_class = phase_lp(st, "FPEqualities", "linear equality rows.", print_level);
  if (st.nlin_ineq > 0) {
    const std::size_t first = static_cast<std::size_t>(st.n + st.ncnln);
    std::copy(st.saved_bl.begin() + first, st.saved_bl.end(), st.bl.begin() + first);
    std::copy(st.saved_bu.begin() + first, st.saved_bu.end(), st.bu.begin() + first);
  }
  message_both_units(
      st.iz, print_level, st.iterations,
      *st.p.ninfs == 0 ? "Feasible linear equality rows." : "Infeasible linear equality rows.");
}

}  // namespace

void make_linear_rows_feasible(RunState& st, int print_level) {
  if (st.crash_request) {
    int& option = st.option_word(iw::kCrashOption);
    option = option < kFirstCrashMode ? kFirstCrashMode : (option > 2 ? kRowsCrashMode : option);
    if (st.nlin > 0 && option == kRowsCrashMode && st.nlin_eq > 0) {
      message_both_units(st.iz, print_level, st.iterations,
                         "Phase 1A : making the linear equality rows feasible.");
    }
    crash(st, option, print_level);
  }
  normalize_start_states(st.m, st.option(iw::kSuperbasicsLimit), st.n, st.nb, *st.p.nsb,
                         st.run.objective_row, st.p.istate, st.bs_index(), st.bl.data(),
                         st.bu.data(), st.p.xv, st.iz, st.z);
  if (st.nlin == 0) return;
  Words<double> w(st.z);
  fix_or_free_superbasics("Fix any superbasics", st.m, st.option(iw::kSuperbasicsLimit), 0, st.nb,
                          *st.p.nsb, st.p.istate, st.bs_index(), st.bl.data(), st.bu.data(),
                          w.at(st.iz[ra::kBlBS - 1]), w.at(st.iz[ra::kBuBS - 1]), st.p.xv,
                          w.at(st.iz[ra::kXBS - 1]));
  if (st.nlin_eq > 0) phase_1a(st, print_level);
  if (st.end_class == end_class::kConverged) {
    if (st.crash_request && st.nlin_ineq > 0) {
      message_both_units(st.iz, print_level, st.iterations,
                         st.nlin_eq == 0 ? "Phase 1  : making the linear rows feasible."
                                         : "Phase 1B : making all linear rows feasible.");
      convert_state_codes("External", st.nb, st.bl.data(), st.bu.data(), st.p.istate, st.p.xv, 8);
      print_matrix_statistics("Define row types", st.matrix, st.bl.data(), st.bu.data(),
                              st.row_types(), st.iz, st.z);
      crash(st, kInequalityCrashMode, print_level);
    }
    return;
  }
  // An iteration limit stays one: the equality rows may well be feasible, and the exit names
  // the limit rather than an infeasibility the model does not have.
  if (st.end_class == end_class::kLimitReached) {
    message_both_units(st.iz, print_level, st.iterations,
                       "Infeasible linear constraints at end of Phase 1.");
  }
}

void find_point_near_start(RunState& st, int print_level) {
  const int level = st.option(iw::kMajorPrintLevel);
  if (st.ncnln > 0) {
    std::vector<double> nonlinear_residual;
    row_residuals(st, 1, st.ncnln, nonlinear_residual);
  }
  if (st.nlin_ineq > 0 || *st.p.ninfs > 0) {
    set_allowance(st, st.n + st.ncnln + 1, st.nb, kEitherBound);
    st.end_class = phase_lp(st, "FPLinear constrnts", "linear rows.", print_level);
    if (st.end_class == end_class::kConverged && *st.p.ninfs > 0) {
      st.end_class = end_class::kInfeasible;
      return;
    }
    if (st.end_class > 0) return;
    set_allowance(st, st.n + st.ncnln + 1, st.nb, 0);
    message_both_units(st.iz, level, st.iterations, "Feasible linear rows.", true);
  }
  if (st.nnl <= 0) return;
  const double* x0 = st.start_point();
  for (int j = 1; j <= st.nnl; ++j) {
    if (st.bl[j - 1] >= st.bu[j - 1]) continue;
    st.bl[j - 1] = st.bu[j - 1] = x0[j - 1];
    st.allowance()[j - 1] = kEitherBound;
    if (st.p.istate[j - 1] < 2) st.p.xv[j - 1] = x0[j - 1];
  }
  st.end_class = phase_lp(st, "FPLinear constrnts", "norm(x-x0) problem.", print_level);
  const double tol = st.real(rw::kMinorFeasibilityTol);
  int count = 0;
  for (int j = 1; j <= st.nnl; ++j) {
    st.bl[j - 1] = st.saved_bl[j - 1];
    st.bu[j - 1] = st.saved_bu[j - 1];
    const double x = st.p.xv[j - 1];
    if (x < st.bl[j - 1] - tol || x > st.bu[j - 1] + tol) ++count;
  }
  if (st.end_class > 0) return;
  message_both_units(st.iz, level, st.iterations,
                     "Norm(x-x0) minimized. Sum of infeasibilities = " +
                         platform::format_e(*st.p.suminf, 8, 2) + ".",
                     true);
  if (count > 0) {
    st.end_class = phase_lp(st, "FPLinear constrnts", "linear rows again.", print_level);
    if (st.end_class != end_class::kConverged) return;
    message_both_units(
        st.iz, level, st.iterations,
        "No. of nonlinear variables made feasible = " + platform::format_i(count, 7) + ".", true,
        false, true);
  }
  *st.p.suminf = 0.0;
  *st.p.ninfs = 0;
  set_allowance(st, 1, st.nnl, 0);
}

}  // namespace zun
