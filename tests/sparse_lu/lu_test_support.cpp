// Test support for the sparse LU.
#include "tests/sparse_lu/lu_test_support.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace zun::lu_test {

Dense Triples::dense() const {
  Dense d(m, n);
  for (std::size_t k = 0; k < a.size(); ++k) d(row[k], col[k]) += a[k];
  return d;
}

Triples random_triples(int m, int n, double per_col, bool diagonal, std::mt19937& rng) {
  Triples t;
  t.m = m;
  t.n = n;
  std::uniform_real_distribution<double> mag(0.1, 1.0);
  std::uniform_int_distribution<int> sign(0, 1);
  std::uniform_int_distribution<int> pick_row(1, std::max(m, 1));
  const double p = std::min(1.0, per_col / std::max(m, 1));
  std::bernoulli_distribution take(p);
  for (int j = 1; j <= n; ++j) {
    std::set<int> rows;
    if (diagonal && j <= m) rows.insert(j);
    if (p >= 0.2) {
      for (int i = 1; i <= m; ++i) {
        if (take(rng)) rows.insert(i);
      }
    } else {
      std::poisson_distribution<int> count(per_col);
      const int c = std::min(count(rng), m);
      while (static_cast<int>(rows.size()) < c + (diagonal && j <= m ? 1 : 0) &&
             static_cast<int>(rows.size()) < m) {
        rows.insert(pick_row(rng));
      }
    }
    for (int i : rows) t.add(i, j, (sign(rng) ? 1.0 : -1.0) * mag(rng) * (i == j ? 4.0 : 1.0));
  }
  return t;
}

Triples random_banded(int m, double per_col, int band, std::mt19937& rng) {
  Triples t;
  t.m = t.n = m;
  std::uniform_real_distribution<double> mag(0.1, 1.0);
  std::uniform_int_distribution<int> sign(0, 1);
  std::uniform_int_distribution<int> offset(-band, band);
  std::poisson_distribution<int> count(per_col);
  for (int j = 1; j <= m; ++j) {
    std::set<int> rows{j};
    const int c = count(rng);
    for (int k = 0; k < c; ++k) {
      const int i = j + offset(rng);
      if (i >= 1 && i <= m) rows.insert(i);
    }
    for (int i : rows) t.add(i, j, (sign(rng) ? 1.0 : -1.0) * mag(rng) * (i == j ? 4.0 : 1.0));
  }
  return t;
}

Triples grid_laplacian(int k) {
  Triples t;
  t.m = t.n = k * k;
  auto id = [k](int r, int c) { return (r - 1) * k + c; };
  for (int r = 1; r <= k; ++r) {
    for (int c = 1; c <= k; ++c) {
      const int p = id(r, c);
      t.add(p, p, 4.0);
      if (r > 1) t.add(id(r - 1, c), p, -1.0);
      if (r < k) t.add(id(r + 1, c), p, -1.0);
      if (c > 1) t.add(id(r, c - 1), p, -1.0);
      if (c < k) t.add(id(r, c + 1), p, -1.0);
    }
  }
  return t;
}

LuHarness::LuHarness(int m, int n, int lena)
    : luparm(kLuIntegerWordsLength, 0),
      parmlu(kLuRealWordsLength, 0.0),
      a(lena),
      indc(lena),
      indr(lena),
      ip(std::max(m, 1)),
      iq(std::max(n, 1)),
      lenc(std::max(n, 1)),
      lenr(std::max(m, 1)),
      locc(std::max(n, 1)),
      locr(std::max(m, 1)),
      iploc(std::max(n, 1)),
      iqloc(std::max(m, 1)),
      ipinv(std::max(m, 1)),
      iqinv(std::max(n, 1)),
      w(std::max(n, 1)),
      m_(m),
      n_(n),
      lena_(lena) {
  namespace iw = lu_integer_words;
  namespace rw = lu_real_words;
  luparm[iw::kPrintUnit - 1] = -1;
  luparm[iw::kPrintLevel - 1] = -1;
  luparm[iw::kMaxCol - 1] = 5;
  luparm[iw::kKeepFactors - 1] = 1;
  const double eps = std::ldexp(1.0, -52);
  parmlu[rw::kFactorTol - 1] = 5.0;
  parmlu[rw::kUpdateTol - 1] = 5.0;
  parmlu[rw::kDropTol - 1] = std::pow(eps, 0.8);
  parmlu[rw::kAbsSingTol - 1] = std::pow(eps, 0.67);
  parmlu[rw::kRelSingTol - 1] = std::pow(eps, 0.67);
  parmlu[rw::kGrowthSpace - 1] = 3.0;
  parmlu[rw::kDensity1 - 1] = 0.3;
  parmlu[rw::kDensity2 - 1] = 0.6;
}

int LuHarness::factor(const Triples& t) {
  int nelem = static_cast<int>(t.a.size());
  std::copy(t.a.begin(), t.a.end(), a.begin());
  std::copy(t.row.begin(), t.row.end(), indc.begin());
  std::copy(t.col.begin(), t.col.end(), indr.begin());
  int inform = -99;
  PRUNEN(m_, n_, nelem, lena_, luparm.data(), parmlu.data(), a.data(), indc.data(), indr.data(),
         ip.data(), iq.data(), lenc.data(), lenr.data(), locc.data(), locr.data(), iploc.data(),
         iqloc.data(), ipinv.data(), iqinv.data(), w.data(), inform);
  return inform;
}

int LuHarness::solve(int mode, std::vector<double>& v, std::vector<double>& wv) {
  int inform = -99;
  lu_solve(mode, m_, n_, v.data(), wv.data(), lena_, luparm.data(), parmlu.data(), a.data(),
           indc.data(), indr.data(), ip.data(), iq.data(), lenc.data(), lenr.data(), locc.data(),
           locr.data(), inform);
  return inform;
}

