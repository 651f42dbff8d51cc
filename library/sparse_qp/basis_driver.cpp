// The basis factorisation driver: lists the basic variables, factorises B (after a new
// basic/superbasic split when asked or when B looks ill-conditioned), repairs a singular B with
// slacks and recomputes the basic values.
#include <algorithm>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_qp/basis_factor.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace mi = minor_word::integer_word;
namespace mr = minor_word::real_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
using platform::format_f;
using platform::format_i;
using qp::FactorInform;

constexpr int kStatisticsLevel = 20;
constexpr int kSingularAttempts = 15;  // singular factorisations tolerated in one call
constexpr int kRowCheckRepeats = 3;    // failed row checks after which the factors stand
constexpr double kConditionFactor = 0.1;

// Everything one call of the driver works on.
struct DriverRun {
  int itn;
  int print_level;
  int m;
  int n;
  int jacobian_columns;
  int& ns;
  int& bs_changes;
  bool& basis_moved;
  const ColumnMatrix& a;
  const BasisArrays& basis;
  int* iz;
  int leniz;
  double* z;
  int lenz;
  LuFactorRoutine lu_factor;
  int factorizations = 0;  // "B " factorisations made
  bool statistics() const { return qp::units(iz).monitor >= 0 && print_level >= kStatisticsLevel; }
  int& word(int k) const { return iz[k - 1]; }
  double& real(int k) const { return z[k - 1]; }
};

void write_demand(const DriverRun& d, int reason) {
  const int unit = qp::units(d.iz).monitor;
  qp::write_record(unit, " ");
  qp::write_record(unit, " Factorize" + format_i(d.word(mi::kFactorizations), 6) + "   Demand" +
                             format_i(reason, 9) + "   Iteration" + format_i(d.itn, 6));
}

// BsIndex(1..m) := the basic slacks in row order, then the basic columns.  Returns false when
// more than m variables are basic.
bool list_basics(DriverRun& d) {
  const int m = d.m;
  const int n = d.n;
  int count = 0;
  for (int j = 1; j <= n + m; ++j) count += d.basis.state[j - 1] == VariableState::kBasic;
  if (count > m) return false;
  int k = 0;
  int entries = 0;
  int jacobian = 0;
  d.word(mi::kObjectiveSlackPosition) = 0;
  const int objective_row = d.word(ws::kObjectiveRow);
  for (int i = 1; i <= m; ++i) {
    if (d.basis.state[n + i - 1] != VariableState::kBasic) continue;
    d.basis.bs_index[k++] = n + i;
    ++entries;
    if (i == objective_row) d.word(mi::kObjectiveSlackPosition) = k;
  }
  const int slacks = k;
  for (int j = 1; j <= n; ++j) {
    if (d.basis.state[j - 1] != VariableState::kBasic) continue;
    d.basis.bs_index[k++] = j;
    entries += d.a.starts[j] - d.a.starts[j - 1];
    jacobian += j <= d.jacobian_columns;
  }
  std::fill(d.basis.bs_index + k, d.basis.bs_index + m, 0);
  if (d.statistics()) {
    const int linear = std::max(0, k - jacobian - slacks);
    const double density = m > 0 ? entries * 100.0 / (static_cast<double>(m) * m) : 0.0;
    qp::write_record(qp::units(d.iz).monitor,
                     " Nonlinear" + format_i(jacobian, 6) + "   Linear" + format_i(linear, 9) +
                         "   Slacks" + format_i(slacks, 9) + "   Elems" + format_i(entries, 10) +
                         "   Density" + format_f(density, 8, 2));
  }
  return true;
}

void write_storage_table(const DriverRun& d) {
  if (!d.statistics()) return;
  const int unit = qp::units(d.iz).monitor;
  const long long more =
      static_cast<long long>(d.word(mi::kLuMinLength)) - d.word(ws::kLuFileLength);
  qp::write_record(unit, "        Current    Recommended");
  qp::write_record(
      unit, " Total integer workspace" + format_i(d.leniz, 10) + format_i(d.leniz + 2 * more, 15));
  qp::write_record(unit,
                   " Total real    workspace" + format_i(d.lenz, 10) + format_i(d.lenz + more, 15));
}

