// Upkeep of the triangular factor R checked through R'R: column interchanges, rank-one changes
// and the refactorisation with column interchanges.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/qp_shared_words.h"
#include "tests/dense_qp/dense_test_util.h"

namespace zun {
namespace {

using dense_test::Dense;
using dense_test::frobenius;
using dense_test::identity;
using dense_test::max_abs_diff;
using dense_test::max_below_diagonal;
using dense_test::multiply;
using dense_test::transpose;
using dense_test::upper_part;

Dense gram(const Dense& r) { return multiply(transpose(r), r); }

// A random upper triangle with junk below the diagonal, which must never be read.
Dense triangle_with_junk(int n, std::mt19937& rng) {
  Dense r = dense_test::random_upper(n, rng);
  for (int j = 1; j <= n; ++j) {
    for (int i = j + 1; i <= n; ++i) r(i, j) = -1e30;
  }
  return r;
}

TEST(InterchangeRColumns, KeepsRTriangularAndRtRPermuted) {
  std::mt19937 rng(51);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 2 + static_cast<int>(rng() % 10);
    const int j1 = 1 + static_cast<int>(rng() % n);
    int j2 = 1 + static_cast<int>(rng() % n);
    if (j2 == j1) j2 = (j1 % n) + 1;
    Dense r = triangle_with_junk(n, rng);
    const Dense r0 = upper_part(r);
    Dense q = identity(n);  // the companion collects the row rotations
    interchange_r_columns(n, j1, j2, n, n, n, r.data(), q.data());
    Dense swapped = r0;
    for (int i = 1; i <= n; ++i) std::swap(swapped(i, j1), swapped(i, j2));
    const Dense r1 = upper_part(r);
    const double tol = 1e-13 * n;
    EXPECT_LT(max_abs_diff(gram(r1), gram(swapped)), tol) << n << " " << j1 << " " << j2;
    EXPECT_LT(max_abs_diff(multiply(q, swapped), r1), tol);
    EXPECT_LT(max_abs_diff(multiply(transpose(q), q), identity(n)), tol);
  }
}

TEST(ApplyRankOneUpdate, GivesTheTriangularFactorOfTheChangedMatrix) {
  std::mt19937 rng(53);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 10);
    const int nu = 1 + static_cast<int>(rng() % n);
    Dense r = triangle_with_junk(n, rng);
    const Dense u = dense_test::random_matrix(nu, 1, rng);
    const Dense v = dense_test::random_matrix(n, 1, rng);
    Dense changed = upper_part(r);
    for (int i = 1; i <= nu; ++i) {
      for (int j = 1; j <= n; ++j) changed(i, j) += u(i, 1) * v(j, 1);
    }
    const Dense u_before = u;
    Dense q = identity(n);
    apply_rank_one_update(n, nu, n, n, n, r.data(), u.v.data(), v.v.data(), q.data());
    const Dense r1 = upper_part(r);
    const double tol = 1e-13 * n;
    EXPECT_LT(max_abs_diff(gram(r1), gram(changed)), tol) << n << " " << nu;
    EXPECT_LT(max_abs_diff(multiply(q, changed), r1), tol);
    EXPECT_EQ(max_abs_diff(u, u_before), 0.0);
  }
}

TEST(ApplyRankOneUpdate, UsesEveryComponentOfUItIsGiven) {
  // Only the last of the n components of u is nonzero: the change must reach row n even
  // when the caller's notion of rank is smaller.
  const int n = 4;
  Dense r = identity(n);
  r(4, 4) = 1e-3;
  std::vector<double> u = {0.0, 0.0, 0.0, 2.0};
  std::vector<double> v = {1.0, 1.0, 1.0, 1.0};
  apply_rank_one_update(n, n, n, 0, n, r.data(), u.data(), v.data(), nullptr);
  Dense changed = identity(n);
  changed(4, 4) = 1e-3;
  for (int j = 1; j <= n; ++j) changed(4, j) += 2.0;
  EXPECT_LT(max_abs_diff(gram(upper_part(r)), gram(changed)), 1e-13);
}

TEST(ApplyRankOneUpdate, ComponentsBeyondTheOrderOfRHaveNoRow) {
  // A u longer than R has rows changes R as its first n components do.
  std::mt19937 rng(57);
  const int n = 5;
  const Dense r0 = dense_test::random_upper(n, rng);
  const Dense u = dense_test::random_matrix(n + 2, 1, rng);
  const Dense v = dense_test::random_matrix(n, 1, rng);
  Dense longer = r0;
  Dense exact = r0;
  apply_rank_one_update(n, n + 2, n, 0, n, longer.data(), u.v.data(), v.v.data(), nullptr);
  apply_rank_one_update(n, n, n, 0, n, exact.data(), u.v.data(), v.v.data(), nullptr);
  EXPECT_EQ(max_abs_diff(upper_part(longer), upper_part(exact)), 0.0);
  EXPECT_GT(max_abs_diff(upper_part(longer), r0), 0.1);
}

struct RefactorResult {
  Dense r;
  std::vector<int> kx;
  std::vector<double> companion;
  Dense q;
  int rank = -1;
  std::vector<double> rshared;
};

