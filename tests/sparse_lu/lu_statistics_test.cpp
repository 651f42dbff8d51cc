// The statistics words that a factorisation leaves for its caller, recomputed from the factors
// or known by hand; the fallback pivot; a replacement into an empty column; the state of the
// factors after a failed factorisation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tests/sparse_lu/lu_test_support.h"

namespace zun::lu_test {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;

int roomy_lena(const Triples& t) {
  return static_cast<int>(10 * t.a.size()) + 2 * t.m * t.n + 10 * (t.m + t.n) + 100;
}

// The words of a factorisation as they follow from the input and the factors themselves.
struct Recomputed {
  double amax = 0.0;
  double lmax = 0.0;
  double umax = 0.0;
  double dumax = 0.0;
  double dumin = 0.0;
  int jumin = 0;
  int nsing = 0;
  int jsing = 0;
  int len_l = 0;
  int len_u = 0;
  std::vector<double> w;
};

Recomputed recompute(const LuHarness& h, const Triples& t) {
  Recomputed r;
  const double small = h.rword(rw::kDropTol);
  for (double v : t.a) {
    if (std::abs(v) > small) r.amax = std::max(r.amax, std::abs(v));
  }
  for (int k = 1; k <= h.iword(iw::kNumL0); ++k) r.len_l += h.lenc[k - 1];
  for (int p = h.lena() - r.len_l + 1; p <= h.lena(); ++p) {
    r.lmax = std::max(r.lmax, std::abs(h.a[p - 1]));
  }
  const int nrank = h.iword(iw::kRank);
  std::vector<double> colmax(h.n() + 1, 0.0);
  for (int k = 1; k <= nrank; ++k) {
    const int i = h.ip[k - 1];
    for (int p = h.locr[i - 1]; p < h.locr[i - 1] + h.lenr[i - 1]; ++p) {
      colmax[h.indr[p - 1]] = std::max(colmax[h.indr[p - 1]], std::abs(h.a[p - 1]));
      ++r.len_u;
    }
  }
  r.dumin = std::numeric_limits<double>::max();
  r.w.assign(h.n(), 0.0);
  for (int k = 1; k <= h.n(); ++k) {
    const int j = h.iq[k - 1];
    r.umax = std::max(r.umax, colmax[j]);
    bool singular = true;
    if (k <= nrank) {
      const double diag = std::abs(h.a[h.locr[h.ip[k - 1] - 1] - 1]);
      r.dumax = std::max(r.dumax, diag);
      if (diag < r.dumin) {
        r.dumin = diag;
        r.jumin = j;
      }
      singular = diag <= h.rword(rw::kAbsSingTol) || diag <= h.rword(rw::kRelSingTol) * colmax[j];
    }
    r.w[j - 1] = singular ? -colmax[j] : colmax[j];
    if (singular) {
      ++r.nsing;
      r.jsing = j;
    }
  }
  if (nrank == 0) r.dumin = 0.0;
  return r;
}

struct StatCase {
  const char* name;
  int m;
  int n;
  double per_col;
  bool diagonal;
  int zero_columns;  // columns emptied to make the matrix singular
};

class StatisticsWordsTest : public ::testing::TestWithParam<StatCase> {};

TEST_P(StatisticsWordsTest, MatchTheFactors) {
  const StatCase c = GetParam();
  for (int seed = 1; seed <= 10; ++seed) {
    std::mt19937 rng(seed * 977 + c.m);
    Triples base = random_triples(c.m, c.n, c.per_col, c.diagonal, rng);
    Triples t;
    t.m = c.m;
    t.n = c.n;
    for (std::size_t k = 0; k < base.a.size(); ++k) {
      if (base.col[k] > c.zero_columns) t.add(base.row[k], base.col[k], base.a[k]);
    }
    // One entry at the drop tolerance: dropped, so it must not count in Amax.
    t.add(1, c.n, 1e-30);
    LuHarness h(c.m, c.n, roomy_lena(t));
    const int inform = h.factor(t);
    ASSERT_TRUE(inform == 0 || inform == 1) << "seed " << seed;
    SCOPED_TRACE(::testing::Message() << c.name << " seed " << seed);
    const Recomputed r = recompute(h, t);
    EXPECT_EQ(h.rword(rw::kAmax), r.amax);
    EXPECT_EQ(h.rword(rw::kLmax), r.lmax);
    EXPECT_EQ(h.rword(rw::kUmax), r.umax);
    EXPECT_EQ(h.rword(rw::kDiagUmax), r.dumax);
    EXPECT_EQ(h.rword(rw::kDiagUmin), r.dumin);
    EXPECT_EQ(h.iword(iw::kMinDiagColumn), r.jumin);
    EXPECT_EQ(h.iword(iw::kNumSingular), r.nsing);
    EXPECT_EQ(h.iword(iw::kLastSingular), r.jsing);
    EXPECT_EQ(inform, r.nsing > 0 ? 1 : 0);
    EXPECT_EQ(h.w, r.w);
    EXPECT_EQ(h.iword(iw::kLenL0), r.len_l);
    EXPECT_EQ(h.iword(iw::kLenL), r.len_l);
    EXPECT_EQ(h.iword(iw::kLenU0), r.len_u);
    EXPECT_EQ(h.iword(iw::kLenU), r.len_u);
    EXPECT_GE(h.iword(iw::kNumSingular), std::max(c.zero_columns, c.n - c.m));
    EXPECT_EQ(h.iword(iw::kMinLength), r.len_l + r.len_u + 2 * (c.m + c.n));
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes,
                         StatisticsWordsTest,
                         ::testing::Values(StatCase{"square", 40, 40, 3.0, true, 0},
                                           StatCase{"square_singular", 40, 40, 3.0, true, 2},
                                           StatCase{"dense", 25, 25, 25.0, false, 0},
                                           StatCase{"tall", 45, 30, 4.0, false, 0},
                                           StatCase{"wide", 30, 45, 3.0, true, 1},
                                           StatCase{"very_sparse", 50, 50, 0.8, false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Counts of the pivot phases and the merit sum on matrices whose elimination is known by hand.
struct PhaseCase {
  const char* name;
  Triples t;
  double density;  // both density thresholds
  int n_utri;
  int n_ltri;
  int merit_sum;
  int ndens1;
  int ndens2;
};

// A triangle with its rows and columns permuted: every pivot is a column singleton.
Triples permuted_triangle(int n) {
  std::vector<int> rows(n);
  std::vector<int> cols(n);
  for (int k = 0; k < n; ++k) rows[k] = cols[k] = k + 1;
  std::mt19937 rng(3);
  std::shuffle(rows.begin(), rows.end(), rng);
  std::shuffle(cols.begin(), cols.end(), rng);
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) {
      if (i == j || (i + 2 * j) % 3 == 0) t.add(rows[i - 1], cols[j - 1], i == j ? 3.0 : 0.5);
    }
  }
  return t;
}

// [L 0; B D]: a lower triangle L of order k over full blocks B and D.  No column has one
// entry, and rows 1..k become row singletons one after the other.
Triples triangle_over_block(int k, int n) {
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) {
    for (int i = (j <= k ? j : k + 1); i <= n; ++i) t.add(i, j, i == j ? 4.0 : 1.0 / (i + j));
  }
  return t;
}

// [a 0 b; 0 c d; e f g]: no singletons; merit 1 for the first pivot, 1 for the 2 x 2 left.
Triples small_arrow() {
  Triples t;
  t.m = t.n = 3;
  t.add(1, 1, 4.0);
  t.add(3, 1, 1.0);
  t.add(2, 2, 4.0);
  t.add(3, 2, 1.0);
  t.add(1, 3, 1.0);
  t.add(2, 3, 1.0);
  t.add(3, 3, 4.0);
  return t;
}

Triples full_block(int n) {
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) t.add(i, j, i == j ? n + 1.0 : 1.0 / (i + 2 * j));
  }
  return t;
}

