// Internal interface of the dense QP/LS solver: the ratio test.
#pragma once

namespace zun::ls_qp {

// What the ratio test reads: the constraints (status, bounds, tolerances), the point (x, A x),
// the direction (p, A p, its norm) and the row norms of A.
struct RatioInput {
  int n = 0;
  int nclin = 0;
  const int* istate = nullptr;
  const double* bl = nullptr;
  const double* bu = nullptr;
  const double* featol = nullptr;
  const double* x = nullptr;
  const double* ax = nullptr;
  const double* p = nullptr;
  const double* ap = nullptr;
  const double* rownorm = nullptr;
  double bigbnd = 1e20;
  double pivot_factor = 0.0;  // eps^0.9
  double pnorm = 1.0;
  double alphamax = 1e20;
  bool infeasible = false;
  bool release = false;  // a violated constraint was released: keep the nearest crossing
};

struct RatioResult {
  double step = 0.0;   // the step to the constraint hit (alphamax when none)
  double palfa = 0.0;  // the relaxed bound on the step
  int jhit = 0;        // the constraint hit (0 when none)
  bool at_lower = false;
  double pivot = 0.0;  // its rate of change along p
  int inform = 0;      // 3: no constraint limits the step
};

// Two-pass ratio test over the constraints with status <= 0.
RatioResult find_step_to_constraint(const RatioInput& in);

}  // namespace zun::ls_qp
