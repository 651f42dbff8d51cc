// Rank and singularity report of the sparse LU factors (PRUNEK).
#pragma once

#include "library/sparse_lu/lu_internal.h"

namespace zun::lu {

// With the factors in their final layout (nrank U rows at the front, lenL L entries at the
// end): Lmax, Umax, DUmax, DUmin and, for each column j, w(j) := the largest magnitude in
// column j of U, negated when the column is singular (beyond the rank, or a diagonal
// <= Utol1 or <= Utol2 w(j)).  Sets nsing, jsing, jumin.  Returns inform 1 when singular.
int PRUNEK(const Factors& f, int nrank, int len_l, Array1<double> w);

}  // namespace zun::lu
