// Multipliers of the working set at a stationary point and the choice of the constraint that
// leaves it.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "library/dense_qp/ls_qp.h"
#include "library/dense_qp/working_set.h"

namespace zun {

namespace {

// The multiplier scaled by its row norm with the sign of its status (positive is the sign of
// a constraint that holds the objective back).
double scaled_multiplier(int status, double lambda, double norm) {
  const double v = lambda / norm;
  if (status == 2) return -v;
  if (status == 3) return std::fabs(v);
  return v;
}

}  // namespace

void compute_qp_multipliers(const int& n,
                            const int& nclin,
                            const int& nactiv,
                            const int& nfree,
                            const int& nz,
                            const int& nzr,
                            const int& ldt,
                            const int& lda,
                            const int& ninf,
                            const int& jinf,
                            const double& gtol,
                            const int* istate,
                            const int* kactiv,
                            const int* kx,
                            const double* a,
                            const double* gq,
                            const double* t,
                            const double* rownorm,
                            const double* wtinf,
                            double* clamda,
                            int& jdel,
                            int& kdel,
                            int& jsmall,
                            int& jbig,
                            int& kbig,
                            double* work) {
  const int nctotl = n + nclin;
  std::fill(clamda, clamda + nctotl, 0.0);
  for (int i = 1; i <= nactiv; ++i) work[i - 1] = gq[nz + i - 1];
  solve_with_t(2, ldt, nactiv, t + static_cast<std::int64_t>(nz) * ldt, work);
  for (int i = 1; i <= nactiv; ++i) clamda[n + kactiv[i - 1] - 1] = work[i - 1];
  for (int place = nfree + 1; place <= n; ++place) {
    const int j = kx[place - 1];
    double lambda = gq[place - 1];
    for (int i = 1; i <= nactiv; ++i) {
      const int k = kactiv[i - 1];
      lambda -= a[(k - 1) + static_cast<std::int64_t>(j - 1) * lda] * work[i - 1];
    }
    clamda[j - 1] = lambda;
  }

  jdel = 0;
  kdel = 0;
  jsmall = 0;
  jbig = 0;
  kbig = 0;
  double smallest = -gtol;
  double tiniest = gtol;
  double biggest = gtol + 1.0;
  auto consider = [&](int j, int place, double lambda, double norm, int status) {
    const double rlam = scaled_multiplier(status, lambda, norm);
    if (status != 3 && rlam < smallest) {
      smallest = rlam;
      jdel = j;
      kdel = place;
    }
    if (status != 3 && rlam >= -gtol && rlam < tiniest) {
      tiniest = rlam;
      jsmall = j;
    }
    if (ninf > 0 && j > jinf) {
      // Releasing pays when the multiplier exceeds the weight of the violation it brings,
      // both in the units of the phase-1 gradient (unscaled rows).
      const double ratio = scaled_multiplier(status, lambda, 1.0) / wtinf[j - 1];
      if (ratio > biggest) {
        biggest = ratio;
        jbig = j;
        kbig = place;
      }
    }
  };
  for (int i = 1; i <= nactiv; ++i) {
    const int j = n + kactiv[i - 1];
    consider(j, i, clamda[j - 1], rownorm[kactiv[i - 1] - 1], istate[j - 1]);
  }
  for (int place = nfree + 1; place <= n; ++place) {
    const int j = kx[place - 1];
    if (istate[j - 1] == 4) continue;
    consider(j, place - nfree, clamda[j - 1], 1.0, istate[j - 1]);
  }
  for (int i = nzr + 1; i <= nz; ++i) {
    const double rlam = -std::fabs(gq[i - 1]);
    if (rlam < smallest) {
      smallest = rlam;
      jdel = -i;
      kdel = 0;
    }
    if (rlam >= -gtol && rlam < tiniest) {
      tiniest = rlam;
      jsmall = -i;
    }
  }
}

}  // namespace zun
