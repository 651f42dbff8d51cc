// Scalable smooth test problems whose number of superbasic variables at the solution stays
// bounded as the number of variables n grows.
#pragma once

#include <string>
#include <vector>

#include "tests/bench/nl_writer.h"

namespace nlgen {

enum class Family {
  // min sum (x_i - c_i)^2 + 0.5 sum (x_{i+1} - x_i^2)^2 on 0 <= x <= 1, c_i = 3 except at a
  // fixed number of spread indices: the upper bound is active on all but those.
  kChainedBounds,
  // min sum (x_i - c_i)^2 subject to x_i - x_{i+1} <= 0.5 and 0 <= x <= 1, c_i = -1 except at
  // a fixed number of spread indices where it is 0.3: a convex QP with x* = max(c, 0).
  kSparseQp,
  // min sum_{j<k} (x_j - 2)^2 subject to y_i + 0.1 y_{i-1}^2 + 0.1 sin(x_{i mod k}) = 1 for
  // i = 0..n-k-1, y_i = x_{k+i} (no y_{-1} term in the first row): n - k nonlinear equations,
  // k degrees of freedom, x_j = 2 (j < k) at the solution and the y's by the equations in
  // order.
  kSquareSystem,
};

inline constexpr Family kFamilies[] = {Family::kChainedBounds, Family::kSparseQp,
                                       Family::kSquareSystem};

// Interior variables at the solution of the bounded families, degrees of freedom of the
// square system.
constexpr int kInteriorCount = 20;
constexpr int kDegreesOfFreedom = 10;
// The smallest n for which every family is defined.
constexpr int kSmallestSize = 2 * kInteriorCount;

struct ScalableProblem {
  NlProblem nl;
  bool has_solution = false;  // the solution and the optimum are known
  std::vector<double> solution;
  double optimum = 0.0;
};

std::string family_name(Family f);

// The problem of the family with n variables (n >= kSmallestSize).
ScalableProblem make_problem(Family f, int n);

}  // namespace nlgen
