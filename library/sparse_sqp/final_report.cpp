// The final report of a sparse run: "Save", "Print" and the monitoring-file status.
#include "library/sparse_sqp/final_report.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "library/platform/format.h"
#include "library/sparse_sqp/nonlinear_violation.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;

constexpr int kRecordLength = 120;
constexpr int kMaximize = -1;
constexpr int kListingOnlyLevel = 1;
constexpr int kListingLevel = 10;

constexpr std::array<std::string_view, 7> kStatusTexts = {
    "Proceeding  ", "Optimal Soln", "  Infeasible", "   Unbounded",
    " Excess itns", " Error condn", "Feasble soln"};
constexpr int kOptimalStatus = 1;
constexpr int kErrorStatus = 5;
constexpr int kFeasibleStatus = 6;

double rms_norm(const double* v, int count) {
  if (count <= 0) return 0.0;
  double sum = 0.0;
  for (int k = 0; k < count; ++k) sum += v[k] * v[k];
  return std::sqrt(sum) / std::sqrt(static_cast<double>(count));
}

void measure(const ReportData& d, double& primal, int& primal_at, double& dual, int& dual_at) {
  const int nb = d.a->n + d.a->m;
  max_primal_infeasibility(nb, d.bl, d.bu, d.x, primal, primal_at);
  max_dual_infeasibility(d.a->n, nb, d.objective_row, d.bl, d.bu, d.rc, d.x, dual, dual_at);
}

void save(ReportData& d, ReportMeasures& r) {
  ProblemMatrix& a = *d.a;
  const int nb = a.n + a.m;
  Words<const int> i(d.iz);
  final_reduced_costs(a, d.nonln, i(ws::kObjectiveSign), d.gobj, d.pi, d.rc);
  measure(d, r.primal_inf_scaled, r.primal_at_scaled, r.dual_inf_scaled, r.dual_at_scaled);
  r.primal_inf = r.primal_inf_scaled;
  r.primal_at = r.primal_at_scaled;
  r.dual_inf = r.dual_inf_scaled;
  r.dual_at = r.dual_at_scaled;
  r.pi_norm = std::max(1.0, rms_norm(d.pi, a.m));
  r.was_scaled = d.scaled;
  if (d.scaled) {
    r.x_norm_scaled = r.x_norm;
    r.pi_norm_scaled = r.pi_norm;
    d.unscale();
    d.scaled = false;
    for (int k = 0; k < nb; ++k) d.rc[k] /= d.s[k];
    r.x_norm = rms_norm(d.x, nb);
    r.pi_norm = std::max(1.0, rms_norm(d.pi, a.m));
    measure(d, r.primal_inf, r.primal_at, r.dual_inf, r.dual_at);
  }
  if (i(ws::kObjectiveSign) == kMaximize && !d.nonlinear_infeasible) {
    for (int k = 0; k < nb; ++k) d.rc[k] = -d.rc[k];
    for (int k = 0; k < a.m; ++k) d.pi[k] = -d.pi[k];
  }
  if (d.ncnln > 0 && d.nonlinear_handled) {
    std::vector<double> c(static_cast<std::size_t>(d.ncnln));
    r.violation = nonlinear_violation(d.ncnln, i(ws::kNonlinearJacobianVars), 0.0, a, d.bl, d.bu,
                                      d.fcon, d.x, c.data())
                      .largest;
  }
  if (i(iw::kSolutionListing) > 0) print_solution_listing(d);
}

void print(ReportData& d) {
  const int level = Words<const int>(d.iz)(iw::kMajorPrintLevel);
  if (level == kListingOnlyLevel || level >= kListingLevel) print_solution_listing(d);
  std::copy(d.pi, d.pi + d.a->m, d.rc + d.a->n);
}

