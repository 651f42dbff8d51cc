// Both programs on files that the reading road must pass on intact: the binary form of every
// corpus problem runs as its text form does, and rows declared linear whose bodies are not
// constant are solved as the nonlinear rows they are; and on files with NaN data, which they
// refuse, as the .sol writer leaves out vectors that are not finite.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "drivers/common/asl_record.h"
#include "drivers/common/solution_file.h"
#include "tests/drivers/asl_loader.h"
#include "tests/drivers/common/binary_form.h"
#include "tests/drivers/program_run.h"
// After the headers above, whose names the ASL's macros would replace.
#include "asl.h"

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
  const std::string text = (dir_ / "linear_declared_exp").string();
  const std::string binary = (dir_ / "linear_declared_exp_binary").string();
  fs::copy_file(spnlp_test::data_path("linear_declared_exp.nl"), text + ".nl");
  ASSERT_TRUE(driver_test::write_binary_form(text, binary));
  for (const std::string& stub : {text, binary}) {
    for (const Program& program : kPrograms) {
      const driver_test::RunResult r = driver_test::run_program(program, dir_, {stub, "-AMPL"});
      EXPECT_EQ(r.exit_code, 0) << r.output;
      spnlp_test::LoadedProblem problem(stub);
      ASSERT_TRUE(problem.loaded());
      std::string message;
      std::vector<double> x, y;
      ASSERT_TRUE(problem.read_solution(message, x, y)) << r.output;
      ASSERT_EQ(x.size(), 2u);
      EXPECT_NEAR(x[0], -kOmega, 1e-6) << program.path << " on " << stub;
      EXPECT_NEAR(x[1], kOmega, 1e-6) << program.path << " on " << stub;
    }
  }
}

// hs6 with one segment given a NaN, and the value the programs must name.
struct NanData {
  const char* name;
  const char* segment;  // the segment of hs6.nl to replace
  const char* with;
  const char* what;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class NanInTheProblem : public RoadPrograms, public ::testing::WithParamInterface<NanData> {};

// Regression: a NaN variable bound was dropped and the run reported optimal; a NaN start value
// ended with a .sol file that the ASL could not read back.
TEST_P(NanInTheProblem, IsRefusedInTextAndBinaryFiles) {
  const NanData& d = GetParam();
  std::string text = read_file(fs::path(ZUN_TEST_DATA_DIR) / "corpus" / "hs6.nl");
  const std::size_t at = text.find(d.segment);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, std::string(d.segment).size(), d.with);
  std::ofstream(dir_ / "nan.nl", std::ios::binary) << text;
  ASSERT_TRUE(driver_test::write_binary_form((dir_ / "nan").string(), (dir_ / "nanb").string()));
  for (const char* stub : {"nan", "nanb"}) {
    for (const Program& program : kPrograms) {
      const driver_test::RunResult r = driver_test::run_program(program, dir_, {stub, "-AMPL"});
      EXPECT_EQ(r.exit_code, 1) << r.output;
      const std::string refusal = std::string("The problem gives NaN as ") + d.what + ".\n";
      EXPECT_TRUE(r.output.ends_with(refusal + "Terminating.\n")) << r.output;
      EXPECT_FALSE(fs::exists(dir_ / (std::string(stub) + ".sol"))) << program.path;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Segments,
    NanInTheProblem,
    ::testing::Values(NanData{"Start", "x2\n0 -1.2", "x2\n0 nan", "the start value of variable 1"},
                      NanData{"VariableLower", "b\n3\n3", "b\n2 nan\n3",
                              "the lower bound of variable 1"},
                      NanData{"VariableUpper", "b\n3\n3", "b\n3\n1 nan",
                              "the upper bound of variable 2"},
                      NanData{"RowBoth", "r\n4 0", "r\n4 nan", "the lower bound of constraint 1"},
                      NanData{"RowUpper", "r\n4 0", "r\n1 nan",
                              "the upper bound of constraint 1"}),
    [](const ::testing::TestParamInfo<NanData>& info) { return std::string(info.param.name); });

TEST_F(RoadPrograms, SolutionFileLeavesOutVectorsThatAreNotFinite) {
  const std::string stub = (dir_ / "hs6").string();
  fs::copy_file(fs::path(ZUN_TEST_DATA_DIR) / "corpus" / "hs6.nl", stub + ".nl");
  spnlp_test::LoadedProblem problem(stub);
  ASSERT_TRUE(problem.loaded());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // (x, y) pairs and whether each comes back
  const std::vector<std::vector<double>> xs = {{nan, 1.0}, {1.0, 2.0}, {1.0, 2.0}};
  const std::vector<std::vector<double>> ys = {{0.5}, {inf}, {0.5}};
  for (std::size_t c = 0; c < xs.size(); ++c) {
    std::vector<double> x = xs[c], y = ys[c];
    zun_driver::write_solution_file("done", x.data(), y.data(), nullptr);
    real* x_read = nullptr;
    real* y_read = nullptr;
    char* message = read_sol_ASL(zun_driver::asl, &x_read, &y_read);
    ASSERT_NE(message, nullptr) << c;
    EXPECT_NE(std::string(message).find("done"), std::string::npos) << message;
    EXPECT_EQ(x_read != nullptr, zun_driver::all_finite(x.data(), 2)) << c;
    EXPECT_EQ(y_read != nullptr, zun_driver::all_finite(y.data(), 1)) << c;
    if (x_read != nullptr) {
      EXPECT_EQ(x_read[1], 2.0);
    }
    std::free(message);
    std::free(x_read);
    std::free(y_read);
  }
}

}  // namespace
