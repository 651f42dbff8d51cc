// Products with a list of columns of [A -I] (the superbasic columns S, for instance).
#include <cmath>

#include "library/sparse_qp/sparse_qp.h"

namespace zun {

void multiply_columns(std::string_view trans,
                      double tol,
                      int m,
                      int n,
                      int count,
                      const int* list,
                      const ColumnMatrix& a,
                      double alpha,
                      const double* x,
                      double beta,
                      double* y) {
  const bool transpose = !trans.empty() && trans.front() != 'N' && trans.front() != 'n';
  const int ny = transpose ? count : m;
  if (beta == 0.0) {
    for (int i = 0; i < ny; ++i) y[i] = 0.0;
  } else if (beta != 1.0) {
    for (int i = 0; i < ny; ++i) y[i] *= beta;
  }
  if (alpha == 0.0) return;
  for (int k = 0; k < count; ++k) {
    const int j = list[k];
    if (!transpose) {
      const double t = alpha * x[k];
      if (std::abs(x[k]) <= tol) continue;
      if (j > n) {
        y[j - n - 1] -= t;
        continue;
      }
      for (int l = a.starts[j - 1]; l < a.starts[j]; ++l) y[a.rows[l - 1] - 1] += t * a.values[l - 1];
      continue;
    }
    double s = 0.0;
    if (j > n) {
      s = -x[j - n - 1];
    } else {
      for (int l = a.starts[j - 1]; l < a.starts[j]; ++l) s += x[a.rows[l - 1] - 1] * a.values[l - 1];
    }
    y[k] += alpha * s;
  }
}

}  // namespace zun
