// The solver's side of the user routines confun and objfun: the call-throughs that pass a
// call on, and the wrappers that count calls, switch the variables between the solver's
// scaled units and the user's units, call the routine and turn a negative MODE into a stop.
#pragma once

#include "library/sparse_sqp/sparse_sqp.h"

namespace zun {

// Call-throughs: call ROUTINE with the remaining arguments.
void call_constraint_routine(ConstraintRoutine routine,
                             int& mode,
                             const int& ncnln,
                             const int& njnln,
                             const int& ngcon,
                             const double* x,
                             double* fcon,
                             double* gcon,
                             const int& firstcall,
                             int* iusr,
                             double* rusr);
void call_objective_routine(ObjectiveRoutine routine,
                            int& mode,
                            const int& nonln,
                            const double* x,
                            double& fobj,
                            double* gobj,
                            const int& firstcall,
                            int* iusr,
                            double* rusr);

using ConstraintCallThrough = decltype(&call_constraint_routine);
using ObjectiveCallThrough = decltype(&call_objective_routine);

// The user routines of a solve, each paired with its call-through, and the user arrays that
// pass to them unchanged.
struct UserRoutines {
  ConstraintRoutine confun = nullptr;
  ConstraintCallThrough call_confun = call_constraint_routine;
  ObjectiveRoutine objfun = nullptr;
  ObjectiveCallThrough call_objfun = call_objective_routine;
  int* iusr = nullptr;
  double* rusr = nullptr;
};

// Status of an evaluation.
namespace evaluation_status {
constexpr int kNormal = 0;
constexpr int kUndefined = -1;  // the routine returned MODE = -1
constexpr int kUserStop = 6;    // the routine returned MODE <= -2
}  // namespace evaluation_status

// The column structure of the matrix that locates the nonlinear Jacobian elements.
struct JacobianStructure {
  int n = 0;
  const int* ha = nullptr;  // row numbers, 1-based
  const int* ka = nullptr;  // column starts, size n+1, 1-based
};

// Calls confun with MODE (0 values, 1 derivatives, 2 both) at x(1..NJNLN) (solver units).
// fcon(NCNLN), gcon(NGCON) out in solver units.  FIRSTCALL: 1 first call, 0 later, >= 2 the
// final evaluation.  STATUS out (evaluation_status); STOP_CODE := the negative MODE returned.
// Counters IZ(189), IZ(190); under scale option 2 the scales at IZ(274), the saved variables
// at IZ(275) and the saved Jacobian at IZ(306) are used.
void evaluate_constraints(int mode,
                          int& status,
                          int firstcall,
                          int ncnln,
                          int njnln,
                          int ngcon,
                          const UserRoutines& user,
                          const JacobianStructure& jac,
                          double* fcon,
                          double* gcon,
                          double* x,
                          int* iz,
                          double* z,
                          int& stop_code);

// Calls objfun with MODE at x(1..NONLN); fobj and gobj(NONLN) out.  Counters IZ(194),
// IZ(195); the gradient is scaled under scale option 2 (the value is not).
void evaluate_objective(int mode,
                        int& status,
                        int firstcall,
                        int nonln,
                        const UserRoutines& user,
                        double& fobj,
                        double* gobj,
                        double* x,
                        int* iz,
                        double* z,
                        int& stop_code);

}  // namespace zun
