// Plane rotations, rotation sequences and interchanges against explicitly built matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "tests/dense_qp/dense_test_util.h"

namespace zun {
namespace {

using dense_test::apply_explicitly;
using dense_test::Dense;
using dense_test::max_abs_diff;
using dense_test::multiply;
using dense_test::rotation_matrix;
using dense_test::transpose;

constexpr double kTol = 1e-13;

TEST(RotationFromTangent, EdgeValuesAndUnitLength) {
  double c = 0.0;
  double s = 0.0;
  rotation_from_tangent(0.0, c, s);
  EXPECT_EQ(c, 1.0);
  EXPECT_EQ(s, 0.0);
  rotation_from_tangent(1e300, c, s);
  EXPECT_DOUBLE_EQ(c, 1e-300);
  EXPECT_EQ(s, 1.0);
  rotation_from_tangent(-1e300, c, s);
  EXPECT_DOUBLE_EQ(c, 1e-300);
  EXPECT_EQ(s, -1.0);
  rotation_from_tangent(0.75, c, s);
  EXPECT_NEAR(c, 0.8, kTol);
  EXPECT_NEAR(s, 0.6, kTol);
  for (double t : {-1e7, -3.0, -1e-3, 1e-4, 2.5, 9e7}) {
    rotation_from_tangent(t, c, s);
    EXPECT_NEAR(c * c + s * s, 1.0, 1e-15) << t;
    EXPECT_NEAR(s / c, t, 1e-14 * std::fabs(t)) << t;
  }
}

TEST(GeneratePlaneRotation, ZeroesTheSecondAndKeepsTheTangent) {
  const double pairs[][2] = {{3.0, 4.0}, {-2.0, 1e-3}, {1e-5, -7.0}, {5.0, 0.0}, {0.0, -2.0}};
  for (const auto& p : pairs) {
    double a = p[0];
    double b = p[1];
    double c = 0.0;
    double s = 0.0;
    generate_plane_rotation(a, b, c, s);
    EXPECT_NEAR(c * p[0] + s * p[1], a, kTol);
    EXPECT_NEAR(c * p[1] - s * p[0], 0.0, 1e-12);
    EXPECT_NEAR(std::hypot(p[0], p[1]), std::fabs(a), kTol);
    double c2 = 0.0;
    double s2 = 0.0;
    rotation_from_tangent(b, c2, s2);
    if (p[1] == 0.0) {
      EXPECT_EQ(c, 1.0);
      EXPECT_EQ(s, 0.0);
    } else {
      EXPECT_DOUBLE_EQ(c2, c);
      EXPECT_DOUBLE_EQ(s2, s);
    }
  }
}

class RotationSequenceTest
    : public ::testing::TestWithParam<std::tuple<std::string, std::string, std::string>> {};

TEST_P(RotationSequenceTest, MatchesExplicitProduct) {
  const auto& [side, pivot, direct] = GetParam();
  std::mt19937 rng(17);
  for (int trial = 0; trial < 25; ++trial) {
    const int m = 1 + static_cast<int>(rng() % 9);
    const int n = 1 + static_cast<int>(rng() % 9);
    const int planes = side[0] == 'L' ? m : n;
    if (planes < 2) continue;
    const int k1 = 1 + static_cast<int>(rng() % (planes - 1));
    const int k2 = k1 + 1 + static_cast<int>(rng() % (planes - k1));
    std::vector<double> c;
    std::vector<double> s;
    dense_test::random_rotations(planes, rng, c, s);
    Dense a = dense_test::random_matrix(m, n, rng);
    const Dense expected = apply_explicitly(side[0], pivot[0], direct[0], k1, k2, c, s, a);
    const int lda = a.ld();
    apply_rotation_sequence(side.c_str(), pivot.c_str(), direct.c_str(), m, n, k1, k2, c.data(),
                            s.data(), a.data(), lda, side.size(), pivot.size(), direct.size());
    EXPECT_LT(max_abs_diff(a, expected), kTol) << m << "x" << n << " planes " << k1 << ".." << k2;
    // An empty or out-of-range set of planes changes nothing.
    const Dense before = a;
    apply_rotation_sequence(side.c_str(), pivot.c_str(), direct.c_str(), m, n, k2, k2, c.data(),
                            s.data(), a.data(), lda, side.size(), pivot.size(), direct.size());
    const int too_far = planes + 1;
    apply_rotation_sequence(side.c_str(), pivot.c_str(), direct.c_str(), m, n, k1, too_far,
                            c.data(), s.data(), a.data(), lda, side.size(), pivot.size(),
                            direct.size());
    EXPECT_EQ(max_abs_diff(a, before), 0.0);
  }
}

INSTANTIATE_TEST_SUITE_P(AllVariants,
                         RotationSequenceTest,
                         ::testing::Combine(::testing::Values("Left", "right"),
                                            ::testing::Values("Variable", "Top", "bottom"),
                                            ::testing::Values("Forwards", "Backwards")));

// How each generated sequence is applied: the pivot and direction of its application and the
// plane of alpha (1 or n+1).
struct GenerationCase {
  const char* pivot;
  const char* direct;
  const char* apply_pivot;
  bool alpha_first;
};

class GenerateSequenceTest : public ::testing::TestWithParam<GenerationCase> {};

TEST_P(GenerateSequenceTest, FoldsTheVectorIntoAlpha) {
  const GenerationCase& gc = GetParam();
  std::mt19937 rng(5);
  for (int n = 1; n <= 9; ++n) {
    for (int incx : {1, 2}) {
      Dense y = dense_test::random_matrix(n + 1, 1, rng);
      double alpha = gc.alpha_first ? y(1, 1) : y(n + 1, 1);
      const int offset = gc.alpha_first ? 1 : 0;
      std::vector<double> x(static_cast<std::size_t>(n) * incx, 99.0);
      for (int i = 1; i <= n; ++i) x[(i - 1) * incx] = y(i + offset, 1);
      std::vector<double> c(n);
      std::vector<double> s(n);
      generate_rotation_sequence(gc.pivot, gc.direct, n, alpha, x.data(), incx, c.data(), s.data(),
                                 8, 9);
      const Dense folded =
          apply_explicitly('L', gc.apply_pivot[0], gc.direct[0], 1, n + 1, c, s, y);
      const int alpha_row = gc.alpha_first ? 1 : n + 1;
      for (int i = 1; i <= n + 1; ++i) {
        EXPECT_NEAR(folded(i, 1), i == alpha_row ? alpha : 0.0, kTol) << gc.pivot << gc.direct;
      }
      for (int i = 1; i <= n; ++i) {
        double c2 = 0.0;
        double s2 = 0.0;
        rotation_from_tangent(x[(i - 1) * incx], c2, s2);
        EXPECT_NEAR(c2, c[i - 1], kTol);
        EXPECT_NEAR(s2, s[i - 1], kTol);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllVariants,
                         GenerateSequenceTest,
                         ::testing::Values(GenerationCase{"Fixed", "Forwards", "Top", true},
                                           GenerationCase{"Fixed", "Backwards", "Bottom", false},
                                           GenerationCase{"Varble", "Forwrds", "Variable", false},
                                           GenerationCase{"variable", "backwards", "Variable",
                                                          true}),
                         [](const ::testing::TestParamInfo<GenerationCase>& info) {
                           return std::string(info.param.pivot) + "_" + info.param.direct;
                         });

// The permutation matrix P = P(1)...P(n) of the interchanges perm on `size` planes.
Dense interchange_matrix(int size, const std::vector<double>& perm) {
  Dense p = dense_test::identity(size);
  for (std::size_t i = 0; i < perm.size(); ++i) {
    Dense pi = dense_test::identity(size);
    const int a = static_cast<int>(i) + 1;
    const int b = static_cast<int>(perm[i]);
    pi(a, a) = pi(b, b) = 0.0;
    pi(a, b) = pi(b, a) = 1.0;
    p = multiply(p, pi);
  }
  return p;
}

TEST(ApplyInterchanges, MatchesThePermutationMatrix) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 20; ++trial) {
    const int size = 2 + static_cast<int>(rng() % 7);
    const int k = 1 + static_cast<int>(rng() % 4);
    const int n = 1 + static_cast<int>(rng() % (size - 1));
    std::vector<double> perm(n);
    for (int i = 1; i <= n; ++i) perm[i - 1] = i + static_cast<int>(rng() % (size - i + 1));
    const Dense p = interchange_matrix(size, perm);
    const Dense rows = dense_test::random_matrix(size, k, rng);
    const Dense cols = dense_test::random_matrix(k, size, rng);
    const struct {
      const char* side;
      const char* trans;
      Dense expected;
      Dense b;
    } cases[] = {{"Left", "Normal", multiply(p, rows), rows},
                 {"Left", "Transpose", multiply(transpose(p), rows), rows},
                 {"Right", "Normal", multiply(cols, p), cols},
                 {"Right", "Transpose", multiply(cols, transpose(p)), cols}};
    for (auto c : cases) {
      apply_interchanges(c.side, c.trans, n, perm.data(), k, c.b.data(), c.b.ld(), 5, 9);
      EXPECT_EQ(max_abs_diff(c.b, c.expected), 0.0) << c.side << " " << c.trans;
    }
  }
}

TEST(ApplyInterchanges, ShiftRecordMovesOneRowToTheEndLikeVarOrder) {
  // The record perm(i) = i before ifix, i + 1 from there on, applied "Left" "Transpose",
  // moves row ifix to the last place and the rows after it up one place.
  const int size = 6;
  const int ifix = 2;
  std::vector<double> perm(size - 1);
  for (int i = 1; i < size; ++i) perm[i - 1] = i < ifix ? i : i + 1;
  Dense b(size, 1);
  for (int i = 1; i <= size; ++i) b(i, 1) = 10.0 * i;
  apply_interchanges("L", "T", size - 1, perm.data(), 1, b.data(), b.ld(), 1, 1);
  const double expected[] = {10, 30, 40, 50, 60, 20};
  for (int i = 1; i <= size; ++i) EXPECT_EQ(b(i, 1), expected[i - 1]);
  // The same record applied "Right" "Normal" to the columns of R moves them the same way, so
  // that the gradient rows and R's columns stay in VarOrder order together.
  Dense r(2, size);
  for (int j = 1; j <= size; ++j) r(1, j) = r(2, j) = 10.0 * j;
  apply_interchanges("Right", "Normal", size - 1, perm.data(), 2, r.data(), r.ld(), 5, 6);
  for (int j = 1; j <= size; ++j) {
    EXPECT_EQ(r(1, j), expected[j - 1]);
    EXPECT_EQ(r(2, j), expected[j - 1]);
  }
}

}  // namespace
}  // namespace zun
