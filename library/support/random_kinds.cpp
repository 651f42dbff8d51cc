// Generator kinds 2 to 5: initialisers, draws, the seed completion and mulmod31.
#include "library/support/random_kinds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "library/support/random.h"

namespace zun::random_kinds {
namespace {

constexpr int kComponents = 4;
using Int64 = std::int64_t;
using Uint32 = std::uint32_t;

// Scales that turn a completing kind-1 draw into a seed word.
constexpr double kKind2SeedScale = 16909320.0;
constexpr double kKind3SeedScale = 1073741824.0;  // 2^30
constexpr double kKind4SeedScale = 2147483647.0;
constexpr double kKind5SeedScale = 1073741823.0;  // 2^30 - 1

// Kind 2: seeds of this size or more are reduced so that a*x stays below 2^31.
constexpr Int64 kKind2SeedBound = 16909320;

// Kind 3: MT19937.
constexpr int kMtWords = 624;
constexpr int kMtShift = 397;
constexpr Uint32 kMtMatrix = 0x9908B0DFu;
constexpr Uint32 kMtUpper = 0x80000000u;
constexpr Uint32 kMtLower = 0x7FFFFFFFu;

// Kind 4: a_i, r_i pairs, q_i and m_i.
constexpr int kKind4MultRem[2 * kComponents] = {11600, 10379, 47003, 10479,
                                                23000, 19423, 33000, 8123};
constexpr int kKind4Quotient[kComponents] = {185127, 45688, 93368, 65075};
constexpr int kKind4Modulus[kComponents] = {2147483579, 2147483543, 2147483423, 2147483123};

// Kind 5: 30-bit limbs; SUBID < 1 gives p = 2, q = 11.
constexpr int kLimbBits = 30;
constexpr Int64 kAdditiveBase = Int64{1} << kLimbBits;
constexpr int kDefaultLimbs = 2;
constexpr int kDefaultAccumulators = 11;
constexpr int kSubIdRadix = 1000;

bool seeds_positive(const int* seed, int lseed, int count) {
  const int used = std::min(lseed, count);
  return std::all_of(seed, seed + used, [](int s) { return s >= 1; });
}

void write_header(int* state, int length, int check, int kind) {
  state[generator_words::kUsedLength - 1] = length;
  state[generator_words::kCheck - 1] = check;
  state[generator_words::kKind - 1] = kind;
  state[length - 1] = check;
}

// --- kind 2 -------------------------------------------------------------------------------

int kind2_set_number(int subid) {
  const Int64 magnitude = std::llabs(static_cast<long long>(subid));
  return static_cast<int>((magnitude + kParameterSets - 1) % kParameterSets) + 1;
}

int reduce_kind2_seed(int seed, bool four_given) {
  if (seed <= kKind2SeedBound) return seed;
  const Int64 s = four_given ? Int64{seed} + 1 : Int64{seed};
  return static_cast<int>(s % kKind2SeedBound + 1);
}

// --- kind 3 -------------------------------------------------------------------------------

Uint32* mt_words(int* state) {
  return reinterpret_cast<Uint32*>(state + kind3_words::kFirstWord - 1);
}

// Regenerates the 624 words of the MT19937 recurrence in place.
void refill_mt_state(Uint32* mt) {
  for (int i = 0; i < kMtWords; ++i) {
    const Uint32 y = (mt[i] & kMtUpper) | (mt[(i + 1) % kMtWords] & kMtLower);
    mt[i] = mt[(i + kMtShift) % kMtWords] ^ (y >> 1) ^ ((y & 1u) != 0 ? kMtMatrix : 0u);
  }
}

double tempered_uniform(Uint32 y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return static_cast<double>(y ^ kMtUpper) * 0x1p-32;
}

// Regenerates the words and delivers all of them.
void draw_mt_tempered(Uint32* mt, double* u) {
  refill_mt_state(mt);
  for (int k = 0; k < kMtWords; ++k) u[k] = tempered_uniform(mt[k]);
}

// --- kind 4 -------------------------------------------------------------------------------

// a*x mod m by the quotient-remainder split (x = q*(x div q) + x mod q).
Int64 schrage_product(Int64 a, Int64 r, Int64 q, Int64 m, Int64 x) {
  Int64 y = a * (x % q) - r * (x / q);
  if (y < 0) y += m;
  return y;
}

// --- kind 5 -------------------------------------------------------------------------------

struct AdditiveShape {
  int limbs;         // p
  int accumulators;  // q
};

AdditiveShape additive_shape(int subid) {
  if (subid < 1) return {kDefaultLimbs, kDefaultAccumulators};
  return {subid / kSubIdRadix + 1, subid % kSubIdRadix + 1};
}

// The kind's length for a shape: at most 2147483009 (SUBID 2147482999), so a state with its
// trailer still has a 32-bit length.
int additive_length(AdditiveShape shape) {
  const Int64 words = Int64{shape.limbs} * shape.accumulators + kind5_words::kFixedWords;
  return static_cast<int>(std::max<Int64>(words, kind5_words::kMinLength));
}

// X_to := (X_to + X_from) mod 2^(30p), limb by limb from the least significant.
void add_limbs(const int* from, int* to, int limbs) {
  Int64 carry = 0;
  for (int k = 0; k < limbs; ++k) {
    const Int64 sum = Int64{to[k]} + from[k] + carry;
    to[k] = static_cast<int>(sum & (kAdditiveBase - 1));
    carry = sum >> kLimbBits;
  }
}

}  // namespace

int check_initialiser(int genid, int kind, int lseed, int& l, int length) {
  if (genid != kind) return kBadKindOrCount;
  if (lseed < 1) return kBadSeedLengthOrState;
  if (l < 1) {
    l = length;
    return kLengthQuery;
  }
  if (l < length) return kStateTooShort;
  return kOk;
}

int complete_seeds(const int* seed, int lseed, int count, double scale, int* words) {
  if (lseed >= count) {
    std::copy(seed, seed + count, words);
    return kOk;
  }
  std::copy(seed, seed + lseed - 1, words);
  int kind1[kind1_words::kLength];
  int l = kind1_words::kLength;
  if (seed_kind1(kind1_words::kKindNumber, 1, seed + lseed - 1, 1, kind1, l) != kOk) {
    return kBadSeedOrRange;
  }
  for (int j = lseed - 1; j < count; ++j) {
    double u = 0.0;
    draw_kind1(1, kind1, &u);
    words[j] = static_cast<int>(u * scale);
  }
  return kOk;
}

int mulmod31(int a, int x, int m) {
  const Int64 r = (Int64{a} * x) % m;
  return static_cast<int>(r < 0 ? r + m : r);
}

namespace {

// The initialiser checks and the four seed words X of kinds 2 and 4.
int four_seed_words(
    int genid, int kind, int length, const int* seed, int lseed, int& l, double scale, int* x) {
  const int err = check_initialiser(genid, kind, lseed, l, length);
  if (err != kOk) return err;
  if (!seeds_positive(seed, lseed, kComponents)) return kBadSeedOrRange;
  return complete_seeds(seed, lseed, kComponents, scale, x);
}

}  // namespace

int seed_kind2(int genid, int subid, const int* seed, int lseed, int* state, int& l) {
  using namespace kind2_words;
  int x[kComponents];
  const int err = four_seed_words(genid, kKindNumber, kLength, seed, lseed, l, kKind2SeedScale, x);
  if (err != kOk) return err;

  const int k = kind2_set_number(subid);
  const ParameterSet& set = kind2_parameter_set(k);
  write_header(state, kLength, kCheckValue, kKindNumber);
  state[kSet - 1] = k;
  for (int i = 0; i < kComponents; ++i) {
    state[kX - 1 + i] = reduce_kind2_seed(x[i], lseed >= kComponents);
    state[kMultiplier - 1 + i] = set.a[i];
    state[kModulus - 1 + i] = set.m[i];
  }
  state[kProductMode - 1] = 0;
  return kOk;
}

void draw_kind2(int n, int* state, double* u) {
  using namespace kind2_words;
  int* x = state + kX - 1;
  const int* a = state + kMultiplier - 1;
  const int* m = state + kModulus - 1;
  const bool plain = state[kProductMode - 1] == 0;
  for (int j = 0; j < n; ++j) {
    if (plain) {
      float s = 0.0f;
      for (int i = 0; i < kComponents; ++i) {
        x[i] = static_cast<int>(Int64{a[i]} * x[i] % m[i]);
        s += static_cast<float>(x[i]) / static_cast<float>(m[i]);
      }
      u[j] = 1.0f - (s - std::floor(s));
    } else {
      double s = 0.0;
      for (int i = 0; i < kComponents; ++i) {
        x[i] = mulmod31(a[i], x[i], m[i]);
        s += static_cast<double>(x[i]) / m[i];
      }
      u[j] = 1.0 - (s - std::floor(s));
    }
  }
}

int seed_kind3(int genid, int /*subid*/, const int* seed, int lseed, int* state, int& l) {
  using namespace kind3_words;
  const int err = check_initialiser(genid, kKindNumber, lseed, l, kLength);
  if (err != kOk) return err;
  if (!seeds_positive(seed, lseed, kMtWords)) return kBadSeedOrRange;
  if (complete_seeds(seed, lseed, kMtWords, kKind3SeedScale, state + kFirstWord - 1) != kOk) {
    return kBadSeedOrRange;
  }
  write_header(state, kLength, kCheckValue, kKindNumber);
  state[kSubId - 1] = 0;
  refill_mt_state(mt_words(state));
  state[kPosition - 1] = kFirstWord;
  return kOk;
}

void draw_kind3(int n, int* state, double* u) {
  using namespace kind3_words;
  Uint32* mt = mt_words(state);
  int pos = state[kPosition - 1];
  int i = 0;
  for (; i < n && pos <= kLastWord; ++i, ++pos) u[i] = tempered_uniform(mt[pos - kFirstWord]);
  for (; n - i >= kMtWords; i += kMtWords) {
    draw_mt_tempered(mt, u + i);
    pos = kLastWord + 1;
  }
  if (i < n) {
    refill_mt_state(mt);
    for (pos = kFirstWord; i < n; ++i, ++pos) u[i] = tempered_uniform(mt[pos - kFirstWord]);
  }
  state[kPosition - 1] = pos;
}

int seed_kind4(int genid, int subid, const int* seed, int lseed, int* state, int& l) {
  using namespace kind4_words;
  int x[kComponents];
  const int err = four_seed_words(genid, kKindNumber, kLength, seed, lseed, l, kKind4SeedScale, x);
  if (err != kOk) return err;

  write_header(state, kLength, kCheckValue, kKindNumber);
  state[kSubId - 1] = subid;
  std::copy(kKind4MultRem, kKind4MultRem + 2 * kComponents, state + kMultiplier - 1);
  for (int i = 0; i < kComponents; ++i) {
    state[kX - 1 + i] = x[i] % kKind4Modulus[i];
    state[kQuotient - 1 + i] = kKind4Quotient[i];
    state[kModulus - 1 + i] = kKind4Modulus[i];
  }
  state[kProductMode - 1] = 0;
  return kOk;
}

void draw_kind4(int n, int* state, double* u) {
  using namespace kind4_words;
  int* x = state + kX - 1;
  const int* ar = state + kMultiplier - 1;
  const int* q = state + kQuotient - 1;
  const int* m = state + kModulus - 1;
  const bool split = state[kProductMode - 1] == 0;
  for (int j = 0; j < n; ++j) {
    double s = 0.0;
    for (int i = 0; i < kComponents; ++i) {
      const int a = ar[2 * i];
      x[i] = split ? static_cast<int>(schrage_product(a, ar[2 * i + 1], q[i], m[i], x[i]))
                   : mulmod31(a, x[i], m[i]);
      s += static_cast<double>(x[i]) / m[i];
    }
    u[j] = s - std::floor(s);
  }
}

int seed_kind5(int genid, int subid, const int* seed, int lseed, int* state, int& l) {
  using namespace kind5_words;
  if (genid != kKindNumber) return kBadKindOrCount;
  const AdditiveShape shape = additive_shape(subid);
  const int length = additive_length(shape);
  const int err = check_initialiser(genid, kKindNumber, lseed, l, length);
  if (err != kOk) return err;
  const int limbs_total = shape.limbs * shape.accumulators;
  if (!seeds_positive(seed, lseed, limbs_total)) return kBadSeedOrRange;
  int* limbs = state + kFirstLimb - 1;
  if (complete_seeds(seed, lseed, limbs_total, kKind5SeedScale, limbs) != kOk) {
    return kBadSeedOrRange;
  }
  for (int k = 0; k < limbs_total; ++k) limbs[k] = static_cast<int>(limbs[k] & (kAdditiveBase - 1));
  if (lseed <= shape.limbs) {
    limbs[0] |= 1;
    limbs[shape.limbs - 1] |= 1;
  }
  write_header(state, length, kCheckValue, kKindNumber);
  state[kSubId - 1] = subid;
  state[kAccumulators - 1] = shape.accumulators;
  state[kLimbs - 1] = shape.limbs;
  state[kind5_words::kLimbBase - 1] = static_cast<int>(kAdditiveBase);
  for (int w = kFirstLimb + limbs_total; w < length - 1; ++w) state[w - 1] = 0;
  state[length - 2] = 0;
  return kOk;
}

void draw_kind5(int n, int* state, double* u) {
  using namespace kind5_words;
  const int q = state[kAccumulators - 1];
  const int p = state[kLimbs - 1];
  int* limbs = state + kFirstLimb - 1;
  const int* last = limbs + static_cast<Int64>(q - 1) * p;
  for (int j = 0; j < n; ++j) {
    for (int acc = 1; acc < q; ++acc) {
      add_limbs(limbs + static_cast<Int64>(acc - 1) * p, limbs + static_cast<Int64>(acc) * p, p);
    }
    double v = 0.0;
    for (int k = 0; k < p; ++k) v = (v + last[k]) * 0x1p-30;
    u[j] = v;
  }
}

namespace {

bool kind2_state_ok(const int* state, int /*l*/) {
  const int* m = state + kind2_words::kModulus - 1;
  return std::all_of(m, m + kComponents, [](int v) { return v >= 1; });
}

bool kind3_state_ok(const int* state, int /*l*/) {
  const int pos = state[kind3_words::kPosition - 1];
  return pos >= kind3_words::kFirstWord && pos <= kind3_words::kLastWord + 1;
}

bool kind4_state_ok(const int* state, int /*l*/) {
  const int* q = state + kind4_words::kQuotient - 1;
  const int* m = state + kind4_words::kModulus - 1;
  return std::all_of(q, q + kComponents, [](int v) { return v >= 1; }) &&
         std::all_of(m, m + kComponents, [](int v) { return v >= 1; });
}

bool kind5_state_ok(const int* state, int l) {
  const int q = state[kind5_words::kAccumulators - 1];
  const int p = state[kind5_words::kLimbs - 1];
  return p >= 1 && q >= 1 && Int64{p} * q + kind5_words::kFixedWords <= l;
}

bool any_state_ok(const int* /*state*/, int /*l*/) { return true; }

}  // namespace

const KindRoutines* find_kind(int kind) {
  static constexpr KindRoutines kKinds[] = {
      {kind1_words::kCheckValue, kind1_words::kLength, seed_kind1, draw_kind1, any_state_ok},
      {kind2_words::kCheckValue, kind2_words::kLength, seed_kind2, draw_kind2, kind2_state_ok},
      {kind3_words::kCheckValue, kind3_words::kLength, seed_kind3, draw_kind3, kind3_state_ok},
      {kind4_words::kCheckValue, kind4_words::kLength, seed_kind4, draw_kind4, kind4_state_ok},
      {kind5_words::kCheckValue, kind5_words::kMinLength, seed_kind5, draw_kind5, kind5_state_ok},
  };
  constexpr int kKindCount = static_cast<int>(std::size(kKinds));
  return kind >= 1 && kind <= kKindCount ? &kKinds[kind - 1] : nullptr;
}

}  // namespace zun::random_kinds
