// One QP minor iteration with superbasics: admission of the priced variable, the direction of
// the reduced-Hessian factor extended through the basis, the step, and the repair of the
// basis, the superbasic set and R when a variable blocks.
#include "library/sparse_qp/qp_iteration.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace rw = sparse_option::real_word;
namespace mi = minor_word::integer_word;

constexpr double kNearPivotShare = 0.1;  // superbasics within this share of the largest pivot
constexpr double kWeakDecrease = 10.0;   // a predicted change above -10 eps |objective| is none

double word_real(const MinorIterationState& q, int k) { return q.h.z[k - 1]; }

// The gradient of the phase for variable j once it sits at a BsIndex position.
double objective_term(const MinorIterationState& q, int j) {
  if (!q.objective_in_force) return 0.0;
  if (j == q.objective_slack) return q.h.sign * q.objective_scale;
  if (q.nnobj >= 1 && j <= q.nnobj) return q.h.sign * q.gqp[j - 1];
  return 0.0;
}

// Step 1: jq becomes superbasic number ns + 1.  Returns 6 when R shows the reduced Hessian
// indefinite (the admission is then undone).
int admit(MinorIterationState& q, int itn, int jq, double djq) {
  const int m = q.h.m;
  BasisArrays& b = q.basis;
  // A factor whose newest diagonal failed its test cannot take a further column (its solves
  // would divide by that diagonal): the next pass builds it afresh.
  if (q.r_valid && q.ns >= 1 && !q.r_complete) q.r_valid = false;
  q.ns += 1;
  const int pos = m + q.ns;
  q.stall = false;
  q.r_complete = false;
  b.bs_index[pos - 1] = jq;
  if (q.r_valid) {
    form_new_r_column(q.h, jq, q.ns, b.bs_index, q.r, q.p, q.work);
    double d = q.r[packed(q.ns, q.ns)];
    bool ok = false;
    int flag = 0;
    check_r_diagonal(ok, flag, itn, q.ns, d, q.r, q.h.iz, q.h.z, q.print_level);
    if (q.objective_in_force) {
      q.r_complete = ok;
      if (flag == 1 || (!ok && q.h.iz[mi::kAllHessianVariables - 1] == 1)) {
        q.ns -= 1;
        return MinorResult::kIndefinite;
      }
    } else {
      q.r_valid = ok;
    }
    if (q.r_valid) q.r[packed(q.ns, q.ns)] = std::sqrt(std::max(d, 0.0));
  }
  const int j = jq - 1;
  q.signed_jq = q.increasing ? jq : -jq;
  q.type[pos - 1] = BasicFeasibilityType::kFeasible;
  b.xbs[pos - 1] = b.x[j];
  const double g0 = objective_term(q, jq);
  const double bigbnd = word_real(q, rw::kInfiniteBoundSize);
  b.bl_bs[pos - 1] = b.bl[j];
  b.bu_bs[pos - 1] = b.bu[j];
  q.grad[pos - 1] = g0;
  const int s = b.state[j];
  // An elastic entry lives beyond the bound it leaves, feasible or not, as the working bounds
  // of its elastic state say; its cost is in force once the non-elastic variables are feasible.
  if (q.elastic && q.allowance[j] >= ElasticAllowance::kLower) {
    if (!q.increasing && (s == VariableState::kAtLower || s == VariableState::kFixed)) {
      q.elastic_state[j] = ElasticState::kBelowLower;
      b.bl_bs[pos - 1] = -bigbnd;
      b.bu_bs[pos - 1] = b.bl[j];
      if (q.feasible) q.grad[pos - 1] = g0 - q.weight;
    } else if (q.increasing && (s == VariableState::kAtUpper || s == VariableState::kFixed)) {
      q.elastic_state[j] = ElasticState::kAboveUpper;
      b.bu_bs[pos - 1] = bigbnd;
      b.bl_bs[pos - 1] = b.bu[j];
      if (q.feasible) q.grad[pos - 1] = g0 + q.weight;
    }
  }
  q.rg[q.ns - 1] = djq;
  if ((!q.feasible || q.h.nnh == 0) && s == VariableState::kBetweenBounds) {
    q.rg[q.ns - 1] = q.increasing ? -1.0 : 1.0;
  }
  q.log.superbasic_added = jq;
  b.state[j] = VariableState::kSuperbasic;
  return MinorResult::kOptimal;
}

