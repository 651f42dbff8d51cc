// Plane rotations: generation from a tangent or a pair, sequences of rotations over a range of
// planes, and interchanges recorded in a real vector.
#include <cmath>
#include <cstdint>
#include <utility>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/kit_internal.h"
#include "library/support/machine.h"

namespace zun {

using dense_kit::ColumnMajor;
using dense_kit::is_identity_rotation;
using dense_kit::option_letter;
using dense_kit::rotate_pair;
using dense_kit::Strided;

void rotation_from_tangent(const double& t, double& c, double& s) {
  const double root_eps = std::sqrt(machine_precision());
  const double abs_t = std::fabs(t);
  if (abs_t < root_eps) {
    const double tangent = t;
    c = 1.0;
    s = tangent;
  } else if (abs_t > 1.0 / root_eps) {
    const double sign = std::copysign(1.0, t);
    c = 1.0 / abs_t;
    s = sign;
  } else {
    const double cosine = 1.0 / std::sqrt(1.0 + t * t);
    s = cosine * t;
    c = cosine;
  }
}

void generate_plane_rotation(double& a, double& b, double& c, double& s) {
  if (b == 0.0) {
    c = 1.0;
    s = 0.0;
    return;
  }
  int fail = 0;
  const double t = safe_divide(b, a, fail);
  double cosine = 1.0;
  double sine = 0.0;
  rotation_from_tangent(t, cosine, sine);
  a = cosine * a + sine * b;
  b = t;
  c = cosine;
  s = sine;
}

namespace dense_kit {

void generate_rotation_into_upper(double& upper, double& lower, double& c, double& s) {
  generate_plane_rotation(upper, lower, c, s);
  s = -s;
  lower = -lower;
}

}  // namespace dense_kit

void generate_rotation_sequence(const char* pivot,
                                const char* direct,
                                const int& n,
                                double& alpha,
                                double* x,
                                const int& incx,
                                double* c,
                                double* s,
                                int pivot_len,
                                int direct_len) {
  if (n <= 0) return;
  const char piv = option_letter(pivot, pivot_len);
  const char dir = option_letter(direct, direct_len);
  const Strided<double> xs(x, n, incx);
  using dense_kit::generate_rotation_into_upper;
  if (piv == 'F' && dir == 'F') {
    for (int i = 1; i <= n; ++i) generate_plane_rotation(alpha, xs(i), c[i - 1], s[i - 1]);
  } else if (piv == 'F' && dir == 'B') {
    for (int i = n; i >= 1; --i) generate_rotation_into_upper(alpha, xs(i), c[i - 1], s[i - 1]);
  } else if (piv == 'V' && dir == 'F') {
    for (int i = 1; i < n; ++i) generate_rotation_into_upper(xs(i + 1), xs(i), c[i - 1], s[i - 1]);
    generate_rotation_into_upper(alpha, xs(n), c[n - 1], s[n - 1]);
  } else if (piv == 'V' && dir == 'B') {
    for (int i = n; i >= 2; --i) generate_plane_rotation(xs(i - 1), xs(i), c[i - 1], s[i - 1]);
    generate_plane_rotation(alpha, xs(1), c[0], s[0]);
  }
}

namespace {

// The two planes (lower, upper) of rotation k under the pivot letter; false for an unknown
// letter.
bool rotation_planes(char pivot, int k, int k1, int k2, int& lower, int& upper) {
  switch (pivot) {
    case 'V':
      lower = k;
      upper = k + 1;
      return true;
    case 'T':
      lower = k1;
      upper = k + 1;
      return true;
    case 'B':
      lower = k;
      upper = k2;
      return true;
    default:
      return false;
  }
}

}  // namespace

void apply_rotation_sequence(const char* side,
                             const char* pivot,
                             const char* direct,
                             const int& m,
                             const int& n,
                             const int& k1,
                             const int& k2,
                             const double* c,
                             const double* s,
                             double* a,
                             const int& lda,
                             int side_len,
                             int pivot_len,
                             int direct_len) {
  const char sd = option_letter(side, side_len);
  const char piv = option_letter(pivot, pivot_len);
  const char dir = option_letter(direct, direct_len);
  if ((sd != 'L' && sd != 'R') || (dir != 'F' && dir != 'B')) return;
  const int planes = (sd == 'L') ? m : n;
  if (m < 1 || n < 1 || k1 < 1 || k1 >= k2 || k2 > planes) return;
  const ColumnMajor mat(a, lda);
  for (int step = 0; step < k2 - k1; ++step) {
    const int k = (dir == 'F') ? k1 + step : k2 - 1 - step;
    const double ck = c[k - 1];
    const double sk = s[k - 1];
    if (is_identity_rotation(ck, sk)) continue;
    int lower = 0;
    int upper = 0;
    if (!rotation_planes(piv, k, k1, k2, lower, upper)) return;
    if (sd == 'L') {
      for (int j = 1; j <= n; ++j) rotate_pair(ck, sk, mat(lower, j), mat(upper, j));
    } else {
      for (int i = 1; i <= m; ++i) rotate_pair(ck, sk, mat(i, lower), mat(i, upper));
    }
  }
}

void apply_interchanges(const char* side,
                        const char* trans,
                        const int& n,
                        const double* perm,
                        const int& k,
                        double* b,
                        const int& ldb,
                        int side_len,
                        int trans_len) {
  const char sd = option_letter(side, side_len);
  if ((sd != 'L' && sd != 'R') || n < 1 || k < 1) return;
  const bool transpose = option_letter(trans, trans_len) == 'T';
  // P = P(1)...P(n): P'B and B P take the interchanges in increasing order.
  const bool forwards = (sd == 'L') == transpose;
  const ColumnMajor mat(b, ldb);
  for (int step = 0; step < n; ++step) {
    const int i = forwards ? step + 1 : n - step;
    const int p = static_cast<int>(std::lround(perm[i - 1]));
    if (p == i || p < 1) continue;
    if (sd == 'L') {
      if (p > ldb || i > ldb) continue;
      for (int j = 1; j <= k; ++j) std::swap(mat(i, j), mat(p, j));
    } else {
      for (int r = 1; r <= k; ++r) std::swap(mat(r, i), mat(r, p));
    }
  }
}

}  // namespace zun
