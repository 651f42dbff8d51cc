// The public entries SPKEYF and SPNLPF through the program's one option store: the first-call
// set-up and print level, the input-error exit, the workspace too small with its lengths, the
// options listing and the exit of a run solved to its optimum.  Only this
// test touches the process-wide store and first-call flag.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/solve_top_level.h"
#include "library/sparse_sqp/sparse_sqp.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/option_store.h"
#include "library/support/output.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;

constexpr int kPrintUnit = 81;
constexpr int kErrorUnit = 82;

// x1 - x2 in the nonlinear row (at most 0), (x1 - 1)^2 + (x2 - 2)^2 as the objective.
void no_confun(int& mode,
               const int&,
               const int&,
               const int&,
               const double* x,
               double* f,
               double* g,
               const int&,
               int*,
               double*) {
  if (mode != 1) f[0] = x[0] - x[1];
  if (mode != 0) {
    g[0] = 1.0;
    g[1] = -1.0;
  }
}
void no_objfun(int& mode, const int&, const double* x, double& f, double* g, const int&, int*,
               double*) {
  if (mode != 1) f = (x[0] - 1) * (x[0] - 1) + (x[1] - 2) * (x[1] - 2);
  if (mode != 0) {
    g[0] = 2 * (x[0] - 1);
    g[1] = 2 * (x[1] - 2);
  }
}

struct Problem {
  int n = 3, m = 3, ncnln = 1, nonln = 2, njnln = 2, iobj = 3, nnz = 5, nname = 1;
  std::vector<double> aval{1, 2, 3, 4, 5};
  std::vector<int> ha{1, 2, 1, 3, 2};
  std::vector<int> ka{1, 3, 5, 6};
  std::vector<double> bl{0, 0, 0, -1e20, 1, -1e20};
  std::vector<double> bu{10, 10, 10, 0, 1, 1e20};
  std::vector<double> xv{1, 2, 3, 0, 0, 0};
  std::vector<int> istate = std::vector<int>(6, 0);
  std::vector<double> mult{0, 0, 0, 0.75, 0, 0};
  int nsb = 0, neediz = 0, needz = 0, ninfs = 0;
  double suminf = 0, objv = 0;
  std::vector<int> iz = std::vector<int>(500, 0);
  std::vector<double> z = std::vector<double>(500, 0.0);
  int iusr[1] = {0};
  double rusr[1] = {0};

