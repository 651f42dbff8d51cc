// The constraint matrix of a sparse run by columns: NNZ values A, 1-based row numbers HA and
// 1-based column starts KA (N + 1 entries, KA(1) = 1, KA(N+1) = NNZ + 1).  Within a column
// the nonlinear rows come first.
#pragma once

#include <cstdint>

namespace zun {

struct ProblemMatrix {
  int n = 0;
  int m = 0;
  int nnz = 0;
  double* a = nullptr;  // the run's own copy of AVAL
  const int* ha = nullptr;
  const int* ka = nullptr;

  // Entries of column j (1-based) are [first(j), last(j)) in 0-based positions.
  std::int64_t first(int j) const { return static_cast<std::int64_t>(ka[j - 1]) - 1; }
  std::int64_t last(int j) const { return static_cast<std::int64_t>(ka[j]) - 1; }
};

}  // namespace zun
