// The finite-difference intervals: the interval search per variable with a missing element,
// by reverse communication, and the assignment of elements that prove constant.
#include <cmath>
#include <string>

#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/derivative_phase.h"
#include "library/dense_sqp/interval_search.h"
#include "library/platform/format.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace dw = dense_words;
namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;

constexpr int kValuesMode = 0;
constexpr int kSearchLimit = 3;
constexpr double kCentralPower = 2.0 / 3.0;
constexpr double kCentralDefaultPower = 0.33;
constexpr int kRecordLength = 80;
constexpr int kRuleLength = 46;

// Where the interval search keeps its state between requests (offsets in its real block).
enum SearchWord {
  kH, kIterations, kDirection, kFactor, kHasFallback, kFallbackH, kFallbackD1, kFallbackD3,
  kFallbackD4, kPreviousH, kPreviousD1, kPreviousD3, kPreviousD4, kEpsa, kSearchWords
};
static_assert(kSearchWords <= dw::real_word::kIntervalSearchBlock.size());

// Sub-step of the variable in hand: the value at x + h or at x + 2h is awaited.
enum AwaitedPoint { kAwaitFirst = 0, kAwaitSecond = 1 };

double& search_word(const DenseRun& run, SearchWord w) {
  return run.s.r(dw::real_word::kIntervalSearchBlock.first + w);
}

}  // namespace

IntervalSearch load_interval_search(const DenseRun& run) {
  IntervalSearch s;
  s.epsa = search_word(run, kEpsa);
  s.fprec = run.s.r(rw::kFunctionPrecision);
  s.limit = kSearchLimit;
  s.h = search_word(run, kH);
  s.iterations = static_cast<int>(search_word(run, kIterations));
  s.direction = static_cast<int>(search_word(run, kDirection));
  s.factor = search_word(run, kFactor);
  s.has_fallback = search_word(run, kHasFallback) != 0.0;
  s.fallback_h = search_word(run, kFallbackH);
  s.fallback_d1 = search_word(run, kFallbackD1);
  s.fallback_d3 = search_word(run, kFallbackD3);
  s.fallback_d4 = search_word(run, kFallbackD4);
  s.previous_h = search_word(run, kPreviousH);
  s.previous_d1 = search_word(run, kPreviousD1);
  s.previous_d3 = search_word(run, kPreviousD3);
  s.previous_d4 = search_word(run, kPreviousD4);
  return s;
}

void save_interval_search(const DenseRun& run, const IntervalSearch& s) {
  search_word(run, kEpsa) = s.epsa;
  search_word(run, kH) = s.h;
  search_word(run, kIterations) = s.iterations;
  search_word(run, kDirection) = s.direction;
  search_word(run, kFactor) = s.factor;
  search_word(run, kHasFallback) = s.has_fallback ? 1.0 : 0.0;
  search_word(run, kFallbackH) = s.fallback_h;
  search_word(run, kFallbackD1) = s.fallback_d1;
  search_word(run, kFallbackD3) = s.fallback_d3;
  search_word(run, kFallbackD4) = s.fallback_d4;
  search_word(run, kPreviousH) = s.previous_h;
  search_word(run, kPreviousD1) = s.previous_d1;
  search_word(run, kPreviousD3) = s.previous_d3;
  search_word(run, kPreviousD4) = s.previous_d4;
}

void request_probe(DenseRun& run, int j, int row, double offset) {
  run.publish_point();
  run.p.x(j) = run.x(j) + offset;
  if (row == 0) {
    request_objective(run, kValuesMode);
    return;
  }
  Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
  for (int k = 1; k <= run.p.ncnln; ++k) need(k) = k == row ? 1 : 0;
  request_constraints(run, kValuesMode);
}

double probe_value(DenseRun& run, int row) {
  ++run.s.i(row == 0 ? iw::kObjectiveEvaluations : iw::kConstraintEvaluations);
  return row == 0 ? run.p.objv : run.p.c(row);
}

