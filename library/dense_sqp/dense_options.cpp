// Defaults and listing of the dense solver's options.
#include "library/dense_sqp/dense_options.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "library/dense_sqp/dense_option_reader.h"
#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/dense_store_words.h"
#include "library/platform/format.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;

constexpr double kBigBound = kDefaultInfiniteBound;
constexpr double kDefaultCrashTolerance = 0.01;
constexpr double kDefaultStepLimit = 2.0;
constexpr double kDefaultLineSearchTolerance = 0.9;
constexpr double kSmallestConditionLimit = 1.0e6;
constexpr int kSmallestIterationLimit = 50;
constexpr int kMonitoringPrintLevel = 5;
constexpr int kLargestVerifyLevel = 13;
constexpr int kRecordLength = 80;
constexpr int kLeftLabel = 24;
constexpr int kRightLabel = 23;
constexpr int kValueWidth = 10;
constexpr int kColumnGap = 7;

enum StartKind { kCold = 0, kWarm = 1, kHot = 2 };

bool inside(double v, double lo, double hi) { return v >= lo && v < hi; }

int general_minor_limit(int n, int nclin, int ncnln) {
  const std::int64_t v = 3 * (static_cast<std::int64_t>(n) + nclin + ncnln);
  return static_cast<int>(std::clamp<std::int64_t>(v, kSmallestIterationLimit, INT32_MAX));
}

void default_units_and_levels(DenseStoreView s) {
  if (s.i(iw::kMajorPrintLevel) == kUnsetInteger) s.i(iw::kMajorPrintLevel) = 0;
  if (s.i(iw::kMinorPrintLevel) == kUnsetInteger) s.i(iw::kMinorPrintLevel) = 0;
  if (s.i(iw::kPrintFileOption) < 0) s.i(iw::kPrintFileOption) = s.i(iw::kAdvisoryUnitCopy);
  if (s.i(iw::kMonitoringFileOption) < 0 ||
      (s.i(iw::kMajorPrintLevel) < kMonitoringPrintLevel &&
       s.i(iw::kMinorPrintLevel) < kMonitoringPrintLevel)) {
    s.i(iw::kMonitoringFileOption) = -1;
  }
  s.i(iw::kPrintFile) = s.i(iw::kPrintFileOption);
  s.i(iw::kMonitoringFile) = s.i(iw::kMonitoringFileOption);
}

void default_integer_options(int n, int nclin, int ncnln, DenseStoreView s) {
  if (s.i(iw::kStart) < kCold || s.i(iw::kStart) > kHot) s.i(iw::kStart) = kCold;
  if (s.i(iw::kDerivativeLevel) < 0 || s.i(iw::kDerivativeLevel) > 3) s.i(iw::kDerivativeLevel) = 3;
  if (s.i(iw::kHessianOutput) < 0 || s.i(iw::kHessianOutput) > 1) s.i(iw::kHessianOutput) = 0;
  if (s.i(iw::kMajorIterationLimit) < 0) {
    const std::int64_t v = 3 * (static_cast<std::int64_t>(n) + nclin) + 10LL * ncnln;
    s.i(iw::kMajorIterationLimit) =
        static_cast<int>(std::clamp<std::int64_t>(v, kSmallestIterationLimit, INT32_MAX - 1));
  }
  if (s.i(iw::kMinorLimit) < 1) s.i(iw::kMinorLimit) = general_minor_limit(n, nclin, ncnln);
  s.i(iw::kNonlinearObjectiveVars) = n;
  s.i(iw::kNonlinearJacobianVars) = n;
  s.i(iw::kNonlinearVars) = n;
  if (s.i(iw::kStopObjectiveCheck) < 1 || s.i(iw::kStopObjectiveCheck) > n) {
    s.i(iw::kStopObjectiveCheck) = n;
  }
  if (s.i(iw::kStartObjectiveCheck) < 1 ||
      s.i(iw::kStartObjectiveCheck) > s.i(iw::kStopObjectiveCheck)) {
    s.i(iw::kStartObjectiveCheck) = 1;
  }
  if (s.i(iw::kStopConstraintCheck) < 1 || s.i(iw::kStopConstraintCheck) > n) {
    s.i(iw::kStopConstraintCheck) = n;
  }
  if (s.i(iw::kStartConstraintCheck) < 1 ||
      s.i(iw::kStartConstraintCheck) > s.i(iw::kStopConstraintCheck)) {
    s.i(iw::kStartConstraintCheck) = 1;
  }
  const int verify = s.i(iw::kVerifyLevel);
  if (verify < -1 || verify > kLargestVerifyLevel || (verify >= 4 && verify <= 9)) {
    s.i(iw::kVerifyLevel) = 0;
  }
  if (s.i(iw::kNpWord158) < 1) s.i(iw::kNpWord158) = 0;
  if (s.i(iw::kNpWord160) < 1 || s.i(iw::kNpWord158) == 0) {
    const std::int64_t past_limit = static_cast<std::int64_t>(s.i(iw::kMajorIterationLimit)) + 1;
    s.i(iw::kNpWord160) = static_cast<int>(std::min<std::int64_t>(past_limit, INT32_MAX));
  }
  if (s.i(iw::kNpWord159) < 1 || s.i(iw::kStart) != kHot) s.i(iw::kNpWord159) = 0;
  if (s.i(iw::kStart) == kHot && s.i(iw::kNpWord159) == 0) s.i(iw::kStart) = kCold;
}

