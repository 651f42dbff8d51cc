// Reading the driver's view of the problem out of the ASL record.
#include "drivers/common/problem_shape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "asl.h"
#include "drivers/common/asl_record.h"

namespace zun_driver {

ASL* asl = nullptr;

bool is_consistent(const ProblemShape& s) {
  const std::size_t n = s.var_count < 0 ? 0 : static_cast<std::size_t>(s.var_count);
  const std::size_t rows = s.rows.size();
  const auto within = [](int count, std::size_t limit) {
    return count >= 0 && static_cast<std::size_t>(count) <= limit;
  };
  if (s.var_count < 0 || !within(s.nonlinear_rows, rows) || !within(s.nonlinear_jacobian_vars, n) ||
      !within(s.nonlinear_objective_vars, n)) {
    return false;
  }
  if (s.var_lower.size() != n || s.var_upper.size() != n || s.start.size() != n ||
      s.row_lower.size() != rows || s.row_upper.size() != rows || s.duals.size() != rows) {
    return false;
  }
  const auto terms_valid = [&](const std::vector<Term>& terms) {
    return std::all_of(terms.begin(), terms.end(),
                       [&](const Term& t) { return t.var >= 0 && t.var < s.var_count; });
  };
  return std::all_of(s.rows.begin(), s.rows.end(), terms_valid) && terms_valid(s.objective);
}

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

namespace {

// The first coefficient of `terms` that cannot be used, named with `owner` ("constraint 2").
std::optional<UnusableNumber> unusable_coefficient(const std::vector<Term>& terms,
                                                   const std::string& owner) {
  const auto at = std::find_if(terms.begin(), terms.end(),
                               [](const Term& t) { return !usable_coefficient(t.coef); });
  if (at == terms.end()) return std::nullopt;
  return UnusableNumber{
      at->coef, "the coefficient of variable " + std::to_string(at->var + 1) + " in " + owner};
}

}  // namespace

std::optional<UnusableNumber> first_unusable(const ProblemShape& shape, int objective) {
  struct Values {
    const std::vector<double>* values;
    const char* name;
  };
  const std::array<Values, 5> lists = {{{&shape.var_lower, "the lower bound of variable"},
                                        {&shape.var_upper, "the upper bound of variable"},
                                        {&shape.row_lower, "the lower bound of constraint"},
                                        {&shape.row_upper, "the upper bound of constraint"},
                                        {&shape.start, "the start value of variable"}}};
  for (const Values& list : lists) {
    const auto at = std::find_if(list.values->begin(), list.values->end(),
                                 [](double v) { return std::isnan(v); });
    if (at != list.values->end()) {
      return UnusableNumber{
          *at, std::string(list.name) + " " + std::to_string(at - list.values->begin() + 1)};
    }
  }
  for (std::size_t i = 0; i < shape.rows.size(); ++i) {
    if (auto bad = unusable_coefficient(shape.rows[i], "constraint " + std::to_string(i + 1))) {
      return bad;
    }
  }
  return unusable_coefficient(shape.objective, "objective " + std::to_string(objective + 1));
}

void widen_declared_linear(ProblemShape& shape, const NlBodies& bodies, int objective) {
  if (bodies.widened_rows > shape.nonlinear_rows &&
      bodies.widened_rows <= static_cast<std::int64_t>(shape.rows.size())) {
    shape.nonlinear_rows = static_cast<int>(bodies.widened_rows);
    shape.nonlinear_jacobian_vars = shape.var_count;
  }
  const auto k = static_cast<std::size_t>(objective);
  if (objective >= 0 && k < bodies.widened_objectives.size() && bodies.widened_objectives[k]) {
    shape.nonlinear_objective_vars = shape.var_count;
  }
}

}  // namespace zun_driver
