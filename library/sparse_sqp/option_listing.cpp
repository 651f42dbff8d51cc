// The options listing of the sparse solver ("Print the options").
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

constexpr int kRecordLength = 80;
constexpr int kLeftLabel = 25;
constexpr int kRightLabel = 24;
constexpr int kValueWidth = 10;
constexpr int kGap = 6;

// One half of a listing line: a label with an integer or real value, or a choice text alone.
struct Item {
  enum Kind { kInteger, kReal, kChoice } kind;
  std::string_view label;
  long long ivalue = 0;
  double rvalue = 0.0;
};

Item ival(std::string_view label, long long v) { return {Item::kInteger, label, v}; }
Item rval(std::string_view label, double v) { return {Item::kReal, label, 0, v}; }
Item choice(std::string_view text) { return {Item::kChoice, text}; }

void put_value(platform::Record& r, const Item& item) {
  if (item.kind == Item::kInteger) r.i(item.ivalue, kValueWidth);
  if (item.kind == Item::kReal) r.e(item.rvalue, kValueWidth, 2);
}

class Listing {
 public:
  explicit Listing(int unit) : unit_(unit) {}

  void text(std::string_view s) { emit(platform::Record(kRecordLength).text(s)); }
  void blank() { text(""); }
  void pair(const Item& left) { emit(left_half(left)); }
  void pair(const Item& left, const Item& right) {
    platform::Record r = left_half(left);
    r.x(kGap);
    if (right.kind == Item::kChoice) {
      r.a(right.label, kLeftLabel);
    } else {
      r.a(right.label, kRightLabel);
      put_value(r, right);
    }
    emit(r);
  }

 private:
  static platform::Record left_half(const Item& left) {
    platform::Record r(kRecordLength);
    r.a(left.label, kLeftLabel);
    if (left.kind == Item::kChoice) {
      r.x(kValueWidth);
    } else {
      put_value(r, left);
    }
    return r;
  }
  void emit(const platform::Record& r) {
    const std::string s = r.str();
    write_line(unit_, s.data(), static_cast<int>(s.size()));
  }
  int unit_;
};

std::string_view objective_choice(int v) {
  if (v == -1) return " Maximize................";
  if (v == 0) return " Feasible point only.....";
  return " Minimize................";
}
std::string_view linesearch_choice(int v) {
  return v == 0 ? " Nonderivative linesearch" : " Derivative linesearch.. ";
}
std::string_view hessian_choice(int v) {
  return v == 1 ? " Hessian limited memory.." : " Hessian full memory.....";
}
std::string_view exit_choice(int v) {
  return v == 1 ? " Feasible exit.......... " : " Infeasible exit........ ";
}

void list_header(Listing& out, Words<const int> i, std::string_view routine) {
  out.blank();
  out.text(" *** " + std::string(routine));
  const int print_unit = i(iw::kPrintUnit);
  const int monitor = i(iw::kMonitoringUnit);
  const bool separate_monitor = monitor >= 0 && monitor != print_unit;
  if (separate_monitor) {
    Listing mon(monitor);
    mon.blank();
    mon.text(routine);
  }
  const int requested = i(iw::kSuperbasicsRequested);
  const int limit = i(iw::kSuperbasicsLimit);
  if (requested > 0 && requested != limit) {
    out.blank();
    // No iteration has run when the options are listed: the iteration field shows 0.
    out.text(platform::Record(kRecordLength)
                 .text(" Itn")
                 .i(0, 7)
                 .text(" -- Superbasics limit reduced from")
                 .i(requested, 14)
                 .text(" to ")
                 .i(limit, 14)
                 .text(".")
                 .str());
    if (separate_monitor) {
      Listing(monitor).text(platform::Record(kRecordLength)
                                .text(" XXX Superbasics limit reduced from")
                                .i(requested, 16)
                                .text(" to ")
                                .i(limit, 16)
                                .text(".")
                                .str());
    }
  }
  out.blank();
  out.text(" Parameters");
  out.text(" ----------");
}

void list_frequencies_and_qp(Listing& out, Words<const int> i, Words<const double> z) {
  out.blank();
  out.text(" Frequencies.");
  out.pair(ival(" Check frequency.........", i(iw::kCheckFrequency)),
           ival(" Expand frequency.......", i(iw::kExpandFrequency)));
  out.pair(ival(" Factorization frequency.", i(iw::kFactorizationFrequency)));
  out.blank();
  out.text(" QP subproblems.");
  out.pair(rval(" Scale tolerance.........", z(rw::kScaleTol)),
           rval(" Minor feasibility tol..", z(rw::kMinorFeasibilityTol)));
  out.pair(ival(" Scale option............", i(iw::kScaleOption)),
           rval(" Minor optimality tol...", z(rw::kMinorOptimalityTol)));
  out.pair(ival(" Partial price...........", i(iw::kPartialPrice)),
           rval(" Crash tolerance........", z(rw::kCrashTol)));
  out.pair(rval(" Pivot tolerance.........", z(rw::kPivotTol)),
           ival(" Minor print level......", i(iw::kMinorPrintLevel)));
  out.pair(ival(" Crash option............", i(iw::kCrashOption)),
           rval(" Elastic weight.........", z(rw::kElasticWeight)));
}

