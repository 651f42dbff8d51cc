// Scaling: the scale factors of a hand-worked example, the rules that keep a scale at 1, and
// "Scale" followed by "Unscale" as an identity on seeded problems.
#include "library/sparse_sqp/scaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "library/sparse_sqp/matrix_statistics.h"
#include "tests/sparse_sqp/run_test_support.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
using run_test::OwnedMatrix;
using run_test::SmallWorkspace;

constexpr double kInf = 1e20;

struct Scaled {
  std::vector<double> s;
  std::vector<int> types;
};

Scaled scales_of(const ProblemMatrix& a,
                 const std::vector<double>& bl,
                 const std::vector<double>& bu,
                 SmallWorkspace& w,
                 int nnl = 0,
                 int ncnln = 0,
                 int njnln = 0) {
  Scaled out;
  out.s.assign(static_cast<std::size_t>(a.n + a.m), -1.0);
  out.types.assign(static_cast<std::size_t>(a.m), -1);
  print_matrix_statistics("Define row types", a, bl.data(), bu.data(), out.types.data(),
                          w.iz.data(), w.z.data());
  ScaleRequest r;
  r.nnl = nnl;
  r.ncnln = ncnln;
  r.njnln = njnln;
  r.row_types = out.types.data();
  r.bl = bl.data();
  r.bu = bu.data();
  std::vector<double> w1(static_cast<std::size_t>(a.m)), w2(static_cast<std::size_t>(a.m));
  compute_scales(r, a, out.s.data(), w1.data(), w2.data(), w.iz.data(), w.z.data());
  return out;
}

// One row [4 16]: the column means are 4 and 16 against the row mean 8, so the column scales
// are 2 and 1/2, the row scale 8, and both scaled elements become 1.
TEST(Scaling, HandWorkedExample) {
  for (int option : {1, 2}) {
    SmallWorkspace w;
    w.i(iw::kScaleOption) = option;
    OwnedMatrix a({{4.0, 16.0}});
    const std::vector<double> bl{0.0, 0.0, -kInf}, bu{10.0, 10.0, 5.0};
    const Scaled sc = scales_of(a.view, bl, bu, w);
    EXPECT_DOUBLE_EQ(sc.s[0], 2.0) << option;
    EXPECT_DOUBLE_EQ(sc.s[1], 0.5) << option;
    EXPECT_DOUBLE_EQ(sc.s[2], 8.0) << option;
    std::vector<double> blv = bl, buv = bu, x{1.0, 2.0, 36.0}, pi{3.0};
    double objective_scale = 0.0;
    apply_scales("Scale", 0, kInf, objective_scale, a.view, sc.s.data(),
                 {blv.data(), buv.data(), bl.data(), bu.data(), pi.data(), x.data()});
    EXPECT_DOUBLE_EQ(a.a[0], 1.0);
    EXPECT_DOUBLE_EQ(a.a[1], 1.0);
    EXPECT_DOUBLE_EQ(x[2], 36.0 / 8.0);
    EXPECT_DOUBLE_EQ(buv[1], 20.0);
    EXPECT_DOUBLE_EQ(pi[0], 24.0);
    EXPECT_EQ(blv[2], -kInf);
  }
}

