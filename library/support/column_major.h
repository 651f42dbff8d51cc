// A 1-based view of a column-major matrix with a leading dimension, as the public entries
// receive their matrices.  Offsets are formed in 64 bits.
#pragma once

#include <cstdint>

namespace zun {

template <class T>
class ColumnMajorView {
 public:
  ColumnMajorView(T* data, int ld) : data_(data), ld_(ld) {}
  T& operator()(int i, int j) const {
    return data_[(i - 1) + static_cast<std::int64_t>(j - 1) * ld_];
  }
  // Address of element (i, j), for BLAS calls.
  T* at(int i, int j) const { return &(*this)(i, j); }
  std::int64_t ld() const { return ld_; }

 private:
  T* data_;
  std::int64_t ld_;
};

using ColumnMajor = ColumnMajorView<double>;

}  // namespace zun
