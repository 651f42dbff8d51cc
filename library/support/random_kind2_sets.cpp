// The 273 parameter sets of generator kind 2.
//
// Sets 1, 2 and 273 are fixed.  Sets 3 to 272 follow one rule: walk down the primes below the
// smallest modulus of set 2, passing over the moduli of the fixed sets; a prime m is taken when
// some a in 117..127 is a primitive root modulo m, with the largest such a as its multiplier;
// the primes taken fill sets 3, 4, ... four at a time in the order found.  So no two of the
// 1,092 generators share a modulus.  A primitive-root multiplier gives the generator
// x := a x mod m the full period m - 1 from every start 0 < x < m.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "library/support/random_kinds.h"

namespace zun::random_kinds {
namespace {

constexpr int kComponents = 4;
constexpr int kLowestMultiplier = 117;
constexpr int kHighestMultiplier = 127;

constexpr ParameterSet kFirstSet{{125, 117, 127, 126}, {16770647, 16770643, 16770623, 16770617}};
constexpr ParameterSet kSecondSet{{127, 126, 125, 123}, {16770311, 16770283, 16770263, 16770209}};
constexpr ParameterSet kLastSet{{126, 127, 125, 124}, {16766363, 16766359, 16766327, 16766231}};

bool is_fixed_modulus(std::int64_t n) {
  for (const ParameterSet* set : {&kFirstSet, &kSecondSet, &kLastSet}) {
    for (std::int32_t m : set->m) {
      if (m == n) return true;
    }
  }
  return false;
}

bool is_prime(std::int64_t n) {
  if (n < 2) return false;
  for (std::int64_t d = 2; d * d <= n; ++d) {
    if (n % d == 0) return false;
  }
  return true;
}

std::vector<std::int64_t> prime_factors(std::int64_t n) {
  std::vector<std::int64_t> factors;
  for (std::int64_t d = 2; d * d <= n; ++d) {
    if (n % d != 0) continue;
    factors.push_back(d);
    while (n % d == 0) n /= d;
  }
  if (n > 1) factors.push_back(n);
  return factors;
}

std::int64_t power_mod(std::int64_t base, std::int64_t e, std::int64_t m) {
  std::int64_t result = 1;
  base %= m;
  for (; e > 0; e >>= 1) {
    if (e & 1) result = result * base % m;
    base = base * base % m;
  }
  return result;
}

// The largest primitive root modulo the prime m in 117..127, or 0 when there is none.
int largest_primitive_root(std::int64_t m) {
  const std::vector<std::int64_t> factors = prime_factors(m - 1);
  for (int a = kHighestMultiplier; a >= kLowestMultiplier; --a) {
    bool primitive = true;
    for (std::int64_t f : factors) primitive = primitive && power_mod(a, (m - 1) / f, m) != 1;
    if (primitive) return a;
  }
  return 0;
}

std::array<ParameterSet, kParameterSets> build_parameter_sets() {
  std::array<ParameterSet, kParameterSets> sets{};
  sets[0] = kFirstSet;
  sets[1] = kSecondSet;
  sets[kParameterSets - 1] = kLastSet;
  std::int64_t candidate = kSecondSet.m[kComponents - 1];
  for (int k = 2; k < kParameterSets - 1; ++k) {
    for (int i = 0; i < kComponents; ++i) {
      int a = 0;
      do {
        --candidate;
        if (is_prime(candidate) && !is_fixed_modulus(candidate)) {
          a = largest_primitive_root(candidate);
        }
      } while (a == 0);
      sets[k].a[i] = a;
      sets[k].m[i] = static_cast<std::int32_t>(candidate);
    }
  }
  return sets;
}

}  // namespace

const ParameterSet& kind2_parameter_set(int k) {
  static const std::array<ParameterSet, kParameterSets> sets = build_parameter_sets();
  return sets[static_cast<std::size_t>(k - 1)];
}

}  // namespace zun::random_kinds
