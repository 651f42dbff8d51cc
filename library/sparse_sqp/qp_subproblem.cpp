// The QP subproblem of a major iteration and the measures of the current point.
#include "library/sparse_sqp/qp_subproblem.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/quasi_newton.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;

constexpr double kWeightCap = 1.0e10;
constexpr int kRecordLength = 120;
constexpr std::string_view kLabel = "QP subproblem.       ";

bool logging(int level) { return level == 5 || level >= 10; }

// The two-line message of elastic mode starting.
void elastic_started(const int* iz, int itn, std::string_view reason, double wt_inf) {
  const int print = iz[iw::kPrintUnit - 1];
  const int monitor = iz[iw::kMonitoringUnit - 1];
  const std::string weight = platform::format_e(wt_inf, 8, 1);
  write_record(print, platform::Record(kRecordLength).text(" Itn").i(itn, 7).text(" -- ").text(reason));
  write_record(print, platform::Record(kRecordLength)
                          .x(15)
                          .text("Elastic mode started with weight = ")
                          .text(weight)
                          .text("."));
  if (monitor >= 0 && monitor != print) {
    write_record(monitor, platform::Record(kRecordLength).text(" XXX ").text(reason));
    write_record(monitor, platform::Record(kRecordLength)
                              .text("     Elastic mode started with weight = ")
                              .text(weight)
                              .text("."));
  }
}

}  // namespace

BasisArrays workspace_basis(int* iz, double* z, int* state, double* x, const double* bl,
                            const double* bu) {
  Words<int> i(iz);
  Words<double> r(z);
  return {state,
          i.at(i(ia::kBsIndex)),
          r.at(i(ra::kXBS)),
          r.at(i(ra::kBlBS)),
          r.at(i(ra::kBuBS)),
          x,
          bl,
          bu};
}

void set_elastic_weight_initial(ElasticWeight& w, double g0, double option) {
  w.base = g0;
  w.multiplier = 10.0;
  w.factor = option;
  w.weight = g0 * option;
}

bool boost_elastic_weight(ElasticWeight& w, int itn, const int* iz) {
  const double factor = w.factor * w.multiplier;
  if (factor > kWeightCap) return false;
  w.factor = factor;
  w.multiplier *= 10.0;
  w.weight = w.base * factor;
  message_both_units(iz, iz[iw::kMajorPrintLevel - 1], itn,
                     "Elastic weight increased to " + platform::format_e(w.weight, 11, 3) + ".");
  return true;
}

void nonlinear_infeasibilities(
    int n, int ncnln, double tol, int& count, double& sum, const double* bl, const double* bu,
    const double* x) {
  count = 0;
  sum = 0.0;
  for (int i = 0; i < ncnln; ++i) {
    const int j = n + i;
    const double below = bl[j] - x[j];
    const double above = x[j] - bu[j];
    if (below > tol || above > tol) {
      ++count;
      sum += std::max(below, above);
    }
  }
}

void reduced_gradient(double objective_scale,
                      int sign,
                      int iobj,
                      int m,
                      int n,
                      int nonln,
                      const ColumnMatrix& a,
                      const double* gobj,
                      const double* pi,
                      double* d) {
  for (int j = 0; j < n; ++j) {
    double sum = 0.0;
    for (int k = a.starts[j] - 1; k < a.starts[j + 1] - 1; ++k) sum += pi[a.rows[k] - 1] * a.values[k];
    d[j] = -sum;
  }
  std::copy(pi, pi + m, d + n);
  for (int j = 0; j < nonln; ++j) d[j] += sign * gobj[j];
  if (iobj >= 1) d[n + iobj - 1] += sign * objective_scale;
}

