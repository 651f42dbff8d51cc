// The exit message of a sparse run: maps the internal end class (or a user stop code) to the
// public exit code, prints the exit lines on the print and error units and derives the status
// that the final report writes to the monitoring file.
#pragma once

#include <string_view>

#include "library/support/failure.h"

namespace zun {

struct ExitSituation {
  bool feasible_point_problem = false;  // success then reads "Feasible point found."
  double reduced_gradient = 0.0;        // above 0.1 adds the reduced-gradient warning
  double objective_reached = 0.0;       // tested against the unbounded-objective bound
  double unbounded_objective = 1e15;    // the Unbounded Objective option
  double final_objective = 0.0;
  int major_iterations = 0;
  int minor_iterations = 0;
  int nonlinear_infeasible = 0;  // nonzero: the run minimised the nonlinear infeasibilities
  double sum_infeasibilities = 0.0;
  int minor_iteration_limit = 0;
  bool unbounded = false;  // an unbounded subproblem or step was met
  int iterations = 0;
  int iteration_limit = 0;
  int stop_code = 0;                       // negative MODE of a user routine, else 0
  bool nonlinear_infeasible_kind = false;  // end class 1: the nonlinear rows are infeasible
};

// IFAIL in: the end class; out: the exit code.  IZ: the workspace integer words (print unit,
// major iteration limit, print level, error unit).  ifail_on_entry: the caller's failure mode.
// routine: the 6-character routine code.  monitoring_status out: the monitoring-file status.
void print_exit_message(const ExitSituation& situation,
                        int& ifail,
                        const int* iz,
                        int ifail_on_entry,
                        std::string_view routine,
                        int& monitoring_status);

}  // namespace zun
