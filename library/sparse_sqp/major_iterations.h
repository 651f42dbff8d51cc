// The SQP major iterations of a sparse run.
#pragma once

#include "library/sparse_sqp/evaluator.h"
#include "library/sparse_sqp/run_state.h"

namespace zun {

// The problem that one pass of the major iterations solves.
struct MajorProblem {
  bool feasible_point = false;  // minimise half the squares of the first NJNLN variables
  int iobj = 0;                 // the objective row, 0 for none
  int nonln = 0;                // nonlinear objective variables
  int nnl = 0;                  // nonlinear variables (the order of the Hessian)
  int sign = 1;                 // 1 minimise, -1 maximise
  double elastic_weight_option = 1.0;
};

// Runs the major iterations from the point XV with the functions and derivatives of that point
// in the workspace; returns the end class (0 converged, 2, 3, 4, 5, 6, 9, -1, or a basis
// factorisation failure).  The run state receives the counts, the merit value, the penalty
// norm, the dual infeasibility and the QP multipliers.
int run_major_iterations(RunState& st, const Evaluator& ev, const MajorProblem& pr);

}  // namespace zun
