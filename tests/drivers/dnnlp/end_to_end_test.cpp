// The built dnnlp program run on real, hand-written and generated .nl files: what the user
// sees on the console, the exit code, and the .sol file read back with the ASL.  Ordinary
// problems are checked against their known solutions: the closing line and the .sol message
// of success, a feasible point and the optimal objective value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "drivers/dnnlp/keywords.h"
#include "tests/drivers/asl_loader.h"
#include "tests/drivers/program_run.h"

namespace {

namespace fs = std::filesystem;

using driver_test::count_of;
using driver_test::in_order;
using driver_test::RunResult;

constexpr const char* kFlagLine = "DNNLP finished with an error/warning; flag: ";
constexpr const char* kConsultManual = "error: please consult the manual";

std::string name_of(const std::string& file) { return fs::path(file).stem().string(); }

class DnnlpProgram : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = driver_test::test_directory("dnnlp_e2e"); }
  void TearDown() override { fs::remove_all(dir_); }

  // Copies a test problem (a path under tests/data) into the run directory and returns its
  // stub there.
  std::string stub(const std::string& file) {
    const fs::path to = dir_ / fs::path(file).filename();
    fs::copy_file(spnlp_test::data_path(file), to);
    return (dir_ / to.stem()).string();
  }

  // Writes `text` as the problem `name`.nl in the run directory and returns its stub.
  std::string write_problem(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / (name + ".nl")) << text;
    return (dir_ / name).string();
  }

  // A bundled problem with one fragment of its text replaced.
  std::string variant(const std::string& file, const std::string& from, const std::string& to) {
    std::ifstream in(spnlp_test::data_path(file));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return write_problem(name_of(file) + "_variant", text);
  }

  RunResult run(const std::vector<std::string>& args,
                const std::string& options = "",
                const std::string& functions = "") {
    const driver_test::Program program{DNNLP_PROGRAM, "dnnlp_options", DNNLP_LSAN_SUPPRESSIONS};
    return driver_test::run_program(program, dir_, args, options, functions);
  }

  fs::path dir_;
};

// The flag of the driver's closing line: 0 for "Result OK", -99999 when neither line is there.
int final_flag(const std::string& output) {
  const std::size_t at = output.find(kFlagLine);
  if (at != std::string::npos)
    return std::atoi(output.c_str() + at + std::string(kFlagLine).size());
  return output.find("Result OK\n") != std::string::npos ? 0 : -99999;
}

// The output without the backspaces that the ASL's solution writer prints last in a run from
// AMPL, so that its last line can be read.
std::string trimmed(std::string output) {
  while (!output.empty() && output.back() == '\b') output.pop_back();
  return output;
}

struct Solution {
  bool read = false;
  std::string message;
  std::vector<double> x, y;
};

Solution read_solution(const std::string& stub) {
  Solution s;
  spnlp_test::LoadedProblem problem(stub);
  if (problem.loaded()) s.read = problem.read_solution(s.message, s.x, s.y);
  return s;
}

TEST_F(DnnlpProgram, WithoutStubPrintsTheBannerAndStops) {
  const RunResult r = run({});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(
      driver_test::is_no_stub_report(r.output, "DNNLP, ZUN Fortran Library Plen 22", DNNLP_PROGRAM))
      << r.output;
}

TEST_F(DnnlpProgram, KeywordListingShowsTheFiveKeywords) {
  const RunResult r = run({"-="});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(r.output, {"feasibility  Feasibility Tolerance (default sqrt(eps))\n",
                                  "maxit        Major Iteration Limit (default auto)\n",
                                  "optimality   Optimality Tolerance (default eps^0.8)\n",
                                  "precision    Function Precision (default eps^0.9)\n",
                                  "print        Print Level (default 10)\n"}))
      << r.output;
  EXPECT_EQ(r.output.find("superbasics"), std::string::npos);
}

TEST_F(DnnlpProgram, UsageShowsTheProgramsLines) {
  const RunResult r = run({"-?"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(
      r.output,
      {"  keywords, call `./dnnlp.exe -=`, see description bellow.\n", "  Example:\n",
       "    ./dnnlp.exe problem.nl maxit=100 precision=1e-2 print=0\n",
       " \n  Alternatively, you can invoke solver DNNLP from Ampl environment. Run\n",
       "     option solver dnnlp;\n",
       "     option dnnlp_options 'maxit=100 precision=1e-2 print=1';\n", "     solve;\n"}))
      << r.output;
}

TEST_F(DnnlpProgram, MissingFileIsRefused) {
  const std::string missing = (dir_ / "nosuch").string();
  const RunResult r = run({missing});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "Can't open " + missing + "\nTerminating.\n");
}

