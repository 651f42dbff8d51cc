// Machine constants, guarded division and strided vector utilities.
#include "library/support/machine.h"

#include <cmath>

#include "library/support/blas_lapack.h"
#include "library/support/output.h"

namespace zun {

double machine_precision() { return std::ldexp(1.0, -53); }

double smallest_normal() { return std::ldexp(1.0, -1022); }

void set_machine_constants(int* iw, Logical* /*lw*/, double* rw) {
  namespace w = machine_words;
  const double eps = machine_precision();
  const double tiny = smallest_normal();
  rw[w::kEps - 1] = eps;
  rw[w::kEpsPow08 - 1] = std::pow(eps, 0.8);
  rw[w::kEpsPow067 - 1] = std::pow(eps, 0.67);
  rw[w::kSqrtEps - 1] = std::sqrt(eps);
  rw[w::kEpsPow033 - 1] = std::pow(eps, 0.33);
  rw[w::kEpsPow025 - 1] = std::pow(eps, 0.25);
  rw[w::kEpsPow02 - 1] = std::pow(eps, 0.2);
  rw[w::kHuge - 1] = 1.0 / tiny;
  rw[w::kTiny - 1] = tiny;
  rw[w::kSqrtTiny - 1] = std::sqrt(tiny);
  advisory_unit(0, iw[w::kAdvisoryUnit - 1]);
  error_unit(0, iw[w::kErrorUnit - 1]);
}

double safe_divide(const double& a, const double& b, int& fail) {
  const double tiny = smallest_normal();
  const double big = 1.0 / tiny;
  // The sign of an overflowing quotient comes from the signs of A and B: their product may
  // underflow to zero.
  const double sign = (std::signbit(a) != std::signbit(b)) ? -1.0 : 1.0;
  if (a == 0.0) {
    fail = (b == 0.0) ? -1 : 0;
    return 0.0;
  }
  if (b == 0.0) {
    fail = -1;
    return a > 0.0 ? big : -big;
  }
  if (std::fabs(b) >= 1.0) {
    fail = 0;
    return std::fabs(a) < tiny * std::fabs(b) ? 0.0 : a / b;
  }
  if (std::fabs(a) <= std::fabs(b) * big) {
    fail = 0;
    return a / b;
  }
  fail = -1;
  return sign * big;
}

// A stride below 1 would write outside X, so it fills nothing.
void fill_integers(const int& n, const int& value, int* x, const int& incx) {
  if (incx < 1) return;
  for (long i = 0; i < n; ++i) x[i * incx] = value;
}

void fill_reals(const int& n, const double& value, double* x, const int& incx) {
  if (incx < 1) return;
  const double v = (value == 0.0) ? 0.0 : value;
  for (long i = 0; i < n; ++i) x[i * incx] = v;
}

namespace {

// Start offsets (0-based) of the two strided walks used by copy_integers and
// multiply_by_vector.
struct StridedStarts {
  long ix;
  long iy;
};

StridedStarts strided_starts(int n, int incx, int incy) {
  if (incx == incy && incx >= 1) return {0, 0};
  const long ix = incx < 0 ? static_cast<long>(1 - n) * incx : 0;
  const long iy = incy < 1 ? static_cast<long>(1 - n) * incy : 0;
  return {ix, iy};
}

}  // namespace

void copy_integers(const int& n, const int* x, const int& incx, int* y, const int& incy) {
  if (n < 1) return;
  StridedStarts s = strided_starts(n, incx, incy);
  for (int i = 0; i < n; ++i, s.ix += incx, s.iy += incy) y[s.iy] = x[s.ix];
}

void multiply_by_vector(const int& n,
                        const double* x,
                        const int& incx,
                        double* y,
                        const int& incy) {
  if (n < 1) return;
  if (incx == 0 && incy != 0) {
    const int inc = incy < 0 ? -incy : incy;
    dscal_(&n, &x[0], y, &inc);
    return;
  }
  StridedStarts s = strided_starts(n, incx, incy);
  for (int i = 0; i < n; ++i, s.ix += incx, s.iy += incy) y[s.iy] *= x[s.ix];
}

}  // namespace zun