int result_of(int inform) {
  return inform >= FactorInform::kStorage ? MinorResult::kLuStorage : MinorResult::kLuDataError;
}

// The (B S) step: factorises the basic and superbasic columns and re-splits them.
int split_basis(DriverRun& d) {
  d.word(mi::kFactorizationsSinceBS) = 1;
  const int m = d.m;
  int count = 0;
  for (int j = 1; j <= d.n + m; ++j) count += d.basis.state[j - 1] == VariableState::kBasic;
  if (count != m) return 0;
  int k = 0;
  for (int j = 1; j <= d.n + m; ++j) {
    if (d.basis.state[j - 1] == VariableState::kBasic) d.basis.bs_index[k++] = j;
  }
  const int nbs = m + d.ns;
  int* row_work = qp::int_array(d.iz, qp::ia::kRowWork);
  d.word(mi::kLuNumSingular) = 0;
  const int inform =
      qp::factorize_basis(BasisType::kWithSuperbasics, d.print_level, m, d.n, nbs, d.a, row_work,
                          d.basis.bs_index, d.iz, d.z, d.itn, d.lu_factor);
  if (inform >= FactorInform::kDataError) return result_of(inform);
  const qp::LuView lu = qp::lu_view(d.iz, d.z);
  const int changes = qp::repartition_basis(nbs, m, d.basis.state, lu.iq, d.basis.bs_index,
                                            qp::int_array(d.iz, qp::ia::kSavedBsIndex));
  if (changes > 0) {
    d.basis_moved = true;
    d.bs_changes += changes;
    if (qp::messages_on(d.print_level)) {
      qp::write_both(qp::units(d.iz), d.itn,
                     "BS Factorize. No. of (B S) changes = " + format_i(changes, 6) + ".");
    }
  }
  return 0;
}

// Factorises B until it is nonsingular (dependent columns replaced by slacks).
int factorize_b(DriverRun& d) {
  int attempts = 0;
  bool singular = false;
  for (;;) {
    const qp::LuView lu = qp::lu_view(d.iz, d.z);
    if (singular) {
      d.basis_moved = true;
      qp::replace_by_slacks(qp::units(d.iz).monitor, d.m, d.n, lu.w, lu.ip, lu.iq, d.basis.bl,
                            d.basis.bu, d.basis.state, d.basis.bs_index, d.basis.x, d.print_level);
    }
    if (d.ns > 0 && d.basis.state[d.basis.bs_index[d.m + d.ns - 1] - 1] == VariableState::kBasic) {
      --d.ns;
      ++d.bs_changes;
    }
    if (!list_basics(d)) return MinorResult::kTooManyBasics;
    d.word(mi::kLuNumSingular) = 0;
    const int inform =
        qp::factorize_basis(BasisType::kBasis, d.print_level, d.m, d.n, d.m, d.a, nullptr,
                            d.basis.bs_index, d.iz, d.z, d.itn, d.lu_factor);
    ++attempts;
    ++d.factorizations;
    singular = inform == FactorInform::kSingular;
    if (inform == FactorInform::kOk) return 0;
    if (inform >= FactorInform::kDataError) return result_of(inform);
    if (inform == FactorInform::kToleranceReduced) attempts = 0;
    if (singular && attempts > kSingularAttempts) return MinorResult::kSingular;
  }
}

// True when a normal request should be repeated with a new (B S) split: B is near-singular or
// had dependent columns, or (with superbasics to exchange) its smallest pivot fell below the
// reference scaled by the factorisations since the last split.
bool ill_conditioned(const DriverRun& d) {
  const double umin = d.real(mr::kLuDiagUmin);
  const bool aged =
      d.ns > 0 &&
      d.word(mi::kFactorizationsSinceBS) * kConditionFactor * d.real(mr::kReferenceUmin) >= umin;
  return aged || d.real(rw::kSqrtEps) >= umin || d.word(mi::kLuNumSingular) > 0;
}

