// The objective of a QP subproblem and its gradient at a point, through the Hessian-product
// routine.
#include <algorithm>

#include "library/sparse_qp/reduced_hessian.h"
#include "library/sparse_qp/sparse_qp.h"

namespace zun {

void hessian_product(const QpRoutines& routines,
                     double sign,
                     int m,
                     int n,
                     int nnh,
                     int& products,
                     const ColumnMatrix& a,
                     const double* v,
                     double* hv,
                     int* iz,
                     int leniz,
                     double* z,
                     int lenz) {
  int status = 0;
  const int nnz = a.starts[n] - 1;
  const int nka = n + 1;
  routines.adapter(routines.hessian_product, routines.routine_1, routines.routine_2, sign, m, n,
                   nnh, nnz, nka, a.values, a.rows, a.starts, v, hv, kHessianProductMode.data(),
                   status, iz, leniz, z, lenz, routines.iusr, routines.rusr);
  ++products;
}

void qp_objective(const QpRoutines& routines,
                  double sign,
                  int base_point,
                  int m,
                  int n,
                  int nnobj,
                  int l,
                  int nnh,
                  int& products,
                  double& q,
                  const ColumnMatrix& a,
                  const double* c,
                  double* g,
                  const double* x0,
                  const double* x,
                  double* y,
                  int* iz,
                  int leniz,
                  double* z,
                  int lenz) {
  if (nnobj < 1) return;
  for (int j = 0; j < nnobj; ++j) y[j] = base_point > 0 ? x[j] - x0[j] : x[j];
  q = 0.0;
  if (nnh >= 1) {
    hessian_product(routines, sign, m, n, nnh, products, a, y, g, iz, leniz, z, lenz);
    double yhy = 0.0;
    for (int j = 0; j < nnh; ++j) yhy += y[j] * g[j];
    q = 0.5 * yhy;
  }
  for (int j = std::max(nnh, 0); j < nnobj; ++j) g[j] = 0.0;
  for (int j = 0; j < l; ++j) {
    q += c[j] * y[j];
    g[j] += c[j];
  }
}

}  // namespace zun
