// Scaling of a sparse problem: scale factors by geometric-mean passes over the matrix, and
// the move of the matrix, bounds, point and row multipliers into the scaled problem and
// back.  S (N + M): column scales c(j), then row scales r(i); x(j) = c(j) * scaled x(j),
// a(i,j) = r(i) * scaled a(i,j) / c(j), slack(i) = r(i) * scaled slack(i), and a scaled row
// multiplier is r(i) times the unscaled one.
#pragma once

#include <string_view>

#include "library/sparse_sqp/problem_matrix.h"

namespace zun {

// Which part of the problem compute_scales scales, and the data it reads.
struct ScaleRequest {
  int print_level = 0;  // the statistics print under the monitoring unit at 20 or more
  int nnl = 0;          // nonlinear variables max(NJNLN, NONLN)
  int ncnln = 0;
  int njnln = 0;
  const int* row_types = nullptr;  // M: 0 equality, 1 inequality, 2 free
  const double* bl = nullptr;      // N + M
  const double* bu = nullptr;      // N + M
};

// S(N + M) out.  An element at most eps^0.67 times the largest of its row (over the columns
// whose bounds differ) shapes no scale.  work_min, work_max: M reals each.  Reads the scale option IZ(75), the
// monitoring unit IZ(13), the scale tolerance Z(92), the infinite bound size Z(70) and the
// minor feasibility tolerance Z(56).
void compute_scales(const ScaleRequest& request,
                    const ProblemMatrix& a,
                    double* s,
                    double* work_min,
                    double* work_max,
                    const int* iz,
                    const double* z);

// The arrays that apply_scales moves between the problem and the scaled problem.
struct ScaledArrays {
  double* bl = nullptr;              // N + M
  double* bu = nullptr;              // N + M
  const double* bl_given = nullptr;  // N + M: the bounds as the caller gave them, which
  const double* bu_given = nullptr;  //   decide whether a bound is scaled
  double* pi = nullptr;              // M row multipliers
  double* x = nullptr;               // N + M
};

// MODE "Scale" (first letter S) or "Unscale".  A bound is scaled only when its given value
// lies strictly inside +-0.1 * infinite_bound.  objective_scale := S(N + objective_row) on
// "Scale" when objective_row > 0, and 1.0 on "Unscale".
void apply_scales(std::string_view mode,
                  int objective_row,
                  double infinite_bound,
                  double& objective_scale,
                  ProblemMatrix& a,
                  const double* s,
                  const ScaledArrays& arrays);

// y(i) := y(i) / x(i) over n strided elements; incx = 0 divides every y(i) by x(1).
void divide_by_vector(int n, const double* x, int incx, double* y, int incy);

}  // namespace zun
