// Both programs on files that the reading road must pass on intact: the binary form of every
// corpus problem runs as its text form does, with a .sol file that reads back, and rows declared
// linear whose bodies are not constant are solved as the nonlinear rows they are; on edited
// files with numbers no solve can use or with headers the reader cannot take, which they refuse;
// and the .sol writer leaves out vectors that are not finite.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "drivers/common/asl_record.h"
#include "drivers/common/solution_file.h"
#include "tests/drivers/asl_loader.h"
#include "tests/drivers/common/binary_form.h"
#include "tests/drivers/common/converged_check.h"
#include "tests/drivers/program_run.h"
// After the headers above, whose names the ASL's macros would replace.
#include "asl.h"

namespace {

namespace fs = std::filesystem;
using driver_test::Program;

const std::vector<Program> kPrograms = {
    {SPNLP_PROGRAM, "spnlp_options", SPNLP_LSAN_SUPPRESSIONS},
    {DNNLP_PROGRAM, "dnnlp_options", SPNLP_LSAN_SUPPRESSIONS}};

// The relative violation of a bound or row at which a converged point is not one.
constexpr double kConvergedTolerance = 1e-6;

class RoadPrograms : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = driver_test::test_directory("road_programs"); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

// The console and the exit code of `program` run for AMPL on the stub `name` in `dir`, and the
// message and point of its .sol file as the ASL reads them back.
std::string run_in(const Program& program, const fs::path& dir, const std::string& name) {
  const driver_test::RunResult r = driver_test::run_program(program, dir, {name, "-AMPL"});
  std::ostringstream seen;
  seen << r.output << "exit " << r.exit_code << "\n";
  if (r.exit_code != 0) return seen.str();
  spnlp_test::LoadedProblem problem((dir / name).string());
  std::string message;
  std::vector<double> x, y;
  if (!problem.read_solution(message, x, y)) {
    ADD_FAILURE() << program.path << ": the .sol file of " << (dir / name) << " does not read back";
    return seen.str();
  }
  seen << message << "\n" << std::setprecision(17);
  for (double xj : x) seen << xj << " ";
  return seen.str();
}

// Regression: for problems without rows the binary .sol file did not read back.
TEST_F(RoadPrograms, BinaryFormOfEveryCorpusProblemRunsAsItsTextFormAndItsSolutionReadsBack) {
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

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// How a program ends: solved with a .sol file that reads back (any converged verdict holding at
// its point), or refused without one (a number no solve can use, a corrupt file, or another
// refusal).
enum class End { kSolved, kUnusable, kCorrupt, kRefused };

// The end of the output for `end` with the row's own `ending` text.
std::string expected_ending(End end, const std::string& ending) {
  switch (end) {
    case End::kUnusable:
      return "The problem gives " + ending + ".\nTerminating.\n";
    case End::kCorrupt:
      return "AMPL problem with reading the problem, err_code: 5\nTerminating\n"
             "Corrupt problem file edited.nl, " +
             ending + "\n";
    default:
      return ending;
  }
}

// A bundled problem with one passage replaced, and how both programs must end on it.
struct Edited {
  const char* name;
  const char* file;  // under tests/data
  const char* from;  // the passage replaced; the whole file when empty
  const char* to;
  bool binary;  // also run on the binary form that the ASL writes of the edited file
  End end;
  const char* ending;  // the end of the output (the number or the fault alone when refused so)
  bool sparse_only = false;  // a fault of spnlp's view of the problem alone
};

void PrintTo(const Edited& e, std::ostream* out) { *out << e.name; }

class EditedProblem : public RoadPrograms, public ::testing::WithParamInterface<Edited> {};

// Regression: a NaN variable bound was dropped and the run reported optimal; a NaN start value
// ended with a .sol file that the ASL could not read back; a NaN, infinite or huge coefficient
// or a NaN constant was solved and called optimal; bodies that use variables beyond the header's
// nonlinear counts were called optimal at a point that violates them; option counts that the
// .sol reader refuses were taken, and a problem without variables ended in the ASL's message.
TEST_P(EditedProblem, EndsWithTheProgramsOwnVerdict) {
  const Edited& d = GetParam();
  std::string text = d.to;
  if (*d.from != '\0') {
    text = read_file(fs::path(ZUN_TEST_DATA_DIR) / d.file);
    const std::size_t at = text.find(d.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, std::string(d.from).size(), d.to);
  }
  std::ofstream(dir_ / "edited.nl", std::ios::binary) << text;
  std::vector<std::string> stubs = {"edited"};
  if (d.binary) {
    ASSERT_TRUE(driver_test::write_binary_form((dir_ / "edited").string(),
                                               (dir_ / "edited_binary").string()));
    stubs.push_back("edited_binary");
  }
  const std::string ending = expected_ending(d.end, d.ending);
  const std::vector<Program> programs =
      d.sparse_only ? std::vector<Program>{kPrograms.front()} : kPrograms;
  for (const std::string& stub : stubs) {
    for (const Program& program : programs) {
      const fs::path sol = dir_ / (stub + ".sol");
      fs::remove(sol);
      const driver_test::RunResult r = driver_test::run_program(program, dir_, {stub, "-AMPL"});
      EXPECT_EQ(r.exit_code, d.end == End::kSolved ? 0 : 1) << r.output;
      // The ASL's .sol writer ends the console with backspaces for a file without options.
      const std::string output = r.output.substr(0, r.output.find_last_not_of('\b') + 1);
      EXPECT_TRUE(output.ends_with(ending)) << program.path << " on " << stub << ":\n" << output;
      if (d.end != End::kSolved) {
        EXPECT_FALSE(fs::exists(sol)) << program.path;
        continue;
      }
      spnlp_test::LoadedProblem problem((dir_ / stub).string());
      std::string message;
      std::vector<double> x, y;
      EXPECT_TRUE(problem.read_solution(message, x, y)) << program.path;
      EXPECT_EQ(driver_test::converged_fault((dir_ / stub).string(), kConvergedTolerance), "")
          << program.path << " on " << stub;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    UnusableNumbers,
    EditedProblem,
    ::testing::Values(Edited{"Start", "corpus/hs6.nl", "x2\n0 -1.2", "x2\n0 nan", true,
                             End::kUnusable, "NaN as the start value of variable 1"},
                      Edited{"VariableLower", "corpus/hs6.nl", "b\n3\n3", "b\n2 nan\n3", true,
                             End::kUnusable, "NaN as the lower bound of variable 1"},
                      Edited{"VariableUpper", "corpus/hs6.nl", "b\n3\n3", "b\n3\n1 nan", true,
                             End::kUnusable, "NaN as the upper bound of variable 2"},
                      Edited{"RowBoth", "corpus/hs6.nl", "r\n4 0", "r\n4 nan", true, End::kUnusable,
                             "NaN as the lower bound of constraint 1"},
                      Edited{"RowUpper", "corpus/hs6.nl", "r\n4 0", "r\n1 nan", true,
                             End::kUnusable, "NaN as the upper bound of constraint 1"},
                      Edited{"JacobianCoefficient", "corpus/hs6.nl", "J0 2\n0 0\n1 10",
                             "J0 2\n0 0\n1 1e400", true, End::kUnusable,
                             "infinity as the coefficient of variable 2 in constraint 1"},
                      Edited{"HugeJacobianCoefficient", "corpus/genhs28.nl", "J0 3\n0 1",
                             "J0 3\n0 99999999999999999999", true, End::kUnusable,
                             "1e+20 as the coefficient of variable 1 in constraint 1"},
                      Edited{"GradientCoefficient", "corpus/hs6.nl", "G0 1\n0 0", "G0 1\n0 nan",
                             true, End::kUnusable,
                             "NaN as the coefficient of variable 1 in objective 1"},
                      Edited{"ExpressionConstant", "corpus/hs6.nl", "C0\no2\nn-10", "C0\no2\nn-nan",
                             true, End::kUnusable, "NaN as a constant in the body of constraint 1"},
                      Edited{"DefinedVariableCoefficient", "ch3.nl", "V3 1 0\t#T[1,1]\n0 2",
                             "V3 1 0\n0 -1e999", true, End::kUnusable,
                             "-infinity as the coefficient of variable 1 in defined variable 1"}),
    [](const ::testing::TestParamInfo<Edited>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Headers,
    EditedProblem,
    ::testing::Values(
        Edited{"ConstraintVariablesUnderstated", "corpus/matrix2.nl", " 6 6 6\t", " 1 6 6\t", false,
               End::kCorrupt,
               "line 15: variable 2 in the body of constraint 0 is beyond the header's 1 "
               "nonlinear variables in constraints"},
        Edited{"DiscConstraintVariablesUnderstated", "disc_strip.nl", " 2 2 2\t", " 1 2 1\t", false,
               End::kCorrupt,
               "line 17: variable 1 in the body of constraint 0 is beyond the header's "
               "1 nonlinear variables in constraints"},
        Edited{"DiscObjectiveVariablesUnderstated", "disc_strip.nl", " 2 2 2\t", " 2 1 1\t", false,
               End::kCorrupt,
               "line 30: variable 1 in the body of objective 0 is beyond the header's 1 "
               "nonlinear variables in objectives"},
        Edited{"OneOption", "hs071.nl", "g3 0 1 0", "g1 0", false, End::kCorrupt,
               "line 1: the option count 1 is out of range (0, or 3 to 9)"},
        Edited{"TwoOptions", "hs071.nl", "g3 0 1 0", "g2 0 1", false, End::kCorrupt,
               "line 1: the option count 2 is out of range (0, or 3 to 9)"},
        Edited{"TenOptions", "hs071.nl", "g3 0 1 0", "g10 0 1 0 0 0 0 0 0 0 0", false,
               End::kCorrupt, "line 1: the option count 10 is out of range (0, or 3 to 9)"},
        Edited{"NoOptions", "hs071.nl", "g3 0 1 0", "g0", false, End::kSolved, "Result OK\n"},
        Edited{"NoVariables", "", "",
               "g3 0 1 0\n 0 0 1 0 0\n 0 0\n 0 0\n 0 0 0\n 0 0 0 1\n 0 0 0 0 0\n 0 0\n 0 0\n"
               " 0 0 0 0 0\nO0 0\nn3\n",
               false, End::kRefused,
               "Discrete problems or problems with newtork constraints are not supported by this "
               "solver.\nTerminating.\n"}),
    [](const ::testing::TestParamInfo<Edited>& info) { return std::string(info.param.name); });

// Regression: the constant body of a row declared linear was left out and both programs called
// a point optimal that violates the row; spnlp left out the infinite constant of an objective
// declared linear and called a point optimal where the objective is -infinity.
INSTANTIATE_TEST_SUITE_P(Bodies,
                         EditedProblem,
                         ::testing::Values(Edited{"LinearRowWithAConstantBody", "corpus/genhs28.nl",
                                                  "#cons[3]\nn0", "#cons[3]\nn5", true,
                                                  End::kSolved, "Result OK\n"},
                                           Edited{"LinearObjectiveWithAnInfiniteConstant",
                                                  "corpus/st_e01.nl", "O0 0\nn0", "O0 0\nn-1e400",
                                                  true, End::kSolved, "", true}),
                         [](const ::testing::TestParamInfo<Edited>& info) {
                           return std::string(info.param.name);
                         });

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
