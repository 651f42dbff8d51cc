// The driver's own verdict on a solve that has followed an objective without a lower bound.
#include "drivers/dnnlp/unbounded.h"

#include <cmath>

#include "library/dense_sqp/dense_sqp.h"

namespace dnnlp {

namespace {

// How far out, in units of the solver's infinite bound size (which the driver never changes),
// a variable must be before it counts as run off.
constexpr double kUnboundedShare = 0.1;

// The objective below which a solve that can still move toward an absent bound has followed
// the objective downhill without end: a tenth of spnlp's default Unbounded Objective.  The
// relative convergence tests pass on such points once the objective dwarfs its gradient.
constexpr double kUnboundedObjective = 0.1 * 1e15;

bool ran_off(double xj, double lower, double upper) {
  if (!std::isfinite(xj)) return true;
  const double far = kUnboundedShare * zun::kDefaultInfiniteBound;
  return (xj >= far && upper >= zun::kDefaultInfiniteBound) ||
         (xj <= -far && lower <= -zun::kDefaultInfiniteBound);
}

bool on_an_open_side(double xj, double lower, double upper) {
  return (xj > 0.0 && upper >= zun::kDefaultInfiniteBound) ||
         (xj < 0.0 && lower <= -zun::kDefaultInfiniteBound);
}

}  // namespace

bool seems_unbounded(int ifail, const DenseArrays& d, double objective) {
  if (ifail != zun::dense_exit::kOptimal && ifail != zun::dense_exit::kAccuracyNotAchieved &&
      ifail != zun::dense_exit::kCannotImprove) {
    return false;
  }
  const bool objective_gone = objective <= -kUnboundedObjective;
  for (int j = 0; j < d.n; ++j) {
    if (ran_off(d.x[j], d.bl[j], d.bu[j])) return true;
    if (objective_gone && on_an_open_side(d.x[j], d.bl[j], d.bu[j])) return true;
  }
  return false;
}

}  // namespace dnnlp