OptimalityMeasures optimality_measures(bool elastic,
                                       int n,
                                       int nb,
                                       int ncnln,
                                       double wt_inf,
                                       const double* bl,
                                       const double* bu,
                                       const double* d,
                                       const double* x,
                                       const double* c) {
  OptimalityMeasures om;
  for (int i = 0; i < ncnln; ++i) {
    const int j = n + i;
    const double v = std::max({0.0, bl[j] - c[i], c[i] - bu[j]});
    if (v > om.max_viol) {
      om.max_viol = v;
      om.viol_row = j + 1;
    }
  }
  const auto consider = [&om](double value, int j) {
    if (value > om.max_dual) {
      om.max_dual = value;
      om.dual_index = j + 1;
    }
  };
  for (int j = 0; j < nb; ++j) {
    if (!(bl[j] < bu[j]) || d[j] == 0.0) continue;
    consider(d[j] > 0.0 ? d[j] * std::min(x[j] - bl[j], 1.0) : -d[j] * std::min(bu[j] - x[j], 1.0),
             j);
  }
  if (elastic) {
    for (int j = n; j < n + ncnln; ++j) {
      const double v = bl[j] - x[j];
      const double w = x[j] - bu[j];
      if (v > 0.0) {
        consider(std::fabs(wt_inf - d[j]) * std::min(v, 1.0), j);
      } else if (w > 0.0) {
        consider(std::fabs(d[j] + wt_inf) * std::min(w, 1.0), j);
      }
    }
  }
  return om;
}

void factor_diagonal_stats(int ns, const double* r, FactorStats& s) {
  if (ns < 1) return;
  if (ns == 1) {
    const double r11 = std::fabs(r[0]);
    s.largest_diagonal = s.smallest_diagonal = s.largest_element = r11;
    int fail = 0;
    const double q = safe_divide(1.0, r[0] * r[0], fail);
    s.condition = q >= 1.0 ? q : 1.0 / q;
    return;
  }
  s.largest_diagonal = 0.0;
  s.smallest_diagonal = std::fabs(r[0]);
  s.largest_element = 0.0;
  for (int j = 1; j <= ns; ++j) {
    const std::size_t top = static_cast<std::size_t>(j) * (j - 1) / 2;
    const double rjj = std::fabs(r[top + j - 1]);
    s.largest_diagonal = std::max(s.largest_diagonal, rjj);
    s.smallest_diagonal = std::min(s.smallest_diagonal, rjj);
    for (int i = 0; i < j; ++i) s.largest_element = std::max(s.largest_element, std::fabs(r[top + i]));
  }
  int fail = 0;
  const double ratio = safe_divide(s.largest_diagonal, s.smallest_diagonal, fail);
  s.condition = ratio * ratio;
}

void hessian_times_vector(PassedRoutine,
                          PassedRoutine,
                          const double& sign,
                          const int&,
                          const int&,
                          const int& nnh,
                          const int&,
                          const int&,
                          const double*,
                          const int*,
                          const int*,
                          const double* v,
                          double* hv,
                          const char*,
                          int& status,
                          int* iz,
                          const int&,
                          double* z,
                          const int&,
                          int*,
                          double*,
                          int) {
  status = 0;
  const QuasiNewtonHessian h(nnh, iz, z);
  h.multiply(sign < 0.0 ? -1 : 1, v, hv);
}

namespace {

int run_minor(QpSubproblem& qp,
              std::string_view kind,
              bool& elastic,
              bool& r_valid,
              int& itn,
              int& minor_count,
              int& ns,
              int* iz,
              int leniz,
              double* z,
              int lenz) {
  QpRoutines routines;
  routines.hessian_product = hessian_times_vector;
  bool factorize = false;
  bool reset_basics = false;
  std::string basis_type(BasisType::kNormal);
  int result = 0;
  minor_iterations(kind, kLabel, elastic, result, routines, r_valid, factorize, basis_type,
                   reset_basics, qp.settings, ns, minor_count, itn, qp.objective, qp.measures, qp.a,
                   qp.state, qp.bl, qp.bu, qp.x, iz, leniz, z, lenz);
  return result;
}

}  // namespace