class PhaseCountTest : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(PhaseCountTest, KnownByHand) {
  const PhaseCase& c = GetParam();
  LuHarness h(c.t.m, c.t.n, roomy_lena(c.t));
  h.parmlu[rw::kDensity1 - 1] = c.density;
  h.parmlu[rw::kDensity2 - 1] = c.density;
  ASSERT_EQ(h.factor(c.t), 0);
  EXPECT_EQ(h.iword(iw::kUpperTriPivots), c.n_utri);
  EXPECT_EQ(h.iword(iw::kLowerTriPivots), c.n_ltri);
  EXPECT_EQ(h.iword(iw::kMeritSum), c.merit_sum);
  EXPECT_EQ(h.iword(iw::kDense1Columns), c.ndens1);
  EXPECT_EQ(h.iword(iw::kDense2Columns), c.ndens2);
  EXPECT_EQ(triangular_fault(h), "");
  EXPECT_LT(solve_residual(h, c.t), 1e-14);
}

INSTANTIATE_TEST_SUITE_P(
    Matrices,
    PhaseCountTest,
    ::testing::Values(PhaseCase{"permuted_triangle", permuted_triangle(12), 0.3, 12, 0, 0, 0, 0},
                      PhaseCase{"triangle_over_block", triangle_over_block(5, 8), 0.3, 0, 5, 0, 3,
                                3},
                      PhaseCase{"triangle_over_block_sparse", triangle_over_block(5, 8), 2.0, 0,
                                5, 2 * 2 + 1 * 1, 0, 0},
                      PhaseCase{"small_arrow", small_arrow(), 2.0, 0, 0, 2, 0, 0},
                      PhaseCase{"small_arrow_dense", small_arrow(), 0.7, 0, 0, 0, 3, 3},
                      PhaseCase{"full_block", full_block(4), 0.9, 0, 0, 0, 4, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// With 1002 full rows and columns every merit, (1002 - 1)^2, is above 1000 x 1002: the search
// finds no candidate and the largest entry of the first column is the pivot.  The storage
// lets the rest go dense at the second step only.
TEST(LuFallbackPivot, LargestEntryOfTheFirstColumn) {
  const int n = 1002;
  Triples t;
  t.m = t.n = n;
  int big_row = 0;
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) {
      double v = 1.0 / (1.0 + ((i * 7 + j * 13) % 101));
      if (i == j) v += 4.0;
      if (j == 1 && i == 600) {
        v = 9.0;
        big_row = i;
      }
      t.add(i, j, v);
    }
  }
  const std::int64_t cells = static_cast<std::int64_t>(n) * n;
  const int lena = static_cast<int>(2 * (cells - 2 * n + 1) + 2 * n + 1000);
  ASSERT_LT(lena, 2 * cells);
  LuHarness h(n, n, lena);
  ASSERT_EQ(h.factor(t), 0);
  EXPECT_EQ(h.iq[0], 1);
  EXPECT_EQ(h.ip[0], big_row);
  EXPECT_EQ(h.iword(iw::kMeritSum), (n - 1) * (n - 1));
  EXPECT_EQ(h.iword(iw::kDense2Columns), n);
  EXPECT_EQ(h.iword(iw::kRank), n);
  EXPECT_LT(solve_residual(h, t), 1e-13);
}

// A singular factorisation leaves column jrep out of U; the replacement with mode1 = 0 only
// looks the column up and puts the new one in, which restores the rank.
TEST(LuReplaceEmptyColumn, ModeOneZeroRestoresTheRank) {
  for (int seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed * 41);
    const int n = 20 + 5 * seed;
    const int jrep = 1 + static_cast<int>(rng() % n);
    const Triples full = random_triples(n, n, 3.0, true, rng);
    Triples t;
    t.m = t.n = n;
    for (std::size_t k = 0; k < full.a.size(); ++k) {
      if (full.col[k] != jrep) t.add(full.row[k], full.col[k], full.a[k]);
    }
    LuHarness h(n, n, roomy_lena(full));
    ASSERT_EQ(h.factor(t), 1);
    ASSERT_EQ(h.iword(iw::kRank), n - 1);
    std::vector<double> v(n, 0.0);
    for (std::size_t k = 0; k < full.a.size(); ++k) {
      if (full.col[k] == jrep) v[full.row[k] - 1] = full.a[k];
    }
    double diag = 0.0;
    double vnorm = 0.0;
    ASSERT_EQ(h.replace(0, 1, jrep, v, diag, vnorm), 1) << "seed " << seed;
    EXPECT_EQ(h.iword(iw::kRank), n);
    EXPECT_NE(diag, 0.0);
    EXPECT_EQ(h.iword(iw::kReplacements), 1);
    EXPECT_EQ(triangular_fault(h), "");
    EXPECT_LT(solve_residual(h, full), 1e-12) << "seed " << seed;
  }
}

