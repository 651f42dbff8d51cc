// Call-throughs and evaluation wrappers of the user routines.
#include "library/sparse_sqp/user_routines.h"

#include <algorithm>

#include "library/sparse_sqp/derivative_scaling.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/workspace_words.h"

namespace zun {
namespace {

namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;
namespace iw = sparse_option::integer_word;

constexpr int kScaleEverything = 2;

bool values_requested(int mode) { return mode == 0 || mode == 2; }

// Saves x(1..count) (solver units) and turns it into user units.
void to_user_units(int count, double* x, Words<const int> i, Words<double> z) {
  double* saved = z.at(i(ra::kScaledVariables));
  const double* scale = z.at(i(ra::kScales));
  std::copy(x, x + count, saved);
  for (int j = 0; j < count; ++j) x[j] *= scale[j];
}

void restore_solver_units(int count, double* x, Words<const int> i, Words<double> z) {
  const double* saved = z.at(i(ra::kScaledVariables));
  std::copy(saved, saved + count, x);
}

void record_stop(int returned_mode, int& status, int& stop_code) {
  if (returned_mode >= 0) return;
  stop_code = returned_mode;
  status = returned_mode == -1 ? evaluation_status::kUndefined : evaluation_status::kUserStop;
}

}  // namespace

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
                             double* rusr) {
  routine(mode, ncnln, njnln, ngcon, x, fcon, gcon, firstcall, iusr, rusr);
}

void call_objective_routine(ObjectiveRoutine routine,
                            int& mode,
                            const int& nonln,
                            const double* x,
                            double& fobj,
                            double* gobj,
                            const int& firstcall,
                            int* iusr,
                            double* rusr) {
  routine(mode, nonln, x, fobj, gobj, firstcall, iusr, rusr);
}

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
                          int& stop_code) {
  Words<int> i(iz);
  Words<double> r(z);
  status = evaluation_status::kNormal;
  ++i(ws::kConfunCalls);
  if (mode > 0) ++i(ws::kConfunDerivativeCalls);
  const bool scaled = i(iw::kScaleOption) == kScaleEverything;
  if (scaled) {
    to_user_units(njnln, x, i, r);
    const int level = i(iw::kDerivativeLevel);
    // Elements the routine does not set keep their values from the last call.  On the first
    // call the preset not-supplied values stay, so that the derivative level can be detected.
    if ((level == 2 || level == 3) && mode == 2 && firstcall != 1 &&
        i(ws::kJacobianSupplied) < ngcon) {
      const double* saved = r.at(i(ra::kSavedJacobian));
      std::copy(saved, saved + ngcon, gcon);
    }
  }
  int user_mode = mode;
  user.call_confun(user.confun, user_mode, ncnln, njnln, ngcon, x, fcon, gcon, firstcall, user.iusr,
                   user.rusr);
  if (scaled) {
    restore_solver_units(njnln, x, i, r);
    const double* scale = r.at(i(ra::kScales));
    if (values_requested(mode)) {
      for (int k = 0; k < ncnln; ++k) fcon[k] /= scale[jac.n + k];
    }
    if (mode > 0) scale_jacobian(ncnln, njnln, jac.n, scale, jac.ha, jac.ka, gcon, iz, z);
  }
  record_stop(user_mode, status, stop_code);
}

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
                        int& stop_code) {
  Words<int> i(iz);
  Words<double> r(z);
  status = evaluation_status::kNormal;
  ++i(ws::kObjfunCalls);
  if (mode > 0) ++i(ws::kObjfunDerivativeCalls);
  const bool scaled = i(iw::kScaleOption) == kScaleEverything;
  if (scaled) to_user_units(nonln, x, i, r);
  int user_mode = mode;
  user.call_objfun(user.objfun, user_mode, nonln, x, fobj, gobj, firstcall, user.iusr, user.rusr);
  if (scaled) {
    restore_solver_units(nonln, x, i, r);
    if (mode > 0) scale_gradient(nonln, r.at(i(ra::kScales)), gobj, iz, z);
  }
  record_stop(user_mode, status, stop_code);
}

}  // namespace zun