int solve_qp_subproblem(QpSubproblem& qp,
                        char& hessian_flag,
                        char flags[2],
                        bool& elastic,
                        bool& r_valid,
                        int& itn,
                        int& minor_count,
                        int& ns,
                        int& bs_changes,
                        double wt_inf,
                        int* iz,
                        int leniz,
                        double* z,
                        int lenz) {
  flags[0] = flags[1] = ' ';
  const bool elastic_at_entry = elastic;
  const int nb = qp.n + qp.m;
  const bool log = logging(qp.major_print_level);
  qp.settings.elastic_weight = wt_inf;
  qp.settings.elastic_permission = qp.elastic_allowed ? 1 : 0;
  qp.settings.elastic_mode = 0;
  int result = 0;
  bool optimal_pass = true;
  if (qp.ncnln >= 1) {
    r_valid = false;
    qp.settings.elastic_mode = 2;
    result = run_minor(qp, "FPSubproblem", elastic, r_valid, itn, minor_count, ns, iz, leniz, z,
                       lenz);
    if (result > 19) return result;
    if (result == MinorResult::kUnbounded && qp.measures.ninf > 0 && qp.elastic_allowed) {
      elastic = true;
    }
    if (result == MinorResult::kIterationLimit) optimal_pass = false;
    if (elastic && !elastic_at_entry) {
      if (log || qp.minor_print_level > 0) elastic_started(iz, itn, "Infeasible subproblem.", wt_inf);
      r_valid = false;
      QuasiNewtonHessian(qp.nnl, iz, z).reset(hessian_flag);
    } else if (qp.minor_print_level > 0 && log) {
      message_both_units(iz, qp.major_print_level, itn,
                         elastic_at_entry ? "Feasible QP non-elastics." : "Feasible QP subproblem.");
    }
  }
  std::copy(qp.x, qp.x + nb, qp.w);
  for (int pass = 1; pass <= 2 && optimal_pass; ++pass) {
    if (elastic) qp.settings.elastic_mode = 1;
    result = run_minor(qp, "QPSubproblem", elastic, r_valid, itn, minor_count, ns, iz, leniz, z,
                       lenz);
    if (result > 19) return result;
    if (result == MinorResult::kIterationLimit || result == MinorResult::kSuperbasicsLimit ||
        result > MinorResult::kStall) {
      break;
    }
    if (pass == 2) break;
    if (result == 0) {
      if (elastic || qp.ncnln < 1 || !qp.elastic_allowed) break;
      const bool large = std::any_of(qp.pi, qp.pi + qp.ncnln,
                                     [&](double v) { return std::fabs(v) > wt_inf; });
      if (!large) break;
      elastic = true;
      qp.settings.elastic_mode = 1;
      if (log) elastic_started(iz, itn, "Large multipliers.", wt_inf);
      continue;
    }
    if (result == MinorResult::kIndefinite || result == MinorResult::kStall) {
      message_both_units(iz, qp.major_print_level, itn, "Hessian reset.");
      QuasiNewtonHessian(qp.nnl, iz, z).reset(hessian_flag);
    }
    r_valid = false;
    bool factorize = true;
    bool changed = false;
    bool moved = false;
    int factor_result = 0;
    int reason = RefactorReason::kStall;
    factorize_basis_driver(BasisType::kWithSuperbasics, factorize, changed, moved, factor_result,
                           itn, qp.minor_print_level, reason, qp.m, qp.n,
                           iz[sparse_ws::integer_word::kNonlinearJacobianVars - 1], ns, bs_changes,
                           qp.a, workspace_basis(iz, z, qp.state, qp.x, qp.bl, qp.bu), iz, leniz, z,
                           lenz);
    if (factor_result > 0) return factor_result;
  }
  if (qp.measures.ninf > 0) flags[1] = 'i';
  if (result == 0) return 0;
  if (qp.ncnln >= 1) set_subproblem_bounds(qp.n, qp.ncnln, qp.state, qp.bl, qp.bu, qp.pi);
  switch (result) {
    case MinorResult::kIterationLimit:
      flags[0] = 't';
      return result;
    case MinorResult::kSuperbasicsLimit:
      return result;
    case MinorResult::kUnbounded:
      flags[0] = 'u';
      break;
    case MinorResult::kWeak:
      flags[0] = 'w';
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace zun
