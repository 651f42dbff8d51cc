// Input checks and the exit paths of a dense solve: the "** On entry" messages, the exit
// lines on the print file and the error unit, the failure convention, the start statuses.
#include "library/dense_sqp/dense_input_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/dense_top_level.h"
#include "library/platform/units.h"
#include "library/support/output.h"
#include "tests/dense_sqp/dense_harness.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

using dense_test::DenseHarness;
using dense_test::TestProblem;

constexpr int kPrintUnit = 85;
constexpr int kErrorUnit = 86;

// Two variables, one linear row x1 + x2 and one nonlinear row x1^2 + x2^2.
TestProblem small_problem() {
  TestProblem p;
  p.n = 2;
  p.nclin = 1;
  p.ncnln = 1;
  p.a = {1.0, 1.0};
  p.bl = {-10.0, -10.0, -5.0, 0.0};
  p.bu = {10.0, 10.0, 5.0, 4.0};
  p.x0 = {0.5, 0.25};
  p.f = [](const std::vector<double>& x) { return (x[0] - 1) * (x[0] - 1) + x[0] * x[1]; };
  p.grad = [](const std::vector<double>& x) {
    return std::vector<double>{2 * (x[0] - 1) + x[1], x[0]};
  };
  p.cons = [](const std::vector<double>& x) {
    return std::vector<double>{x[0] * x[0] + x[1] * x[1]};
  };
  p.jac_row = [](const std::vector<double>& x, int) {
    return std::vector<double>{2 * x[0], 2 * x[1]};
  };
  return p;
}

using DenseExits = dense_test::CapturedUnits<kPrintUnit, kErrorUnit>;

struct EntryCase {
  const char* name;
  std::function<void(DenseHarness&)> spoil;
  std::vector<std::string> message;  // the lines after the blank line
};

class DenseEntryError : public DenseExits, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(DenseEntryError, CountsAndPrintsItsMessageAndEndsWithExitNine) {
  const EntryCase& c = GetParam();
  DenseHarness h(small_problem(), {"Major iterations limit 0", "Print level 1"});
  c.spoil(h);
  const std::vector<double> x_before = h.prob.x0;
  EXPECT_EQ(h.run(-1), 9);
  EXPECT_EQ(h.irevcm, 0);
  EXPECT_TRUE(h.log().empty());
  EXPECT_EQ(h.x, x_before);
  std::vector<std::string> expected = {" "};
  expected.insert(expected.end(), c.message.begin(), c.message.end());
  expected.insert(expected.end(),
                  {" ", " **       1 errors found in the input parameters.  Problem abandoned.",
                   " ** ABNORMAL EXIT from ZUN Library routine DNNLPF: IFAIL =     9",
                   " ** ZUN soft failure - control returned"});
  EXPECT_EQ(error_.lines(), expected) << c.name;
  EXPECT_EQ(tail_of(print_, 1),
            std::vector<std::string>{
                " Exit DNNLPF -       1 errors found in the input parameters.  Problem abandoned."});
}

INSTANTIATE_TEST_SUITE_P(
    Checks,
    DenseEntryError,
    ::testing::Values(
        EntryCase{"ldr", [](DenseHarness& h) { h.ldr = 1; },
                  {" ** On entry, LDR.lt.N:", "    LDR =                1   N =                2"}},
        EntryCase{"lda", [](DenseHarness& h) { h.lda = 0; },
                  {" ** On entry, LDA.lt.max(1,NCLIN):",
                   "    LDA =                0   NCLIN =                1"}},
        EntryCase{"ldcj", [](DenseHarness& h) { h.ldcj = 0; },
                  {" ** On entry, LDCJ.lt.max(1,NCNLN):",
                   "    LDCJ =                0   NCNLN =                1"}},
        EntryCase{"lenw", [](DenseHarness& h) { h.lenw -= 1; },
                  {" Workspace provided is     IWORK(       9),  WORK(      89).",
                   " To solve problem we need  IWORK(       9),  WORK(      90).",
                   " ** Not enough workspace to solve problem."}},
        EntryCase{"leniw", [](DenseHarness& h) { h.leniw -= 1; },
                  {" Workspace provided is     IWORK(       8),  WORK(      90).",
                   " To solve problem we need  IWORK(       9),  WORK(      90).",
                   " ** Not enough workspace to solve problem."}},
        EntryCase{"inconsistent", [](DenseHarness& h) { h.prob.bl[2] = 6.0; },
                  {" ** On entry, the bounds on  L Con  1  are inconsistent:",
                   "    BL(   3) =    6.000000       BU(   3) =    5.000000"}},
        EntryCase{"infinite equal",
                  [](DenseHarness& h) {
                    h.prob.bl[1] = 1e25;
                    h.prob.bu[1] = 1e25;
                  },
                  {" ** On entry, the equal bounds on  Varbl  2  are infinite (because",
                   "    BL(   2).eq.beta and BU(   2).eq.beta, but abs(beta).ge.bigbnd):",
                   "    beta =   0.1000000E+26 bigbnd =   0.9999900E+20"}},
        EntryCase{"warm state",
                  [](DenseHarness& h) {
                    h.istate[3] = 5;
                    int inform = 0;
                    process_dense_option_string("Warm start", 10, false, "DNKEYF",
                                                h.store.view(), inform);
                  },
                  {" ** On entry with a Warm Start, ISTATE(   4) is out of range:",
                   "    ISTATE(   4) =                5"}}),
    [](const ::testing::TestParamInfo<EntryCase>& info) {
      std::string s = info.param.name;
      std::replace(s.begin(), s.end(), ' ', '_');
      return s;
    });

