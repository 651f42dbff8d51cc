// Rotations that keep triangular and reverse-triangular factors in shape: rotation sweeps on
// an upper triangle, its restoration from Hessenberg or spiked form, cyclic shifts, and the
// create/remove sweeps on the reverse-triangular factor T.
#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/kit_internal.h"

namespace zun {

using dense_kit::ColumnMajor;
using dense_kit::generate_rotation_into_upper;
using dense_kit::is_identity_rotation;
using dense_kit::option_letter;
using dense_kit::rotate_pair;

namespace {

bool valid_planes(int n, int k1, int k2) { return n >= 1 && k1 >= 1 && k1 < k2 && k2 <= n; }

// Row rotation of rows (j, j+1) over columns j..n of the triangle; returns the element it
// creates at (j+1, j).
double rotate_rows_of_triangle(const ColumnMajor& a, int n, int j, double c, double s) {
  if (is_identity_rotation(c, s)) return 0.0;
  for (int col = j + 1; col <= n; ++col) rotate_pair(c, s, a(j, col), a(j + 1, col));
  const double fill = -s * a(j, j);
  a(j, j) *= c;
  return fill;
}

// Column rotation of columns (j, j+1) over rows 1..j+1 of the triangle; returns the element it
// creates at (j+1, j).
double rotate_columns_of_triangle(const ColumnMajor& a, int j, double c, double s) {
  if (is_identity_rotation(c, s)) return 0.0;
  for (int row = 1; row <= j; ++row) rotate_pair(c, s, a(row, j), a(row, j + 1));
  const double fill = s * a(j + 1, j + 1);
  a(j + 1, j + 1) *= c;
  return fill;
}

// Zeroes the element `fill` at (j+1, j) by a row rotation of rows (j, j+1) over columns
// j+1..n; the rotation is returned in c, s.
void remove_fill_by_rows(const ColumnMajor& a, int n, int j, double fill, double& c, double& s) {
  double diag = a(j, j);
  generate_plane_rotation(diag, fill, c, s);
  a(j, j) = diag;
  if (is_identity_rotation(c, s)) return;
  for (int col = j + 1; col <= n; ++col) rotate_pair(c, s, a(j, col), a(j + 1, col));
}

// Zeroes the element `fill` at (j+1, j) by a column rotation of columns (j, j+1) over rows
// 1..j; the rotation is returned in c, s.
void remove_fill_by_columns(const ColumnMajor& a, int j, double fill, double& c, double& s) {
  double diag = a(j + 1, j + 1);
  generate_rotation_into_upper(diag, fill, c, s);
  a(j + 1, j + 1) = diag;
  if (is_identity_rotation(c, s)) return;
  for (int row = 1; row <= j; ++row) rotate_pair(c, s, a(row, j), a(row, j + 1));
}

}  // namespace

void apply_rotations_to_triangle(const char* side,
                                 const int& n,
                                 const int& k1,
                                 const int& k2,
                                 const double* c,
                                 double* s,
                                 double* a,
                                 const int& lda,
                                 int side_len) {
  if (!valid_planes(n, k1, k2)) return;
  const char sd = option_letter(side, side_len);
  const ColumnMajor mat(a, lda);
  if (sd == 'L') {
    for (int j = k2 - 1; j >= k1; --j)
      s[j - 1] = rotate_rows_of_triangle(mat, n, j, c[j - 1], s[j - 1]);
  } else if (sd == 'R') {
    for (int j = k1; j < k2; ++j) s[j - 1] = rotate_columns_of_triangle(mat, j, c[j - 1], s[j - 1]);
  }
}

void restore_triangle(const char* side,
                      const int& n,
                      const int& k1,
                      const int& k2,
                      double* c,
                      double* s,
                      double* a,
                      const int& lda,
                      int side_len) {
  if (!valid_planes(n, k1, k2)) return;
  const char sd = option_letter(side, side_len);
  const ColumnMajor mat(a, lda);
  if (sd == 'L') {
    for (int j = k1; j < k2; ++j) remove_fill_by_rows(mat, n, j, s[j - 1], c[j - 1], s[j - 1]);
  } else if (sd == 'R') {
    for (int j = k2 - 1; j >= k1; --j) remove_fill_by_columns(mat, j, s[j - 1], c[j - 1], s[j - 1]);
  }
}

void shift_triangle_cyclically(const char* side,
                               const int& n,
                               const int& k1,
                               const int& k2,
                               double* s,
                               double* a,
                               const int& lda,
                               int side_len) {
  if (!valid_planes(n, k1, k2)) return;
  const char sd = option_letter(side, side_len);
  const ColumnMajor mat(a, lda);
  if (sd == 'R') {
    // Row by row: columns k1+1..k2 move left, column k1 goes to k2 (its rows 1..k1 only).
    for (int row = 1; row <= k2; ++row) {
      const int first = (row <= k1) ? k1 : row;
      const double moved = (row <= k1) ? mat(row, k1) : 0.0;
      if (row > k1) s[row - 2] = mat(row, row);
      for (int col = first; col < k2; ++col) mat(row, col) = mat(row, col + 1);
      mat(row, k2) = moved;
    }
  } else if (sd == 'L') {
    // Column by column: rows k1..k2-1 move down, row k2 goes to k1 (its columns k2..n only).
    for (int col = k1; col <= n; ++col) {
      const int last = (col < k2) ? col : k2 - 1;
      const double moved = (col < k2) ? 0.0 : mat(k2, col);
      if (col < k2) s[col - 1] = mat(col, col);
      for (int row = last; row >= k1; --row) {
        if (row + 1 <= col) mat(row + 1, col) = mat(row, col);
      }
      mat(k1, col) = moved;
    }
  }
}

void retriangulate_spike(const char* side,
                         const int& n,
                         const int& k1,
                         const int& k2,
                         double* c,
                         double* s,
                         double* a,
                         const int& lda,
                         int side_len) {
  if (!valid_planes(n, k1, k2)) return;
  const char sd = option_letter(side, side_len);
  const ColumnMajor mat(a, lda);
  for (int j = k2 - 1; j >= k1; --j) {
    if (sd == 'R') {
      const double fill = rotate_columns_of_triangle(mat, j, c[j - 1], s[j - 1]);
      remove_fill_by_rows(mat, n, j, fill, c[j - 1], s[j - 1]);
    } else if (sd == 'L') {
      const double fill = rotate_rows_of_triangle(mat, n, j, c[j - 1], s[j - 1]);
      remove_fill_by_columns(mat, j, fill, c[j - 1], s[j - 1]);
    }
  }
}

void create_row_spike(const char* side,
                      const int& n,
                      const int& k1,
                      const int& k2,
                      const double* c,
                      double* s,
                      double* a,
                      const int& lda,
                      int side_len) {
  if (!valid_planes(n, k1, k2) || option_letter(side, side_len) != 'L') return;
  const ColumnMajor mat(a, lda);
  for (int k = k2 - 1; k >= k1; --k) {
    const double ck = c[k - 1];
    const double sk = s[k - 1];
    if (is_identity_rotation(ck, sk)) {
      s[k - 1] = 0.0;
      continue;
    }
    // Columns k+1..k2-1 of row k2 are the spike built so far (in s); k2..n are in A.
    for (int col = k + 1; col < k2; ++col) rotate_pair(ck, sk, mat(k, col), s[col - 1]);
    for (int col = k2; col <= n; ++col) rotate_pair(ck, sk, mat(k, col), mat(k2, col));
    s[k - 1] = -sk * mat(k, k);
    mat(k, k) *= ck;
  }
}

void remove_row_spike(const char* side,
                      const int& n,
                      const int& k1,
                      const int& k2,
                      double* c,
                      double* s,
                      double* a,
                      const int& lda,
                      int side_len) {
  if (!valid_planes(n, k1, k2) || option_letter(side, side_len) != 'L') return;
  const ColumnMajor mat(a, lda);
  for (int k = k1; k < k2; ++k) {
    double diag = mat(k, k);
    double spike = s[k - 1];
    double ck = 1.0;
    double sk = 0.0;
    generate_plane_rotation(diag, spike, ck, sk);
    mat(k, k) = diag;
    c[k - 1] = ck;
    s[k - 1] = sk;
    if (is_identity_rotation(ck, sk)) continue;
    for (int col = k + 1; col < k2; ++col) rotate_pair(ck, sk, mat(k, col), s[col - 1]);
    for (int col = k2; col <= n; ++col) rotate_pair(ck, sk, mat(k, col), mat(k2, col));
  }
}

void rotate_reverse_triangle(const char* job,
                             const int& n,
                             const int& nrowt,
                             const int& k1,
                             const int& k2,
                             double* c,
                             double* s,
                             double* t,
                             const int& ldt,
                             int job_len) {
  if (n < 1 || nrowt < 1 || k1 < 1 || k1 >= k2 || k2 > n) return;
  const char jb = option_letter(job, job_len);
  const ColumnMajor mat(t, ldt);
  if (jb == 'C') {
    for (int k = k1; k < k2; ++k) {
      const int row = n - k;  // the row whose diagonal sits in column k+1
      const double ck = c[k - 1];
      const double sk = s[k - 1];
      if (row > nrowt || is_identity_rotation(ck, sk)) continue;
      for (int i = row + 1; i <= nrowt; ++i) rotate_pair(ck, sk, mat(i, k), mat(i, k + 1));
      const double fill = sk * mat(row, k + 1);
      mat(row, k + 1) *= ck;
      mat(row, k) = fill;
      s[k - 1] = fill;
    }
  } else if (jb == 'R') {
    for (int k = k2 - 1; k >= k1; --k) {
      const int row = n - k;  // the row whose extra element sits in column k
      double ck = 1.0;
      double sk = 0.0;
      if (row <= nrowt) {
        double diag = mat(row, k + 1);
        double extra = mat(row, k);
        generate_rotation_into_upper(diag, extra, ck, sk);
        mat(row, k + 1) = diag;
        mat(row, k) = 0.0;
        if (!is_identity_rotation(ck, sk)) {
          for (int i = row + 1; i <= nrowt; ++i) rotate_pair(ck, sk, mat(i, k), mat(i, k + 1));
        }
      }
      c[k - 1] = ck;
      s[k - 1] = sk;
    }
  }
}

}  // namespace zun
