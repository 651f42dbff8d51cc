// Input checks of the sparse solver: each message, the error count and the order of the
// checks (structure only after sound sizes, bounds only after sound states).
#include "library/sparse_sqp/input_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

using sqp_test::UnitCapture;
constexpr int kErrorUnit = 74;

// A valid problem: 3 columns, 3 rows (row 1 nonlinear, row 2 an equality, row 3 the free
// objective row); column 1 rows 1 and 2, column 2 rows 1 and 3, column 3 row 2.
struct TestProblem {
  std::vector<double> aval{1, 2, 3, 4, 5};
  std::vector<int> ha{1, 2, 1, 3, 2};
  std::vector<int> ka{1, 3, 5, 6};
  std::vector<double> bl{0, 0, 0, -1e20, 1, -1e20};
  std::vector<double> bu{10, 10, 10, 0, 1, 1e20};
  std::vector<int> istate = std::vector<int>(6, 0);
  std::vector<int> iz = std::vector<int>(600, 0);
  std::string names = "Alpha   Beta    Gamma   Con1    Con2    Obj     ";
  SparseProblem p;
  TestProblem() {
    p.n = 3;
    p.m = 3;
    p.ncnln = 1;
    p.njnln = 2;
    p.nonln = 2;
    p.iobj = 3;
    p.nnz = 5;
    p.start = 'C';
    p.nname = 1;
    p.namev = names.data();
    p.leniz = 500;
    p.lenz = 500;
    bind();
  }
  void bind() {
    p.aval = aval.data();
    p.ha = ha.data();
    p.ka = ka.data();
    p.bl = bl.data();
    p.bu = bu.data();
    p.istate = istate.data();
  }
};

