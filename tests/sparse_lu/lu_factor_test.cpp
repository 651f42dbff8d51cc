// Factorisation tests: L U reconstructed from the file layout against A, structure of the
// factors, rank reports, storage shortages and compressions, input errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "tests/sparse_lu/lu_test_support.h"

namespace zun::lu_test {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;

int generous_lena(const Triples& t) {
  return static_cast<int>(10 * t.a.size()) + 4 * t.m * t.n / 2 + 10 * (t.m + t.n) + 100;
}

bool is_permutation(const std::vector<int>& p, int n) {
  std::vector<int> seen(n + 1, 0);
  for (int k = 0; k < n; ++k) {
    if (p[k] < 1 || p[k] > n || seen[p[k]]++) return false;
  }
  return true;
}

// Checks the layout of the factors and A = L U; returns the max residual relative to |A|.
void expect_valid_factors(const LuHarness& h, const Triples& t) {
  ASSERT_TRUE(is_permutation(h.ip, h.m()));
  ASSERT_TRUE(is_permutation(h.iq, h.n()));
  const int nrank = h.iword(iw::kRank);
  ASSERT_LE(nrank, std::min(h.m(), h.n()));
  std::vector<int> qinv(h.n() + 1);
  for (int k = 1; k <= h.n(); ++k) qinv[h.iq[k - 1]] = k;
  int len_u = 0;
  for (int k = 1; k <= h.m(); ++k) {
    const int i = h.ip[k - 1];
    const int len = h.lenr[i - 1];
    if (k > nrank) {
      ASSERT_EQ(len, 0) << "row beyond the rank";
      continue;
    }
    ASSERT_GE(len, 1);
    const int l1 = h.locr[i - 1];
    ASSERT_EQ(h.indr[l1 - 1], h.iq[k - 1]) << "U row must start with its diagonal";
    for (int p = l1; p < l1 + len; ++p) ASSERT_GE(qinv[h.indr[p - 1]], k) << "U not triangular";
    len_u += len;
  }
  EXPECT_EQ(len_u, h.iword(iw::kLenU));
  EXPECT_EQ(h.iword(iw::kRowFileEnd), h.iword(iw::kLenU));
  int len_l = 0;
  for (int k = 1; k <= h.iword(iw::kNumL0); ++k) len_l += h.lenc[k - 1];
  EXPECT_EQ(len_l, h.iword(iw::kLenL));
  const double ltol = std::max(h.rword(rw::kFactorTol), 1.0001);
  EXPECT_LE(h.rword(rw::kLmax), ltol * (1 + 1e-12));
  for (int p = h.lena() - len_l + 1; p <= h.lena(); ++p) {
    ASSERT_LE(std::abs(h.a[p - 1]), ltol * (1 + 1e-12));
  }
  const Dense a = t.dense();
  const Dense lu = multiply(h.dense_l(), h.dense_u());
  const double scale = std::max(1.0, max_abs(a)) * std::max(1.0, h.rword(rw::kUmax));
  EXPECT_LE(max_abs_diff(lu, a), 1e-12 * scale * (h.m() + h.n()));
}

struct RandomCase {
  const char* name;
  int m;
  int n;
  double per_col;
  bool diagonal;
};

class RandomFactorTest : public ::testing::TestWithParam<RandomCase> {};

TEST_P(RandomFactorTest, LTimesUReproducesA) {
  const RandomCase c = GetParam();
  for (int seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(1000 * seed + c.m + 7 * c.n);
    const int m = 1 + static_cast<int>(rng() % c.m);
    const int n = c.m == c.n ? m : 1 + static_cast<int>(rng() % c.n);
    const Triples t = random_triples(m, n, c.per_col, c.diagonal, rng);
    LuHarness h(m, n, generous_lena(t));
    const int inform = h.factor(t);
    ASSERT_TRUE(inform == 0 || inform == 1) << "seed " << seed << " inform " << inform;
    SCOPED_TRACE(::testing::Message() << c.name << " seed " << seed << " m " << m << " n " << n);
    expect_valid_factors(h, t);
    EXPECT_EQ(h.iword(iw::kRank), dense_rank(t.dense(), 1e-11)) << "rank";
    EXPECT_EQ(inform, h.iword(iw::kNumSingular) > 0 ? 1 : 0);
    EXPECT_EQ(h.iword(iw::kReplacements), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes,
                         RandomFactorTest,
                         ::testing::Values(RandomCase{"square_sparse", 60, 60, 2.0, true},
                                           RandomCase{"square_medium", 40, 40, 5.0, true},
                                           RandomCase{"tall", 50, 25, 3.0, false},
                                           RandomCase{"wide", 25, 50, 2.0, false},
                                           RandomCase{"very_sparse", 70, 70, 0.7, false},
                                           RandomCase{"dense", 30, 30, 30.0, false},
                                           RandomCase{"dense_wide", 20, 35, 20.0, false},
                                           RandomCase{"dense_tall", 35, 20, 30.0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LuFactor, DenseMatrixReachesTheDenseFinish) {
  std::mt19937 rng(7);
  const Triples t = random_triples(40, 40, 40.0, false, rng);
  LuHarness h(40, 40, generous_lena(t));
  ASSERT_EQ(h.factor(t), 0);
  EXPECT_GT(h.iword(iw::kDense2Columns), 0);
  EXPECT_EQ(h.iword(iw::kRank), 40);
  expect_valid_factors(h, t);
}

TEST(LuFactor, DenseThreeByThreeGoesDenseAtTheFirstStep) {
  Triples t;
  t.m = t.n = 3;
  const double vals[3][3] = {{2, 1, 1}, {1, 3, 2}, {1, 0.5, 4}};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) t.add(i, j, vals[i - 1][j - 1]);
  LuHarness h(3, 3, 200);
  ASSERT_EQ(h.factor(t), 0);
  EXPECT_EQ(h.iword(iw::kDense1Columns), 3);
  EXPECT_EQ(h.iword(iw::kDense2Columns), 3);
  EXPECT_EQ(h.iword(iw::kMeritSum), 0);
  expect_valid_factors(h, t);
}

TEST(LuFactor, PermutedIdentityIsUpperTriangularWithZeroMerit) {
  const int n = 25;
  std::vector<int> perm(n);
  std::iota(perm.begin(), perm.end(), 1);
  std::shuffle(perm.begin(), perm.end(), std::mt19937(3));
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) t.add(perm[j - 1], j, 1.0 + j);
  LuHarness h(n, n, generous_lena(t));
  ASSERT_EQ(h.factor(t), 0);
  EXPECT_EQ(h.iword(iw::kUpperTriPivots), n);
  EXPECT_EQ(h.iword(iw::kMeritSum), 0);
  EXPECT_EQ(h.iword(iw::kLenL), 0);
  EXPECT_EQ(h.iword(iw::kNumL0), 0);
  expect_valid_factors(h, t);
}

TEST(LuFactor, TriangularMatrixUsesOnlyTheTriangularPhases) {
  const int n = 30;
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) {
    t.add(j, j, 2.0);
    if (j < n) t.add(j + 1, j, 0.5);
  }
  LuHarness h(n, n, generous_lena(t));
  ASSERT_EQ(h.factor(t), 0);
  EXPECT_EQ(h.iword(iw::kUpperTriPivots) + h.iword(iw::kLowerTriPivots), n);
  expect_valid_factors(h, t);
}

TEST(LuFactor, AllEntriesBelowTheDropToleranceGiveRankZero) {
  Triples t;
  t.m = 4;
  t.n = 3;
  t.add(1, 1, 1e-20);
  t.add(3, 2, -1e-18);
  LuHarness h(4, 3, 100);
  EXPECT_EQ(h.factor(t), 1);
  EXPECT_EQ(h.iword(iw::kRank), 0);
  EXPECT_EQ(h.iword(iw::kNumSingular), 3);
  EXPECT_EQ(h.rword(rw::kDiagUmin), 0.0);
  EXPECT_EQ(h.rword(rw::kAmax), 0.0);
}

// Square matrices whose rank falls short by construction; the singular columns are reported.
TEST(LuFactor, RankDeficientColumnsAreReported) {
  const int n = 30;
  for (int seed = 1; seed <= 10; ++seed) {
    std::mt19937 rng(seed);
    Triples base = random_triples(n, n, 3.0, true, rng);
    const int zero_col = 1 + static_cast<int>(rng() % n);
    const int dup_from = 1 + static_cast<int>(rng() % n);
    int dup_to = 1 + static_cast<int>(rng() % n);
    while (dup_to == dup_from || dup_to == zero_col || dup_from == zero_col) {
      dup_to = 1 + static_cast<int>(rng() % n);
      if (dup_from == zero_col) break;
    }
    if (dup_from == zero_col) continue;
    Triples t;
    t.m = t.n = n;
    for (std::size_t k = 0; k < base.a.size(); ++k) {
      if (base.col[k] == zero_col || base.col[k] == dup_to) continue;
      t.add(base.row[k], base.col[k], base.a[k]);
      // A near copy: dependent within the relative singularity tolerance.
      if (base.col[k] == dup_from) t.add(base.row[k], dup_to, base.a[k] * (1 + 1e-15));
    }
    LuHarness h(n, n, generous_lena(t));
    ASSERT_EQ(h.factor(t), 1);
    expect_valid_factors(h, t);
    EXPECT_EQ(h.iword(iw::kRank) - (h.iword(iw::kNumSingular) - (n - h.iword(iw::kRank))), n - 2);
    EXPECT_LE(h.w[zero_col - 1], 0.0);
    int dependent = 0;
    for (int j = 1; j <= n; ++j) dependent += h.w[j - 1] <= 0.0 ? 1 : 0;
    EXPECT_EQ(dependent, h.iword(iw::kNumSingular));
    EXPECT_EQ(dependent, 2);
    EXPECT_LE(h.w[h.iword(iw::kLastSingular) - 1], 0.0);
  }
}

TEST(LuFactor, ZeroColumnOfASquareMatrixIsTheSingularColumn) {
  const int n = 12;
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) {
    if (j == 5) continue;
    t.add(j, j, 1.0 + j);
    if (j > 1) t.add(j - 1, j, 0.3);
  }
  LuHarness h(n, n, generous_lena(t));
  EXPECT_EQ(h.factor(t), 1);
  EXPECT_EQ(h.iword(iw::kRank), n - 1);
  EXPECT_EQ(h.iword(iw::kNumSingular), 1);
  EXPECT_EQ(h.iword(iw::kLastSingular), 5);
  EXPECT_LE(h.w[4], 0.0);
  expect_valid_factors(h, t);
}

// The same pivots and factors come out whether the files must be compressed or not (the dense
// finish, whose start depends on the room, is switched off here).
TEST(LuFactor, TightStorageCompressesAndGivesTheSameFactors) {
  auto sparse_only = [](LuHarness& h) {
    h.parmlu[rw::kDensity1 - 1] = 2.0;
    h.parmlu[rw::kDensity2 - 1] = 2.0;
  };
  int compressed_cases = 0;
  for (int seed = 1; seed <= 8; ++seed) {
    std::mt19937 rng(seed * 31);
    const int n = 60 + seed * 5;
    const Triples t = random_triples(n, n, 4.0, true, rng);
    LuHarness wide(n, n, generous_lena(t));
    sparse_only(wide);
    ASSERT_EQ(wide.factor(t), 0);
    const int minlen = wide.iword(iw::kMinLength);
    EXPECT_EQ(minlen, wide.iword(iw::kLenL) + wide.iword(iw::kLenU) + 4 * n);
    // Shrink lena until the factorisation runs out of room; every success must match.
    for (int lena = minlen + minlen / 2; lena >= static_cast<int>(t.a.size()) + 4 * n;
         lena -= std::max(1, minlen / 40)) {
      LuHarness tight(n, n, lena);
      sparse_only(tight);
      const int inform = tight.factor(t);
      if (inform == 7) {
        EXPECT_GT(tight.iword(iw::kMinLength), lena);
        break;
      }
      ASSERT_EQ(inform, 0);
      EXPECT_EQ(tight.ip, wide.ip);
      EXPECT_EQ(tight.iq, wide.iq);
      EXPECT_EQ(tight.iword(iw::kLenL), wide.iword(iw::kLenL));
      EXPECT_EQ(tight.iword(iw::kLenU), wide.iword(iw::kLenU));
      if (tight.iword(iw::kCompressions) > wide.iword(iw::kCompressions)) ++compressed_cases;
      expect_valid_factors(tight, t);
    }
  }
  EXPECT_GT(compressed_cases, 0);
}

TEST(LuFactor, StorageCheckBeforeTheStart) {
  std::mt19937 rng(5);
  const Triples t = random_triples(10, 8, 2.0, true, rng);
  const int need = static_cast<int>(t.a.size()) + 2 * (10 + 8);
  LuHarness short_one(10, 8, need - 1);
  EXPECT_EQ(short_one.factor(t), 7);
  EXPECT_EQ(short_one.iword(iw::kMinLength), need);
  EXPECT_EQ(short_one.iword(iw::kInform), 7);
  EXPECT_EQ(short_one.iword(iw::kNumL0), 0);
  EXPECT_EQ(short_one.iword(iw::kRowFileEnd), 0);
  LuHarness exact(10, 8, need);
  EXPECT_NE(exact.factor(t), 7) << "lena = NumElems + 2(m+n) passes the first check";
}

TEST(LuFactor, IllegalIndexAndDuplicateEntry) {
  Triples t;
  t.m = 3;
  t.n = 3;
  t.add(1, 1, 1.0);
  t.add(4, 2, 1.0);
  t.add(3, 3, 1.0);
  LuHarness h(3, 3, 100);
  EXPECT_EQ(h.factor(t), 3);
  EXPECT_EQ(h.iword(iw::kInform), 3);

  Triples d;
  d.m = d.n = 3;
  d.add(1, 1, 1.0);
  d.add(2, 2, 1.0);
  d.add(1, 1, 2.0);
  LuHarness hd(3, 3, 100);
  EXPECT_EQ(hd.factor(d), 4);
  int nelem_after = static_cast<int>(d.a.size());
  EXPECT_EQ(nelem_after, 3);
}

TEST(LuFactor, WithoutKeptFactorsOnlyTheDiagonalIsStored) {
  std::mt19937 rng(11);
  const int n = 50;
  const Triples t = random_triples(n, n, 3.0, true, rng);
  LuHarness kept(n, n, generous_lena(t));
  ASSERT_EQ(kept.factor(t), 0);
  LuHarness diag_only(n, n, generous_lena(t));
  diag_only.luparm[iw::kKeepFactors - 1] = 0;
  ASSERT_EQ(diag_only.factor(t), 0);
  EXPECT_EQ(diag_only.iword(iw::kRank), n);
  EXPECT_EQ(diag_only.iword(iw::kNumL0), 0);
  EXPECT_EQ(diag_only.iword(iw::kRowFileEnd), 0);
  EXPECT_EQ(diag_only.iq, kept.iq);
  for (int k = 1; k <= n; ++k) {
    const int j = kept.iq[k - 1];
    const double d = kept.a[kept.locr[kept.ip[k - 1] - 1] - 1];
    EXPECT_DOUBLE_EQ(diag_only.a[diag_only.lena() - n + j - 1], d);
  }
}

TEST(LuFactor, GridLaplacianFactorsWithModestFill) {
  const Triples t = grid_laplacian(12);
  LuHarness h(t.m, t.n, generous_lena(t));
  ASSERT_EQ(h.factor(t), 0);
  expect_valid_factors(h, t);
  EXPECT_LT(h.iword(iw::kLenL) + h.iword(iw::kLenU), 12 * static_cast<int>(t.a.size()));
}

// Column singletons whose rows all hold entries of a few full columns: the triangular phase
// must find each pivot row in the long columns without searching them (a search per pivot
// made the phase quadratic).
TEST(LuFactor, LongColumnsInTheTriangularPhase) {
  const int n = 1500;
  const std::vector<int> full{n / 2, n / 3, n - 7};
  Triples t;
  t.m = t.n = n;
  for (int j = 1; j <= n; ++j) {
    if (std::find(full.begin(), full.end(), j) == full.end()) {
      t.add(j, j, 2.0 + (j % 5));
      continue;
    }
    for (int i = 1; i <= n; ++i) t.add(i, j, i == j ? 8.0 : 0.25 + 1e-3 * ((i * j) % 97));
  }
  for (const int keep : {1, 0}) {
    LuHarness h(n, n, 2 * static_cast<int>(t.a.size()) + 10 * n);
    h.luparm[iw::kKeepFactors - 1] = keep;
    ASSERT_EQ(h.factor(t), 0);
    EXPECT_EQ(h.iword(iw::kUpperTriPivots), n - static_cast<int>(full.size()));
    EXPECT_EQ(h.iword(iw::kLenL) + h.iword(iw::kLenU), static_cast<int>(t.a.size())) << keep;
    if (keep == 1) {
      EXPECT_LT(solve_residual(h, t), 1e-13);
      continue;
    }
    for (int j = 1; j <= n; ++j) {
      if (std::find(full.begin(), full.end(), j) != full.end()) continue;
      EXPECT_EQ(h.a[h.lena() - n + j - 1], 2.0 + (j % 5)) << j;
    }
  }
}

// Near a full file a compression that recovers too little room ends the factorisation with
// inform 7 instead of compressing at almost every step; the length it asks for is enough for
// the same factors.
TEST(LuFactor, StorageShortageAsksForEnoughRoom) {
  int shortages = 0;
  for (int seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed * 17);
    const int n = 150 + 20 * seed;
    const Triples t = random_banded(n, 4.0, 12, rng);
    auto sparse_only = [](LuHarness& h) {
      h.parmlu[rw::kDensity1 - 1] = 2.0;
      h.parmlu[rw::kDensity2 - 1] = 2.0;
    };
    LuHarness wide(n, n, generous_lena(t));
    sparse_only(wide);
    ASSERT_EQ(wide.factor(t), 0);
    const int minlen = wide.iword(iw::kMinLength);
    for (int lena = minlen; lena >= static_cast<int>(t.a.size()) + 4 * n; lena -= minlen / 50) {
      LuHarness tight(n, n, lena);
      sparse_only(tight);
      const int inform = tight.factor(t);
      if (inform != 7) {
        ASSERT_EQ(inform, 0);
        EXPECT_EQ(tight.iq, wide.iq);
        continue;
      }
      ++shortages;
      const int asked = tight.iword(iw::kMinLength);
      ASSERT_GT(asked, lena);
      LuHarness retry(n, n, asked);
      sparse_only(retry);
      ASSERT_EQ(retry.factor(t), 0) << "seed " << seed << " lena " << lena;
      EXPECT_EQ(retry.ip, wide.ip);
      EXPECT_EQ(retry.iq, wide.iq);
      break;
    }
  }
  EXPECT_GT(shortages, 0);
}

