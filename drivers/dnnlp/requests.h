// Answers to the requests of DNNLPF: the objective, the nonlinear constraints and their
// derivatives, evaluated through the ASL on the problem that the driver has read.
#pragma once

#include "drivers/dnnlp/dense_arrays.h"

namespace dnnlp {

struct ObjectiveChoice {
  int index = -1;     // 0-based objective index, -1 none
  double sign = 1.0;  // -1 for a maximisation: the solver minimises the negated objective
};

// The objective as the solver sees it for the objective `index` (-1 none) of the ASL record.
ObjectiveChoice objective_choice(int index);

// Evaluates what request `irevcm` asks for at d.x into objv, d.objg, d.c or d.jacnl (rows
// with d.needrow(k) > 0 only; the ASL's constraint gradients in compact mode, congrd_mode 1,
// scattered by the variable numbers of the row's Jacobian list).  Without an objective the
// value is 0.0 and the gradient is left as it stands.  After an evaluation error, a value or
// derivative that is not finite included, prints its line and returns false (nothing further
// is evaluated, and the failed value or gradient is not stored); codes other than 1 to 6
// evaluate nothing.
bool answer_request(int irevcm, const ObjectiveChoice& objective, DenseArrays& d, double& objv);

}  // namespace dnnlp
