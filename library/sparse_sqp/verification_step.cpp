// The derivative verification step of a run.
#include "library/sparse_sqp/verification_step.h"

#include "library/sparse_sqp/derivative_verification.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/support/one_based.h"

namespace zun {

int verify_derivatives_step(RunState& st, const Evaluator& ev) {
  const DerivativePoint at{st.p.xv, st.constraint_values(),
                           Words<double>(st.z).at(st.option(run_array::kJacobian)), &st.fobj,
                           st.objective_gradient()};
  const VariableBounds bounds{st.bl.data(), st.bu.data()};
  int result = end_class::kConverged;
  if (ev.ncnln >= 1) result = verify_jacobian(ev, at, bounds);
  if (result == end_class::kConverged && ev.nonln >= 1) {
    result = verify_objective_gradients(ev, at, bounds);
  }
  return result;
}

}  // namespace zun
