// The null-space BFGS change of the reduced-Hessian factor: after the change R'R equals Z'H+Z
// formed densely, for steps inside and outside the range of Z, with and without the first-update
// scaling, both for the dense kernel and through the basis solves of a factorised sparse basis;
// a downdate that would lose positive definiteness leaves R as it was.
#include "library/sparse_sqp/reduced_hessian_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "library/sparse_qp/reduced_hessian.h"
#include "tests/sparse_qp/lp_fixture.h"

namespace zun {
namespace {

using Dense = std::vector<double>;  // row-major

// c (r x s) := a' (k x r)' b (k x s).
Dense transpose_times(const Dense& a, const Dense& b, int k, int r, int s) {
  Dense c(static_cast<std::size_t>(r * s), 0.0);
  for (int i = 0; i < r; ++i) {
    for (int j = 0; j < s; ++j) {
      for (int l = 0; l < k; ++l) c[i * s + j] += a[l * r + i] * b[l * s + j];
    }
  }
  return c;
}

// r := the packed upper Cholesky factor of the symmetric a (order n); false when a pivot is
// at most floor.
bool cholesky(const Dense& a, int n, double floor, Dense& r) {
  r.assign(static_cast<std::size_t>(n * (n + 1) / 2), 0.0);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) {
      double s = a[(i - 1) * n + (j - 1)];
      for (int k = 1; k < i; ++k) s -= r[packed(k, i)] * r[packed(k, j)];
      if (i == j && s <= floor) return false;
      r[packed(i, j)] = i == j ? std::sqrt(s) : s / r[packed(i, i)];
    }
  }
  return true;
}

// max |R'R - target| / max(1, max |target|).
double reconstruction_residual(const Dense& r, const Dense& target, int n) {
  double diff = 0.0;
  double size = 1.0;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      double s = 0.0;
      for (int k = 1; k <= std::min(i, j); ++k) s += r[packed(k, i)] * r[packed(k, j)];
      const double t = target[(i - 1) * n + (j - 1)];
      diff = std::max(diff, std::fabs(s - t));
      size = std::max(size, std::fabs(t));
    }
  }
  return diff / size;
}

struct Case {
  int n = 0;
  int ns = 0;
  Dense z;  // n x ns
  Dense h;  // n x n, positive definite
};

Case random_case(std::mt19937& gen, int n, int ns) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Case c;
  c.n = n;
  c.ns = ns;
  c.z.resize(static_cast<std::size_t>(n * ns));
  for (double& v : c.z) v = u(gen);
  Dense g(static_cast<std::size_t>(n * n));
  for (double& v : g) v = u(gen);
  c.h = transpose_times(g, g, n, n, n);
  for (int i = 0; i < n; ++i) c.h[i * n + i] += 0.1;
  return c;
}

Dense times(const Dense& a, const Dense& x, int rows, int cols) {
  Dense y(static_cast<std::size_t>(rows), 0.0);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) y[i] += a[i * cols + j] * x[j];
  }
  return y;
}

// c (r x s) := a (r x k) b (k x s).
Dense product(const Dense& a, const Dense& b, int r, int k, int s) {
  Dense c(static_cast<std::size_t>(r * s), 0.0);
  for (int i = 0; i < r; ++i) {
    for (int l = 0; l < k; ++l) {
      for (int j = 0; j < s; ++j) c[i * s + j] += a[i * k + l] * b[l * s + j];
    }
  }
  return c;
}

double dot(const Dense& a, const Dense& b) {
  double s = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
  return s;
}

// True when the Cholesky factorisation of the symmetric a (order n) meets a pivot below 1e-8
// times size (at least a's largest entry): a change whose result is so nearly singular, next
// to the matrix it changes, may be refused.
bool nearly_singular(const Dense& a, int n, double size = 0.0) {
  for (double v : a) size = std::max(size, std::fabs(v));
  Dense r;
  return !cholesky(a, n, 1.0e-8 * size, r);
}

