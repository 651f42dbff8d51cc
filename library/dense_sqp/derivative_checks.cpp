// The derivative checks of the objective gradient and the constraint Jacobian: a directional
// derivative along a check direction, then (by the check level) every supplied element in the
// check range against an interval-search difference, one request at a time.
#include <cmath>
#include <string>

#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/derivative_phase.h"
#include "library/platform/format.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;

constexpr int kValuesMode = 0;
constexpr int kBothMode = 2;
constexpr double kLargeError = 0.9;
constexpr int kSearchLimit = 3;
constexpr int kRecordLength = 80;
constexpr int kRuleLength = 40;
constexpr int kValueWidth = 18;
constexpr int kValueDigits = 8;

// Sub-step of a check: the directional values, or the element search's first or second point.
enum CheckStep { kDirectional = 0, kElementFirst = 1, kElementSecond = 2 };

// What one check looks at: the objective (rows 0..0) or the constraints (rows 1..NCNLN).
struct CheckKind {
  bool objective;
  int first_row(const DenseRun&) const { return objective ? 0 : 1; }
  int last_row(const DenseRun& run) const { return objective ? 0 : run.p.ncnln; }
  int first_column(const DenseRun& run) const {
    return run.s.i(objective ? iw::kObjectiveCheckStart : iw::kConstraintCheckStart);
  }
  int last_column(const DenseRun& run) const {
    return run.s.i(objective ? iw::kObjectiveCheckStop : iw::kConstraintCheckStop);
  }
  // The element checks run at check levels 1 and 3 (objective), 2 and 3 (constraints).
  bool checks_elements(const DenseRun& run) const {
    const int level = run.s.i(iw::kCheckLevel);
    return level == 3 || level == (objective ? 1 : 2);
  }
  double& element(const DenseRun& run, int row, int j) const {
    return objective ? run.g(j) : run.jac()(row, j);
  }
  double base(const DenseRun& run, int row) const { return row == 0 ? run.f() : run.c(row); }
};

void emit(const DenseRun& run, const std::string& text) {
  if (run.major_print() <= 0) return;
  write_record(run.print_file(), text);
}

double relative_error(double approximation, double derivative) {
  return std::fabs(approximation - derivative) / (std::fabs(derivative) + 1.0);
}

// The check direction over the variables whose elements are all supplied: alternating signs,
// each element a factor r smaller than the one before, scaled by (|x(j)| + 1).
void form_direction(DenseRun& run, const CheckKind& kind) {
  const int n = run.p.n;
  const double ratio = n <= 100 ? 0.9 : n <= 250 ? 0.99 : 0.999;
  Words<double> dx = run.array(dense_array::kCheckDirection);
  double size = 1.0;
  double sign = 1.0;
  for (int j = 1; j <= n; ++j) {
    bool supplied = true;
    for (int k = kind.first_row(run); k <= kind.last_row(run); ++k) {
      supplied = supplied && kind.element(run, k, j) != kNotSupplied;
    }
    dx(j) = 0.0;
    if (!supplied) continue;
    dx(j) = sign * size * (std::fabs(run.x(j)) + 1.0);
    sign = -sign;
    size *= ratio;
  }
}

// The supplied directional derivative of row k (0: the objective) along the check direction.
double directional_derivative(const DenseRun& run, const CheckKind& kind, int row) {
  const Words<double> dx = run.array(dense_array::kCheckDirection);
  double sum = 0.0;
  for (int j = 1; j <= run.p.n; ++j) {
    const double e = kind.element(run, row, j);
    if (e != kNotSupplied) sum += e * dx(j);
  }
  return sum;
}

bool start_check(DenseRun& run, const CheckKind& kind) {
  emit(run, "");
  emit(run, kind.objective ? " Verification of the objective gradients."
                           : " Verification of the constraint gradients.");
  emit(run, " " + std::string(kRuleLength, '-'));
  form_direction(run, kind);
  const double h = run.s.r(rw::kBaseInterval);
  run.s.r(rw::kCheckH) = h;
  run.s.i(iw::kCheckResult) = 0;
  run.s.i(iw::kCheckStep) = kDirectional;
  const Words<double> dx = run.array(dense_array::kCheckDirection);
  run.publish_point();
  for (int j = 1; j <= run.p.n; ++j) run.p.x(j) = run.x(j) + h * dx(j);
  if (kind.objective) {
    request_objective(run, kValuesMode);
  } else {
    Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
    for (int k = 1; k <= run.p.ncnln; ++k) need(k) = 1;
    request_constraints(run, kBothMode);
  }
  return true;
}

