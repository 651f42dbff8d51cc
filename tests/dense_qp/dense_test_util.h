// Dense-matrix helpers of the factorisation-kit tests: seeded random matrices, products,
// explicit plane rotations and comparisons.
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace zun::dense_test {

// A column-major matrix with 1-based element access.
struct Dense {
  int rows = 0;
  int cols = 0;
  std::vector<double> v;

  Dense() = default;
  Dense(int m, int n) : rows(m), cols(n), v(static_cast<std::size_t>(m) * n, 0.0) {}
  double& operator()(int i, int j) { return v[(i - 1) + static_cast<std::size_t>(j - 1) * rows]; }
  double operator()(int i, int j) const {
    return v[(i - 1) + static_cast<std::size_t>(j - 1) * rows];
  }
  double* data() { return v.data(); }
  int ld() const { return std::max(rows, 1); }
};

inline Dense identity(int n) {
  Dense a(n, n);
  for (int i = 1; i <= n; ++i) a(i, i) = 1.0;
  return a;
}

inline Dense random_matrix(int m, int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense a(m, n);
  for (double& x : a.v) x = u(rng);
  return a;
}

// A random upper triangle with diagonal entries bounded away from zero.
inline Dense random_upper(int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense a(n, n);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i < j; ++i) a(i, j) = u(rng);
    a(j, j) = (u(rng) < 0 ? -1.0 : 1.0) * (1.0 + std::fabs(u(rng)));
  }
  return a;
}

inline Dense multiply(const Dense& a, const Dense& b) {
  Dense c(a.rows, b.cols);
  for (int j = 1; j <= b.cols; ++j) {
    for (int k = 1; k <= a.cols; ++k) {
      const double bkj = b(k, j);
      for (int i = 1; i <= a.rows; ++i) c(i, j) += a(i, k) * bkj;
    }
  }
  return c;
}

inline Dense transpose(const Dense& a) {
  Dense t(a.cols, a.rows);
  for (int j = 1; j <= a.cols; ++j) {
    for (int i = 1; i <= a.rows; ++i) t(j, i) = a(i, j);
  }
  return t;
}

inline double max_abs_diff(const Dense& a, const Dense& b) {
  double d = 0.0;
  for (std::size_t i = 0; i < a.v.size(); ++i) d = std::max(d, std::fabs(a.v[i] - b.v[i]));
  return d;
}

inline double max_below_diagonal(const Dense& a) {
  double d = 0.0;
  for (int j = 1; j <= a.cols; ++j) {
    for (int i = j + 1; i <= a.rows; ++i) d = std::max(d, std::fabs(a(i, j)));
  }
  return d;
}

// The upper triangle of a (zeros below).
inline Dense upper_part(const Dense& a) {
  Dense u(a.rows, a.cols);
  for (int j = 1; j <= a.cols; ++j) {
    for (int i = 1; i <= std::min(j, a.rows); ++i) u(i, j) = a(i, j);
  }
  return u;
}

// The n x n matrix G that applies the rotation (c, s) to rows (p, q) from the left:
// (x_p, x_q) -> (c x_p + s x_q, c x_q - s x_p).  A G' applies it to columns (p, q).
inline Dense rotation_matrix(int n, int p, int q, double c, double s) {
  Dense g = identity(n);
  g(p, p) = c;
  g(p, q) = s;
  g(q, p) = -s;
  g(q, q) = c;
  return g;
}

// Random rotation parameters c(1..n), s(1..n); every fourth one the identity.
inline void random_rotations(int n,
                             std::mt19937& rng,
                             std::vector<double>& c,
                             std::vector<double>& s) {
  std::uniform_real_distribution<double> angle(-3.0, 3.0);
  c.assign(n, 1.0);
  s.assign(n, 0.0);
  for (int k = 0; k < n; ++k) {
    if (k % 4 == 3) continue;
    const double t = angle(rng);
    c[k] = std::cos(t);
    s[k] = std::sin(t);
  }
}

// Applies the rotations of planes k1..k2-1 (PIVOT and DIRECT letters as the kit's) to a
// dense copy of a, one explicit rotation matrix at a time.
inline Dense apply_explicitly(char side,
                              char pivot,
                              char direct,
                              int k1,
                              int k2,
                              const std::vector<double>& c,
                              const std::vector<double>& s,
                              Dense a) {
  side = static_cast<char>(std::toupper(side));
  pivot = static_cast<char>(std::toupper(pivot));
  direct = static_cast<char>(std::toupper(direct));
  for (int step = 0; step < k2 - k1; ++step) {
    const int k = direct == 'F' ? k1 + step : k2 - 1 - step;
    const int p = pivot == 'T' ? k1 : k;
    const int q = pivot == 'B' ? k2 : k + 1;
    if (side == 'L') {
      a = multiply(rotation_matrix(a.rows, p, q, c[k - 1], s[k - 1]), a);
    } else {
      a = multiply(a, transpose(rotation_matrix(a.cols, p, q, c[k - 1], s[k - 1])));
    }
  }
  return a;
}

inline double frobenius(const Dense& a) {
  double s = 0.0;
  for (double x : a.v) s += x * x;
  return std::sqrt(s);
}

}  // namespace zun::dense_test
