// The reduced-Hessian factor: build of Z'HZ, its pivoted Cholesky factorisation, the test of a
// new diagonal, the new column of R for an entering superbasic, the search direction and the
// reduced gradient.
#include "library/sparse_qp/reduced_hessian.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace rw = sparse_option::real_word;
namespace mi = minor_word::integer_word;

// w(1..nnh) := the Hessian-variable part of Z e for the move whose basic part is -pb (m) and
// which moves variable jq by one (jq 0: none).
void scatter_z_column(int m, int nnh, const int* bs_index, const double* pb, int jq, double* w) {
  std::fill(w, w + nnh, 0.0);
  for (int k = 0; k < m; ++k) {
    const int j = bs_index[k];
    if (j >= 1 && j <= nnh) w[j - 1] = -pb[k];
  }
  if (jq >= 1 && jq <= nnh) w[jq - 1] = 1.0;
}

// out(1..ns) := (Hz)_S - S' B'^-1 (Hz)_B for the product hz (nnh) of the Hessian variables.
void reduce_product(const HessianContext& h,
                    int ns,
                    const int* bs_index,
                    const double* hz,
                    double* wb,
                    double* vb,
                    double* out) {
  const int m = h.m;
  std::vector<double> ws(ns);
  gather_signed(m, h.nnh, 1.0, bs_index, hz, wb);
  for (int k = 0; k < m; ++k) {
    if (bs_index[k] < 1 || bs_index[k] > h.nnh) wb[k] = 0.0;
  }
  for (int k = 0; k < ns; ++k) {
    const int j = bs_index[m + k];
    out[k] = j <= h.nnh ? hz[j - 1] : 0.0;
  }
  int inform = 0;
  if (m > 0) solve_with_basis("Bt vB = wB", inform, m, wb, vb, h.iz, h.z);
  multiply_columns("Transpose", 0.0, m, h.n, ns, bs_index + m, h.a, -1.0, vb, 1.0, out);
}

void report_singular_hessian(int itn, int rank, double diag, double dmin, const int* iz) {
  const qp::Units u = qp::units(iz);
  const std::string values = platform::format_e(diag, 10, 2) + platform::format_e(dmin, 10, 2);
  qp::write_record(u.print, " Itn" + platform::format_i(itn, 7) +
                                " -- Factorize detected a singular Hessian.");
  qp::write_record(u.print, "               Rank =" + platform::format_i(rank, 5) +
                                ".  Diag, min diag = " + values);
  if (!u.monitor_apart()) return;
  qp::write_record(u.monitor, " XXX Factorize detected a singular Hessian.");
  qp::write_record(u.monitor,
                   "     Rank = " + platform::format_i(rank, 5) + ".  Diag, min diag = " + values);
}

// Swaps the symmetric rows and columns k and q (k < q) of the packed matrix a of order n.
void symmetric_swap(int n, int k, int q, double* a) {
  std::swap(a[packed(k, k)], a[packed(q, q)]);
  for (int i = 1; i < k; ++i) std::swap(a[packed(i, k)], a[packed(i, q)]);
  for (int i = k + 1; i < q; ++i) std::swap(a[packed(k, i)], a[packed(i, q)]);
  for (int j = q + 1; j <= n; ++j) std::swap(a[packed(k, j)], a[packed(q, j)]);
}

// The superbasic at position m + q becomes nonbasic at the bound it lies on (or between them).
void make_nonbasic(const BasisArrays& b, int position) {
  const int j = b.bs_index[position - 1] - 1;
  const double lo = b.bl[j];
  const double up = b.bu[j];
  int s = VariableState::kBetweenBounds;
  if (lo == up) {
    s = VariableState::kFixed;
  } else if (b.x[j] <= lo) {
    b.x[j] = lo;
    s = VariableState::kAtLower;
  } else if (b.x[j] >= up) {
    b.x[j] = up;
    s = VariableState::kAtUpper;
  }
  b.state[j] = s;
}

}  // namespace

void hessian_product(const HessianContext& h, const double* v, double* hv) {
  hessian_product(h.routines, h.sign, h.m, h.n, h.nnh, h.products, h.a, v, hv, h.iz, h.leniz, h.z,
                  h.lenz);
}

void gather_signed(
    int count, int limit, double sign, const int* index, const double* source, double* target) {
  if (sign == 0.0) return;
  for (int k = 0; k < count; ++k) {
    const int j = index[k];
    if (j < 1 || j > limit) continue;
    target[k] = sign >= 1.0 ? source[j - 1] : (sign < 0.0 ? -source[j - 1] : target[k]);
  }
}