// One update on a random case: p inside the range of Z or not, the first-update scale or 1.
// Returns the reconstruction residual, -1 when the kernel refused a well-conditioned change,
// -3 when it refused a nearly singular one.
double updated_residual(std::mt19937& gen, int n, int ns, bool in_range, double scale) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const Case c = random_case(gen, n, ns);
  const Dense reduced = transpose_times(c.z, product(c.h, c.z, n, n, ns), n, ns, ns);
  if (nearly_singular(reduced, ns)) return -2.0;  // no factor to start from
  Dense r;
  cholesky(reduced, ns, 0.0, r);
  Dense p(static_cast<std::size_t>(n));
  if (in_range) {
    Dense pz(static_cast<std::size_t>(ns));
    for (double& v : pz) v = u(gen);
    p = times(c.z, pz, n, ns);
  } else {
    for (double& v : p) v = u(gen);
  }
  const double alpha = 0.1 + 0.9 * std::fabs(u(gen));
  // The scaled H and its product, as the update leaves them.
  Dense h = c.h;
  for (double& v : h) v *= scale;
  const Dense hp = times(h, p, n, n);
  const double php = dot(p, hp);
  Dense y(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) y[i] = alpha * hp[i] * (0.5 + std::fabs(u(gen))) + 0.3 * u(gen);
  double py = dot(p, y);
  if (py < 1.0e-3 * alpha * php) {
    for (double& v : y) v = -v;
    py = -py;
  }
  if (py < 1.0e-3 * alpha * php) return -2.0;  // not a pair the solver would accept
  const double apy = alpha * py;
  Dense hplus = h;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) hplus[i * n + j] += y[i] * y[j] / apy - hp[i] * hp[j] / php;
  }
  const Dense target = transpose_times(c.z, product(hplus, c.z, n, n, ns), n, ns, ns);
  const Dense zy = transpose_times(c.z, y, n, ns, 1);
  const Dense zhp = transpose_times(c.z, hp, n, ns, 1);
  Dense work(static_cast<std::size_t>(3 * ns));
  if (!update_reduced_factor(ns, scale, apy, php, zy.data(), zhp.data(), r.data(), work.data())) {
    double before = 0.0;
    for (double v : reduced) before = std::max(before, scale * std::fabs(v));
    return nearly_singular(target, ns, before) ? -3.0 : -1.0;
  }
  for (int i = 1; i <= ns; ++i) EXPECT_GT(r[packed(i, i)], 0.0);
  return reconstruction_residual(r, target, ns);
}

TEST(ReducedHessianUpdate, FactorReproducesTheUpdatedReducedHessian) {
  std::mt19937 gen(2027);
  double worst = 0.0;
  int checked = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const int n = 2 + trial % 7;
    const int ns = 1 + (trial / 7) % n;
    const bool in_range = trial % 2 == 0;
    const double scale = trial % 3 == 0 ? 0.05 + 3.0 * (trial % 5) : 1.0;
    const double res = updated_residual(gen, n, ns, in_range, scale);
    if (res == -2.0 || res == -3.0) continue;
    ASSERT_GE(res, 0.0) << "refused an update that keeps Z'H+Z positive definite, trial " << trial;
    worst = std::max(worst, res);
    ++checked;
  }
  EXPECT_GT(checked, 300);
  EXPECT_LE(worst, 1.0e-10);
  RecordProperty("worst_reconstruction_residual", std::to_string(worst));
  std::printf("worst reconstruction residual %.3e over %d updates\n", worst, checked);
}

