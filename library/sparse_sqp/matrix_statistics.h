// Row types of the constraint matrix and the matrix statistics listing.
#pragma once

#include <string_view>

#include "library/sparse_sqp/problem_matrix.h"

namespace zun {

namespace row_type {
constexpr int kEquality = 0;
constexpr int kInequality = 1;
constexpr int kFree = 2;
}  // namespace row_type

// ROW_TYPES(M) := the type of each row from its bounds BL, BU (N + M; a bound is infinite at
// or beyond 0.9 times the infinite bound size Z(70)).  MODE "Statistics too" (first letter
// S) also prints the statistics of rows, columns and elements on the monitoring unit IZ(13)
// when it is open and the print level IZ(92) is 20 or more; any other mode only classifies.
void print_matrix_statistics(std::string_view mode,
                             const ProblemMatrix& a,
                             const double* bl,
                             const double* bu,
                             int* row_types,
                             const int* iz,
                             const double* z);

}  // namespace zun
