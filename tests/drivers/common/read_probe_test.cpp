// The first read in a child process: what the child returns and writes on standard error comes
// back; only a fault signal it raised itself is a fault, a child over its processor-time budget
// is told apart, and any other end gives no verdict.
#include "drivers/common/read_probe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>

namespace {

using zun_driver::probe_in_child;
using zun_driver::ProbeEnd;
using zun_driver::ProbeLimits;

constexpr ProbeLimits kShort{1.0};

TEST(ReadProbe, ReturnsTheValueAndTheErrorTextOfTheRead) {
  int cell = 1;
  const auto r = probe_in_child(
      [&cell] {
        std::fputs("bad line 7\n", stderr);
        return cell = 4;
      },
      kShort);
  EXPECT_EQ(r.end, ProbeEnd::kFinished);
  EXPECT_EQ(r.value, 4);
  EXPECT_EQ(r.errors, "bad line 7\n");
  EXPECT_EQ(cell, 1);  // nothing the child changes reaches the caller
}

// How a child ends and the verdict with its message.
struct Ending {
  const char* name;
  int (*read)();
  ProbeEnd end;
  const char* failure;
};

class ChildEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(ChildEnding, GivesItsVerdict) {
  const auto r = probe_in_child(GetParam().read, kShort);
  EXPECT_EQ(r.end, GetParam().end);
  EXPECT_EQ(r.failure, GetParam().failure);
}

INSTANTIATE_TEST_SUITE_P(
    Ends,
    ChildEnding,
    ::testing::Values(
        Ending{"Abort", [] { return raise(SIGABRT); }, ProbeEnd::kFaultSignal,
               "the reader was ended by signal 6"},
        Ending{"IllegalInstruction", [] { return raise(SIGILL); }, ProbeEnd::kFaultSignal,
               "the reader was ended by signal 4"},
        // killed from outside (the memory killer, a user): no verdict
        Ending{"Killed", [] { return raise(SIGKILL); }, ProbeEnd::kNoVerdict,
               "the reader was ended by signal 9"},
        // the ASL ends the process itself when memory runs out: no verdict
        Ending{"ExitsByItself", []() -> int { _exit(3); }, ProbeEnd::kNoVerdict,
               "the reader stopped with exit status 3"},
        Ending{"Loops",
               []() -> int {
                 volatile unsigned spins = 0;
                 while (true) spins = spins + 1;
               },
               ProbeEnd::kOverBudget, "the reader used up its processor-time budget"},
        // wall-clock time does not count: a child stopped or waiting is not over its budget
        Ending{"Waits",
               [] {
                 const timespec wait{1, 500000000};
                 nanosleep(&wait, nullptr);
                 return 0;
               },
               ProbeEnd::kFinished, ""}),
    [](const ::testing::TestParamInfo<Ending>& info) { return info.param.name; });

TEST(ReadProbe, BudgetGrowsWithTheFile) {
  EXPECT_GT(zun_driver::probe_limits(std::uint64_t{1} << 30).cpu_seconds,
            zun_driver::probe_limits(1000).cpu_seconds);
}

}  // namespace