void monitoring_status(const ReportData& d, const ReportMeasures& r, int status) {
  Words<const int> i(d.iz);
  const int unit = i(iw::kMonitoringUnit);
  if (i(iw::kMajorPrintLevel) <= 0 || unit < 0) return;
  const platform::Record blank(kRecordLength);
  write_record(unit, blank);
  write_record(unit, platform::Record(kRecordLength)
                         .text(" Status")
                         .x(19)
                         .text(select_status_text(d.feasible_point ? "FP " : "NP ", status + 1)));
  const auto plain = [&] {
    return platform::Record(kRecordLength)
        .text(" Norm of x ")
        .e(r.x_norm, 27, 1)
        .x(2)
        .text(" Norm of pi")
        .e(r.pi_norm, 27, 1);
  };
  write_record(unit, blank);
  if (!r.was_scaled) {
    write_record(unit, plain());
  } else {
    write_record(unit, platform::Record(kRecordLength)
                           .text(" Norm of x   (scaled)")
                           .e(r.x_norm_scaled, 17, 1)
                           .x(2)
                           .text(" Norm of pi  (scaled)")
                           .e(r.pi_norm_scaled, 17, 1));
    write_record(unit, plain());
    write_record(unit, platform::Record(kRecordLength)
                           .text(" Max Prim inf(scaled)")
                           .i(r.primal_at_scaled, 9)
                           .e(r.primal_inf_scaled, 8, 1)
                           .x(2)
                           .text(" Max Dual inf(scaled)")
                           .i(r.dual_at_scaled, 9)
                           .e(r.dual_inf_scaled, 8, 1));
  }
  write_record(unit, platform::Record(kRecordLength)
                         .text(" Max Primal infeas   ")
                         .i(r.primal_at, 9)
                         .e(r.primal_inf, 8, 1)
                         .x(2)
                         .text(" Max Dual infeas     ")
                         .i(r.dual_at, 9)
                         .e(r.dual_inf, 8, 1));
  if (d.ncnln > 0 && d.nonlinear_handled) {
    write_record(
        unit,
        platform::Record(kRecordLength).text(" Nonlinear constraint violn").e(r.violation, 11, 1));
    write_record(unit, blank);
  }
}

}  // namespace

void report_solution(std::string_view mode, ReportData& d, ReportMeasures& measures, int status) {
  const char letter = mode.empty() ? ' ' : mode[0];
  if (letter == 'S') {
    save(d, measures);
  } else if (letter == 'P') {
    print(d);
  } else {
    monitoring_status(d, measures, status);
  }
}

void final_reduced_costs(const ProblemMatrix& a,
                         int nonln,
                         int objective_sign,
                         const double* gobj,
                         const double* pi,
                         double* rc) {
  for (int j = 1; j <= a.n; ++j) {
    double sum = 0.0;
    for (std::int64_t k = a.first(j); k < a.last(j); ++k) sum += a.a[k] * pi[a.ha[k] - 1];
    const double gradient = j <= nonln ? objective_sign * gobj[j - 1] : 0.0;
    rc[j - 1] = gradient - sum;
  }
  std::copy(pi, pi + a.m, rc + a.n);
}

void max_primal_infeasibility(
    int nb, const double* bl, const double* bu, const double* x, double& value, int& index) {
  value = 0.0;
  index = 0;
  for (int j = 0; j < nb; ++j) {
    const double v = std::max(bl[j] - x[j], x[j] - bu[j]);
    if (v > value) {
      value = v;
      index = j + 1;
    }
  }
}

void max_dual_infeasibility(int n,
                            int nb,
                            int iobj,
                            const double* bl,
                            const double* bu,
                            const double* rc,
                            const double* x,
                            double& value,
                            int& index) {
  value = 0.0;
  index = 0;
  const int skipped = iobj > 0 ? n + iobj : 0;
  for (int j = 1; j <= nb; ++j) {
    const double l = bl[j - 1];
    const double u = bu[j - 1];
    if (j == skipped || l >= u) continue;
    const double xj = x[j - 1];
    const double r = rc[j - 1];
    const double v = xj <= l ? -r : (xj >= u ? r : std::fabs(r));
    if (v > value) {
      value = v;
      index = j;
    }
  }
}

std::string select_status_text(std::string_view problem_type, int code) {
  int entry = kErrorStatus;
  if (code >= 1) entry = std::min(code, kErrorStatus);
  if (code == kOptimalStatus && problem_type == "FP ") entry = kFeasibleStatus;
  return std::string(kStatusTexts[static_cast<std::size_t>(entry)]);
}

}  // namespace zun
