// Row types and the matrix statistics, the problem-data auxiliary and the nonlinear
// violation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/sparse_sqp/jacobian_auxiliary.h"
#include "library/sparse_sqp/matrix_statistics.h"
#include "library/sparse_sqp/nonlinear_violation.h"
#include "tests/sparse_sqp/run_test_support.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;
using run_test::OwnedMatrix;
using run_test::SmallWorkspace;

constexpr double kInf = 1e20;

struct RowCase {
  double lower, upper;
  int type;
};

class RowTypeTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowTypeTest, FromBounds) {
  const RowCase& c = GetParam();
  SmallWorkspace w;
  OwnedMatrix a(std::vector<std::vector<double>>{{1.0}});
  const std::vector<double> bl{0.0, c.lower}, bu{1.0, c.upper};
  int type = -1;
  print_matrix_statistics("Define row types", a.view, bl.data(), bu.data(), &type, w.iz.data(),
                          w.z.data());
  EXPECT_EQ(type, c.type) << c.lower << " " << c.upper;
}

INSTANTIATE_TEST_SUITE_P(Bounds,
                         RowTypeTest,
                         ::testing::Values(RowCase{-kInf, kInf, row_type::kFree},
                                           RowCase{-0.95e20, 0.95e20, row_type::kFree},
                                           RowCase{-kInf, 5.0, row_type::kInequality},
                                           RowCase{-3.0, 5.0, row_type::kInequality},
                                           RowCase{2.0, 2.0, row_type::kEquality},
                                           RowCase{-0.8e20, 0.8e20, row_type::kInequality}));

// The statistics of a small LP: three rows (normal, fixed, free objective row) and four
// columns (normal, bounded, fixed, free).
TEST(MatrixStatistics, GoldenLines) {
  sqp_test::UnitCapture monitor(71);
  SmallWorkspace w;
  w.i(iw::kMonitoringUnit) = monitor.unit();
  w.i(iw::kMajorPrintLevel) = 20;
  w.i(ws::kObjectiveRow) = 3;
  OwnedMatrix a({{1.0, 2.0, 9.0, 0.0}, {0.5, 0.0, 0.0, 4.0}, {3.0, -7.0, 0.0, 0.25}});
  const std::vector<double> bl{0, 1, 2, -kInf, -kInf, 6, -kInf};
  const std::vector<double> bu{kInf, 5, 2, kInf, 8, 6, kInf};
  std::vector<int> types(3);
  print_matrix_statistics("Define row types", a.view, bl.data(), bu.data(), types.data(),
                          w.iz.data(), w.z.data());
  EXPECT_TRUE(monitor.lines().empty());
  print_matrix_statistics("Statistics too", a.view, bl.data(), bu.data(), types.data(), w.iz.data(),
                          w.z.data());
  EXPECT_EQ(types, (std::vector<int>{1, 0, 2}));
  const std::vector<std::string> lines = monitor.lines();
  const std::vector<std::string> want{
      " Rows              3                              1         "
      "        1                     1                          0",
      " Columns           4                              1         "
      "        1                     1                          1",
      " ",
      " No. of matrix elements                    8",
      " Density                                66.7  (excluding fix"
      "ed columns, free rows, and RHS)",
      " Biggest                          4.0000E+00",
      " Smallest                         5.0000E-01",
      " ",
      " No. of objective coefficients             3",
      " Biggest                          7.0000E+00  (excluding fixed columns)",
      " Smallest                         2.5000E-01"};
  ASSERT_GE(lines.size(), want.size() + 5);
  EXPECT_EQ(lines[2], " Matrix statistics");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 5, lines.begin() + 5 + want.size()), want);
}

// A 3-row, 4-column pattern: rows 1-2 nonlinear, columns 1-3 nonlinear Jacobian columns
// (column 2 without a nonlinear element), column 4 linear.
struct Block {
  OwnedMatrix a{{{1.5, 0.0, 2.5, 7.0}, {0.0, 0.0, 3.5, 0.0}, {4.0, 5.0, 6.0, 8.0}}};
  std::vector<double> gcon = std::vector<double>(3, -1.0);
  std::vector<double> saved = std::vector<double>(3, -1.0);
  std::vector<double> second = std::vector<double>(3, -1.0);
  std::vector<int> pointers = std::vector<int>(4, -1);
  JacobianArrays arrays(int level) {
    return {2, 3, 3, level, gcon.data(), saved.data(), second.data(), pointers.data()};
  }
};

