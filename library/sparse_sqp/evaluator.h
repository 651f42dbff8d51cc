// The user routines of a run as one value: the routines and their call-throughs, the
// structure of the nonlinear Jacobian, the workspace and the run's stop code.  Every
// evaluation of the major iterations, the derivative level and the differences goes through it.
#pragma once

#include "library/sparse_sqp/user_routines.h"

namespace zun {

struct Evaluator {
  UserRoutines user;
  JacobianStructure jac;  // the column structure of the constraint matrix
  int ncnln = 0;
  int njnln = 0;
  int nonln = 0;
  int ngcon = 0;  // nonlinear Jacobian elements (the length of gCon, at least 1)
  int* iz = nullptr;
  double* z = nullptr;
  int* stop_code = nullptr;  // written with every negative MODE that a routine returns

  // A MODE = -1 that the run got past (the functions were evaluated again at a point where it
  // goes on) is no longer the run's stop code; any other stop code stays.
  void forget_undefined() const {
    if (*stop_code == -1) *stop_code = 0;
  }

  // confun at x (its first NJNLN entries): fcon(NCNLN), gcon(NGCON).  Returns the status
  // (evaluation_status).  Does nothing and returns 0 when NCNLN = 0.
  int constraints(int mode, int firstcall, double* x, double* fcon, double* gcon) const {
    int status = evaluation_status::kNormal;
    if (ncnln < 1) return status;
    evaluate_constraints(mode, status, firstcall, ncnln, njnln, ngcon, user, jac, fcon, gcon, x,
                         iz, z, *stop_code);
    return status;
  }

  // objfun at x (its first NONLN entries): f, g(NONLN).  Returns the status; nothing is done
  // when NONLN = 0.
  int objective(int mode, int firstcall, double* x, double& f, double* g) const {
    int status = evaluation_status::kNormal;
    if (nonln < 1) return status;
    evaluate_objective(mode, status, firstcall, nonln, user, f, g, x, iz, z, *stop_code);
    return status;
  }
};

}  // namespace zun