// Step 2: p over the m + ns positions; returns its norm.
double form_direction(MinorIterationState& q, double& gp, double& dq) {
  const int m = q.h.m;
  double* ps = q.p + m;
  solve_rtr_direction(q.objective_in_force, q.r_valid, q.r_complete, q.ns, q.r, q.rg, ps, gp, dq);
  double sum_s = 0.0;
  for (int k = 0; k < q.ns; ++k) sum_s += std::abs(ps[k]);
  const double scale = sum_s > 0.0 ? sum_s : 1.0;
  for (int k = 0; k < q.ns; ++k) ps[k] /= scale;
  double sum_b = 0.0;
  if (m > 0) {
    multiply_columns("No transpose", word_real(q, rw::kEpsPow08), m, q.h.n, q.ns,
                     q.basis.bs_index + m, q.h.a, -1.0, ps, 0.0, q.y);
    int inform = 0;
    solve_with_basis("B y = y2", inform, m, q.y, q.p, q.h.iz, q.h.z);
  }
  for (int k = 0; k < m + q.ns; ++k) q.p[k] *= scale;
  for (int k = 0; k < m; ++k) sum_b += std::abs(q.p[k]);
  return sum_s + sum_b;
}

// Step 4: g'p (unsigned, the objective row's slack included) and p'Hp; hp keeps H p.
void slope_and_curvature(MinorIterationState& q, double& gtp, double& php, double* hp) {
  gtp = 0.0;
  php = 0.0;
  if (!q.objective_in_force) return;
  const int m = q.h.m;
  const int count = m + q.ns;
  if (q.nnobj >= 1) {
    std::fill(q.y, q.y + q.nnobj, 0.0);
    for (int k = 0; k < count; ++k) {
      const int j = q.basis.bs_index[k];
      if (j >= 1 && j <= q.nnobj) q.y[j - 1] = q.p[k];
    }
    for (int j = 0; j < q.nnobj; ++j) gtp += q.gqp[j] * q.y[j];
    if (q.h.nnh >= 1) {
      hessian_product(q.h, q.y, hp);
      for (int j = 0; j < q.h.nnh; ++j) php += q.y[j] * hp[j];
    }
  }
  if (q.objective_slack > 0) {
    for (int k = 0; k < count; ++k) {
      if (q.basis.bs_index[k] == q.objective_slack) gtp += q.objective_scale * q.p[k];
    }
  }
}

void report(const MinorIterationState& q, int itn, const std::string& text, const std::string& monitor) {
  if (qp::messages_on(q.print_level)) qp::write_both(qp::units(q.h.iz), itn, text, monitor);
}

// The LU update after the variable at position r left the basis for the column whose L^-1
// image is in the entering array.
void replace_basis_column(MinorIterationState& q, int r) {
  ++q.h.iz[mi::kBasisChangesSinceFactor - 1];
  int inform = 0;
  update_lu(inform, r, q.h.m, q.entering, q.h.iz, q.h.leniz, q.h.z, q.h.lenz);
  if (inform != 0) q.reason = RefactorReason::kUpdateFailed;
}

// Moves position `from` to `to` in the BsIndex arrays.
void copy_position(const MinorIterationState& q, int from, int to) {
  const BasisArrays& b = q.basis;
  b.bs_index[to - 1] = b.bs_index[from - 1];
  b.xbs[to - 1] = b.xbs[from - 1];
  b.bl_bs[to - 1] = b.bl_bs[from - 1];
  b.bu_bs[to - 1] = b.bu_bs[from - 1];
}

// e_r over the m basic positions, in the scratch unit vector.
double* unit_vector(MinorIterationState& q, int r) {
  double* e = scratch_of(q.scratch.unit, q.h.m);
  std::fill(e, e + q.h.m, 0.0);
  e[r - 1] = 1.0;
  return e;
}

// R := the factor for the superbasics after superbasic k was exchanged with a basic variable:
// u (ns) the row of the change, pivot the LU pivot of the exchange.
void swap_r(MinorIterationState& q, double* u, int k, double pivot) {
  if (!q.r_valid) return;
  if (pivot == 0.0) {
    q.r_valid = false;
    return;
  }
  u[k - 1] = -1.0 - pivot;
  for (int i = 0; i < q.ns; ++i) u[i] /= pivot;
  update_r_on_swap(q.ns, q.r, scratch_of(q.scratch.s2, q.ns), u, k);
}

