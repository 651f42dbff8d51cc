// The driver's evaluation routines over the ASL's evaluators.
#include "drivers/spnlp/callbacks.h"

#include <algorithm>
#include <cmath>

#include "asl.h"
#include "drivers/common/evaluation_checks.h"
#include "drivers/spnlp/asl_record.h"

namespace spnlp {
namespace {

constexpr int kValues = 0;
constexpr int kDerivatives = 1;
constexpr int kBoth = 2;
constexpr int kCannotEvaluate = -1;

bool wants_values(int mode) { return mode == kValues || mode == kBoth; }
bool wants_derivatives(int mode) { return mode == kDerivatives || mode == kBoth; }

// The full point for the ASL in rusr(1..n_var): the leading variables, then zeros.
real* full_point(const double* xnl, int count, double* rusr) {
  const int n = n_var;
  std::copy(xnl, xnl + count, rusr);
  std::fill(rusr + count, rusr + n, 0.0);
  return rusr;
}

// Constraint values of rows 0..ncnln-1; false after an evaluation error.
bool constraint_values(int ncnln, real* x, double* fcon) {
  for (int i = 0; i < ncnln; ++i) {
    fint error = 0;
    const real value = conival(i, x, &error);
    if (error != 0 || !std::isfinite(value)) return false;
    fcon[i] = value;
  }
  return true;
}

// Jacobian elements of rows 0..ncnln-1 in the leading njnln variables, scattered into gCon
// through the walk-order map iusr(2..); false after an evaluation error.  The compact gradient
// follows the row's term list, which need not be in increasing variable order: every term is
// visited, and those of later variables are skipped.
bool constraint_gradients(
    int ncnln, int njnln, real* x, double* gcon, const int* iusr, real* gradient) {
  int c = 0;
  for (int i = 0; i < ncnln; ++i) {
    fint error = 0;
    congrd(i, x, gradient, &error);
    if (error != 0 || !zun_driver::all_finite(gradient, zun_driver::jacobian_list_length(i))) {
      return false;
    }
    int k = 0;
    for (const cgrad* e = Cgrad[i]; e != nullptr; e = e->next, ++k) {
      if (e->varno < njnln) gcon[iusr[++c]] = gradient[k];
    }
  }
  return true;
}

}  // namespace

KnownPoint::KnownPoint(double* x) {
  fint error = 0;
  xknowne(x, &error);
  if (error != 0) xunknown();
}

KnownPoint::~KnownPoint() { xunknown(); }

void confun(int& mode,
            const int& ncnln,
            const int& njnln,
            const int& /*ngcon*/,
            const double* xnl,
            double* fcon,
            double* gcon,
            const int& /*firstcall*/,
            int* iusr,
            double* rusr) {
  if (asl == nullptr || xnl == nullptr || fcon == nullptr || gcon == nullptr || iusr == nullptr ||
      rusr == nullptr) {
    return;
  }
  real* x = full_point(xnl, njnln, rusr);
  const KnownPoint known(x);
  if (wants_values(mode) && !constraint_values(ncnln, x, fcon)) {
    mode = kCannotEvaluate;
    return;
  }
  if (wants_derivatives(mode) && !constraint_gradients(ncnln, njnln, x, gcon, iusr, rusr + n_var)) {
    mode = kCannotEvaluate;
  }
}

void objfun(int& mode,
            const int& nonln,
            const double* xnl,
            double& fobj,
            double* gobj,
            const int& /*firstcall*/,
            int* iusr,
            double* rusr) {
  if (asl == nullptr || xnl == nullptr || gobj == nullptr || iusr == nullptr || rusr == nullptr) {
    return;
  }
  const int objective = iusr[0];
  real* x = full_point(xnl, nonln, rusr);
  if (wants_values(mode)) {
    fint error = 0;
    const real value = objective >= 0 ? objval(objective, x, &error) : 0.0;
    if (error != 0 || !std::isfinite(value)) {
      mode = kCannotEvaluate;
      return;
    }
    fobj = value;
  }
  if (!wants_derivatives(mode)) return;
  if (objective < 0) {
    std::fill(gobj, gobj + nonln, 0.0);
    return;
  }
  real* gradient = rusr + n_var;
  fint error = 0;
  objgrd(objective, x, gradient, &error);
  if (error != 0 || !zun_driver::all_finite(gradient, static_cast<std::size_t>(n_var))) {
    mode = kCannotEvaluate;
    return;
  }
  std::copy(gradient, gradient + nonln, gobj);
}

}  // namespace spnlp
