// Generator kinds 2 to 5 against independent computations of their recurrences, and the
// common frame with their lengths and seeds.
#include "library/support/random_kinds.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "library/support/random.h"
#include "tests/support/random_reference.h"

namespace zun {
namespace {

using Int64 = std::int64_t;
using u128 = unsigned __int128;

struct Generator {
  std::vector<int> state;
  char msg[200];
  int ierr = -99;

  // Seeds kind GENID; LSTATE < 0 means a state of exactly the length the kind asks for.
  int seed(int genid, int subid, std::vector<int> seeds, int lstate = -1) {
    int lseed = static_cast<int>(seeds.size());
    if (seeds.empty()) seeds.push_back(0);
    if (lstate < 0) {
      lstate = 0;
      seed_generator(genid, subid, seeds.data(), lseed, nullptr, lstate, "TESTER", msg, ierr, 6,
                     200);
    }
    state.assign(static_cast<std::size_t>(std::max(lstate, 1)), -5);
    int l = lstate;
    seed_generator(genid, subid, seeds.data(), lseed, state.data(), l, "TESTER", msg, ierr, 6, 200);
    return l;
  }
  std::vector<double> draw(int n, double a = 0.0, double b = 1.0) {
    std::vector<double> x(static_cast<std::size_t>(std::max(n, 1)), -7.0);
    uniform_in_range(n, a, b, state.data(), x.data(), static_cast<int>(state.size()), "TESTER", msg,
                     ierr, 6, 200);
    return x;
  }
  int word(int k) const { return state[static_cast<std::size_t>(k - 1)]; }
  std::string message() const { return std::string(msg, strnlen(msg, sizeof msg)); }
};

// Seed words that a kind-1 generator seeded with S supplies: trunc(u*scale).
std::vector<Int64> completed_words(unsigned s, int count, double scale) {
  std::vector<Int64> words;
  for (double u : testing::kind1_reference_stream(s, count)) {
    words.push_back(static_cast<Int64>(u * scale));
  }
  return words;
}

// Distance of two numbers on the unit circle: frac(s) near 0 and near 1 are neighbours.
double circular_distance(double a, double b) {
  const double d = std::fabs(a - b);
  return std::min(d, 1.0 - d);
}

// ---------------------------------------------------------------------------------- frame

struct LengthCase {
  int genid;
  int subid;
  int lstate;  // with the trailer
};

class KindLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(KindLengths, QueryAnswersAndOneWordShortIsRefused) {
  const LengthCase c = GetParam();
  Generator g;
  int seeds[1] = {17};
  int lstate = 0;
  seed_generator(c.genid, c.subid, seeds, 1, nullptr, lstate, "TESTER", g.msg, g.ierr, 6, 200);
  EXPECT_EQ(g.ierr, -1);
  EXPECT_EQ(lstate, c.lstate);

  EXPECT_EQ(g.seed(c.genid, c.subid, {17}, c.lstate - 1), c.lstate - 1);
  EXPECT_EQ(g.ierr, 6);
  char expected[200];
  std::snprintf(expected, sizeof expected, "TESTER     6     6     2 %16d %16d", c.lstate - 1,
                c.lstate);
  EXPECT_EQ(g.message(), expected);
  EXPECT_TRUE(std::all_of(g.state.begin(), g.state.end(), [](int v) { return v == -5; }));

