// Test helper: the kind-1 stream computed independently with exact 128-bit arithmetic.
#pragma once

#include <cmath>
#include <vector>

namespace zun::testing {

// x0 = 4 s + 2, x := 13^13 x mod 2^60 (once when seeding, then per number), u = 1 - x/2^60.
inline std::vector<double> kind1_reference_stream(unsigned s, int n) {
  using u128 = unsigned __int128;
  const u128 mask = (static_cast<u128>(1) << 60) - 1;
  u128 a = 1;
  for (int i = 0; i < 13; ++i) a *= 13;
  u128 x = (4 * static_cast<u128>(s) + 2) & mask;
  x = (a * x) & mask;
  std::vector<double> u;
  for (int i = 0; i < n; ++i) {
    x = (a * x) & mask;
    const double hi = static_cast<double>(static_cast<unsigned long long>(x >> 30));
    const double lo = static_cast<double>(static_cast<unsigned long long>(x & ((1u << 30) - 1)));
    u.push_back(1.0 - lo * std::ldexp(1.0, -60) - hi * std::ldexp(1.0, -30));
  }
  return u;
}

}  // namespace zun::testing
