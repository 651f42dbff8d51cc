// Solves in every mode against dense solves, and column replacements checked against a dense
// copy of the current matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/sparse_lu/lu_test_support.h"

namespace zun::lu_test {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;

std::vector<double> random_vector(int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(n);
  for (double& x : v) x = u(rng);
  return v;
}

// y = X x (trans: X' x).
std::vector<double> apply(const Dense& x, const std::vector<double>& v, bool trans) {
  std::vector<double> y(trans ? x.n : x.m, 0.0);
  for (int j = 1; j <= x.n; ++j) {
    for (int i = 1; i <= x.m; ++i) {
      if (trans) {
        y[j - 1] += x(i, j) * v[i - 1];
      } else {
        y[i - 1] += x(i, j) * v[j - 1];
      }
    }
  }
  return y;
}

// Backward error of a solve: |X x - b| / (|X| |x| + |b|) in the max norm.
double backward_error(const Dense& x,
                      const std::vector<double>& sol,
                      const std::vector<double>& b,
                      bool trans) {
  const std::vector<double> r = apply(x, sol, trans);
  double rmax = 0.0, smax = 0.0, bmax = 0.0;
  for (std::size_t k = 0; k < r.size(); ++k) {
    rmax = std::max(rmax, std::abs(r[k] - b[k]));
    bmax = std::max(bmax, std::abs(b[k]));
  }
  for (double v : sol) smax = std::max(smax, std::abs(v));
  return rmax / (max_abs(x) * smax * x.n + bmax);
}

double rel_diff(const std::vector<double>& x, const std::vector<double>& y) {
  double d = 0.0;
  double s = 1.0;
  for (std::size_t k = 0; k < x.size(); ++k) {
    d = std::max(d, std::abs(x[k] - y[k]));
    s = std::max(s, std::abs(y[k]));
  }
  return d / s;
}

int lena_for(const Triples& t) {
  return static_cast<int>(20 * t.a.size()) + 2 * t.m * t.n + 10 * (t.m + t.n) + 1000;
}

class SolveModeTest : public ::testing::TestWithParam<int> {};

// Each mode against the dense L and U of the same factors and against A itself.
TEST_P(SolveModeTest, MatchesDenseSolves) {
  const int mode = GetParam();
  for (int seed = 1; seed <= 15; ++seed) {
    std::mt19937 rng(seed * 101 + mode);
    const int n = 5 + static_cast<int>(rng() % 60);
    const Triples t = random_triples(n, n, seed % 3 == 0 ? n * 0.7 : 3.0, true, rng);
    LuHarness h(n, n, lena_for(t));
    ASSERT_EQ(h.factor(t), 0);
    const Dense a = t.dense();
    const Dense l = h.dense_l();
    const Dense u = h.dense_u();
    std::vector<double> v = random_vector(n, rng);
    std::vector<double> w = random_vector(n, rng);
    const std::vector<double> v0 = v;
    const std::vector<double> w0 = w;
    EXPECT_EQ(h.solve(mode, v, w), 0);
    EXPECT_EQ(h.rword(rw::kResidual), 0.0);
    const double tol = 1e-10;
    switch (mode) {
      case 1:
        EXPECT_LT(rel_diff(apply(l, v, false), v0), tol);
        break;
      case 2:
        EXPECT_LT(rel_diff(apply(l, v, true), v0), tol);
        break;
      case 3:
        EXPECT_LT(rel_diff(apply(u, w, false), v0), tol);
        break;
      case 4:
        EXPECT_LT(rel_diff(apply(u, v, true), w0), tol);
        break;
      case 5:
        EXPECT_LT(rel_diff(apply(a, w, false), v0), tol);
        break;
      case 6:
        EXPECT_LT(rel_diff(apply(a, v, true), w0), tol);
        break;
      default:
        break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, SolveModeTest, ::testing::Range(1, 7));

TEST(LuSolve, RectangularFactorsSolveInTheirRange) {
  std::mt19937 rng(17);
  for (int seed = 0; seed < 10; ++seed) {
    const int m = 30;
    const int n = 18;
    const Triples t = random_triples(m, n, 4.0, true, rng);
    LuHarness h(m, n, lena_for(t));
    ASSERT_EQ(h.factor(t), 0);
    const Dense a = t.dense();
    std::vector<double> x = random_vector(n, rng);
    std::vector<double> v = apply(a, x, false);
    std::vector<double> w(n);
    h.solve(5, v, w);
    EXPECT_LT(rel_diff(w, x), 1e-9);
    EXPECT_LT(h.rword(rw::kResidual), 1e-12);
    // A right-hand side outside the range of A is reported.
    std::vector<double> b = random_vector(m, rng);
    EXPECT_EQ(h.solve(5, b, w), 1);
    EXPECT_GT(h.rword(rw::kResidual), 1e-3);
  }
}

TEST(LuSolve, InconsistentRightHandSideOnASingularU) {
  const int n = 8;
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) {
    if (j != 3) t.add(j, j, 2.0);
  }
  t.add(1, 2, 0.5);
  LuHarness h(n, n, 500);
  ASSERT_EQ(h.factor(t), 1);
  std::vector<double> v(n, 0.0), w(n, 0.0);
  v[2] = 1.5;
  EXPECT_EQ(h.solve(5, v, w), 1);
  EXPECT_DOUBLE_EQ(h.rword(rw::kResidual), 1.5);
  std::fill(v.begin(), v.end(), 0.0);
  v[0] = 1.0;
  EXPECT_EQ(h.solve(5, v, w), 0);
  EXPECT_DOUBLE_EQ(w[0], 0.5);
  // Transposed: weight on the singular column.
  std::vector<double> wt(n, 0.0), vt(n, 0.0);
  wt[2] = -2.0;
  EXPECT_EQ(h.solve(6, vt, wt), 1);
  EXPECT_DOUBLE_EQ(h.rword(rw::kResidual), 2.0);
}

TEST(LuSolve, ZeroRightHandSideGivesZero) {
  std::mt19937 rng(3);
  const Triples t = random_triples(20, 20, 3.0, true, rng);
  LuHarness h(20, 20, lena_for(t));
  ASSERT_EQ(h.factor(t), 0);
  std::vector<double> v(20, 0.0), w(20, 7.0);
  EXPECT_EQ(h.solve(3, v, w), 0);
  for (double x : w) EXPECT_EQ(x, 0.0);
}

// The basis-update protocol: v := L^-1 a_new, then PRUNEP(1, 2); checked by solves against a
// dense copy of the current matrix.
class ReplacementTest : public ::testing::TestWithParam<int> {};

TEST_P(ReplacementTest, RandomReplacementsKeepSolvesAccurate) {
  const int seed = GetParam();
  std::mt19937 rng(seed);
  const int n = 20 + static_cast<int>(rng() % 40);
  const Triples t = random_triples(n, n, 2.5, true, rng);
  LuHarness h(n, n, lena_for(t) + 200 * n);
  ASSERT_EQ(h.factor(t), 0);
  Dense a = t.dense();
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  int checked = 0;
  for (int rep = 0; rep < 120; ++rep) {
    const int jrep = 1 + static_cast<int>(rng() % n);
    std::vector<double> col(n, 0.0);
    col[jrep - 1] = 2.0 + val(rng);
    const int extra = static_cast<int>(rng() % 6);
    for (int k = 0; k < extra; ++k) col[rng() % n] += val(rng);
    if (rep % 17 == 5) {
      col.assign(n, 0.0);  // a slack column
      col[rng() % n] = -1.0;
    }
    for (int i = 1; i <= n; ++i) a(i, jrep) = col[i - 1];
    std::vector<double> v = col;
    std::vector<double> wv(n);
    const int mode2 = rep % 2 == 0 ? 2 : 1;
    if (mode2 == 2) h.solve(1, v, wv);
    double diag = 0.0;
    double vnorm = 0.0;
    const int rank0 = h.iword(iw::kRank);
    const int inform = h.replace(1, mode2, jrep, v, diag, vnorm);
    ASSERT_NE(inform, 7) << "rep " << rep;
    ASSERT_NE(inform, 8);
    EXPECT_EQ(h.iword(iw::kRank) - rank0, inform == 1 ? 1 : inform == -1 ? -1 : 0);
    EXPECT_EQ(h.iword(iw::kReplacements), rep + 1);
    ASSERT_EQ(triangular_fault(h), "") << "rep " << rep;
    EXPECT_EQ(h.iword(iw::kRank), dense_rank(a, 1e-11)) << "rep " << rep;
    if (h.iword(iw::kRank) < n) continue;
    // Factors reproduce the current matrix and both solves are accurate.
    const double lu_err = max_abs_diff(multiply(h.dense_l(), h.dense_u()), a);
    EXPECT_LT(lu_err, 1e-9 * std::max(1.0, max_abs(h.dense_u()))) << "rep " << rep;
    const std::vector<double> b = random_vector(n, rng);
    std::vector<double> v5 = b;
    std::vector<double> w(n);
    EXPECT_EQ(h.solve(5, v5, w), 0);
    EXPECT_LT(backward_error(a, w, b, false), 1e-11) << "rep " << rep;
    const std::vector<double> c = random_vector(n, rng);
    std::vector<double> w6 = c;
    std::vector<double> vt(n);
    h.solve(6, vt, w6);
    EXPECT_LT(backward_error(a, vt, c, true), 1e-11) << "rep " << rep;
    ++checked;
  }
  EXPECT_GT(checked, 30);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReplacementTest, ::testing::Range(1, 9));

TEST(LuReplace, ZeroColumnThenIndependentColumn) {
  std::mt19937 rng(99);
  const int n = 25;
  const Triples t = random_triples(n, n, 3.0, true, rng);
  LuHarness h(n, n, lena_for(t));
  ASSERT_EQ(h.factor(t), 0);
  Dense a = t.dense();
  const int jrep = 7;
  std::vector<double> v(n, 0.0);
  double diag = 1.0;
  double vnorm = 1.0;
  EXPECT_EQ(h.replace(1, 0, jrep, v, diag, vnorm), -1);
  EXPECT_EQ(h.iword(iw::kRank), n - 1);
  EXPECT_EQ(vnorm, 0.0);
  // Back to full rank with the original column.
  std::vector<double> col(n);
  for (int i = 1; i <= n; ++i) col[i - 1] = a(i, jrep);
  v = col;
  EXPECT_EQ(h.replace(1, 1, jrep, v, diag, vnorm), 1);
  EXPECT_EQ(h.iword(iw::kRank), n);
  EXPECT_NE(diag, 0.0);
  std::vector<double> x = random_vector(n, rng);
  std::vector<double> b = apply(a, x, false);
  std::vector<double> w(n);
  EXPECT_EQ(h.solve(5, b, w), 0);
  EXPECT_LT(rel_diff(w, x), 1e-9);
}

// On a rank-deficient factor, a column that had a pivot is replaced by one whose only weight
// beyond the rank is below the singularity tolerance: that weight must not become a pivot.
TEST(LuReplace, TinyWeightBeyondTheRankIsNoPivot) {
  Triples t;
  t.m = t.n = 3;
  for (int j = 1; j <= 3; ++j) t.add(j, j, 1.0);
  LuHarness h(3, 3, lena_for(t));
  ASSERT_EQ(h.factor(t), 0);
  std::vector<double> v(3, 0.0);
  double diag = 0.0;
  double vnorm = 0.0;
  ASSERT_EQ(h.replace(1, 0, 1, v, diag, vnorm), -1);
  ASSERT_EQ(h.iword(iw::kRank), 2);
  // Column 2 := (1e-12, 0, 1): within the tolerances a copy of column 3.
  v = {1e-12, 0.0, 1.0};
  EXPECT_EQ(h.replace(1, 1, 2, v, diag, vnorm), -1);
  EXPECT_EQ(h.iword(iw::kRank), 1);
  EXPECT_EQ(triangular_fault(h), "");
  for (int k = 1; k <= h.iword(iw::kRank); ++k) {
    EXPECT_GT(std::abs(h.a[h.locr[h.ip[k - 1] - 1] - 1]), h.rword(rw::kAbsSingTol));
  }
}

TEST(LuReplace, ColumnReplacedByItselfKeepsItsDiagonal) {
  std::mt19937 rng(5);
  const int n = 30;
  const Triples t = random_triples(n, n, 3.0, true, rng);
  LuHarness h(n, n, lena_for(t));
  ASSERT_EQ(h.factor(t), 0);
  const Dense a = t.dense();
  for (int jrep : {1, 9, 30}) {
    double old_diag = 0.0;
    for (int k = 1; k <= n; ++k) {
      if (h.iq[k - 1] == jrep) old_diag = h.a[h.locr[h.ip[k - 1] - 1] - 1];
    }
    std::vector<double> v(n);
    for (int i = 1; i <= n; ++i) v[i - 1] = a(i, jrep);
    double diag = 0.0;
    double vnorm = 0.0;
    EXPECT_EQ(h.replace(1, 1, jrep, v, diag, vnorm), 0);
    EXPECT_NEAR(diag, old_diag, 1e-12 * std::abs(old_diag));
    EXPECT_GT(vnorm, 0.0);
  }
}

TEST(LuReplace, ColumnOutOfRangeLeavesTheFactorsUntouched) {
  std::mt19937 rng(8);
  const Triples t = random_triples(10, 10, 3.0, true, rng);
  LuHarness h(10, 10, lena_for(t));
  ASSERT_EQ(h.factor(t), 0);
  const std::vector<double> a0 = h.a;
  const std::vector<int> indr0 = h.indr, ip0 = h.ip, iq0 = h.iq, lenr0 = h.lenr;
  for (int jrep : {0, 11}) {
    std::vector<double> v(10, 1.0);
    double diag = 5.0;
    double vnorm = 5.0;
    EXPECT_EQ(h.replace(1, 1, jrep, v, diag, vnorm), 8);
    EXPECT_EQ(h.iword(iw::kInform), 8);
  }
  EXPECT_EQ(h.iword(iw::kReplacements), 2);
  EXPECT_EQ(h.a, a0);
  EXPECT_EQ(h.indr, indr0);
  EXPECT_EQ(h.ip, ip0);
  EXPECT_EQ(h.iq, iq0);
  EXPECT_EQ(h.lenr, lenr0);
}

TEST(LuReplace, StorageShortageIsReportedNotOverrun) {
  std::mt19937 rng(12);
  const int n = 40;
  const Triples t = random_triples(n, n, 3.0, true, rng);
  LuHarness probe(n, n, lena_for(t));
  ASSERT_EQ(probe.factor(t), 0);
  // Just enough room to factorise; replacements soon run out of room.
  const int lena = probe.iword(iw::kLenL) + probe.iword(iw::kLenU) + 4 * n + n / 2;
  LuHarness h(n, n, lena);
  int inform = h.factor(t);
  for (int extra = 0; inform == 7; extra += n) {
    h = LuHarness(n, n, lena + extra);
    inform = h.factor(t);
  }
  ASSERT_EQ(inform, 0);
  bool short_of_room = false;
  for (int rep = 0; rep < 200 && !short_of_room; ++rep) {
    std::vector<double> v(n);
    for (double& x : v) x = (rng() % 3 == 0) ? 1.0 + (rng() % 5) : 0.0;
    double diag = 0.0;
    double vnorm = 0.0;
    const int r = h.replace(1, 1, 1 + static_cast<int>(rng() % n), v, diag, vnorm);
    short_of_room = r == 7;
    EXPECT_LE(h.iword(iw::kLenL) + h.iword(iw::kRowFileEnd), h.lena());
  }
  EXPECT_TRUE(short_of_room);
}

struct TightCase {
  const char* name;
  int m;
  int n;
};

class TightReplacementTest : public ::testing::TestWithParam<TightCase> {};

// Replacements with little spare room, so that the row file is compressed inside the spike
// elimination (regression: the row being added to the spike was read from its old place after
// such a compression).  The factors must keep reproducing the current matrix.
TEST_P(TightReplacementTest, CompressionsDuringReplacementsKeepTheFactorsExact) {
  const TightCase c = GetParam();
  int compressions = 0;
  for (int seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(seed * 7919 + c.m);
    const Triples t = random_triples(c.m, c.n, 3.0, c.m == c.n, rng);
    LuHarness probe(c.m, c.n, lena_for(t));
    ASSERT_LE(probe.factor(t), 1);
    const int lena = probe.iword(iw::kMinLength) + 2 * (c.m + c.n) + 60 * (seed % 4);
    LuHarness h(c.m, c.n, lena);
    if (h.factor(t) > 1) continue;
    Dense a = t.dense();
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    for (int rep = 0; rep < 60; ++rep) {
      const int jrep = 1 + static_cast<int>(rng() % c.n);
      std::vector<double> col(c.m, 0.0);
      for (int k = 0; k < 3; ++k) col[rng() % c.m] = val(rng);
      for (int i = 1; i <= c.m; ++i) a(i, jrep) = col[i - 1];
      std::vector<double> v = col;
      double diag = 0.0;
      double vnorm = 0.0;
      const int before = h.iword(iw::kCompressions);
      const int inform = h.replace(1, 1, jrep, v, diag, vnorm);
      if (inform == 7) break;
      compressions += h.iword(iw::kCompressions) - before;
      ASSERT_EQ(triangular_fault(h), "") << "seed " << seed << " rep " << rep;
      const double err = max_abs_diff(multiply(h.dense_l(), h.dense_u()), a);
      ASSERT_LT(err, 1e-9 * std::max(1.0, max_abs(h.dense_u())))
          << "seed " << seed << " rep " << rep;
    }
  }
  EXPECT_GT(compressions, 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes,
                         TightReplacementTest,
                         ::testing::Values(TightCase{"square", 30, 30},
                                           TightCase{"wide", 13, 32},
                                           TightCase{"tall", 32, 13}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zun::lu_test
