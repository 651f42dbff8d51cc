// The safeguarded step-length searches of the major iterations: one trial step per call, on
// the shifted merit function psi(alpha) = M(alpha) - M(0) - 0.0001 alpha M'(0).  Neither
// routine evaluates anything: the caller evaluates psi (and its slope) at the step returned
// and calls again with the value.
#pragma once

namespace zun {

// Result codes of the step searches (0 while the search goes on).
namespace step_result {
constexpr int kGoing = 0;
constexpr int kSlopeMet = 1;          // slope test met below the largest step
constexpr int kSlopeMetAtMax = 2;     // slope test met at the largest step
constexpr int kBetterPoint = 3;       // a better point, the slope test not met
constexpr int kCramped = 4;           // the largest step is below the absolute tolerance
constexpr int kBelowSmallest = 5;     // the interval fell below the smallest useful step
constexpr int kNoBetterPoint = 6;     // the interval shrank to noise level
constexpr int kEvaluationLimit = 7;   // the evaluation limit without a better point
constexpr int kBadInput = 8;          // largest step too small or an uphill direction
}  // namespace step_result

// Inputs and the state kept between the calls of one search.  Offsets (xtry, xw, xv, a, b)
// are relative to the best step alfbst.
struct StepSearch {
  // Inputs, fixed during a search (tolabs may be reduced by the search).
  int limit = 15;         // evaluation limit
  double alfmax = 1.0;    // largest step
  double alfsml = 0.0;    // smallest useful step (values-only search)
  double epsaf = 0.0;     // differences of psi below it are noise
  double g0 = -1.0;       // slope of psi at 0
  double targtg = 0.0;    // the slope test |psi'| <= targtg (or its values-only substitute)
  double tolabs = 0.0;
  double tolrel = 0.0;
  double toltny = 0.0;    // tiny-step tolerance
  // State.
  double alfbst = 0.0, fbest = 0.0, gbest = 0.0;
  double a = 0.0, b = 0.0, fa = 0.0;
  double xtry = 0.0, xw = 0.0, fw = 0.0, gw = 0.0, xv = 0.0, fv = 0.0;
  double tol = 0.0, margin = 0.0, factor = 5.0;
  bool braktd = false, extrap = false, crampd = false, moved = false;
  bool wset = false, vset = false, imprvd = false;
  int nsamea = 0, nsameb = 0, numf = 0;

  static constexpr int kWords = 28;
  // The whole record as reals (for the store between requests) and back.
  void save(double* words) const;
  void load(const double* words);
};

// Values-only search.  FIRST starts it (alfa: the first trial step wanted); later calls take
// ftry = psi(alfa).  Returns kGoing with the next trial in alfa, or a result code with alfa
// the step to take (alfbst).
int search_step_values_only(StepSearch& s, bool first, double ftry, double& alfa);

// Search with values and slopes: as above, gtry = psi'(alfa).
int search_step_with_derivatives(StepSearch& s, bool first, double ftry, double gtry, double& alfa);

}  // namespace zun