// Step 9, a basic variable blocks at position r: a superbasic takes its place.  Returns k, the
// superbasic slot that the leaving variable now holds.
int exchange_with_superbasic(MinorIterationState& q, int r, int jq, int itn) {
  const int m = q.h.m;
  BasisArrays& b = q.basis;
  double* er = unit_vector(q, r);
  int inform = 0;
  solve_with_basis("Bt y = y2", inform, m, er, q.y, q.h.iz, q.h.z);
  double* w = scratch_of(q.scratch.s1, q.ns);
  double pivot = 0.0;
  int s = choose_pivot_row(q, q.y, w, pivot, itn);
  if (s < 0) {
    // No safe pivot: the last superbasic enters, and R, which a rotation by so small a pivot
    // would spoil, is built again on the next pass.
    s = m + q.ns;
    q.r_valid = false;
  }
  const int k = s - m;
  pivot = -w[k - 1];
  const int js = b.bs_index[s - 1];
  const int leaving = b.bs_index[r - 1];
  const double x_leaving = b.xbs[r - 1];
  const double bl_leaving = b.bl_bs[r - 1];
  const double bu_leaving = b.bu_bs[r - 1];
  b.state[js - 1] = VariableState::kBasic;
  copy_position(q, s, r);
  q.type[r - 1] = BasicFeasibilityType::kFeasible;
  b.bs_index[s - 1] = leaving;
  b.xbs[s - 1] = x_leaving;
  b.bl_bs[s - 1] = bl_leaving;
  b.bu_bs[s - 1] = bu_leaving;
  swap_r(q, w, k, pivot);
  if (js != jq) {
    unpack_column(js, m, q.h.n, q.h.a, q.entering);
    solve_with_basis("L ", inform, m, q.entering, q.y, q.h.iz, q.h.z);
  }
  replace_basis_column(q, r);
  return k;
}

// Step 10: superbasic slot k leaves S.
void compact_superbasics(MinorIterationState& q, int k) {
  const int m = q.h.m;
  for (int i = m + k; i < m + q.ns; ++i) {
    copy_position(q, i + 1, i);
    q.type[i - 1] = q.type[i];
  }
  if (q.r_valid && k < q.ns) {
    move_r_column(k, q.ns, q.ns, q.r, scratch_of(q.scratch.s3, q.ns));
  }
  if (k == q.ns) q.r_complete = true;
  q.ns -= 1;
  if (q.ns == 0) q.r_complete = true;
}

// Step 9: the variable at the ratio test's position r blocks and leaves B or S.
void remove_blocking(MinorIterationState& q, const RatioTest& rt, int jq, int itn) {
  const int m = q.h.m;
  BasisArrays& b = q.basis;
  const int r = rt.r;
  q.r_position = r;
  q.log.pivot = -q.p[r - 1];
  const int j = b.bs_index[r - 1];
  q.stall = j == std::abs(q.signed_jq);
  if (rt.at_bound) {
    b.xbs[r - 1] = rt.bound;
    b.x[j - 1] = rt.bound;
  }
  const int was_elastic = q.elastic_state[j - 1];
  q.elastic_state[j - 1] = ElasticState::kNone;
  const int new_state = leaving_state(j, was_elastic, rt, b, r);
  int k = r - m;
  if (r <= m) {
    q.log.basic_removed = j;
    q.log.leaving = j;
    k = exchange_with_superbasic(q, r, jq, itn);
  } else {
    q.log.superbasic_removed = j;
  }
  b.state[j - 1] = new_state;
  compact_superbasics(q, k);
}

}  // namespace

