// Exit messages of the dense solver.
#include "library/dense_sqp/dense_exit_messages.h"

#include <string>

#include "library/dense_sqp/dense_run.h"
#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/dense_store_words.h"
#include "library/platform/format.h"
#include "library/support/failure.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace ex = dense_exit;

constexpr int kRecordLength = 80;
constexpr int kCountWidth = 7;
constexpr int kValueWidth = 16;
constexpr int kValueDigits = 7;

void emit(int unit, const std::string& text) { write_record(unit, text); }

// The text of an exit code after " - " on the print file and after " ** " on the error unit;
// empty when the code has none.
std::string exit_text(const DenseExitSituation& e) {
  if (e.code < 0) return "User requested termination.";
  switch (e.code) {
    case ex::kOptimal:
      return "Optimal solution found.";
    case ex::kAccuracyNotAchieved:
      return "Optimal solution found, but requested accuracy not achieved.";
    case ex::kLinearInfeasible:
      return "No feasible point for the linear constraints.";
    case ex::kNonlinearInfeasible:
      return "No feasible point for the nonlinear constraints.";
    case ex::kMajorLimit:
      return "Too many major iterations.             ";
    case ex::kCannotImprove:
      return "Current point cannot be improved upon. ";
    case ex::kDerivativeErrors:
      return "Large errors found in the derivatives. ";
    case ex::kInputErrors:
      return platform::format_i(e.input_errors, kCountWidth) +
             " errors found in the input parameters.  Problem abandoned.";
    default:
      return "";
  }
}

}  // namespace

void print_dense_exit_message(const DenseExitSituation& e,
                              std::string_view routine,
                              DenseStoreView s) {
  if (s.i(iw::kMajorPrintLevel) <= 0) return;
  const int unit = s.i(iw::kPrintFile);
  emit(unit, "");
  emit(unit, " Exit " + std::string(routine) + " - " + exit_text(e));
  if (e.code < ex::kOptimal || e.code > ex::kCannotImprove || e.fp_inform < 0) return;
  platform::Record r(kRecordLength);
  if (e.fp_inform == 0) {
    r.text(" Final objective value =").g(e.objective, kValueWidth, kValueDigits);
  } else if (e.fp_inform == 3) {
    r.text(" Minimum sum of infeasibilities =").g(e.sum_infeasibilities, kValueWidth, kValueDigits);
  } else {
    r.text(" Final sum of infeasibilities =").g(e.sum_infeasibilities, kValueWidth, kValueDigits);
  }
  emit(unit, "");
  emit(unit, r.str());
}

void print_dense_error_message(const DenseExitSituation& e, DenseStoreView s) {
  if (e.code == ex::kOptimal) return;
  if (!failure_mode_prints(s.i(iw::kIfailOnEntry))) return;
  const int unit = s.i(iw::kErrorUnitCopy);
  emit(unit, "");
  emit(unit, " ** " + exit_text(e));
}

}  // namespace zun
