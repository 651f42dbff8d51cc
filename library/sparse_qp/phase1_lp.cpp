// The phase-1 LP of the start: makes the variables and slacks feasible on the basis of [A -I]
// (minimising the sum of infeasibilities, then, in elastic mode, the weighted sum of the
// elastic violations), one simplex step at a time.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/minor_loop.h"
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

constexpr double kInitialPriceThreshold = 100.0;
constexpr int kElasticObjectiveMode = 2;  // minimise the elastic violations alone
constexpr int kHeadingLevel = 10;

void convert(
    const char* mode, int nb, const double* bl, const double* bu, int* state, const double* x) {
  convert_state_codes(mode, nb, bl, bu, state, x, 8);
}

// Everything one call of the LP works on.
class Phase1Run {
 public:
  Phase1Run(std::string_view kind,
            std::string_view label,
            int m,
            int n,
            int print_level,
            double tol,
            int& itn,
            int& degenerate_steps,
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
        m_(m),
        n_(n),
        print_level_(print_level),
        tol_(tol),
        itn_(itn),
        degenerate_(degenerate_steps),
        a_(a),
        iz_(iz),
        leniz_(leniz),
        z_(z),
        lenz_(lenz) {
    basis_ = {state,
              qp::int_array(iz, qp::ia::kBsIndex),
              qp::real_array(iz, z, qp::ra::kXBS),
              qp::real_array(iz, z, qp::ra::kBlBS),
              qp::real_array(iz, z, qp::ra::kBuBS),
              x,
              bl,
              bu};
    type_ = qp::int_array(iz, qp::ia::kBasicFeasibility);
    allowance_ = qp::int_array(iz, qp::ia::kElasticAllowance);
    elastic_state_ = qp::int_array(iz, qp::ia::kElasticStates);
    grad_ = qp::real_array(iz, z, qp::ra::kPhaseGradient);
    pi_ = qp::real_array(iz, z, qp::ra::kPi);
    d_ = qp::real_array(iz, z, qp::ra::kReducedCosts);
    p_ = qp::real_array(iz, z, qp::ra::kDirection);
    entering_ = qp::real_array(iz, z, qp::ra::kEnteringColumn);
    rhs_ = qp::real_array(iz, z, qp::ra::kSolveWork);
    elastic_allowed_ = std::any_of(allowance_, allowance_ + nb(), [](int v) { return v != 0; });
    weight_ = z[rw::kElasticWeight - 1];
  }

  int run(bool& factorize, bool& reset_basics, int& ninf, double& sinf);

 private:
  int nb() const { return n_ + m_; }
  int& word(int k) const { return iz_[k - 1]; }
  double& real(int k) const { return z_[k - 1]; }

  int refactorize(bool& factorize, bool& reset_basics);
  void count_infeasibilities(int& ninf, double& sinf);
  bool count_updatable() const;
  void finish_count(int ninf);
  void form_pi();
  int optimal_pass(bool& factorize, bool& reset_basics, bool& again);
  int step(bool& factorize, bool& reset_basics, int jq, bool increasing);
  void decide_refactorization(bool& factorize, bool reset_basics);
  bool check_residuals();
  void log_line(int ninf, double sinf, int jq, double djq);
  void switch_to_elastic();

  std::string_view kind_;
  std::string_view label_;
  int m_;
  int n_;
  int print_level_;
  double tol_;
  int& itn_;
  int& degenerate_;
  const ColumnMatrix& a_;
  int* iz_;
  int leniz_;
  double* z_;
  int lenz_;
  BasisArrays basis_{};
  int* type_;
  int* allowance_;
  int* elastic_state_;
  double* grad_;
  double* pi_;
  double* d_;
  double* p_;
  double* entering_;
  double* rhs_;
  bool elastic_allowed_;
  double weight_;

  ExpandSchedule expand_;
  MinorLogHeadings headings_;
  MinorStepLog last_step_;
  bool elastic_ = false;
  bool flag_elastic_ = false;  // the first pass after the switch to elastic mode
  bool recount_ = true;        // the infeasibilities must be counted on this pass
  bool feasible_ = false;
  bool newly_feasible_ = false;
  int count_ = 0;  // infeasible non-elastic variables
  std::vector<int> infeasible_;  // their positions (0-based, ascending) at the last count
  std::vector<int> moved_;  // the basic positions the last step changed
  std::vector<int> scratch_;
  double counted_tol_ = 0.0;  // the working tolerance of the last count
  bool stepped_ = false;      // a step moved the basics since the last count
  int reason_ = RefactorReason::kNone;
  int section_ = 0;
  int r_ = 0;
  double pi_norm_ = 1.0;
  double lu_reference_ = 0.0;
};

int Phase1Run::refactorize(bool& factorize, bool& reset_basics) {
  bool changed = false;
  bool moved = false;
  int result = 0;
  int ns = 0;
  int bs_changes = 0;
  factorize_basis_driver(BasisType::kBasis, factorize, changed, moved, result, itn_, print_level_,
                         reason_, m_, n_, 0, ns, bs_changes, a_, basis_, iz_, leniz_, z_, lenz_);
  if (result != 0) return result;
  lu_reference_ = static_cast<double>(word(mi::kLuLenL0)) + word(mi::kLuLenU0);
  reset_basics = false;
  recount_ = true;
  // Variables that a repair moved out of the basis are no longer elastic; the elastic ones
  // that stay basic get their working bounds back.
  for (int j = 0; j < nb(); ++j) {
    if (basis_.state[j] != VariableState::kBasic) elastic_state_[j] = ElasticState::kNone;
  }
  if (elastic_) {
    set_elastic_bounds(m_, real(rw::kInfiniteBoundSize), elastic_state_, basis_.bs_index, basis_.bl,
                       basis_.bu, basis_.bl_bs, basis_.bu_bs);
  }
  if (print_level_ >= kHeadingLevel) word(mi::kFactorStatistics) = 1;
  return 0;
}

// True when the last count can be brought up to date from the positions the last step moved:
// a step was taken since, on the same factors, outside elastic mode, and the working
// tolerance has not shrunk (so that an unmoved feasible position stays feasible).
bool Phase1Run::count_updatable() const {
  return stepped_ && !recount_ && !elastic_ && count_ > 0 &&
         expand_.working_tol >= counted_tol_;
}

void Phase1Run::count_infeasibilities(int& ninf, double& sinf) {
  ninf = 0;
  sinf = 0.0;
  const int last = count_;
  if (count_updatable()) {
    update_phase1_infeasibilities(expand_.working_tol, moved_, infeasible_, scratch_, ninf, sinf,
                                  type_, basis_.bl_bs, basis_.bu_bs, grad_, basis_.xbs);
    finish_count(ninf);
  } else {
    std::fill(grad_, grad_ + m_, 0.0);
    if (flag_elastic_) {
      flag_near_bound_variables(m_, expand_.working_tol, real(rw::kInfiniteBoundSize),
                                allowance_, elastic_state_, basis_.bs_index, basis_.bl,
                                basis_.bu, basis_.bl_bs, basis_.bu_bs, basis_.xbs);
      flag_elastic_ = false;
    }
    if (count_ > 0 || recount_) {
      phase1_infeasibilities(m_, expand_.working_tol, ninf, sinf, type_, basis_.bl_bs,
                             basis_.bu_bs, grad_, basis_.xbs);
      list_infeasible_positions(m_, type_, infeasible_);
      recount_ = false;
      finish_count(ninf);
    }
  }
  feasible_ = count_ == 0;
  newly_feasible_ = feasible_ && last > 0;
  if (!elastic_) return;
  int elastic_count = 0;
  double elastic_sum = 0.0;
  sum_elastic_infeasibilities(m_, elastic_state_, basis_.bs_index, elastic_count, elastic_sum,
                              basis_.bl, basis_.bu, basis_.x);
  ninf += elastic_count;
  sinf += elastic_sum;
  if (feasible_) shift_elastic_values(m_, weight_, elastic_state_, basis_.bs_index, grad_);
}

// The bookkeeping of a count of ninf infeasible non-elastic variables.
void Phase1Run::finish_count(int ninf) {
  count_ = ninf;
  counted_tol_ = expand_.working_tol;
  stepped_ = false;
  qp::report_infeasible_count(iz_, itn_, print_level_, count_);
}

void Phase1Run::form_pi() {
  std::copy(grad_, grad_ + m_, rhs_);
  pi_norm_ = scaled_norm(m_, pi_, rhs_, iz_, z_);
}

bool Phase1Run::check_residuals() {
  return qp::residuals_pass(itn_, m_, n_, m_, a_, basis_, iz_, z_, print_level_);
}

void Phase1Run::log_line(int ninf, double sinf, int jq, double djq) {
  MinorLogLine line =
      qp::log_line_base(kind_, label_, elastic_, print_level_, itn_, section_, djq, iz_);
  line.elastic_mode = elastic_allowed_ ? kElasticObjectiveMode : 0;
  line.newly_feasible = newly_feasible_;
  line.objective_in_force = false;
  line.step = jq == 0 ? MinorStepLog{} : last_step_;
  line.ninf = ninf;
  line.sinf = sinf;
  line.elastic_weight = weight_;
  print_minor_iteration(line, headings_, iz_);
}

void Phase1Run::switch_to_elastic() {
  qp::report_elastic_start(iz_, itn_, print_level_, label_);
  elastic_ = true;
  flag_elastic_ = true;
  recount_ = true;
}

// The phase optimum: EXPAND and the residual check may ask for another pass (again := true).
int Phase1Run::optimal_pass(bool& factorize, bool& reset_basics, bool& again) {
  int moved = 0;
  expand_tolerance("Optimal", moved, print_level_, nb(), count_, itn_, tol_, expand_, basis_.state,
                   basis_.bl, basis_.bu, basis_.x, iz_, z_);
  bool failed = false;
  if (moved == 0 && word(mi::kIterationsSinceFactor) > 0 && !check_residuals()) {
    failed = true;
    reason_ = RefactorReason::kRowResiduals;
    factorize = true;
  }
  again = moved > 0 || failed;
  if (again) {
    reset_basics = true;
    feasible_ = false;
  }
  return 0;
}

void Phase1Run::decide_refactorization(bool& factorize, bool reset_basics) {
  if (reason_ == RefactorReason::kNone) {
    reason_ = qp::refactor_reason_after_step(itn_, m_, n_, m_, lu_reference_, reset_basics, a_,
                                             basis_, iz_, z_, print_level_);
  }
  if (reason_ != RefactorReason::kNone) factorize = true;
}

int Phase1Run::step(bool& factorize, bool& reset_basics, int jq, bool increasing) {
  int inform = 0;
  unpack_column(jq, m_, n_, a_, entering_);
  solve_with_basis("B y = y1", inform, m_, entering_, p_, iz_, z_);
  if (itn_ >= word(iw::kIterationLimit)) return MinorResult::kIterationLimit;
  ++itn_;
  ++word(mi::kIterationsSinceFactor);
  bool pi_stale = false;
  int result = 0;
  take_minor_step(feasible_, increasing, pi_stale, elastic_, result, m_, degenerate_, reason_, r_,
                  last_step_, jq, expand_.working_tol, expand_.increment, allowance_,
                  elastic_state_, type_, basis_, p_, iz_, leniz_, z_, lenz_, itn_, &moved_);
  if (result != 0) return result;
  stepped_ = true;
  expand_.working_tol += expand_.increment;
  const int frequency = word(iw::kExpandFrequency);
  if (frequency > 0 && itn_ % frequency == 0) {
    int moved = 0;
    expand_tolerance("End of cycle", moved, print_level_, nb(), count_, itn_, tol_, expand_,
                     basis_.state, basis_.bl, basis_.bu, basis_.x, iz_, z_);
    reset_basics = moved > 0;
  }
  decide_refactorization(factorize, reset_basics);
  return 0;
}

int Phase1Run::run(bool& factorize, bool& reset_basics, int& ninf, double& sinf) {
  real(mr::kInfeasiblePriceThreshold) = kInitialPriceThreshold;
  real(mr::kFeasiblePriceThreshold) = kInitialPriceThreshold;
  word(mi::kFactorStatistics) = 0;
  ninf = 0;
  sinf = 0.0;
  std::fill(elastic_state_, elastic_state_ + nb(), ElasticState::kNone);
  int moved = 0;
  expand_tolerance("Initialize", moved, print_level_, nb(), 0, itn_, tol_, expand_, basis_.state,
                   basis_.bl, basis_.bu, basis_.x, iz_, z_);
  if (m_ < 1) return MinorResult::kOptimal;
  if (word(mi::kFactorizations) > 0) {
    lu_reference_ = static_cast<double>(word(mi::kLuLenL0)) + word(mi::kLuLenU0);
  }
  for (;;) {
    if (factorize || reset_basics) {
      const int result = refactorize(factorize, reset_basics);
      if (result != 0) return result;
    }
    count_infeasibilities(ninf, sinf);
    if (newly_feasible_ && kind_.substr(0, 2) == ProblemKind::kFeasiblePoint && !elastic_) {
      log_line(ninf, sinf, 0, 0.0);
      return MinorResult::kOptimal;
    }
    real(rw::kOptimalityTolInForce) =
        feasible_ ? real(rw::kMinorOptimalityTol) : real(rw::kOptimalityCompanion);
    form_pi();
    bool increasing = false;
    int count = 0;
    int jq = 0;
    double djq = 0.0;
    price_partial(elastic_, feasible_, increasing, false, m_, n_, 0, 0, 0, count,
                  elastic_ && feasible_ ? weight_ : 0.0, 1.0, {}, pi_norm_, jq, djq, section_, a_,
                  allowance_, basis_.state, basis_.bl, basis_.bu, nullptr, pi_, d_, iz_, z_);
    if (jq == 0) {
      bool again = false;
      optimal_pass(factorize, reset_basics, again);
      if (again) continue;
    }
    log_line(ninf, sinf, jq, djq);
    newly_feasible_ = false;
    if (jq != 0) {
      const int result = step(factorize, reset_basics, jq, increasing);
      if (result != 0) return result;
      continue;
    }
    if (count_ == 0 || !elastic_allowed_) return MinorResult::kOptimal;
    if (elastic_) return feasible_ ? MinorResult::kOptimal : MinorResult::kInfeasible;
    switch_to_elastic();
  }
}

}  // namespace

void solve_phase1_lp(std::string_view kind,
                     std::string_view label,
                     bool& factorize,
                     bool& reset_basics,
                     int& result,
                     int m,
                     int n,
                     int print_level,
                     double feasibility_tol,
                     int& itn,
                     int& degenerate_steps,
                     int& ninf,
                     double& sinf,
                     const ColumnMatrix& a,
                     int* state,
                     const double* bl,
                     const double* bu,
                     double* x,
                     int* iz,
                     int leniz,
                     double* z,
                     int lenz) {
  convert("Internal", n + m, bl, bu, state, x);
  Phase1Run run(kind, label, m, n, print_level, feasibility_tol, itn, degenerate_steps, a, state,
                bl, bu, x, iz, leniz, z, lenz);
  result = run.run(factorize, reset_basics, ninf, sinf);
  convert("External", n + m, bl, bu, state, x);
}

}  // namespace zun
