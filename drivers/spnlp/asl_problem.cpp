// Reading the driver's view of the problem out of the ASL record.
#include "drivers/spnlp/asl_problem.h"

#include <cstddef>

#include "asl.h"
#include "drivers/spnlp/asl_record.h"

namespace spnlp {

ASL* asl = nullptr;

std::optional<ProblemShape> read_problem_shape(int objective) {
  if (n_var < 0 || n_con < 0) return std::nullopt;
  ProblemShape s;
  s.var_count = n_var;
  s.nonlinear_rows = nlc;
  s.nonlinear_jacobian_vars = nlvc;
  s.nonlinear_objective_vars = nlvo;
  s.rows.resize(static_cast<std::size_t>(n_con));
  for (int i = 0; i < n_con; ++i) {
    for (const cgrad* e = Cgrad[i]; e != nullptr; e = e->next) {
      s.rows[i].push_back(Term{static_cast<int>(e->varno), e->coef});
    }
  }
  s.has_objective = objective >= 0;
  if (s.has_objective) {
    for (const ograd* e = Ograd[objective]; e != nullptr; e = e->next) {
      s.objective.push_back(Term{static_cast<int>(e->varno), e->coef});
    }
  }
  s.var_lower.assign(LUv, LUv + n_var);
  s.var_upper.assign(Uvx, Uvx + n_var);
  s.row_lower.assign(LUrhs, LUrhs + n_con);
  s.row_upper.assign(Urhsx, Urhsx + n_con);
  s.start.assign(X0, X0 + n_var);
  s.duals.assign(pi0, pi0 + n_con);
  if (!is_consistent(s)) return std::nullopt;
  return s;
}

}  // namespace spnlp
