// The driver's own verdict on a solve that has followed an objective without a lower bound.
#pragma once

#include "drivers/dnnlp/dense_arrays.h"

namespace dnnlp {

// True when the solve ended as converged or stuck (IFAIL 0, 1 or 6) and either
// - some variable of d.x has run off toward an absent bound (one at or beyond the infinite
//   bound size) to a tenth of the infinite bound size, or is not finite at all; or
// - the objective as minimised (the sign of a maximisation already applied) has fallen below
//   minus a tenth of spnlp's default Unbounded Objective (1e15), the size at which spnlp calls
//   a problem unbounded, while some variable lies on a side without a bound (positive with no
//   upper bound, or negative with no lower bound).
// A fixed variable or one between finite bounds never counts, however large its value, so a
// huge objective over a bounded box keeps the solver's verdict.
bool seems_unbounded(int ifail, const DenseArrays& d, double objective);

}  // namespace dnnlp
