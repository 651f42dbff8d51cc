// The minor iterations of a major iteration's subproblem: reduced-gradient steps with
// superbasic variables on the basis of [A -I], the phase-1 objective until the non-elastic
// variables are feasible, then the QP (or LP) objective, with elastic mode when allowed.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/minor_loop.h"
#include "library/sparse_qp/qp_iteration.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_qp/state_codes.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace mi = minor_word::integer_word;
namespace mr = minor_word::real_word;
namespace ws = sparse_ws::integer_word;

constexpr double kInitialPriceThreshold = 100.0;
constexpr int kHeadingLevel = 10;
constexpr int kStallLimit = 1;              // stalled iterations tolerated
constexpr double kStallGradientShare = 1e-4;  // a stall counts while rg > this share of |pi|
constexpr int kElasticOnlyMode = 2;
constexpr int kAnotherPass = -1;  // internal: the loop goes on

// Everything one call of the minor iterations works on.
class MinorRun {
 public:
  MinorRun(std::string_view kind,
                     std::string_view label,
                     const QpRoutines& routines,
                     const MinorSettings& s,
                     int& ns,
                     int& minor_count,
                     int& itn,
                     MinorObjective& objective,
                     MinorMeasures& measures,
                     const ColumnMatrix& a,
                     int* state,
                     const double* bl,
                     const double* bu,
                     double* x,
                     int* iz,
                     int leniz,
                     double* z,
                     int lenz)
      : kind_(kind),
        label_(label),
        s_(s),
        ns_(ns),
        minor_count_(minor_count),
        itn_(itn),
        objective_(objective),
        measures_(measures),
        a_(a),
        iz_(iz),
        leniz_(leniz),
        z_(z),
        lenz_(lenz),
        q_{.h = HessianContext{routines, a, s.m, s.n, s.nnh, s.objective_sign, objective.products, iz,
                          leniz, z, lenz}} {
    const std::string_view first = kind.substr(0, 2);
    fp_kind_ = first == ProblemKind::kFeasiblePoint;
    quadratic_ = first == ProblemKind::kQuadratic && s.nnh > 0;
    q_.nnobj = s.nnobj;
    q_.r_dim = iz[iw::kReducedHessianDim - 1];
    q_.basis = {state,
                qp::int_array(iz, qp::ia::kBsIndex),
                qp::real_array(iz, z, qp::ra::kXBS),
                qp::real_array(iz, z, qp::ra::kBlBS),
                qp::real_array(iz, z, qp::ra::kBuBS),
                x,
                bl,
                bu};
    q_.type = qp::int_array(iz, qp::ia::kBasicFeasibility);
    q_.allowance = qp::int_array(iz, qp::ia::kElasticAllowance);
    q_.elastic_state = qp::int_array(iz, qp::ia::kElasticStates);
    q_.grad = qp::real_array(iz, z, qp::ra::kPhaseGradient);
    q_.gqp = qp::real_array(iz, z, qp::kQpGradient);
    q_.rg = qp::real_array(iz, z, qp::ra::kSuperbasicReal);
    q_.r = qp::real_array(iz, z, qp::ra::kReducedHessian);
    q_.pi = qp::real_array(iz, z, qp::ra::kPi);
    q_.p = qp::real_array(iz, z, qp::ra::kDirection);
    q_.y = qp::real_array(iz, z, qp::ra::kSolveWork);
    q_.entering = qp::real_array(iz, z, qp::ra::kEnteringColumn);
    reduced_costs_ = qp::real_array(iz, z, qp::ra::kReducedCosts);
    work_.assign(2 * (static_cast<std::size_t>(s.m) + std::max(s.nnh, 0)) + 2, 0.0);
    q_.work = work_.data();
    q_.print_level = s.print_level;
    q_.weight = s.elastic_weight;
    q_.ns = ns;
    q_.degenerate_steps = objective.degenerate_steps;
    const int objective_row = iz[ws::kObjectiveRow - 1];
    q_.objective_slack = objective_row >= 1 && objective_row <= s.m ? s.n + objective_row : 0;
    q_.objective_scale = z[mr::kObjectiveRowScale - 1];
  }

  int run(bool& elastic, bool& r_valid, bool& factorize, std::string& basis_type,
          bool& reset_basics);

