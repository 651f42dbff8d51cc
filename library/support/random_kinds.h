// The generator kinds behind seed_generator and uniform_in_range: their word maps, each kind's
// initialiser and draw, and the helpers they share.  Internal to the support library.
#pragma once

#include <cstdint>

namespace zun {

// Generator kind 2: four multiplicative generators from one of 273 parameter sets.
namespace kind2_words {
constexpr int kKindNumber = 2;
constexpr int kCheckValue = 2468;
constexpr int kLength = 18;
constexpr int kSet = 4;           // the parameter set, 1..273
constexpr int kX = 5;             // words 5..8: x1..x4
constexpr int kMultiplier = 9;    // words 9..12: a1..a4
constexpr int kModulus = 13;      // words 13..16: m1..m4
constexpr int kProductMode = 17;  // 0: plain products, single-precision sum; else mulmod31
constexpr int kCheckAgain = 18;
}  // namespace kind2_words

// Generator kind 3: MT19937.
namespace kind3_words {
constexpr int kKindNumber = 3;
constexpr int kCheckValue = 3692;
constexpr int kLength = 630;
constexpr int kSubId = 4;      // always 0
constexpr int kPosition = 5;   // the word to deliver next, 6..630 (630: all used)
constexpr int kFirstWord = 6;  // words 6..629: the 624 state words
constexpr int kLastWord = 629;
constexpr int kCheckAgain = 630;
}  // namespace kind3_words

// Generator kind 4: four-component Wichmann-Hill with fixed parameters.
namespace kind4_words {
constexpr int kKindNumber = 4;
constexpr int kCheckValue = 4826;
constexpr int kLength = 26;
constexpr int kSubId = 4;
constexpr int kX = 5;             // words 5..8: x1..x4
constexpr int kMultiplier = 9;    // words 9..16: a1, r1, a2, r2, a3, r3, a4, r4
constexpr int kQuotient = 17;     // words 17..20: q_i = m_i div a_i
constexpr int kModulus = 21;      // words 21..24: m1..m4
constexpr int kProductMode = 25;  // 0: quotient-remainder products; else mulmod31
constexpr int kCheckAgain = 26;
}  // namespace kind4_words

// Generator kind 5: additive congruential, q accumulators of p 30-bit limbs.
namespace kind5_words {
constexpr int kKindNumber = 5;
constexpr int kCheckValue = 5050;
constexpr int kMinLength = 14;
constexpr int kFixedWords = 9;  // the kind's words besides the limbs
constexpr int kSubId = 4;
constexpr int kAccumulators = 5;  // q
constexpr int kLimbs = 6;         // p
constexpr int kLimbBase = 7;      // 2^30
constexpr int kFirstLimb = 8;     // words 8..7+p*q: X_1..X_q, least significant limb first
// Word L-1 holds 0 and word L the check value again.
}  // namespace kind5_words

namespace random_kinds {

// Error numbers of the initialisers and of the common frame.
enum RandomError {
  kOk = 0,
  kLengthQuery = -1,
  kBadKindOrCount = 1,
  kBadSubId = 2,
  kBadSeedOrRange = 3,
  kBadSeedLengthOrState = 4,
  kStateTooShort = 6,
  kOtherError = 99,
};

// A kind's initialiser on STATE(1..L): L < 1 asks for the kind's length (L := it, error -1).
using SeedRoutine = int (*)(int genid, int subid, const int* seed, int lseed, int* state, int& l);
// A kind's draw: U(1..N) := the next N uniform numbers; STATE advanced.
using DrawRoutine = void (*)(int n, int* state, double* u);
// Whether a state's own words are safe to draw from; L = the words before the trailer.
using StateCheck = bool (*)(const int* state, int l);

struct KindRoutines {
  int check_value;
  int min_length;  // the fewest words of the kind, trailer excluded
  SeedRoutine seed;
  DrawRoutine draw;
  StateCheck state_ok;
};

// The routines of kind 1..5, or nullptr for any other number.
const KindRoutines* find_kind(int kind);

int seed_kind1(int genid, int subid, const int* seed, int lseed, int* state, int& l);
void draw_kind1(int n, int* state, double* u);
int seed_kind2(int genid, int subid, const int* seed, int lseed, int* state, int& l);
void draw_kind2(int n, int* state, double* u);
int seed_kind3(int genid, int subid, const int* seed, int lseed, int* state, int& l);
void draw_kind3(int n, int* state, double* u);
int seed_kind4(int genid, int subid, const int* seed, int lseed, int* state, int& l);
void draw_kind4(int n, int* state, double* u);
int seed_kind5(int genid, int subid, const int* seed, int lseed, int* state, int& l);
void draw_kind5(int n, int* state, double* u);

// The checks that open every initialiser, in order: the kind number, LSEED >= 1, the length
// query (L < 1: L := LENGTH, kLengthQuery) and L >= LENGTH.  kOk when the kind may go on.
int check_initialiser(int genid, int kind, int lseed, int& l, int length);

// WORDS(1..COUNT) from SEED(1..LSEED): all seeds when LSEED >= COUNT; otherwise SEED(1..LSEED-1)
// as they are and the rest trunc(u*SCALE) with u drawn from a kind-1 generator (sub-id 1) that
// SEED(LSEED) seeds in a state of its own.  Returns kOk, or kBadSeedOrRange when that seed is
// not accepted.
int complete_seeds(const int* seed, int lseed, int count, double scale, int* words);

// (a*x) mod m in 0..m-1 for 0 < m < 2^31, for any a and x of 32 bits.
int mulmod31(int a, int x, int m);

// Kind-2 parameter set k (1..273): four multipliers and four prime moduli.
struct ParameterSet {
  std::int32_t a[4];
  std::int32_t m[4];
};
constexpr int kParameterSets = 273;
const ParameterSet& kind2_parameter_set(int k);

}  // namespace random_kinds
}  // namespace zun