namespace {

void emit(const DenseRun& run, const std::string& text) {
  if (run.major_print() <= 0) return;
  write_record(run.print_file(), text);
}

// The function whose values the search of variable j uses: 0 the objective, k a constraint
// row with a missing element in column j; -1 when column j has nothing missing.
int function_of(const DenseRun& run, int j) {
  if (run.s.i(iw::kMissingGradient) > 0 && run.g(j) == kNotSupplied) return 0;
  if (run.s.i(iw::kMissingJacobian) == 0) return -1;
  const ColumnMajorView<double> jac = run.jac();
  for (int k = 1; k <= run.p.ncnln; ++k) {
    if (jac(k, j) == kNotSupplied) return k;
  }
  return -1;
}

double base_value(const DenseRun& run, int row) { return row == 0 ? run.f() : run.c(row); }

bool request_value(DenseRun& run, double multiple) {
  request_probe(run, run.s.i(iw::kCheckVariable), run.s.i(iw::kCheckRow),
                multiple * search_word(run, kH));
  return true;
}

void print_heading(const DenseRun& run) {
  emit(run, "");
  emit(run, " Computation of the finite-difference intervals");
  emit(run, " " + std::string(kRuleLength, '-'));
  emit(run, "");
  emit(run, "    J      X(J)   Forward DX(J)   Central DX(J)      Error est.");
}

void report_replaced(const DenseRun& run, int j, std::string_view what, double old, double now) {
  emit(run, platform::Record(kRecordLength)
                .text(" XXX  ")
                .i(j, 4)
                .text(what)
                .e(old, 10, 2)
                .text(" replaced by ")
                .e(now, 10, 2)
                .str());
}

// An interval relative to (|x(j)| + 1), replaced by FALLBACK outside [eps, 1).
double admissible(const DenseRun& run, int j, std::string_view what, double value, double fallback) {
  if (value >= run.s.r(rw::kEps) && value < 1.0) return value;
  report_replaced(run, j, what, value, fallback);
  return fallback;
}

std::string_view classify(const IntervalSearch& s) {
  if (s.accepted) return "";
  if (s.d1 == 0.0 && s.d4 == 0.0) return "Constant?";
  if (!s.has_fallback) return "Small derivative?";
  if (s.direction > 0) return "Linear or odd?";
  return "Too nonlinear?";
}

// Whether the differences stayed constant: the second differences never rose above the
// noise while the interval grew, and the forward and second-order differences agree within it.
bool proved_linear(const IntervalSearch& s) {
  if (s.accepted || s.direction <= 0) return false;
  const double noise = s.h_used > 0.0 ? 2.0 * s.epsa / s.h_used : 0.0;
  return std::fabs(s.d1 - s.d3) <= noise;
}

// Assigns the element of a function that proved linear in variable j.
void assign_constant(DenseRun& run, int j, int row, double value) {
  if (row == 0) {
    run.g(j) = value;
    --run.s.i(iw::kMissingGradient);
    ++run.s.i(iw::kConstantObjective);
  } else {
    run.jac()(row, j) = value;
    --run.s.i(iw::kMissingJacobian);
    ++run.s.i(iw::kKnownJacobian);
    ++run.s.i(iw::kConstantJacobian);
  }
}

void finish_variable(DenseRun& run, const IntervalSearch& s) {
  const int j = run.s.i(iw::kCheckVariable);
  const int row = run.s.i(iw::kCheckRow);
  const double scale = std::fabs(run.x(j)) + 1.0;
  const double base = run.s.r(rw::kBaseInterval);
  const double forward =
      admissible(run, j, "-th difference interval ", s.forward / scale, base);
  const double central = admissible(run, j, "-th central-difference interval ",
                                    std::pow(forward, kCentralPower),
                                    std::pow(run.s.r(rw::kFunctionPrecision), kCentralDefaultPower));
  run.array(dense_array::kForwardIntervals)(j) = forward;
  run.array(dense_array::kCentralIntervals)(j) = central;
  const std::string_view kind = classify(s);
  if (proved_linear(s)) assign_constant(run, j, row, s.d1);
  emit(run, platform::Record(kRecordLength)
                .i(j, 5)
                .e(run.x(j), 10, 2)
                .e(forward, 16, 6)
                .e(central, 16, 6)
                .e(s.error, 16, 6)
                .x(2)
                .text(kind)
                .str());
}

bool next_variable(DenseRun& run) {
  for (int j = run.s.i(iw::kCheckVariable) + 1; j <= run.p.n; ++j) {
    const int row = function_of(run, j);
    if (row < 0) continue;
    run.s.i(iw::kCheckVariable) = j;
    run.s.i(iw::kCheckRow) = row;
    run.s.i(iw::kCheckStep) = kAwaitFirst;
    IntervalSearch s;
    s.epsa = run.s.r(rw::kFunctionPrecision) * (1.0 + std::fabs(base_value(run, row)));
    s.h = difference_step(run, j, run.s.r(rw::kBaseInterval));
    save_interval_search(run, s);
    return request_value(run, 1.0);
  }
  return false;
}

void report_constants(DenseRun& run) {
  const int objective = run.s.i(iw::kConstantObjective);
  const int jacobian = run.s.i(iw::kConstantJacobian);
  if (objective > 0) {
    emit(run, "");
    emit(run, platform::Record(kRecordLength)
                  .text(" ")
                  .i(objective, 5)
                  .text("  constant  objective gradient elements assigned.")
                  .str());
  }
  if (jacobian > 0) {
    emit(run, "");
    emit(run, platform::Record(kRecordLength)
                  .text(" ")
                  .i(jacobian, 5)
                  .text("  constant constraint gradient elements assigned.")
                  .str());
  }
  // Elements found constant are estimated again at every point (the caller does not supply
  // them), so the derivative level stays as it is.
  const auto all_constant = [&](std::string_view text) {
    emit(run, "");
    emit(run, std::string(text));
    emit(run, " They are still estimated at every point.");
  };
  if (objective > 0 && run.s.i(iw::kMissingGradient) == 0) {
    all_constant(" All missing objective gradients are constants.");
  }
  if (jacobian > 0 && run.s.i(iw::kMissingJacobian) == 0) {
    all_constant(" All missing Jacobian elements are constants.");
  }
}

bool finish(DenseRun& run) {
  report_constants(run);
  run.publish_point();
  run.p.irevcm = request::kDone;
  return false;
}

}  // namespace