 private:
  int m() const { return s_.m; }
  int n() const { return s_.n; }
  int nb() const { return s_.n + s_.m; }
  int positions() const { return s_.m + q_.ns; }
  int& word(int k) const { return iz_[k - 1]; }
  double& real(int k) const { return z_[k - 1]; }

  int refactorize(bool& factorize, std::string& basis_type, bool& reset_basics);
  void count_infeasibilities();
  void phase_gradient();
  void form_pi();
  void reduced_gradient();
  bool check_residuals();
  int optimal_pass(bool& factorize, std::string& basis_type, bool& reset_basics, bool& again);
  int step(int jq, double djq);
  int step_pass(int jq, double djq, bool& factorize, std::string& basis_type, bool& reset_basics);
  int at_phase_optimum();
  void start(bool elastic, bool r_valid);
  int swap_slack(bool& factorize, std::string& basis_type);
  void after_step(bool& factorize, std::string& basis_type, bool& reset_basics);
  void log_line(int jq, double djq);
  void switch_to_elastic();
  void enter_objective();

  std::string_view kind_;
  std::string_view label_;
  const MinorSettings& s_;
  int& ns_;
  int& minor_count_;
  int& itn_;
  MinorObjective& objective_;
  MinorMeasures& measures_;
  const ColumnMatrix& a_;
  int* iz_;
  int leniz_;
  double* z_;
  int lenz_;
  MinorIterationState q_;
  double* reduced_costs_;
  std::vector<double> work_;
  bool fp_kind_;
  bool quadratic_;

  ExpandSchedule expand_;
  MinorLogHeadings headings_;
  bool flag_elastic_ = false;
  bool gradient_stale_ = true;  // x moved without the QP gradient following it
  bool recount_ = true;
  bool newly_feasible_ = false;
  int count_ = -1;  // infeasible non-elastic variables at the last count (-1: not counted)
  int stalls_ = 0;
  bool stall_refactor_ = false;
  int pending_ = MinorResult::kOptimal;  // a QP step's 2 or 4 awaiting the next optimality test
  int section_ = 0;
  double lu_reference_ = 0.0;
};

int MinorRun::refactorize(bool& factorize, std::string& basis_type, bool& reset_basics) {
  bool changed = false;
  bool moved = false;
  int result = 0;
  int bs_changes = 0;
  const int ns_before = q_.ns;
  factorize_basis_driver(basis_type, factorize, changed, moved, result, itn_, s_.print_level,
                         q_.reason, m(), n(), word(ws::kNonlinearJacobianVars), q_.ns, bs_changes,
                         a_, q_.basis, iz_, leniz_, z_, lenz_);
  if (result != 0) return result;
  lu_reference_ = static_cast<double>(word(mi::kLuLenL0)) + word(mi::kLuLenU0);
  if (changed || moved || q_.ns < ns_before) q_.r_valid = false;
  reset_basics = false;
  gradient_stale_ = true;
  q_.pi_stale = true;
  // The stall count survives the refactorisation that a stall asked for: a stall that
  // persists on the new factors ends the call.
  if (!stall_refactor_) stalls_ = 0;
  stall_refactor_ = false;
  recount_ = true;
  // Variables that a repair moved out of B and S are no longer elastic; the elastic ones that
  // stay get their working bounds back.
  for (int j = 0; j < nb(); ++j) {
    const int st = q_.basis.state[j];
    if (st != VariableState::kBasic && st != VariableState::kSuperbasic) {
      q_.elastic_state[j] = ElasticState::kNone;
    }
  }
  if (q_.elastic) {
    set_elastic_bounds(positions(), real(rw::kInfiniteBoundSize), q_.elastic_state,
                       q_.basis.bs_index, q_.basis.bl, q_.basis.bu, q_.basis.bl_bs,
                       q_.basis.bu_bs);
  }
  if (s_.print_level >= kHeadingLevel) word(mi::kFactorStatistics) = 1;
  return 0;
}