// Solves the dense a (order n, row-major) x = b by Gaussian elimination with partial pivoting.
Dense dense_solve(Dense a, Dense b, int n) {
  for (int k = 0; k < n; ++k) {
    int q = k;
    for (int i = k + 1; i < n; ++i) {
      if (std::fabs(a[i * n + k]) > std::fabs(a[q * n + k])) q = i;
    }
    for (int j = 0; j < n; ++j) std::swap(a[k * n + j], a[q * n + j]);
    std::swap(b[k], b[q]);
    for (int i = k + 1; i < n; ++i) {
      const double f = a[i * n + k] / a[k * n + k];
      for (int j = k; j < n; ++j) a[i * n + j] -= f * a[k * n + j];
      b[i] -= f * b[k];
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    for (int j = i + 1; j < n; ++j) b[i] -= a[i * n + j] * b[j];
    b[i] /= a[i * n + i];
  }
  return b;
}

// Column j (1-based, slacks j > n as -e) of [A -I], dense over the m rows.
Dense dense_column(const qp_test::Lp& lp, int j) {
  Dense c(static_cast<std::size_t>(lp.m), 0.0);
  if (j > lp.n) {
    c[j - lp.n - 1] = -1.0;
    return c;
  }
  for (int l = lp.starts[j - 1]; l < lp.starts[j]; ++l) c[lp.rows[l - 1] - 1] = lp.values[l - 1];
  return c;
}

TEST(ReducedHessianUpdate, ThroughTheBasisSolvesTheFactorReproducesTheUpdatedReducedHessian) {
  namespace ia = sparse_ws::int_array;
  namespace iw = sparse_option::integer_word;
  double worst = 0.0;
  int checked = 0;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int m = 3 + static_cast<int>(seed % 4);
    const int n = m + 6;
    const int nnl = n - 1;  // the last column is linear
    qp_test::Lp lp = qp_test::random_matrix(gen, {m, n, 0.5});
    lp.bl.assign(lp.n + lp.m, -5.0);
    lp.bu.assign(lp.n + lp.m, 5.0);
    qp_test::Workspace w(lp, {{{iw::kSuperbasicsLimit, 8}}, {}}, -1, -1, -1, nnl);
    // Structural columns 1..m basic, the next ns superbasic, the rest nonbasic.
    const int ns = 1 + static_cast<int>(seed % 5);
    std::vector<int> state(lp.n + lp.m, VariableState::kAtLower);
    for (int j = 0; j < m; ++j) state[j] = VariableState::kBasic;
    int* bs = w.ints(ia::kBsIndex);
    for (int k = 0; k < ns; ++k) {
      state[m + k] = VariableState::kSuperbasic;
      bs[m + k] = m + k + 1;
    }
    std::vector<double> x(lp.n + lp.m, 0.0);
    const BasisArrays basis{state.data(),
                            bs,
                            w.reals(sparse_ws::real_array::kXBS),
                            w.reals(sparse_ws::real_array::kBlBS),
                            w.reals(sparse_ws::real_array::kBuBS),
                            x.data(),
                            lp.bl.data(),
                            lp.bu.data()};
    bool factor = true;
    bool changed = false;
    bool moved = false;
    int result = 0;
    int reason = 0;
    int bs_changes = 0;
    int ns_now = ns;
    factorize_basis_driver(BasisType::kWithSuperbasics, factor, changed, moved, result, 0, 0,
                           reason, lp.m, lp.n, 0, ns_now, bs_changes, lp.matrix(), basis,
                           w.iz.data(), w.leniz, w.z.data(), w.lenz);
    ASSERT_EQ(result, 0) << "seed " << seed;
    ASSERT_EQ(ns_now, ns);
    // Z (nnl rows of the Hessian variables, ns columns) from dense solves with B.
    Dense b(static_cast<std::size_t>(m * m));
    for (int k = 0; k < m; ++k) {
      const Dense col = dense_column(lp, bs[k]);
      for (int i = 0; i < m; ++i) b[i * m + k] = col[i];
    }
    Dense z(static_cast<std::size_t>(nnl * ns), 0.0);
    for (int k = 0; k < ns; ++k) {
      const Dense pb = dense_solve(b, dense_column(lp, bs[m + k]), m);
      for (int i = 0; i < m; ++i) {
        if (bs[i] <= nnl) z[(bs[i] - 1) * ns + k] = -pb[i];
      }
      if (bs[m + k] <= nnl) z[(bs[m + k] - 1) * ns + k] = 1.0;
    }
    const Case c = random_case(gen, nnl, ns);
    const Dense reduced = transpose_times(z, product(c.h, z, nnl, nnl, ns), nnl, ns, ns);
    if (nearly_singular(reduced, ns)) continue;
    Dense r;
    cholesky(reduced, ns, 0.0, r);
    Dense p(static_cast<std::size_t>(nnl));
    for (double& v : p) v = u(gen);
    const Dense hp = times(c.h, p, nnl, nnl);
    const double php = dot(p, hp);
    Dense y(static_cast<std::size_t>(nnl));
    for (int i = 0; i < nnl; ++i) y[i] = hp[i] * (0.5 + std::fabs(u(gen))) + 0.3 * u(gen);
    const double apy = dot(p, y);
    if (apy < 1.0e-3 * php) continue;
    Dense hplus = c.h;
    for (int i = 0; i < nnl; ++i) {
      for (int j = 0; j < nnl; ++j) hplus[i * nnl + j] += y[i] * y[j] / apy - hp[i] * hp[j] / php;
    }
    const Dense target = transpose_times(z, product(hplus, z, nnl, nnl, ns), nnl, ns, ns);
    ASSERT_TRUE(update_reduced_hessian(m, lp.n, ns, nnl, bs, lp.matrix(), 1.0, apy, php, y.data(),
                                       hp.data(), r.data(), w.iz.data(), w.z.data()))
        << "seed " << seed;
    worst = std::max(worst, reconstruction_residual(r, target, ns));
    ++checked;
  }
  EXPECT_GE(checked, 8);
  EXPECT_LE(worst, 1.0e-10);
  std::printf("worst reconstruction residual through the basis %.3e over %d updates\n", worst,
              checked);
}

