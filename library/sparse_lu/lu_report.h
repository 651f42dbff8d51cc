// Messages of the sparse LU.  The kernels compute inform codes and statistics words; these
// routines print them on the print unit (LuIntegerWords 1) when the print level allows.
#pragma once

#include "library/sparse_lu/lu_internal.h"

namespace zun::lu {

// Details of an entry that PRUNEN rejected (inform 3 or 4).
struct BadEntry {
  int position = 0;
  int row = 0;
  int column = 0;
};

// " PRUNEL.   File compressed from ... to ..." (the caller tests the print level).
void report_compression(Array1<int> luparm, int old_end, int new_end);
// One line per pivot of the elimination (the caller tests the print level).
void report_pivot(Array1<int> luparm, int nrowu, int ibest, int jbest, int len_l, int len_u);
// The PRUNEN messages of inform 1, 3, 4, 7 and 8 at print level 0 and above.
void report_factorization(
    Array1<int> luparm, Array1<double> parmlu, int n, int lena, const BadEntry& bad);
// The PRUNEP messages of inform -1, 7 and 8 at print level 0 and above.
void report_replacement(
    Array1<int> luparm, int m, int n, int jrep, double diag, int lena, bool rank_was_full);

}  // namespace zun::lu