void MinorRun::count_infeasibilities() {
  int& ninf = measures_.ninf;
  double& sinf = measures_.sinf;
  ninf = 0;
  sinf = 0.0;
  std::fill(q_.grad, q_.grad + positions(), 0.0);
  if (flag_elastic_) {
    flag_near_bound_variables(positions(), expand_.working_tol, real(rw::kInfiniteBoundSize),
                              q_.allowance, q_.elastic_state, q_.basis.bs_index, q_.basis.bl,
                              q_.basis.bu, q_.basis.bl_bs, q_.basis.bu_bs, q_.basis.xbs);
    flag_elastic_ = false;
  }
  const int last = count_;
  if (count_ != 0 || recount_) {
    phase1_infeasibilities(positions(), expand_.working_tol, ninf, sinf, q_.type, q_.basis.bl_bs,
                           q_.basis.bu_bs, q_.grad, q_.basis.xbs);
    count_ = ninf;
    recount_ = false;
    qp::report_infeasible_count(iz_, itn_, s_.print_level, count_);
  }
  q_.feasible = count_ == 0;
  newly_feasible_ = q_.feasible && last != 0;
  if (!q_.elastic) return;
  int elastic_count = 0;
  double elastic_sum = 0.0;
  sum_elastic_infeasibilities(positions(), q_.elastic_state, q_.basis.bs_index, elastic_count,
                              elastic_sum, q_.basis.bl, q_.basis.bu, q_.basis.x);
  ninf += elastic_count;
  sinf += elastic_sum;
}

// The gradient of the phase at the BsIndex positions: the objective's (signed) once it is in
// force, and the elastic costs once the non-elastic variables are feasible.
void MinorRun::phase_gradient() {
  const bool in_force = !fp_kind_ && q_.feasible &&
                        (measures_.ninf == 0 || s_.elastic_mode != kElasticOnlyMode);
  if (in_force != q_.objective_in_force) stalls_ = 0;
  q_.objective_in_force = in_force;
  if (in_force && gradient_stale_) enter_objective();
  if (in_force) {
    if (s_.nnobj >= 1) {
      gather_signed(positions(), s_.nnobj, s_.objective_sign, q_.basis.bs_index, q_.gqp,
                    q_.grad);
    }
    if (q_.objective_slack > 0) {
      for (int k = 0; k < positions(); ++k) {
        if (q_.basis.bs_index[k] == q_.objective_slack) {
          q_.grad[k] = s_.objective_sign * q_.objective_scale;
        }
      }
    }
  }
  if (q_.elastic && q_.feasible) {
    shift_elastic_values(positions(), q_.weight, q_.elastic_state, q_.basis.bs_index, q_.grad);
  }
}

void MinorRun::form_pi() {
  if (m() > 0) {
    std::copy(q_.grad, q_.grad + m(), q_.y);
    measures_.pi_norm = scaled_norm(m(), q_.pi, q_.y, iz_, z_);
  } else {
    measures_.pi_norm = 1.0;
  }
  q_.pi_stale = false;
}

void MinorRun::reduced_gradient() {
  measures_.rg_norm = reduced_gradient_norm(m(), n(), q_.ns, q_.basis.bs_index, a_, q_.grad,
                                            q_.pi, q_.rg);
  if (q_.ns == 0) {
    // The factor of no superbasics is empty, and so valid: R grows column by column from here.
    if (q_.objective_in_force && s_.nnh > 0) q_.r_valid = true;
    q_.r_complete = true;
    return;
  }
  if (!q_.r_valid && q_.objective_in_force && s_.nnh > 0) {
    const double hdmax = build_reduced_hessian(q_.h, q_.ns, q_.basis.bs_index, q_.r);
    int inform = 0;
    const int ns_before = q_.ns;
    factorize_reduced_hessian("No interchanges", inform, m(), q_.ns, hdmax, q_.r, q_.basis, iz_,
                              z_, itn_, s_.print_level);
    q_.r_valid = true;
    q_.r_complete = true;
    if (q_.ns < ns_before) {
      measures_.rg_norm = reduced_gradient_norm(m(), n(), q_.ns, q_.basis.bs_index, a_, q_.grad,
                                                q_.pi, q_.rg);
    }
    return;
  }
  if (q_.r_valid) {
    double d = q_.r[packed(q_.ns, q_.ns)];
    d *= d;
    bool ok = false;
    int flag = 0;
    check_r_diagonal(ok, flag, itn_, q_.ns, d, q_.r, iz_, z_, 0);
    q_.r_complete = ok;
  }
}

bool MinorRun::check_residuals() {
  return qp::residuals_pass(itn_, m(), n(), positions(), a_, q_.basis, iz_, z_, s_.print_level);
}