bool reset_basics(DriverRun& d) {
  int flag = 0;
  double resid = 0.0;
  double xnorm = 0.0;
  const int nconst = d.word(ws::kNonlinearConstraints);
  recompute_basics("Reset xBS", flag, d.itn, d.m, d.n, d.m + d.ns, resid, xnorm, d.a, nconst,
                   qp::real_array(d.iz, d.z, qp::ra::kRowConstants), d.basis.x, d.basis.xbs,
                   d.basis.bs_index, d.iz, d.z, d.print_level);
  return flag == 0;
}

// The factorisations of one request, up to the recomputed basic values.
int factorize_request(DriverRun& d, std::string_view basis_type) {
  const bool is_bt = basis_type == BasisType::kNormal && d.m > 0;
  bool do_bs = d.m > 0 && (basis_type == BasisType::kWithSuperbasics ||
                           (is_bt && d.real(mr::kReferenceUmin) == 0.0));
  int failed_checks = 0;
  for (;;) {
    if (do_bs) {
      const int result = split_basis(d);
      if (result != 0) return result;
    }
    const int result = factorize_b(d);
    if (result != 0) return result;
    if (do_bs || d.ns == 0) d.real(mr::kReferenceUmin) = d.real(mr::kLuDiagUmin);
    if (is_bt && !do_bs && ill_conditioned(d)) {
      do_bs = true;
      continue;
    }
    if (reset_basics(d) || ++failed_checks >= kRowCheckRepeats) return 0;
  }
}

}  // namespace

void factorize_basis_driver(std::string_view basis_type,
                            bool& factorize,
                            bool& changed,
                            bool& basis_moved,
                            int& result,
                            int itn,
                            int print_level,
                            int& reason,
                            int m,
                            int n,
                            int jacobian_columns,
                            int& ns,
                            int& bs_changes,
                            const ColumnMatrix& a,
                            const BasisArrays& basis,
                            int* iz,
                            int leniz,
                            double* z,
                            int lenz,
                            LuFactorRoutine lu_factor) {
  result = 0;
  bs_changes = 0;
  basis_moved = false;
  changed = false;
  DriverRun d{itn, print_level, m, n,    jacobian_columns, ns, bs_changes, basis_moved, a, basis,
              iz,  leniz,       z, lenz, lu_factor};
  if (ns < 0 || ns > d.word(iw::kSuperbasicsLimit)) {
    // BsIndex and xBS hold m + (superbasics limit) words: more superbasics cannot be listed.
    result = MinorResult::kLuDataError;
    return;
  }
  if (d.word(mi::kFactorizations) <= 0) {
    // No factors yet (the word is unset until the solve clears it).
    d.word(mi::kFactorizations) = 0;
    d.real(mr::kReferenceUmin) = 0.0;
    d.word(mi::kFactorizationsSinceBS) = 0;
    factorize = true;  // there are no factors to recompute the basic values with
  }
  if (m < 1) {
    factorize = false;  // no rows: B is empty and there is nothing to factorise
  } else if (factorize) {
    ++d.word(mi::kFactorizationsSinceBS);
    ++d.word(mi::kFactorizations);
    if (d.statistics()) write_demand(d, reason);
    d.word(mi::kIterationsSinceFactor) = 0;
    d.word(mi::kBasisChangesSinceFactor) = 0;
    reason = RefactorReason::kNone;
    result = factorize_request(d, basis_type);
    changed = d.factorizations > 0;
    if (result != 0) {
      if (result == MinorResult::kLuStorage) write_storage_table(d);
      return;
    }
    factorize = false;
  } else {
    reset_basics(d);
  }
  for (int k = 0; k < m + ns; ++k) {
    const int j = basis.bs_index[k];
    basis.bl_bs[k] = basis.bl[j - 1];
    basis.bu_bs[k] = basis.bu[j - 1];
  }
}

}  // namespace zun