bool compute_difference_intervals(DenseRun& run, bool start, int& stop) {
  stop = 0;
  if (start) {
    run.s.i(iw::kCheckVariable) = 0;
    run.s.i(iw::kConstantObjective) = 0;
    run.s.i(iw::kConstantJacobian) = 0;
    print_heading(run);
    return next_variable(run) || finish(run);
  }
  if (run.p.irevcm < 0) {
    stop = run.p.irevcm;
    return false;
  }
  const int row = run.s.i(iw::kCheckRow);
  const double value = probe_value(run, row);
  if (run.s.i(iw::kCheckStep) == kAwaitFirst) {
    run.s.r(rw::kSearchValue1) = value;
    run.s.i(iw::kCheckStep) = kAwaitSecond;
    return request_value(run, 2.0);
  }
  IntervalSearch s = load_interval_search(run);
  const int j = run.s.i(iw::kCheckVariable);
  const double fallback = run.s.r(rw::kBaseInterval) * (std::fabs(run.x(j)) + 1.0);
  interval_search_step(s, base_value(run, row), run.s.r(rw::kSearchValue1), value, fallback);
  if (!s.done) {
    save_interval_search(run, s);
    run.s.i(iw::kCheckStep) = kAwaitFirst;
    return request_value(run, 1.0);
  }
  finish_variable(run, s);
  return next_variable(run) || finish(run);
}

}  // namespace zun
