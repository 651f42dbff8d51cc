// Compression of the row or column file of the sparse LU.
#include "library/sparse_lu/lu_internal.h"
#include "library/sparse_lu/lu_report.h"

namespace zun::lu {

void PRUNEL(int lists,
            bool move_reals,
            Array1<int> luparm,
            int& end,
            Array1<double> a,
            Array1<int> ind,
            Array1<int> len,
            Array1<int> loc) {
  // Tag the last entry of each list with its negated list number; its index waits in len.
  for (int list = 1; list <= lists; ++list) {
    const int length = len[list];
    if (length <= 0) continue;
    const int last = loc[list] + length - 1;
    len[list] = ind[last];
    ind[last] = -list;
  }
  const int old_end = end;
  int k = 0;
  int list_first = 1;
  for (int l = 1; l <= old_end; ++l) {
    const int index = ind[l];
    if (index == 0) continue;
    ++k;
    if (move_reals) a[k] = a[l];
    if (index > 0) {
      ind[k] = index;
      continue;
    }
    const int list = -index;
    ind[k] = len[list];
    loc[list] = list_first;
    len[list] = k - list_first + 1;
    list_first = k + 1;
  }
  for (int l = k + 1; l <= old_end; ++l) ind[l] = 0;
  end = k;
  luparm[lu_integer_words::kCompressions] += 1;
  if (luparm[lu_integer_words::kPrintLevel] > 0) report_compression(luparm, old_end, end);
}

}  // namespace zun::lu
