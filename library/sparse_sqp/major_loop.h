// The state and the steps of one call of the major iterations, shared by the loop
// (major_iterations.cpp) and the search along each direction with the Hessian update
// (major_step.cpp).
#pragma once

#include "library/sparse_sqp/major_iterations.h"
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/sparse_multiply.h"
#include "library/sparse_sqp/derivative_level.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/jacobian_auxiliary.h"
#include "library/sparse_sqp/jacobian_product.h"
#include "library/sparse_sqp/line_search.h"
#include "library/sparse_sqp/major_log.h"
#include "library/sparse_sqp/merit_function.h"
#include "library/sparse_sqp/nonlinear_violation.h"
#include "library/sparse_sqp/qp_subproblem.h"
#include "library/sparse_sqp/quasi_newton.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/update_pair.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"


namespace zun::major {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;

constexpr int kRecordLength = 120;
// How an iteration goes on when it does not end the call (end classes are -1 and above).
constexpr int kNextIteration = -2;     // the next major iteration
constexpr int kSolveQpAgain = -3;      // the elastic weight grew: the QP again
constexpr int kAfterHessianReset = -4;  // the same iteration with the reset Hessian
constexpr int kWithCentralDifferences = -5;
constexpr int kDifferenceType = 182;
constexpr int kCentral = 2;
constexpr int kJacobianMissing = 183;
constexpr int kGradientMissing = 184;
constexpr int kFactorStatistics = 223;
constexpr int kLongHeading = 224;
constexpr int kShortHeading = 225;
constexpr int kEps067 = 3;
constexpr int kEps02 = 7;
constexpr int kSkipsBeforePenaltyReset = 9;
constexpr int kFruitlessResets = 2;
constexpr double kViolationCut = 0.1;
constexpr int kObjectiveRowWord = 218;

inline double norm1(const double* v, int count) {
  double s = 0.0;
  for (int i = 0; i < count; ++i) s += std::fabs(v[i]);
  return s;
}

inline double dot(int count, const double* a, const double* b) {
  double s = 0.0;
  for (int i = 0; i < count; ++i) s += a[i] * b[i];
  return s;
}

inline double scaled_norm1(const double* v, int count) {
  return count > 0 ? norm1(v, count) / std::sqrt(static_cast<double>(count)) : 0.0;
}

// The functions of one point.
struct PointValues {
  std::vector<double> x;
  std::vector<double> fcon;
  std::vector<double> gcon;
  std::vector<double> gobj;
  double fobj = 0.0;
  double merit = 0.0;
  double sinf = 0.0;
  std::vector<double> y1;
};

// The largest step and the first trial of a search.
struct StepLimits {
  double alpha_min = 0.0;
  double alpha_max = 1.0;
  double alpha_lim = 1.0;
  double first = 1.0;
};

// The point of a search: the start, the last trial, the accepted trial and scratch rows.
struct LineState {
  std::vector<double> x0;
  PointValues trial;
  PointValues acc;
  std::vector<double> c, v, jp, lp, zero;  // NCNLN each
};

class MajorLoop {
 public:
  MajorLoop(RunState& st, const Evaluator& ev, const MajorProblem& pr);
  int run();

 private:
  // Words and sizes.
  int word(int w) const { return st_.iz[w - 1]; }
  int& word_ref(int w) { return st_.iz[w - 1]; }
  double real(int w) const { return st_.z[w - 1]; }
  bool logging() const { return print_level_ == 5 || print_level_ >= 10; }

  int evaluate(int mode, double* x, double* fcon, double* gcon, double& fobj, double* gobj);
  void activity(const double* x, const double* fcon, double* c) const;
  double objective_part(const double* x, double fobj) const;
  void load_rows();
  int factorize(bool first);
  int qp_phase();
  void measure();
  bool difference_switch();
  void log_line();
  int search_and_update();
  void merit_at_start(double& f, double& gf);
  bool step_limits(StepLimits& lim) const;
  int trial_point(LineState& ls, double alpha, bool slope, double& merit, double& g);
  int search(LineState& ls, StepLimits lim, double merit0, double g0);
  int take_step(LineState& ls);
  int failed_search(int search);
  int update_hessian(const PointValues& acc, double alpha);
  bool update_reduced_factor(const QuasiNewtonHessian& h,
                             int stored_before,
                             double apy,
                             QuasiNewtonPair& pair);
  void reset_penalties();
  void gradient_scale();
  void header() const;
  void exit_lines() const;
  void message(const std::string& text) const {
    message_both_units(st_.iz, print_level_, itn_, text, true, true);
  }

  RunState& st_;
  Evaluator ev_;
  MajorProblem pr_;
  int n_, m_, nb_, ncnln_, njnln_, ngcon_, nnl_;
  int print_level_, minor_print_;
  double* x_;
  double* fcon_;
  double* gcon_;
  double* gobj_;
  double* y_;
  double* pi_;
  std::vector<double> xqp_, p_, w_, d_, c_, viol_, dy_, rho_, work_, hp_, gobj_qp_;
  PenaltyState penalty_;
  ElasticWeight elastic_weight_;
  bool elastic_ = false;
  bool elastic_allowed_ = false;
  bool r_valid_ = false;
  bool differences_ = false;
  bool derivatives_after_ = false;
  bool pending_central_ = false;
  bool cut_for_violation_ = false;
  bool first_factor_ = true;
  bool stopped_in_search_ = false;  // a routine stopped the line search: no exit lines
  bool stop_after_update_ = false;  // a routine asked to stop at the re-evaluation point
  int result_ = 0;
  int itn_ = 0;
  int major_ = 0;
  int minor_count_ = 0;
  int minor_total_ = 0;
  int ns_ = 0;
  int bs_changes_ = 0;
  int logged_major_ = -1;
  int central_count_ = 0;
  int fruitless_ = 0;
  int skipped_ = 0;
  int ninf_ = 0;
  int ninf_qp_ = 0;
  double sinf_ = 0.0;
  double sinf_qp_ = 0.0;
  double g0_scale_ = 1.0;
  double x_norm_ = 0.0, x_norm_n_ = 0.0, p_norm_ = 0.0, p_norm_n_ = 0.0;
  double pi_norm_ = 1.0;
  double dual_inf_ = 0.0;
  double primal_inf_ = 0.0;
  double max_res_ = 0.0;
  double merit_ = 0.0;
  double step_ = 0.0;
  double php_ = 0.0;
  bool feasible_ = false;
  bool optimal_ = false;
  bool converged_ = false;
  bool minor_limit_ = false;
  char flags_[6] = {' ', ' ', ' ', ' ', ' ', ' '};
  char qp_flags_[2] = {' ', ' '};
  FactorStats factor_stats_;
};



}  // namespace zun::major