TEST_F(DenseExits, SizeErrorsAreAllCountedAndSilentUnderIfailOne) {
  TestProblem p = small_problem();
  DenseHarness h(p, {"Major iterations limit 0", "Print level 0"});
  h.prob.ncnln = -1;
  h.ldr = 0;
  EXPECT_EQ(h.run(1), 9);
  EXPECT_EQ(h.store.i(dense_words::integer_word::kInputErrors), 2);
  EXPECT_TRUE(error_.lines().empty());
}

TEST_F(DenseExits, EqualFiniteBoundsAreNoError) {
  DenseHarness h(small_problem(), {"Major iterations limit 0", "Print level 0"});
  h.prob.bl[0] = h.prob.bu[0] = -5.0;
  EXPECT_EQ(h.run(1), 4);
}

TEST_F(DenseExits, RequestCodeAboveSixIsAnInputError) {
  DenseHarness h(small_problem(), {"Major iterations limit 0", "Print level 0"});
  h.ifail = -1;
  h.irevcm = 7;
  h.call();
  EXPECT_EQ(h.irevcm, 0);
  EXPECT_EQ(h.ifail, 9);
  const std::vector<std::string> expected = {
      " ",
      " ** On initial entry or intermediate re-entry, IREVCM.gt.6:",
      "    IREVCM =                7",
      " ",
      " **       1 errors found in the input parameters.  Problem abandoned.",
      " ** ABNORMAL EXIT from ZUN Library routine DNNLPF: IFAIL =     9",
      " ** ZUN soft failure - control returned"};
  EXPECT_EQ(error_.lines(), expected);
}

TEST_F(DenseExits, NegativeRequestWithNoSolveReturnsAtOnce) {
  DenseHarness h(small_problem(), {"Major iterations limit 0", "Print level 1"});
  EXPECT_EQ(h.run(-1), 4);
  const std::size_t printed = print_.lines().size();
  const std::size_t errors = error_.lines().size();
  const dense_test::LocalDenseStore store = h.store;
  h.irevcm = -3;
  h.ifail = -1;
  const std::vector<double> x = h.x;
  h.call();
  EXPECT_EQ(h.irevcm, 0);
  EXPECT_EQ(h.ifail, -3);
  EXPECT_EQ(print_.lines().size(), printed);
  EXPECT_EQ(h.x, x);
  EXPECT_TRUE(h.store == store);
  EXPECT_EQ(tail_of(error_, 2),
            (std::vector<std::string>{" ** ABNORMAL EXIT from ZUN Library routine DNNLPF: IFAIL =    -3",
                                      " ** ZUN soft failure - control returned"}));
  EXPECT_EQ(error_.lines().size(), errors + 2);
}

TEST_F(DenseExits, OptimalSolveHasOnlyPrintLines) {
  DenseHarness h(small_problem(), {"Print level 1", "Optimality tolerance 1e-8"});
  EXPECT_EQ(h.run(-13), 0);
  EXPECT_TRUE(printed(" Exit DNNLPF - Optimal solution found."));
  EXPECT_TRUE(error_.lines().empty());
  ASSERT_FALSE(h.log().empty());  // the derivative phase at the feasible point
  EXPECT_EQ(h.log()[0].code, request::kConstraintsBoth);
  EXPECT_EQ(h.irevcm, 0);
  EXPECT_EQ(h.store.i(dense_words::integer_word::kBodyState), 0);
  EXPECT_TRUE(printed(" Workspace provided is     IWORK(       9),  WORK(      90)."));
  EXPECT_TRUE(printed(" To solve problem we need  IWORK(       9),  WORK(      90)."));
}

