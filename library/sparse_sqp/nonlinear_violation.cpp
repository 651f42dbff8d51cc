// Nonlinear constraint violation.
#include "library/sparse_sqp/nonlinear_violation.h"

#include <algorithm>
#include <cmath>

#include "library/sparse_qp/sparse_multiply.h"

namespace zun {

NonlinearViolation nonlinear_violation(int ncnln,
                                       int njnln,
                                       double tolerance,
                                       const ProblemMatrix& a,
                                       const double* bl,
                                       const double* bu,
                                       const double* f,
                                       const double* xv,
                                       double* c) {
  NonlinearViolation v;
  const int n = a.n;
  if (ncnln >= 1) {
    std::copy(f, f + ncnln, c);
    if (n > njnln) {
      const double one = 1.0;
      const int columns = n - njnln;
      sparse_multiply("No transpose", tolerance, a.m, a.n, a.a, a.ha, a.ka + njnln, one, xv + njnln,
                      columns, one, c, ncnln, 12);
    }
    for (int i = 1; i <= ncnln; ++i) {
      const double below = bl[n + i - 1] - c[i - 1];
      const double above = c[i - 1] - bu[n + i - 1];
      const double violation = std::max({below, above, 0.0});
      if (violation > v.largest) {
        v.largest = violation;
        v.worst_row = i;
      }
    }
  }
  const int count = n + std::max(ncnln, 0);
  double sum = 0.0;
  for (int j = 0; j < count; ++j) sum += std::fabs(xv[j]);
  v.x_norm = count > 0 ? sum / std::sqrt(static_cast<double>(count)) : 0.0;
  v.relative = v.largest / (v.x_norm + 1.0);
  return v;
}

}  // namespace zun
