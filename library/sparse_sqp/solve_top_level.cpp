// The top level of a sparse solve.
#include "library/sparse_sqp/solve_top_level.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/exit_messages.h"
#include "library/sparse_sqp/input_checks.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/solve_driver.h"
#include "library/sparse_sqp/workspace_plan.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/failure.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;
using sparse_option::kOptionWordCount;

constexpr std::string_view kRoutine = "SPNLPF";
// Record length handed to the failure report (which gets no records of its own here).
constexpr int kFailureRecordLength = 80;

void write_text(int unit, const std::string& text) {
  write_line(unit, " ", 1);
  write_line(unit, text.data(), static_cast<int>(text.size()));
}

void report_input_errors(int nerr, const SparseOptionStore& store, int ifail_on_entry) {
  Words<const int> i(store.integer);
  const std::string count = platform::format_i(nerr, 5);
  const std::string tail = " error(s) found in the input parameters. Problem abandoned.";
  if (i(iw::kMajorPrintLevel) > 0) {
    write_text(i(iw::kPrintUnit), " Exit " + std::string(kRoutine) + " - " + count + tail);
  }
  if (failure_mode_prints(ifail_on_entry)) write_text(i(iw::kErrorUnit), " ** " + count + tail);
}

// The workspace from zero and the option store, with the problem sizes.
void build_workspace(const SparseProblem& p, const SparseOptionStore& store) {
  std::fill(p.iz, p.iz + p.leniz, 0);
  std::fill(p.z, p.z + p.lenz, 0.0);
  std::copy(store.real, store.real + kOptionWordCount, p.z);
  std::copy(store.integer, store.integer + kOptionWordCount, p.iz);
  Words<int> i(p.iz);
  i(ws::kRows) = p.m;
  i(ws::kColumns) = p.n;
  i(ws::kElements) = p.nnz;
  i(ws::kLastRealOptionWord) = kOptionWordCount;
  i(ws::kLastIntOptionWord) = kOptionWordCount;
  i(ws::kIntLength) = p.leniz;
  i(ws::kRealLength) = p.lenz;
  i(ws::kNonlinearConstraints) = p.ncnln;
  i(ws::kNonlinearJacobianVars) = p.njnln;
  i(ws::kNonlinearObjectiveVars) = p.nonln;
}

int plan(const SparseProblem& p, int ifail_on_entry) {
  Words<int> i(p.iz);
  PlanSizes sizes;
  sizes.m = p.m;
  sizes.n = p.n;
  sizes.nnz = p.nnz;
  sizes.ng = i(ws::kJacobianCount);
  sizes.ncnln = p.ncnln;
  sizes.njnln = p.njnln;
  sizes.nonln = p.nonln;
  sizes.r = i(iw::kReducedHessianDim);
  sizes.s = i(iw::kSuperbasicsLimit);
  sizes.hessian_storage = i(iw::kHessianStorage);
  sizes.hessian_updates = i(iw::kHessianUpdates);
  sizes.leniz = p.leniz;
  sizes.lenz = p.lenz;
  *p.neediz = i(ws::kLastIntOptionWord) + 1;
  *p.needz = i(ws::kLastRealOptionWord) + 1;
  int code = 0;
  plan_workspace(code, i(iw::kPrintUnit), sizes, *p.neediz, *p.needz, p.iz, kRoutine,
                 ifail_on_entry);
  return code;
}

// Resolves the options in the workspace and lays it out; returns 0 or a too-small code.
int prepare_workspace(const SparseProblem& p, const SparseOptionStore& store, int ifail) {
  build_workspace(p, store);
  check_options(p.iz, p.z);
  Words<int> i(p.iz);
  i(iw::kFirstLineFlag) = 1;
  i(ws::kObjectiveSign) = i(iw::kObjectiveKind) == -1 ? -1 : 1;
  i(ws::kJacobianCount) = static_cast<int>(std::max<long long>(nonlinear_jacobian_count(p), 1));
  return plan(p, ifail);
}

int start_run(SparseProblem& p, int ifail_on_entry) {
  Words<int> i(p.iz);
  Words<double> z(p.z);
  const bool dummy_row = p.iobj == -1;
  const int objective_row = dummy_row ? 1 : p.iobj;
  i(ws::kObjectiveRow) = objective_row;
  z(rw::kNotSupplied) = sparse_option::kNotSuppliedValue;
  print_options(p.iz, p.z, p.start, kRoutine, *p.neediz, *p.needz);
  if (p.ncnln > 0) {
    std::copy(p.mult + p.n, p.mult + p.n + p.ncnln, z.at(i(ra::kRowMultipliers)));
  }
  SparseRun run{p, objective_row, dummy_row, {}, ifail_on_entry, kRoutine};
  run.user.confun = p.confun;
  run.user.objfun = p.objfun;
  run.user.iusr = p.iusr;
  run.user.rusr = p.rusr;
  return run_sparse_sqp(run);
}

}  // namespace

long long nonlinear_jacobian_count(const SparseProblem& p) {
  if (p.ncnln <= 0) return 0;
  if (p.ncnln == p.m) return static_cast<long long>(p.ka[p.njnln]) - 1;
  long long count = 0;
  const std::int64_t end = p.ka[p.njnln] - 1;
  for (std::int64_t k = 0; k < end; ++k) {
    if (p.ha[k] <= p.ncnln) ++count;
  }
  return count;
}

void solve_sparse_nlp(SparseProblem& p, SparseOptionStore& store, int& ifail) {
  const int ifail_on_entry = ifail;
  int unit = 0;
  error_unit(0, unit);
  int nerr = 0;
  check_sparse_inputs(1, nerr, p, p.iz, unit, 0.0, ifail_on_entry);
  initialize_options(store.logical, store.integer, kOptionWordCount, store.real, kOptionWordCount);
  Words<const int> stored(store.integer);
  check_sparse_inputs(2, nerr, p, p.iz, stored(iw::kErrorUnit),
                      Words<const double>(store.real)(rw::kInfiniteBoundSize), ifail_on_entry);
  int code = 0;
  if (nerr > 0) {
    code = sparse_inform::kInputErrors;
    report_input_errors(nerr, store, ifail_on_entry);
  } else {
    code = prepare_workspace(p, store, ifail_on_entry);
    if (code == 0) code = start_run(p, ifail_on_entry);
  }
  const int nrec = 0;
  ifail = report_failure(ifail_on_entry, code, kRoutine.data(), nrec, nullptr,
                         static_cast<int>(kRoutine.size()), kFailureRecordLength);
}

}  // namespace zun