// The phase optimum: EXPAND and the residual check may ask for another pass (again := true).
int MinorRun::optimal_pass(bool& factorize,
                           std::string& basis_type,
                           bool& reset_basics,
                           bool& again) {
  int moved = 0;
  expand_tolerance("Optimal", moved, s_.print_level, nb(), count_, itn_, s_.feasibility_tol,
                   expand_, q_.basis.state, q_.basis.bl, q_.basis.bu, q_.basis.x, iz_, z_);
  bool failed = false;
  if (moved == 0 && word(mi::kIterationsSinceFactor) > 0 && !check_residuals()) {
    failed = true;
    q_.reason = RefactorReason::kRowResiduals;
    basis_type = BasisType::kNormal;
    factorize = true;
  }
  again = moved > 0 || failed;
  if (again) {
    gradient_stale_ = true;
    q_.feasible = false;
    q_.pi_stale = true;
    reset_basics = true;
    recount_ = true;
    return MinorResult::kOptimal;
  }
  return pending_;
}

void MinorRun::log_line(int jq, double djq) {
  MinorLogLine line =
      qp::log_line_base(kind_, label_, q_.elastic, s_.print_level, itn_, section_, djq, iz_);
  line.elastic_mode = s_.elastic_mode;
  line.newly_feasible = newly_feasible_;
  line.objective_in_force = q_.objective_in_force;
  line.hessian = q_.r_valid;
  line.step = jq == 0 ? MinorStepLog{} : q_.log;
  line.ninf = measures_.ninf;
  line.sinf = measures_.sinf;
  line.objective = s_.objective_sign * q_.qp_value;
  line.objective_sign = s_.objective_sign;
  line.elastic_weight = q_.weight;
  line.rg_norm = measures_.rg_norm;
  line.ns = q_.ns;
  if (q_.r_valid && q_.ns > 0) {
    double largest = 0.0;
    double smallest = 0.0;
    for (int k = 1; k <= q_.ns; ++k) {
      const double d = std::abs(q_.r[packed(k, k)]);
      largest = k == 1 ? d : std::max(largest, d);
      smallest = k == 1 ? d : std::min(smallest, d);
    }
    line.cond_hz = smallest > 0.0 ? (largest / smallest) * (largest / smallest) : 0.0;
  }
  print_minor_iteration(line, headings_, iz_);
}

void MinorRun::switch_to_elastic() {
  qp::report_elastic_start(iz_, itn_, s_.print_level, label_);
  q_.elastic = true;
  flag_elastic_ = true;
  recount_ = true;
  q_.pi_stale = true;
}

// The QP's own gradient at x: gobj + H (x - x0), and the QP objective from x0.  Called when
// the objective comes into force after x moved without it (phase 1, a refactorisation).
void MinorRun::enter_objective() {
  gradient_stale_ = false;
  q_.qp_value = 0.0;
  if (s_.nnobj < 1 || fp_kind_) return;
  std::vector<double> y(s_.nnobj);
  const int nnh = quadratic_ ? s_.nnh : 0;
  qp_objective(q_.h.routines, s_.objective_sign, 1, m(), n(), s_.nnobj, s_.nnobj, nnh,
               objective_.products, q_.qp_value, a_, objective_.gobj, q_.gqp, objective_.x0,
               q_.basis.x, y.data(), iz_, leniz_, z_, lenz_);
}

int MinorRun::step(int jq, double djq) {
  if (jq != 0) {
    unpack_column(jq, m(), n(), a_, q_.entering);
    int inform = 0;
    if (m() > 0) solve_with_basis("B y = y1", inform, m(), q_.entering, q_.p, iz_, z_);
  }
  if (itn_ >= word(iw::kIterationLimit) || minor_count_ >= s_.minor_limit) {
    return MinorResult::kIterationLimit;
  }
  ++itn_;
  ++minor_count_;
  ++word(mi::kIterationsSinceFactor);
  q_.working_tol = expand_.working_tol;
  q_.min_step = expand_.increment;
  q_.objective = s_.objective_sign * q_.qp_value;
  int result = 0;
  if (!q_.objective_in_force) gradient_stale_ = true;
  qp_iteration(q_, result, itn_, jq, djq);
  // A stall: the variable just admitted left again at once; any other step ends the run.
  if (quadratic_) stalls_ = jq != 0 && q_.stall ? stalls_ + 1 : 0;
  return result;
}

