// The repairs that a factorisation asks of the states: a new split between basic and
// superbasic variables after a (B S) factorisation, and slacks in place of dependent columns.
#include <string>

#include "library/platform/format.h"
#include "library/sparse_qp/basis_factor.h"
#include "library/sparse_qp/qp_workspace.h"

namespace zun::qp {
namespace {

constexpr int kListedReplacements = 5;
constexpr int kReportLevel = 20;

}  // namespace

int leave_basis_state(double bl, double bu, double& x) {
  int state = VariableState::kBetweenBounds;
  if (x <= bl) {
    x = bl;
    state = VariableState::kAtLower;
  } else if (x >= bu) {
    x = bu;
    state = VariableState::kAtUpper;
  }
  return bl == bu ? VariableState::kFixed : state;
}

int repartition_basis(int nbs, int m, int* state, const int* col_perm, int* bs_index, int* saved) {
  for (int k = 0; k < nbs; ++k) saved[k] = bs_index[k];
  int changes = 0;
  for (int k = 0; k < nbs; ++k) {
    const int j = saved[col_perm[k] - 1];
    bs_index[k] = j;
    if (k >= m && state[j - 1] != VariableState::kSuperbasic) ++changes;
  }
  for (int k = 0; k < nbs; ++k) {
    state[bs_index[k] - 1] = k < m ? VariableState::kBasic : VariableState::kSuperbasic;
  }
  if (changes == 0) {
    for (int k = m; k < nbs; ++k) bs_index[k] = saved[k];
  }
  return changes;
}

int replace_by_slacks(int unit,
                      int m,
                      int n,
                      const double* w,
                      const int* row_perm,
                      const int* col_perm,
                      const double* bl,
                      const double* bu,
                      int* state,
                      const int* bs_index,
                      double* x,
                      int print_level) {
  int inserted = 0;
  const bool report = print_level >= kReportLevel && unit >= 0;
  for (int k = 0; k < m; ++k) {
    const int position = col_perm[k];
    if (w[position - 1] > 0.0) continue;
    const int j = bs_index[position - 1];
    if (j > 0) state[j - 1] = leave_basis_state(bl[j - 1], bu[j - 1], x[j - 1]);
    const int row = row_perm[k];
    state[n + row - 1] = VariableState::kBasic;
    ++inserted;
    if (report && inserted <= kListedReplacements) {
      write_record(unit, " Column" + platform::format_i(j, 7) + "  replaced by slack" +
                             platform::format_i(row, 7));
    }
  }
  if (report && inserted > kListedReplacements) {
    write_record(unit, " and so on.  Total slacks inserted =" + platform::format_i(inserted, 6));
  }
  return inserted;
}

}  // namespace zun::qp
