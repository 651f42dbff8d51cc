// Conversion of VariableState between external and internal codes.
#include "library/sparse_qp/state_codes.h"

namespace zun {
namespace {

constexpr int kAtLower = 0;
constexpr int kAtUpper = 1;
constexpr int kSuperbasic = 2;
constexpr int kFixed = 4;
constexpr int kBetweenBounds = -1;

// True when the first 8 characters of mode (blank-padded) read "Internal".
bool is_internal(const char* mode, int len) {
  constexpr char kInternal[] = "Internal";
  for (int k = 0; k < 8; ++k) {
    const char c = k < len ? mode[k] : ' ';
    if (c != kInternal[k]) return false;
  }
  return true;
}

}  // namespace

void convert_state_codes(const char* mode,
                         const int& count,
                         const double* bl,
                         const double* bu,
                         int* state,
                         const double* x,
                         int mode_len) {
  if (is_internal(mode, mode_len)) {
    for (int j = 0; j < count; ++j) {
      if (state[j] >= kSuperbasic) continue;
      if (bl[j] == bu[j]) {
        state[j] = kFixed;
      } else if (x[j] <= bl[j]) {
        state[j] = kAtLower;
      } else if (x[j] >= bu[j]) {
        state[j] = kAtUpper;
      } else {
        state[j] = kBetweenBounds;
      }
    }
    return;
  }
  for (int j = 0; j < count; ++j) {
    if (state[j] == kFixed || state[j] == kBetweenBounds) state[j] = kAtLower;
  }
}

}  // namespace zun
