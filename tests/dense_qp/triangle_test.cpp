// Rotations on triangular and reverse-triangular factors against explicit products.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "tests/dense_qp/dense_test_util.h"

namespace zun {
namespace {

using dense_test::apply_explicitly;
using dense_test::Dense;
using dense_test::max_abs_diff;
using dense_test::max_below_diagonal;
using dense_test::upper_part;

constexpr double kTol = 1e-12;

// The upper triangle of a with s(j) placed at (j+1, j), j = k1..k2-1.
Dense with_subdiagonal(const Dense& a, const std::vector<double>& s, int k1, int k2) {
  Dense h = upper_part(a);
  for (int j = k1; j < k2; ++j) h(j + 1, j) = s[j - 1];
  return h;
}

// The upper triangle of a with s(k) placed at (k2, k), k = k1..k2-1.
Dense with_row_spike(const Dense& a, const std::vector<double>& s, int k1, int k2) {
  Dense h = upper_part(a);
  for (int k = k1; k < k2; ++k) h(k2, k) = s[k - 1];
  return h;
}

// A seeded random case: order n, planes k1 < k2 <= n, a triangle and rotations.
struct TriangleCase {
  int n;
  int k1;
  int k2;
  Dense u;
  std::vector<double> c;
  std::vector<double> s;
};

TriangleCase random_case(std::mt19937& rng) {
  TriangleCase tc;
  tc.n = 2 + static_cast<int>(rng() % 9);
  tc.k1 = 1 + static_cast<int>(rng() % (tc.n - 1));
  tc.k2 = tc.k1 + 1 + static_cast<int>(rng() % (tc.n - tc.k1));
  tc.u = dense_test::random_upper(tc.n, rng);
  // Junk below the diagonal must never be read.
  for (int j = 1; j <= tc.n; ++j) {
    for (int i = j + 1; i <= tc.n; ++i) tc.u(i, j) = 1e30;
  }
  dense_test::random_rotations(tc.n, rng, tc.c, tc.s);
  return tc;
}

class TriangleSideTest : public ::testing::TestWithParam<std::string> {
 protected:
  char side() const { return static_cast<char>(std::toupper(GetParam()[0])); }
  const char* word() const { return GetParam().c_str(); }
  int len() const { return static_cast<int>(GetParam().size()); }
};

TEST_P(TriangleSideTest, ApplyRotationsToTriangleLeavesTheSubdiagonalInS) {
  std::mt19937 rng(101);
  for (int trial = 0; trial < 40; ++trial) {
    TriangleCase tc = random_case(rng);
    const Dense expected =
        side() == 'L' ? apply_explicitly('L', 'V', 'B', tc.k1, tc.k2, tc.c, tc.s, upper_part(tc.u))
                      : apply_explicitly('R', 'V', 'F', tc.k1, tc.k2, tc.c, tc.s, upper_part(tc.u));
    apply_rotations_to_triangle(word(), tc.n, tc.k1, tc.k2, tc.c.data(), tc.s.data(), tc.u.data(),
                                tc.n, len());
    EXPECT_LT(max_abs_diff(with_subdiagonal(tc.u, tc.s, tc.k1, tc.k2), expected), kTol);
  }
}

TEST_P(TriangleSideTest, RestoreTriangleUndoesTheHessenbergForm) {
  std::mt19937 rng(202);
  for (int trial = 0; trial < 40; ++trial) {
    TriangleCase tc = random_case(rng);
    const Dense h = with_subdiagonal(tc.u, tc.s, tc.k1, tc.k2);
    restore_triangle(word(), tc.n, tc.k1, tc.k2, tc.c.data(), tc.s.data(), tc.u.data(), tc.n,
                     len());
    const Dense expected = side() == 'L'
                               ? apply_explicitly('L', 'V', 'F', tc.k1, tc.k2, tc.c, tc.s, h)
                               : apply_explicitly('R', 'V', 'B', tc.k1, tc.k2, tc.c, tc.s, h);
    EXPECT_LT(max_below_diagonal(expected), kTol);
    EXPECT_LT(max_abs_diff(upper_part(tc.u), upper_part(expected)), kTol);
  }
}

TEST_P(TriangleSideTest, ShiftTriangleCyclicallyPermutesRowsOrColumns) {
  std::mt19937 rng(303);
  for (int trial = 0; trial < 40; ++trial) {
    TriangleCase tc = random_case(rng);
    const Dense original = upper_part(tc.u);
    Dense expected(tc.n, tc.n);
    for (int i = 1; i <= tc.n; ++i) {
      for (int j = 1; j <= tc.n; ++j) {
        int from_i = i;
        int from_j = j;
        if (side() == 'R' && j >= tc.k1 && j <= tc.k2) from_j = (j == tc.k2) ? tc.k1 : j + 1;
        if (side() == 'L' && i >= tc.k1 && i <= tc.k2) from_i = (i == tc.k1) ? tc.k2 : i - 1;
        expected(i, j) = original(from_i, from_j);
      }
    }
    shift_triangle_cyclically(word(), tc.n, tc.k1, tc.k2, tc.s.data(), tc.u.data(), tc.n, len());
    EXPECT_EQ(max_abs_diff(with_subdiagonal(tc.u, tc.s, tc.k1, tc.k2), expected), 0.0);
  }
}

TEST_P(TriangleSideTest, RetriangulateSpikeKeepsTheTriangle) {
  std::mt19937 rng(404);
  for (int trial = 0; trial < 40; ++trial) {
    TriangleCase tc = random_case(rng);
    const std::vector<double> c_given = tc.c;
    const std::vector<double> s_given = tc.s;
    const Dense original = upper_part(tc.u);
    retriangulate_spike(word(), tc.n, tc.k1, tc.k2, tc.c.data(), tc.s.data(), tc.u.data(), tc.n,
                        len());
    const char other = side() == 'L' ? 'R' : 'L';
    const Dense once = apply_explicitly(side(), 'V', 'B', tc.k1, tc.k2, c_given, s_given, original);
    const Dense expected = apply_explicitly(other, 'V', 'B', tc.k1, tc.k2, tc.c, tc.s, once);
    EXPECT_LT(max_below_diagonal(expected), kTol);
    EXPECT_LT(max_abs_diff(upper_part(tc.u), upper_part(expected)), kTol);
  }
}

INSTANTIATE_TEST_SUITE_P(BothSides, TriangleSideTest, ::testing::Values("Left", "right"));

TEST(RowSpike, CreateThenRemoveMatchBottomPivotRotations) {
  std::mt19937 rng(505);
  for (int trial = 0; trial < 40; ++trial) {
    TriangleCase tc = random_case(rng);
    const Dense expected =
        apply_explicitly('L', 'B', 'B', tc.k1, tc.k2, tc.c, tc.s, upper_part(tc.u));
    create_row_spike("Left", tc.n, tc.k1, tc.k2, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 4);
    const Dense spiked = with_row_spike(tc.u, tc.s, tc.k1, tc.k2);
    EXPECT_LT(max_abs_diff(spiked, expected), kTol);

    remove_row_spike("L", tc.n, tc.k1, tc.k2, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
    const Dense restored = apply_explicitly('L', 'B', 'F', tc.k1, tc.k2, tc.c, tc.s, spiked);
    EXPECT_LT(max_below_diagonal(restored), kTol);
    EXPECT_LT(max_abs_diff(upper_part(tc.u), upper_part(restored)), kTol);
  }
}

// A reverse-triangular T: nrowt rows in n columns, row i nonzero from column n+1-i.
Dense random_reverse_triangle(int nrowt, int n, std::mt19937& rng) {
  Dense t = dense_test::random_matrix(nrowt, n, rng);
  for (int i = 1; i <= nrowt; ++i) {
    for (int j = 1; j <= n - i; ++j) t(i, j) = 0.0;
    t(i, n + 1 - i) += (t(i, n + 1 - i) < 0 ? -1.0 : 1.0);
  }
  return t;
}

double max_above_antidiagonal(const Dense& t, int n) {
  double d = 0.0;
  for (int i = 1; i <= t.rows; ++i) {
    for (int j = 1; j <= n - i; ++j) d = std::max(d, std::fabs(t(i, j)));
  }
  return d;
}

TEST(RotateReverseTriangle, CreateAppliesRotationsAndReturnsTheNewDiagonal) {
  std::mt19937 rng(606);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 2 + static_cast<int>(rng() % 8);
    const int nrowt = 1 + static_cast<int>(rng() % (n - 1));
    const int k1 = n - nrowt;
    const int k2 = n;
    Dense t = random_reverse_triangle(nrowt, n, rng);
    std::vector<double> c;
    std::vector<double> s;
    dense_test::random_rotations(n, rng, c, s);
    const Dense expected = apply_explicitly('R', 'V', 'F', k1, k2, c, s, t);
    rotate_reverse_triangle("Create", n, nrowt, k1, k2, c.data(), s.data(), t.data(), t.ld(), 6);
    EXPECT_LT(max_abs_diff(t, expected), kTol);
    for (int k = k1; k < k2; ++k) EXPECT_EQ(s[k - 1], t(n - k, k));
    // The rows are reverse-triangular one column further left.
    EXPECT_LT(max_above_antidiagonal(t, n - 1), kTol);
  }
}

TEST(RotateReverseTriangle, RemoveRestoresTheShapeAfterARowIsDeleted) {
  std::mt19937 rng(707);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 3 + static_cast<int>(rng() % 8);
    const int before = 2 + static_cast<int>(rng() % (n - 2));
    const int kdel = 1 + static_cast<int>(rng() % before);
    const Dense full = random_reverse_triangle(before, n, rng);
    const int nrowt = before - 1;
    Dense t(nrowt, n);
    for (int i = 1; i <= nrowt; ++i) {
      const int from = i < kdel ? i : i + 1;
      for (int j = 1; j <= n; ++j) t(i, j) = full(from, j);
    }
    const int k1 = n - nrowt;
    const int k2 = n - kdel + 1;
    const Dense spiked = t;
    std::vector<double> c(n, 7.0);
    std::vector<double> s(n, 7.0);
    rotate_reverse_triangle("remove", n, nrowt, k1, k2, c.data(), s.data(), t.data(), t.ld(), 6);
    EXPECT_LT(max_above_antidiagonal(t, n), kTol);
    const Dense expected = apply_explicitly('R', 'V', 'B', k1, k2, c, s, spiked);
    EXPECT_LT(max_abs_diff(t, expected), kTol) << n << " " << nrowt << " " << kdel;
  }
}

TEST(TriangleKernels, EmptyPlaneRangeChangesNothing) {
  std::mt19937 rng(808);
  TriangleCase tc = random_case(rng);
  const Dense before = tc.u;
  const std::vector<double> c0 = tc.c;
  const std::vector<double> s0 = tc.s;
  const int k = tc.k1;
  apply_rotations_to_triangle("R", tc.n, k, k, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
  restore_triangle("L", tc.n, k, k, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
  shift_triangle_cyclically("R", tc.n, k, k, tc.s.data(), tc.u.data(), tc.n, 1);
  retriangulate_spike("R", tc.n, k, k, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
  create_row_spike("L", tc.n, k, k, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
  remove_row_spike("L", tc.n, k, k, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
  rotate_reverse_triangle("C", tc.n, 1, k, k, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
  const int beyond = tc.n + 1;
  restore_triangle("R", tc.n, k, beyond, tc.c.data(), tc.s.data(), tc.u.data(), tc.n, 1);
  EXPECT_EQ(max_abs_diff(tc.u, before), 0.0);
  EXPECT_EQ(tc.c, c0);
  EXPECT_EQ(tc.s, s0);
}

}  // namespace
}  // namespace zun
