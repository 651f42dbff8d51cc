// The derivative level and the estimation of missing derivatives by differences.
#include "library/sparse_sqp/derivative_level.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

constexpr int kRecordLength = 120;
constexpr int kConstraintsMissingWord = 183;  // Jacobian elements estimated by differences
constexpr int kGradientMissingWord = 184;     // objective gradient elements so estimated
constexpr int kDifferenceType = 182;          // 1 forward, 2 central
constexpr int kCentral = 2;
constexpr int kConfunDifferenceBase = 190;  // + type: confun calls for differences
constexpr int kObjfunDifferenceBase = 195;  // + type: objfun calls for differences
constexpr int kSavedGradient = 299;         // position of the saved objective gradient
constexpr int kConstraintLevel = 2;         // levels 2 and 3 supply constraint gradients
constexpr int kValuesOnly = 0;
constexpr int kBothDerivatives = 2;

int& word(const Evaluator& ev, int w) { return ev.iz[w - 1]; }
double real(const Evaluator& ev, int w) { return ev.z[w - 1]; }
double* real_array(const Evaluator& ev, int position_word) {
  return Words<double>(ev.z).at(word(ev, position_word));
}

// Writes the record on the print unit and on the monitoring unit when that is open and
// differs from it.
void both_units(const Evaluator& ev, const platform::Record& r, bool blank_before) {
  const int print = word(ev, iw::kPrintUnit);
  const int monitor = word(ev, iw::kMonitoringUnit);
  const auto put = [&](int unit) {
    if (blank_before) write_record(unit, platform::Record(kRecordLength));
    write_record(unit, r);
  };
  put(print);
  if (monitor >= 0 && monitor != print) put(monitor);
}

int count_supplied(const double* v, int count, double sentinel) {
  return static_cast<int>(std::count_if(v, v + count, [&](double g) { return g != sentinel; }));
}

int constraint_side(const Evaluator& ev, const DerivativePoint& at, bool print) {
  const double sentinel = real(ev, rw::kNotSupplied);
  const int supplied = count_supplied(at.gcon, ev.ngcon, sentinel);
  word(ev, ws::kJacobianSupplied) = supplied;
  if (print) {
    both_units(ev,
               platform::Record(kRecordLength)
                   .text(" confun  sets")
                   .i(supplied, 8)
                   .text("   out of")
                   .i(ev.ngcon, 8)
                   .text("   constraint gradients."),
               true);
  }
  if (supplied == ev.ngcon) return 0;
  double* saved = real_array(ev, run_array::kSavedJacobian);
  const int level = word(ev, iw::kDerivativeLevel);
  if (level < kConstraintLevel) {
    std::copy(at.gcon, at.gcon + ev.ngcon, saved);
    word(ev, kConstraintsMissingWord) = ev.ngcon - supplied;
    return 0;
  }
  if (print) {
    both_units(ev,
               platform::Record(kRecordLength)
                   .text(" XXX Some constraint derivatives are missing (assumed constant)."),
               true);
  }
  std::copy(saved, saved + ev.ngcon, at.gcon);
  return ev.constraints(kBothDerivatives, 0, at.x, at.fcon, at.gcon);
}

void objective_side(const Evaluator& ev, const DerivativePoint& at, bool print, int itn) {
  const double sentinel = real(ev, rw::kNotSupplied);
  const int supplied = count_supplied(at.gobj, ev.nonln, sentinel);
  word(ev, ws::kObjGradientSupplied) = supplied;
  if (print) {
    both_units(ev,
               platform::Record(kRecordLength)
                   .text(" objfun  sets")
                   .i(supplied, 8)
                   .text("   out of")
                   .i(ev.nonln, 8)
                   .text("   objective  gradients."),
               ev.ncnln == 0);
  }
  if (supplied == ev.nonln) return;
  int& level = word(ev, iw::kDerivativeLevel);
  if (level == 1 || level == 3) {
    const int old = level;
    --level;
    if (print) {
      both_units(ev,
                 platform::Record(kRecordLength).text(" XXX Some objective derivatives are missing."),
                 true);
      const std::string text = "Derivative level reduced from " + platform::format_i(old, 14) +
                               " to " + platform::format_i(level, 14) + ".";
      const std::string monitor_text = "Derivative level reduced from " +
                                       platform::format_i(old, 16) + " to " +
                                       platform::format_i(level, 16) + ".";
      const int print_unit = word(ev, iw::kPrintUnit);
      write_record(print_unit, platform::Record(kRecordLength));
      write_record(print_unit,
                   platform::Record(kRecordLength).text(" Itn").i(itn, 7).text(" -- ").text(text));
      const int monitor = word(ev, iw::kMonitoringUnit);
      if (monitor >= 0 && monitor != print_unit) {
        write_record(monitor, platform::Record(kRecordLength).text(" XXX ").text(monitor_text));
      }
    }
  }
  std::copy(at.gobj, at.gobj + ev.nonln, real_array(ev, kSavedGradient));
  word(ev, kGradientMissingWord) = ev.nonln - supplied;
}

double interval(const Evaluator& ev, int type) {
  return real(ev, type == kCentral ? rw::kCentralDifferenceInterval
                                   : rw::kForwardDifferenceInterval);
}

}  // namespace