std::string value_record(std::string_view label, double v) {
  return platform::Record(kRecordLength).text(label).e(v, kValueWidth, kValueDigits).str();
}

// Whether no supplied Jacobian element changed between x and the directional point.
bool jacobian_constant(const DenseRun& run, int& assigned) {
  const ColumnMajorView<double> jac = run.jac();
  bool constant = true;
  assigned = 0;
  for (int j = 1; j <= run.p.n; ++j) {
    for (int k = 1; k <= run.p.ncnln; ++k) {
      if (jac(k, j) == kNotSupplied) continue;
      ++assigned;
      constant = constant && run.p.jacnl(k, j) == jac(k, j);
    }
  }
  return constant;
}

// The directional values have arrived: compare and report.  Returns whether the element
// checks follow.
bool finish_directional(DenseRun& run, const CheckKind& kind) {
  const double h = run.s.r(rw::kCheckH);
  double worst = 0.0, worst_derivative = 0.0, worst_approximation = 0.0;
  for (int k = kind.first_row(run); k <= kind.last_row(run); ++k) {
    const double value = kind.objective ? run.p.objv : run.p.c(k);
    const double approximation = (value - kind.base(run, k)) / h;
    const double derivative = directional_derivative(run, kind, k);
    const double u = relative_error(approximation, derivative);
    if (k == kind.first_row(run) || u > worst) {
      worst = u;
      worst_derivative = derivative;
      worst_approximation = approximation;
    }
  }
  ++run.s.i(kind.objective ? iw::kObjectiveEvaluations : iw::kConstraintEvaluations);
  const bool bad = worst >= kLargeError;
  run.s.i(iw::kCheckResult) = bad ? 1 : 0;
  const char* what = kind.objective ? "objective" : "constraints";
  emit(run, "");
  emit(run, value_record(std::string(" Directional derivative of the ") + what, worst_derivative));
  emit(run, value_record(" Difference approximation               ", worst_approximation));
  const std::string subject = kind.objective ? "objective" : "constraint";
  emit(run, bad ? " XXX  The " + subject + " gradients seem to be incorrect."
                : " The " + subject + " gradients seem to be ok.");
  if (!kind.objective) {
    int assigned = 0;
    if (jacobian_constant(run, assigned)) {
      emit(run, "");
      emit(run, platform::Record(kRecordLength)
                    .text(" All")
                    .i(assigned, 6)
                    .text("   assigned Jacobian elements are constant.")
                    .str());
      return false;
    }
  }
  return kind.checks_elements(run);
}

// Starts the search of the next supplied element after (row, j) in the check range.
bool next_element(DenseRun& run, const CheckKind& kind) {
  int j = run.s.i(iw::kCheckVariable);
  int row = run.s.i(iw::kCheckRow) + 1;
  for (; j <= kind.last_column(run); ++j, row = kind.first_row(run)) {
    for (; row <= kind.last_row(run); ++row) {
      if (kind.element(run, row, j) == kNotSupplied) continue;
      run.s.i(iw::kCheckVariable) = j;
      run.s.i(iw::kCheckRow) = row;
      run.s.i(iw::kCheckStep) = kElementFirst;
      IntervalSearch s;
      s.epsa = run.s.r(rw::kFunctionPrecision) * (1.0 + std::fabs(kind.base(run, row)));
      s.h = difference_step(run, j, run.s.r(rw::kBaseInterval));
      save_interval_search(run, s);
      request_probe(run, j, row, s.h);
      return true;
    }
  }
  return false;
}

void start_elements(DenseRun& run, const CheckKind& kind) {
  run.s.i(iw::kCheckVariable) = kind.first_column(run);
  run.s.i(iw::kCheckRow) = kind.first_row(run) - 1;
  run.s.i(iw::kCheckOkCount) = 0;
  run.s.i(iw::kCheckCount) = 0;
  run.s.r(rw::kCheckLargestError) = -1.0;
  emit(run, "");
}