double build_reduced_hessian(const HessianContext& h, int ns, const int* bs_index, double* r) {
  const int m = h.m;
  std::vector<double> y(std::max(m, 1));
  std::vector<double> col(std::max(m, 1));
  std::vector<double> zk(std::max(h.nnh, 1));
  std::vector<double> hz(std::max(h.nnh, 1));
  std::vector<double> vb(std::max(m, 1));
  std::vector<double> out(ns);
  double hdmax = 0.0;
  for (int k = 1; k <= ns; ++k) {
    const int jq = bs_index[m + k - 1];
    int inform = 0;
    if (m > 0) {
      unpack_column(jq, m, h.n, h.a, col.data());
      solve_with_basis("B y = w", inform, m, col.data(), y.data(), h.iz, h.z);
    }
    scatter_z_column(m, h.nnh, bs_index, y.data(), jq, zk.data());
    hessian_product(h, zk.data(), hz.data());
    for (int j = 0; j < h.nnh; ++j) hz[j] *= h.sign;
    reduce_product(h, ns, bs_index, hz.data(), col.data(), vb.data(), out.data());
    for (int i = 1; i <= k; ++i) r[packed(i, k)] = out[i - 1];
    hdmax = std::max(hdmax, out[k - 1]);
  }
  return hdmax;
}

void cholesky_packed_pivoted(std::string_view option,
                             int& inform,
                             int n,
                             double tol,
                             double& dmin,
                             int& rank,
                             int* perm,
                             double* a) {
  inform = 0;
  rank = 0;
  if (n == 0) return;
  const bool interchanges = option.empty() || option.front() != 'N';
  for (int k = 1; k <= n; ++k) {
    if (interchanges) {
      int q = k;
      for (int i = k + 1; i <= n; ++i) {
        if (std::abs(a[packed(i, i)]) > std::abs(a[packed(q, q)])) q = i;
      }
      perm[k - 1] = q;
      if (q != k) symmetric_swap(n, k, q, a);
    }
    const double pivot = a[packed(k, k)];
    dmin = pivot;
    if (pivot <= tol) {
      inform = 1;
      return;
    }
    const double rkk = std::sqrt(pivot);
    a[packed(k, k)] = rkk;
    for (int j = k + 1; j <= n; ++j) a[packed(k, j)] /= rkk;
    rank = k;
    for (int j = k + 1; j <= n; ++j) {
      const double rkj = a[packed(k, j)];
      if (rkj == 0.0) continue;
      for (int i = k + 1; i <= j; ++i) a[packed(i, j)] -= a[packed(k, i)] * rkj;
    }
  }
}

void factorize_reduced_hessian(std::string_view option,
                               int& inform,
                               int m,
                               int& ns,
                               double hdmax,
                               double* r,
                               const BasisArrays& basis,
                               int* iz,
                               double* z,
                               int itn,
                               int print_level) {
  const double tol = std::max(1.0, hdmax) / z[rw::kConditionLimit - 1];
  std::vector<int> perm(std::max(ns, 1));
  double dmin = 0.0;
  int rank = 0;
  cholesky_packed_pivoted(option, inform, ns, tol, dmin, rank, perm.data(), r);
  const bool interchanges = option.empty() || option.front() != 'N';
  if (interchanges) {
    for (int k = 1; k <= rank + (inform != 0 ? 1 : 0) && k <= ns; ++k) {
      const int q = perm[k - 1];
      if (q == k) continue;
      std::swap(basis.bs_index[m + k - 1], basis.bs_index[m + q - 1]);
      std::swap(basis.xbs[m + k - 1], basis.xbs[m + q - 1]);
      std::swap(basis.bl_bs[m + k - 1], basis.bl_bs[m + q - 1]);
      std::swap(basis.bu_bs[m + k - 1], basis.bu_bs[m + q - 1]);
    }
  }
  if (rank >= ns || iz[mi::kAllHessianVariables - 1] == 1) return;
  for (int q = rank + 1; q <= ns; ++q) make_nonbasic(basis, m + q);
  const double diag = rank >= 1 ? r[packed(rank, rank)] : 0.0;
  ns = rank;
  if (qp::messages_on(print_level)) report_singular_hessian(itn, rank, diag, dmin, iz);
}