// A solve called by mistake after a failed factorisation must read nothing of the files: the
// factors are left empty and the whole right-hand side is the residual.
TEST(LuFailedFactors, SolveReadsNothing) {
  std::mt19937 rng(9);
  const int n = 120;
  const Triples good = random_triples(n, n, 5.0, true, rng);
  Triples bad_index = good;
  bad_index.row[7] = n + 3;
  struct Failure {
    const Triples* t;
    int lena;
    int inform;
  };
  const int need = static_cast<int>(good.a.size()) + 4 * n;
  for (const Failure& c : {Failure{&good, need - 1, 7}, Failure{&good, need + 40, 7},
                           Failure{&bad_index, roomy_lena(good), 3}}) {
    LuHarness h(n, n, c.lena);
    h.parmlu[rw::kDensity1 - 1] = 2.0;
    h.parmlu[rw::kDensity2 - 1] = 2.0;
    for (auto* v : {&h.ip, &h.iq, &h.lenr, &h.locr, &h.lenc}) std::fill(v->begin(), v->end(), -77777);
    ASSERT_EQ(h.factor(*c.t), c.inform);
    EXPECT_EQ(h.iword(iw::kRank), 0);
    EXPECT_EQ(h.iword(iw::kNumL0), 0);
    EXPECT_EQ(h.iword(iw::kLenL), 0);
    EXPECT_EQ(h.iword(iw::kLenU), 0);
    EXPECT_EQ(h.iword(iw::kRowFileEnd), 0);
    for (int mode = 1; mode <= 6; ++mode) {
      std::vector<double> v(n, 1.0);
      std::vector<double> w(n, 1.0);
      const int inform = h.solve(mode, v, w);
      if (mode == 1 || mode == 2) {
        EXPECT_EQ(inform, 0);
        EXPECT_EQ(v, std::vector<double>(n, 1.0)) << "mode " << mode;
        continue;
      }
      EXPECT_EQ(inform, 1) << "mode " << mode;
      EXPECT_EQ(h.rword(rw::kResidual), static_cast<double>(n));
      EXPECT_EQ(mode == 3 || mode == 5 ? w : v, std::vector<double>(n, 0.0)) << "mode " << mode;
    }
  }
}

}  // namespace
}  // namespace zun::lu_test
