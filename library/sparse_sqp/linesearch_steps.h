// The step routines of the line search, by reverse communication: each call takes the value
// (and slope) of psi(alpha) = M(alpha) - M(0) - 0.0001 alpha M'(0) at the last trial and gives
// the next trial step, or says that the search is done.  StepSearchA uses slopes, StepSearchB
// function values alone.
#pragma once

namespace zun {

// Results of a search; below kMaxStepTooSmall the step is accepted.
namespace search_result {
constexpr int kConverged = 1;         // sufficient decrease, step below alphaMax
constexpr int kConvergedAtMax = 2;    // sufficient decrease at alphaMax
constexpr int kBetterPoint = 3;       // a better point, the slope test not met
constexpr int kMaxStepTooSmall = 4;
constexpr int kStepTooSmall = 5;
constexpr int kNoMinimizer = 6;
constexpr int kTooManyFunctions = 7;
constexpr int kUphill = 8;
constexpr int kUnbounded = 9;
constexpr int kUserStop = -1;
}  // namespace search_result

// What a search is given.
struct SearchLimits {
  double alpha_max = 0.0;
  double tol_abs = 0.0;
  double tol_rel = 0.0;
  double tol_tiny = 0.0;
  double epsaf = 0.0;  // absolute function precision
  double g0 = 0.0;     // M'(0)
  double eta = 0.9;    // line search tolerance
  int max_evaluations = 0;
};

// The state shared by both routines: offsets are from the best step alfbst.
struct StepState {
  double alpha = 0.0;  // the next trial step (out)
  bool done = false;
  bool improved = false;  // the last trial became the best
  int result = 0;
  int count = 0;
  double alfbst = 0.0, fbest = 0.0, gbest = 0.0;
  double xw = 0.0, fw = 0.0, gw = 0.0;
  double xv = 0.0, fv = 0.0;
  double a = 0.0, fa = 0.0, b = 0.0, xtry = 0.0;
  double tol = 0.0, tolmax = 0.0, factor = 5.0;
  bool bracketed = false, extrapolate = false, w_set = false, v_set = false;
  bool moved = false, small_max = false;
  int left = 0, right = 0;
  SearchLimits lim;
};

// Derivative search.  start: the first trial step and the limits; next: the value and slope
// of psi at the last trial.
class StepSearchA {
 public:
  void start(double alpha, const SearchLimits& lim);
  void next(double ftry, double gtry);
  const StepState& state() const { return s_; }

 private:
  void terminate();
  void choose();
  void place();
  StepState s_;
};

// Function-value search.
class StepSearchB {
 public:
  void start(double alpha, const SearchLimits& lim);
  void next(double ftry);
  const StepState& state() const { return s_; }

 private:
  void terminate(bool flat);
  void choose();
  void place();
  double slope0() const { return 0.9999 * s_.lim.g0; }
  StepState s_;
};

}  // namespace zun