void check_r_diagonal(
    bool& ok, int& flag, int itn, int ns, double& d, const double* r, int* iz, double* z, int print_level) {
  flag = 0;
  ok = true;
  if (ns == 0) return;
  const double limit = z[rw::kConditionLimit - 1];
  double tol = 1.0 / limit;
  if (ns > 1) {
    double dmax = 0.0;
    for (int k = 1; k < ns; ++k) dmax = std::max(dmax, std::abs(r[packed(k, k)]));
    tol = dmax * (dmax / limit);
  }
  ok = d >= tol;
  if (ok) return;
  const qp::Units u = qp::units(iz);
  const std::string values = platform::format_e(d, 10, 2) + platform::format_e(tol, 10, 2);
  const std::string at = platform::format_i(itn, 7);
  if (std::abs(d) >= tol) {
    flag = 1;
    if (!qp::messages_on(print_level)) return;
    qp::write_record(u.print, " Itn" + at + " -- Indefinite reduced Hessian.");
    qp::write_record(u.print, "         Square of diag, min diag = " + values);
    if (!u.monitor_apart()) return;
    qp::write_record(u.monitor, " XXX Indefinite reduced Hessian at itn " + at);
    qp::write_record(u.monitor, "Square of diag, min diag = " + values);
    return;
  }
  if (d < 0.0) {
    if (qp::messages_on(print_level)) {
      qp::write_record(u.print, " Itn" + at + " -- Hessian numerically indefinite.");
      qp::write_record(u.print, "             Square of diag, min diag = " + values);
      if (u.monitor_apart()) {
        qp::write_record(u.monitor, " XXX Hessian numerically indefinite at itn " + at);
        qp::write_record(u.monitor, "     Square of diag, min diag = " + values);
      }
    }
    d = 0.0;
  }
}

void solve_rtr_direction(bool objective_in_force,
                         bool r_valid,
                         bool r_complete,
                         int ns,
                         const double* r,
                         const double* rg,
                         double* p,
                         double& gp,
                         double& dq) {
  if (!objective_in_force || !r_valid) {
    std::copy(rg, rg + ns, p);
    dq = 0.0;
  } else if (!r_complete) {
    const double rnn = r[packed(ns, ns)];
    dq = rnn * rnn;
    for (int i = 1; i < ns; ++i) p[i - 1] = r[packed(i, ns)];
    if (ns > 1) solve_with_r("R ", ns - 1, r, p);
    p[ns - 1] = -1.0;
  } else {
    std::copy(rg, rg + ns, p);
    solve_with_r("Rt", ns, r, p);
    dq = 0.0;
    for (int i = 0; i < ns; ++i) dq += p[i] * p[i];
    solve_with_r("R ", ns, r, p);
  }
  gp = 0.0;
  for (int i = 0; i < ns; ++i) {
    p[i] = -p[i];
    gp += rg[i] * p[i];
  }
}

double reduced_gradient_norm(int m,
                             int n,
                             int ns,
                             const int* bs_index,
                             const ColumnMatrix& a,
                             const double* g,
                             const double* pi,
                             double* rg) {
  if (ns <= 0) return 0.0;
  std::copy(g + m, g + m + ns, rg);
  multiply_columns("Transpose", 0.0, m, n, ns, bs_index + m, a, -1.0, pi, 1.0, rg);
  double largest = 0.0;
  for (int k = 0; k < ns; ++k) largest = std::max(largest, std::abs(rg[k]));
  return largest;
}

void form_new_r_column(const HessianContext& h,
                       int jq,
                       int ns,
                       const int* bs_index,
                       double* r,
                       const double* p,
                       double* work) {
  const int m = h.m;
  const int nnh = h.nnh;
  double* zq = work;
  double* hz = work + nnh;
  double* wb = work + 2 * nnh;
  double* vb = work + 2 * nnh + m;
  scatter_z_column(m, nnh, bs_index, p, jq, zq);
  hessian_product(h, zq, hz);
  if (h.sign < 0.0) {
    for (int j = 0; j < nnh; ++j) hz[j] *= h.sign;
  }
  double zhz = 0.0;
  for (int j = 0; j < nnh; ++j) zhz += zq[j] * hz[j];
  double rr = 0.0;
  if (ns >= 2) {
    std::vector<double> col(ns);
    reduce_product(h, ns, bs_index, hz, wb, vb, col.data());
    const int lead = std::min(ns - 1, nnh);
    std::vector<double> rcol(ns - 1, 0.0);
    std::copy(col.begin(), col.begin() + lead, rcol.begin());
    solve_with_r("Rt", ns - 1, r, rcol.data());
    for (int i = 1; i < ns; ++i) {
      r[packed(i, ns)] = rcol[i - 1];
      rr += rcol[i - 1] * rcol[i - 1];
    }
  }
  r[packed(ns, ns)] = nnh < ns ? 0.0 : zhz - rr;
}

}  // namespace zun