TEST_F(DenseExits, UserStopPrintsOnBothUnitsAndGivesBackThePoint) {
  DenseHarness h(small_problem(), {"Major iterations limit 0", "Print level 1", "Verify level 10"});
  h.stop_at = 1;
  h.stop_value = -1;
  EXPECT_EQ(h.run(-1), -1);
  EXPECT_EQ(tail_of(print_, 1),
            std::vector<std::string>{" Exit DNNLPF - User requested termination."});
  const std::vector<std::string> expected = {
      " ", " ** User requested termination.",
      " ** ABNORMAL EXIT from ZUN Library routine DNNLPF: IFAIL =    -1",
      " ** ZUN soft failure - control returned"};
  EXPECT_EQ(error_.lines(), expected);
  EXPECT_EQ(h.x, h.prob.x0);
  EXPECT_EQ(h.store.i(dense_words::integer_word::kMajorPrintLevel), 1);  // options given back
}

TEST_F(DenseExits, InfeasibleLinearConstraintsEndWithExitTwo) {
  TestProblem p = small_problem();
  p.bl[0] = 0.0;
  p.bl[1] = 0.0;
  p.bu[0] = 1.0;
  p.bu[1] = 1.0;
  p.bl[2] = 3.0;  // x1 + x2 >= 3 cannot hold in the unit box
  DenseHarness h(p, {"Major iterations limit 0", "Print level 1"});
  h.mult.assign(h.mult.size(), 7.0);
  EXPECT_EQ(h.run(-1), 2);
  EXPECT_TRUE(h.log().empty());
  EXPECT_TRUE(printed(" Exit DNNLPF - No feasible point for the linear constraints."));
  const std::vector<std::string> lines = print_.lines();
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) {
                           return l.starts_with(" Minimum sum of infeasibilities =") ||
                                  l.starts_with(" Final sum of infeasibilities =");
                         }),
            lines.end());
  EXPECT_EQ(tail_of(error_, 3),
            (std::vector<std::string>{" ** No feasible point for the linear constraints.",
                                      " ** ABNORMAL EXIT from ZUN Library routine DNNLPF: IFAIL =     2",
                                      " ** ZUN soft failure - control returned"}));
  for (int j = 0; j < 2; ++j) {
    EXPECT_GE(h.x[j], 0.0);
    EXPECT_LE(h.x[j], 1.0);
    EXPECT_NE(h.mult[j], 7.0);  // the FP problem's multipliers are handed back
  }
  EXPECT_EQ(h.mult[3], 7.0);  // the nonlinear row's is not touched
}

TEST_F(DenseExits, InfeasibleStartIsMovedOntoTheLinearConstraints) {
  TestProblem p = small_problem();
  p.bl[2] = 2.0;  // x1 + x2 >= 2 while the start has 0.75
  DenseHarness h(p, {"Major iterations limit 0", "Print level 1", "Minor print level 1"});
  // The feasible point is the minimum: with no step taken, the tiny direction ends with 1.
  EXPECT_EQ(h.run(-1), 1);
  EXPECT_TRUE(printed(" The linear constraints are feasible."));
  EXPECT_GE(h.x[0] + h.x[1], 2.0 - 1e-8);
  ASSERT_FALSE(h.log().empty());
  EXPECT_EQ(h.log()[0].x, h.x);  // the derivatives are taken at the feasible point
  EXPECT_TRUE(h.canaries_intact());
}

TEST_F(DenseExits, VerifyAtAFeasibleStartRunsTheDerivativePhaseOnce) {
  DenseHarness h(small_problem(), {"Major iterations limit 0", "Print level 0", "Verify level 13"});
  EXPECT_EQ(h.run(-1), 4);
  EXPECT_EQ(h.count(request::kObjectiveBoth), 1);
  DenseHarness moved(small_problem(), {"Major iterations limit 0", "Print level 0", "Verify level 10"});
  moved.prob.bl[2] = 2.0;
  EXPECT_EQ(moved.run(-1), 1);  // the feasible point is the minimum
  EXPECT_EQ(moved.count(request::kObjectiveBoth), 2);  // again at the feasible point
}

