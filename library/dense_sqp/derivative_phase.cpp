// The derivative phase: what the caller supplies, then checks, intervals and differences.
#include "library/dense_sqp/derivative_phase.h"

#include <cmath>
#include <string>

#include "library/dense_sqp/dense_sqp.h"
#include "library/platform/format.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;
namespace lw = dense_words::logical_word;

constexpr int kBothMode = 2;
constexpr int kCountWidth = 6;
constexpr int kLevelWidth = 4;
constexpr int kRecordLength = 80;

enum PhaseState {
  kStart = 0,
  kConstraintsArrived = 1,
  kObjectiveArrived = 2,
  kJacobianCheck = 3,
  kObjectiveCheck = 4,
  kIntervals = 5,
  kDifferences = 6,
};

void emit(int unit, const std::string& text) { write_record(unit, text); }

bool nothing_missing(const DenseRun& run) {
  return run.s.i(iw::kMissingJacobian) + run.s.i(iw::kMissingGradient) == 0;
}

int check_sum(const DenseRun& run) {
  return run.s.i(iw::kJacobianCheckResult) + run.s.i(iw::kGradientCheckResult);
}

bool reports(const DenseRun& run) {
  return run.s.i(iw::kFirstDerivativePhase) == 1 && run.major_print() > 0;
}

void report_supplied(const DenseRun& run,
                     int known,
                     int total,
                     int missing,
                     std::string_view what,
                     std::string_view estimated) {
  const int unit = run.print_file();
  emit(unit, "");
  emit(unit, platform::Record(kRecordLength)
                 .text(" The user sets ")
                 .i(known, kCountWidth)
                 .text("   out of")
                 .i(total, kCountWidth)
                 .text("   ")
                 .text(what)
                 .str());
  emit(unit, platform::Record(kRecordLength)
                 .text(" Each iteration, ")
                 .i(missing, kCountWidth)
                 .text("   ")
                 .text(estimated)
                 .str());
}

void report_raise(const DenseRun& run, std::string_view all_set) {
  const int unit = run.print_file();
  emit(unit, "");
  emit(unit, std::string(all_set));
  emit(unit, platform::Record(kRecordLength)
                 .text(" Derivative level increased to ")
                 .i(run.level(), kLevelWidth)
                 .str());
}

// Ends the phase with INFORM; the difference type is 0 when nothing is left to estimate.
bool end_phase(DenseRun& run, int value, int& inform) {
  run.s.i(iw::kDerivativeState) = kStart;
  run.s.i(iw::kFirstDerivativePhase) = 0;
  run.s.l(lw::kPresetDerivatives) = kFalse;
  run.s.i(iw::kPhaseInform) = value;
  if (nothing_missing(run)) run.s.i(iw::kDifferenceType) = 0;
  inform = value;
  return false;
}

bool stop_phase(DenseRun& run, int& inform) {
  run.s.i(iw::kDerivativeMode) = run.p.irevcm;
  return end_phase(run, run.p.irevcm, inform);
}

void begin_phase(DenseRun& run) {
  DenseStoreView s = run.s;
  s.i(iw::kJacobianCheckResult) = 0;
  s.i(iw::kGradientCheckResult) = 0;
  s.i(iw::kMissingJacobian) = 0;
  s.i(iw::kMissingGradient) = 0;
  s.i(iw::kKnownJacobian) = run.p.n * run.p.ncnln;
  s.l(lw::kPresetDerivatives) = kTrue;
  Words<double> saved = run.array(dense_array::kPointSaved);
  for (int j = 1; j <= run.p.n; ++j) saved(j) = run.x(j);
  s.i(iw::kDerivativeMode) = kBothMode;
}

bool ask_objective(DenseRun& run) {
  if (run.level() == 0 || run.level() == 2) preset_gradient(run);
  run.s.i(iw::kDerivativeState) = kObjectiveArrived;
  request_objective(run, kBothMode);
  return true;
}

