// The runner's process handling and its readers of a run's output: hangs are killed at the
// time limit, crashes and exit codes are told apart, output is captured, and the exit line,
// sanitizer reports and the major-iteration log are read.
#include "tests/corpus/solver_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(SolverJobs, HangsCrashesAndExitCodesAreToldApart) {
  const fs::path dir = fs::temp_directory_path() / ("solver_jobs_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const auto job = [&](const std::string& script, const std::string& name) {
    return corpus::SolverJob{"/bin/sh", {"-c", script}, dir.string(), (dir / name).string()};
  };
  const std::vector<corpus::SolverJob> jobs = {
      job("echo solved; pwd", "ok.out"), job("sleep 30", "hang.out"),
      job("kill -SEGV $$", "crash.out"), job("exit 3", "code.out")};
  const std::vector<corpus::SolverOutcome> o = corpus::run_solver_jobs(jobs, 3, 0.5, "");
  ASSERT_EQ(o.size(), 4u);
  for (const corpus::SolverOutcome& r : o) EXPECT_TRUE(r.started);
  EXPECT_EQ(o[0].exit_code, 0);
  EXPECT_EQ(corpus::read_text(jobs[0].output), "solved\n" + fs::canonical(dir).string() + "\n");
  EXPECT_TRUE(o[1].timed_out);
  EXPECT_EQ(o[1].signal, SIGKILL);
  EXPECT_LT(o[1].seconds, 10.0);
  EXPECT_FALSE(o[2].timed_out);
  EXPECT_EQ(o[2].signal, SIGSEGV);
  EXPECT_EQ(o[3].exit_code, 3);
  EXPECT_EQ(o[3].signal, 0);
  fs::remove_all(dir);
}

TEST(SolverOutput, FinalFlagComesFromTheLastExitLine) {
  int flag = -1;
  EXPECT_TRUE(corpus::final_flag("...\nResult OK\n", flag));
  EXPECT_EQ(flag, 0);
  EXPECT_TRUE(corpus::final_flag("SPNLP finished with an error/warning; flag: 17\n", flag));
  EXPECT_EQ(flag, 17);
  EXPECT_FALSE(corpus::final_flag(" Exit SPNLPF - Optimal solution found.\n", flag));
}

TEST(SolverOutput, SanitizerReportsAreFound) {
  EXPECT_TRUE(corpus::has_sanitizer_report("==1==ERROR: AddressSanitizer: heap-buffer-overflow"));
  EXPECT_TRUE(corpus::has_sanitizer_report("a.cpp:3:5: runtime error: signed integer overflow"));
  EXPECT_TRUE(corpus::has_sanitizer_report("==1==ERROR: LeakSanitizer: detected memory leaks"));
  EXPECT_FALSE(corpus::has_sanitizer_report(" Exit SPNLPF - Optimal solution found.\n"));
}

// Two log sections (the heading repeats), then other lines that end the log.
TEST(SolverOutput, MajorLogGivesTheLastMajorAndTheSumOfMinors) {
  const std::string log =
      "\n  Maj  Mnr    Step Merit Function Feasibl Optimal Cond Hz PD\n"
      "    0    3 0.0E+00   1.000000E+00 1.0E+00 1.0E+00 1.0E+00 FF\n"
      "    1    2 1.0E+00   5.000000E-01 1.0E-01 1.0E-01 1.0E+00 FF\n"
      "\n  Maj  Mnr    Step Merit Function Feasibl Optimal Cond Hz PD\n"
      "    2    4 1.0E+00   2.500000E-01 0.0E+00 1.0E-09 1.0E+00 TT\n"
      "\n Exit SPNLPF - Optimal solution found.\n";
  long majors = -1, minors = -1;
  corpus::major_log_counts(log, majors, minors);
  EXPECT_EQ(majors, 2);
  EXPECT_EQ(minors, 9);
  long none = -1, none_minors = -1;
  corpus::major_log_counts(" Itn      0 -- Feasible linear rows.\n", none, none_minors);
  EXPECT_EQ(none, -1);
  EXPECT_EQ(none_minors, -1);
}

}  // namespace
