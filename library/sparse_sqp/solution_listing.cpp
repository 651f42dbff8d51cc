// The solution listing: one line per column and per row, in full on the monitoring unit and
// as a compact table on the print unit.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/final_report.h"
#include "library/sparse_sqp/input_checks.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

constexpr int kRecordLength = 132;
constexpr int kMaximize = -1;
constexpr int kSuperbasic = 2;
constexpr int kEqualShown = 4;
constexpr int kFreeShown = 5;
constexpr std::array<std::string_view, 6> kStateTexts = {" LL ", " UL ", "SBS ",
                                                         " BS ", " EQ ", " FR "};
constexpr std::string_view kNone16 = "       None     ";
constexpr std::string_view kZero16 = "        .       ";
constexpr int kFullWidth = 16;
constexpr double kResidualShare = 0.1;

// One line of the listing before formatting.
struct Line {
  int number = 0;
  int index = 0;
  std::string name;
  int state = 0;
  double activity = 0.0;
  double second = 0.0;  // objective gradient (columns) or slack activity (rows)
  double lower = 0.0;
  double upper = 0.0;
  double multiplier = 0.0;
  double residual = 0.0;
  bool free_row = false;
  double below = 0.0;  // scaled distances of the activity above its lower bound
  double above = 0.0;  //   and below its upper bound
};

// Tolerances and units of the listing.
struct Listing {
  int monitoring = -1;
  int print = -1;
  bool compact = false;
  double feasibility = 0.0;
  double optimality = 0.0;
  double infinite = 0.0;
};

std::string bound_field(double value, double infinite, bool upper) {
  const bool none = upper ? value >= infinite : value <= -infinite;
  if (none) return std::string(kNone16);
  if (value == 0.0) return std::string(kZero16);
  return platform::format_g1(value, kFullWidth, 8);
}

std::string value_field(double value) {
  return value == 0.0 ? std::string(kZero16) : platform::format_g1(value, kFullWidth, 8);
}

// The state shown, the multiplier shown and the flag character of a line.
struct Shown {
  int state;
  double multiplier;
  char flag;
};

Shown shown_state(const Listing& l, const Line& line) {
  Shown s{line.state < 0 ? kSuperbasic : line.state, line.multiplier, ' '};
  const bool nonbasic = s.state <= 1;
  if (nonbasic) {
    if (line.lower == line.upper) {
      s.state = kEqualShown;
    } else if (line.below > l.feasibility && line.above > l.feasibility) {
      s.state = kFreeShown;
    }
    if (s.state == 1) s.multiplier = -s.multiplier;
    if (s.state >= kEqualShown) s.multiplier = std::fabs(s.multiplier);
    const double size = std::fabs(line.multiplier);
    if (size <= l.optimality) {
      s.flag = 'A';
    } else if (s.state != kEqualShown) {
      s.flag = 'N';
    }
    return s;
  }
  if (std::fabs(line.below) <= l.feasibility || std::fabs(line.above) <= l.feasibility)
    s.flag = 'D';
  if (s.state == kSuperbasic && std::fabs(line.multiplier) > l.optimality) s.flag = 'N';
  if (line.below < -l.feasibility || line.above < -l.feasibility) s.flag = 'I';
  return s;
}

std::string full_line(const Listing& l, const Line& line, const Shown& s) {
  std::string out = platform::format_i(line.number, 8);
  out.append("  ").append(platform::format_a(line.name, 8)).append(" ");
  out.push_back(s.flag);
  out.append(" ").append(kStateTexts[s.state].substr(0, 3));
  out += value_field(line.activity);
  out += value_field(line.second);
  out += bound_field(line.lower, l.infinite, false);
  out += bound_field(line.upper, l.infinite, true);
  out += value_field(s.multiplier);
  out += platform::format_i(line.index, 7);
  return out;
}

// A compact field: "None" for an infinite bound, "." for a zero, else the value.
std::string compact_field(double value, int w, int d, int dot_before, bool none) {
  if (none)
    return std::string(6, ' ') + "None" + std::string(static_cast<std::size_t>(w - 10), ' ');
  if (value == 0.0) {
    return std::string(static_cast<std::size_t>(dot_before), ' ') + "." +
           std::string(static_cast<std::size_t>(w - dot_before - 1), ' ');
  }
  return platform::format_g1(value, w, d);
}

std::string compact_line(const Listing& l, const Line& line, const Shown& s) {
  std::string out = " ";
  out.append(platform::format_a(line.name, 8)).append(" ");
  out.push_back(s.flag);
  out.append(" ").append(kStateTexts[s.state].substr(0, 3)).append(" ");
  out += platform::format_g1(line.activity, 14, 6);
  out += compact_field(line.lower, 13, 5, 7, line.lower <= -l.infinite);
  out += compact_field(line.upper, 13, 5, 7, line.upper >= l.infinite);
  out += compact_field(s.multiplier, 12, 4, 7, false);
  if (line.free_row) {
    out += std::string(12, ' ');
  } else {
    out += compact_field(line.residual, 12, 4, 5, false);
  }
  return out;
}