int choose_pivot_row(MinorIterationState& q, const double* y, double* w, double& pivot, int itn) {
  const int m = q.h.m;
  const BasisArrays& b = q.basis;
  multiply_columns("Transpose", 0.0, m, q.h.n, q.ns, b.bs_index + m, q.h.a, -1.0, y, 0.0, w);
  int kmax = 0;
  for (int k = 1; k < q.ns; ++k) {
    if (std::abs(w[k]) > std::abs(w[kmax])) kmax = k;
  }
  const double wmax = q.ns > 0 ? std::abs(w[kmax]) : 0.0;
  if (wmax < word_real(q, rw::kPivotTol)) {
    pivot = wmax;
    const std::string value = platform::format_e(wmax, 9, 1);
    report(q, itn, "Maximum pivot (= " + value + ") is too small.",
           "Maximum pivot (= " + value + ") is too small.");
    return -(m + q.ns);
  }
  int best = kmax;
  double best_distance = -1.0;
  for (int k = 0; k < q.ns; ++k) {
    if (std::abs(w[k]) < kNearPivotShare * wmax) continue;
    const double xk = b.xbs[m + k];
    const double distance = std::min(std::abs(xk - b.bl_bs[m + k]), std::abs(b.bu_bs[m + k] - xk));
    if (distance >= best_distance) {
      best = k;
      best_distance = distance;
    }
  }
  pivot = -w[best];
  return m + best + 1;
}

int find_saved_column(MinorIterationState& q, int count, double& gp, int itn) {
  const int jq = std::abs(q.signed_jq);
  int found = 0;
  for (int k = count; k >= 1; --k) {
    if (q.basis.bs_index[k - 1] == jq) {
      found = k;
      break;
    }
  }
  if (found == 0) {
    const std::string number = platform::format_i(q.signed_jq, 7);
    report(q, itn, "KSAVE not found. JQSAVE = " + number + ".",
           "Could not find element corresponding to JQSAVE = " + number + ".");
    return 0;
  }
  const double pk = q.p[found - 1];
  if ((q.signed_jq < 0 && pk > 0.0) || (q.signed_jq > 0 && pk < 0.0)) {
    for (int k = 0; k < count; ++k) q.p[k] = -q.p[k];
    gp = -gp;
  }
  if (gp <= 0.0) return 0;
  const std::string value = platform::format_e(gp, 10, 2);
  report(q, itn, "Small directional derivative = " + value + ".",
         "Small directional derivative = " + value);
  return 1;
}

void swap_basic_superbasic(MinorIterationState& q, int itn, bool& failed) {
  const int m = q.h.m;
  const int n = q.h.n;
  BasisArrays& b = q.basis;
  failed = false;
  const int slack_position = m + q.ns;
  const int slack = b.bs_index[slack_position - 1];
  std::fill(q.entering, q.entering + m, 0.0);
  q.entering[slack - n - 1] = -1.0;
  int inform = 0;
  solve_with_basis("B y = y1", inform, m, q.entering, q.y, q.h.iz, q.h.z);
  int r = 0;
  double largest = 0.0;
  for (int k = 1; k <= m; ++k) {
    const int j = b.bs_index[k - 1];
    if (j >= 1 && j <= n && std::abs(q.y[k - 1]) > largest) {
      largest = std::abs(q.y[k - 1]);
      r = k;
    }
  }
  if (r == 0) {
    report(q, itn, "No maximum pivot. Problem abandoned.", "No maximum pivot. Problem abandoned.");
    failed = true;
    return;
  }
  double* er = unit_vector(q, r);
  double* y2 = scratch_of(q.scratch.row, m);
  solve_with_basis("Bt y = y2", inform, m, er, y2, q.h.iz, q.h.z);
  if (q.r_valid) {
    double* w = scratch_of(q.scratch.s1, q.ns);
    multiply_columns("Transpose", 0.0, m, n, q.ns, b.bs_index + m, q.h.a, 1.0, y2, 0.0, w);
    const double pivot = w[q.ns - 1];
    for (int i = 0; i < q.ns; ++i) w[i] = -w[i];
    swap_r(q, w, q.ns, pivot);
  }
  const int jb = b.bs_index[r - 1];
  b.state[jb - 1] = VariableState::kSuperbasic;
  b.state[slack - 1] = VariableState::kBasic;
  std::swap(b.bs_index[r - 1], b.bs_index[slack_position - 1]);
  std::swap(b.xbs[r - 1], b.xbs[slack_position - 1]);
  std::swap(b.bl_bs[r - 1], b.bl_bs[slack_position - 1]);
  std::swap(b.bu_bs[r - 1], b.bu_bs[slack_position - 1]);
  replace_basis_column(q, r);
}