  g.seed(c.genid, c.subid, {17}, c.lstate);
  ASSERT_EQ(g.ierr, 0);
  EXPECT_EQ(g.word(1), c.lstate);
  EXPECT_EQ(g.word(3), c.genid);
  EXPECT_EQ(g.word(c.lstate), g.word(2));
  EXPECT_EQ(g.word(c.lstate - 3), g.word(2));  // the kind's own last word
  EXPECT_EQ(g.word(c.lstate - 1), 1);
  EXPECT_EQ(g.word(c.lstate - 2), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds,
                         KindLengths,
                         ::testing::Values(LengthCase{2, 1, 21},
                                           LengthCase{3, 0, 633},
                                           LengthCase{4, 9, 29},
                                           LengthCase{5, 0, 34},
                                           LengthCase{5, -3, 34},
                                           LengthCase{5, 1, 17},
                                           LengthCase{5, 3004, 32},
                                           LengthCase{5, 12, 25}));

TEST(KindFrame, SeedsBelowOneAndMissingSeedsAreRefused) {
  for (int genid : {2, 3, 4, 5}) {
    Generator g;
    g.seed(genid, 1, {5, 0, 7});
    EXPECT_EQ(g.ierr, 3) << genid;
    EXPECT_EQ(g.message(), "TESTER     3     3     0");
    g.seed(genid, 1, {-4});
    EXPECT_EQ(g.ierr, 3) << genid;
    g.seed(genid, 1, {}, 700);
    EXPECT_EQ(g.ierr, 4) << genid;
    EXPECT_EQ(g.message(), "TESTER     4     4     1                0");
  }
}

TEST(KindFrame, LargestAdditiveShapeLengthIsExact) {
  Generator g;
  int seeds[1] = {1};
  int lstate = 0;
  seed_generator(5, INT_MAX, seeds, 1, nullptr, lstate, "TESTER", g.msg, g.ierr, 6, 200);
  EXPECT_EQ(g.ierr, -1);
  EXPECT_EQ(lstate, 2147484 * 648 + 9 + 3);
}

struct CorruptWord {
  int genid;
  int subid;
  int word;
  int value;
};

class CorruptKindWords : public ::testing::TestWithParam<CorruptWord> {};

TEST_P(CorruptKindWords, AreRejectedBeforeTheDraw) {
  const CorruptWord c = GetParam();
  Generator g;
  g.seed(c.genid, c.subid, {11, 12, 13, 14});
  ASSERT_EQ(g.ierr, 0);
  g.state[static_cast<std::size_t>(c.word - 1)] = c.value;
  const auto before = g.state;
  const auto x = g.draw(3);
  EXPECT_EQ(g.ierr, 4);
  EXPECT_EQ(x[0], -7.0);
  EXPECT_EQ(g.state, before);
}

INSTANTIATE_TEST_SUITE_P(
    Words,
    CorruptKindWords,
    ::testing::Values(CorruptWord{2, 1, kind2_words::kModulus + 2, 0},
                      CorruptWord{3, 0, kind3_words::kPosition, kind3_words::kFirstWord - 1},
                      CorruptWord{3, 0, kind3_words::kPosition, kind3_words::kLastWord + 2},
                      CorruptWord{4, 0, kind4_words::kQuotient + 1, 0},
                      CorruptWord{4, 0, kind4_words::kModulus + 3, -1},
                      CorruptWord{5, 0, kind5_words::kLimbs, 0},
                      CorruptWord{5, 0, kind5_words::kAccumulators, 12},
                      CorruptWord{5, 0, kind5_words::kAccumulators, -1}));

struct RangeCase {
  int genid;
  int subid;
  bool includes_one;  // numbers in (0, 1] rather than [0, 1)
};

class KindRanges : public ::testing::TestWithParam<RangeCase> {};

TEST_P(KindRanges, DrawsStayInTheirRangeContinueAndRepeatFromACopy) {
  const RangeCase c = GetParam();
  Generator g, h;
  g.seed(c.genid, c.subid, {123456});
  ASSERT_EQ(g.ierr, 0);
  h = g;
  const auto whole = g.draw(1500);
  ASSERT_EQ(g.ierr, 0);
  // The same stream in uneven chunks: single numbers, a long run and a remainder.
  std::vector<double> chunks;
  for (int n : {1, 1, 700, 1, 640, 157}) {
    const auto part = h.draw(n);
    chunks.insert(chunks.end(), part.begin(), part.begin() + n);
  }
  EXPECT_EQ(chunks, whole);
  EXPECT_EQ(h.state, g.state);
  double sum = 0.0;
  for (double u : whole) {
    ASSERT_TRUE(c.includes_one ? (u > 0.0 && u <= 1.0) : (u >= 0.0 && u < 1.0)) << u;
    sum += u;
  }
  EXPECT_NEAR(sum / whole.size(), 0.5, 0.05);
  const auto unit = h.draw(20);
  const auto scaled = g.draw(20, -3.0, 5.0);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(scaled[i], unit[i] * 8.0 - 3.0);
    EXPECT_GE(scaled[i], -3.0);
    EXPECT_LE(scaled[i], 5.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds,
                         KindRanges,
                         ::testing::Values(RangeCase{2, 7, true},
                                           RangeCase{3, 0, false},
                                           RangeCase{4, 0, false},
                                           RangeCase{5, 0, false},
                                           RangeCase{5, 1001, false}));

// -------------------------------------------------------------------------- kind 2 sets

bool is_prime(Int64 n) {
  if (n < 2) return false;
  for (Int64 d = 2; d * d <= n; ++d) {
    if (n % d == 0) return false;
  }
  return true;
}

Int64 power_mod(Int64 b, Int64 e, Int64 m) {
  Int64 r = 1;
  for (b %= m; e > 0; e >>= 1, b = b * b % m) {
    if (e & 1) r = r * b % m;
  }
  return r;
}

// a has order m-1 modulo the prime m: a^((m-1)/f) != 1 for every prime factor f of m-1.
bool full_period(Int64 a, Int64 m) {
  Int64 rest = m - 1;
  for (Int64 f = 2; f * f <= rest; ++f) {
    if (rest % f != 0) continue;
    if (power_mod(a, (m - 1) / f, m) == 1) return false;
    while (rest % f == 0) rest /= f;
  }
  return rest == 1 || power_mod(a, (m - 1) / rest, m) != 1;
}

// No two of the 1,092 generators share a modulus, within a set or across sets.
TEST(KindTwoSets, AllGeneratorsArePrimeFullPeriodWithDistinctModuli) {
  using random_kinds::kind2_parameter_set;
  std::set<int> moduli;
  for (int k = 1; k <= random_kinds::kParameterSets; ++k) {
    const auto& set = kind2_parameter_set(k);
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(is_prime(set.m[i])) << k << " " << set.m[i];
      EXPECT_LT(set.m[i], 1 << 24) << k;
      EXPECT_GT(set.m[i], (1 << 24) - (1 << 16)) << k;
      EXPECT_GE(set.a[i], 117) << k;
      EXPECT_LE(set.a[i], 127) << k;
      EXPECT_TRUE(full_period(set.a[i], set.m[i])) << k << " " << set.a[i] << " " << set.m[i];
      EXPECT_TRUE(moduli.insert(set.m[i]).second) << k << " " << set.m[i];
    }
  }
  EXPECT_EQ(moduli.size(), 4u * random_kinds::kParameterSets);
  const auto& first = kind2_parameter_set(1);
  EXPECT_EQ(std::vector<int>(first.a, first.a + 4), (std::vector<int>{125, 117, 127, 126}));
  EXPECT_EQ(std::vector<int>(first.m, first.m + 4),
            (std::vector<int>{16770647, 16770643, 16770623, 16770617}));
  const auto& second = kind2_parameter_set(2);
  EXPECT_EQ(std::vector<int>(second.a, second.a + 4), (std::vector<int>{127, 126, 125, 123}));
  EXPECT_EQ(std::vector<int>(second.m, second.m + 4),
            (std::vector<int>{16770311, 16770283, 16770263, 16770209}));
  const auto& last = kind2_parameter_set(273);
  EXPECT_EQ(std::vector<int>(last.a, last.a + 4), (std::vector<int>{126, 127, 125, 124}));
  EXPECT_EQ(std::vector<int>(last.m, last.m + 4),
            (std::vector<int>{16766363, 16766359, 16766327, 16766231}));
}

// ------------------------------------------------------------------------------ kind 2

struct Kind2Case {
  int subid;
  int set;
  std::vector<int> seeds;
  std::vector<Int64> start;  // x1..x4 after seeding
};

class KindTwoStream : public ::testing::TestWithParam<Kind2Case> {};

TEST_P(KindTwoStream, FollowsItsSetToSinglePrecision) {
  const Kind2Case c = GetParam();
  Generator g;
  g.seed(2, c.subid, c.seeds);
  ASSERT_EQ(g.ierr, 0);
  EXPECT_EQ(g.word(kind2_words::kSet), c.set);
  const auto& set = random_kinds::kind2_parameter_set(c.set);
  std::vector<Int64> x(4);
  for (int i = 0; i < 4; ++i) {
    x[i] = g.word(kind2_words::kX + i);
    EXPECT_EQ(x[i], c.start[i]) << i;
    EXPECT_EQ(g.word(kind2_words::kMultiplier + i), set.a[i]);
    EXPECT_EQ(g.word(kind2_words::kModulus + i), set.m[i]);
  }
  EXPECT_EQ(g.word(kind2_words::kProductMode), 0);

  Generator precise = g;
  precise.state[kind2_words::kProductMode - 1] = 1;
  const auto u = g.draw(3000);
  const auto v = precise.draw(3000);
  for (int n = 0; n < 3000; ++n) {
    long double s = 0.0L;
    for (int i = 0; i < 4; ++i) {
      x[i] = x[i] * set.a[i] % set.m[i];
      s += static_cast<long double>(x[i]) / set.m[i];
    }
    const double expected = static_cast<double>(1.0L - (s - std::floor(s)));
    ASSERT_LE(circular_distance(u[n], expected), 1.5e-6) << n;
    ASSERT_LE(circular_distance(v[n], expected), 1e-14) << n;
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g.word(kind2_words::kX + i), x[i]);
    EXPECT_EQ(precise.word(kind2_words::kX + i), x[i]);
  }
}

const std::vector<Int64> kKind1Words99 = completed_words(99, 4, 16909320.0);

INSTANTIATE_TEST_SUITE_P(
    SetsAndSeeds,
    KindTwoStream,
    ::testing::Values(
        Kind2Case{1, 1, {1, 2, 3, 4}, {1, 2, 3, 4}},
        Kind2Case{0, 273, {5, 6, 7, 8}, {5, 6, 7, 8}},
        Kind2Case{273, 273, {5, 6, 7, 8}, {5, 6, 7, 8}},
        Kind2Case{-5, 5, {9, 9, 9, 9}, {9, 9, 9, 9}},
        Kind2Case{
            INT_MIN, static_cast<int>((2147483648LL + 272) % 273) + 1, {1, 1, 1, 1}, {1, 1, 1, 1}},
        Kind2Case{2,
                  2,
                  {16909320, 16909321, INT_MAX, 16909319},
                  {16909320, 3, (2147483647LL + 1) % 16909320 + 1, 16909319}},
        Kind2Case{
            100,
            100,
            {INT_MAX, 99},
            {2147483647LL % 16909320 + 1, kKind1Words99[0], kKind1Words99[1], kKind1Words99[2]}}));

// ------------------------------------------------------------------------------ kind 3

// MT19937 written the classic way: one word at a time with a running index.
class ReferenceTwister {
 public:
  explicit ReferenceTwister(const std::vector<std::uint32_t>& words) : mt_(words), index_(624) {}
  static ReferenceTwister from_seed(std::uint32_t s) {
    std::vector<std::uint32_t> w(624);
    w[0] = s;
    for (std::uint32_t i = 1; i < 624; ++i) w[i] = 1812433253u * (w[i - 1] ^ (w[i - 1] >> 30)) + i;
    return ReferenceTwister(w);
  }
  std::uint32_t next() {
    if (index_ == 624) {
      for (int i = 0; i < 624; ++i) {
        const std::uint32_t y = (mt_[i] & 0x80000000u) | (mt_[(i + 1) % 624] & 0x7fffffffu);
        mt_[i] = mt_[(i + 397) % 624] ^ (y >> 1) ^ (y % 2 != 0 ? 0x9908b0dfu : 0u);
      }
      index_ = 0;
    }
    std::uint32_t y = mt_[index_++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    return y ^ (y >> 18);
  }

 private:
  std::vector<std::uint32_t> mt_;
  int index_;
};

TEST(KindThree, ReferenceTwisterMeetsTheStandardTenThousandthValue) {
  ReferenceTwister t = ReferenceTwister::from_seed(5489);
  std::uint32_t y = 0;
  for (int i = 0; i < 10000; ++i) y = t.next();
  EXPECT_EQ(y, 4123659995u);
}

class KindThreeStream : public ::testing::TestWithParam<int> {};

TEST_P(KindThreeStream, MatchesTheReferenceTwister) {
  const int lseed = GetParam();
  std::vector<int> seeds(static_cast<std::size_t>(lseed));
  for (int i = 0; i < lseed; ++i) seeds[i] = 1 + (i * 2654435761u) % 2147483646u;
  std::vector<std::uint32_t> words(seeds.begin(), seeds.begin() + std::min(lseed, 624));
  if (lseed < 624) {
    words.pop_back();
    for (Int64 w : completed_words(seeds.back(), 624 - (lseed - 1), 1073741824.0)) {
      words.push_back(static_cast<std::uint32_t>(w));
    }
  }
  Generator g;
  g.seed(3, 77, seeds);
  ASSERT_EQ(g.ierr, 0);
  EXPECT_EQ(g.word(kind3_words::kSubId), 0);
  EXPECT_EQ(g.word(kind3_words::kPosition), kind3_words::kFirstWord);
  ReferenceTwister t(words);
  const auto u = g.draw(2000);
  for (int n = 0; n < 2000; ++n) {
    ASSERT_EQ(u[n], (t.next() ^ 0x80000000u) * 0x1p-32) << n;
  }
  EXPECT_EQ(g.word(kind3_words::kPosition), kind3_words::kFirstWord + 2000 % 624);
}

INSTANTIATE_TEST_SUITE_P(SeedCounts, KindThreeStream, ::testing::Values(1, 2, 623, 624, 700));

// ------------------------------------------------------------------------------ kind 4

constexpr Int64 kKind4A[4] = {11600, 47003, 23000, 33000};
constexpr Int64 kKind4M[4] = {2147483579, 2147483543, 2147483423, 2147483123};

struct Kind4Case {
  std::vector<int> seeds;
  std::vector<Int64> start;
};

class KindFourStream : public ::testing::TestWithParam<Kind4Case> {};

TEST_P(KindFourStream, FollowsFourMultiplicativeGeneratorsInDouble) {
  const Kind4Case c = GetParam();
  Generator g;
  g.seed(4, 31, c.seeds);
  ASSERT_EQ(g.ierr, 0);
  EXPECT_EQ(g.word(kind4_words::kSubId), 31);
  std::vector<Int64> x = c.start;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g.word(kind4_words::kX + i), x[i]) << i;
    EXPECT_EQ(g.word(kind4_words::kMultiplier + 2 * i), kKind4A[i]);
    EXPECT_EQ(Int64{g.word(kind4_words::kQuotient + i)} * kKind4A[i] +
                  g.word(kind4_words::kMultiplier + 2 * i + 1),
              kKind4M[i]);
  }
  Generator other = g;
  other.state[kind4_words::kProductMode - 1] = 1;
  const auto u = g.draw(3000);
  const auto v = other.draw(3000);
  for (int n = 0; n < 3000; ++n) {
    long double s = 0.0L;
    for (int i = 0; i < 4; ++i) {
      x[i] = static_cast<Int64>(static_cast<u128>(x[i]) * kKind4A[i] % kKind4M[i]);
      s += static_cast<long double>(x[i]) / kKind4M[i];
    }
    const double expected = static_cast<double>(s - std::floor(s));
    ASSERT_LE(circular_distance(u[n], expected), 1e-15) << n;
    ASSERT_EQ(u[n], v[n]) << n;
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g.word(kind4_words::kX + i), x[i]);
}

const std::vector<Int64> kKind1Words5 = completed_words(5, 4, 2147483647.0);

INSTANTIATE_TEST_SUITE_P(
    Seeds,
    KindFourStream,
    ::testing::Values(Kind4Case{{2147483579, 2, 3, 4}, {0, 2, 3, 4}},
                      Kind4Case{{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {68, 104, 224, 524}},
                      Kind4Case{{5},
                                {kKind1Words5[0] % kKind4M[0], kKind1Words5[1] % kKind4M[1],
                                 kKind1Words5[2] % kKind4M[2], kKind1Words5[3] % kKind4M[3]}}));

// ------------------------------------------------------------------------------ kind 5

// C(n, k) exactly (n <= a few thousand, k <= 20).
u128 binomial(Int64 n, Int64 k) {
  u128 c = 1;
  for (Int64 i = 0; i < k; ++i) c = c * static_cast<u128>(n - i) / static_cast<u128>(i + 1);
  return c;
}

struct Kind5Case {
  int subid;
  int p;
  int q;
  int lseed;
};

class KindFiveStream : public ::testing::TestWithParam<Kind5Case> {};

// After n draws X_j = sum_{k<=j} C(n+j-k-1, j-k) X_k(0) mod 2^(30p): the accumulators are
// checked against that closed form, without stepping the recurrence.
TEST_P(KindFiveStream, AccumulatorsFollowTheBinomialClosedForm) {
  const Kind5Case c = GetParam();
  std::vector<int> seeds;
  for (int i = 0; i < c.lseed; ++i) seeds.push_back(1000 + 7919 * i);
  Generator g;
  g.seed(5, c.subid, seeds);
  ASSERT_EQ(g.ierr, 0);
  ASSERT_EQ(g.word(kind5_words::kLimbs), c.p);
  ASSERT_EQ(g.word(kind5_words::kAccumulators), c.q);
  EXPECT_EQ(g.word(kind5_words::kLimbBase), 1 << 30);
  EXPECT_EQ(g.word(g.word(1) - 4), 0);  // word L-1 of the kind

  const int limbs = c.p * c.q;
  const u128 mask = (static_cast<u128>(1) << (30 * c.p)) - 1;
  auto value = [&](const Generator& gen, int acc) {
    u128 v = 0;
    for (int k = c.p - 1; k >= 0; --k) {
      v = (v << 30) | static_cast<unsigned>(gen.word(kind5_words::kFirstLimb + acc * c.p + k));
    }
    return v;
  };
  std::vector<u128> x0(static_cast<std::size_t>(c.q));
  for (int j = 0; j < c.q; ++j) x0[j] = value(g, j);
  if (c.lseed >= limbs) {
    EXPECT_EQ(g.word(kind5_words::kFirstLimb), seeds[0]);
  } else if (c.lseed <= c.p) {
    EXPECT_EQ(g.word(kind5_words::kFirstLimb) % 2, 1);
    EXPECT_EQ(g.word(kind5_words::kFirstLimb + c.p - 1) % 2, 1);
  }

  const int n = 1000;
  const auto u = g.draw(n);
  for (int j = 0; j < c.q; ++j) {
    u128 expected = 0;
    for (int k = 0; k <= j; ++k) expected += binomial(n + j - k - 1, j - k) * x0[k];
    ASSERT_TRUE((expected & mask) == value(g, j)) << j;
  }
  const long double last = static_cast<long double>(value(g, c.q - 1)) / (mask + 1);
  EXPECT_NEAR(u[n - 1], static_cast<double>(last), 0x1p-52);
}

INSTANTIATE_TEST_SUITE_P(Shapes,
                         KindFiveStream,
                         ::testing::Values(Kind5Case{0, 2, 11, 1},
                                           Kind5Case{0, 2, 11, 22},
                                           Kind5Case{1, 1, 2, 1},
                                           Kind5Case{3004, 4, 5, 3},
                                           Kind5Case{1010, 2, 11, 2}));

TEST(KindFive, CompletedLimbsComeFromKindOneAndStayBelowTwoToThirty) {
  Generator g;
  g.seed(5, 0, {3, 4, 5});
  ASSERT_EQ(g.ierr, 0);
  const auto words = completed_words(5, 22 - 2, 1073741823.0);
  EXPECT_EQ(g.word(kind5_words::kFirstLimb), 3);
  EXPECT_EQ(g.word(kind5_words::kFirstLimb + 1), 4);
  for (int k = 2; k < 22; ++k) EXPECT_EQ(g.word(kind5_words::kFirstLimb + k), words[k - 2]);
  g.seed(5, 0, {(1 << 30) + 6, 8, 9});
  EXPECT_EQ(g.word(kind5_words::kFirstLimb), 6);
}

}  // namespace
}  // namespace zun
