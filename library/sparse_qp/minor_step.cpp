// One LP minor step: the entering variable moves until a basic variable meets a bound, the
// leaving variable goes out of the basis and the LU factors take the entering column.
#include <algorithm>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace mi = minor_word::integer_word;

// The entering variable at position m+1 with its working bounds.  An elastic entry lives
// beyond the bound it leaves, feasible or not, so that its cost is its violation's cost.
void place_entering(bool increasing,
                    bool elastic,
                    int m,
                    int jq,
                    const int* allowance,
                    int* elastic_state,
                    int* type,
                    const BasisArrays& b,
                    double bigbnd) {
  const int j = jq - 1;
  type[m] = BasicFeasibilityType::kFeasible;
  b.bs_index[m] = jq;
  b.xbs[m] = b.x[j];
  b.bl_bs[m] = b.bl[j];
  b.bu_bs[m] = b.bu[j];
  if (!elastic || allowance[j] < ElasticAllowance::kLower) return;
  const int s = b.state[j];
  if (!increasing && (s == VariableState::kAtLower || s == VariableState::kFixed)) {
    elastic_state[j] = ElasticState::kBelowLower;
    b.bl_bs[m] = -bigbnd;
    b.bu_bs[m] = b.bl[j];
  } else if (increasing && (s == VariableState::kAtUpper || s == VariableState::kFixed)) {
    elastic_state[j] = ElasticState::kAboveUpper;
    b.bl_bs[m] = b.bu[j];
    b.bu_bs[m] = bigbnd;
  }
}

// xBS += step p, the blocking position at its bound, and x follows: only the positions that
// move are touched (x and xBS agree on entry).  moved (when given) lists the basic ones.
void move_basics(int m, int r, const RatioTest& rt, const double* p, const BasisArrays& b,
                 std::vector<int>* moved) {
  if (moved != nullptr) moved->clear();
  for (int k = 0; k <= m; ++k) {
    if (p[k] == 0.0) continue;
    b.xbs[k] += rt.step * p[k];
    if (b.bs_index[k] >= 1) b.x[b.bs_index[k] - 1] = b.xbs[k];
    if (moved != nullptr && k < m) moved->push_back(k);
  }
  if (moved != nullptr && r <= m) {
    const auto at = std::lower_bound(moved->begin(), moved->end(), r - 1);
    if (at == moved->end() || *at != r - 1) moved->insert(at, r - 1);
  }
  if (!rt.at_bound) return;
  b.xbs[r - 1] = rt.bound;
  if (b.bs_index[r - 1] >= 1) b.x[b.bs_index[r - 1] - 1] = rt.bound;
}

void report_unbounded(const int* iz, int itn, int jq, bool increasing) {
  const int level = iz[iw::kMajorPrintLevel - 1];
  if (!qp::messages_on(level)) return;
  const std::string text =
      "Variable " + platform::format_i(jq, 6) +
      (increasing ? " can increase indefinitely." : " can decrease indefinitely.");
  qp::write_both(qp::units(iz), itn, text);
}

}  // namespace

int leaving_state(int j, int elastic, const RatioTest& rt, const BasisArrays& b, int r) {
  const double lo = b.bl[j - 1];
  const double up = b.bu[j - 1];
  const double xj = b.x[j - 1];
  if (elastic == ElasticState::kNone) {
    if (b.bl_bs[r - 1] == b.bu_bs[r - 1]) return VariableState::kFixed;
    return rt.hit_lower ? VariableState::kAtLower : VariableState::kAtUpper;
  }
  if (lo == up) return VariableState::kFixed;
  if (elastic == ElasticState::kBelowLower) {
    if (rt.at_bound) return VariableState::kAtLower;
    return xj >= up ? VariableState::kAtUpper : VariableState::kBetweenBounds;
  }
  if (rt.at_bound) return VariableState::kAtUpper;
  return xj <= lo ? VariableState::kAtLower : VariableState::kBetweenBounds;
}

void take_minor_step(bool feasible,
                     bool increasing,
                     bool& pi_stale,
                     bool elastic,
                     int& result,
                     int m,
                     int& degenerate_steps,
                     int& reason,
                     int& r,
                     MinorStepLog& log,
                     int jq,
                     double tol,
                     double min_step,
                     const int* allowance,
                     int* elastic_state,
                     int* type,
                     const BasisArrays& basis,
                     double* p,
                     int* iz,
                     int leniz,
                     double* z,
                     int lenz,
                     int itn,
                     std::vector<int>* moved) {
  const double bigbnd = z[rw::kInfiniteBoundSize - 1];
  place_entering(increasing, elastic, m, jq, allowance, elastic_state, type, basis, bigbnd);
  if (increasing) {
    for (int i = 0; i < m; ++i) p[i] = -p[i];
  }
  p[m] = increasing ? 1.0 : -1.0;
  RatioTest rt;
  rt.r = r;
  ratio_test(m + 1, degenerate_steps, tol, bigbnd, z[rw::kUnboundedStepSize - 1], min_step,
             z[rw::kPivotTol - 1], type, basis.bl_bs, basis.bu_bs, basis.xbs, p, rt);
  log = MinorStepLog{jq, jq, 0, jq, 0.0, rt.step};
  if (rt.unbounded) {
    elastic_state[jq - 1] = ElasticState::kNone;
    report_unbounded(iz, itn, jq, increasing);
    result = MinorResult::kUnbounded;
    return;
  }
  r = rt.r;
  move_basics(m, r, rt, p, basis, moved);
  if (r == m + 1) {
    basis.state[jq - 1] = increasing ? VariableState::kAtUpper : VariableState::kAtLower;
    elastic_state[jq - 1] = ElasticState::kNone;
    type[m] = BasicFeasibilityType::kFeasible;
    log.basic_removed = jq;
    if (!feasible || elastic) pi_stale = true;
    return;
  }
  pi_stale = true;
  basis.state[jq - 1] = VariableState::kBasic;
  log.pivot = -p[r - 1];
  const int j = basis.bs_index[r - 1];
  const int was_elastic = elastic_state[j - 1];
  elastic_state[j - 1] = ElasticState::kNone;
  basis.state[j - 1] = leaving_state(j, was_elastic, rt, basis, r);
  log.basic_removed = j;
  basis.bs_index[r - 1] = jq;
  basis.xbs[r - 1] = basis.xbs[m];
  basis.bl_bs[r - 1] = basis.bl_bs[m];
  basis.bu_bs[r - 1] = basis.bu_bs[m];
  ++iz[mi::kBasisChangesSinceFactor - 1];
  int inform = 0;
  update_lu(inform, r, m, qp::real_array(iz, z, qp::ra::kEnteringColumn), iz, leniz, z, lenz);
  if (inform != 0) reason = RefactorReason::kUpdateFailed;
}

}  // namespace zun