void MinorRun::after_step(bool& factorize, std::string& basis_type, bool& reset_basics) {
  expand_.working_tol += expand_.increment;
  const int frequency = word(iw::kExpandFrequency);
  if (frequency > 0 && itn_ % frequency == 0) {
    int moved = 0;
    expand_tolerance("End of cycle", moved, s_.print_level, nb(), count_, itn_,
                     s_.feasibility_tol, expand_, q_.basis.state, q_.basis.bl, q_.basis.bu,
                     q_.basis.x, iz_, z_);
    reset_basics = moved > 0;
    if (moved > 0) gradient_stale_ = true;
  }
  if (q_.reason == RefactorReason::kNone) {
    q_.reason = qp::refactor_reason_after_step(itn_, m(), n(), positions(), lu_reference_,
                                               reset_basics, a_, q_.basis, iz_, z_,
                                               s_.print_level);
  }
  if (q_.reason != RefactorReason::kNone) {
    factorize = true;
    basis_type = BasisType::kNormal;
  }
}

void MinorRun::start(bool elastic, bool r_valid) {
  q_.elastic = elastic;
  q_.r_valid = r_valid;
  flag_elastic_ = elastic;
  real(mr::kInfeasiblePriceThreshold) = kInitialPriceThreshold;
  real(mr::kFeasiblePriceThreshold) = kInitialPriceThreshold;
  word(mi::kFactorStatistics) = 0;
  if (word(mi::kFactorizations) > 0) {
    lu_reference_ = static_cast<double>(word(mi::kLuLenL0)) + word(mi::kLuLenU0);
  }
  std::fill(q_.elastic_state, q_.elastic_state + nb(), ElasticState::kNone);
  int moved = 0;
  expand_tolerance("Initialize", moved, s_.print_level, nb(), 0, itn_, s_.feasibility_tol,
                   expand_, q_.basis.state, q_.basis.bl, q_.basis.bu, q_.basis.x, iz_, z_);
}

// The newest superbasic is a slack: it changes places with a basic column.  0, 99 when no
// column can take its place, or kAnotherPass after a failed LU update.
int MinorRun::swap_slack(bool& factorize, std::string& basis_type) {
  bool failed = false;
  swap_basic_superbasic(q_, itn_, failed);
  if (failed) return MinorResult::kNoMaximumPivot;
  q_.pi_stale = true;
  if (q_.reason != RefactorReason::kUpdateFailed) return MinorResult::kOptimal;
  factorize = true;
  basis_type = BasisType::kNormal;
  return kAnotherPass;
}

// One minor step and its aftermath: kAnotherPass, or the result that ends the call.
int MinorRun::step_pass(int jq,
                        double djq,
                        bool& factorize,
                        std::string& basis_type,
                        bool& reset_basics) {
  if (jq != 0 && q_.ns + 1 > std::min(s_.superbasics_limit, q_.r_dim)) {
    return MinorResult::kSuperbasicsLimit;
  }
  const int result = step(jq, djq);
  if (result == MinorResult::kOptimal) {
    after_step(factorize, basis_type, reset_basics);
    return kAnotherPass;
  }
  const bool doubtful = result == MinorResult::kUnbounded || result == MinorResult::kWeak;
  if (doubtful && word(mi::kIterationsSinceFactor) >= 1) {
    // Confirmed on fresh factors of a new (B S) split by the next optimality test.
    pending_ = result;
    factorize = true;
    basis_type = BasisType::kWithSuperbasics;
    q_.reason = RefactorReason::kStall;
    return kAnotherPass;
  }
  return result;
}

// The optimum of a phase: the end, or elastic mode (kAnotherPass).
int MinorRun::at_phase_optimum() {
  if (count_ == 0 || s_.elastic_permission < 1) return MinorResult::kOptimal;
  if (q_.elastic) return q_.feasible ? MinorResult::kOptimal : MinorResult::kInfeasible;
  switch_to_elastic();
  return kAnotherPass;
}

