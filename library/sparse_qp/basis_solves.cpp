// Solves with the factors of the basis, the LU column replacement after a basis change, the
// moves between x and xBS, and the recomputation and check of the basic values.
#include <algorithm>
#include <cmath>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_qp/sparse_multiply.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace rw = sparse_option::real_word;
namespace mr = minor_word::real_word;

constexpr int kSolveL = 1;          // v := L^-1 v
constexpr int kSolveU = 3;          // w := U^-1 v
constexpr int kSolveTranspose = 6;  // v := B^-T w
constexpr int kUpdateReplace = 1;   // the column of U to replace holds entries
constexpr int kUpdateWithLv = 2;    // v holds L^-1 times the new column

void lu_solve_mode(int mode, int m, double* v, double* w, qp::LuView& lu, int& inform) {
  lu_solve(mode, m, m, v, w, lu.lena, lu.luparm, lu.parmlu, lu.a, lu.indc, lu.indr, lu.ip, lu.iq,
           lu.lenc, lu.lenr, lu.locc, lu.locr, inform);
}

double sum_abs(int n, const double* v) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += std::abs(v[i]);
  return s;
}

// r := c - A x + s over the m rows (c: the first nconst constants, then zeros).
void row_residuals(int m,
                   int n,
                   const ColumnMatrix& a,
                   int nconst,
                   const double* constants,
                   const double* x,
                   double* r) {
  for (int i = 0; i < m; ++i) r[i] = i < nconst ? constants[i] : 0.0;
  const double tol = 0.0;
  const double minus_one = -1.0;
  const double one = 1.0;
  const int unused = 0;
  sparse_multiply("N", tol, unused, unused, a.values, a.rows, a.starts, minus_one, x, n, one, r, m,
                  1);
  for (int i = 0; i < m; ++i) r[i] += x[n + i];
}

int index_of_largest(int m, const double* r) {
  int k = 0;
  for (int i = 1; i < m; ++i) {
    if (std::abs(r[i]) > std::abs(r[k])) k = i;
  }
  return k;
}

void report_row_check(const int* iz, int itn, double residual, int row, double xnorm) {
  const qp::Units u = qp::units(iz);
  qp::write_record(u.print, " Itn" + platform::format_i(itn, 7) + " -- Row check.");
  qp::write_record(u.print, "               Max residual =" + platform::format_e(residual, 8, 1) +
                                " on row" + platform::format_i(row, 5) +
                                ". Norm x =" + platform::format_e(xnorm, 10, 2));
  if (u.monitor_apart()) {
    qp::write_record(u.monitor, " XXX Row check at itn " + platform::format_i(itn, 7) +
                                    ".   Max residual =" + platform::format_e(residual, 8, 1) +
                                    "  on row" + platform::format_i(row, 5) +
                                    "     Norm x = " + platform::format_e(xnorm, 10, 2));
  }
}

}  // namespace

void unpack_column(int j, int m, int n, const ColumnMatrix& a, double* y) {
  std::fill(y, y + m, 0.0);
  if (j > n) {
    y[j - n - 1] = -1.0;
    return;
  }
  for (int l = a.starts[j - 1]; l < a.starts[j]; ++l) y[a.rows[l - 1] - 1] = a.values[l - 1];
}

void solve_with_basis(
    std::string_view request, int& inform, int m, double* rhs, double* y, int* iz, double* z) {
  inform = 0;
  if (request.size() < 2 || m < 1) return;
  qp::LuView lu = qp::lu_view(iz, z);
  const std::string_view kind = request.substr(0, 2);
  if (kind == "L ") {
    lu_solve_mode(kSolveL, m, rhs, y, lu, inform);
    if (y != rhs) std::copy(rhs, rhs + m, y);
  } else if (kind == "B ") {
    double& drop = z[mr::kLuDropTol - 1];
    const double saved = drop;
    drop *= sum_abs(m, rhs) / std::sqrt(static_cast<double>(m));
    lu_solve_mode(kSolveL, m, rhs, y, lu, inform);
    drop = saved;
    lu_solve_mode(kSolveU, m, rhs, y, lu, inform);
  } else if (kind == "Bt") {
    lu_solve_mode(kSolveTranspose, m, y, rhs, lu, inform);
  }
}

double scaled_norm(int m, double* pi, double* rhs, int* iz, double* z) {
  int inform = 0;
  solve_with_basis("Bt B' pi = rhs", inform, m, rhs, pi, iz, z);
  if (m < 1) return 1.0;
  return std::max(1.0, sum_abs(m, pi) / std::sqrt(static_cast<double>(m)));
}

void update_lu(
    int& inform, int jrep, int m, double* v, int* iz, int /*leniz*/, double* z, int /*lenz*/) {
  qp::LuView lu = qp::lu_view(iz, z);
  double diag = 0.0;
  double vnorm = 0.0;
  PRUNEP(kUpdateReplace, kUpdateWithLv, m, m, jrep, v, lu.w, lu.lena, lu.luparm, lu.parmlu, lu.a,
         lu.indc, lu.indr, lu.ip, lu.iq, lu.lenc, lu.lenr, lu.locc, lu.locr, inform, diag, vnorm);
}

void copy_x_bs(std::string_view direction, int count, const int* bs_index, double* xbs, double* x) {
  const bool to_x = direction.size() >= 2 && direction[1] == 'B';
  for (int k = 0; k < count; ++k) {
    const int j = bs_index[k];
    if (j < 1) continue;
    if (to_x) {
      x[j - 1] = xbs[k];
    } else {
      xbs[k] = x[j - 1];
    }
  }
}

void recompute_basics(std::string_view mode,
                      int& flag,
                      int itn,
                      int m,
                      int n,
                      int nbs,
                      double& resid,
                      double& xnorm,
                      const ColumnMatrix& a,
                      int nconst,
                      const double* constants,
                      double* x,
                      double* xbs,
                      const int* bs_index,
                      int* iz,
                      double* z,
                      int print_level) {
  flag = 0;
  copy_x_bs("x  to xBS", nbs, bs_index, xbs, x);
  double* r = qp::real_array(iz, z, qp::ra::kSolveWork);
  double* y2 = qp::real_array(iz, z, qp::ra::kSolveWork2);
  row_residuals(m, n, a, nconst, constants, x, r);
  double r1 = 0.0;
  const bool reset = !mode.empty() && mode[0] == 'R';
  if (reset && m > 0) {
    r1 = std::abs(r[index_of_largest(m, r)]);
    if (r1 > z[rw::kEpsPow08 - 1]) {
      int inform = 0;
      solve_with_basis("B y2 = y ", inform, m, r, y2, iz, z);
      for (int k = 0; k < m; ++k) xbs[k] += y2[k];
      copy_x_bs("xB to x ", m, bs_index, xbs, x);
      row_residuals(m, n, a, nconst, constants, x, r);
    }
  }
  xnorm = nbs > 0 ? sum_abs(nbs, xbs) / std::sqrt(static_cast<double>(nbs)) : 0.0;
  resid = 0.0;
  if (m < 1) return;
  const int i = index_of_largest(m, r);
  resid = std::abs(r[i]);
  if (resid / (1.0 + r1) > z[rw::kReserved61 - 1]) {
    flag = 10;
    if (qp::messages_on(print_level)) report_row_check(iz, itn, resid, i + 1, xnorm);
  }
}

}  // namespace zun