int LuHarness::replace(
    int mode1, int mode2, int jrep, std::vector<double>& v, double& diag, double& vnorm) {
  int inform = -99;
  std::vector<double> work(std::max(n_, 1));
  PRUNEP(mode1, mode2, m_, n_, jrep, v.data(), work.data(), lena_, luparm.data(), parmlu.data(),
         a.data(), indc.data(), indr.data(), ip.data(), iq.data(), lenc.data(), lenr.data(),
         locc.data(), locr.data(), inform, diag, vnorm);
  return inform;
}

Dense LuHarness::dense_l() const {
  namespace iw = lu_integer_words;
  // L^-1 is the product of the elementary operations v(indc) += a * v(indr) in storage
  // order; L is the product of their inverses in the same order.
  Dense l(m_, m_);
  for (int i = 1; i <= m_; ++i) l(i, i) = 1.0;
  auto apply_inverse = [&](double mult, int target, int source) {
    for (int r = 1; r <= m_; ++r) l(r, source) -= mult * l(r, target);
  };
  const int num_l0 = iword(iw::kNumL0);
  const int len_l0 = num_l0 == 0 ? 0 : iword(iw::kLenL0);
  int end = lena_;
  for (int k = 1; k <= num_l0; ++k) {
    const int len = lenc[k - 1];
    for (int p = end - len + 1; p <= end; ++p) apply_inverse(a[p - 1], indc[p - 1], indr[p - 1]);
    end -= len;
  }
  for (int p = lena_ - len_l0; p >= lena_ - iword(iw::kLenL) + 1; --p) {
    apply_inverse(a[p - 1], indc[p - 1], indr[p - 1]);
  }
  return l;
}

Dense LuHarness::dense_u() const {
  namespace iw = lu_integer_words;
  Dense u(m_, n_);
  for (int k = 1; k <= iword(iw::kRank); ++k) {
    const int i = ip[k - 1];
    for (int p = locr[i - 1]; p < locr[i - 1] + lenr[i - 1]; ++p) u(i, indr[p - 1]) = a[p - 1];
  }
  return u;
}

double solve_residual(LuHarness& h, const Triples& t) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> b(t.m);
  for (double& x : b) x = val(rng);
  std::vector<double> v = b;
  std::vector<double> x(t.n);
  h.solve(5, v, x);
  std::vector<double> r = b;
  double scale = 0.0;
  for (std::size_t k = 0; k < t.a.size(); ++k) {
    r[t.row[k] - 1] -= t.a[k] * x[t.col[k] - 1];
    scale = std::max(scale, std::abs(t.a[k] * x[t.col[k] - 1]));
  }
  double rmax = 0.0;
  for (double y : r) rmax = std::max(rmax, std::abs(y));
  return rmax / std::max(scale, 1.0);
}

std::string triangular_fault(const LuHarness& h) {
  namespace iw = lu_integer_words;
  std::vector<int> qinv(h.n() + 1);
  for (int k = 1; k <= h.n(); ++k) qinv[h.iq[k - 1]] = k;
  const int nrank = h.iword(iw::kRank);
  for (int k = 1; k <= h.m(); ++k) {
    const int i = h.ip[k - 1];
    const int len = h.lenr[i - 1];
    const int l1 = h.locr[i - 1];
    if (k > nrank) {
      if (len != 0) return "row beyond the rank at " + std::to_string(k);
      continue;
    }
    if (len < 1 || h.indr[l1 - 1] != h.iq[k - 1]) {
      return "row at " + std::to_string(k) + " does not start with its diagonal";
    }
    for (int p = l1; p < l1 + len; ++p) {
      if (qinv[h.indr[p - 1]] < k) return "U not triangular at " + std::to_string(k);
    }
  }
  return "";
}

Dense multiply(const Dense& x, const Dense& y) {
  Dense z(x.m, y.n);
  for (int j = 1; j <= y.n; ++j) {
    for (int k = 1; k <= x.n; ++k) {
      const double t = y(k, j);
      if (t == 0.0) continue;
      for (int i = 1; i <= x.m; ++i) z(i, j) += x(i, k) * t;
    }
  }
  return z;
}

double max_abs(const Dense& x) {
  double r = 0.0;
  for (double t : x.v) r = std::max(r, std::abs(t));
  return r;
}

double max_abs_diff(const Dense& x, const Dense& y) {
  double r = 0.0;
  for (std::size_t k = 0; k < x.v.size(); ++k) r = std::max(r, std::abs(x.v[k] - y.v[k]));
  return r;
}

int dense_rank(Dense x, double tol) {
  const double scale = std::max(max_abs(x), 1e-300);
  int rank = 0;
  std::vector<bool> row_used(x.m + 1, false), col_used(x.n + 1, false);
  for (int step = 0; step < std::min(x.m, x.n); ++step) {
    int pi = 0, pj = 0;
    double big = 0.0;
    for (int j = 1; j <= x.n; ++j) {
      if (col_used[j]) continue;
      for (int i = 1; i <= x.m; ++i) {
        if (!row_used[i] && std::abs(x(i, j)) > big) {
          big = std::abs(x(i, j));
          pi = i;
          pj = j;
        }
      }
    }
    if (big <= tol * scale) break;
    ++rank;
    row_used[pi] = col_used[pj] = true;
    for (int i = 1; i <= x.m; ++i) {
      if (row_used[i]) continue;
      const double f = x(i, pj) / x(pi, pj);
      for (int j = 1; j <= x.n; ++j) x(i, j) -= f * x(pi, j);
    }
  }
  return rank;
}

}  // namespace zun::lu_test