RefactorResult refactor(const Dense& r0, int nfree, bool unitq, double root_cond) {
  const int n = r0.rows;
  RefactorResult out;
  out.r = r0;
  out.kx.resize(n);
  std::iota(out.kx.begin(), out.kx.end(), 1);
  out.companion.assign(out.kx.begin(), out.kx.end());
  out.q = identity(std::max(nfree, 1));
  out.rshared.assign(475, 0.0);
  out.rshared[qp_words::kRootConditionLimit - 1] = root_cond;
  std::vector<int> iwork(std::max(nfree, 1));
  std::vector<double> work(3 * std::max(nfree, 1));
  const Logical flag = unitq ? kTrue : kFalse;
  refactor_r_with_interchanges(flag, n, nfree, out.q.ld(), n, out.rank, out.kx.data(),
                               out.companion.data(), out.r.data(), out.q.data(), iwork.data(),
                               work.data(), out.rshared.data());
  return out;
}

TEST(RefactorRWithInterchanges, DiagonalWithAZeroEntryLosesOneRank) {
  const int n = 5;
  Dense r0(n, n);
  const double diag[] = {3.0, 0.0, -2.0, 1.0, 4.0};
  for (int i = 1; i <= n; ++i) r0(i, i) = diag[i - 1];
  const double root_cond = 1e6;
  const RefactorResult res = refactor(r0, n, true, root_cond);
  EXPECT_EQ(res.rank, n - 1);
  EXPECT_EQ(res.kx[n - 1], 2);  // the zero column goes last
  EXPECT_DOUBLE_EQ(std::fabs(res.r(1, 1)), 4.0);
  EXPECT_DOUBLE_EQ(res.r(n, n), 4.0 / root_cond);
  for (int i = 1; i < n; ++i) EXPECT_EQ(res.r(i, n), 0.0);
  for (int i = 1; i <= n; ++i) EXPECT_EQ(res.companion[i - 1], res.kx[i - 1]);
}

TEST(RefactorRWithInterchanges, KeepsRtROfTheFreeBlockAndSetsTheFixedDiagonal) {
  std::mt19937 rng(59);
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 2 + static_cast<int>(rng() % 9);
    const int nfree = 2 + static_cast<int>(rng() % (n - 1));
    const bool unitq = trial % 2 == 0;
    const Dense r0 = triangle_with_junk(n, rng);
    const RefactorResult res = refactor(r0, nfree, unitq, 1e8);
    ASSERT_EQ(res.rank, nfree);
    // The free block of the old R with its columns in the new order (VarOrder or Q).
    Dense block(nfree, nfree);
    for (int j = 1; j <= nfree; ++j) {
      for (int i = 1; i <= std::min(j, nfree); ++i) block(i, j) = r0(i, j);
    }
    Dense moved(nfree, nfree);
    if (unitq) {
      for (int j = 1; j <= nfree; ++j) {
        for (int i = 1; i <= nfree; ++i) moved(i, j) = block(i, res.kx[j - 1]);
      }
      for (int i = 1; i <= n; ++i) EXPECT_EQ(res.companion[i - 1], res.kx[i - 1]);
    } else {
      moved = multiply(block, res.q);
      for (int i = 1; i <= n; ++i) EXPECT_EQ(res.kx[i - 1], i);
    }
    Dense fresh(nfree, nfree);
    for (int j = 1; j <= nfree; ++j) {
      for (int i = 1; i <= j; ++i) fresh(i, j) = res.r(i, j);
    }
    EXPECT_LT(max_abs_diff(gram(fresh), gram(moved)), 1e-12 * n) << n << " " << nfree;
    EXPECT_LT(max_below_diagonal(fresh), 1e-300);
    const double fixed = 0.5 * std::sqrt(std::fabs(res.r(1, 1) * res.r(nfree, nfree)));
    for (int j = nfree + 1; j <= n; ++j) {
      EXPECT_DOUBLE_EQ(res.r(j, j), fixed);
      for (int i = 1; i < j; ++i) EXPECT_EQ(res.r(i, j), 0.0);
    }
    EXPECT_NEAR(res.rshared[qp_words::kRFrobeniusNorm - 1], frobenius(upper_part(res.r)),
                1e-12 * n);
  }
}

TEST(RefactorRWithInterchanges, RankDeficientAndEmptyFreeSets) {
  std::mt19937 rng(61);
  const int n = 6;
  // R'R of rank 3: R is the triangular factor of a rank-3 matrix.
  Dense a = multiply(dense_test::random_matrix(n, 3, rng), dense_test::random_matrix(3, n, rng));
  Dense r0 = upper_part(a);
  for (int i = 4; i <= n; ++i) {
    for (int j = i; j <= n; ++j) r0(i, j) = 0.0;
  }
  const RefactorResult res = refactor(r0, n, true, 1e6);
  EXPECT_EQ(res.rank, 3);
  for (int j = 4; j <= n; ++j) EXPECT_DOUBLE_EQ(res.r(j, j), std::fabs(res.r(1, 1)) / 1e6);

  const RefactorResult none = refactor(triangle_with_junk(n, rng), 0, true, 1e6);
  EXPECT_EQ(none.rank, 0);
  for (int j = 1; j <= n; ++j) EXPECT_EQ(none.r(j, j), 1.0);
  EXPECT_DOUBLE_EQ(none.rshared[qp_words::kRFrobeniusNorm - 1], std::sqrt(static_cast<double>(n)));
}

}  // namespace
}  // namespace zun