void take_constraints(DenseRun& run) {
  const DenseProblem& p = run.p;
  const ColumnMajorView<double> jac = run.jac();
  for (int k = 1; k <= p.ncnln; ++k) run.c(k) = p.c(k);
  for (int j = 1; j <= p.n; ++j) {
    for (int k = 1; k <= p.ncnln; ++k) jac(k, j) = p.jacnl(k, j);
  }
  record_missing_jacobian(run);
  ++run.s.i(iw::kConstraintEvaluations);
  const bool preset = run.level() == 0 || run.level() == 1;
  if (!preset) return;
  int missing = 0;
  for (int j = 1; j <= p.n; ++j) {
    for (int k = 1; k <= p.ncnln; ++k) missing += jac(k, j) == kNotSupplied ? 1 : 0;
  }
  run.s.i(iw::kMissingJacobian) = missing;
  run.s.i(iw::kKnownJacobian) -= missing;
  if (missing > 0) {
    if (reports(run)) {
      report_supplied(run, run.s.i(iw::kKnownJacobian), p.n * p.ncnln, missing,
                      "Jacobian elements.", "Jacobian elements will be estimated numerically.");
    }
    return;
  }
  run.s.i(iw::kDerivativeLevel) = run.level() == 0 ? 2 : 3;
  if (reports(run)) report_raise(run, " All Jacobian elements have been set.");
}

void take_objective(DenseRun& run) {
  const DenseProblem& p = run.p;
  run.f() = p.objv;
  for (int j = 1; j <= p.n; ++j) run.g(j) = p.objg(j);
  record_missing_gradient(run);
  ++run.s.i(iw::kObjectiveEvaluations);
  const bool preset = run.level() == 0 || run.level() == 2;
  if (!preset) return;
  int missing = 0;
  for (int j = 1; j <= p.n; ++j) missing += run.g(j) == kNotSupplied ? 1 : 0;
  run.s.i(iw::kMissingGradient) = missing;
  if (missing > 0) {
    if (reports(run)) {
      report_supplied(run, p.n - missing, p.n, missing, "objective gradient elements.",
                      "gradient elements will be estimated numerically.");
    }
    return;
  }
  run.s.i(iw::kDerivativeLevel) = run.level() == 0 ? 1 : 3;
  if (reports(run)) report_raise(run, " All objective gradient elements have been set.");
}

bool enter_state(DenseRun& run, PhaseState state, int& inform);

bool after_intervals(DenseRun& run, int& inform) {
  if (nothing_missing(run)) return end_phase(run, check_sum(run), inform);
  return enter_state(run, kDifferences, inform);
}

bool to_intervals(DenseRun& run, int& inform) {
  if (nothing_missing(run)) return end_phase(run, check_sum(run), inform);
  // One interval for every variable: nothing to compute.
  if (run.s.i(iw::kIntervalMode) == 1) return enter_state(run, kDifferences, inform);
  return enter_state(run, kIntervals, inform);
}

bool after_jacobian_check(DenseRun& run, int& inform) {
  if (run.p.n - run.s.i(iw::kMissingGradient) > 0) return enter_state(run, kObjectiveCheck, inform);
  return to_intervals(run, inform);
}

bool after_objective(DenseRun& run, int& inform) {
  if (run.s.i(iw::kCheckLevel) < 0) return to_intervals(run, inform);
  if (run.s.i(iw::kKnownJacobian) > 0) return enter_state(run, kJacobianCheck, inform);
  return after_jacobian_check(run, inform);
}

// Runs (START) or resumes the continuation of STATE; moves on when it has no request.
bool run_state(DenseRun& run, PhaseState state, bool start, int& inform) {
  int result = 0;
  switch (state) {
    case kJacobianCheck:
      if (verify_constraint_jacobian(run, start, result)) return true;
      if (result < 0) return end_phase(run, result, inform);
      run.s.i(iw::kJacobianCheckResult) = result;
      return after_jacobian_check(run, inform);
    case kObjectiveCheck:
      if (verify_objective_gradient(run, start, result)) return true;
      if (result < 0) return end_phase(run, result, inform);
      run.s.i(iw::kGradientCheckResult) = result;
      return to_intervals(run, inform);
    case kIntervals:
      if (compute_difference_intervals(run, start, result)) return true;
      if (result < 0) return end_phase(run, result, inform);
      return after_intervals(run, inform);
    case kDifferences:
      if (step_difference_gradients(run, start, result)) return true;
      if (result < 0) return end_phase(run, result, inform);
      return end_phase(run, check_sum(run), inform);
    default:
      return end_phase(run, check_sum(run), inform);
  }
}

bool enter_state(DenseRun& run, PhaseState state, int& inform) {
  run.s.i(iw::kDerivativeState) = state;
  return run_state(run, state, true, inform);
}

}  // namespace