void list_sqp_method(Listing& out, Words<const int> i, Words<const double> z) {
  out.blank();
  out.text(" The SQP method.");
  out.text(objective_choice(i(iw::kObjectiveKind)));
  out.pair(ival(" Nonlinear objective vars", i(ws::kNonlinearObjectiveVars)),
           rval(" Major optimality tol...", z(rw::kMajorOptimalityTol)));
  out.pair(rval(" Function precision......", z(rw::kFunctionPrecision)),
           rval(" Unbounded step size....", z(rw::kUnboundedStepSize)));
  out.pair(ival(" Superbasics limit.......", i(iw::kSuperbasicsLimit)),
           rval(" Forward difference int.", z(rw::kForwardDifferenceInterval)));
  out.pair(rval(" Unbounded objective.....", z(rw::kUnboundedObjective)),
           rval(" Central difference int.", z(rw::kCentralDifferenceInterval)));
  out.pair(rval(" Major step limit........", z(rw::kMajorStepLimit)),
           choice(linesearch_choice(i(iw::kDerivativeLinesearch))));
  out.pair(ival(" Derivative level........", i(iw::kDerivativeLevel)),
           ival(" Major iteration limit..", i(iw::kMajorIterationLimit)));
  out.pair(rval(" Linesearch tolerance....", z(rw::kLinesearchTol)),
           ival(" Verify level...........", i(iw::kVerifyLevel)));
  out.pair(ival(" Minor iteration limit...", i(iw::kMinorIterationLimit)),
           ival(" Major print level......", i(iw::kMajorPrintLevel)));
  out.pair(rval(" Infinite bound size.....", z(rw::kInfiniteBoundSize)),
           ival(" Iteration limit........", i(iw::kIterationLimit)));
}

void list_nonlinear(Listing& out, Words<const int> i, Words<const double> z) {
  if (i(ws::kNonlinearVars) >= 1) {
    out.blank();
    out.text(" Hessian approximation.");
    out.pair(choice(hessian_choice(i(iw::kHessianStorage))),
             ival(" Hessian updates........", i(iw::kHessianUpdates)));
    out.pair(ival(" Hessian frequency.......", i(iw::kHessianFrequency)));
  }
  out.blank();
  out.text(" Nonlinear constraints.");
  if (i(ws::kNonlinearConstraints) < 1) {
    out.pair(ival(" Nonlinear constraints...", i(ws::kNonlinearConstraints)),
             ival(" Nonlinear Jacobian vars", i(ws::kNonlinearJacobianVars)));
    return;
  }
  out.pair(ival(" Nonlinear constraints...", i(ws::kNonlinearConstraints)),
           rval(" Major feasibility tol..", z(rw::kMajorFeasibilityTol)));
  out.pair(ival(" Nonlinear Jacobian vars.", i(ws::kNonlinearJacobianVars)),
           rval(" Violation limit........", z(rw::kViolationLimit)));
  if (i(iw::kVerifyLevel) > 0) {
    out.pair(ival(" Start con check at col..", i(iw::kStartConstraintCheck)),
             ival(" Stop con check at col..", i(iw::kStopConstraintCheck)));
  }
}

void list_miscellaneous(Listing& out, Words<const int> i, Words<const double> z, char start) {
  const int n = i(ws::kColumns);
  const int nonlinear_vars =
      std::max(i(ws::kNonlinearJacobianVars), i(ws::kNonlinearObjectiveVars));
  out.blank();
  out.text(" Miscellaneous.");
  out.pair(ival(" Variables...............", n),
           ival(" Linear constraints.....", i(ws::kRows) - i(ws::kNonlinearConstraints)));
  out.pair(ival(" Nonlinear variables.....", nonlinear_vars),
           ival(" Linear variables.......", n - nonlinear_vars));
  out.pair(rval(" LU factor tolerance.....", z(rw::kLuFactorTol)),
           rval(" LU singularity tol.....", z(rw::kLuAbsSingularityTol)));
  out.pair(rval(" LU update tolerance.....", z(rw::kLuUpdateTol)),
           rval(" LU density tolerance...", z(rw::kLuDensityTol)));
  out.pair(rval(" eps (machine precision).", z(rw::kEps)),
           ival(" Monitoring file........", i(iw::kMonitoringUnit)));
  const bool warm = std::toupper(static_cast<unsigned char>(start)) == 'W';
  const std::string start_label =
      std::string(" ") + (warm ? "WARM" : "COLD") + " start..............";
  out.pair(choice(start_label), choice(exit_choice(i(iw::kFeasibleExit))));
  if (i(iw::kVerifyLevel) >= 1 && i(ws::kNonlinearObjectiveVars) >= 1) {
    out.pair(ival(" Start obj check at col..", i(iw::kStartObjectiveCheck)),
             ival(" Stop obj check at col..", i(iw::kStopObjectiveCheck)));
  }
}

}  // namespace

void write_workspace_lines(int unit, int leniz, int lenz, int neediz, int needz) {
  Listing out(unit);
  out.blank();
  out.text(platform::Record(kRecordLength)
               .text(" Workspace provided is                 IZ(")
               .i(leniz, 8)
               .text("),  Z(")
               .i(lenz, 8)
               .text(").")
               .str());
  out.text(platform::Record(kRecordLength)
               .text(" To start solving the problem we need  IZ(")
               .i(neediz, 8)
               .text("),  Z(")
               .i(needz, 8)
               .text(").")
               .str());
}

void print_options(
    const int* iz, const double* z, char start, std::string_view routine, int neediz, int needz) {
  Words<const int> i(iz);
  Words<const double> r(z);
  if (i(iw::kMajorPrintLevel) < 1) return;
  Listing out(i(iw::kPrintUnit));
  list_header(out, i, routine);
  list_frequencies_and_qp(out, i, r);
  list_sqp_method(out, i, r);
  list_nonlinear(out, i, r);
  list_miscellaneous(out, i, r, start);
  write_workspace_lines(i(iw::kPrintUnit), i(ws::kIntLength), i(ws::kRealLength), neediz, needz);
}

}  // namespace zun
