// A 1-based view of a word array: Words<int>(iz)(k) is IZ(k).  Positions are 64-bit so that
// planned offsets beyond 2^31 are never formed in 32 bits.
#pragma once

#include <cstdint>

namespace zun {

template <class T>
class Words {
 public:
  explicit Words(T* base) : base_(base) {}
  T& operator()(std::int64_t k) const { return base_[k - 1]; }
  // Pointer to word k (the first element of an array that starts there).
  T* at(std::int64_t k) const { return base_ + (k - 1); }
  // A read-only view of the same words.
  operator Words<const T>() const { return Words<const T>(base_); }

 private:
  T* base_;
};

}  // namespace zun
