// Seeded uniform random numbers.  A caller seeds a GeneratorState array with
// seed_generator and draws uniform numbers in [A, B] with uniform_in_range.  The state array
// is the caller's; two states give two independent streams and a copy repeats its stream.
// These entries print nothing: they return an error number in IERR and describe a failure
// in a one-line record written into the caller's 200-character message buffer MSG.
#pragma once

namespace zun {

// Words of a GeneratorState (1-based).
namespace generator_words {
constexpr int kUsedLength = 1;  // L, trailer included
constexpr int kCheck = 2;       // the kind's check value
constexpr int kKind = 3;        // the generator kind
constexpr int kTrailerLength = 3;
}  // namespace generator_words

// Generator kind 1: multiplicative congruential x := a x mod 2^60, a = 13^13.
namespace kind1_words {
constexpr int kKindNumber = 1;
constexpr int kCheckValue = 1234;
constexpr int kLength = 14;  // the kind's own words, before the trailer
constexpr int kSubId = 4;
constexpr int kX = 5;           // words 5..8: x in 15-bit limbs, least significant first
constexpr int kMultiplier = 9;  // words 9..12: a in 15-bit limbs
constexpr int kReserved = 13;
constexpr int kCheckAgain = 14;
}  // namespace kind1_words

// Seeds STATE(1..LSTATE) for kind GENID with sub-id SUBID and seeds SEED(1..LSEED).
// LSTATE = 0 (or less) asks for the length needed: IERR = -1 and LSTATE := that length.
// IERR: 0 success, 1 unknown kind, 2 sub-id not accepted, 3 a seed not accepted, 4 LSEED too
// small, 6 LSTATE too small, 99 any other failure.
void seed_generator(const int& genid,
                    const int& subid,
                    const int* seed,
                    const int& lseed,
                    int* state,
                    int& lstate,
                    const char* srname,
                    char* msg,
                    int& ierr,
                    int srname_len,
                    int msg_len);

// X(1..N) := uniform numbers in [A, B] drawn from STATE (advanced).  IERR: 0 success, 1 N < 0,
// 3 A > B, 4 not a valid state, 6 STATE(1) negative.
void uniform_in_range(const int& n,
                      const double& a,
                      const double& b,
                      int* state,
                      double* x,
                      const int& lstate,
                      const char* srname,
                      char* msg,
                      int& ierr,
                      int srname_len,
                      int msg_len);

}  // namespace zun