// The scaling statistics of one row [4 64] on the monitoring unit at print level 20: column
// scales 4 and 1/4, row scale 16.
TEST(Scaling, StatisticsLines) {
  sqp_test::UnitCapture monitor(78);
  SmallWorkspace w;
  w.i(iw::kMonitoringUnit) = monitor.unit();
  OwnedMatrix a({{4.0, 64.0}});
  const std::vector<double> bl{0.0, 0.0, -kInf}, bu{10.0, 10.0, 5.0};
  std::vector<int> types{1};
  std::vector<double> s(3), w1(1), w2(1);
  ScaleRequest r;
  r.print_level = 20;
  r.row_types = types.data();
  r.bl = bl.data();
  r.bu = bu.data();
  compute_scales(r, a.view, s.data(), w1.data(), w2.data(), w.iz.data(), w.z.data());
  const std::string pass = "    1.00E+00    1.00E+00                1.00";
  const std::vector<std::string> want{
      " ",
      " ",
      " Scaling",
      " -------",
      "                  Min elem    Max elem       Max col ratio",
      " After pass  0" + pass,
      " After pass  1" + pass,
      " After pass  2" + pass,
      " After pass  3" + pass,
      " ",
      "            Min scale                       Max scale",
      " Col      1   2.5E-01            Col      2   4.0E+00",
      " No. of col scales between 0.5 and 2.0 =       0 (or   0.0 per cent).",
      " ",
      "            Min scale                       Max scale",
      " Row      1   1.6E+01            Row      1   1.6E+01",
      " No. of row scales between 0.5 and 2.0 =       0 (or   0.0 per cent)."};
  EXPECT_EQ(monitor.lines(), want);
}

struct KeepCase {
  const char* name;
  std::vector<std::vector<double>> rows;
  std::vector<double> bl, bu;
  int nnl, ncnln, njnln;
  int index;  // the scale that must stay 1.0 (0-based over N + M)
  int option;
};

void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.name; }

class ScaleKeptTest : public ::testing::TestWithParam<KeepCase> {};

