// The minor-iteration log: the detailed line on the monitoring file, the short line on the
// print file, their headings and the phase messages of the start LPs.
#include <string>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace mi = minor_word::integer_word;
using platform::format_e;
using platform::format_i;

constexpr int kHeadingRepeat = 50000;
constexpr int kItnModulus = 100000;

constexpr std::string_view kLpHeading =
    "   Itn pp       dj  +SBS  -SBS   -BS    -B    Step    Pivot Ninf  Sinf/Objective     L     U "
    "Ncp";
constexpr std::string_view kQpColumns = " Norm rg   nS";
constexpr std::string_view kHessianColumn = " Cond Hz";
constexpr std::string_view kShortHeading = "   Itn     Step  Ninf     Sinf      Objective  Norm rg";
constexpr std::string_view kShortElasticHeading =
    "   Itn     Step  Ninf     Sinf  Composite Obj  Norm rg";

bool due(int itn, int frequency) { return frequency > 0 && itn % frequency == 0; }

// The value of the Sinf/Objective column.
double objective_column(const MinorLogLine& l) {
  if (!l.objective_in_force) return l.sinf;
  if (l.ninf == 0) return l.objective;
  return l.objective + l.objective_sign * l.elastic_weight * l.sinf;
}

bool is_qp(const MinorLogLine& l) {
  return l.kind.substr(0, 2) == ProblemKind::kQuadratic || l.ns > 0;
}

void detailed_line(const MinorLogLine& l, MinorLogHeadings& h, int* iz, int unit) {
  if (h.detailed == 0 || iz[mi::kFactorStatistics - 1] > 0) {
    std::string heading(kLpHeading);
    if (is_qp(l))
      heading += std::string(kQpColumns) + (l.hessian ? std::string(kHessianColumn) : "");
    qp::write_record(unit, " ");
    qp::write_record(unit, heading);
    h.detailed = kHeadingRepeat;
    iz[mi::kFactorStatistics - 1] = 0;
  }
  std::string line = format_i(l.itn % kItnModulus, 6) + format_i(l.section, 3) +
                     format_e(l.djq, 9, 1) + format_i(l.step.superbasic_added, 6) +
                     format_i(l.step.superbasic_removed, 6) + format_i(l.step.basic_removed, 6) +
                     format_i(l.step.leaving, 6) + format_e(l.step.step, 8, 1) +
                     format_e(l.step.pivot, 9, 1) + format_i(l.ninf, 5) +
                     format_e(objective_column(l), 16, 8) + format_i(l.len_l, 6) +
                     format_i(l.len_u, 6) + format_i(l.compressions, 4);
  if (is_qp(l)) {
    line += format_e(l.rg_norm, 8, 1) + format_i(l.ns, 5);
    if (l.hessian) line += format_e(l.cond_hz, 8, 1);
  }
  qp::write_record(unit, line);
  iz[mi::kMajorHeadingDetailed - 1] = 1;
  --h.detailed;
}

void short_line(const MinorLogLine& l, MinorLogHeadings& h, int* iz, int unit) {
  if (h.brief == 0) {
    qp::write_record(unit, " ");
    qp::write_record(unit, std::string(l.elastic_mode == 1 ? kShortElasticHeading : kShortHeading));
    h.brief = kHeadingRepeat;
  }
  if (l.itn == 0 && l.ninf > 0) {
    qp::write_record(unit, " Itn" + format_i(l.itn, 7) + " -- Infeasible.");
  }
  const double objective = l.objective_in_force ? objective_column(l) : 0.0;
  qp::write_record(unit, format_i(l.itn % kItnModulus, 6) + format_e(l.step.step, 9, 1) +
                             format_i(l.ninf, 6) + format_e(l.sinf, 9, 1) +
                             format_e(objective, 15, 6) + format_e(l.rg_norm, 9, 1));
  iz[mi::kMajorHeadingShort - 1] = 1;
  --h.brief;
}

void phase_message(const MinorLogLine& l, const qp::Units& u) {
  const std::string_view first3 = l.kind.substr(0, 3);
  if (first3 == "QPS" || first3 == "FPS") return;
  std::string text;
  if (l.elastic) {
    text = l.elastic_mode == 2 ? "Elastic Phase 2 : minimizing elastic variables."
                               : "Elastic Phase 2 : minimizing obj + weighted elastics.";
  } else if (first3 != "FPE") {
    text = "Feasible " + std::string(l.label);
  } else {
    return;
  }
  const std::string record = " Itn" + format_i(l.itn, 7) + " -- " + text;
  qp::write_record(u.print, record);
  if (u.monitor_apart()) qp::write_record(u.monitor, record);
}

}  // namespace

void print_minor_iteration(const MinorLogLine& line, MinorLogHeadings& headings, int* iz) {
  const qp::Units u = qp::units(iz);
  if (line.print_level > 0 && u.monitor >= 0 && due(line.itn, iz[iw::kDetailedLogFrequency - 1])) {
    detailed_line(line, headings, iz, u.monitor);
  }
  if (line.print_level > 0 && u.print != u.monitor &&
      due(line.itn, iz[iw::kShortLogFrequency - 1])) {
    short_line(line, headings, iz, u.print);
  }
  if (line.print_level > 0 && line.newly_feasible) phase_message(line, u);
}

}  // namespace zun
