// Tests of the sparse matrix product against a dense product and of the state-code
// conversion.
#include "library/sparse_qp/sparse_multiply.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "library/sparse_qp/state_codes.h"

namespace zun {
namespace {

// Random m x n matrix stored by columns (1-based rows and starts) with its dense copy.
struct ColumnMatrix {
  int m = 0;
  int n = 0;
  std::vector<double> values;
  std::vector<int> rows;
  std::vector<int> starts;
  std::vector<double> dense;  // column-major m x n
  double at(int i, int j) const { return dense[(j - 1) * m + (i - 1)]; }
};

ColumnMatrix random_matrix(int m, int n, double density, std::mt19937& rng) {
  ColumnMatrix a;
  a.m = m;
  a.n = n;
  a.dense.assign(static_cast<std::size_t>(m) * n, 0.0);
  std::uniform_real_distribution<double> val(-2.0, 2.0);
  std::bernoulli_distribution take(density);
  a.starts.push_back(1);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= m; ++i) {
      if (!take(rng)) continue;
      const double v = val(rng);
      a.values.push_back(v);
      a.rows.push_back(i);
      a.dense[(j - 1) * m + (i - 1)] = v;
    }
    a.starts.push_back(static_cast<int>(a.values.size()) + 1);
  }
  if (a.values.empty()) {  // keep the arrays addressable
    a.values.push_back(0.0);
    a.rows.push_back(1);
  }
  return a;
}

struct ProductCase {
  bool normal;
  double alpha;
  double beta;
};

class SparseMultiplyTest : public ::testing::TestWithParam<ProductCase> {};

TEST_P(SparseMultiplyTest, MatchesDenseProduct) {
  const ProductCase c = GetParam();
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  for (int trial = 0; trial < 30; ++trial) {
    const int m = 1 + static_cast<int>(rng() % 25);
    const int n = 1 + static_cast<int>(rng() % 25);
    const ColumnMatrix a = random_matrix(m, n, 0.3, rng);
    // nx and ny may cut the matrix: only columns 1..nx (N) or 1..ny (T) and rows within the
    // other length take part.
    const int nx = c.normal ? 1 + static_cast<int>(rng() % n) : 1 + static_cast<int>(rng() % m);
    const int ny = c.normal ? 1 + static_cast<int>(rng() % m) : 1 + static_cast<int>(rng() % n);
    std::vector<double> x(nx), y(ny);
    for (double& t : x) t = val(rng);
    for (double& t : y) t = val(rng);
    std::vector<double> expected(ny);
    for (int r = 1; r <= ny; ++r) {
      double sum = 0.0;
      for (int k = 1; k <= nx; ++k) sum += c.normal ? a.at(r, k) * x[k - 1] : a.at(k, r) * x[k - 1];
      expected[r - 1] = c.beta * y[r - 1] + c.alpha * sum;
    }
    sparse_multiply(c.normal ? "No transpose" : "Transpose", 0.0, m, n, a.values.data(),
                    a.rows.data(), a.starts.data(), c.alpha, x.data(), nx, c.beta, y.data(), ny,
                    c.normal ? 12 : 9);
    for (int r = 0; r < ny; ++r) EXPECT_NEAR(y[r], expected[r], 1e-13) << "trial " << trial;
  }
}

INSTANTIATE_TEST_SUITE_P(AlphaBeta,
                         SparseMultiplyTest,
                         ::testing::Values(ProductCase{true, 1.0, 0.0},
                                           ProductCase{true, -1.0, 1.0},
                                           ProductCase{true, 2.5, -0.5},
                                           ProductCase{true, 0.0, 3.0},
                                           ProductCase{false, 1.0, 0.0},
                                           ProductCase{false, -1.0, 1.0},
                                           ProductCase{false, -0.75, 2.0},
                                           ProductCase{false, 0.0, 0.0}));

