// The first read in a child process: what the child returns comes back, and a child that
// crashes, stops, loops or overruns its memory is reported as failed.
#include "drivers/common/read_probe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <vector>

namespace {

using zun_driver::probe_in_child;
using zun_driver::ProbeLimits;

constexpr ProbeLimits kShort{2.0, std::uint64_t{1} << 30};

TEST(ReadProbe, ReturnsTheValueOfTheRead) {
  const auto r = probe_in_child([] { return 42; }, kShort);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.value, 42);
}

TEST(ReadProbe, NothingTheChildChangesReachesTheCaller) {
  int cell = 1;
  const auto r = probe_in_child([&cell] { return cell = 7; }, kShort);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.value, 7);
  EXPECT_EQ(cell, 1);
}

TEST(ReadProbe, ChildEndedBySignalFails) {
  const auto r = probe_in_child([] { return raise(SIGKILL); }, kShort);
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.failure, "the reader was ended by signal 9");
}

TEST(ReadProbe, ChildThatExitsByItselfFails) {
  const auto r = probe_in_child([]() -> int { _exit(3); }, kShort);
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.failure, "the reader stopped with exit status 3");
}

TEST(ReadProbe, ChildOverItsTimeIsKilled) {
  const auto r = probe_in_child(
      [] {
        while (true) pause();
        return 0;
      },
      ProbeLimits{0.2, std::uint64_t{1} << 30});
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.failure, "the reader did not finish within its time limit");
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(ReadProbe, ChildMemoryIsLimited) {
  const auto r = probe_in_child(
      [] {
        void* p = std::malloc(std::size_t{1} << 31);
        const int failed = p == nullptr;
        std::free(p);
        return failed;
      },
      ProbeLimits{2.0, std::uint64_t{1} << 30});
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.value, 1);
}
#endif

TEST(ReadProbe, LimitsGrowWithTheFile) {
  const ProbeLimits small = zun_driver::probe_limits(1000);
  const ProbeLimits large = zun_driver::probe_limits(std::uint64_t{1} << 30);
  EXPECT_GT(large.seconds, small.seconds);
  EXPECT_GT(large.bytes, small.bytes);
}

}  // namespace