  int solve(int ifail) {
    const int leniz = static_cast<int>(iz.size());
    const int lenz = static_cast<int>(z.size());
    SPNLPF(no_confun, no_objfun, n, m, ncnln, nonln, njnln, iobj, nnz, aval.data(), ha.data(),
           ka.data(), bl.data(), bu.data(), "C", nname, "dummy", nsb, xv.data(), istate.data(),
           mult.data(), neediz, needz, ninfs, suminf, objv, iz.data(), leniz, z.data(), lenz, iusr,
           rusr, ifail, 1, 1);
    return ifail;
  }
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void send(const char* line) { SPKEYF(line, static_cast<int>(std::strlen(line))); }

TEST(SparseEntries, OptionLinesWorkspaceGrowthAndTheOptimalExit) {
  sqp_test::UnitCapture print(kPrintUnit);
  sqp_test::UnitCapture error(kErrorUnit);
  int saved_advisory = 0, saved_error = 0;
  advisory_unit(0, saved_advisory);
  error_unit(0, saved_error);
  int unit = kPrintUnit;
  advisory_unit(1, unit);
  unit = kErrorUnit;
  error_unit(1, unit);

  // The first option line of the process forces print level 10 unless it names the level.
  const SparseOptionStore& store = sparse_option_store();
  send("Major Iteration Limit = 50");
  EXPECT_EQ(store.integer[iw::kMajorIterationLimit - 1], 50);
  EXPECT_EQ(store.integer[iw::kMajorPrintLevel - 1], 10);
  EXPECT_EQ(store.integer[iw::kPrintUnit - 1], kPrintUnit);
  EXPECT_TRUE(contains(print.lines(), " Calls to SPKEYF"));
  EXPECT_TRUE(contains(print.lines(), "      Major Iteration Limit = 50"));
  send("Print Level = 1");
  EXPECT_EQ(store.integer[iw::kMajorPrintLevel - 1], 1);

  // Input errors: code 7 with both exit lines and the soft-failure report.
  Problem bad;
  bad.n = 0;
  bad.nonln = bad.njnln = bad.ncnln = 0;
  bad.iobj = 0;
  EXPECT_EQ(bad.solve(-1), sparse_inform::kInputErrors);
  EXPECT_TRUE(contains(print.lines(),
                       " Exit SPNLPF -     1 error(s) found in the input parameters. Problem "
                       "abandoned."));
  EXPECT_TRUE(contains(error.lines(), " ** On entry, N.lt.1:"));
  EXPECT_TRUE(contains(error.lines(),
                       " **     1 error(s) found in the input parameters. Problem abandoned."));
  EXPECT_TRUE(contains(error.lines(), " ** ZUN soft failure - control returned"));

  // The driver's first call: the integer workspace is too small; grow until it starts.
  Problem p;
  p.iz.assign(std::max(500, p.n + p.m), 0);
  std::vector<int> codes;
  for (int call = 0; call < 6; ++call) {
    const int code = p.solve(-1);
    codes.push_back(code);
    if (code != 12 && code != 13 && code != 15 && code != 16) break;
    if (static_cast<int>(p.iz.size()) < p.neediz || code == 12 || code == 15) {
      p.iz.assign(std::max<std::size_t>(p.neediz * 3 / 2, 2 * p.iz.size()), 0);
    }
    if (static_cast<int>(p.z.size()) < p.needz || code == 13 || code == 16) {
      p.z.assign(std::max<std::size_t>(p.needz * 3 / 2, 2 * p.z.size()), 0.0);
    }
  }
  ASSERT_GE(codes.size(), 2u);
  EXPECT_EQ(codes.front(), sparse_inform::kIntegerWorkspaceToStart);
  EXPECT_EQ(codes.back(), sparse_inform::kOptimal);
  EXPECT_TRUE(
      contains(error.lines(), " ** Not enough integer workspace to start solving the problem."));
  EXPECT_TRUE(contains(print.lines(), " *** SPNLPF"));
  EXPECT_TRUE(contains(print.lines(),
                       " Derivative level........         3       Major iteration limit..  "
                       "      50"));
  EXPECT_TRUE(contains(print.lines(), " Exit SPNLPF - Optimal solution found."));
  // The caller's matrix and bounds are as given; the point meets the bounds; the workspace
  // holds the plan.
  const Problem given;
  EXPECT_EQ(p.aval, given.aval);
  EXPECT_EQ(p.bl, given.bl);
  EXPECT_EQ(p.bu, given.bu);
  for (int j = 0; j < p.n; ++j) {
    EXPECT_GE(p.xv[j], p.bl[j]);
    EXPECT_LE(p.xv[j], p.bu[j]);
  }
  EXPECT_EQ(p.iz[ws::kObjectiveRow - 1], 3);
  EXPECT_EQ(p.iz[ws::kJacobianCount - 1], 2);
  EXPECT_EQ(p.iz[iw::kFirstLineFlag - 1], 1);
  EXPECT_EQ(p.iz[ws::kObjectiveSign - 1], 1);

  // The dummy row of a problem without nonlinear rows.
  Problem dummy = p;
  dummy.ncnln = dummy.njnln = 0;
  dummy.iobj = -1;
  dummy.ha = {1, 2, 1, 3, 2};
  dummy.bl[3] = -1e20;
  dummy.bu[3] = 1e20;
  dummy.solve(1);
  EXPECT_EQ(dummy.iz[ws::kObjectiveRow - 1], 1);

  // Silent failure mode at print level 0: nothing printed, code returned.
  send("Print Level 0");
  const std::size_t printed = print.lines().size();
  const std::size_t errors = error.lines().size();
  EXPECT_EQ(bad.solve(1), sparse_inform::kInputErrors);
  EXPECT_EQ(print.lines().size(), printed);
  EXPECT_EQ(error.lines().size(), errors);

  advisory_unit(1, saved_advisory);
  error_unit(1, saved_error);
}

TEST(SparseEntries, NonlinearJacobianCount) {
  std::vector<int> ha{1, 3, 2, 4, 1};
  std::vector<int> ka{1, 3, 5, 6};
  SparseProblem p;
  p.ha = ha.data();
  p.ka = ka.data();
  p.n = 3;
  p.m = 3;
  p.ncnln = 3;
  p.njnln = 2;
  EXPECT_EQ(nonlinear_jacobian_count(p), 4);  // all rows nonlinear: rows not looked at
  p.m = 4;
  p.ncnln = 2;
  EXPECT_EQ(nonlinear_jacobian_count(p), 2);
  p.ncnln = 0;
  EXPECT_EQ(nonlinear_jacobian_count(p), 0);
}

}  // namespace
}  // namespace zun
