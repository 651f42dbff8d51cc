// The derivative phase of the dense solver and its resumable parts: which derivatives the
// caller supplies, the derivative checks, the finite-difference intervals and the estimates
// of the missing elements, each run one reverse-communication request at a time.
#pragma once

#include "library/dense_sqp/dense_run.h"
#include "library/dense_sqp/interval_search.h"

namespace zun {

// The value that marks a gradient or Jacobian element the caller has not supplied.
constexpr double kNotSupplied = -11111.0;

// Runs the derivative phase from its state (integer word 499; 0 starts it).  Returns true when
// a request is pending in IREVCM; false when the phase has ended, with INFORM 0 (all well),
// positive (large derivative errors) or negative (the caller's stop).
bool run_derivative_phase(DenseRun& run, int& inform);

// Estimates the missing gradient and Jacobian elements at the current point by differences,
// one variable at a time.  START begins a new pass.  Returns true when a request is pending;
// false at the end, with STOP the caller's negative IREVCM or 0.
bool step_difference_gradients(DenseRun& run, bool start, int& stop);

// Chooses the finite-difference interval of each variable with a missing element by the
// interval search, assigning constant elements once.  Same protocol as above.
bool compute_difference_intervals(DenseRun& run, bool start, int& stop);

// The derivative checks.  RESULT: 1 when large errors were found, 0 otherwise, negative for
// the caller's stop.  Same protocol as above.
bool verify_constraint_jacobian(DenseRun& run, bool start, int& result);
bool verify_objective_gradient(DenseRun& run, bool start, int& result);

// Presets the caller's JACNL (all NCNLN x N elements) or OBJG to kNotSupplied.
void preset_jacobian(const DenseRun& run);
void preset_gradient(const DenseRun& run);

// The gradient elements that the caller left unset in its last answer, marked 1.0 in
// kMissingGradientMarks (N) from the solver's copy of the gradient, which holds kNotSupplied
// there until they are estimated; and those elements unset again in the solver's copy, to be
// estimated afresh at the same point.
void record_missing_gradient(const DenseRun& run);
void unset_missing_gradient(const DenseRun& run);

// The same for the Jacobian elements, marked in the spare words of WORK
// (dense_spare_jacobian_start) when WORK has room for NCNLN x N marks; without room nothing
// is recorded and unset_missing_jacobian returns false.
void record_missing_jacobian(const DenseRun& run);
bool unset_missing_jacobian(const DenseRun& run);

// Issues a request at the point X: constraints (MODE + 4) for the rows flagged in the
// solver's NEEDROW copy, or the objective (MODE + 1).
void request_constraints(const DenseRun& run, int mode);
void request_objective(const DenseRun& run, int mode);

// Asks for the value of one function (ROW 0: the objective; k > 0: constraint row k alone)
// at the current point with variable j moved by OFFSET; probe_value reads the answer.
void request_probe(DenseRun& run, int j, int row, double offset);
double probe_value(DenseRun& run, int row);

// The state of the interval search between requests (a block of real store words).
IntervalSearch load_interval_search(const DenseRun& run);
void save_interval_search(const DenseRun& run, const IntervalSearch& s);

// The step h = interval x (|x(j)| + 1) toward the wider side of the bounds of variable j.
double difference_step(const DenseRun& run, int j, double interval);

}  // namespace zun
