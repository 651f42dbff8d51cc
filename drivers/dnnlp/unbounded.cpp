// The driver's own verdict on a solve that has followed an objective without a lower bound.
#include "drivers/dnnlp/unbounded.h"

#include <cmath>

#include "library/dense_sqp/dense_sqp.h"

namespace dnnlp {

namespace {

// How far out, in units of the solver's infinite bound size (which the driver never changes),
// a variable must be before it counts as run off.
constexpr double kUnboundedShare = 0.1;

bool ran_off(double xj, double lower, double upper) {
  if (!std::isfinite(xj)) return true;
  const double far = kUnboundedShare * zun::kDefaultInfiniteBound;
  return (xj >= far && upper >= zun::kDefaultInfiniteBound) ||
         (xj <= -far && lower <= -zun::kDefaultInfiniteBound);
}

}  // namespace

bool seems_unbounded(int ifail, const DenseArrays& d) {
  if (ifail != zun::dense_exit::kOptimal && ifail != zun::dense_exit::kAccuracyNotAchieved &&
      ifail != zun::dense_exit::kCannotImprove) {
    return false;
  }
  for (int j = 0; j < d.n; ++j) {
    if (ran_off(d.x[j], d.bl[j], d.bu[j])) return true;
  }
  return false;
}

}  // namespace dnnlp
