// Internal helpers of the dense factorisation kit: option-letter tests, a 1-based view of a
// column-major matrix, strided vector access and the elementary rotation step.
#pragma once

#include <cctype>
#include <cstdint>

#include "library/support/column_major.h"

namespace zun::dense_kit {

// The first letter of an option word, upper-cased; a blank for an empty word.
inline char option_letter(const char* word, int len) {
  if (word == nullptr || len < 1) return ' ';
  return static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
}

// 1-based element access to a column-major matrix with leading dimension ld.
using ColumnMajor = zun::ColumnMajor;

// 1-based access to the n elements of a strided vector, BLAS style: a negative stride walks
// the storage backwards from its far end.
template <typename T>
class Strided {
 public:
  Strided(T* data, int n, int inc)
      : data_(data), inc_(inc), start_(inc < 0 ? static_cast<std::int64_t>(1 - n) * inc : 0) {}
  T& operator()(int i) const { return data_[start_ + static_cast<std::int64_t>(i - 1) * inc_]; }
  // 1-based storage position of element i.
  std::int64_t position(int i) const {
    return start_ + static_cast<std::int64_t>(i - 1) * inc_ + 1;
  }

 private:
  T* data_;
  std::int64_t inc_;
  std::int64_t start_;
};

// Applies the rotation (c, s) to the pair (x, y): (c x + s y, c y - s x).
inline void rotate_pair(double c, double s, double& x, double& y) {
  const double t = c * x + s * y;
  y = c * y - s * x;
  x = t;
}

inline bool is_identity_rotation(double c, double s) { return c == 1.0 && s == 0.0; }

// The rotation (c, s) in the convention of rotate_pair that zeroes `lower` (the element of the
// lower-numbered plane) into `upper`: upper receives the combined value and lower the tangent
// of the rotation, so that rotation_from_tangent(lower) rebuilds (c, s).
void generate_rotation_into_upper(double& upper, double& lower, double& c, double& s);

// Applies P = I - u u', u = (zeta, z(1..rows-1)), to the rows 1..rows of the ncols columns of
// B.  work: ncols reals.
void apply_reflection(
    int rows, int ncols, double zeta, const double* z, double* b, int ldb, double* work);

// The two forms of factor_qr.  The blocked form runs DGEQRF and converts its reflections to
// the (zeta, z) form; it returns false, with A unchanged, when its workspace cannot be
// allocated.  zeta: n reals (the tail is used as work by the unblocked form).
bool factor_qr_blocked(int m, int n, double* a, int lda, double* zeta);
void factor_qr_unblocked(int m, int n, double* a, int lda, double* zeta);

}  // namespace zun::dense_kit