int check_derivative_level(const Evaluator& ev, const DerivativePoint& at, int itn) {
  for (int w : {kConstraintsMissingWord, kGradientMissingWord, ws::kObjGradientSupplied,
                ws::kJacobianSupplied}) {
    word(ev, w) = 0;
  }
  const double sentinel = real(ev, rw::kNotSupplied);
  int cstatus = 0;
  int ostatus = 0;
  if (ev.ncnln > 0) {
    std::fill(at.gcon, at.gcon + ev.ngcon, sentinel);
    cstatus = ev.constraints(kBothDerivatives, 1, at.x, at.fcon, at.gcon);
  }
  if (ev.nonln > 0) {
    std::fill(at.gobj, at.gobj + ev.nonln, sentinel);
    ostatus = ev.objective(kBothDerivatives, 1, at.x, *at.fobj, at.gobj);
  }
  if (cstatus != 0 || ostatus != 0) {
    // The wrappers have stored the routine's MODE; the constraint routine's takes precedence
    // because it was called first and the objective call cannot have overwritten a stop
    // without itself stopping.
    return end_class::kUserStop;
  }
  const bool print = word(ev, iw::kMajorPrintLevel) > 0;
  if (ev.ncnln > 0) {
    const int status = constraint_side(ev, at, print);
    if (status != 0) return status;
  }
  if (ev.nonln > 0) objective_side(ev, at, print, itn);
  return 0;
}

int difference_jacobian(const Evaluator& ev, const DerivativePoint& at) {
  const int type = word(ev, kDifferenceType) == kCentral ? kCentral : 1;
  const double h0 = interval(ev, type);
  const double sentinel = real(ev, rw::kNotSupplied);
  const double* saved = real_array(ev, run_array::kSavedJacobian);
  std::vector<double> base(at.fcon, at.fcon + ev.ncnln);
  std::vector<double> plus(static_cast<std::size_t>(ev.ncnln));
  std::vector<double> scratch(static_cast<std::size_t>(std::max(ev.ngcon, 1)));
  const int* ha = ev.jac.ha;
  const int* ka = ev.jac.ka;
  int calls = 0;
  int status = 0;
  int l = 0;  // position in gCon of the column's first nonlinear element
  for (int j = 1; j <= ev.njnln && status == 0; ++j) {
    int count = 0;
    while (ka[j - 1] - 1 + count < ka[j] - 1 && ha[ka[j - 1] - 1 + count] <= ev.ncnln) ++count;
    bool missing = false;
    for (int k = 0; k < count; ++k) missing = missing || saved[l + k] == sentinel;
    if (missing) {
      double& xj = at.x[j - 1];
      const double x0 = xj;
      double h = (1.0 + std::fabs(x0)) * h0;
      xj = x0 + h;
      status = ev.constraints(kValuesOnly, 0, at.x, plus.data(), scratch.data());
      ++calls;
      std::vector<double> minus = base;
      if (status == 0 && type == kCentral) {
        xj = x0 - h;
        status = ev.constraints(kValuesOnly, 0, at.x, minus.data(), scratch.data());
        ++calls;
        h = 2.0 * h;
      }
      xj = x0;
      if (status == 0) {
        for (int k = 0; k < count; ++k) {
          if (saved[l + k] != sentinel) continue;
          const int row = ha[ka[j - 1] - 1 + k];
          at.gcon[l + k] = (plus[row - 1] - minus[row - 1]) / h;
        }
      }
    }
    l += count;
  }
  std::copy(base.begin(), base.end(), at.fcon);
  word(ev, kConfunDifferenceBase + type) += calls;
  return status;
}

int difference_gradient(const Evaluator& ev, const DerivativePoint& at) {
  const int type = word(ev, kDifferenceType) == kCentral ? kCentral : 1;
  const double h0 = interval(ev, type);
  const double sentinel = real(ev, rw::kNotSupplied);
  const double* saved = real_array(ev, kSavedGradient);
  const double f0 = *at.fobj;
  std::vector<double> scratch(static_cast<std::size_t>(ev.nonln));
  int calls = 0;
  int status = 0;
  for (int j = 0; j < ev.nonln && status == 0; ++j) {
    if (saved[j] != sentinel) continue;
    double& xj = at.x[j];
    const double x0 = xj;
    const double h = (1.0 + std::fabs(x0)) * h0;
    double fplus = 0.0;
    xj = x0 + h;
    status = ev.objective(kValuesOnly, 0, at.x, fplus, scratch.data());
    ++calls;
    if (status == 0 && type == kCentral) {
      double fminus = 0.0;
      xj = x0 - h;
      status = ev.objective(kValuesOnly, 0, at.x, fminus, scratch.data());
      ++calls;
      if (status == 0) at.gobj[j] = (fplus - fminus) / (2.0 * h);
    } else if (status == 0) {
      at.gobj[j] = (fplus - f0) / h;
    }
    xj = x0;
  }
  word(ev, kObjfunDifferenceBase + type) += calls;
  return status;
}

int fill_missing_derivatives(const Evaluator& ev, const DerivativePoint& at) {
  int status = 0;
  if (word(ev, kConstraintsMissingWord) > 0) status = difference_jacobian(ev, at);
  if (status == 0 && word(ev, kGradientMissingWord) > 0) status = difference_gradient(ev, at);
  return status;
}

}  // namespace zun