TEST_P(ScaleKeptTest, StaysOne) {
  const KeepCase& c = GetParam();
  SmallWorkspace w;
  w.i(iw::kScaleOption) = c.option;
  OwnedMatrix a(c.rows);
  const Scaled sc = scales_of(a.view, c.bl, c.bu, w, c.nnl, c.ncnln, c.njnln);
  EXPECT_DOUBLE_EQ(sc.s[static_cast<std::size_t>(c.index)], 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    ScaleKeptTest,
    ::testing::Values(
        KeepCase{
            "FixedColumn", {{5.0, 300.0}, {7.0, 2.0}}, {1, 0, -1, -1}, {1, 9, 1, 1}, 0, 0, 0, 0, 1},
        KeepCase{
            "EmptyColumn", {{5.0, 0.0}, {7.0, 0.0}}, {0, 0, -1, -1}, {9, 9, 1, 1}, 0, 0, 0, 1, 1},
        KeepCase{"EmptyRow", {{5.0, 3.0}, {0.0, 0.0}}, {0, 0, -1, -1}, {9, 9, 1, 1}, 0, 0, 0, 3, 1},
        KeepCase{"SmallNonlinearColumn",
                 {{0.005, 0.0}, {0.0, 3.0}},
                 {0, 0, -1, -1},
                 {9, 9, 1, 1},
                 1,
                 1,
                 1,
                 0,
                 2},
        KeepCase{"SmallNonlinearRow",
                 {{0.00001, 0.0}, {4.0, 3.0}},
                 {0, 0, -1, -1},
                 {9, 9, 1, 1},
                 1,
                 1,
                 1,
                 2,
                 2},
        // An element that rounding left of a 0 shapes no scale: were x's column scaled by
        // it, the reduction of large scales would bring y's scale to about 1e-11.
        KeepCase{
            "NegligibleElement", {{1e-16, 1.0}}, {1, -kInf, -kInf}, {4, kInf, 10}, 0, 0, 0, 1, 2}));

// A free row takes no part in the column scales: adding one leaves them as they were.
TEST(Scaling, FreeRowDoesNotMoveColumnScales) {
  SmallWorkspace w;
  OwnedMatrix plain({{4.0, 16.0}, {1.0, 3.0}});
  OwnedMatrix with_free({{4.0, 16.0}, {1.0, 3.0}, {1e6, 1e-6}});
  const Scaled a = scales_of(plain.view, {0, 0, -1, -2}, {9, 9, 1, 2}, w);
  const Scaled b = scales_of(with_free.view, {0, 0, -1, -2, -kInf}, {9, 9, 1, 2, kInf}, w);
  EXPECT_DOUBLE_EQ(a.s[0], b.s[0]);
  EXPECT_DOUBLE_EQ(a.s[1], b.s[1]);
  EXPECT_EQ(b.types[2], row_type::kFree);
}

double ulps_apart(double a, double b) {
  if (a == b) return 0.0;
  return std::fabs(a - b) /
         (std::numeric_limits<double>::epsilon() * std::max(std::fabs(a), std::fabs(b)));
}

// "Scale" then "Unscale" with the same factors returns every array to a few ulps; infinite
// bounds and bounds near them never move.
TEST(Scaling, ScaleThenUnscaleIsIdentity) {
  std::mt19937 gen(20261209);
  std::uniform_real_distribution<double> mag(-4.0, 4.0);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 60; ++trial) {
    const int m = 1 + static_cast<int>(gen() % 12);
    const int n = 1 + static_cast<int>(gen() % 15);
    std::vector<std::vector<double>> rows(m, std::vector<double>(n, 0.0));
    for (auto& row : rows)
      for (double& v : row)
        if (u(gen) < 0.4) v = (u(gen) < 0.5 ? -1 : 1) * std::pow(10.0, mag(gen));
    OwnedMatrix a(rows);
    std::vector<double> bl(n + m), bu(n + m), x(n + m), pi(m);
    for (int j = 0; j < n + m; ++j) {
      const double r = u(gen);
      bl[j] = r < 0.2 ? -kInf : (r < 0.3 ? -0.5e19 : -10.0 * u(gen));
      bu[j] = r > 0.8 ? kInf : (r > 0.7 ? 0.2e19 : 10.0 * u(gen));
      if (r > 0.45 && r < 0.5) bu[j] = bl[j];
      x[j] = 20.0 * u(gen) - 10.0;
    }
    for (double& v : pi) v = u(gen) - 0.5;
    SmallWorkspace w;
    w.i(iw::kScaleOption) = 1 + trial % 2;
    const Scaled sc = scales_of(a.view, bl, bu, w);
    const std::vector<double> a0 = a.a, bl0 = bl, bu0 = bu, x0 = x, pi0 = pi;
    double objective_scale = 0.0;
    const ScaledArrays arrays{bl.data(), bu.data(), bl0.data(), bu0.data(), pi.data(), x.data()};
    apply_scales("Scale", m, kInf, objective_scale, a.view, sc.s.data(), arrays);
    EXPECT_EQ(objective_scale, sc.s[n + m - 1]);
    apply_scales("Unscale", m, kInf, objective_scale, a.view, sc.s.data(), arrays);
    EXPECT_EQ(objective_scale, 1.0);
    for (std::size_t k = 0; k < a0.size(); ++k) EXPECT_LE(ulps_apart(a.a[k], a0[k]), 4.0);
    for (int j = 0; j < n + m; ++j) {
      EXPECT_LE(ulps_apart(x[j], x0[j]), 4.0);
      EXPECT_LE(ulps_apart(bl[j], bl0[j]), 4.0);
      EXPECT_LE(ulps_apart(bu[j], bu0[j]), 4.0);
      if (std::fabs(bl0[j]) >= 0.1 * kInf) {
        EXPECT_EQ(bl[j], bl0[j]);
      }
      if (std::fabs(bu0[j]) >= 0.1 * kInf) {
        EXPECT_EQ(bu[j], bu0[j]);
      }
    }
    for (int i = 0; i < m; ++i) EXPECT_LE(ulps_apart(pi[i], pi0[i]), 4.0);
    for (double s : sc.s) EXPECT_GT(s, 0.0);
  }
}

TEST(Scaling, DivideByVector) {
  const std::vector<double> x{2.0, 4.0, 8.0};
  std::vector<double> y{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  divide_by_vector(3, x.data(), 1, y.data(), 2);
  EXPECT_EQ(y, (std::vector<double>{0.5, 1.0, 0.25, 1.0, 0.125, 1.0}));
  std::vector<double> v{3.0, 6.0};
  divide_by_vector(2, x.data(), 0, v.data(), 1);
  EXPECT_EQ(v, (std::vector<double>{1.5, 3.0}));
}

}  // namespace
}  // namespace zun