// Files refused before the solver sees an option line, with their exact console text (the
// corrupt-file line names the file and its fault).
struct Refusal {
  const char* file;
  const char* output;  // "%s" stands for the stub
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.file; }

class RefusedFile : public DnnlpProgram, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedFile, IsRefusedWithItsMessage) {
  const std::string s = stub(GetParam().file);
  const RunResult r = run({s, "-AMPL", "maxit=5"});
  EXPECT_EQ(r.exit_code, 1);
  std::string expected = GetParam().output;
  if (const std::size_t at = expected.find("%s"); at != std::string::npos) {
    expected.replace(at, 2, s);
  }
  EXPECT_NE(r.output.find(expected), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("Calls to DNKEYF"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(s + ".sol"));
}

constexpr const char* kDiscrete =
    "Discrete problems or problems with newtork constraints are not supported by this "
    "solver.\nTerminating.\n";

INSTANTIATE_TEST_SUITE_P(
    Files,
    RefusedFile,
    ::testing::Values(
        Refusal{"discrete.nl", kDiscrete},
        Refusal{"nonlinear_integer.nl", kDiscrete},
        Refusal{"truncated.nl",
                "AMPL problem with reading the problem, err_code: 5\nTerminating\nCorrupt problem "
                "file %s.nl, line 21: the 'J' segments hold 0 terms, the header announces 8\n"},
        Refusal{"foreign_arithmetic.nl",
                "AMPL problem with reading the problem, err_code: 5\nTerminating\nCorrupt problem "
                "file %s.nl, line 6: the arithmetic code 3 is not a binary format this reader "
                "knows\n"},
        Refusal{"corrupt_nonlinear_count.nl",
                "AMPL problem with reading the problem, err_code: 5\nTerminating\n"},
        Refusal{"corrupt_variable_number.nl",
                "AMPL problem with reading the problem, err_code: 5\nTerminating\n"},
        Refusal{"unknown_operator.nl",
                "AMPL problem with reading the problem, err_code: 1\nTerminating\n"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return name_of(info.param.file); });

TEST_F(DnnlpProgram, UserDefinedFunctionsComeFromTheAmplfuncLibraries) {
  const std::string s = stub("user_function.nl");
  const RunResult without = run({s});
  EXPECT_EQ(without.exit_code, 1);
  EXPECT_NE(without.output.find("AMPL problem with reading the problem, err_code: "),
            std::string::npos)
      << without.output;
  const RunResult with = run({s, "-AMPL"}, "", DNNLP_USER_FUNCTIONS);
  EXPECT_EQ(with.exit_code, 0) << with.output;
  EXPECT_NE(with.output.find(" Calls to DNKEYF\n"), std::string::npos) << with.output;
  EXPECT_EQ(with.output.find("Error while evaluating"), std::string::npos) << with.output;
  EXPECT_NE(final_flag(with.output), -99999) << with.output;
}

// 40000 free variables: the Hessian factor alone exceeds the 32-bit lengths of the solver.
TEST_F(DnnlpProgram, ProblemTooLargeForDenseArraysIsRefused) {
  constexpr int kVariables = 40000;
  std::string text = "g3 0 1 0\n " + std::to_string(kVariables) +
                     " 0 1 0 0\n 0 0\n 0 0\n 0 0 0\n 0 0 0 1\n 0 0 0 0 0\n 0 1\n 0 0\n 0 0 0 0 0\n"
                     "O0 0\nn0\nb\n";
  for (int j = 0; j < kVariables; ++j) text += "3\n";
  text += "G0 1\n0 1\n";
  const std::string s = write_problem("huge", text);
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(in_order(r.output, {" Calls to DNKEYF\n",
                                  "Memory allocation problem. The problem cannot fit in the memory "
                                  "as dense.\nTry a sparse routine instead.\nTerminating.\n"}))
      << r.output;
  EXPECT_EQ(r.output.find("DNNLPF"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(s + ".sol"));
}

TEST_F(DnnlpProgram, KeywordAssignmentsBecomeOptionLines) {
  const RunResult r =
      run({stub("hs071.nl"), "maxit=50", "feasibility=1e-7", "precision=0", "optimality=2e-9"},
          "print=3 maxit=70");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(
      in_order(r.output, {" Calls to DNKEYF\n ---------------\n \n", "      Verify Level = -1\n",
                          "      Feasibility Tolerance = 1.000000e-07\n",
                          "      Optimality Tolerance = 2.000000e-09\n",
                          "      Iteration Limit = 50\n", "      Print Level = 3\n"}))
      << r.output;
  EXPECT_EQ(r.output.find("Function Precision ="), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("Iteration Limit = 70"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("Maximize"), std::string::npos);
  EXPECT_EQ(r.output.find("Feasible Point"), std::string::npos);
}

TEST_F(DnnlpProgram, InputCheckFailuresEndWithCodeNine) {
  const std::string s = stub("inconsistent_bounds.nl");
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(r.output, {" ** On entry, the bounds on  Varbl  1  are inconsistent:\n",
                                  " ** On entry, the bounds on  L Con  1  are inconsistent:\n",
                                  " Exit DNNLPF -       2 errors found in the input parameters."
                                  "  Problem abandoned.\n",
                                  std::string(kFlagLine) + "9\n"}))
      << r.output;
  const Solution sol = read_solution(s);
  ASSERT_TRUE(sol.read) << r.output;
  EXPECT_EQ(sol.message.rfind(kConsultManual, 0), 0u) << sol.message;
  EXPECT_EQ(sol.x, (std::vector<double>{4.5, 2.0}));
  EXPECT_EQ(sol.y, (std::vector<double>{0.0}));
}

// No point satisfies the linear rows: exit 2 with its messages, and a .sol file with the
// message of code 2 and a point inside the bounds.
TEST_F(DnnlpProgram, InfeasibleLinearConstraintsEndWithCodeTwo) {
  const std::string s = stub("infeasible_linear.nl");
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(
      r.output,
      {"\n Exit DNNLPF - No feasible point for the linear constraints.\n",
       " ** No feasible point for the linear constraints.\n", std::string(kFlagLine) + "2\n"}))
      << r.output;
  const Solution sol = read_solution(s);
  ASSERT_TRUE(sol.read) << r.output;
  EXPECT_EQ(sol.message.rfind("failed: the problem is infeasible (linear constraints & bounds)", 0),
            0u)
      << sol.message;
  ASSERT_EQ(sol.x.size(), 2u);
  ASSERT_EQ(sol.y.size(), 2u);
  for (const double xj : sol.x) {
    EXPECT_GE(xj, 0.0);
    EXPECT_LE(xj, 10.0);
  }
}

// The start point lies where the problem cannot be evaluated: the driver's message once, the
// stop request goes to the solver, and the solve ends with the stop code.
struct StartError {
  const char* name;
  const char* start;  // the x segment of log_error.nl with one coordinate moved
  const char* message;
};

void PrintTo(const StartError& e, std::ostream* os) { *os << e.name; }

class EvaluationError : public DnnlpProgram, public ::testing::WithParamInterface<StartError> {};

TEST_P(EvaluationError, AtTheStartPointStopsTheSolve) {
  const std::string s = variant("log_error.nl", "x2\n0 1\n1 1\n", GetParam().start);
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(count_of(r.output, GetParam().message), 1u) << r.output;
  EXPECT_EQ(count_of(r.output, "Error while evaluating"), 1u) << r.output;
  EXPECT_TRUE(in_order(r.output, {GetParam().message, std::string(kFlagLine) + "-1\n"}))
      << r.output;
  const Solution sol = read_solution(s);
  ASSERT_TRUE(sol.read) << r.output;
  EXPECT_EQ(sol.message.rfind(kConsultManual, 0), 0u) << sol.message;
  EXPECT_EQ(sol.x.size(), 2u);
  EXPECT_EQ(sol.y.size(), 5u);
}

// Problems whose first trial point lies where a row cannot be used: from (1, 1) the objective
// (x1 + 2)^2 - log(x2) of a log_error.nl variant sends it to x1 < 0, where log(x1) in row 3 is
// undefined, and overflow.nl's to x2 > 1.9013, where its row 2 overflows.  The stop leaves that
// trial point in the .sol.
struct TrialError {
  const char* name;
  const char* file;
  const char* from;  // a fragment of the file's text and what replaces it; null: the file
  const char* to;
};

void PrintTo(const TrialError& e, std::ostream* os) { *os << e.name; }

class EvaluationErrorAtATrialPoint : public DnnlpProgram,
                                     public ::testing::WithParamInterface<TrialError> {};

TEST_P(EvaluationErrorAtATrialPoint, LeavesThatPointInTheSolution) {
  const TrialError& c = GetParam();
  const std::string s = c.from != nullptr ? variant(c.file, c.from, c.to) : stub(c.file);
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(r.output, {"Error while evaluating constraints, terminating.\n",
                                  std::string(kFlagLine) + "-1\n"}))
      << r.output;
  const Solution sol = read_solution(s);
  ASSERT_TRUE(sol.read) << r.output;
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  ASSERT_EQ(static_cast<int>(sol.x.size()), problem.counts().n_var);
  bool unusable = false;
  for (int i = 0; i < problem.counts().n_con; ++i) {
    bool error = false;
    const double value = problem.constraint(i, sol.x, error);
    unusable = unusable || error || !std::isfinite(value);
  }
  EXPECT_TRUE(unusable) << sol.x[0] << " " << sol.x[1];
}

INSTANTIATE_TEST_SUITE_P(
    Rows,
    EvaluationErrorAtATrialPoint,
    ::testing::Values(
        TrialError{"undefined", "log_error.nl", "o0\nv0\nn-2\n", "o0\nv0\nn2\n"},
        TrialError{"overflow", "overflow.nl", nullptr, nullptr}),
    [](const ::testing::TestParamInfo<TrialError>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Starts,
    EvaluationError,
    ::testing::Values(StartError{"constraint", "x2\n0 -1\n1 1\n",
                                 "Error while evaluating constraints, terminating.\n"},
                      StartError{"objective", "x2\n0 1\n1 -1\n",
                                 "Error while evaluating objective function, terminating.\n"},
                      // x1^2 in row 1 overflows without an error of the ASL.
                      StartError{"overflow", "x2\n0 1e200\n1 1\n",
                                 "Error while evaluating constraints, terminating.\n"}),
    [](const ::testing::TestParamInfo<StartError>& info) { return std::string(info.param.name); });

// Ordinary problems: whatever the solve reaches, the run ends normally with the driver's
// closing line and a .sol file with one value per variable and row and the flag's message.
struct KnownSolution {
  const char* file;
  double optimum;  // of the first objective; NaN: no objective, a feasible point solves it
};

class OrdinaryProblem : public DnnlpProgram, public ::testing::WithParamInterface<KnownSolution> {};

TEST_P(OrdinaryProblem, EndsWithAFlagAndASolutionFile) {
  const std::string s = stub(GetParam().file);
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  // A converged run: optimal, or optimal with the final step not yet small.
  const int flag = final_flag(r.output);
  EXPECT_TRUE(flag == 0 || flag == 1) << r.output;
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  const spnlp_test::AslCounts counts = problem.counts();
  std::string message;
  std::vector<double> x, y;
  ASSERT_TRUE(problem.read_solution(message, x, y)) << r.output;
  EXPECT_EQ(message.rfind(dnnlp::solve_message(flag), 0), 0u) << message;
  ASSERT_EQ(x.size(), static_cast<std::size_t>(counts.n_var));
  EXPECT_EQ(y.size(), static_cast<std::size_t>(counts.n_con));
  constexpr double kFeasible = 1e-6;
  const std::vector<double> lo = problem.var_lower(), up = problem.var_upper();
  for (std::size_t j = 0; j < x.size(); ++j) {
    EXPECT_GE(x[j], lo[j] - kFeasible) << j;
    EXPECT_LE(x[j], up[j] + kFeasible) << j;
  }
  const std::vector<double> rlo = problem.row_lower(), rup = problem.row_upper();
  bool error = false;
  for (int i = 0; i < counts.n_con; ++i) {
    const double body = problem.constraint(i, x, error);
    EXPECT_GE(body, rlo[i] - kFeasible * (1.0 + std::fabs(body))) << "row " << i;
    EXPECT_LE(body, rup[i] + kFeasible * (1.0 + std::fabs(body))) << "row " << i;
  }
  const double optimum = GetParam().optimum;
  if (!std::isnan(optimum)) {
    EXPECT_NEAR(problem.objective(0, x, error), optimum, 1e-6 * (1.0 + std::fabs(optimum)));
  }
  EXPECT_FALSE(error);
}

constexpr double kNoObjective = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Files,
                         OrdinaryProblem,
                         ::testing::Values(KnownSolution{"hs071.nl", 17.0140173},
                                           KnownSolution{"hs100asl.nl", 680.6300574},
                                           KnownSolution{"hs118.nl", 664.82045},
                                           KnownSolution{"bratu5.nl", kNoObjective},
                                           KnownSolution{"ch3.nl", 0.0},
                                           KnownSolution{"hs022.nl", 1.0},
                                           KnownSolution{"unconstrained.nl", 0.0},
                                           KnownSolution{"linear_tail.nl", -1.0},
                                           KnownSolution{"no_objective.nl", kNoObjective},
                                           KnownSolution{"maximize.nl", -2.0},
                                           KnownSolution{"two_objectives.nl", 0.0},
                                           KnownSolution{"start_duals.nl", -1.7638082},
                                           // A stretch where the Hessian's curvature along the
                                           // null space far exceeds the problem's: the step
                                           // must go far beyond the QP step.
                                           KnownSolution{"corpus/hs116.nl", 97.5910347},
                                           // The local minimum that the start point leads to.
                                           KnownSolution{"unsorted_jacobian.nl", -2.681947002}),
                         [](const ::testing::TestParamInfo<KnownSolution>& info) {
                           return name_of(info.param.file);
                         });

// Solves that carry a variable toward the infinite bound size.  Where it runs off toward an
// absent bound the problem seems unbounded: the .sol message and the console's last line say
// so, and from AMPL the solver's flag line (never "Result OK") is followed by a line that names
// the verdict.  A variable held by finite bounds, however large, leaves the library's verdict.
struct FarPoint {
  const char* name;
  const char* text;
  bool unbounded;
  int flag = -1;  // the solver's flag where a row must reach one branch, else -1
};

void PrintTo(const FarPoint& p, std::ostream* os) { *os << p.name; }

class FarPointProblem : public DnnlpProgram, public ::testing::WithParamInterface<FarPoint> {};

TEST_P(FarPointProblem, IsUnboundedOnlyWhereAVariableRunsOffToAnAbsentBound) {
  const std::string s = write_problem(GetParam().name, GetParam().text);
  const RunResult console = run({s});
  EXPECT_EQ(console.exit_code, 0);
  const RunResult r = run({s, "-AMPL"});
  const std::string ampl = trimmed(r.output);
  const int flag = final_flag(ampl);
  ASSERT_NE(flag, -99999) << ampl;
  if (GetParam().flag >= 0) {
    EXPECT_EQ(flag, GetParam().flag) << ampl;
  }
  const std::string flag_line = std::string(kFlagLine) + std::to_string(flag) + "\n";
  const std::string message = GetParam().unbounded ? "failed: the problem seems to be unbounded"
                                                   : dnnlp::solve_message(flag);
  EXPECT_TRUE(console.output.ends_with(message + "\n")) << console.output;
  if (GetParam().unbounded) {
    EXPECT_TRUE(ampl.ends_with(flag_line + "The problem seems to be unbounded.\n")) << ampl;
  } else {
    EXPECT_TRUE(ampl.ends_with(flag == 0 ? "Result OK\n" : flag_line)) << ampl;
  }
  const Solution sol = read_solution(s);
  ASSERT_TRUE(sol.read) << ampl;
  EXPECT_EQ(sol.message.rfind(message, 0), 0u) << sol.message;
}

// min x1, x1 free, ends with flag 1; and min -x1 - x2 subject to x1 - x2 = 0, both free.
constexpr const char* kHeader = "g3 1 1 0\n";
const std::string kFreeLine = std::string(kHeader) +
                              " 1 0 1 0 0\n 0 0\n 0 0\n 0 0 0\n 0 0 0 1\n 0 0 0 0 0\n 0 1\n 0 0\n"
                              " 0 0 0 0 0\nO0 0\nn0\nb\n3\nG0 1\n0 1\n";
const std::string kFreeDiagonal = std::string(kHeader) +
                                  " 2 1 1 0 1\n 0 0\n 0 0\n 0 0 0\n 0 0 0 1\n 0 0 0 0 0\n 2 2\n"
                                  " 0 0\n 0 0 0 0 0\nC0\nn0\nO0 0\nn0\nr\n4 0\nb\n3\n3\nk1\n1\n"
                                  "J0 2\n0 1\n1 -1\nG0 2\n0 -1\n1 -1\n";
// min (y - 1)^2 - x^2 subject to xy >= 1 and y^2 <= 16, free, from (x0, y0): x runs off and
// the objective falls without end.  The relative convergence tests pass once the objective
// dwarfs its gradient: from (0.5, 2) the library ends with flag 0 at x of about 1e12, from
// (5, 0.2) with flag 1 at x of about -2e8.
std::string hyperbola(const std::string& x0, const std::string& y0) {
  return std::string(kHeader) +
         " 2 2 1 0 0\n 2 1\n 0 0\n 2 2 2\n 0 0 0 1\n 0 0 0 0 0\n 3 2\n 0 0\n 0 0 0 0 0\nC0\no2\n"
         "v0\nv1\nC1\no5\nv1\nn2\nO0 0\no0\no5\no0\nv1\nn-1\nn2\no16\no5\nv0\nn2\nr\n2 1\n"
         "1 16\nb\n3\n3\nx2\n0 " +
         x0 + "\n1 " + y0 + "\nk1\n1\nJ0 2\n0 0\n1 0\nJ1 1\n1 0\nG0 2\n0 0\n1 0\n";
}
const std::string kHyperbola = hyperbola("1", "1");
const std::string kHyperbolaFlagZero = hyperbola("0.5", "2");
const std::string kHyperbolaShortOfX = hyperbola("5", "0.2");

// min (y - 1)^2 subject to x + y <= 5e19, y free, x held by `bound` and started at `x0`: the
// answer is y = 1, f = 0, with x where its bounds allow.
std::string far_but_bounded(const std::string& bound, const std::string& x0) {
  return std::string(kHeader) +
         " 2 1 1 0 0\n 0 1\n 0 0\n 0 1 0\n 0 0 0 1\n 0 0 0 0 0\n 2 1\n 0 0\n 0 0 0 0 0\nC0\n"
         "n0\nO0 0\no5\no0\nv0\nn-1\nn2\nr\n1 5e19\nb\n3\n" +
         bound + "\nx2\n0 0\n1 " + x0 + "\nk1\n1\nJ0 2\n0 1\n1 1\nG0 1\n0 0\n";
}
const std::string kBoundedFar = far_but_bounded("0 3e19 4e19", "3.5e19");
const std::string kFixedFar = far_but_bounded("4 3e19", "3e19");

INSTANTIATE_TEST_SUITE_P(Lines,
                         FarPointProblem,
                         ::testing::Values(FarPoint{"free_line", kFreeLine.c_str(), true},
                                           FarPoint{"free_diagonal", kFreeDiagonal.c_str(), true},
                                           FarPoint{"hyperbola", kHyperbola.c_str(), true},
                                           FarPoint{"hyperbola_flag_zero",
                                                    kHyperbolaFlagZero.c_str(), true, 0},
                                           FarPoint{"hyperbola_short_of_x",
                                                    kHyperbolaShortOfX.c_str(), true},
                                           FarPoint{"bounded_far", kBoundedFar.c_str(), false},
                                           FarPoint{"fixed_far", kFixedFar.c_str(), false}),
                         [](const ::testing::TestParamInfo<FarPoint>& info) {
                           return std::string(info.param.name);
                         });

// HS13 (optimum f* = 1 at (1, 0), where the constraint qualification fails): the solve may end
// short of it, but never with the optimal verdict there.
TEST_F(DnnlpProgram, Hs13IsNotOptimalAwayFromItsOptimum) {
  const std::string s = stub("corpus/hs13.nl");
  const RunResult r = run({s, "-AMPL"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  std::string message;
  std::vector<double> x, y;
  ASSERT_TRUE(problem.read_solution(message, x, y)) << r.output;
  bool error = false;
  const double f = problem.objective(0, x, error);
  ASSERT_FALSE(error);
  if (final_flag(r.output) == 0) {
    EXPECT_NEAR(f, 1.0, 1e-4) << r.output;
  }
}

TEST_F(DnnlpProgram, MissingObjectiveIsWarnedAndNotSent) {
  const RunResult r = run({stub("no_objective.nl")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(
      in_order(r.output, {"Warning: There is no objective function, pretending to be constant.\n",
                          " Calls to DNKEYF\n", "      Verify Level = -1\n"}))
      << r.output;
  EXPECT_EQ(r.output.find("Feasible Point"), std::string::npos);
}

}  // namespace
