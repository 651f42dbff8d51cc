// How far a point is from satisfying the nonlinear rows.
#pragma once

#include "library/sparse_sqp/problem_matrix.h"

namespace zun {

struct NonlinearViolation {
  int worst_row = 1;      // the first row with the largest violation (1 when none)
  double largest = 0.0;   // the largest bound violation of a nonlinear row
  double relative = 0.0;  // largest / (x_norm + 1): the violation measure
  double x_norm = 0.0;    // sum |XV(j)|, j <= N + NCNLN, over sqrt(N + NCNLN)
};

// C(1..NCNLN) := F(1..NCNLN) plus the linear terms of columns NJNLN+1..N (the full row
// activities); the violations are measured against BL, BU (N + M) at positions N + i.
// TOLERANCE is handed to the matrix product (terms of smaller multiplier are skipped).
NonlinearViolation nonlinear_violation(int ncnln,
                                       int njnln,
                                       double tolerance,
                                       const ProblemMatrix& a,
                                       const double* bl,
                                       const double* bu,
                                       const double* f,
                                       const double* xv,
                                       double* c);

}  // namespace zun
