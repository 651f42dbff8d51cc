// The built spnlp program run on real and hand-written .nl files: what the user sees on the
// console, the exit code, and the .sol file read back with the ASL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "drivers/spnlp/solve_outcome.h"
#include "tests/drivers/asl_loader.h"
#include "tests/drivers/program_run.h"

namespace {

namespace fs = std::filesystem;

using driver_test::count_of;
using driver_test::in_order;
using driver_test::RunResult;

class SpnlpProgram : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = driver_test::test_directory("spnlp_e2e"); }
  void TearDown() override { fs::remove_all(dir_); }

  // Copies a test problem into the run directory and returns its stub there.
  std::string stub(const std::string& file) {
    fs::copy_file(spnlp_test::data_path(file), dir_ / file);
    return (dir_ / file.substr(0, file.find('.'))).string();
  }

  // Runs the program in the run directory with the option variable set to `options` and the
  // library list AMPLFUNC to `functions` (each unset when empty).
  RunResult run(const std::vector<std::string>& args,
                const std::string& options = "",
                const std::string& functions = "") {
    const driver_test::Program program{SPNLP_PROGRAM, "spnlp_options", SPNLP_LSAN_SUPPRESSIONS};
    return driver_test::run_program(program, dir_, args, options, functions);
  }

  fs::path dir_;
};

constexpr const char* kRerun = "\nMemory allocated, re-running the problem.\n";

TEST_F(SpnlpProgram, WithoutStubPrintsTheBannerAndStops) {
  const RunResult r = run({});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(
      driver_test::is_no_stub_report(r.output, "SPNLP, ZUN Fortran Library Plen 22", SPNLP_PROGRAM))
      << r.output;
}

TEST_F(SpnlpProgram, MissingFileIsRefused) {
  const std::string missing = (dir_ / "nosuch").string();
  const RunResult r = run({missing});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "Can't open " + missing + "\nTerminating.\n");
}

class DiscreteProblem : public SpnlpProgram, public ::testing::WithParamInterface<const char*> {};

