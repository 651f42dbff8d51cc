// Householder reflections and the QR factorisations: identities of a reflection, AP = QR with
// and without interchanges, the blocked and unblocked forms, and the diagonal measures.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/kit_internal.h"
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

TEST(GenerateReflection, AnnihilatesTheTailWithUnitLengthVector) {
  std::mt19937 rng(31);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n = 1; n <= 8; ++n) {
    for (int incx : {1, 3}) {
      for (double scale : {1.0, 1e-200, 1e200}) {
        for (bool zero_alpha : {false, true}) {
          const double alpha0 = zero_alpha ? 0.0 : scale * u(rng);
          std::vector<double> x0(n);
          for (double& v : x0) v = scale * u(rng);
          std::vector<double> x(static_cast<std::size_t>(n) * incx, 5.0);
          for (int i = 0; i < n; ++i) x[i * incx] = x0[i];
          double alpha = alpha0;
          double zeta = -1.0;
          generate_reflection(n, alpha, x.data(), incx, 0.0, zeta);
          ASSERT_GT(zeta, 0.0);
          // u = (zeta, z), u'u = 2, and P (alpha0, x0) = (beta, 0) with beta = alpha.
          double utu = zeta * zeta;
          double utv = zeta * alpha0 / scale;
          for (int i = 0; i < n; ++i) {
            utu += x[i * incx] * x[i * incx];
            utv += x[i * incx] * x0[i] / scale;
          }
          EXPECT_NEAR(utu, 2.0, 1e-14);
          EXPECT_NEAR(alpha0 / scale - utv * zeta, alpha / scale, 1e-14);
          for (int i = 0; i < n; ++i) EXPECT_NEAR(x0[i] / scale - utv * x[i * incx], 0.0, 1e-14);
          double norm = (alpha0 / scale) * (alpha0 / scale);
          for (double v : x0) norm += (v / scale) * (v / scale);
          EXPECT_NEAR(std::fabs(alpha / scale), std::sqrt(norm), 1e-14);
          if (incx > 1) {
            EXPECT_EQ(x[1], 5.0);  // the gaps of the stride are untouched
          }
        }
      }
    }
  }
}

TEST(GenerateReflection, NegligibleTailGivesTheIdentity) {
  std::vector<double> x = {0.0, 0.0, 0.0};
  double alpha = -2.5;
  double zeta = 9.0;
  generate_reflection(3, alpha, x.data(), 1, 0.0, zeta);
  EXPECT_EQ(zeta, 0.0);
  EXPECT_EQ(alpha, -2.5);
  x = {1e-3, -2e-3};
  generate_reflection(2, alpha, x.data(), 1, 1e-2, zeta);
  EXPECT_EQ(zeta, 0.0);
  EXPECT_EQ(x[0], 1e-3);
  generate_reflection(0, alpha, x.data(), 1, 0.0, zeta);
  EXPECT_EQ(zeta, 0.0);
}

// Q (m x m) of the reflections held in the first n columns of a.
Dense form_q(const Dense& a, int n, const std::vector<double>& zeta, const char* where) {
  const int m = a.rows;
  Dense q = identity(m);
  std::vector<double> work(m);
  apply_qr_reflections("No transpose", where, m, n, m, a.v.data(), a.ld(), zeta.data(), q.data(),
                       q.ld(), work.data(), 12, 8);
  return q;
}

// The columns of a interchanged as recorded by perm (column k with perm(k), in order).
Dense permute_columns(Dense a, const std::vector<int>& perm, int steps) {
  for (int k = 1; k <= steps; ++k) {
    for (int i = 1; i <= a.rows; ++i) std::swap(a(i, k), a(i, perm[k - 1]));
  }
  return a;
}

// A random m x n matrix of rank r (r <= min(m, n)) with columns of very different sizes.
Dense random_of_rank(int m, int n, int r, std::mt19937& rng) {
  Dense a = multiply(dense_test::random_matrix(m, r, rng), dense_test::random_matrix(r, n, rng));
  for (int j = 1; j <= n; ++j) {
    const double col_scale = std::pow(10.0, static_cast<int>(rng() % 5) - 2);
    for (int i = 1; i <= m; ++i) a(i, j) *= col_scale;
  }
  return a;
}

class FactorQrCoreTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FactorQrCoreTest, PermutedMatrixEqualsQR) {
  const bool largest = GetParam()[0] == 'C';
  std::mt19937 rng(41);
  for (int trial = 0; trial < 60; ++trial) {
    const int m = 1 + static_cast<int>(rng() % 12);
    const int n = 1 + static_cast<int>(rng() % 12);
    const int steps = std::min(m, n);
    const int rank = (trial % 2 == 0) ? steps : 1 + static_cast<int>(rng() % steps);
    const Dense a0 = random_of_rank(m, n, rank, rng);
    Dense a = a0;
    std::vector<double> zeta(n, -1.0);
    std::vector<int> perm(n, 0);
    std::vector<double> work(2 * n);
    factor_qr_core(GetParam().c_str(), m, n, a.data(), a.ld(), zeta.data(), perm.data(),
                   work.data(), static_cast<int>(GetParam().size()));
    const Dense q = form_q(a, n, zeta, "Separate");
    Dense r = upper_part(a);
    EXPECT_LT(max_abs_diff(multiply(transpose(q), q), identity(m)), 1e-14 * (m + 1));
    const Dense ap = permute_columns(a0, perm, steps);
    EXPECT_LT(max_abs_diff(multiply(q, r), ap), 1e-14 * (m + n) * (1.0 + frobenius(a0)))
        << m << "x" << n << " rank " << rank;
    for (int j = steps + 1; j <= n; ++j) EXPECT_EQ(zeta[j - 1], 0.0);
    if (largest) {
      const int found = count_leading_significant(steps, a.data(), a.ld() + 1, 1e-9);
      EXPECT_EQ(found, rank) << m << "x" << n;
      for (int k = 1; k < found; ++k) {
        EXPECT_LE(std::fabs(r(k + 1, k + 1)), std::fabs(r(k, k)) * (1.0 + 1e-12));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothPivotRules,
                         FactorQrCoreTest,
                         ::testing::Values("Column interchanges", "column", "Relative norms"));

TEST(FactorQrCore, RelativeRuleSkipsZeroColumnsWithoutDividing) {
  // Column 1 is zero: step 1 takes the first nonzero column, and the zero column is never
  // chosen by the ratio test while another column remains.
  Dense a(4, 3);
  for (int i = 1; i <= 4; ++i) {
    a(i, 2) = i;
    a(i, 3) = (i % 2 == 0) ? 1.0 : -1.0;
  }
  std::vector<double> zeta(3);
  std::vector<int> perm(3);
  std::vector<double> work(6);
  factor_qr_core("R", 4, 3, a.data(), a.ld(), zeta.data(), perm.data(), work.data(), 1);
  EXPECT_EQ(perm[0], 2);
  EXPECT_EQ(perm[1], 3);
  EXPECT_EQ(perm[2], 3);
  for (double v : a.v) EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(a(3, 3), 0.0);
}

TEST(FactorQr, BlockedAndUnblockedGiveTheSameRAndValidReflections) {
  std::mt19937 rng(43);
  const int sizes[][2] = {{1, 1}, {5, 3}, {3, 5}, {7, 7}, {12, 4}, {150, 140}, {40, 90}};
  for (const auto& mn : sizes) {
    const int m = mn[0];
    const int n = mn[1];
    const Dense a0 = dense_test::random_matrix(m, n, rng);
    Dense blocked = a0;
    Dense unblocked = a0;
    Dense entry = a0;
    std::vector<double> zb(n);
    std::vector<double> zu(n);
    std::vector<double> ze(n);
    ASSERT_TRUE(dense_kit::factor_qr_blocked(m, n, blocked.data(), blocked.ld(), zb.data()));
    dense_kit::factor_qr_unblocked(m, n, unblocked.data(), unblocked.ld(), zu.data());
    factor_qr(m, n, entry.data(), entry.ld(), ze.data());
    EXPECT_EQ(max_abs_diff(entry, blocked), 0.0);
    const double tol = 1e-13 * (m + n) * (1.0 + frobenius(a0));
    for (int i = 1; i <= std::min(m, n); ++i) {
      const double sign = (blocked(i, i) * unblocked(i, i) < 0.0) ? -1.0 : 1.0;
      for (int j = i; j <= n; ++j) EXPECT_NEAR(blocked(i, j), sign * unblocked(i, j), tol);
    }
    for (const auto& [f, z] : {std::pair{blocked, zb}, std::pair{unblocked, zu}}) {
      const Dense q = form_q(f, n, z, "S");
      EXPECT_LT(max_abs_diff(multiply(q, upper_part(f)), a0), tol) << m << "x" << n;
      // Q'A = R.
      Dense qta = a0;
      std::vector<double> work(n);
      apply_qr_reflections("Transpose", "Separate", m, n, n, f.v.data(), f.ld(), z.data(),
                           qta.data(), qta.ld(), work.data(), 9, 8);
      EXPECT_LT(max_abs_diff(qta, upper_part(f)), tol);
      // The scalar factors may also be held on the diagonal.
      Dense on_diagonal = f;
      for (int k = 1; k <= std::min(m, n); ++k) on_diagonal(k, k) = z[k - 1];
      EXPECT_LT(max_abs_diff(form_q(on_diagonal, n, z, "In A"), q), 1e-15);
    }
  }
}

TEST(CountLeadingSignificant, CountsWhileAboveTheRelativeTolerance) {
  const struct {
    std::vector<double> x;
    int incx;
    double tol;
    int expected;
  } cases[] = {
      {{1.0, 0.5, 1e-20, 3.0}, 1, -1.0, 2},  // tol < 0: the machine precision
      {{1.0, 0.5, 1e-20, 3.0}, 1, 1e-25, 4},
      {{2.0, -4.0, 1e-3, 1.0}, 1, 1e-2, 2},  // relative to the largest so far (4)
      {{0.0, 1.0, 1.0}, 1, 1e-3, 0},
      {{3.0, 9.0, 1e-30, 9.0}, 2, 1e-6, 1},  // elements 3, 1e-30
      {{1e-30, 5.0, 2.0}, -1, 1e-6, 2},      // backwards: 2, 5, 1e-30
      {{}, 1, 0.0, 0},
  };
  for (const auto& c : cases) {
    const int n = c.incx == 2 ? 2 : static_cast<int>(c.x.size());
    EXPECT_EQ(count_leading_significant(n, c.x.data(), c.incx, c.tol), c.expected);
  }
}

TEST(AbsRange, LargestAndSmallestMagnitude) {
  const std::vector<double> x = {3.0, -7.0, 0.5, -0.25};
  double big = 0.0;
  double small = 0.0;
  abs_range(4, x.data(), 1, big, small);
  EXPECT_EQ(big, 7.0);
  EXPECT_EQ(small, 0.25);
  abs_range(2, x.data(), 2, big, small);
  EXPECT_EQ(big, 3.0);
  EXPECT_EQ(small, 0.5);
  abs_range(0, x.data(), 1, big, small);
  EXPECT_EQ(big, 0.0);
  EXPECT_EQ(small, 0.0);
}

}  // namespace
}  // namespace zun
