// Seeded uniform random numbers: kind 1 against exact 128-bit arithmetic, and the frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "library/support/random.h"
#include "tests/support/random_reference.h"

namespace zun {
namespace {

constexpr int kStateLength = 17;

struct Generator {
  std::vector<int> state = std::vector<int>(kStateLength, 0);
  char msg[200];
  int ierr = -99;

  int seed(int s, int lstate = kStateLength, int lseed = 1, int genid = 1) {
    int l = lstate;
    seed_generator(genid, 1, &s, lseed, state.data(), l, "TESTER", msg, ierr, 6, 200);
    return l;
  }
  std::vector<double> draw(int n, double a = 0.0, double b = 1.0, int lstate = kStateLength) {
    std::vector<double> x(static_cast<std::size_t>(std::max(n, 1)), -7.0);
    uniform_in_range(n, a, b, state.data(), x.data(), lstate, "TESTER", msg, ierr, 6, 200);
    return x;
  }
  std::string message() const { return std::string(msg, strnlen(msg, sizeof msg)); }
};

class KindOneStream : public ::testing::TestWithParam<int> {};

TEST_P(KindOneStream, MatchesExactArithmetic) {
  Generator g;
  ASSERT_EQ(g.seed(GetParam()), kStateLength);
  ASSERT_EQ(g.ierr, 0);
  EXPECT_EQ(g.state[0], 17);
  EXPECT_EQ(g.state[16], 1234);
  EXPECT_EQ(g.state[14], 1);
  EXPECT_EQ(g.state[15], 1);
  const auto expected = testing::kind1_reference_stream(static_cast<unsigned>(GetParam()), 2000);
  const auto first = g.draw(1000);
  ASSERT_EQ(g.ierr, 0);
  const auto second = g.draw(1000);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(first[i], expected[i]) << i;
    ASSERT_EQ(second[i], expected[1000 + i]) << i;
    ASSERT_GT(first[i], 0.0);
    ASSERT_LE(first[i], 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, KindOneStream, ::testing::Values(1, 123456, 8191, 8192, 2147483647));

TEST(KindOne, MultiplierLimbsHoldThirteenToTheThirteenth) {
  Generator g;
  g.seed(123456);
  const long long a = g.state[8] + (static_cast<long long>(g.state[9]) << 15) +
                      (static_cast<long long>(g.state[10]) << 30) +
                      (static_cast<long long>(g.state[11]) << 45);
  EXPECT_EQ(a, 302875106592253LL);
}

TEST(KindOne, ScalesToTheRangeAndEqualBoundsKeepTheState) {
  Generator g, h;
  g.seed(123456);
  h.seed(123456);
  const auto fixed = g.draw(3, 2.5, 2.5);
  EXPECT_EQ(g.ierr, 0);
  EXPECT_EQ(fixed, (std::vector<double>{2.5, 2.5, 2.5}));
  EXPECT_EQ(g.state, h.state);
  const auto scaled = g.draw(5, -1.0, 3.0);
  const auto unit = h.draw(5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(scaled[i], unit[i] * 4.0 + -1.0);
}

TEST(KindOne, CopiedStateRepeatsItsStream) {
  Generator g;
  g.seed(42);
  Generator copy = g;
  EXPECT_EQ(g.draw(10), copy.draw(10));
}

TEST(SeedGenerator, LengthQueryAndTooShortStates) {
  Generator g;
  g.state.assign(kStateLength, 5);
  EXPECT_EQ(g.seed(123456, 0), 17);
  EXPECT_EQ(g.ierr, -1);
  EXPECT_EQ(g.state, std::vector<int>(kStateLength, 5));

  EXPECT_EQ(g.seed(123456, 16), 16);
  EXPECT_EQ(g.ierr, 6);
  EXPECT_EQ(g.message(), "TESTER     6     6     2               16               17");

  g.seed(123456, 3);
  EXPECT_EQ(g.ierr, 6);
  EXPECT_EQ(g.message(), "TESTER     6     6     2                3               17");
  g.seed(123456, 1);
  EXPECT_EQ(g.ierr, 6);
  EXPECT_EQ(g.state, std::vector<int>(kStateLength, 5));
}

TEST(SeedGenerator, TrailerOnlyStateStillChecksTheSeedCountFirst) {
  Generator g;
  g.state.assign(kStateLength, 5);
  g.seed(123456, 3, 0);
  EXPECT_EQ(g.ierr, 4);
  EXPECT_EQ(g.message(), "TESTER     4     4     1                0");
  EXPECT_EQ(g.state, std::vector<int>(kStateLength, 5));
}

TEST(SeedGenerator, BadArguments) {
  Generator g;
  g.seed(0);
  EXPECT_EQ(g.ierr, 3);
  EXPECT_EQ(g.message(), "TESTER     3     3     0");
  g.seed(5, kStateLength, 0);
  EXPECT_EQ(g.ierr, 4);
  g.seed(5, kStateLength, 1, 7);
  EXPECT_EQ(g.ierr, 1);
  EXPECT_EQ(g.message(), "TESTER     1     1     1                7");
  g.seed(5, kStateLength, 1, 0);
  EXPECT_EQ(g.ierr, 1);
}

TEST(UniformInRange, BadArgumentsLeaveXAlone) {
  Generator g;
  g.seed(99);
  const auto saved = g.state;
  auto x = g.draw(-1);
  EXPECT_EQ(g.ierr, 1);
  x = g.draw(2, 1.0, 0.0);
  EXPECT_EQ(g.ierr, 3);
  EXPECT_EQ(x[0], -7.0);
  x = g.draw(0);
  EXPECT_EQ(g.ierr, 0);
  x = g.draw(2, 0.0, 1.0, 2);
  EXPECT_EQ(g.ierr, 4);
  x = g.draw(2, 0.0, 1.0, 16);  // the length passed disagrees with the state
  EXPECT_EQ(g.ierr, 4);
  EXPECT_EQ(x[0], -7.0);
  EXPECT_EQ(g.state, saved);
}

struct CorruptCase {
  int word;  // 1-based
  int value;
  int ierr;
};

class CorruptState : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptState, IsRejectedWithoutDrawing) {
  const CorruptCase c = GetParam();
  Generator g;
  g.seed(123456);
  g.state[c.word - 1] = c.value;
  const auto x = g.draw(2);
  EXPECT_EQ(g.ierr, c.ierr);
  EXPECT_EQ(x[0], -7.0);
}

TEST(UniformInRange, NegativeLengthWordOfAnyKnownKindIsErrorSix) {
  Generator g;
  g.seed(123456);
  g.state[0] = -17;
  g.state[2] = 2;
  const auto x = g.draw(2);
  EXPECT_EQ(g.ierr, 6);
  EXPECT_EQ(g.message(), "TESTER     6     6     1               17");
  EXPECT_EQ(x[0], -7.0);
  g.state[2] = 6;
  g.draw(2);
  EXPECT_EQ(g.ierr, 4);
}

INSTANTIATE_TEST_SUITE_P(Words,
                         CorruptState,
                         ::testing::Values(CorruptCase{1, 16, 4}, CorruptCase{1, -17, 6},
                                           CorruptCase{2, 4321, 4}, CorruptCase{3, 9, 4},
                                           CorruptCase{3, 2, 4}, CorruptCase{15, 0, 4},
                                           CorruptCase{16, 0, 4}, CorruptCase{17, 1, 4}));

}  // namespace
}  // namespace zun
