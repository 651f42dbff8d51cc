// Internal view of the working set's TQ factorisation and the elementary changes of its basis.
//
// The basis: the free variables (places 1..nfree of VarOrder) are x_F = Q x_Q, with Q the
// nfree x nfree orthogonal factor (the identity when unit_q); the fixed variables (places
// nfree+1..n) are their own basis vectors.  In this basis the working-set rows restricted to
// the free variables are (0 T), T reverse-triangular in columns nz+1..nfree of the T array;
// the objective's factor R (rows 1..nrank used) and the companions (gradient columns, ld n, and
// residual columns, ld n) are kept consistent with every change.
#pragma once

#include <cstdint>

namespace zun::tq {

// 1-based element access to a column-major array.
struct Mat {
  double* data = nullptr;
  int ld = 1;
  double& operator()(int i, int j) const {
    return data[(i - 1) + static_cast<std::int64_t>(j - 1) * ld];
  }
  double* col(int j) const { return &(*this)(1, j); }
};

// The rotation (c, s) with c a + s b = 0 and c b - s a = hypot(a, b): applied to the pair
// (x, y) as (c x + s y, c y - s x) it moves the element a of x into y.
void rotation_into_second(double a, double b, double& c, double& s);

// Largest and smallest |T(i, nfree+1-i)|, i = 1..nactiv (both 0 when nactiv < 1).
void anti_diagonal_range(const Mat& t, int nactiv, int nfree, double& dmax, double& dmin);

struct Basis {
  int n = 0;
  bool unit_q = true;
  int nactiv = 0;
  int nfree = 0;
  int nz = 0;
  int nrank = 0;
  int* kx = nullptr;  // VarOrder, 1-based places
  Mat q, r, t;
  double* gq = nullptr;  // ngq columns, ld n
  int ngq = 0;
  double* res = nullptr;  // nres columns, ld n
  int nres = 0;

  // Rotates basis vectors k and k+1 by (c, s) (pair rule above): the columns of Q, of R (its
  // triangle restored by a row rotation that also goes to the residual rows), the rows of the
  // gradient columns, and, when on_t, columns k and k+1 of T (rows 1..nactiv).
  void rotate(int k, double c, double s, bool on_t) const;
  // Swaps basis places k and k+1: Q's columns (q_columns) or VarOrder's entries, with R and
  // the gradient rows following.
  void swap_adjacent(int k, bool q_columns) const;
  // Exchanges basis places j1 and j2 by adjacent swaps.
  void swap_places(int j1, int j2, bool q_columns) const;
  // Changes the sign of basis vector k (Q's column or nothing with unit Q, R's column, the
  // gradient rows, and column k of T when on_t).
  void negate(int k, bool on_t) const;
  // Removes R's subdiagonal element (k+1, k) by a rotation of rows k and k+1 (also applied to
  // the residual rows); nothing beyond the rank.
  void restore_subdiagonal(int k) const;
  // Sets Q to the nfree x nfree identity and clears unit_q.
  void make_q_explicit();
};

}  // namespace zun::tq
