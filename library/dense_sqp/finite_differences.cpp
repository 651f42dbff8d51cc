// Finite-difference estimates of the missing gradient and Jacobian elements, one variable per
// step, by reverse communication.
#include <cmath>

#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/derivative_phase.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;

constexpr int kValuesMode = 0;
constexpr int kSecondOrder = 2;

// Point of the pass: the values at x + h, then (second-order differences) at x + 2h.
enum FdPoint { kFirstPoint = 0, kSecondPoint = 1 };

bool second_order(const DenseRun& run) { return run.s.i(iw::kDifferenceType) == kSecondOrder; }

bool gradient_missing(const DenseRun& run, int j) {
  return run.s.i(iw::kMissingGradient) > 0 && run.g(j) == kNotSupplied;
}

// Flags the rows of column j whose Jacobian element is missing; returns their number.
int flag_missing_rows(const DenseRun& run, int j) {
  Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
  const ColumnMajorView<double> jac = run.jac();
  int count = 0;
  for (int k = 1; k <= run.p.ncnln; ++k) {
    need(k) = run.s.i(iw::kMissingJacobian) > 0 && jac(k, j) == kNotSupplied ? 1 : 0;
    count += need(k);
  }
  return count;
}

double interval_of(const DenseRun& run, int j) {
  const bool central = second_order(run);
  if (run.s.i(iw::kIntervalMode) == 1) {
    return central ? run.s.r(rw::kCentralInterval) : run.s.r(rw::kDifferenceInterval);
  }
  return run.array(central ? dense_array::kCentralIntervals : dense_array::kForwardIntervals)(j);
}

// The first request at the perturbed point x(j) + factor h.
bool request_at(DenseRun& run, int j, double factor) {
  run.publish_point();
  run.p.x(j) = run.x(j) + factor * run.s.r(rw::kFdStepSize);
  const bool rows = flag_missing_rows(run, j) > 0;
  run.s.i(iw::kFdAwaiting) = rows ? request::kConstraints : request::kObjective;
  if (rows) {
    request_constraints(run, kValuesMode);
  } else {
    request_objective(run, kValuesMode);
  }
  return true;
}

// Moves to the next variable after the one in hand that has a missing element and asks for
// the values at its first point; false when no variable is left.
bool next_variable(DenseRun& run) {
  for (int j = run.s.i(iw::kFdVariable) + 1; j <= run.p.n; ++j) {
    if (flag_missing_rows(run, j) == 0 && !gradient_missing(run, j)) continue;
    run.s.i(iw::kFdVariable) = j;
    run.s.i(iw::kFdStep) = kFirstPoint;
    const double h = difference_step(run, j, interval_of(run, j));
    run.s.r(rw::kFdStepSize) = h;
    run.s.r(rw::kFdLargestStep) = std::max(run.s.r(rw::kFdLargestStep), std::fabs(h));
    return request_at(run, j, 1.0);
  }
  run.publish_point();
  run.p.irevcm = request::kDone;
  return false;
}

// Forms the elements of column j from the values at the base point, x + h and x + 2h.
double difference(const DenseRun& run, double v0, double v1, double v2) {
  const double h = run.s.r(rw::kFdStepSize);
  if (second_order(run)) return (4.0 * v1 - 3.0 * v0 - v2) / (2.0 * h);
  return (v1 - v0) / h;
}

void form_column(DenseRun& run, int j) {
  const Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
  const Words<double> first = run.array(dense_array::kConstraintsTrial);
  const Words<double> second = run.array(dense_array::kRowCheckWork);
  const ColumnMajorView<double> jac = run.jac();
  for (int k = 1; k <= run.p.ncnln; ++k) {
    if (need(k) > 0) jac(k, j) = difference(run, run.c(k), first(k), second(k));
  }
  if (gradient_missing(run, j)) {
    run.g(j) = difference(run, run.f(), run.s.r(rw::kFdObjective1), run.s.r(rw::kFdObjective2));
  }
}

// Takes the values just supplied at the point in hand.
void take_values(DenseRun& run) {
  const bool at_second = run.s.i(iw::kFdStep) == kSecondPoint;
  if (run.s.i(iw::kFdAwaiting) == request::kConstraints) {
    const Words<int> need = run.integer_array(dense_array::kNeedRowCopy);
    Words<double> store =
        run.array(at_second ? dense_array::kRowCheckWork : dense_array::kConstraintsTrial);
    for (int k = 1; k <= run.p.ncnln; ++k) {
      if (need(k) > 0) store(k) = run.p.c(k);
    }
    ++run.s.i(iw::kConstraintEvaluations);
  } else {
    run.s.r(at_second ? rw::kFdObjective2 : rw::kFdObjective1) = run.p.objv;
    ++run.s.i(iw::kObjectiveEvaluations);
  }
}

}  // namespace

bool step_difference_gradients(DenseRun& run, bool start, int& stop) {
  stop = 0;
  if (start) {
    run.s.i(iw::kFdVariable) = 0;
    run.s.r(rw::kFdLargestStep) = 0.0;
    return next_variable(run);
  }
  if (run.p.irevcm < 0) {
    stop = run.p.irevcm;
    return false;
  }
  const int j = run.s.i(iw::kFdVariable);
  take_values(run);
  if (run.s.i(iw::kFdAwaiting) == request::kConstraints && gradient_missing(run, j)) {
    run.s.i(iw::kFdAwaiting) = request::kObjective;
    request_objective(run, kValuesMode);
    return true;
  }
  if (second_order(run) && run.s.i(iw::kFdStep) == kFirstPoint) {
    run.s.i(iw::kFdStep) = kSecondPoint;
    return request_at(run, j, 2.0);
  }
  form_column(run, j);
  return next_variable(run);
}

}  // namespace zun