void preset_jacobian(const DenseRun& run) {
  for (int j = 1; j <= run.p.n; ++j) {
    for (int k = 1; k <= run.p.ncnln; ++k) run.p.jacnl(k, j) = kNotSupplied;
  }
}

void preset_gradient(const DenseRun& run) {
  for (int j = 1; j <= run.p.n; ++j) run.p.objg(j) = kNotSupplied;
}

void record_missing_gradient(const DenseRun& run) {
  Words<double> missing = run.array(dense_array::kMissingGradientMarks);
  for (int j = 1; j <= run.p.n; ++j) missing(j) = run.g(j) == kNotSupplied ? 1.0 : 0.0;
}

void unset_missing_gradient(const DenseRun& run) {
  const Words<double> missing = run.array(dense_array::kMissingGradientMarks);
  for (int j = 1; j <= run.p.n; ++j) {
    if (missing(j) != 0.0) run.g(j) = kNotSupplied;
  }
}

namespace {

// The start of the marks of the missing Jacobian elements (NCNLN x N, column by column), or
// null when WORK has no room for them.
double* jacobian_marks(const DenseRun& run) {
  const std::int64_t start =
      dense_spare_jacobian_start(run.p.n, run.p.nclin, run.p.ncnln, run.p.lenw);
  return start > 0 ? &run.p.work(start) : nullptr;
}

}  // namespace

void record_missing_jacobian(const DenseRun& run) {
  double* first = jacobian_marks(run);
  if (first == nullptr) return;
  const ColumnMajorView<double> marks(first, run.p.ncnln);
  const ColumnMajorView<double> jac = run.jac();
  for (int j = 1; j <= run.p.n; ++j) {
    for (int k = 1; k <= run.p.ncnln; ++k) marks(k, j) = jac(k, j) == kNotSupplied ? 1.0 : 0.0;
  }
}

bool unset_missing_jacobian(const DenseRun& run) {
  double* first = jacobian_marks(run);
  if (first == nullptr) return false;
  const ColumnMajorView<const double> marks(first, run.p.ncnln);
  const ColumnMajorView<double> jac = run.jac();
  for (int j = 1; j <= run.p.n; ++j) {
    for (int k = 1; k <= run.p.ncnln; ++k) {
      if (marks(k, j) != 0.0) jac(k, j) = kNotSupplied;
    }
  }
  return true;
}

void request_constraints(const DenseRun& run, int mode) {
  const Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
  for (int k = 1; k <= run.p.ncnln; ++k) run.p.needrow(k) = need(k);
  run.p.irevcm = request::kConstraints + mode;
}

void request_objective(const DenseRun& run, int mode) { run.p.irevcm = request::kObjective + mode; }

double difference_step(const DenseRun& run, int j, double interval) {
  const double bigbnd = run.s.r(rw::kInfiniteBound);
  const double bigdx = run.s.r(rw::kInfiniteStep);
  const double xj = run.x(j);
  const double h = interval * (std::fabs(xj) + 1.0);
  const double room_down = run.p.bl(j) > -bigbnd ? run.p.bl(j) - xj : -bigdx;
  const double room_up = std::min(bigdx, run.p.bu(j) - xj);
  return (room_down + room_up) / 2.0 < 0.0 ? -h : h;
}

bool run_derivative_phase(DenseRun& run, int& inform) {
  const DenseProblem& p = run.p;
  const auto state = static_cast<PhaseState>(run.s.i(iw::kDerivativeState));
  switch (state) {
    case kStart:
      begin_phase(run);
      run.publish_point();
      if (p.ncnln > 0) {
        if (run.level() == 0 || run.level() == 1) preset_jacobian(run);
        Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
        for (int k = 1; k <= p.ncnln; ++k) need(k) = 1;
        run.s.i(iw::kDerivativeState) = kConstraintsArrived;
        request_constraints(run, kBothMode);
        return true;
      }
      return ask_objective(run);
    case kConstraintsArrived:
      if (p.irevcm < 0) return stop_phase(run, inform);
      take_constraints(run);
      return ask_objective(run);
    case kObjectiveArrived:
      if (p.irevcm < 0) return stop_phase(run, inform);
      take_objective(run);
      return after_objective(run, inform);
    case kJacobianCheck:
    case kObjectiveCheck:
    case kIntervals:
    case kDifferences:
      return run_state(run, state, false, inform);
  }
  return end_phase(run, check_sum(run), inform);
}

}  // namespace zun