void qp_iteration(MinorIterationState& q, int& result, int itn, int jq, double djq) {
  result = MinorResult::kOptimal;
  const int m = q.h.m;
  BasisArrays& b = q.basis;
  const int ns_entry = q.ns;
  q.log = MinorStepLog{};
  q.negligible_newton_step = false;
  if (jq != 0) {
    result = admit(q, itn, jq, djq);
    if (result != 0) return;
  }
  double gp = 0.0;
  double dq = 0.0;
  const double pnorm = form_direction(q, gp, dq);
  if (pnorm <= 0.0) {
    result = MinorResult::kWeak;
    return;
  }
  const bool incomplete = q.r_valid && !q.r_complete;
  if (incomplete && find_saved_column(q, m + q.ns, gp, itn) != 0) {
    result = MinorResult::kWeak;
    return;
  }
  double gtp = 0.0;
  double php = 0.0;
  double* hp = scratch_of(q.scratch.hp, std::max(q.h.nnh, 1));
  slope_and_curvature(q, gtp, php, hp);
  const double bigbnd = word_real(q, rw::kInfiniteBoundSize);
  const double alpha_max = word_real(q, rw::kUnboundedStepSize) / pnorm;
  RatioTest rt;
  rt.r = q.r_position;
  ratio_test(m + q.ns, q.degenerate_steps, q.working_tol, bigbnd, alpha_max, q.min_step,
             word_real(q, rw::kPivotTol) * pnorm, q.type, b.bl_bs, b.bu_bs, b.xbs, q.p, rt);
  // A step that nothing blocks is the minimiser along p only where the objective curves
  // upward along p; without curvature (an LP, or p in the linear variables) the step is the
  // ratio test's, and a ray that nothing blocks is unbounded.
  const bool curved = q.h.nnh >= 1 && q.h.sign * php > 0.0;
  const bool unconstrained = q.objective_in_force && curved &&
                             (q.r_complete ? rt.alpha1 > 1.0 : rt.alpha1 * dq > -gp);
  if ((rt.unbounded && !unconstrained) || alpha_max <= 1.0) {
    result = MinorResult::kUnbounded;
    return;
  }
  q.pi_stale = true;
  double step = 0.0;
  if (unconstrained) {
    q.log.pivot = 0.0;
    ++q.unconstrained_steps;
    step = q.r_complete ? 1.0 : -gp / dq;
    q.r_complete = true;
  } else {
    q.unconstrained_steps = 0;
    step = rt.step;
    if (ns_entry >= 1 && rt.exact_step <= 0.0) {
      step = 0.0;
      rt.at_bound = false;
    }
  }
  double decrease = 0.0;
  if (q.objective_in_force) {
    const double dqf = 0.5 * dq * step * step + gp * step;
    decrease = -dqf;
    if (incomplete && !unconstrained && rt.exact &&
        dqf >= -kWeakDecrease * word_real(q, rw::kEps) * std::abs(q.objective)) {
      result = MinorResult::kWeak;
      return;
    }
    q.qp_value += gtp * step;
    if (q.h.nnh >= 1) q.qp_value += 0.5 * php * step * step;
    q.objective += dqf;
    if (q.h.nnh >= 1 && step > 0.0) {
      for (int j = 0; j < q.h.nnh; ++j) q.gqp[j] += step * hp[j];
    }
  }
  q.log.step = step;
  double x_size = 0.0;
  for (int k = 0; k < m + q.ns; ++k) {
    x_size = std::max(x_size, std::abs(b.xbs[k]));
    b.xbs[k] += step * q.p[k];
  }
  // A Newton step on the superbasics is negligible when it moves x by no more than rounding
  // or when the decrease it predicts is below the rounding of the objective: with an
  // ill-conditioned reduced Hessian such a step can be far above rounding in x and still
  // change nothing.
  q.negligible_newton_step =
      unconstrained && (step * pnorm <= word_real(q, rw::kEpsPow08) * (1.0 + x_size) ||
                        decrease <= word_real(q, rw::kEps) * (1.0 + std::abs(q.objective)));
  copy_x_bs("xBS to x", m + q.ns, b.bs_index, b.xbs, b.x);
  if (!unconstrained) remove_blocking(q, rt, jq, itn);
}

}  // namespace zun
