// The pair of a quasi-Newton update.  With nonlinear constraints, when the curvature along the
// step is too small, the pair is taken again from a point on the way to the QP's feasible
// point, or else modified: the gradient change is augmented by a multiple of the change in the
// constraint gradients weighted by the constraint residuals.
#pragma once

#include <functional>
#include <vector>

#include "library/sparse_sqp/quasi_newton.h"
#include "library/sparse_sqp/user_routines.h"

namespace zun {

// p'y (in/out) is raised toward threshold by adding J_new'(omega .* w) - J_old'(omega .* w)
// to y (NJNLN entries of the nnL), w(i) = F_new(i) - F_old(i) - alpha (J_old p)(i), omega >= 0
// the least-norm weights that make up the shortfall.  Returns false (nothing changed) when no
// such weights exist or they would be too large.
bool form_update_pair(int ncnln,
                      int njnln,
                      const JacobianStructure& jac,
                      double& py,
                      double threshold,
                      double alpha,
                      const double* fcon_old,
                      const double* fcon_new,
                      const double* gcon_old,
                      const double* gcon_new,
                      const double* p,
                      double* y);

// The functions at one end of a step (solver units): fcon(NCNLN), gcon(NGCON), gobj(NONLN).
struct StepEndValues {
  const double* fcon = nullptr;
  const double* gcon = nullptr;
  const double* gobj = nullptr;
};

// Evaluates confun and objfun with derivatives (MODE 2, differences filled in) at x (nb
// entries); returns the evaluation status with the values in `at`, valid until the next call.
using StepEndEvaluation = std::function<int(const double* x, StepEndValues& at)>;

// The sizes of a quasi-Newton update of the major iterations.
struct UpdateProblem {
  int sign = 1;   // 1 minimise, -1 maximise
  int ncnln = 0;
  int njnln = 0;
  int nonln = 0;  // objective gradient entries (at most nnL)
  int nnl = 0;
  int nb = 0;
  JacobianStructure jac;
  double eps = 0.0;
};

// The pair handed to QuasiNewtonHessian::update.
struct QuasiNewtonPair {
  double py = 0.0;
  double threshold = 0.0;
  double php = 0.0;
  std::vector<double> hp;  // H p (nnL)
  std::vector<double> y;   // change of the Lagrangian gradient (nnL)
  // ' ' the step's own pair; with nonlinear rows, when its curvature is too small: 'M' the pair
  // from the point at alpha on the way from x0 to the QP's feasible point w, 'm' the modified
  // pair, 'n' none that passes (the update is skipped).
  char flag = ' ';
  int status = 0;  // the status of the re-evaluation at the intermediate point (0 when none)
};

// The smallest acceptable p'y of a step alpha p: 0.0001 s'Hs for s = alpha p, in the units of p.
double curvature_threshold(double alpha, double php);

// Chooses the pair of the step alpha p from x0 (values `old`) to the accepted point (values
// `acc`, multipliers y1).  When the re-evaluation at x0 + alpha (w - x0) succeeds, p (nb) is
// replaced by p - (w - x0), the direction from there; when it fails (status -1, or a stop) the
// step's own pair goes on to the modification.
QuasiNewtonPair choose_update_pair(const UpdateProblem& pr,
                                   const QuasiNewtonHessian& h,
                                   double alpha,
                                   const double* x0,
                                   const double* w,
                                   double* p,
                                   StepEndValues old,
                                   StepEndValues acc,
                                   const double* y1,
                                   const StepEndEvaluation& reevaluate);

}  // namespace zun