// A NaN or infinite entry spreads NaNs through the elimination.  A NaN product is no fill (its
// magnitude is not above small): fill counted that way but written as it came wrote past the
// room made for it and corrupted the files.  The factors must keep their layout.
TEST(LuFactor, NonFiniteEntriesKeepTheFileLayout) {
  const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(), 1e300};
  for (int seed = 1; seed <= 12; ++seed) {
    std::mt19937 rng(seed * 7);
    const int n = 30 + 10 * (seed % 4);
    Triples t = random_triples(n, n, 4.0, true, rng);
    for (int q = 0; q < 3; ++q) t.a[rng() % t.a.size()] = bad[(seed + q) % 3];
    for (const double dens : {0.3, 2.0}) {
      LuHarness h(n, n, generous_lena(t));
      h.parmlu[rw::kDensity1 - 1] = dens;
      h.parmlu[rw::kDensity2 - 1] = 2 * dens;
      const int inform = h.factor(t);
      ASSERT_TRUE(inform == 0 || inform == 1) << "seed " << seed << " inform " << inform;
      ASSERT_TRUE(is_permutation(h.ip, n));
      ASSERT_TRUE(is_permutation(h.iq, n));
      int len_u = 0;
      for (int k = 1; k <= h.iword(iw::kRank); ++k) len_u += h.lenr[h.ip[k - 1] - 1];
      EXPECT_EQ(len_u, h.iword(iw::kLenU));
      int len_l = 0;
      for (int k = 1; k <= h.iword(iw::kNumL0); ++k) len_l += h.lenc[k - 1];
      EXPECT_EQ(len_l, h.iword(iw::kLenL));
      for (int p = h.lena() - len_l + 1; p <= h.lena(); ++p) {
        ASSERT_GE(h.indc[p - 1], 1);
        ASSERT_LE(h.indc[p - 1], n);
      }
    }
  }
}

}  // namespace
}  // namespace zun::lu_test