TEST_P(DiscreteProblem, IsRefusedBeforeAnyOption) {
  const std::string file = GetParam();
  const RunResult r = run({stub(file), "maxit=5"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("Discrete problems or problems with newtork constraints are not "
                          "supported by this solver.\nTerminating.\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("Calls to SPKEYF"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / (file.substr(0, file.find('.')) + ".sol")));
}

INSTANTIATE_TEST_SUITE_P(Files,
                         DiscreteProblem,
                         ::testing::Values("discrete.nl", "nonlinear_integer.nl"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// An unknown operator is the ASL's to find, and its code is reported.
TEST_F(SpnlpProgram, UnreadableProblemIsRefused) {
  const RunResult r = run({stub("unknown_operator.nl")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("AMPL problem with reading the problem, err_code: 1\nTerminating\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("Corrupt problem file"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("Calls to SPKEYF"), std::string::npos);
}

// A file refused before the ASL reads it, and the fault named on standard error.
struct Refusal {
  const char* file;
  const char* fault;
};

class RefusedFile : public SpnlpProgram, public ::testing::WithParamInterface<Refusal> {};

// Regression: the ASL's reader wrote past its arrays, crashed, or ended the process itself
// without the driver's line on damaged files; they are refused before it reads them, with the
// corrupt-file code.
TEST_P(RefusedFile, IsRefusedBeforeTheAslReadsIt) {
  const std::string s = stub(GetParam().file);
  const RunResult r = run({s});
  EXPECT_EQ(r.exit_code, 1);
  const std::string fault_line = "Corrupt problem file " + s + ".nl, " + GetParam().fault + "\n";
  EXPECT_EQ(r.output,
            "AMPL problem with reading the problem, err_code: 5\nTerminating\n" + fault_line);
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    RefusedFile,
    ::testing::Values(
        // cut short: found by the file check
        Refusal{"truncated.nl", "line 21: the 'J' segments hold 0 terms, the header announces 8"},
        // a binary arithmetic the ASL does not know: it would end the process itself
        Refusal{"foreign_arithmetic.nl",
                "line 6: the arithmetic code 3 is not a binary format this reader knows"}),
    [](const ::testing::TestParamInfo<Refusal>& info) {
      const std::string name = info.param.file;
      return name.substr(0, name.find('.'));
    });

TEST_F(SpnlpProgram, StubMayNameTheFileWithItsSuffix) {
  const std::string s = stub("truncated.nl");
  const RunResult r = run({s + ".nl"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("Corrupt problem file " + s + ".nl, line 21: "), std::string::npos)
      << r.output;
}

TEST_F(SpnlpProgram, DirectoryInPlaceOfTheFileIsRefused) {
  fs::create_directory(dir_ / "folder.nl");
  const RunResult r = run({(dir_ / "folder").string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "Can't open " + (dir_ / "folder").string() +
                          ".nl: not a regular file\nTerminating.\n");
}

class CorruptProblem : public SpnlpProgram, public ::testing::WithParamInterface<const char*> {};

// Regression: counts or variable numbers out of range in a file that the ASL reads without
// complaint made the driver read and write past its arrays.
TEST_P(CorruptProblem, CorruptNlFileIsRefusedAsAReadError) {
  const RunResult r = run({stub(GetParam())});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("AMPL problem with reading the problem, err_code: 5\nTerminating\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("Calls to SPKEYF"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Files,
                         CorruptProblem,
                         ::testing::Values("corrupt_nonlinear_count.nl",
                                           "corrupt_variable_number.nl"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST_F(SpnlpProgram, UserDefinedFunctionsComeFromTheAmplfuncLibraries) {
  const std::string s = stub("user_function.nl");
  const RunResult without = run({s});
  EXPECT_EQ(without.exit_code, 1);
  EXPECT_NE(without.output.find("AMPL problem with reading the problem, err_code: "),
            std::string::npos)
      << without.output;
  const RunResult with = run({s}, "", SPNLP_USER_FUNCTIONS);
  EXPECT_EQ(with.exit_code, 0);
  EXPECT_NE(with.output.find(" Calls to SPKEYF\n"), std::string::npos) << with.output;
}

TEST_F(SpnlpProgram, KeywordListingShowsEveryKeywordWithItsDescription) {
  const RunResult r = run({"-="});
  EXPECT_EQ(r.exit_code, 0);
  const std::vector<std::pair<std::string, std::string>> keywords = {
      {"feasibility", "Major Feasibility Tolerance (default sqrt(eps))"},
      {"hupdates", "Hessian Updates (default 20 or Inf)"},
      {"maxit", "Major Iteration Limit (default 1000)"},
      {"minfeas", "Minor Feasibility Tolerance (default sqrt(eps))"},
      {"minit", "Minor Iteration Limit (default 500)"},
      {"minittotal", "Iteration Limit - summed minor iterations (default 10000)"},
      {"minprint", "Minor Print Level (default 0)"},
      {"optimality", "Optimality Tolerance (default sqrt(eps))"},
      {"precision", "Function Precision (default eps^0.8)"},
      {"print", "Print Level (default 5)"},
      {"superbasics", "Superbasics Limit (default min(500,n+1))"}};
  std::vector<std::string> lines;
  for (const auto& [name, description] : keywords) {
    const std::string padding(13 - name.size(), ' ');
    lines.push_back(name + padding + description + "\n");
  }
  EXPECT_TRUE(in_order(r.output, lines)) << r.output;
}

TEST_F(SpnlpProgram, UsageShowsTheProgramsLines) {
  const RunResult r = run({"-?"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(
      r.output,
      {"  keywords, call `./spnlp.exe -=`, see description bellow.\n", "  Example:\n",
       "    ./spnlp.exe problem.nl maxit=100 precision=1e-2 print=0\n",
       " \n  Alternatively, you can invoke solver SPNLPF from Ampl environment. Run\n",
       "     option spnlp_options 'maxit=100 precision=1e-2 print=1';\n", "     solve;\n"}))
      << r.output;
}

TEST_F(SpnlpProgram, MissingObjectiveIsWarnedAndSentAsFeasiblePoint) {
  const RunResult r = run({stub("no_objective.nl")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(
      in_order(r.output, {"Warning: There is no objective function, pretending to be constant.\n",
                          " Calls to SPKEYF\n", "      Verify Level = -1\n",
                          "      Print Level = 5\n", "      Feasible Point\n"}))
      << r.output;
}

TEST_F(SpnlpProgram, ExtraObjectivesAreWarned) {
  const RunResult r = run({stub("two_objectives.nl")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(r.output, {"Warning: More than one objetive function detected, using the "
                                  "first one.\n",
                                  " Calls to SPKEYF\n"}))
      << r.output;
  EXPECT_EQ(r.output.find("      Maximize"), std::string::npos);
}

TEST_F(SpnlpProgram, MaximisationIsSentLast) {
  const RunResult r = run({stub("maximize.nl")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(
      r.output, {"      Verify Level = -1\n", "      Print Level = 5\n", "      Maximize\n"}))
      << r.output;
}

TEST_F(SpnlpProgram, CommandLineAssignmentsBecomeOptionLines) {
  const RunResult r = run(
      {stub("hs071.nl"), "maxit=50", "feasibility=1e-7", "print=-1", "minprint=2", "precision=0"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(
      r.output, {" \n \n Calls to SPKEYF\n ---------------\n \n", "      Verify Level = -1\n",
                 "      Major Feasibility Tolerance = 1.000000e-07\n",
                 "      Major Iteration Limit = 50\n", "      Minor Print Level = 2\n"}))
      << r.output;
  EXPECT_EQ(r.output.find("Print Level = -1"), std::string::npos);
  EXPECT_EQ(r.output.find("      Print Level ="), std::string::npos);
  EXPECT_EQ(r.output.find("Function Precision ="), std::string::npos);
}

TEST_F(SpnlpProgram, OptionVariableAssignmentsComeBeforeTheCommandLine) {
  const RunResult r = run({stub("hs071.nl"), "maxit=80"}, "maxit=70 superbasics=9 hupdates=4");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(r.output, {"      Verify Level = -1\n", "      Major Iteration Limit = 80\n",
                                  "      Print Level = 5\n", "      Superbasics Limit = 9\n",
                                  "      Hessian Updates = 4\n"}))
      << r.output;
  EXPECT_EQ(r.output.find("Major Iteration Limit = 70"), std::string::npos);
}

TEST_F(SpnlpProgram, OptionsListingShowsTheKeywordsAfterTheSingleRerun) {
  const RunResult r = run({stub("hs071.nl"), "maxit=50", "precision=1e-8"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(count_of(r.output, kRerun), 1u) << r.output;
  EXPECT_TRUE(in_order(
      r.output, {kRerun, " *** SPNLPF\n", " Parameters\n", " ----------\n",
                 " Function precision......  1.00E-08", " Major iteration limit..        50\n",
                 " Workspace provided is                 IZ("}))
      << r.output;
  EXPECT_NE(r.output.find(" Exit SPNLPF - "), std::string::npos);
}

TEST_F(SpnlpProgram, InputCheckFailuresAreReportedWithTheirLines) {
  const RunResult r = run({stub("inconsistent_bounds.nl")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(
      in_order(r.output,
               {"\n ** On entry, the bounds on  X      1  are inconsistent:\n",
                "    BL(     1) =    5.000000    , BU(     1) =    4.000000\n",
                "\n ** On entry, the bounds on  L      1  are inconsistent:\n",
                "    BL(     3) =    3.000000    , BU(     3) =    1.000000\n",
                " Exit SPNLPF -     2 error(s) found in the input parameters. Problem abandoned.\n",
                " **     2 error(s) found in the input parameters. Problem abandoned.\n",
                "SPNLP finished with an error/warning; flag: 7\n"}))
      << r.output;
  EXPECT_EQ(count_of(r.output, kRerun), 0u);
}

// The solver abandons the problem before it touches the point: the .sol file carries the start
// point, zero duals and the message of code 7.
TEST_F(SpnlpProgram, SolutionFileIsWrittenWithAmplFlagAndReadsBack) {
  const std::string s = stub("inconsistent_bounds.nl");
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_TRUE(fs::exists(dir_ / "inconsistent_bounds.sol")) << r.output;
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  std::string message;
  std::vector<double> x, y;
  ASSERT_TRUE(problem.read_solution(message, x, y));
  EXPECT_EQ(message.rfind("error: please consult the manual", 0), 0u) << message;
  EXPECT_EQ(x, (std::vector<double>{4.5, 2.0}));
  EXPECT_EQ(y, (std::vector<double>{0.0}));
}

TEST_F(SpnlpProgram, NoSolutionFileWithoutAmplFlag) {
  const RunResult r = run({stub("inconsistent_bounds.nl")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_FALSE(fs::exists(dir_ / "inconsistent_bounds.sol"));
  EXPECT_NE(r.output.find("error: please consult the manual"), std::string::npos) << r.output;
}

TEST_F(SpnlpProgram, SolutionMessageFollowsTheFinalFlag) {
  const std::string s = stub("hs071.nl");
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  const std::string flag_text = "SPNLP finished with an error/warning; flag: ";
  const std::size_t at = r.output.find(flag_text);
  const bool ok = r.output.find("Result OK\n") != std::string::npos;
  ASSERT_NE(at == std::string::npos, !ok) << r.output;
  const int flag = ok ? 0 : std::atoi(r.output.c_str() + at + flag_text.size());
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  std::string message;
  std::vector<double> x, y;
  ASSERT_TRUE(problem.read_solution(message, x, y));
  EXPECT_EQ(message.rfind(spnlp::solve_message(flag), 0), 0u) << message;
  EXPECT_EQ(x.size(), 4u);
  EXPECT_EQ(y.size(), 2u);
}

// Linear rows that no point satisfies: the exit message with the sum of infeasibilities, the
// solution listing at print level 10 (none at the default level 5) and the .sol file with the
// solve message of code 1.
TEST_F(SpnlpProgram, InfeasibleLinearConstraintsAreReportedWithTheListing) {
  const std::string s = stub("infeasible_linear.nl");
  const RunResult quiet = run({s});
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(count_of(quiet.output, " Variable State"), 0u) << quiet.output;
  const RunResult r = run({s, "-AMPL", "print=10"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(r.output,
                       {"\n Variable State     Value       Lower Bound  Upper Bound   Lagr Mult  "
                        "Residual\n",
                        "\n Constrnt State     Value       Lower Bound  Upper Bound   Lagr Mult  "
                        "Residual\n",
                        "\n Exit SPNLPF - No feasible point for the linear constraints.\n",
                        "\n Sum of infeasibilities = ",
                        "\n ** No feasible point for the linear constraints.\n",
                        "SPNLP finished with an error/warning; flag: 1\n"}))
      << r.output;
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  std::string message;
  std::vector<double> x, y;
  ASSERT_TRUE(problem.read_solution(message, x, y));
  EXPECT_EQ(message.rfind(spnlp::solve_message(1), 0), 0u) << message;
  EXPECT_EQ(x.size(), 2u);
  EXPECT_EQ(y.size(), 2u);
}

// The .sol file holds each variable's value and each row's multiplier in its own place: the
// optimum on the circle, the circle's multiplier (a <= row of a minimisation: not positive),
// the equality row's (1, from x3's unit cost) and 0 for the inactive inequality.
TEST_F(SpnlpProgram, SolutionFileCarriesTheOptimumAndTheRowMultipliersInTheirPlaces) {
  const std::string s = stub("start_duals.nl");
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  std::string message;
  std::vector<double> x, y;
  ASSERT_TRUE(problem.read_solution(message, x, y)) << r.output;
  ASSERT_EQ(x.size(), 3u);
  ASSERT_EQ(y.size(), 3u);
  EXPECT_NEAR(x[0], 1.1490379, 1e-6);
  EXPECT_NEAR(x[1], 1.6369826, 1e-6);
  EXPECT_NEAR(x[2], -1.7860204, 1e-6);
  EXPECT_NEAR(y[0], -0.3054400, 1e-6);
  EXPECT_NEAR(y[1], 1.0, 1e-6);
  EXPECT_NEAR(y[2], 0.0, 1e-9);
  const std::vector<double> lower = problem.row_lower(), upper = problem.row_upper();
  for (int i = 0; i < 3; ++i) {
    bool error = false;
    const double body = problem.constraint(i, x, error);
    ASSERT_FALSE(error);
    EXPECT_GE(body, lower[i] - 1e-8);
    EXPECT_LE(body, upper[i] + 1e-8);
  }
}


// Problems solved to their known optimum: the verdict in the .sol message, the objective of the
// .sol point, its feasibility and the KKT conditions with the .sol multipliers (stationarity of
// the Lagrangian in the variables off their bounds, and the sign of each row multiplier against
// the row's active side).  A problem without objective is checked for feasibility alone (its
// multipliers belong to the solver's own feasible-point objective).
struct KnownOptimum {
  const char* file;
  double f_star;  // NaN: no objective
  const char* verdict = "converged: optimal solution found";  // in the .sol message
};

class KnownOptima : public SpnlpProgram, public ::testing::WithParamInterface<KnownOptimum> {};

TEST_P(KnownOptima, AreReachedWithMultipliersSatisfyingTheKktConditions) {
  const KnownOptimum c = GetParam();
  const std::string s = stub(c.file);
  const RunResult r = run({s, "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  spnlp_test::LoadedProblem problem(s);
  ASSERT_TRUE(problem.loaded());
  std::string message;
  std::vector<double> x, y;
  ASSERT_TRUE(problem.read_solution(message, x, y)) << r.output;
  EXPECT_NE(message.find(c.verdict), std::string::npos) << message;
  const spnlp_test::AslCounts counts = problem.counts();
  ASSERT_EQ(static_cast<int>(x.size()), counts.n_var);
  ASSERT_EQ(static_cast<int>(y.size()), counts.n_con);
  bool error = false;
  if (c.f_star == c.f_star) {
    const double f = problem.objective(0, x, error);
    ASSERT_FALSE(error);
    EXPECT_NEAR(f, c.f_star, 1e-6 * (1.0 + std::fabs(c.f_star))) << r.output;
  }
  const std::vector<double> lo = problem.var_lower(), up = problem.var_upper();
  const std::vector<double> rlo = problem.row_lower(), rup = problem.row_upper();
  constexpr double kFeasible = 1e-6;
  for (int j = 0; j < counts.n_var; ++j) {
    EXPECT_GE(x[j], lo[j] - kFeasible);
    EXPECT_LE(x[j], up[j] + kFeasible);
  }
  // grad f - sum y_i grad c_i, and the activity side of each row.
  std::vector<double> g(x.size(), 0.0);
  if (counts.n_obj > 0) g = problem.objective_gradient(0, x, error);
  ASSERT_FALSE(error);
  double scale = 1.0;
  for (double v : g) scale = std::max(scale, std::fabs(v));
  for (int i = 0; i < counts.n_con; ++i) {
    const double body = problem.constraint(i, x, error);
    ASSERT_FALSE(error);
    const double tol = kFeasible * (1.0 + std::fabs(body));
    EXPECT_GE(body, rlo[i] - tol) << "row " << i;
    EXPECT_LE(body, rup[i] + tol) << "row " << i;
    if (counts.n_obj == 0) continue;
    const std::vector<double> a = problem.constraint_gradient(i, x, error);
    for (std::size_t j = 0; j < x.size(); ++j) g[j] -= y[i] * a[j];
    const bool at_lower = body <= rlo[i] + tol;
    const bool at_upper = body >= rup[i] - tol;
    const double ytol = 1e-6 * (1.0 + std::fabs(y[i]));
    const double sense = problem.maximize(0) ? -1.0 : 1.0;
    if (!at_lower && !at_upper) {
      EXPECT_NEAR(y[i], 0.0, 1e-6 * scale) << "row " << i;
    } else if (at_lower && !at_upper) {
      EXPECT_GE(sense * y[i], -ytol) << "row " << i;
    } else if (at_upper && !at_lower) {
      EXPECT_LE(sense * y[i], ytol) << "row " << i;
    }
  }
  for (std::size_t j = 0; j < x.size() && counts.n_obj > 0; ++j) {
    const double margin = 1e-6 * (1.0 + std::fabs(x[j]));
    if (x[j] > lo[j] + margin && x[j] < up[j] - margin) {
      EXPECT_NEAR(g[j], 0.0, 1e-5 * scale) << "variable " << j;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    KnownOptima,
    ::testing::Values(KnownOptimum{"rosenbr.nl", 0.0},
                      KnownOptimum{"hs6.nl", 0.0},
                      KnownOptimum{"hs100asl.nl", 680.6300574,
                                   "converged: suboptimal solution found"},
                      KnownOptimum{"hs118.nl", 664.82045},
                      KnownOptimum{"avgasa.nl", -4.41217171},
                      KnownOptimum{"genhs28.nl", 0.92717369},
                      KnownOptimum{"portfl1.nl", 0.0204863313869},
                      KnownOptimum{"hs022.nl", 1.0},
                      // A row whose slack rests on its bound while the row lies above it is
                      // not yet a solution.
                      KnownOptimum{"hs033.nl", -4.0},
                      KnownOptimum{"ch3.nl", 0.0},
                      KnownOptimum{"exp4.nl", 22026.465794806718},
                      KnownOptimum{"maximize.nl", -2.0},
                      KnownOptimum{"start_duals.nl", -1.7638082},
                      KnownOptimum{"log_error.nl", -0.8480149418412901},
                      // A linear row with the coefficient 1e-16, 1e-20 or 1e-12 where a 0
                      // belongs: the scales it shaped ended the run at the start point.
                      KnownOptimum{"rounded_zero_e16.nl", 0.0},
                      KnownOptimum{"rounded_zero_e20.nl", 0.0},
                      KnownOptimum{"rounded_zero_e12.nl", 0.0},
                      KnownOptimum{"overflow.nl", 0.05572809000084122},
                      KnownOptimum{"bratu5.nl", std::numeric_limits<double>::quiet_NaN()},
                      KnownOptimum{"no_objective.nl", std::numeric_limits<double>::quiet_NaN()}),
    [](const ::testing::TestParamInfo<KnownOptimum>& info) {
      std::string name = info.param.file;
      return name.substr(0, name.find('.'));
    });

// Functions that cannot be used at a point: undefined at the start, the run ends with code -1;
// a row that overflows at the first trial point (without an error of the ASL) restarts the
// search with a shorter step, and the run goes on to the solution (KnownOptima checks it).
struct UnusablePoint {
  const char* file;
  std::vector<std::string> lines;  // in this order in the output
};

class FunctionsThatCannotBeUsed : public SpnlpProgram,
                                  public ::testing::WithParamInterface<UnusablePoint> {};

TEST_P(FunctionsThatCannotBeUsed, AreEvaluationErrors) {
  const RunResult r = run({stub(GetParam().file), "-AMPL"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(in_order(r.output, GetParam().lines)) << r.output;
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    FunctionsThatCannotBeUsed,
    ::testing::Values(
        UnusablePoint{"start_undefined.nl",
                      {" Exit SPNLPF - Constraint and objective values could not be calculated.",
                       "flag: -1"}},
        UnusablePoint{"overflow.nl", {" -- Restart linesearch.", "Result OK\n"}}),
    [](const ::testing::TestParamInfo<UnusablePoint>& info) {
      std::string name = info.param.file;
      return name.substr(0, name.find('.'));
    });

}  // namespace