TEST_F(DenseExits, IllConditionedWarmStartHessianIsRefactorized) {
  for (const bool warm : {false, true}) {  // cold first: the capture keeps its lines
    std::vector<std::string> lines = {"Major iterations limit 0", "Print level 1"};
    if (warm) lines.push_back("Warm start");
    DenseHarness h(small_problem(), lines);
    h.r = {1e8, 0.0, 0.0, 1.0};
    EXPECT_EQ(h.run(-1), 4);
    EXPECT_EQ(printed(" XXX  Bad initial Hessian,   R  refactorized."), warm);
    if (warm) {
      EXPECT_NEAR(h.store.r(dense_words::real_word::kRFrobeniusNorm), 1e8, 1.0);
    } else {
      EXPECT_EQ(h.r, (std::vector<double>{1.0, 0.0, 0.0, 1.0}));  // a cold start's R
    }
  }
}

TEST_F(DenseExits, HardFailureModeStopsTheProgram) {
  EXPECT_EXIT(
      {
        DenseHarness h(small_problem(), {"Major iterations limit 0", "Print level 0"});
        h.ldr = 0;
        h.run(0);
      },
      ::testing::ExitedWithCode(platform::kStopExitStatus), "");
}

TEST_F(DenseExits, WarmStartAlignsTheNonlinearRowsWithTheirBounds) {
  TestProblem p = small_problem();
  p.bl[3] = -1e25;  // the nonlinear row has no lower bound
  DenseHarness h(p, {"Major iterations limit 0", "Print level 0", "Warm start"});
  h.istate = {0, 0, 0, 1};
  h.mult = {0.0, 0.0, 0.0, 3.0};
  EXPECT_EQ(h.run(-1), 4);
  EXPECT_NE(h.istate[3], 1);  // never held at the missing lower bound
  EXPECT_EQ(h.mult[3], 0.0);
  DenseHarness upper(small_problem(), {"Major iterations limit 0", "Print level 0", "Warm start"});
  upper.istate = {0, 0, 0, 2};
  upper.mult = {0.0, 0.0, 0.0, 3.0};
  upper.run(-1);
  EXPECT_EQ(upper.istate[3], 2);
  EXPECT_EQ(upper.mult[3], 0.0);
}

TEST(DenseStartStatus, BoundsClampTheStartAndTheCrashPutsNearVariablesOnBounds) {
  TestProblem tp = small_problem();
  tp.n = 3;
  tp.nclin = 1;
  tp.ncnln = 0;
  tp.a = {1.0, 1.0, 1.0};
  tp.bl = {0.0, 2.0, -1e25, -1.0};
  tp.bu = {1.0, 2.0, 1e25, 1.0};
  DenseHarness h(tp, {"Major iterations limit 0", "Print level 0"});
  std::vector<double> x = {1.5, 0.0, 0.9995};
  int irevcm = 0, niter = 0, ifail = 0;
  double objv = 0.0;
  DenseProblem p{irevcm, 3, 1, 0, 1, 1, 3,
                 ColumnMajorView<const double>(tp.a.data(), 1), Words<const double>(tp.bl.data()),
                 Words<const double>(tp.bu.data()), niter, Words<int>(h.istate.data()),
                 Words<double>(h.c.data()), ColumnMajorView<double>(h.jacnl.data(), 1),
                 Words<double>(h.mult.data()), objv, Words<double>(h.objg.data()),
                 ColumnMajorView<double>(h.r.data(), 3), Words<double>(x.data()),
                 Words<int>(h.needrow.data()), Words<int>(h.iwork.data()), 0,
                 Words<double>(h.work.data()), 0, ifail};
  h.istate = {0, 0, 0, 0};
  const int fixed = set_initial_point_status(p, true, 9.9999e19, 0.01, Words<double>(x.data()));
  EXPECT_EQ(x, (std::vector<double>{1.0, 2.0, 0.9995}));
  EXPECT_EQ(h.istate, (std::vector<int>{2, 3, 0, 0}));
  EXPECT_EQ(fixed, 2);
}

