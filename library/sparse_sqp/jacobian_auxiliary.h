// The problem-data auxiliary: keeps the nonlinear block of the matrix (rows 1..NCNLN of
// columns 1..NJNLN, the leading elements of each column) and the user's Jacobian array gCon
// in step, and forms the constant part of the linearised nonlinear rows.
#pragma once

#include <string_view>

#include "library/sparse_sqp/problem_matrix.h"

namespace zun {

// The arrays of the nonlinear block.
struct JacobianArrays {
  int ncnln = 0;
  int njnln = 0;
  int ng = 0;                // nonlinear Jacobian elements
  int derivative_level = 0;  // above 1: the constraint gradients are supplied
  double* gcon = nullptr;    // ng
  double* saved = nullptr;   // ng: the constant elements found in the matrix
  double* second = nullptr;  // ng: the second Jacobian copy
  int* pointers = nullptr;   // NJNLN + 1: start of column j in gCon (1-based)
};

// MODE by its first letter: "Assemble gCon column pointers", "Load constant Jacobian
// elements", "Fake" (the nonlinear block := repeatable uniform values in [0, 1]) or "Restore
// constants".  Returns 0 (the auxiliary never fails).
int jacobian_auxiliary(std::string_view mode, ProblemMatrix& a, const JacobianArrays& j);

// The arrays of the workspace for the run's front end: NG IZ(20), NCNLN IZ(21), NJNLN
// IZ(22), derivative level IZ(71) and the positions of gCon, the saved constants, the second
// copy and the pointers.
JacobianArrays jacobian_arrays(int* iz, double* z);

// The front end of the run: calls jacobian_auxiliary on the arrays of the workspace.
int call_jacobian_auxiliary(std::string_view mode, ProblemMatrix& a, int* iz, double* z);

// The nonlinear block of the matrix := gCon, in the order of the walk over columns 1..NJNLN.
void copy_jacobian_values(ProblemMatrix& a, const JacobianArrays& j);

// copy_jacobian_values, then linear part(1..NCNLN) := J x - F(x) with J the block just
// loaded, F the constraint values and x = XV(1..NJNLN).
void load_nonlinear_rows(ProblemMatrix& a,
                         const JacobianArrays& j,
                         const double* fcon,
                         const double* xv,
                         double tolerance,
                         double* linear_part);

}  // namespace zun
