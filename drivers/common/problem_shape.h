// What a driver reads of an AMPL problem from the ASL record: sizes, linear-term lists, bounds,
// start point and starting duals, in the ASL's 0-based numbering, with the check that a corrupt
// .nl file which the ASL read without complaint cannot pass.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "drivers/common/nl_segment_walk.h"

namespace zun_driver {

// One element of a constraint's or the objective's linear-term list: the 0-based variable
// number and its coefficient (a placeholder for variables that enter nonlinearly).
struct Term {
  int var = 0;
  double coef = 0.0;
};

struct ProblemShape {
  int var_count = 0;
  int nonlinear_rows = 0;  // nonlinear constraints: rows 0..nonlinear_rows-1 (ASL nlc)
  // Variables that enter the constraints (ASL nlvc) and the objectives (ASL nlvo)
  // nonlinearly, numbered first.
  int nonlinear_jacobian_vars = 0;
  int nonlinear_objective_vars = 0;
  std::vector<std::vector<Term>> rows;  // per constraint, in the ASL's list order
  bool has_objective = false;
  std::vector<Term> objective;               // the chosen objective's terms
  std::vector<double> var_lower, var_upper;  // one per variable
  std::vector<double> row_lower, row_upper;  // one per constraint
  std::vector<double> start;                 // one start value per variable
  std::vector<double> duals;                 // one starting dual per constraint
};

// True when the shape describes a problem the solver arrays can be built from: the nonlinear
// counts within 0..(rows or variables), every term's variable among the variables, and one
// bound, start and dual value per variable or row.
bool is_consistent(const ProblemShape& shape);

// The problem of the record `asl` after fg_read (bounds, start point and starting duals read
// into the arrays the driver allocated), with objective index `objective` (0-based, -1 none).
// Nothing when the record's counts or linear-term lists are not consistent (a corrupt .nl
// file).  Throws std::bad_alloc when memory runs out.
std::optional<ProblemShape> read_problem_shape(int objective);

// The first number of `shape` that no solve can use, named as "the lower bound of variable 3"
// (1-based): a NaN among the variable bounds, row bounds and start values (infinite bounds are
// the format's own), or a linear coefficient of a row or of the objective (objective index
// `objective`, 0-based) that is not finite; nothing when there is none.
std::optional<UnusableNumber> first_unusable(const ProblemShape& shape, int objective);

// Counts as nonlinear what `bodies` found declared linear with a body that the linear terms leave
// out (a row's body other than the constant 0, an objective's body other than a finite
// constant), so
// that the ASL evaluates it: every row up to the last such row, with every variable a
// nonlinear Jacobian variable, and, when the objective `objective` (0-based, -1 none) is such,
// every variable a nonlinear objective variable.  A shape without such bodies is unchanged.
void widen_declared_linear(ProblemShape& shape, const NlBodies& bodies, int objective);

}  // namespace zun_driver