TEST(ReducedHessianUpdate, DowndateThatLosesDefinitenessLeavesTheFactor) {
  // R = I (order 3): with no gain (Z'y = 0) the downdate by w = Z'Hp / sqrt(p'Hp) of length 2
  // would make R'R indefinite.
  const int ns = 3;
  Dense r(6, 0.0);
  for (int i = 1; i <= ns; ++i) r[packed(i, i)] = 1.0;
  const Dense before = r;
  const Dense zy(ns, 0.0);
  const Dense zhp = {2.0, 0.0, 0.0};
  Dense work(3 * ns);
  EXPECT_FALSE(
      update_reduced_factor(ns, 1.0, 1.0, 1.0, zy.data(), zhp.data(), r.data(), work.data()));
  EXPECT_EQ(r, before);
}

TEST(ReducedHessianUpdate, RefusesPairsWithoutPositiveCurvatureAndZeroDiagonals) {
  const int ns = 2;
  Dense r = {1.0, 0.5, 2.0};
  const Dense before = r;
  const Dense zy = {1.0, 1.0};
  const Dense zhp = {0.5, 0.2};
  Dense work(3 * ns);
  EXPECT_FALSE(
      update_reduced_factor(ns, 1.0, 0.0, 1.0, zy.data(), zhp.data(), r.data(), work.data()));
  EXPECT_FALSE(
      update_reduced_factor(ns, 1.0, 1.0, -1.0, zy.data(), zhp.data(), r.data(), work.data()));
  EXPECT_EQ(r, before);
  Dense singular = {1.0, 0.5, 0.0};
  const Dense singular_before = singular;
  EXPECT_FALSE(update_reduced_factor(ns, 1.0, 1.0, 1.0, zy.data(), zhp.data(), singular.data(),
                                     work.data()));
  EXPECT_EQ(singular, singular_before);
}

TEST(ReducedHessianUpdate, ReductionWithoutBasicRowsTakesTheSuperbasicEntries) {
  // With m = 0 Z is the identity on the superbasics, 0 beyond the nonlinear variables.
  const int bs_index[] = {3, 1, 5};
  const double v[] = {10.0, 20.0, 30.0, 40.0};
  double out[3] = {-1.0, -1.0, -1.0};
  const ColumnMatrix a{};
  EXPECT_TRUE(reduce_to_superbasics(0, 5, 3, 4, bs_index, a, v, out, nullptr, nullptr, nullptr));
  EXPECT_EQ(out[0], 30.0);
  EXPECT_EQ(out[1], 10.0);
  EXPECT_EQ(out[2], 0.0);
}

}  // namespace
}  // namespace zun
