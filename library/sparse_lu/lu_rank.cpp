// Rank and singularity report of the sparse LU factors.
#include "library/sparse_lu/lu_rank.h"

#include <algorithm>
#include <cmath>

#include "library/sparse_lu/sparse_lu.h"

namespace zun::lu {
namespace {
namespace iw = lu_integer_words;
namespace rw = lu_real_words;
}  // namespace

int PRUNEK(const Factors& f, int nrank, int len_l, Array1<double> w) {
  double lmax = 0.0;
  for (int l = f.lena - len_l + 1; l <= f.lena; ++l) lmax = std::max(lmax, std::abs(f.a[l]));
  for (int j = 1; j <= f.n; ++j) w[j] = 0.0;
  double umax = 0.0;
  for (int k = 1; k <= nrank; ++k) {
    const int i = f.ip[k];
    for (int l = f.locr[i]; l < f.locr[i] + f.lenr[i]; ++l) {
      const int j = f.indr[l];
      const double v = std::abs(f.a[l]);
      w[j] = std::max(w[j], v);
      umax = std::max(umax, v);
    }
  }
  const double utol1 = f.rword(rw::kAbsSingTol);
  const double utol2 = f.rword(rw::kRelSingTol);
  double dumax = 0.0;
  double dumin = largest_real();
  int jumin = 0;
  int nsing = 0;
  int jsing = 0;
  for (int k = 1; k <= f.n; ++k) {
    const int j = f.iq[k];
    bool singular = true;
    if (k <= nrank) {
      const double diag = std::abs(f.a[f.locr[f.ip[k]]]);
      dumax = std::max(dumax, diag);
      if (diag < dumin) {
        dumin = diag;
        jumin = j;
      }
      singular = diag <= utol1 || diag <= utol2 * w[j];
    }
    if (!singular) continue;
    w[j] = -w[j];
    ++nsing;
    jsing = j;
  }
  if (nrank == 0) dumin = 0.0;
  f.luparm[iw::kNumSingular] = nsing;
  f.luparm[iw::kLastSingular] = jsing;
  f.luparm[iw::kMinDiagColumn] = jumin;
  f.parmlu[rw::kLmax] = lmax;
  f.parmlu[rw::kUmax] = umax;
  f.parmlu[rw::kDiagUmax] = dumax;
  f.parmlu[rw::kDiagUmin] = dumin;
  return nsing > 0 ? lu_inform::kSingular : lu_inform::kOk;
}

}  // namespace zun::lu
