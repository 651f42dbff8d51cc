// Product of the constraint matrix, stored by columns, or of its transpose with a vector.
#pragma once

namespace zun {

// trans beginning with "N": y(1..ny) := beta y + alpha A x over columns 1..nx of A, using only
// the entries whose row is <= ny; otherwise y(1..ny) := beta y + alpha A' x over columns
// 1..ny, using only the entries whose row is <= nx.  A: values and 1-based row indices of the
// entries, column j at starts(j)..starts(j+1)-1 (starts 1-based).  Terms whose multiplier has
// magnitude <= tol are skipped in the "N" product.  beta = 0 clears y first, whatever it held.
// size1 and size2 are not read.
void sparse_multiply(const char* trans,
                     const double& tol,
                     const int& size1,
                     const int& size2,
                     const double* values,
                     const int* rows,
                     const int* starts,
                     const double& alpha,
                     const double* x,
                     const int& nx,
                     const double& beta,
                     double* y,
                     const int& ny,
                     int trans_len);

}  // namespace zun
