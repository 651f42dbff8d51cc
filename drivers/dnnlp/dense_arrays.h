// The dense problem that the driver hands to DNNLPF, built from the ASL's view of an AMPL
// problem: bounds, states and multipliers over the variables, then the linear constraints,
// then the nonlinear ones (the ASL numbers the nonlinear constraints first); matrices stored
// by columns.
#pragma once

#include <cstdint>
#include <vector>

#include "drivers/common/problem_shape.h"

namespace dnnlp {

using zun_driver::ProblemShape;

// The arguments of DNNLPF that the driver allocates, and the gradient scratch.  Every array
// holds at least one element.
struct DenseArrays {
  int n = 0;
  int nclin = 0;
  int ncnln = 0;
  int lda = 1;                 // max(1, nclin)
  int ldcj = 1;                // max(1, ncnln)
  int ldr = 0;                 // n
  std::vector<double> a;       // nclin*n + 1: linear constraint k, variable j at (k, j)
  std::vector<double> bl, bu;  // n + nclin + ncnln bounds
  std::vector<int> istate;     // n + nclin + ncnln zeros
  std::vector<double> c;       // ncnln + 1 constraint values
  std::vector<double> jacnl;   // ncnln*n + 1 Jacobian elements
  std::vector<double> mult;    // n + nclin + ncnln multipliers, zero at the start
  std::vector<double> objg;    // n objective gradient elements
  std::vector<double> r;       // n*n Hessian factor
  std::vector<double> x;       // n, the start point
  std::vector<int> needrow;    // ncnln + 1 request flags, set by the solver
  std::vector<int> iwork;      // leniw
  std::vector<double> work;    // lenw
  int leniw = 0;
  int lenw = 0;
  std::vector<double> scratch;  // n: one gradient from the ASL
};

// The lengths of every array, computed in 64 bits.
struct DenseLengths {
  std::int64_t a, rows, c, jacnl, r, leniw, lenw;
};
DenseLengths dense_lengths(std::int64_t n, std::int64_t nclin, std::int64_t ncnln);

// True when every length fits the 32-bit integers of DNNLPF.
bool fits_32_bits(const DenseLengths& lengths);

// Builds the arrays of a consistent shape.  Throws std::bad_alloc, before allocating
// anything, when a length does not fit 32 bits, and when an array cannot be allocated.
DenseArrays build_dense_arrays(const ProblemShape& shape);

// The row multipliers in the ASL's row order (nonlinear rows first): duals(k) := MULT(n+nclin+k)
// for the nonlinear rows, MULT(n+k-ncnln) for the linear ones; duals holds nclin + ncnln values.
void copy_row_multipliers(const DenseArrays& arrays, double* duals);

}  // namespace dnnlp
