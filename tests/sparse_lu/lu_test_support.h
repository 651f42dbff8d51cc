// Test support for the sparse LU: random sparse matrices, a factorisation harness around the
// public entries and dense reconstructions of L and U from the factor file layout.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "library/sparse_lu/lu_words.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun::lu_test {

// Dense m x n matrix, column-major.
struct Dense {
  int m = 0;
  int n = 0;
  std::vector<double> v;
  Dense(int rows, int cols) : m(rows), n(cols), v(static_cast<std::size_t>(rows) * cols, 0.0) {}
  double& operator()(int i, int j) { return v[static_cast<std::size_t>(j - 1) * m + (i - 1)]; }
  double operator()(int i, int j) const { return v[static_cast<std::size_t>(j - 1) * m + (i - 1)]; }
};

// Sparse matrix as triples (1-based rows and columns).
struct Triples {
  int m = 0;
  int n = 0;
  std::vector<double> a;
  std::vector<int> row;
  std::vector<int> col;
  void add(int i, int j, double value) {
    a.push_back(value);
    row.push_back(i);
    col.push_back(j);
  }
  Dense dense() const;
};

// Random m x n matrix with about per_col entries per column (distinct rows), values uniform in
// +-[0.1, 1]; with diagonal, entry (j, j) is added for j <= min(m, n).
Triples random_triples(int m, int n, double per_col, bool diagonal, std::mt19937& rng);

// Random m x m matrix with a diagonal and about per_col further entries per column in rows
// within `band` of the diagonal, values as above.
Triples random_banded(int m, double per_col, int band, std::mt19937& rng);

// 2-D grid Laplacian on a k x k grid (m = n = k^2).
Triples grid_laplacian(int k);

// The arrays of one set of factors and the calls on them.
class LuHarness {
 public:
  LuHarness(int m, int n, int lena);

  std::vector<int> luparm;
  std::vector<double> parmlu;
  std::vector<double> a;
  std::vector<int> indc, indr, ip, iq, lenc, lenr, locc, locr, iploc, iqloc, ipinv, iqinv;
  std::vector<double> w;

  int m() const { return m_; }
  int n() const { return n_; }
  int lena() const { return lena_; }
  int iword(int k) const { return luparm[k - 1]; }
  double rword(int k) const { return parmlu[k - 1]; }

  int factor(const Triples& t);
  int solve(int mode, std::vector<double>& v, std::vector<double>& wv);
  // PRUNEP; returns inform.
  int replace(int mode1, int mode2, int jrep, std::vector<double>& v, double& diag, double& vnorm);

  // Dense L (m x m) with A = L * U, from the L columns and the later single-entry factors.
  Dense dense_l() const;
  // Dense U (m x n) in the original row and column numbering (rows of U by RowPerm).
  Dense dense_u() const;

 private:
  int m_;
  int n_;
  int lena_;
};

// Max relative residual of A x = b after the solve (mode 5) with the factors of A, for a
// seeded b.
double solve_residual(LuHarness& h, const Triples& t);

// Empty when U is upper triangular in the order (ip, iq) with each row of the rank starting
// with its diagonal and the rows beyond the rank empty; else a description of the fault.
std::string triangular_fault(const LuHarness& h);

Dense multiply(const Dense& x, const Dense& y);
double max_abs(const Dense& x);
double max_abs_diff(const Dense& x, const Dense& y);

// Rank of a dense matrix by Gaussian elimination with complete pivoting (relative tolerance).
int dense_rank(Dense x, double tol);

}  // namespace zun::lu_test