int MinorRun::run(bool& elastic,
                  bool& r_valid,
                  bool& factorize,
                  std::string& basis_type,
                  bool& reset_basics) {
  start(elastic, r_valid);
  int result = MinorResult::kOptimal;
  for (;;) {
    if (factorize || reset_basics) {
      result = refactorize(factorize, basis_type, reset_basics);
      if (result != 0) break;
    }
    if (q_.ns >= 1 && q_.basis.bs_index[m() + q_.ns - 1] > n()) {
      result = swap_slack(factorize, basis_type);
      if (result == kAnotherPass) continue;
      if (result != MinorResult::kOptimal) break;
    }
    count_infeasibilities();
    if (newly_feasible_ && (fp_kind_ || (q_.elastic && s_.elastic_mode == 0))) {
      measures_.rg_norm = 0.0;
      measures_.pi_norm = 0.0;
      log_line(0, 0.0);
      result = MinorResult::kOptimal;
      break;
    }
    real(rw::kOptimalityTolInForce) =
        q_.feasible ? s_.optimality_tol : s_.phase1_optimality_tol;
    phase_gradient();
    form_pi();
    reduced_gradient();
    // A step to the minimiser on the subspace of the superbasics that moved x by no more than
    // rounding leaves a reduced gradient that is rounding too, whose floor (with the condition
    // of B) can lie above eps^0.8 |pi|: it counts as zero, else such steps repeat without end.
    const bool converged =
        real(rw::kEpsPow08) * measures_.pi_norm >= measures_.rg_norm || q_.negligible_newton_step;
    if (quadratic_ && stalls_ > kStallLimit &&
        measures_.rg_norm > kStallGradientShare * measures_.pi_norm) {
      if (word(mi::kIterationsSinceFactor) > 0) {
        q_.reason = RefactorReason::kStall;
        basis_type = BasisType::kWithSuperbasics;
        factorize = true;
        stall_refactor_ = true;
        continue;
      }
      result = MinorResult::kStall;
      break;
    }
    int jq = 0;
    double djq = 0.0;
    if (converged && pending_ == MinorResult::kOptimal) {
      int count = 0;
      price_partial(q_.elastic, q_.feasible, q_.increasing, q_.objective_in_force, m(), n(),
                    s_.nnobj, s_.nnh, q_.ns, count, q_.elastic && q_.feasible ? q_.weight : 0.0,
                    s_.objective_sign, {q_.objective_slack, q_.objective_scale},
                    measures_.pi_norm, jq, djq, section_, a_, q_.allowance,
                    q_.basis.state, q_.basis.bl, q_.basis.bu, q_.gqp, q_.pi, reduced_costs_, iz_,
                    z_);
    }
    const bool optimal = (converged && jq == 0) || pending_ != MinorResult::kOptimal;
    if (optimal) {
      bool again = false;
      result = optimal_pass(factorize, basis_type, reset_basics, again);
      if (again) {
        pending_ = MinorResult::kOptimal;
        continue;
      }
    }
    log_line(jq, djq);
    newly_feasible_ = false;
    if (!optimal) {
      result = step_pass(jq, djq, factorize, basis_type, reset_basics);
      if (result == kAnotherPass) continue;
      break;
    }
    if (result != MinorResult::kOptimal) break;
    result = at_phase_optimum();
    if (result != kAnotherPass) break;
  }
  elastic = q_.elastic;
  r_valid = q_.r_valid;
  ns_ = q_.ns;
  objective_.qp_value = q_.qp_value;
  objective_.value = s_.objective_sign * q_.qp_value;
  objective_.degenerate_steps = q_.degenerate_steps;
  return result;
}

}  // namespace

void minor_iterations(std::string_view kind,
                      std::string_view label,
                      bool& elastic,
                      int& result,
                      const QpRoutines& routines,
                      bool& r_valid,
                      bool& factorize,
                      std::string& basis_type,
                      bool& reset_basics,
                      const MinorSettings& settings,
                      int& ns,
                      int& minor_count,
                      int& itn,
                      MinorObjective& objective,
                      MinorMeasures& measures,
                      const ColumnMatrix& a,
                      int* state,
                      const double* bl,
                      const double* bu,
                      double* x,
                      int* iz,
                      int leniz,
                      double* z,
                      int lenz) {
  const int nb = settings.n + settings.m;
  convert_state_codes("Internal", nb, bl, bu, state, x, 8);
  MinorRun run(kind, label, routines, settings, ns, minor_count, itn, objective, measures, a,
               state, bl, bu, x, iz, leniz, z, lenz);
  result = run.run(elastic, r_valid, factorize, basis_type, reset_basics);
  convert_state_codes("External", nb, bl, bu, state, x, 8);
}

}  // namespace zun
