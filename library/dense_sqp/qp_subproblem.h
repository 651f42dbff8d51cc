// The QP subproblem of a major iteration and the measures the iteration takes from it.
#pragma once

#include <vector>

#include "library/dense_sqp/dense_run.h"

namespace zun {

struct QpSubproblemResult {
  int inform = 0;          // exit code of the QP/LS solver (of the last solve)
  int iterations = 0;      // minor iterations of both solves
  bool feasible = true;    // the subproblem's constraints could be satisfied
  int bounds = 0;          // bounds, linear and nonlinear rows in the final working set
  int linear = 0;
  int nonlinear = 0;
  int null_dimension = 0;
  double reduced_gradient_norm = 0.0;  // ||Z'g||
  double condition_hz = 0.0;           // condition estimate of the reduced Hessian
  double condition_t = 0.0;            // condition estimate of T
  std::vector<double> t_diagonal;      // the diagonal of T, one value per working row
};

// Solves  min g'p + 0.5 p'R'R p  subject to the bounds, the linear rows and the linearised
// nonlinear rows, all shifted by the current point, starting from the working set that ISTATE
// holds.  R (natural variables) is worked in the working set's basis and restored from a copy;
// the basis stays recorded (Q in the QP/LS work area of WORK, the variable order in IWORK, the
// unit-Q flag and free count in the store) until the next subproblem.  DIRECTION (N): p.  The
// QP multipliers go to the solver's multiplier array (N + NCLIN + NCNLN, unscaled), the
// nonlinear ones signed by their status.  When the first solve fails with general rows flagged
// violated, every general row, equalities included, leaves the working set and the subproblem
// is solved once more.
QpSubproblemResult solve_dense_qp_subproblem(DenseRun& run, Words<double> direction);

// Takes R from the natural variables to the basis of the last QP subproblem's working set (R'R
// unchanged in that basis); nothing when no subproblem was solved.
void express_hessian_in_qp_basis(DenseRun& run);

}  // namespace zun
