// Product of a column-stored sparse matrix or its transpose with a vector.
#include "library/sparse_qp/sparse_multiply.h"

#include <cmath>
#include <cstdint>

namespace zun {
namespace {

// Column j (1-based) of the matrix: entries [first, last) of the 0-based arrays.
struct ColumnRange {
  std::int64_t first;
  std::int64_t last;
};

ColumnRange column_range(const int* starts, int j) {
  return {static_cast<std::int64_t>(starts[j - 1]) - 1, static_cast<std::int64_t>(starts[j]) - 1};
}

// y += A x (t = scale * x(j) per column, skipped when |t| <= tol); rows above ny are ignored.
void add_product(double scale,
                 double tol,
                 const double* values,
                 const int* rows,
                 const int* starts,
                 const double* x,
                 int nx,
                 double* y,
                 int ny) {
  for (int j = 1; j <= nx; ++j) {
    const double t = scale * x[j - 1];
    if (std::abs(t) <= tol) continue;
    const ColumnRange c = column_range(starts, j);
    for (std::int64_t l = c.first; l < c.last; ++l) {
      const int i = rows[l];
      if (i <= ny) y[i - 1] += values[l] * t;
    }
  }
}

// Sum over column j of a(l) x(row) for the rows <= nx.
double column_dot(
    const double* values, const int* rows, const int* starts, int j, const double* x, int nx) {
  double sum = 0.0;
  const ColumnRange c = column_range(starts, j);
  for (std::int64_t l = c.first; l < c.last; ++l) {
    const int i = rows[l];
    if (i <= nx) sum += values[l] * x[i - 1];
  }
  return sum;
}

}  // namespace

void sparse_multiply(const char* trans,
                     const double& tol,
                     const int& /*size1*/,
                     const int& /*size2*/,
                     const double* values,
                     const int* rows,
                     const int* starts,
                     const double& alpha,
                     const double* x,
                     const int& nx,
                     const double& beta,
                     double* y,
                     const int& ny,
                     int trans_len) {
  if (alpha == 0.0 && beta == 1.0) return;
  if (beta != 1.0) {
    for (int i = 0; i < ny; ++i) y[i] = (beta == 0.0) ? 0.0 : beta * y[i];
  }
  if (alpha == 0.0) return;

  const bool normal = trans_len > 0 && trans[0] == 'N';
  if (normal) {
    // With alpha = -1 the multiplier is -x(j) exactly, so the threshold applies to |x(j)|.
    add_product(alpha, tol, values, rows, starts, x, nx, y, ny);
    return;
  }
  for (int j = 1; j <= ny; ++j) {
    const double sum = column_dot(values, rows, starts, j, x, nx);
    if (alpha == -1.0) {
      y[j - 1] -= sum;
    } else {
      y[j - 1] += alpha * sum;
    }
  }
}

}  // namespace zun
