// The driver's evaluations for the requests of DNNLPF.
#include "drivers/dnnlp/requests.h"

#include <cmath>
#include <cstddef>

#include "asl.h"
#include "drivers/common/asl_record.h"
#include "drivers/common/evaluation_checks.h"
#include "library/dense_sqp/dense_sqp.h"

namespace dnnlp {

using zun_driver::asl;

namespace {

namespace rq = zun::request;

bool wants_objective_value(int code) {
  return code == rq::kObjective || code == rq::kObjectiveBoth;
}
bool wants_objective_gradient(int code) {
  return code == rq::kGradient || code == rq::kObjectiveBoth;
}
bool wants_constraint_values(int code) {
  return code == rq::kConstraints || code == rq::kConstraintsBoth;
}
bool wants_jacobian(int code) { return code == rq::kJacobian || code == rq::kConstraintsBoth; }

bool objective_failed() {
  Printf("Error while evaluating objective function, terminating.\n");
  return false;
}

bool constraints_failed() {
  Printf("Error while evaluating constraints, terminating.\n");
  return false;
}

bool answer_objective(int code, const ObjectiveChoice& objective, DenseArrays& d, double& objv) {
  if (wants_objective_value(code)) {
    if (objective.index < 0) {
      objv = 0.0;
    } else {
      fint error = 0;
      const real value = objval(objective.index, d.x.data(), &error);
      if (error != 0 || !std::isfinite(value)) return objective_failed();
      objv = objective.sign * value;
    }
  }
  if (wants_objective_gradient(code) && objective.index >= 0) {
    fint error = 0;
    // Through the scratch, so that a gradient that cannot be used leaves OBJG as it was.
    objgrd(objective.index, d.x.data(), d.scratch.data(), &error);
    if (error != 0 || !zun_driver::all_finite(d.scratch.data(), d.objg.size())) {
      return objective_failed();
    }
    for (std::size_t j = 0; j < d.objg.size(); ++j) d.objg[j] = objective.sign * d.scratch[j];
  }
  return true;
}

// Row k of JACNL from the compact gradient in the scratch: one value per entry of the row's
// Jacobian list, in the list's order (which need not follow the variables), zero elsewhere.
void scatter_row(int k, DenseArrays& d) {
  const auto element = [&d, k](int j) -> double& {
    return d.jacnl[static_cast<std::size_t>(j) * static_cast<std::size_t>(d.ldcj) +
                   static_cast<std::size_t>(k)];
  };
  for (int j = 0; j < d.n; ++j) element(j) = 0.0;
  std::size_t entry = 0;
  for (const cgrad* e = Cgrad[k]; e != nullptr; e = e->next, ++entry) {
    element(e->varno) = d.scratch[entry];
  }
}

bool answer_constraints(int code, DenseArrays& d) {
  if (wants_constraint_values(code)) {
    for (int k = 0; k < d.ncnln; ++k) {
      if (d.needrow[static_cast<std::size_t>(k)] <= 0) continue;
      fint error = 0;
      const real value = conival(k, d.x.data(), &error);
      if (error != 0 || !std::isfinite(value)) return constraints_failed();
      d.c[static_cast<std::size_t>(k)] = value;
    }
  }
  if (wants_jacobian(code)) {
    for (int k = 0; k < d.ncnln; ++k) {
      if (d.needrow[static_cast<std::size_t>(k)] <= 0) continue;
      fint error = 0;
      congrd(k, d.x.data(), d.scratch.data(), &error);
      const std::size_t length = zun_driver::jacobian_list_length(k);
      if (error != 0 || !zun_driver::all_finite(d.scratch.data(), length)) {
        return constraints_failed();
      }
      scatter_row(k, d);
    }
  }
  return true;
}

}  // namespace

ObjectiveChoice objective_choice(int index) {
  ObjectiveChoice choice;
  choice.index = index;
  if (index >= 0 && objtype[index] != 0) choice.sign = -1.0;
  return choice;
}

bool answer_request(int irevcm, const ObjectiveChoice& objective, DenseArrays& d, double& objv) {
  if (irevcm >= rq::kObjective && irevcm <= rq::kObjectiveBoth) {
    return answer_objective(irevcm, objective, d, objv);
  }
  if (irevcm >= rq::kConstraints && irevcm <= rq::kConstraintsBoth) {
    return answer_constraints(irevcm, d);
  }
  return true;
}

}  // namespace dnnlp
