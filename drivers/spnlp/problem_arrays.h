// The column-compressed problem that the driver hands to SPNLPF, built from the ASL's view of
// an AMPL problem: nonlinear rows first, then linear rows, then (when the objective has a
// linear term beyond its nonlinear variables) the objective's row; a problem without rows
// gets one dummy free row.
#pragma once

#include <cstdint>
#include <vector>

#include "drivers/common/problem_shape.h"

namespace spnlp {

// The driver's view of the problem, shared with the dense driver.
using zun_driver::is_consistent;
using zun_driver::ProblemShape;
using zun_driver::read_problem_shape;
using zun_driver::Term;

// The arguments of SPNLPF that describe the problem, with 1-based row numbers and column
// starts.  Every array holds at least one element.
struct SparseArrays {
  int n = 0;
  int m = 0;
  int ncnln = 0;
  int nonln = 0;
  int njnln = 0;
  int iobj = 0;  // M when the objective row is added, -1 for the dummy row, else 0
  int nnz = 0;
  int ngcon = 0;               // nonlinear Jacobian elements (rows 1..ncnln, columns 1..njnln)
  std::vector<double> aval;    // nnz values by columns
  std::vector<int> ha;         // nnz row numbers, 1-based
  std::vector<int> ka;         // n+1 column starts, 1-based, ka[0] = 1, ka[n] = nnz+1
  std::vector<double> bl, bu;  // n+m bounds, variables then rows
  std::vector<double> xv;      // n+m values, the start point in the first n
  std::vector<int> istate;     // n+m zeros
  std::vector<double> mult;    // n+m multipliers, the starting duals of the nonlinear rows
  // iusr[0] the objective index (-1 none); iusr[c], c = 1..ngcon, the 0-based position in
  // gCon of the c-th nonlinear Jacobian element in row-by-row walk order.
  std::vector<int> iusr;
  std::vector<double> rusr;  // 2n scratch reals for the evaluation routines
};

// The bound that stands for "no bound" on the objective row and the dummy row.
constexpr double kFreeRowBound = 1.0e20;

// Builds the arrays of a consistent shape.  Throws std::bad_alloc when an array cannot be allocated
// or a count does not fit the 32-bit arguments of SPNLPF.
SparseArrays build_sparse_arrays(const ProblemShape& shape);

// True when the objective's row is part of the matrix: there is an objective with a linear
// term in a variable beyond the first nonlinear objective variables.
bool needs_objective_row(const ProblemShape& shape);

}  // namespace spnlp
