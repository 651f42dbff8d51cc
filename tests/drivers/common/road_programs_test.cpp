// Both programs on files that the reading road must pass on intact: the binary form of every
// corpus problem runs as its text form does, and rows declared linear whose bodies are not
// constant are solved as the nonlinear rows they are.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/drivers/asl_loader.h"
#include "tests/drivers/common/binary_form.h"
#include "tests/drivers/program_run.h"

namespace {

namespace fs = std::filesystem;
using driver_test::Program;

const std::vector<Program> kPrograms = {
    {SPNLP_PROGRAM, "spnlp_options", SPNLP_LSAN_SUPPRESSIONS},
    {DNNLP_PROGRAM, "dnnlp_options", SPNLP_LSAN_SUPPRESSIONS}};

class RoadPrograms : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = driver_test::test_directory("road_programs"); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

// The console and the exit code of `program` on the stub `name` in `dir`.
std::string run_in(const Program& program, const fs::path& dir, const std::string& name) {
  const driver_test::RunResult r = driver_test::run_program(program, dir, {name});
  return r.output + "exit " + std::to_string(r.exit_code) + "\n";
}

TEST_F(RoadPrograms, BinaryFormOfEveryCorpusProblemRunsAsItsTextForm) {
  const fs::path text = dir_ / "text", binary = dir_ / "binary";
  fs::create_directories(text);
  fs::create_directories(binary);
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(ZUN_TEST_DATA_DIR) / "corpus")) {
    if (entry.path().extension() != ".nl") continue;
    const std::string name = entry.path().stem().string();
    fs::copy_file(entry.path(), text / (name + ".nl"));
    ASSERT_TRUE(driver_test::write_binary_form((text / name).string(), (binary / name).string()))
        << name;
    for (const Program& program : kPrograms) {
      EXPECT_EQ(run_in(program, binary, name), run_in(program, text, name))
          << program.path << " on " << name;
    }
    ++compared;
  }
  EXPECT_GT(compared, 50);
}

// Regression: a row declared linear whose body is exp(t) through a defined variable was built
// from its linear coefficients alone; both programs called a wrong point optimal.
TEST_F(RoadPrograms, RowDeclaredLinearWithANonconstantBodyIsSolvedAsNonlinear) {
  // min s + t^2/2 subject to exp(t) = s: t = -W(1), s = W(1) (the omega constant).
  constexpr double kOmega = 0.5671432904097838;
  const std::string stub = (dir_ / "linear_declared_exp").string();
  fs::copy_file(spnlp_test::data_path("linear_declared_exp.nl"), stub + ".nl");
  for (const Program& program : kPrograms) {
    const driver_test::RunResult r = driver_test::run_program(program, dir_, {stub, "-AMPL"});
    EXPECT_EQ(r.exit_code, 0) << r.output;
    spnlp_test::LoadedProblem problem(stub);
    ASSERT_TRUE(problem.loaded());
    std::string message;
    std::vector<double> x, y;
    ASSERT_TRUE(problem.read_solution(message, x, y)) << r.output;
    ASSERT_EQ(x.size(), 2u);
    EXPECT_NEAR(x[0], -kOmega, 1e-6) << program.path;
    EXPECT_NEAR(x[1], kOmega, 1e-6) << program.path;
  }
}

}  // namespace
