// The reduced-Hessian factor kernels by reconstruction: the pivoted packed Cholesky
// factorisation, the solves with R, the rank-one change of a basic/superbasic swap (any k),
// the move of a column to the end, and the small rules of the new-diagonal test and the signed
// gather.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "library/sparse_qp/reduced_hessian.h"
#include "tests/sparse_qp/lp_fixture.h"

namespace zun {
namespace {

using Dense = std::vector<std::vector<double>>;

// A random packed upper triangle of order n with diagonal entries of magnitude >= 0.5.
std::vector<double> random_r(std::mt19937& gen, int n) {
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> r(n * (n + 1) / 2);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) r[packed(i, j)] = value(gen);
    r[packed(j, j)] = (value(gen) < 0 ? -1.0 : 1.0) * (0.5 + std::abs(value(gen)));
  }
  return r;
}

Dense unpack(const std::vector<double>& r, int n) {
  Dense d(n, std::vector<double>(n, 0.0));
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) d[i - 1][j - 1] = r[packed(i, j)];
  }
  return d;
}

Dense gram(const Dense& a) {  // a'a
  const int n = static_cast<int>(a.size());
  Dense g(n, std::vector<double>(n, 0.0));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < n; ++k) g[i][j] += a[k][i] * a[k][j];
    }
  }
  return g;
}

double max_diff(const Dense& a, const Dense& b) {
  double d = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (std::size_t j = 0; j < a.size(); ++j) d = std::max(d, std::abs(a[i][j] - b[i][j]));
  }
  return d;
}

bool upper_triangular(const std::vector<double>& r, int n) {
  return static_cast<int>(r.size()) == n * (n + 1) / 2;  // packed storage holds no lower part
}

class ReducedHessianKernels : public testing::TestWithParam<int> {};

TEST_P(ReducedHessianKernels, SwapKeepsRtRequalToMtRtRM) {
  const int n = GetParam();
  for (int k = 1; k <= n; ++k) {
    std::mt19937 gen(100 * n + k);
    std::vector<double> r = random_r(gen, n);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    std::vector<double> w(n);
    for (double& v : w) v = value(gen);
    // M = I + e_k w': R M = R + (column k of R) w'.
    Dense rm = unpack(r, n);
    const Dense r0 = rm;
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) rm[i][j] += r0[i][k - 1] * w[j];
    }
    std::vector<double> v(n);
    update_r_on_swap(n, r.data(), v.data(), w.data(), k);
    EXPECT_TRUE(upper_triangular(r, n));
    EXPECT_LE(max_diff(gram(unpack(r, n)), gram(rm)), 1e-12 * (1 + n)) << "n " << n << " k " << k;
  }
}

// Moves to the end (as a leaving superbasic is dropped) and to every other place, both ways.
TEST_P(ReducedHessianKernels, MoveColumnPermutesRtR) {
  const int n = GetParam();
  for (int k1 = 1; k1 <= n; ++k1) {
    for (int k2 = 1; k2 <= n; ++k2) {
      std::mt19937 gen(7 * n + k1 + 1000 * k2);
      std::vector<double> r = random_r(gen, n);
      const Dense before = gram(unpack(r, n));
      std::vector<double> work(n);
      move_r_column(k1, k2, n, r.data(), work.data());
      // Place j of the new order holds old column old(j).
      auto old = [&](int j) {
        if (j < std::min(k1, k2) || j > std::max(k1, k2)) return j;
        if (j == k2) return k1;
        return k1 < k2 ? j + 1 : j - 1;
      };
      Dense expected(n, std::vector<double>(n));
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) expected[i - 1][j - 1] = before[old(i) - 1][old(j) - 1];
      }
      const std::string where = "n " + std::to_string(n) + " k1 " + std::to_string(k1) +
                                " k2 " + std::to_string(k2);
      EXPECT_LE(max_diff(gram(unpack(r, n)), expected), 1e-12 * (1 + n)) << where;
      if (k2 != n || k1 == n) continue;
      // The leading block is the factor of the remaining columns once the last one is dropped.
      std::vector<double> lead(r.begin(), r.begin() + (n - 1) * n / 2);
      Dense lead_expected(n - 1, std::vector<double>(n - 1));
      for (int i = 0; i < n - 1; ++i) {
        for (int j = 0; j < n - 1; ++j) lead_expected[i][j] = expected[i][j];
      }
      EXPECT_LE(max_diff(gram(unpack(lead, n - 1)), lead_expected), 1e-12 * (1 + n)) << where;
    }
  }
}

