// Benchmark of the sparse LU: factorises generated sparse matrices of m = 1,000, 10,000 and
// 100,000 (random with a diagonal and a few entries per column near it, and a 2-D grid
// Laplacian), then makes 100 column replacements, each followed by a solve, and prints one
// line per case.  Entries placed uniformly at random would give a fill that grows faster than
// the entries; the banded placement keeps the random case low-fill.  Two more cases at m =
// 100,000: column singletons whose rows all hold an entry of one full column, and the random
// case with storage so tight that the files must be compressed often.  Then, at each m, an
// arrowhead (a diagonal with a full last row and column) and the random case with one full
// column: their factorisation time should grow with the entries, as the random case's does.
// Each line ends with the case name and the number of compressions of the factorisation.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "tests/sparse_lu/lu_test_support.h"

namespace {

using zun::lu_test::LuHarness;
using zun::lu_test::Triples;
using Clock = std::chrono::steady_clock;
namespace iw = zun::lu_integer_words;

double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The matrix by columns, kept up to date under the replacements.
struct Columns {
  std::vector<std::vector<std::pair<int, double>>> col;
  explicit Columns(const Triples& t) : col(t.n) {
    for (std::size_t k = 0; k < t.a.size(); ++k) col[t.col[k] - 1].push_back({t.row[k], t.a[k]});
  }
  // max relative residual of A x = b
  double residual(const std::vector<double>& x, const std::vector<double>& b) const {
    std::vector<double> r(b);
    double anorm = 0.0;
    double xnorm = 0.0;
    for (std::size_t j = 0; j < col.size(); ++j) {
      xnorm = std::max(xnorm, std::abs(x[j]));
      for (const auto& [i, v] : col[j]) {
        r[i - 1] -= v * x[j];
        anorm = std::max(anorm, std::abs(v));
      }
    }
    double rmax = 0.0;
    double bmax = 0.0;
    for (std::size_t i = 0; i < r.size(); ++i) {
      rmax = std::max(rmax, std::abs(r[i]));
      bmax = std::max(bmax, std::abs(b[i]));
    }
    return rmax / (anorm * xnorm + bmax);
  }
};

// lena_factor > 0: lena = lena_factor * nnz instead of the generous default.  Without
// replacements one solve gives the residual.
void run_case(const char* name,
              const Triples& t,
              std::mt19937& rng,
              double lena_factor = 0.0,
              int replacements = 100) {
  const int m = t.m;
  const int nnz = static_cast<int>(t.a.size());
  const int lena = lena_factor > 0.0 ? static_cast<int>(lena_factor * nnz) : 30 * nnz + 20 * m;
  LuHarness h(m, m, lena);
  Columns cols(t);

  auto t0 = Clock::now();
  const int inform = h.factor(t);
  const double factor_s = seconds_since(t0);
  if (inform > 1) {
    std::printf("LU m=%d nnz=%d factor inform=%d factor_s=%.4f case=%s\n", m, nnz, inform, factor_s,
                name);
    return;
  }
  const int compressions = h.iword(iw::kCompressions);
  const double fill =
      static_cast<double>(h.iword(iw::kLenL) + h.iword(iw::kLenU)) / std::max(nnz, 1);

  std::uniform_int_distribution<int> pick(1, m);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  double update_s = 0.0;
  double solve_s = 0.0;
  double residual = 0.0;
  std::vector<double> v(m), w(m), b(m), x(m);
  for (int rep = 0; rep < std::max(replacements, 1); ++rep) {
    const int jrep = pick(rng);
    std::vector<std::pair<int, double>> c{{jrep, 4.0 + val(rng)}};
    for (int k = 0; k < 3; ++k) {
      const int i = pick(rng);
      if (i != jrep) c.push_back({i, val(rng)});
    }
    std::sort(c.begin(), c.end());
    c.erase(std::unique(c.begin(), c.end(),
                        [](const auto& p, const auto& q) { return p.first == q.first; }),
            c.end());
    if (replacements > 0) {
      cols.col[jrep - 1] = c;
      std::fill(v.begin(), v.end(), 0.0);
      for (const auto& [i, a] : c) v[i - 1] = a;
      t0 = Clock::now();
      h.solve(1, v, w);
      double diag = 0.0;
      double vnorm = 0.0;
      const int up = h.replace(1, 2, jrep, v, diag, vnorm);
      update_s += seconds_since(t0);
      if (up == 7) {
        std::printf("LU m=%d update storage exhausted after %d replacements case=%s\n", m, rep,
                    name);
        return;
      }
    }

    for (int i = 0; i < m; ++i) b[i] = val(rng);
    v = b;
    t0 = Clock::now();
    h.solve(5, v, x);
    solve_s += seconds_since(t0);
    residual = std::max(residual, cols.residual(x, b));
  }
  std::printf(
      "LU m=%d nnz=%d factor_s=%.4f update_s=%.4f solve_s=%.4f fill=%.3f residual=%.2e "
      "case=%s compressions=%d\n",
      m, nnz, factor_s, update_s, solve_s, fill, residual, name, compressions);
  std::fflush(stdout);
}

// Column singletons (i, i) and one full column: every pivot row holds an entry of it.
Triples full_column(int m) {
  Triples t;
  t.m = t.n = m;
  const int full = m / 2;
  for (int j = 1; j <= m; ++j) {
    if (j != full) {
      t.add(j, j, 2.0);
      continue;
    }
    for (int i = 1; i <= m; ++i) t.add(i, j, i == j ? 4.0 : 0.5);
  }
  return t;
}

// A value of magnitude in [0.1, 1] (times scale) with a random sign.
double random_value(std::mt19937& rng, double scale = 1.0) {
  std::uniform_real_distribution<double> mag(0.1, 1.0);
  return (rng() % 2 == 0 ? 1.0 : -1.0) * mag(rng) * scale;
}

// Diagonal plus a full last row and column.
Triples arrowhead(int m, std::mt19937& rng) {
  Triples t;
  t.m = t.n = m;
  for (int j = 1; j < m; ++j) {
    t.add(j, j, random_value(rng, 4.0));
    t.add(m, j, random_value(rng));
  }
  for (int i = 1; i < m; ++i) t.add(i, m, random_value(rng));
  t.add(m, m, random_value(rng, 4.0));
  return t;
}

// The random case with column m/2 made full.
Triples dense_column(int m, std::mt19937& rng) {
  const Triples banded = zun::lu_test::random_banded(m, 3.0, 30, rng);
  const int full = m / 2;
  Triples t;
  t.m = t.n = m;
  std::vector<bool> held(static_cast<std::size_t>(m) + 1, false);
  for (std::size_t k = 0; k < banded.a.size(); ++k) {
    t.add(banded.row[k], banded.col[k], banded.a[k]);
    if (banded.col[k] == full) held[static_cast<std::size_t>(banded.row[k])] = true;
  }
  for (int i = 1; i <= m; ++i) {
    if (!held[static_cast<std::size_t>(i)]) t.add(i, full, random_value(rng));
  }
  return t;
}

}  // namespace

int main() {
  std::mt19937 rng(20261208);
  for (int m : {1000, 10000, 100000}) {
    run_case("random", zun::lu_test::random_banded(m, 3.0, 30, rng), rng);
  }
  for (int k : {32, 100, 316}) run_case("grid", zun::lu_test::grid_laplacian(k), rng);
  run_case("full_column", full_column(100000), rng);
  std::mt19937 tight_rng(7);
  run_case("random_tight", zun::lu_test::random_banded(100000, 3.0, 30, tight_rng), rng, 3.4, 0);
  std::mt19937 long_rng(20261209);
  for (int m : {1000, 10000, 100000}) {
    run_case("random", zun::lu_test::random_banded(m, 3.0, 30, long_rng), long_rng);
    run_case("arrowhead", arrowhead(m, long_rng), long_rng);
    run_case("dense_column", dense_column(m, long_rng), long_rng);
  }
  return 0;
}
