// The body of one sparse solve, called by the top level once the inputs are checked, the
// options are resolved and the workspace is planned.
#pragma once

#include <string_view>

#include "library/sparse_sqp/sparse_problem.h"
#include "library/sparse_sqp/user_routines.h"

namespace zun {

// Everything the solve body receives beside the workspace (which is p.iz / p.z, laid out).
struct SparseRun {
  SparseProblem& problem;
  int objective_row;  // IOBJ': the objective row, 0 for none
  bool dummy_row;     // the objective row is the dummy free row (IOBJ = -1)
  UserRoutines user;
  int ifail_on_entry;        // the caller's failure mode
  std::string_view routine;  // "SPNLPF"
};

// Runs the solve stages and the exit message; returns the exit code (a SparseInform value or
// a negative stop code).
int run_sparse_sqp(SparseRun& run);

}  // namespace zun
