// The state of one sparse run: the run's own copies of the matrix and the bounds, the counts,
// the flags and counters that the stages share, and the positions of the workspace arrays.
#pragma once

#include <vector>

#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_sqp/problem_matrix.h"
#include "library/sparse_sqp/solve_driver.h"

namespace zun {

struct RunState {
  explicit RunState(SparseRun& r);
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;

  SparseRun& run;
  SparseProblem& p;
  int* iz;
  double* z;

  // The run's own copies: the caller's AVAL, BL and BU are never written.
  std::vector<double> aval;
  std::vector<double> bl;
  std::vector<double> bu;
  std::vector<double> saved_bl;  // the bounds as scaled before the linear phases
  std::vector<double> saved_bu;
  ProblemMatrix matrix;

  int n = 0;
  int m = 0;
  int nb = 0;
  int ncnln = 0;  // the nonlinear counts after Check
  int njnln = 0;
  int nonln = 0;
  int nnl = 0;
  int nlin = 0;
  int nlin_eq = 0;
  int nlin_ineq = 0;

  int end_class = 0;
  int stop_code = 0;
  int iterations = 0;
  int major_iterations = 0;
  int minor_iterations = 0;  // of the last major iteration
  int degenerate_steps = 0;
  int nonlinear_infeasible = 0;
  bool feasible_point = false;
  bool crash_request = true;
  bool linear_feasible = false;
  bool unbounded = false;
  bool nonlinear_handled = false;  // the nonlinear rows took part in the major iterations
  double elastic_weight = 1.0;
  double merit = 0.0;
  double penalty = 0.0;
  double violation_limit = 0.0;
  double reduced_gradient = 0.0;  // the last dual infeasibility of an optimality test
  double objective_constant = 0.0;
  double linear_objective = 0.0;
  double fobj = 0.0;
  bool scaled = false;            // the problem is held in scaled units
  bool nonlinear_scaled = false;  // the nonlinear values and Jacobians too
  double x_norm = 0.0;

  // Arrays of the workspace.
  double* scales() const;
  double* pi() const;  // M row multipliers
  double* start_point() const;
  double* constraint_values() const;
  double* objective_gradient() const;
  int* row_types() const;
  int* allowance() const;
  int* bs_index() const;

  // The objective as the user sees it, in the user's units: the linear part (the constant
  // and the objective row) and fObj; the value printed as the final objective.
  double linear_objective_value() const;
  double user_objective() const { return linear_objective_value() + fobj; }

  // The matrix as the QP layer sees it.
  ColumnMatrix columns() const { return {aval.data(), p.ha, p.ka}; }
  int option(int word) const { return iz[word - 1]; }
  double real(int word) const { return z[word - 1]; }
  int& option_word(int word) const { return iz[word - 1]; }
};

// The matrix, bounds, point and row multipliers into the scaled units with new scale factors
// (of the linear part only under scale option 1).
void scale_problem(RunState& st);

// The problem into the scaled units with new scale factors over all rows (and the nonlinear
// values and Jacobians when there are nonlinear rows), when the scale option is at least 1.
void rescale_problem(RunState& st);

// The problem back into the user's units, when it is held scaled.
void unscale_problem(RunState& st);

// The stages from the derivative checks (for a problem with nonlinear variables) or from the
// passes of the major iterations (for one without) to the end of the passes.  Returns the end
// class.
int run_major_stages(RunState& st);

}  // namespace zun