TEST_P(ReducedHessianKernels, PivotedCholeskyReconstructsAndSolvesInvert) {
  const int n = GetParam();
  std::mt19937 gen(n);
  const std::vector<double> r0 = random_r(gen, n);
  const Dense a = gram(unpack(r0, n));
  std::vector<double> packed_a(n * (n + 1) / 2);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) packed_a[packed(i, j)] = a[i - 1][j - 1];
  }
  std::vector<int> perm(n);
  int inform = -1;
  int rank = -1;
  double dmin = 0.0;
  cholesky_packed_pivoted("Interchanges", inform, n, 1e-12, dmin, rank, perm.data(), packed_a.data());
  EXPECT_EQ(inform, 0);
  EXPECT_EQ(rank, n);
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  for (int k = 0; k < n; ++k) std::swap(order[k], order[perm[k] - 1]);
  Dense pap(n, std::vector<double>(n));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) pap[i][j] = a[order[i]][order[j]];
  }
  EXPECT_LE(max_diff(gram(unpack(packed_a, n)), pap), 1e-12 * (1 + n));
  // R x = b and R' x = b.
  std::vector<double> b(n);
  for (int i = 0; i < n; ++i) b[i] = 1.0 + i;
  for (const char* mode : {"R ", "Rt"}) {
    std::vector<double> x = b;
    solve_with_r(mode, n, packed_a.data(), x.data());
    const Dense rd = unpack(packed_a, n);
    for (int i = 0; i < n; ++i) {
      double s = 0.0;
      for (int j = 0; j < n; ++j) s += (mode[1] == ' ' ? rd[i][j] : rd[j][i]) * x[j];
      EXPECT_NEAR(s, b[i], 1e-10 * (1 + std::abs(b[i]))) << mode;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, ReducedHessianKernels, testing::Values(1, 2, 3, 5, 9, 20));

TEST(ReducedHessianFactor, PivotingTakesTheLargestDiagonalFirst) {
  // diag(1, 4, 9) packed.
  const std::vector<double> a0{1.0, 0.0, 4.0, 0.0, 0.0, 9.0};
  for (const bool pivot : {true, false}) {
    std::vector<double> a = a0;
    std::vector<int> perm(3);
    int inform = -1;
    int rank = 0;
    double dmin = 0.0;
    cholesky_packed_pivoted(pivot ? "Interchanges" : "No interchanges", inform, 3, 1e-10, dmin,
                            rank, perm.data(), a.data());
    EXPECT_EQ(rank, 3);
    const std::vector<double> diag{a[packed(1, 1)], a[packed(2, 2)], a[packed(3, 3)]};
    EXPECT_EQ(diag, pivot ? std::vector<double>({3.0, 2.0, 1.0}) : std::vector<double>({1.0, 2.0, 3.0}));
  }
}

TEST(ReducedHessianFactor, RankDeficientMatrixStopsAtItsRank) {
  // v v' + w w' in order 4: rank 2.
  const std::vector<double> v{1.0, 2.0, -1.0, 0.5};
  const std::vector<double> w{0.0, 1.0, 3.0, -2.0};
  std::vector<double> a(10);
  for (int j = 1; j <= 4; ++j) {
    for (int i = 1; i <= j; ++i) a[packed(i, j)] = v[i - 1] * v[j - 1] + w[i - 1] * w[j - 1];
  }
  std::vector<int> perm(4);
  int inform = 0;
  int rank = 0;
  double dmin = 0.0;
  cholesky_packed_pivoted("Interchanges", inform, 4, 1e-10, dmin, rank, perm.data(), a.data());
  EXPECT_EQ(inform, 1);
  EXPECT_EQ(rank, 2);
  EXPECT_LE(dmin, 1e-10);
}

constexpr int kPrintUnit = 83;

// The lines of the print file that hold text.
int lines_with(const sqp_test::UnitCapture& unit, const std::string& text) {
  int count = 0;
  for (const std::string& line : unit.lines()) count += line.find(text) != std::string::npos;
  return count;
}

TEST(ReducedHessianFactor, NewDiagonalTestSeparatesIndefiniteFromNumericallyIndefinite) {
  qp_test::Lp lp;
  lp.m = 1;
  lp.add_column({{1, 1.0}});
  lp.bl = {0.0, 0.0};
  lp.bu = {1.0, 1.0};
  qp_test::Workspace w(lp, {}, -1, kPrintUnit);
  const double limit = w.r(sparse_option::real_word::kConditionLimit);
  const std::vector<double> r{2.0, 0.0, 0.0};
  const double tol = 2.0 * (2.0 / limit);
  struct Case {
    double d;
    bool ok;
    int flag;
    double after;
    const char* message;  // "" none
  };
  for (const Case& c : {Case{-tol, false, 1, -tol, " -- Indefinite reduced Hessian."},
                        Case{-0.5 * tol, false, 0, 0.0, " -- Hessian numerically indefinite."},
                        Case{tol, true, 0, tol, ""}}) {
    sqp_test::UnitCapture print(kPrintUnit);
    double d = c.d;
    bool ok = !c.ok;
    int flag = -1;
    check_r_diagonal(ok, flag, 0, 2, d, r.data(), w.iz.data(), w.z.data(), 10);
    EXPECT_EQ(ok, c.ok) << c.d;
    EXPECT_EQ(flag, c.flag) << c.d;
    EXPECT_EQ(d, c.after) << c.d;
    EXPECT_EQ(lines_with(print, "Square of diag, min diag = "), *c.message == 0 ? 0 : 1) << c.d;
    if (*c.message != 0) {
      EXPECT_EQ(lines_with(print, c.message), 1) << c.d;
    }
  }
}

// Z'HZ of rank 1 over two superbasics: the second leaves S (at its lower bound, or between
// its bounds), with the message that names the rank.
TEST(ReducedHessianFactor, SingularHessianDropsTheSuperbasicsBeyondTheRank) {
  qp_test::Lp lp;
  lp.m = 1;
  lp.add_column({{1, 1.0}});
  lp.add_column({{1, 1.0}});
  lp.add_column({{1, 1.0}});
  lp.bl = {0.0, 0.0, 0.0, -1.0};
  lp.bu = {1.0, 1.0, 1.0, 1.0};
  qp_test::Workspace w(lp, {}, -1, kPrintUnit);
  for (const double x2 : {0.0, 0.5}) {
    sqp_test::UnitCapture print(kPrintUnit);
    std::vector<int> state{3, 2, 2, 3};
    std::vector<double> x{0.5, 0.5, x2, 0.0};
    std::vector<int> bs{1, 2, 3};
    std::vector<double> xbs{0.5, 0.5, x2};
    std::vector<double> lo{0.0, 0.0, 0.0};
    std::vector<double> up{1.0, 1.0, 1.0};
    const BasisArrays basis{state.data(), bs.data(), xbs.data(), lo.data(), up.data(),
                            x.data(),     lp.bl.data(), lp.bu.data()};
    std::vector<double> r{1.0, 1.0, 1.0};  // packed [1 1; 1 1]
    int ns = 2;
    int inform = -1;
    factorize_reduced_hessian("No interchanges", inform, 1, ns, 1.0, r.data(), basis, w.iz.data(),
                              w.z.data(), 7, 10);
    EXPECT_EQ(ns, 1);
    EXPECT_EQ(state[2], x2 == 0.0 ? VariableState::kAtLower : VariableState::kBetweenBounds);
    EXPECT_EQ(lines_with(print, "    7 -- Factorize detected a singular Hessian."), 1);
    EXPECT_EQ(lines_with(print, "               Rank =    1.  Diag, min diag = "), 1);
  }
}

TEST(ReducedHessianFactor, GatherSignedFollowsTheSign) {
  const std::vector<int> index{2, 5, 1};
  const std::vector<double> source{10.0, 20.0, 30.0};
  for (const double sign : {1.0, -1.0, 0.0}) {
    std::vector<double> target{7.0, 7.0, 7.0};
    gather_signed(3, 3, sign, index.data(), source.data(), target.data());
    const std::vector<double> expected =
        sign == 0.0 ? std::vector<double>{7.0, 7.0, 7.0}
                    : std::vector<double>{sign * 20.0, 7.0, sign * 10.0};
    EXPECT_EQ(target, expected) << sign;
  }
}

TEST(SubproblemBounds, SignsFollowTheStatesAndValuesAreClamped) {
  // Variables 3..6 (first = 2): free-range, at lower, at upper, fixed at lower.
  const std::vector<int> state{0, 0, 2, 0, 1, 0};
  const std::vector<double> bl{0, 0, -1, 0, 0, 2};
  const std::vector<double> bu{1, 1, 1, 1, 1, 2};
  std::vector<double> d{5.0e12, 3.0, -4.0, 6.0};
  set_subproblem_bounds(2, 4, state.data(), bl.data(), bu.data(), d.data());
  EXPECT_EQ(d, (std::vector<double>{1.0e12, 0.0, 0.0, 6.0}));
  std::vector<double> untouched{9.0};
  set_subproblem_bounds(0, 0, state.data(), bl.data(), bu.data(), untouched.data());
  EXPECT_EQ(untouched[0], 9.0);
}

// Products with listed columns of [A -I] against the dense product, slacks included.
TEST(MultiplyColumns, MatchesTheDenseProductOfTheListedColumns) {
  std::mt19937 gen(11);
  const qp_test::Lp lp = qp_test::random_matrix(gen, qp_test::Shape{6, 9, 0.4});
  const std::vector<int> list{3, 11, 1, 15, 9};  // columns 3, 1, 9 and the slacks of rows 2, 6
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  auto column = [&](int j) {
    std::vector<double> c(6, 0.0);
    if (j > 9) {
      c[j - 10] = -1.0;
    } else {
      for (int l = lp.starts[j - 1]; l < lp.starts[j]; ++l) c[lp.rows[l - 1] - 1] += lp.values[l - 1];
    }
    return c;
  };
  std::vector<double> xs(5);
  std::vector<double> xm(6);
  for (double& v : xs) v = value(gen);
  for (double& v : xm) v = value(gen);
  xs[1] = 1e-15;  // skipped by the tolerance
  std::vector<double> y(6, 1.0);
  multiply_columns("No transpose", 1e-13, 6, 9, 5, list.data(), lp.matrix(), 2.0, xs.data(), 0.5,
                   y.data());
  std::vector<double> expected(6, 0.5);
  for (int k = 0; k < 5; ++k) {
    if (k == 1) continue;
    const std::vector<double> c = column(list[k]);
    for (int i = 0; i < 6; ++i) expected[i] += 2.0 * c[i] * xs[k];
  }
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(y[i], expected[i], 1e-14);
  std::vector<double> yt(5, 3.0);
  multiply_columns("Transpose", 0.0, 6, 9, 5, list.data(), lp.matrix(), -1.0, xm.data(), 0.0,
                   yt.data());
  for (int k = 0; k < 5; ++k) {
    const std::vector<double> c = column(list[k]);
    double dot = 0.0;
    for (int i = 0; i < 6; ++i) dot += c[i] * xm[i];
    EXPECT_NEAR(yt[k], -dot, 1e-14);
  }
}

// A product routine that records what reached it through the adapter.
struct Seen {
  int calls = 0;
  int nnh = 0;
  int mode_len = 0;
  std::string mode;
};

void recording_routine(PassedRoutine,
                       PassedRoutine,
                       const double& sign,
                       const int&,
                       const int&,
                       const int& nnh,
                       const int&,
                       const int&,
                       const double*,
                       const int*,
                       const int*,
                       const double* v,
                       double* hv,
                       const char* mode,
                       int& status,
                       int*,
                       const int&,
                       double*,
                       const int&,
                       int* iusr,
                       double* rusr,
                       int mode_len) {
  auto* seen = reinterpret_cast<Seen*>(iusr);
  ++seen->calls;
  seen->nnh = nnh;
  seen->mode_len = mode_len;
  seen->mode.assign(mode, static_cast<std::size_t>(mode_len));
  for (int i = 0; i < nnh; ++i) hv[i] = sign * rusr[i] * v[i];  // diagonal Hessian
  status = 0;
}

// The QP objective and gradient through the adapter: y = x - x0, q = 0.5 y'Hy + c'y,
// g = Hy (zero beyond nnh) + c.
TEST(QpObjective, ValueAndGradientThroughTheRoutineArgument) {
  qp_test::Lp lp;
  lp.m = 1;
  for (int j = 0; j < 4; ++j) lp.add_column({{1, 1.0}});
  Seen seen;
  std::vector<double> diag{2.0, 3.0};
  QpRoutines routines;
  routines.hessian_product = recording_routine;
  routines.iusr = reinterpret_cast<int*>(&seen);
  routines.rusr = diag.data();
  const std::vector<double> x{1.0, 2.0, 3.0, 4.0};
  const std::vector<double> x0{0.5, 1.0, 1.0, 9.0};
  const std::vector<double> c{1.0, -1.0, 2.0};
  std::vector<double> g(4, 99.0);
  std::vector<double> y(4);
  int products = 0;
  double q = 0.0;
  std::vector<int> iz(10);
  std::vector<double> z(10);
  qp_objective(routines, 1.0, 1, 1, 4, 4, 3, 2, products, q, lp.matrix(), c.data(), g.data(),
               x0.data(), x.data(), y.data(), iz.data(), 10, z.data(), 10);
  // y = (0.5, 1, 2, -5); Hy = (1, 3); q = 0.5 (0.5 + 3) + (0.5 - 1 + 4).
  EXPECT_DOUBLE_EQ(q, 1.75 + 3.5);
  EXPECT_EQ(g, (std::vector<double>{2.0, 2.0, 2.0, 0.0}));
  EXPECT_EQ(products, 1);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.nnh, 2);
  EXPECT_EQ(seen.mode_len, 8);
  EXPECT_EQ(seen.mode, std::string(kHessianProductMode));
  qp_objective(routines, 1.0, 1, 1, 4, 0, 3, 2, products, q, lp.matrix(), c.data(), g.data(),
               x0.data(), x.data(), y.data(), iz.data(), 10, z.data(), 10);
  EXPECT_EQ(products, 1);  // nothing without objective variables
}

}  // namespace
}  // namespace zun