void default_real_options(int n, DenseStoreView s) {
  const double eps = s.r(rw::kEps);
  if (!inside(s.r(rw::kCrashTolerance), 0.0, 1.0)) s.r(rw::kCrashTolerance) = kDefaultCrashTolerance;
  if (!inside(s.r(rw::kLinearFeasibility), eps, 1.0)) s.r(rw::kLinearFeasibility) = s.r(rw::kSqrtEps);
  if (!inside(s.r(rw::kFunctionPrecision), eps, 1.0)) {
    s.r(rw::kFunctionPrecision) = s.r(rw::kPivotFactor);
  }
  const double fprec = s.r(rw::kFunctionPrecision);
  const double interval = s.r(rw::kDifferenceInterval);
  if (inside(interval, eps, 1.0)) {
    s.i(iw::kIntervalMode) = 1;
  } else if (interval < 0.0 && interval != kUnsetReal) {
    s.i(iw::kIntervalMode) = 2;
  } else {
    s.i(iw::kIntervalMode) = 0;
  }
  if (s.i(iw::kIntervalMode) == 1 && !inside(s.r(rw::kCentralInterval), eps, 1.0)) {
    s.r(rw::kCentralInterval) = std::pow(fprec, 0.33);
  }
  if (!(s.r(rw::kInfiniteBound) > 0.0)) s.r(rw::kInfiniteBound) = kBigBound;
  if (!(s.r(rw::kInfiniteStep) > 0.0)) {
    s.r(rw::kInfiniteStep) = std::max(s.r(rw::kInfiniteBound), kBigBound);
  }
  if (!(s.r(rw::kStepLimit) > 0.0)) s.r(rw::kStepLimit) = kDefaultStepLimit;
  if (!inside(s.r(rw::kLineSearchTolerance), 0.0, 1.0)) {
    s.r(rw::kLineSearchTolerance) = kDefaultLineSearchTolerance;
  }
  if (!inside(s.r(rw::kOptimalityTolerance), fprec, 1.0)) {
    s.r(rw::kOptimalityTolerance) = std::pow(fprec, 0.8);
  }
  if (!(s.r(rw::kConditionLimit) >= 1.0)) {
    s.r(rw::kConditionLimit) = std::max(kSmallestConditionLimit, 1.0 / (100.0 * n * eps));
  }
  if (!inside(s.r(rw::kNonlinearFeasibility), eps, 1.0)) {
    s.r(rw::kNonlinearFeasibility) =
        s.i(iw::kDerivativeLevel) < 2 ? s.r(rw::kEpsPow033) : s.r(rw::kSqrtEps);
  }
}

// One listing line: a left label (24 characters) with its value, and optionally a right
// label (23 characters, after 7 blanks) with its value; values are preformatted, 10 wide.
class ParameterLines {
 public:
  explicit ParameterLines(int unit) : unit_(unit) {}
  void line(std::string_view text) {
    const std::string s = platform::format_a(text, kRecordLength);
    write_line(unit_, s.data(), static_cast<int>(s.size()));
  }
  void blank() { line(""); }
  void row(std::string_view left, const std::string& lvalue) {
    line(platform::Record(kRecordLength).a(left, kLeftLabel).text(lvalue).str());
  }
  void row(std::string_view left,
           const std::string& lvalue,
           std::string_view right,
           const std::string& rvalue) {
    line(platform::Record(kRecordLength)
             .a(left, kLeftLabel)
             .text(lvalue)
             .x(kColumnGap)
             .a(right, kRightLabel)
             .text(rvalue)
             .str());
  }

 private:
  int unit_;
};

std::string iv(std::int64_t v) { return platform::format_i(v, kValueWidth); }
std::string ev(double v) { return platform::format_e(v, kValueWidth, 2); }

std::string start_label(int start) {
  const char* word = start == kWarm ? "WARM" : start == kHot ? "HOT " : "COLD";
  return std::string(word) + " start......" + ".......";
}

