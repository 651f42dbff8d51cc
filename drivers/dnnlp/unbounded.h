// The driver's own verdict on a solve that has followed an objective without a lower bound.
#pragma once

#include "drivers/dnnlp/dense_arrays.h"

namespace dnnlp {

// True when the solve ended as converged or stuck (IFAIL 0, 1 or 6) with some variable of
// d.x run off toward an absent bound (one at or beyond the infinite bound size) to a tenth of
// the infinite bound size, or not finite at all.  A fixed variable or one between finite
// bounds never counts, however large its value.
bool seems_unbounded(int ifail, const DenseArrays& d);

}  // namespace dnnlp
