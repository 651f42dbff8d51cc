// One factorisation of the basis B, or of (B S), with its statistics and the reduction of the
// LU tolerances when the factors grow too much.
#include "library/sparse_qp/basis_factor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/machine.h"

namespace zun::qp {
namespace {

namespace mi = minor_word::integer_word;
namespace mr = minor_word::real_word;
namespace rw = sparse_option::real_word;
using platform::format_e;
using platform::format_f;
using platform::format_i;

constexpr double kBsFactorTol = 1.9;   // factor tolerance of a (B S) factorisation
constexpr double kReducibleTol = 2.0;  // a factor tolerance at least this may be reduced
constexpr int kStatisticsLevel = 20;

// Adds the entries of column position k (variable j) to the triples; rows flagged are left out.
void add_column(int k,
                int j,
                int n,
                const ColumnMatrix& a,
                const int* row_flags,
                LuView& lu,
                std::int64_t& count) {
  auto push = [&](double value, int row) {
    if (count < lu.lena) {
      lu.a[count] = value;
      lu.indc[count] = row;
      lu.indr[count] = k;
    }
    ++count;
  };
  if (j > n) {
    push(-1.0, j - n);
    return;
  }
  if (j < 1) return;
  for (int l = a.starts[j - 1]; l < a.starts[j]; ++l) {
    const int row = a.rows[l - 1];
    if (row_flags == nullptr || row_flags[row - 1] == 0) push(a.values[l - 1], row);
  }
}

void write_statistics(
    std::string_view basis_type, int m, std::int64_t entries, const int* iz, const double* z) {
  const int unit = units(iz).monitor;
  const int len_l = iz[mi::kLuLenL - 1];
  const int len_u = iz[mi::kLuLenU - 1];
  const double increase = (static_cast<double>(len_l) + len_u - static_cast<double>(entries)) *
                          100.0 / static_cast<double>(std::max<std::int64_t>(entries, 1));
  const double merit = m > 0 ? static_cast<double>(iz[mi::kLuMeritSum - 1]) / m : 0.0;
  const int ut = iz[mi::kLuUpperTri - 1];
  write_record(unit, " Compressns" + format_i(iz[mi::kLuCompressions - 1], 5) + "   Merit" +
                         format_f(merit, 10, 2) + "   lenL" + format_i(len_l, 11) + "   lenU" +
                         format_i(len_u, 11) + "   Increase" + format_f(increase, 7, 2) + "   m " +
                         format_i(m, 6) + "  Ut" + format_i(ut, 6) + "  d1" +
                         format_i(iz[mi::kLuDense1 - 1], 6));
  const std::string tail = "   Lt" + format_i(iz[mi::kLuLowerTri - 1], 6) + "  bp" +
                           format_i(m - ut, 6) + "  d2" + format_i(iz[mi::kLuDense2 - 1], 6);
  const double bmax = z[mr::kLuAmax - 1];
  if (basis_type == BasisType::kWithSuperbasics) {
    write_record(unit, std::string(15, ' ') + "    BSmax" + format_e(bmax, 10, 1) +
                           std::string(54, ' ') + tail);
    return;
  }
  int fail = 0;
  const double growth = safe_divide(z[mr::kLuUmax - 1], bmax, fail);
  write_record(unit, " Lmax" + format_e(z[mr::kLuLmax - 1], 11, 1) + "   Bmax" +
                         format_e(bmax, 11, 1) + "   Umax" + format_e(z[mr::kLuUmax - 1], 11, 1) +
                         "   Umin" + format_e(z[mr::kLuDiagUmin - 1], 11, 1) + "   Growth" +
                         format_e(growth, 9, 1) + tail);
}

void report_tolerance(const Units& u, int itn, std::string_view which, double from, double to) {
  const std::string text = "LU " + std::string(which) + " Tolerance reduced from " +
                           format_e(from, 10, 2) + " to " + format_e(to, 10, 2) + ".";
  write_record(u.print, " ");
  write_both(u, itn, text);
}

// Lowers the factor tolerance when U grew beyond 1/sqrt(eps) times B; the update tolerance
// never stays above the factor tolerance.  Returns kToleranceReduced when the factor
// tolerance was lowered.
int reduce_tolerances(const int* iz, double* z, int itn, int print_level) {
  int fail = 0;
  const double growth = safe_divide(z[mr::kLuUmax - 1], z[mr::kLuAmax - 1], fail);
  if (growth < 1.0 / z[rw::kSqrtEps - 1]) return FactorInform::kOk;
  const Units u = units(iz);
  int inform = FactorInform::kOk;
  double& factor_tol = z[mr::kLuFactorTol - 1];
  if (factor_tol >= kReducibleTol) {
    const double old = factor_tol;
    factor_tol = std::sqrt(factor_tol);
    inform = FactorInform::kToleranceReduced;
    if (print_level > 0) report_tolerance(u, itn, "Factor", old, factor_tol);
  }
  double& update_tol = z[mr::kLuUpdateTol - 1];
  if (update_tol > factor_tol) {
    const double old = update_tol;
    update_tol = factor_tol;
    if (messages_on(print_level)) report_tolerance(u, itn, "Update", old, update_tol);
  }
  return inform;
}

int map_lu_inform(int inform) {
  if (inform == lu_inform::kOk) return FactorInform::kOk;
  if (inform == lu_inform::kSingular) return FactorInform::kSingular;
  if (inform == lu_inform::kNoStorage) return FactorInform::kStorage;
  return FactorInform::kDataError;
}

}  // namespace

int factorize_basis(std::string_view basis_type,
                    int print_level,
                    int m,
                    int n,
                    int nbs,
                    const ColumnMatrix& a,
                    int* row_flags,
                    const int* bs_index,
                    int* iz,
                    double* z,
                    int itn,
                    LuFactorRoutine lu_factor) {
  LuView lu = lu_view(iz, z);
  const bool with_superbasics = basis_type == BasisType::kWithSuperbasics;
  const int ncols = with_superbasics ? nbs : m;
  const int* flags = nullptr;
  if (with_superbasics) {
    std::fill(row_flags, row_flags + m, 0);
    for (int k = 0; k < ncols; ++k) {
      if (bs_index[k] > n) row_flags[bs_index[k] - n - 1] = 1;
    }
    flags = row_flags;
  }
  std::int64_t entries = 0;
  for (int k = 1; k <= ncols; ++k) add_column(k, bs_index[k - 1], n, a, flags, lu, entries);
  const std::int64_t wanted = 5 * entries / 4;
  iz[mi::kLuMinLength - 1] = static_cast<int>(std::min<std::int64_t>(wanted, INT32_MAX));
  if (wanted > lu.lena || entries > lu.lena) return FactorInform::kStorage;

  double& factor_tol = z[mr::kLuFactorTol - 1];
  const double saved_tol = factor_tol;
  iz[mi::kLuKeepFactors - 1] = with_superbasics ? 0 : 1;
  if (with_superbasics) factor_tol = kBsFactorTol;
  int nelem = static_cast<int>(entries);
  int lu_inform = 0;
  lu_factor(m, ncols, nelem, lu.lena, lu.luparm, lu.parmlu, lu.a, lu.indc, lu.indr, lu.ip, lu.iq,
            lu.lenc, lu.lenr, lu.locc, lu.locr, lu.iploc, lu.iqloc, lu.ipinv, lu.iqinv, lu.w,
            lu_inform);
  factor_tol = saved_tol;
  const int inform = map_lu_inform(lu_inform);
  if (inform >= FactorInform::kDataError) return inform;
  if (units(iz).monitor >= 0 && print_level >= kStatisticsLevel) {
    write_statistics(basis_type, m, entries, iz, z);
  }
  if (inform == FactorInform::kOk && !with_superbasics)
    return reduce_tolerances(iz, z, itn, print_level);
  return inform;
}

}  // namespace zun::qp