void list_parameters(int n, int nclin, int ncnln, DenseStoreView s, ParameterLines& out) {
  out.blank();
  out.line(" Parameters");
  out.line(" ----------");
  out.blank();
  out.row(" Linear constraints.....", iv(nclin), "Variables..............", iv(n));
  out.row(" Nonlinear constraints..", iv(ncnln));
  out.blank();
  out.row(" Infinite bound size....", ev(s.r(rw::kInfiniteBound)), start_label(s.i(iw::kStart)),
          "");
  out.row(" Infinite step size.....", ev(s.r(rw::kInfiniteStep)), "EPS (machine precision)",
          ev(s.r(rw::kEps)));
  out.row(" Step limit.............", ev(s.r(rw::kStepLimit)), "Hessian................",
          std::string(kColumnGap, ' ') + (s.i(iw::kHessianOutput) == 1 ? "YES" : " NO"));
  out.blank();
  out.row(" Linear feasibility.....", ev(s.r(rw::kLinearFeasibility)), "Crash tolerance........",
          ev(s.r(rw::kCrashTolerance)));
  out.row(" Nonlinear feasibility..", ev(s.r(rw::kNonlinearFeasibility)),
          "Optimality tolerance...", ev(s.r(rw::kOptimalityTolerance)));
  out.row(" Line search tolerance..", ev(s.r(rw::kLineSearchTolerance)),
          "Function precision.....", ev(s.r(rw::kFunctionPrecision)));
  out.blank();
  out.row(" Derivative level.......", iv(s.i(iw::kDerivativeLevel)), "Monitoring file........",
          iv(s.i(iw::kMonitoringFileOption)));
  out.row(" Verify level...........", iv(s.i(iw::kVerifyLevel)));
  if (s.i(iw::kVerifyLevel) > 0) {
    out.blank();
    out.row(" Start obj chk at varble", iv(s.i(iw::kStartObjectiveCheck)),
            "Stop obj chk at varble.", iv(s.i(iw::kStopObjectiveCheck)));
    if (ncnln > 0) {
      out.row(" Start con chk at varble", iv(s.i(iw::kStartConstraintCheck)),
              "Stop con chk at varble.", iv(s.i(iw::kStopConstraintCheck)));
    }
  }
  out.blank();
  out.row(" Major iterations limit.", iv(s.i(iw::kMajorIterationLimit)), "Major print level......",
          iv(s.i(iw::kMajorPrintLevel)));
  out.row(" Minor iterations limit.", iv(s.i(iw::kMinorLimit)), "Minor print level......",
          iv(s.i(iw::kMinorPrintLevel)));
  if (s.i(iw::kDerivativeLevel) < 3) {
    out.blank();
    switch (s.i(iw::kIntervalMode)) {
      case 1:
        out.row(" Difference interval....", ev(s.r(rw::kDifferenceInterval)),
                "Central diffce interval", ev(s.r(rw::kCentralInterval)));
        break;
      case 2:
        out.line(" User-supplied difference intervals.");
        break;
      default:
        out.line(" Difference intervals to be computed.");
        break;
    }
  }
}

void list_options(int n, int nclin, int ncnln, std::string_view routine, DenseStoreView s) {
  ParameterLines out(s.i(iw::kPrintFile));
  out.blank();
  out.line(" *** " + std::string(routine));
  if (s.i(iw::kStart) != kHot) list_parameters(n, nclin, ncnln, s, out);
}

}  // namespace

void finish_dense_options(int n,
                          int nclin,
                          int ncnln,
                          std::string_view routine,
                          int irevcm,
                          DenseStoreView store) {
  const std::string comment = platform::format_a("*", kDenseOptionLineLength);
  int inform = 0;
  read_dense_option_line(comment.data(), false, store, inform);
  store.l(dense_words::logical_word::kFirstLine) = kTrue;
  save_qp_option_set(store);
  save_np_option_set(store);

  default_units_and_levels(store);
  default_integer_options(n, nclin, ncnln, store);
  default_real_options(n, store);
  for (int k = 0; k < 4; ++k) store.i(iw::kObjectiveCheckStart + k) = store.i(iw::kStartObjectiveCheck + k);
  store.i(iw::kGeneralMinorLimit) = general_minor_limit(n, nclin, ncnln);

  constexpr int kFirstInputError = 7;
  if (irevcm >= kFirstInputError) return;
  if (store.i(iw::kMajorPrintLevel) > 0) list_options(n, nclin, ncnln, routine, store);
  const int print_file = store.i(iw::kPrintFile);
  const int monitor = store.i(iw::kMonitoringFile);
  if ((store.i(iw::kMajorPrintLevel) >= kMonitoringPrintLevel ||
       store.i(iw::kMinorPrintLevel) >= kMonitoringPrintLevel) &&
      monitor >= 0 && monitor != print_file) {
    ParameterLines mon(monitor);
    mon.blank();
    mon.line(routine);
  }
}

}  // namespace zun