TEST(SparseMultiply, BetaZeroClearsANaNFilledY) {
  std::mt19937 rng(3);
  const ColumnMatrix a = random_matrix(6, 5, 0.5, rng);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const char* trans : {"N", "T"}) {
    const bool normal = trans[0] == 'N';
    const int nx = normal ? 5 : 6;
    const int ny = normal ? 6 : 5;
    std::vector<double> x(nx, 1.0), y(ny, nan);
    sparse_multiply(trans, 0.0, 6, 5, a.values.data(), a.rows.data(), a.starts.data(), -1.0,
                    x.data(), nx, 0.0, y.data(), ny, 1);
    for (int r = 1; r <= ny; ++r) {
      double sum = 0.0;
      for (int k = 1; k <= nx; ++k) sum += normal ? a.at(r, k) : a.at(k, r);
      EXPECT_DOUBLE_EQ(y[r - 1], -sum);
    }
    // alpha = 0 with beta = 0 gives zeros as well.
    std::fill(y.begin(), y.end(), nan);
    sparse_multiply(trans, 0.0, 6, 5, a.values.data(), a.rows.data(), a.starts.data(), 0.0,
                    x.data(), nx, 0.0, y.data(), ny, 1);
    for (double t : y) EXPECT_EQ(t, 0.0);
  }
}

TEST(SparseMultiply, AlphaZeroBetaOneLeavesYAlone) {
  const std::vector<double> values{1.0};
  const std::vector<int> rows{1}, starts{1, 2};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> x{nan}, y{nan, 4.0};
  sparse_multiply("N", 0.0, 2, 1, values.data(), rows.data(), starts.data(), 0.0, x.data(), 1, 1.0,
                  y.data(), 2, 1);
  EXPECT_TRUE(std::isnan(y[0]));
  EXPECT_EQ(y[1], 4.0);
}

TEST(SparseMultiply, ColumnsWithSmallMultipliersAreSkipped) {
  // A = [1 1; 1 1]; x = (1e-9, 1): with tol 1e-6 only the second column counts.
  const std::vector<double> values{1.0, 1.0, 1.0, 1.0};
  const std::vector<int> rows{1, 2, 1, 2}, starts{1, 3, 5};
  std::vector<double> x{1e-9, 1.0};
  for (double alpha : {-1.0, 2.0}) {
    std::vector<double> y{0.0, 0.0};
    sparse_multiply("N", 1e-6, 2, 2, values.data(), rows.data(), starts.data(), alpha, x.data(), 2,
                    1.0, y.data(), 2, 1);
    EXPECT_EQ(y[0], alpha);
    EXPECT_EQ(y[1], alpha);
  }
}

struct StateCase {
  double bl;
  double bu;
  double x;
  int before;
  int internal;
  int external;
};

class StateCodeTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateCodeTest, InternalThenExternal) {
  const StateCase c = GetParam();
  int state = c.before;
  convert_state_codes("Internal", 1, &c.bl, &c.bu, &state, &c.x, 8);
  EXPECT_EQ(state, c.internal);
  convert_state_codes("External", 1, &c.bl, &c.bu, &state, &c.x, 8);
  EXPECT_EQ(state, c.external);
}

INSTANTIATE_TEST_SUITE_P(
    Codes,
    StateCodeTest,
    ::testing::Values(StateCase{0.0, 1.0, 0.0, 1, 0, 0},    // at lower
                      StateCase{0.0, 1.0, -3.0, 0, 0, 0},   // below lower
                      StateCase{0.0, 1.0, 1.0, 0, 1, 1},    // at upper
                      StateCase{0.0, 1.0, 0.5, 1, -1, 0},   // between: back to 0, not 1
                      StateCase{2.0, 2.0, 7.0, 0, 4, 0},    // fixed, even off its bound
                      StateCase{0.0, 1.0, 0.5, 2, 2, 2},    // superbasic stays
                      StateCase{0.0, 1.0, 0.5, 3, 3, 3}));  // basic stays

TEST(StateCodes, ModeIsComparedOverEightCharacters) {
  const double bl = 0.0, bu = 1.0, x = 0.5;
  int state = 0;
  convert_state_codes("Internal mode", 1, &bl, &bu, &state, &x, 13);
  EXPECT_EQ(state, -1);
  state = 0;
  convert_state_codes("Intern", 1, &bl, &bu, &state, &x, 6);
  EXPECT_EQ(state, 0);
}

}  // namespace
}  // namespace zun
