// The square-system family solved by the spnlp program with its default limits: the QP
// subproblems near the solution end once a step to the subspace minimiser moves x by no more
// than rounding or predicts a decrease below the rounding of the objective (the reduced Hessian
// is ill-conditioned there, n = 3000 shows it), so the run is optimal and its minor iterations stay about n (the first QP
// builds a basis of the n - k equations) plus a few per major iteration.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/bench/nl_writer.h"
#include "tests/bench/scalable_families.h"
#include "tests/corpus/solver_process.h"

namespace {

namespace fs = std::filesystem;

constexpr double kTimeLimit = 600.0;
constexpr long kMinorsPerMajor = 20;  // a generous allowance beyond the first QP

class SquareSystemSolve : public ::testing::TestWithParam<int> {};

TEST_P(SquareSystemSolve, RoundingLevelReducedGradientEndsTheFinalQp) {
  const int n = GetParam();
  const nlgen::ScalableProblem p = nlgen::make_problem(nlgen::Family::kSquareSystem, n);
  const fs::path dir = fs::temp_directory_path();
  const std::string stub = "square_solve" + std::to_string(n) + "_" + std::to_string(getpid());
  {
    std::ofstream out(dir / (stub + ".nl"));
    nlgen::write_nl(p.nl, out);
  }
  const corpus::SolverJob job{SPNLP_PROGRAM, {stub}, dir.string(), (dir / (stub + ".out")).string()};
  const corpus::SolverOutcome o = corpus::run_solver_jobs({job}, 1, kTimeLimit, "").front();
  const std::string text = corpus::read_text(job.output);
  fs::remove(dir / (stub + ".nl"));
  fs::remove(dir / (stub + ".out"));
  fs::remove(dir / (stub + ".sol"));
  ASSERT_FALSE(o.timed_out);
  int flag = -1;
  ASSERT_TRUE(corpus::final_flag(text, flag)) << text;
  EXPECT_EQ(flag, 0) << text;
  long majors = -1;
  long minors = -1;
  corpus::major_log_counts(text, majors, minors);
  ASSERT_GT(majors, 0) << text;
  EXPECT_LE(minors, n + kMinorsPerMajor * majors) << text;
}

INSTANTIATE_TEST_SUITE_P(Sizes, SquareSystemSolve, ::testing::Values(200, 400, 3000));

}  // namespace
