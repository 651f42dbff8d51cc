// The augmented-Lagrangian merit function of the major iterations: the choice of the slacks of
// the nonlinear rows, the penalty parameters, the change in the Lagrangian gradient along a
// step, and the step to the nearest bound.
#pragma once

#include "library/sparse_sqp/user_routines.h"

namespace zun {

// The penalty state kept across major iterations.
struct PenaltyState {
  double step_factor = 1.0;
  double ceiling = 0.0;         // 1/eps
  bool direction_down = true;   // the direction flag
  double norm = 0.0;            // two-norm of rho
};

// Per nonlinear row i (x(n+i) its slack): chooses the slack so that the residual
// viol(i) = fcon(i) - x(n+i) minimises the row's merit term inside the row's bounds (and a trust
// interval around the present residual).  bl, bu, x: nb; viol, y, rho, fcon: NCNLN.
void set_merit_slacks(bool elastic,
                      int n,
                      int ncnln,
                      double tolerance,
                      double wt_inf,
                      const double* bl,
                      const double* bu,
                      double* viol,
                      double* x,
                      const double* y,
                      const double* rho,
                      const double* fcon);

// merit (in: f plus the elastic term; out: the merit value) and derivative (in: the objective
// part; out: the merit derivative); rho is raised (or lowered toward its floor) so that the
// derivative is at most -curvature/2 where that can be had.  z: the real workspace (words 2,
// 10, 89).  work: NCNLN.
void update_penalty_parameters(int ncnln,
                               double& merit,
                               double& derivative,
                               double curvature,
                               PenaltyState& penalty,
                               const double* viol,
                               const double* y,
                               const double* dy,
                               double* rho,
                               double* work,
                               const double* z);

// yvec(nnL) := the change of the Lagrangian gradient sign*g - J'y1 from the old to the new
// point; returns p'yvec over the nnL nonlinear variables (0 when nnL < 1).
double merit_directional_derivative(int sign,
                                    int ncnln,
                                    int nonln,
                                    int njnln,
                                    int nnl,
                                    const JacobianStructure& jac,
                                    const double* gobj_old,
                                    const double* gobj_new,
                                    const double* gcon_old,
                                    const double* gcon_new,
                                    const double* p,
                                    double* yvec,
                                    const double* y1);

// The largest step from x along p (nb entries) that keeps every variable with
// |p(j)| > tolerance within its bounds, starting from start_step and stopping the scan once at
// the floor; the result is never below floor, and is floor when within margin of it.
double max_step_to_bounds(int nb,
                          double start_step,
                          double floor,
                          double tolerance,
                          double margin,
                          const double* bl,
                          const double* bu,
                          const double* x,
                          const double* p);

}  // namespace zun