void judge_element(DenseRun& run, const CheckKind& kind, const IntervalSearch& s) {
  const int j = run.s.i(iw::kCheckVariable);
  const int row = run.s.i(iw::kCheckRow);
  const double element = kind.element(run, row, j);
  const double approximation = s.accepted ? s.d3 : s.d1;
  const double u = relative_error(approximation, element);
  const bool ok = u <= run.s.r(rw::kEpsPow033);
  ++run.s.i(iw::kCheckCount);
  if (ok) ++run.s.i(iw::kCheckOkCount);
  if (u > run.s.r(rw::kCheckLargestError)) {
    run.s.r(rw::kCheckLargestError) = u;
    run.s.i(iw::kCheckLargestElement) = j;
    run.s.i(iw::kCheckLargestRow) = row;
  }
  if (ok && s.accepted && std::fabs(element) < run.s.r(rw::kStationarityFactor)) return;
  platform::Record r(kRecordLength);
  if (!kind.objective) r.i(row, 5);
  r.i(j, 5).e(element, 16, 8).e(approximation, 16, 8).text(ok ? "  OK" : " BAD?");
  emit(run, r.str());
}

void summarise_elements(DenseRun& run, const CheckKind& kind) {
  const int count = run.s.i(iw::kCheckCount);
  const int ok = run.s.i(iw::kCheckOkCount);
  const int first = kind.first_column(run), last = kind.last_column(run);
  platform::Record largest(kRecordLength);
  largest.text(" The largest relative error was").e(run.s.r(rw::kCheckLargestError), 12, 2);
  if (kind.objective) {
    largest.text("   in element").i(run.s.i(iw::kCheckLargestElement), 6);
  } else {
    largest.text("   in row")
        .i(run.s.i(iw::kCheckLargestRow), 5)
        .text(",  column")
        .i(run.s.i(iw::kCheckLargestElement), 5);
  }
  if (count > 0) {
    emit(run, "");
    emit(run, largest.str());
    emit(run, "");
  }
  const std::string range =
      platform::Record(kRecordLength).text(" set in cols").i(first, 6).text("  through").i(last, 6).str();
  if (ok < count) {
    emit(run, platform::Record(kRecordLength)
                  .text(" XXX  There seem to be")
                  .i(count - ok, 6)
                  .text(kind.objective ? "  incorrect objective gradients out of the"
                                       : "  incorrect Jacobian elements out of the")
                  .i(count, 6)
                  .str());
    emit(run, range);
  } else {
    emit(run, platform::Record(kRecordLength)
                  .text(" ")
                  .i(ok, 6)
                  .text(kind.objective ? "  Objective gradients out of the"
                                       : "  constraint Jacobian elements out of the")
                  .i(count, 6)
                  .str());
    emit(run, range + "  seem to be ok.");
  }
}

bool verify(DenseRun& run, const CheckKind& kind, bool start, int& result) {
  if (start) return start_check(run, kind);
  if (run.p.irevcm < 0) {
    result = run.p.irevcm;
    return false;
  }
  switch (run.s.i(iw::kCheckStep)) {
    case kDirectional:
      if (finish_directional(run, kind)) {
        start_elements(run, kind);
        if (next_element(run, kind)) return true;
        summarise_elements(run, kind);
      }
      break;
    case kElementFirst: {
      run.s.r(rw::kSearchValue1) = probe_value(run, run.s.i(iw::kCheckRow));
      run.s.i(iw::kCheckStep) = kElementSecond;
      const IntervalSearch s = load_interval_search(run);
      request_probe(run, run.s.i(iw::kCheckVariable), run.s.i(iw::kCheckRow), 2.0 * s.h);
      return true;
    }
    default: {
      const int row = run.s.i(iw::kCheckRow);
      const int j = run.s.i(iw::kCheckVariable);
      const double phi2 = probe_value(run, row);
      IntervalSearch s = load_interval_search(run);
      s.fprec = run.s.r(rw::kFunctionPrecision);
      s.limit = kSearchLimit;
      interval_search_step(s, kind.base(run, row), run.s.r(rw::kSearchValue1), phi2,
                           run.s.r(rw::kBaseInterval) * (std::fabs(run.x(j)) + 1.0));
      if (!s.done) {
        save_interval_search(run, s);
        run.s.i(iw::kCheckStep) = kElementFirst;
        request_probe(run, j, row, s.h);
        return true;
      }
      judge_element(run, kind, s);
      if (next_element(run, kind)) return true;
      summarise_elements(run, kind);
      break;
    }
  }
  run.publish_point();
  run.p.irevcm = request::kDone;
  result = run.s.i(iw::kCheckResult);
  return false;
}

}  // namespace

bool verify_constraint_jacobian(DenseRun& run, bool start, int& result) {
  return verify(run, CheckKind{false}, start, result);
}

bool verify_objective_gradient(DenseRun& run, bool start, int& result) {
  return verify(run, CheckKind{true}, start, result);
}

}  // namespace zun