TEST(DenseStartStatus, NonlinearRowsNearestToABoundFirstWhileThereIsRoom) {
  TestProblem tp = small_problem();
  tp.ncnln = 3;
  tp.nclin = 0;
  tp.bl = {-1e25, -1e25, 0.0, 1.0, 5.0};
  tp.bu = {1e25, 1e25, 10.0, 1.0, 9.0};
  DenseHarness h(tp, {"Major iterations limit 0", "Print level 0"});
  int irevcm = 0, niter = 0, ifail = 0;
  double objv = 0.0;
  const std::vector<double> a(2, 0.0);
  DenseProblem p{irevcm, 2, 0, 3, 1, 3, 2,
                 ColumnMajorView<const double>(a.data(), 1), Words<const double>(tp.bl.data()),
                 Words<const double>(tp.bu.data()), niter, Words<int>(h.istate.data()),
                 Words<double>(h.c.data()), ColumnMajorView<double>(h.jacnl.data(), 3),
                 Words<double>(h.mult.data()), objv, Words<double>(h.objg.data()),
                 ColumnMajorView<double>(h.r.data(), 2), Words<double>(h.x.data()),
                 Words<int>(h.needrow.data()), Words<int>(h.iwork.data()), 0,
                 Words<double>(h.work.data()), 0, ifail};
  // Row 2 has equal bounds; row 1 is 0.001 above its lower bound, row 3 0.0001 below 9.
  const std::vector<double> c = {0.001, 1.0, 8.999};
  h.istate.assign(5, 0);
  EXPECT_EQ(set_nonlinear_start_status(p, true, 2, 9.9999e19, 0.01, Words<const double>(c.data())),
            0);
  EXPECT_EQ(h.istate, (std::vector<int>{0, 0, 0, 3, 2}));
  h.istate.assign(5, 0);
  EXPECT_EQ(set_nonlinear_start_status(p, true, 3, 9.9999e19, 0.01, Words<const double>(c.data())),
            0);
  EXPECT_EQ(h.istate, (std::vector<int>{0, 0, 1, 3, 2}));
  h.istate = {0, 0, 1, 0, 2};  // a warm start keeps its states while there is room
  EXPECT_EQ(set_nonlinear_start_status(p, false, 1, 9.9999e19, 0.01, Words<const double>(c.data())),
            0);
  EXPECT_EQ(h.istate, (std::vector<int>{0, 0, 1, 0, 0}));
}

TEST(DenseHessianOutput, FactorOfTheHessianBetweenTheBasisAndTheNaturalVariables) {
  const int n = 3, nfree = 2, ldq = 3, ldr = 4;
  const double c = std::cos(0.7), s = std::sin(0.7);
  const std::vector<double> q = {c, s, 0.0, -s, c, 0.0, 0.0, 0.0, 0.0};  // nfree x nfree block
  const std::vector<int> kx = {3, 1, 2};
  std::vector<double> r(ldr * n, 99.0);  // below the diagonal: junk that must not count
  const double upper[3][3] = {{2.0, -1.0, 0.5}, {0.0, 1.5, 0.25}, {0.0, 0.0, 3.0}};
  for (int i = 0; i < n; ++i) {
    for (int j = i; j < n; ++j) r[i + j * ldr] = upper[i][j];
  }
  // The basis-to-natural map: natural kx(i) gets row i of diag(Q, I).
  double qf[3][3] = {};
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < n; ++k) {
      qf[kx[i] - 1][k] = i < nfree && k < nfree ? q[i + k * ldq] : (i == k ? 1.0 : 0.0);
    }
  }
  double expected[3][3] = {};  // Qf R'R Qf'
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      for (int i = 0; i < n; ++i) {
        double ra = 0.0, rb = 0.0;
        for (int k = 0; k < n; ++k) {
          ra += upper[i][k] * qf[a][k];
          rb += upper[i][k] * qf[b][k];
        }
        expected[a][b] += ra * rb;
      }
    }
  }
  std::vector<double> work(2 * n);
  const auto gram = [&](int a, int b) {
    double h = 0.0;
    for (int i = 0; i < n; ++i) h += r[i + a * ldr] * r[i + b * ldr];
    return h;
  };
  const ColumnMajorView<double> view(r.data(), ldr);
  transform_hessian_factor(kBasisToNatural, n, nfree, ldq, kFalse, kx.data(), q.data(), view,
                           work.data());
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      EXPECT_NEAR(gram(a, b), expected[a][b], 1e-12) << a << "," << b;
      if (a > b) {
        EXPECT_EQ(r[a + b * ldr], 0.0);
      }
    }
  }
  // And back: R'R in the basis again.
  transform_hessian_factor(kNaturalToBasis, n, nfree, ldq, kFalse, kx.data(), q.data(), view,
                           work.data());
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      double h = 0.0;
      for (int i = 0; i < n; ++i) h += upper[i][a] * upper[i][b];
      EXPECT_NEAR(gram(a, b), h, 1e-12) << a << "," << b;
    }
  }
}

}  // namespace
}  // namespace zun