void print_line(const Listing& l, const Line& line) {
  const Shown s = shown_state(l, line);
  if (l.monitoring >= 0) write_text(l.monitoring, full_line(l, line, s));
  if (l.compact) write_text(l.print, compact_line(l, line, s));
}

void section_heading(const Listing& l, bool columns) {
  if (l.monitoring >= 0) {
    write_text(l.monitoring, " ");
    write_text(l.monitoring, columns ? " Section 1 - Columns" : " Section 2 - Rows");
    write_text(l.monitoring, " ");
    write_text(l.monitoring,
               columns
                   ? "  Number  .Column. State  ...Activity...  .Obj Gradient.  ..Lower Bound.  "
                     "..Upper Bound.  Reduced Gradnt    m+j"
                   : "  Number  ...Row.. State  ...Activity...  Slack Activity  ..Lower Bound.  "
                     "..Upper Bound.  .Dual Activity    ..i");
    write_text(l.monitoring, " ");
  }
  if (l.compact) {
    write_text(l.print, " ");
    std::string heading = " ";
    heading.append(columns ? "Variable" : "Constrnt")
        .append(" State     Value       Lower Bound  Upper Bound   Lagr Mult  Residual");
    write_text(l.print, heading);
    write_text(l.print, " ");
  }
}

double residual_of(double x, double lower, double upper, double infinite) {
  const double distance = std::min(std::fabs(x - lower), std::fabs(upper - x));
  return distance >= kResidualShare * infinite ? x : distance;
}

// The objective gradient of column j: its element in the objective row plus gObj(j).
double objective_gradient(const ReportData& d, int j) {
  double g = j <= d.nonln ? d.gobj[j - 1] : 0.0;
  if (d.objective_row > 0) {
    for (std::int64_t k = d.a->first(j); k < d.a->last(j); ++k) {
      if (d.a->ha[k] == d.objective_row) g += d.a->a[k];
    }
  }
  return g;
}

}  // namespace

void print_solution_listing(const ReportData& d) {
  Words<const int> i(d.iz);
  Words<const double> z(d.z);
  Listing l;
  l.monitoring = i(iw::kMonitoringUnit);
  l.print = i(iw::kPrintUnit);
  l.compact = l.print >= 0 && l.print != l.monitoring;
  l.feasibility = z(rw::kMinorFeasibilityTol);
  l.optimality = z(rw::kMinorOptimalityTol);
  l.infinite = z(rw::kInfiniteBoundSize);
  const ProblemMatrix& a = *d.a;
  const int nm = a.n + a.m;
  if (i(iw::kMajorPrintLevel) > 0 && d.ninf != 0 && l.monitoring >= 0) {
    write_record(l.monitoring, platform::Record(kRecordLength)
                                   .x(40)
                                   .text(" Infeasibilities")
                                   .i(d.ninf, 7)
                                   .e(d.suminf, 16, 4));
  }
  const auto name = [&](int k) {
    return row_column_name(k, a.n, d.ncnln, d.nname, nm, d.namev, d.namev_len, d.objective_row,
                           d.dummy_row);
  };
  section_heading(l, true);
  for (int j = 1; j <= a.n; ++j) {
    Line line;
    line.number = j;
    line.index = a.n + j;
    line.name = name(j);
    line.state = d.state[j - 1];
    line.activity = d.x[j - 1];
    line.second = objective_gradient(d, j);
    line.lower = d.bl[j - 1];
    line.upper = d.bu[j - 1];
    line.multiplier = d.rc[j - 1];
    line.residual = residual_of(line.activity, line.lower, line.upper, l.infinite);
    line.below = (line.activity - line.lower) / d.s[j - 1];
    line.above = (line.upper - line.activity) / d.s[j - 1];
    print_line(l, line);
  }
  const int first_row = d.nonlinear_handled ? 1 : d.ncnln + 1;
  section_heading(l, false);
  for (int r = first_row; r <= a.m; ++r) {
    const int k = a.n + r;
    Line line;
    line.number = k;
    line.index = r;
    line.name = name(k);
    line.state = d.state[k - 1];
    line.activity = d.x[k - 1];
    line.lower = d.bl[k - 1];
    line.upper = d.bu[k - 1];
    line.multiplier = d.pi[r - 1];
    line.residual = residual_of(line.activity, line.lower, line.upper, l.infinite);
    line.second = line.residual;
    line.free_row = line.lower <= -l.infinite && line.upper >= l.infinite;
    line.below = (line.activity - line.lower) / d.s[k - 1];
    line.above = (line.upper - line.activity) / d.s[k - 1];
    print_line(l, line);
  }
}

}  // namespace zun
