// Machine constants, the guarded division and small strided vector utilities.
#pragma once

#include "library/support/option_store.h"

namespace zun {

// Words of MachineConstants in an option store (1-based).
namespace machine_words {
constexpr int kEps = 1;            // real: eps
constexpr int kEpsPow08 = 2;       // real: eps^0.8
constexpr int kEpsPow067 = 3;      // real: eps^0.67
constexpr int kSqrtEps = 4;        // real: sqrt(eps)
constexpr int kEpsPow033 = 5;      // real: eps^0.33
constexpr int kEpsPow025 = 6;      // real: eps^0.25
constexpr int kEpsPow02 = 7;       // real: eps^0.2
constexpr int kHuge = 8;           // real: 1/tiny
constexpr int kTiny = 9;           // real: tiny
constexpr int kSqrtTiny = 10;      // real: sqrt(tiny)
constexpr int kAdvisoryUnit = 12;  // integer: the advisory unit
constexpr int kErrorUnit = 499;    // integer: the error unit
}  // namespace machine_words

// 2^-53.
double machine_precision();
// 2^-1022.
double smallest_normal();

// Stores the machine constants in the integer and real option words IW and RW (1-based words
// above); LW is not used.
void set_machine_constants(int* iw, Logical* lw, double* rw);

// A/B when representable (FAIL := 0), otherwise +-1/tiny or 0 with FAIL := -1.
double safe_divide(const double& a, const double& b, int& fail);

// X(1 + (i-1)*INCX) := VALUE for i = 1..N; nothing when INCX < 1.
void fill_integers(const int& n, const int& value, int* x, const int& incx);
// The same for reals; a value equal to zero is stored as +0.0.
void fill_reals(const int& n, const double& value, double* x, const int& incx);

// Y := X elementwise with the strides INCX and INCY (negative strides run backwards).
void copy_integers(const int& n, const int* x, const int& incx, int* y, const int& incy);

// Y := X .* Y elementwise with the stride rules of copy_integers; INCX = 0 scales Y by X(1).
void multiply_by_vector(const int& n, const double* x, const int& incx, double* y, const int& incy);

}  // namespace zun
