// The adapter through which the Hessian-product routine is handed down to the QP, and the
// conditioning of subproblem multipliers by the states and bounds of their variables.
#include <algorithm>

#include "library/sparse_qp/sparse_qp.h"

namespace zun {
namespace {

constexpr int kModeWordLength = 8;
constexpr double kMultiplierLimit = 1.0e12;

}  // namespace

void call_routine_argument(HessianProductRoutine routine,
                           PassedRoutine routine_1,
                           PassedRoutine routine_2,
                           const double& sign,
                           const int& m,
                           const int& n,
                           const int& nnh,
                           const int& nnz,
                           const int& nka,
                           const double* a_values,
                           const int* a_rows,
                           const int* a_starts,
                           const double* v,
                           double* hv,
                           const char* mode,
                           int& status,
                           int* iz,
                           const int& leniz,
                           double* z,
                           const int& lenz,
                           int* iusr,
                           double* rusr) {
  routine(routine_1, routine_2, sign, m, n, nnh, nnz, nka, a_values, a_rows, a_starts, v, hv, mode,
          status, iz, leniz, z, lenz, iusr, rusr, kModeWordLength);
}

void set_subproblem_bounds(
    int first, int count, const int* state, const double* bl, const double* bu, double* d) {
  for (int i = 1; i <= count; ++i) {
    const int j = first + i - 1;  // 0-based index of variable first + i
    if (bu[j] > bl[j]) {
      if (d[i - 1] > 0.0 && state[j] == VariableState::kAtLower) d[i - 1] = 0.0;
      if (d[i - 1] < 0.0 && state[j] == VariableState::kAtUpper) d[i - 1] = 0.0;
    }
    d[i - 1] = std::clamp(d[i - 1], -kMultiplierLimit, kMultiplierLimit);
  }
}

}  // namespace zun