struct CheckCase {
  const char* name;
  std::function<void(TestProblem&)> change;
  int nerr;
  std::vector<std::string> lines;
  double bigbnd = 1e20;
  int ifail = -1;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class InputCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(InputCheckTest, CountsAndReportsEachFailedCheck) {
  const CheckCase& c = GetParam();
  TestProblem t;
  c.change(t);
  t.bind();
  UnitCapture out(kErrorUnit);
  int nerr = -5;
  check_sparse_inputs(1, nerr, t.p, t.iz.data(), kErrorUnit, 0.0, c.ifail);
  check_sparse_inputs(2, nerr, t.p, t.iz.data(), kErrorUnit, c.bigbnd, c.ifail);
  EXPECT_EQ(nerr, c.nerr);
  EXPECT_EQ(out.lines(), c.lines);
}

const std::string kN3 = "               3";
const std::string kM3 = "               3";

std::string i16(long long v) {
  std::string s = std::to_string(v);
  return std::string(16 - s.size(), ' ') + s;
}

INSTANTIATE_TEST_SUITE_P(
    Checks,
    InputCheckTest,
    ::testing::Values(
        CheckCase{"Valid", [](TestProblem&) {}, 0, {}},
        CheckCase{"StartNotRecognized", [](TestProblem& t) { t.p.start = 'X'; }, 1,
                  {" ", " ** On entry, START parameter not recognized:", "    START = 'X'."}},
        CheckCase{"WarmLowerCaseAccepted", [](TestProblem& t) { t.p.start = 'w'; }, 0, {}},
        CheckCase{"NoColumnsNoRows",
                  [](TestProblem& t) {
                    t.p.n = 0;
                    t.p.m = 0;
                    t.p.ncnln = t.p.njnln = t.p.nonln = t.p.iobj = 0;
                  },
                  2,
                  {" ", " ** On entry, N.lt.1:", "    N = " + i16(0), " ",
                   " ** On entry, M.lt.1:", "    M = " + i16(0)}},
        CheckCase{"TooManyElements", [](TestProblem& t) { t.p.nnz = 10; }, 1,
                  {" ", " ** On entry, NNZ.lt.1 or NNZ.gt.N*M:",
                   "    NNZ = " + i16(10) + ", N = " + kN3 + ", M = " + kM3}},
        CheckCase{"NcnlnAboveM", [](TestProblem& t) { t.p.ncnln = 4; }, 2,
                  {" ", " ** On entry, NCNLN.lt.0 or NCNLN.gt.M:",
                   "    NCNLN = " + i16(4) + ", M = " + kM3, " ",
                   " ** On entry, IOBJ.le.NCNLN or IOBJ.gt.M:",
                   "    IOBJ = " + i16(3) + ", NCNLN = " + i16(4) + ", M = " + kM3}},
        CheckCase{"NonlnAboveN", [](TestProblem& t) { t.p.nonln = 4; }, 1,
                  {" ", " ** On entry, NONLN.lt.0 or NONLN.gt.N:",
                   "    NONLN = " + i16(4) + ", N = " + kN3}},
        CheckCase{"JacobianVariablesWithoutNonlinearRows",
                  [](TestProblem& t) { t.p.ncnln = 0; }, 1,
                  {" ", " ** On entry, NJNLN.ne.0 when NCNLN.eq.0:", "    NJNLN = " + i16(2)}},
        CheckCase{"NoJacobianVariables", [](TestProblem& t) { t.p.njnln = 0; }, 1,
                  {" ", " ** On entry, NJNLN.lt.1 or NJNLN.gt.N when NCNLN.gt.0:",
                   "    NJNLN = " + i16(0) + ", N = " + kN3 + ", NCNLN = " + i16(1)}},
        CheckCase{"IobjBelowMinusOne", [](TestProblem& t) { t.p.iobj = -2; }, 1,
                  {" ", " ** On entry, IOBJ.lt.-1:", "    IOBJ = " + i16(-2)}},
        CheckCase{"IobjIsNonlinearRow", [](TestProblem& t) { t.p.iobj = 1; }, 1,
                  {" ", " ** On entry, IOBJ.le.NCNLN or IOBJ.gt.M:",
                   "    IOBJ = " + i16(1) + ", NCNLN = " + i16(1) + ", M = " + kM3}},
        CheckCase{"DummyRowWithNonlinearRows", [](TestProblem& t) { t.p.iobj = -1; }, 1,
                  {" ", " ** On entry, IOBJ.eq.-1 when NCNLN.gt.0:",
                   "    IOBJ = " + i16(-1) + ", NCNLN = " + i16(1)}},
        CheckCase{"NoObjectiveRow", [](TestProblem& t) { t.p.iobj = 0; }, 0, {}},
        CheckCase{"NnameWrong", [](TestProblem& t) { t.p.nname = 2; }, 1,
                  {" ", " ** On entry, NNAME.ne.1 and NNAME.ne.(N+M):",
                   "    NNAME = " + i16(2) + ", N = " + kN3 + ", M = " + kM3}},
        CheckCase{"WorkspacesTooShort",
                  [](TestProblem& t) {
                    t.p.leniz = 499;
                    t.p.lenz = 499;
                  },
                  2,
                  {" ", " ** On entry, LENIZ.lt.max(500,N+M):",
                   "    LENIZ = " + i16(499) + ", N = " + kN3 + ", M = " + kM3, " ",
                   " ** On entry, LENZ.lt.500:", "    LENZ = " + i16(499)}},
        CheckCase{"RowIndicesOutOfRange",
                  [](TestProblem& t) {
                    t.ha[1] = 0;
                    t.ha[3] = 7;
                  },
                  2,
                  {" ", " ** On entry, HA(i).lt.1 or HA(i).gt.M for some i:",
                   "    i = " + i16(2) + ", HA(i) = " + i16(0) + ", M = " + kM3, " ",
                   " ** On entry, HA(i).lt.1 or HA(i).gt.M for some i:",
                   "    i = " + i16(4) + ", HA(i) = " + i16(7) + ", M = " + kM3}},
        CheckCase{"FirstColumnStart", [](TestProblem& t) { t.ka[0] = 2; }, 1,
                  {" ", " ** On entry, KA(1).ne.1:", "    KA(1) = " + i16(2)}},
        CheckCase{"LastColumnStart", [](TestProblem& t) { t.ka[3] = 5; }, 1,
                  {" ", " ** On entry, KA(N+1).ne.(NNZ+1):",
                   "    N+1 = " + i16(4) + ", KA(N+1) = " + i16(5) + ", NNZ+1 = " + i16(6)}},
        CheckCase{"ColumnStartBelowOne", [](TestProblem& t) { t.ka[1] = 0; }, 3,
                  {" ", " ** On entry, KA(j).lt.1 for some j:",
                   "    j = " + i16(2) + ", KA(j) = " + i16(0), " ",
                   " ** On entry, k.lt.0 or k.gt.M, where k = KA(j+1) - KA(j):",
                   "    k = " + i16(-1) + ", M = " + kM3 + ", j = " + i16(1),
                   "    KA(j+1) = " + i16(0) + ", KA(j) = " + i16(1), " ",
                   " ** On entry, k.lt.0 or k.gt.M, where k = KA(j+1) - KA(j):",
                   "    k = " + i16(5) + ", M = " + kM3 + ", j = " + i16(2),
                   "    KA(j+1) = " + i16(5) + ", KA(j) = " + i16(0)}},
        CheckCase{"DuplicateReportedOnce",
                  [](TestProblem& t) {
                    t.ha = {1, 1, 1, 1, 2};
                  },
                  1,
                  {" ", " ** On entry, duplicate element found in row i, column j:",
                   "    i = " + i16(1) + ", j = " + i16(1)}},
        CheckCase{"NonlinearRowsNotFirst",
                  [](TestProblem& t) { t.ha = {2, 1, 1, 3, 2}; },
                  1,
                  {" ", " ** On entry, nonlinear rows do not come first in column j:",
                   "    j = " + i16(1) + ", i = " + i16(1) + ", NCNLN = " + i16(1)}},
        CheckCase{"ColdStates",
                  [](TestProblem& t) { t.istate = {5, -1, 6, 9, 9, 9}; },
                  2,
                  {" ", " ** On entry, ISTATE(i).lt.0 for some i when START = 'Cold':",
                   "    i = " + i16(2) + ", ISTATE(i) = " + i16(-1), " ",
                   " ** On entry, ISTATE(i).gt.5 for some i when START = 'Cold':",
                   "    i = " + i16(3) + ", ISTATE(i) = " + i16(6)}},
        CheckCase{"WarmStates",
                  [](TestProblem& t) {
                    t.p.start = 'W';
                    t.istate = {3, 2, 1, 0, 4, 3};
                  },
                  1,
                  {" ", " ** On entry, ISTATE(i).gt.3 for some i when START = 'Warm':",
                   "    i = " + i16(5) + ", ISTATE(i) = " + i16(4)}},
        CheckCase{"ObjectiveRowNotFree",
                  [](TestProblem& t) {
                    t.bl[5] = -1e19;
                    t.bu[5] = 5;
                  },
                  2,
                  {" ", " ** On entry, BL(N+abs(IOBJ)).gt.(-bigbnd):",
                   "    N = " + kN3 + ", IOBJ = " + i16(3),
                   "    BL(N+abs(IOBJ)) =   -1.0000000E+19, bigbnd =    1.0000000E+20", " ",
                   " ** On entry, BU(N+abs(IOBJ)).lt.bigbnd:",
                   "    N = " + kN3 + ", IOBJ = " + i16(3),
                   "    BU(N+abs(IOBJ)) =     5.000000    , bigbnd =    1.0000000E+20"}},
        CheckCase{"BoundsSkippedAfterStateErrors",
                  [](TestProblem& t) {
                    t.istate[0] = -1;
                    t.bl[0] = 11;
                  },
                  1,
                  {" ", " ** On entry, ISTATE(i).lt.0 for some i when START = 'Cold':",
                   "    i = " + i16(1) + ", ISTATE(i) = " + i16(-1)}},
        CheckCase{"InconsistentAndInfiniteEqualBounds",
                  [](TestProblem& t) {
                    t.bl[0] = 5;
                    t.bu[0] = 4;
                    t.bl[4] = t.bu[4] = 1e20;
                  },
                  2,
                  {" ", " ** On entry, the bounds on  X      1  are inconsistent:",
                   "    BL(     1) =    5.000000    , BU(     1) =    4.000000",
                   " ", " ** On entry, the equal bounds on  L      1  are infinite (because",
                   "    BL(     5).eq.beta and BU(     5).eq.beta, but abs(beta).ge.bigbnd):",
                   "    beta =   1.0000000E+20, bigbnd =   1.0000000E+20"}},
        CheckCase{"GivenNamesInBoundMessages",
                  [](TestProblem& t) {
                    t.p.nname = 6;
                    t.bl[3] = 1;
                  },
                  1,
                  {" ", " ** On entry, the bounds on  Con1      are inconsistent:",
                   "    BL(     4) =    1.000000    , BU(     4) =    0.000000"}},
        CheckCase{"ZeroBigBoundMeansDefault",
                  [](TestProblem& t) { t.bl[1] = t.bu[1] = 2e20; },
                  1,
                  {" ", " ** On entry, the equal bounds on  X      2  are infinite (because",
                   "    BL(     2).eq.beta and BU(     2).eq.beta, but abs(beta).ge.bigbnd):",
                   "    beta =   2.0000000E+20, bigbnd =   1.0000000E+20"},
                  0.0},
        CheckCase{"SilentFailureModeStillCounts",
                  [](TestProblem& t) {
                    t.p.n = 0;
                    t.p.nonln = 0;
                    t.p.njnln = 0;
                    t.p.ncnln = 0;
                  },
                  1, {}, 1e20, 1}));

TEST(InputChecks, FullMatrixIsAccepted) {
  TestProblem t;
  t.p.n = 2;
  t.p.m = 2;
  t.p.ncnln = 0;
  t.p.njnln = 0;
  t.p.nonln = 0;
  t.p.iobj = 0;
  t.p.nnz = 4;
  t.ha = {1, 2, 2, 1};
  t.ka = {1, 3, 5};
  t.bind();
  int nerr = 0;
  check_sparse_inputs(1, nerr, t.p, t.iz.data(), -1, 0.0, -1);
  EXPECT_EQ(nerr, 0);
  t.p.nnz = 5;
  check_sparse_inputs(1, nerr, t.p, t.iz.data(), -1, 0.0, -1);
  EXPECT_EQ(nerr, 1);
}

TEST(InputChecks, RowColumnNames) {
  const std::string names = "abcDEF";
  EXPECT_EQ(row_column_name(2, 3, 1, 1, 6, nullptr, 8, 3, false), "X      2");
  EXPECT_EQ(row_column_name(4, 3, 1, 1, 6, nullptr, 8, 3, false), "N      1");
  EXPECT_EQ(row_column_name(5, 3, 1, 1, 6, nullptr, 8, 3, false), "L      1");
  EXPECT_EQ(row_column_name(6, 3, 1, 1, 6, nullptr, 8, 3, false), "Free Row");
  EXPECT_EQ(row_column_name(6, 3, 1, 1, 6, nullptr, 8, 3, true), "DummyRow");
  // Names shorter than 8 characters are read with their own length and padded.
  EXPECT_EQ(row_column_name(2, 1, 0, 2, 2, names.data(), 3, 0, false), "DEF     ");
}

TEST(InputChecks, DuplicateSearchWalksColumnsInOrder) {
  const std::vector<int> ha{1, 2, 2, 3, 3, 1, 1};
  const std::vector<int> ka{1, 3, 5, 8};
  const std::vector<int> counts{2, 2, 3};
  std::vector<int> tags(3, 9);
  const DuplicateRow d = find_duplicate_row(3, 3, ha.data(), counts.data(), ka.data(), tags.data());
  EXPECT_TRUE(d.found);
  EXPECT_EQ(d.position, 7);
  EXPECT_EQ(d.column, 3);
}

}  // namespace
}  // namespace zun
