// The scalable families of test problems.
#include "tests/bench/scalable_families.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace nlgen {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kOutsideTarget = 3.0;  // beyond the upper bound 1 of the chained family
constexpr double kInsideTarget = 0.5;
constexpr double kQpBelowTarget = -1.0;  // below the lower bound 0 of the QP
constexpr double kQpInsideTarget = 0.3;
constexpr double kQpStepBound = 0.5;
constexpr double kSystemCoef = 0.1;
constexpr double kSystemTarget = 2.0;
constexpr double kSystemBound = 5.0;

// True for the kInteriorCount spread indices of 0..n-1.
std::vector<bool> spread_indices(int n) {
  std::vector<bool> on(static_cast<std::size_t>(n), false);
  for (int k = 0; k < kInteriorCount; ++k) {
    on[static_cast<std::size_t>((2L * k + 1) * n / (2L * kInteriorCount))] = true;
  }
  return on;
}

std::string squared_distance(int j, double target) {
  return power(sub(var(j), num(target)), 2.0);
}

// Every variable of 0..n-1 as a linear term with coefficient 0.
std::vector<LinearTerm> zero_terms(int n) {
  std::vector<LinearTerm> t;
  for (int j = 0; j < n; ++j) t.push_back({j, 0.0});
  return t;
}

NlProblem boxed(const std::string& name, int n, double lower, double upper, double start) {
  NlProblem p;
  p.name = name;
  p.x0.assign(static_cast<std::size_t>(n), start);
  p.lower.assign(static_cast<std::size_t>(n), lower);
  p.upper.assign(static_cast<std::size_t>(n), upper);
  return p;
}

ScalableProblem chained_bounds(int n) {
  ScalableProblem s;
  s.nl = boxed("chained_bounds", n, 0.0, 1.0, 1.0);
  const std::vector<bool> inside = spread_indices(n);
  std::vector<std::string> terms;
  for (int j = 0; j < n; ++j) {
    terms.push_back(squared_distance(j, inside[j] ? kInsideTarget : kOutsideTarget));
  }
  for (int j = 0; j + 1 < n; ++j) {
    terms.push_back(mul(num(0.5), power(sub(var(j + 1), power(var(j), 2.0)), 2.0)));
  }
  s.nl.objective.nonlinear = sum(terms);
  s.nl.objective.terms = zero_terms(n);
  s.nl.nonlinear_in_objective = n;
  return s;
}

ScalableProblem sparse_qp(int n) {
  ScalableProblem s;
  s.nl = boxed("sparse_qp", n, 0.0, 1.0, 0.0);
  const std::vector<bool> inside = spread_indices(n);
  std::vector<std::string> terms;
  s.has_solution = true;
  for (int j = 0; j < n; ++j) {
    const double c = inside[j] ? kQpInsideTarget : kQpBelowTarget;
    terms.push_back(squared_distance(j, c));
    const double x = std::max(c, 0.0);
    s.solution.push_back(x);
    s.optimum += (x - c) * (x - c);
  }
  s.nl.objective.nonlinear = sum(terms);
  s.nl.objective.terms = zero_terms(n);
  s.nl.nonlinear_in_objective = n;
  for (int j = 0; j + 1 < n; ++j) {
    s.nl.rows.push_back({"", {{j, 1.0}, {j + 1, -1.0}}, -kInfinity, kQpStepBound});
  }
  return s;
}

ScalableProblem square_system(int n) {
  ScalableProblem s;
  s.nl = boxed("square_system", n, -kSystemBound, kSystemBound, 1.0);
  const int k = kDegreesOfFreedom;
  const int m = n - k;
  // Row i holds its own unknown y_i = x_{k+i} with coefficient 1, the previous one squared and
  // one degree of freedom, so the columns of the y's form a well-conditioned lower bidiagonal
  // basis that is also the sparsest choice.
  for (int i = 0; i < m; ++i) {
    NlFunction row;
    const int z = i % k;
    std::string nonlinear = mul(num(kSystemCoef), sine(var(z)));
    row.terms = {{z, 0.0}};
    if (i > 0) {
      nonlinear = add(nonlinear, mul(num(kSystemCoef), power(var(k + i - 1), 2.0)));
      row.terms.push_back({k + i - 1, 0.0});
    }
    row.nonlinear = nonlinear;
    row.terms.push_back({k + i, 1.0});
    row.lower = row.upper = 1.0;
    s.nl.rows.push_back(row);
  }
  s.nl.nonlinear_rows = m;
  s.nl.nonlinear_in_rows = n - 1;
  s.nl.nonlinear_in_objective = k;
  s.nl.nonlinear_in_both = k;
  std::vector<std::string> terms;
  for (int j = 0; j < k; ++j) terms.push_back(squared_distance(j, kSystemTarget));
  s.nl.objective.nonlinear = sum(terms);
  s.nl.objective.terms = zero_terms(k);
  s.has_solution = true;
  s.solution.assign(static_cast<std::size_t>(n), kSystemTarget);
  for (int i = 0; i < m; ++i) {
    const double previous = i > 0 ? s.solution[k + i - 1] : 0.0;
    s.solution[k + i] =
        1.0 - kSystemCoef * std::sin(kSystemTarget) - kSystemCoef * previous * previous;
  }
  return s;
}

}  // namespace

std::string family_name(Family f) {
  switch (f) {
    case Family::kChainedBounds:
      return "chained_bounds";
    case Family::kSparseQp:
      return "sparse_qp";
    case Family::kSquareSystem:
      return "square_system";
  }
  return "";
}

ScalableProblem make_problem(Family f, int n) {
  switch (f) {
    case Family::kChainedBounds:
      return chained_bounds(n);
    case Family::kSparseQp:
      return sparse_qp(n);
    case Family::kSquareSystem:
      return square_system(n);
  }
  return {};
}

}  // namespace nlgen