TEST(JacobianAuxiliary, PointersLoadFakeAndRestore) {
  for (int level : {0, 1, 2, 3}) {
    Block b;
    const JacobianArrays j = b.arrays(level);
    EXPECT_EQ(jacobian_auxiliary("Assemble gCon column pointers", b.a.view, j), 0);
    EXPECT_EQ(b.pointers, (std::vector<int>{1, 2, 2, 4}));
    jacobian_auxiliary("Load constant Jacobian elements", b.a.view, j);
    EXPECT_EQ(b.gcon, (std::vector<double>{1.5, 2.5, 3.5}));
    EXPECT_EQ(b.second, b.gcon);
    EXPECT_EQ(b.saved, level > 1 ? b.gcon : std::vector<double>(3, -1.0));
    jacobian_auxiliary("Fake", b.a.view, j);
    const std::vector<double> fake = b.second;
    for (double v : fake) {
      EXPECT_GE(v, 0.0);
      EXPECT_LE(v, 1.0);
    }
    // The nonlinear elements of the matrix hold the fake values; the others are untouched.
    EXPECT_EQ(b.a.a, (std::vector<double>{fake[0], 4.0, 5.0, fake[1], fake[2], 6.0, 7.0, 8.0}));
    Block again;
    jacobian_auxiliary("Assemble", again.a.view, again.arrays(level));
    jacobian_auxiliary("Fake", again.a.view, again.arrays(level));
    EXPECT_EQ(again.second, fake);
    b.gcon.assign(3, 9.0);
    jacobian_auxiliary("Restore constants", b.a.view, j);
    if (level > 1) {
      EXPECT_EQ(b.gcon, (std::vector<double>{1.5, 2.5, 3.5}));
      EXPECT_EQ(b.second, b.gcon);
    } else {
      EXPECT_EQ(b.gcon, std::vector<double>(3, 9.0));
      EXPECT_EQ(b.second, fake);
    }
  }
}

TEST(JacobianAuxiliary, LoadNonlinearRowsFormsTheLinearPart) {
  Block b;
  const JacobianArrays j = b.arrays(2);
  jacobian_auxiliary("Assemble", b.a.view, j);
  b.gcon = {10.0, 20.0, 30.0};
  const std::vector<double> f{1.0, 2.0};
  const std::vector<double> x{1.0, 2.0, 3.0, 4.0};
  std::vector<double> linear(2, 0.0);
  load_nonlinear_rows(b.a.view, j, f.data(), x.data(), 0.0, linear.data());
  EXPECT_EQ(b.a.a, (std::vector<double>{10.0, 4.0, 5.0, 20.0, 30.0, 6.0, 7.0, 8.0}));
  EXPECT_EQ(linear, (std::vector<double>{10.0 + 20.0 * 3.0 - 1.0, 30.0 * 3.0 - 2.0}));
}

struct ViolationCase {
  const char* name;
  std::vector<double> f;
  std::vector<double> row_lower, row_upper;
  int worst;
  double largest;
};

void PrintTo(const ViolationCase& c, std::ostream* os) { *os << c.name; }

class ViolationTest : public ::testing::TestWithParam<ViolationCase> {};

// Rows 1-2 nonlinear over column 1; column 2 adds 1.0 * x2 = 2 to row 1 and 3.0 * x2 = 6 to
// row 2.
TEST_P(ViolationTest, WorstRowAndMeasure) {
  const ViolationCase& c = GetParam();
  OwnedMatrix a({{9.0, 1.0}, {9.0, 3.0}, {1.0, 1.0}});
  const std::vector<double> x{1.0, 2.0, 0.5, -0.5, 7.0};
  std::vector<double> bl{-5, -5, c.row_lower[0], c.row_lower[1], -kInf};
  std::vector<double> bu{5, 5, c.row_upper[0], c.row_upper[1], kInf};
  std::vector<double> activity(2);
  const NonlinearViolation v = nonlinear_violation(2, 1, 0.0, a.view, bl.data(), bu.data(),
                                                   c.f.data(), x.data(), activity.data());
  EXPECT_EQ(activity, (std::vector<double>{c.f[0] + 2.0, c.f[1] + 6.0}));
  EXPECT_EQ(v.worst_row, c.worst);
  EXPECT_DOUBLE_EQ(v.largest, c.largest);
  EXPECT_DOUBLE_EQ(v.x_norm, 4.0 / 2.0);
  EXPECT_DOUBLE_EQ(v.relative, c.largest / 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    ViolationTest,
    ::testing::Values(ViolationCase{"AllInside", {0.0, 0.0}, {0, 0}, {5, 7}, 1, 0.0},
                      ViolationCase{
                          "InfiniteBounds", {1e10, -1e10}, {-kInf, -kInf}, {kInf, kInf}, 1, 0.0},
                      ViolationCase{"TieKeepsFirst", {0.0, 0.0}, {3, 7}, {5, 9}, 1, 1.0},
                      ViolationCase{"LaterLarger", {0.0, 0.0}, {3, 8}, {5, 9}, 2, 2.0},
                      ViolationCase{"Above", {4.0, 0.0}, {0, 0}, {5, 9}, 1, 1.0}));

}  // namespace
}  // namespace zun
