// The major-iteration log lines and headings.
#include "library/dense_sqp/major_log.h"

#include <algorithm>
#include <string>

#include "library/dense_sqp/dense_run.h"
#include "library/dense_sqp/dense_store_words.h"
#include "library/platform/format.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;

constexpr int kLogLevel = 5;
constexpr int kFullLevel = 20;
constexpr int kLineLimit = 50000;
constexpr int kCountModulus = 1000;
constexpr int kRecordLength = 132;

constexpr char kMonitorHeading[] =
    "  Maj  Mnr    Step Nfun       Objective Norm Gz   Nz  Bnd  Lin  Cond H Cond Hz  Cond T Conv";
constexpr char kMonitorHeadingNonlinear[] =
    "  Maj  Mnr    Step Nfun  Merit Function Norm Gz  Violtn   Nz  Bnd  Lin  Nln Penalty  Cond H "
    "Cond Hz  Cond T Conv";
constexpr char kPrintHeading[] = "  Maj  Mnr    Step      Objective Norm Gz Cond Hz";
constexpr char kPrintHeadingNonlinear[] =
    "  Maj  Mnr    Step Merit Function Norm Gz  Violtn Cond Hz";

std::string monitor_line(const MajorLogLine& m) {
  platform::Record r(kRecordLength);
  r.i(m.major % kCountModulus, 5).i(m.minor % kCountModulus, 5).e(m.step, 8, 1);
  r.i(m.nfun % kCountModulus, 5).e(m.objective, 16, 8).e(m.gz_norm, 8, 1);
  if (m.nonlinear) r.e(m.violation, 8, 1);
  r.i(m.null_dimension % kCountModulus, 5).i(m.bounds, 5).i(m.linear, 5);
  if (m.nonlinear) r.i(m.nonlinear_rows, 5).e(m.penalty, 8, 1);
  r.e(m.cond_h, 8, 1).e(m.cond_hz, 8, 1).e(m.cond_t, 8, 1);
  r.x(1).l(m.converged_step, 1).x(1).l(m.feasible, 1).l(m.optimal, 1).text(m.flags);
  return r.str();
}

std::string print_line(const MajorLogLine& m) {
  platform::Record r(kRecordLength);
  r.i(m.major % kCountModulus, 5).i(m.minor % kCountModulus, 5).e(m.step, 8, 1);
  r.e(m.objective, 15, 6).e(m.gz_norm, 8, 1);
  if (m.nonlinear) r.e(m.violation, 8, 1);
  r.e(m.cond_hz, 8, 1).x(2).text(m.flags);
  return r.str();
}

constexpr int kDiagonalLevel = 30;
constexpr int kPerRecord = 5;

// Records of one blank and up to five (value, status) pairs.
void value_status_records(int unit, const double* values, const int* status, int count) {
  for (int k = 0; k < count; k += kPerRecord) {
    platform::Record r(kRecordLength);
    r.x(1);
    for (int i = k; i < std::min(count, k + kPerRecord); ++i) r.e(values[i], 15, 6).i(status[i], 4);
    write_record(unit, r.str());
  }
}

void value_records(int unit, const double* values, int count) {
  for (int k = 0; k < count; k += kPerRecord) {
    platform::Record r(kRecordLength);
    for (int i = k; i < std::min(count, k + kPerRecord); ++i) r.e(values[i], 15, 6);
    write_record(unit, r.str());
  }
}

void print_title(int unit, int major) {
  write_record(unit, "");
  write_record(unit, "");
  write_record(unit, platform::Record(kRecordLength)
                         .text(" Major iteration")
                         .i(major, 5)
                         .text(" ====================")
                         .str());
}

void print_detail(int unit, int level, const MajorLogDetail& d) {
  write_record(unit, "");
  platform::Record obj(kRecordLength);
  obj.text(" Nonlinear objective value = ").e(d.objective, 15, 6);
  if (d.ncnln > 0) obj.text("   Norm of the nonlinear constraint violations = ").e(d.violation, 15, 6);
  write_record(unit, obj.str());
  write_record(unit, "");
  write_record(unit, " Values of the constraints and their predicted status");
  write_record(unit, " " + std::string(52, '-'));
  const struct {
    const char* title;
    int first;
    int count;
  } groups[] = {{" Variables                  ", 0, d.n},
                {" General linear constraints ", d.n, d.nclin},
                {" Nonlinear constraints      ", d.n + d.nclin, d.ncnln}};
  for (const auto& g : groups) {
    if (g.count == 0 || d.values == nullptr) continue;
    write_record(unit, "");
    write_record(unit, g.title);
    value_status_records(unit, d.values + g.first, d.status + g.first, g.count);
  }
  if (level >= kDiagonalLevel && d.t_diagonal != nullptr && d.nactiv > 0) {
    write_record(unit, "");
    write_record(unit, " Diagonals of  T  =         ");
    value_records(unit, d.t_diagonal, d.nactiv);
  }
  if (level >= kDiagonalLevel && d.r_diagonal != nullptr) {
    write_record(unit, "");
    write_record(unit, " Diagonals of  R  =         ");
    value_records(unit, d.r_diagonal, d.n);
  }
  write_record(unit, " " + std::string(89, '='));
  write_record(unit, "");
  write_record(unit, "");
}

void heading(int unit, const char* text) {
  write_record(unit, "");
  write_record(unit, "");
  write_record(unit, text);
}

}  // namespace

void print_dense_major_iteration(const MajorLogLine& m, const MajorLogDetail& detail, DenseStoreView s) {
  const int level = s.i(iw::kMajorPrintLevel);
  if (level < kLogLevel) return;
  const int monitor = s.i(iw::kMonitoringFile);
  const int print = s.i(iw::kPrintFile);
  if (monitor >= 0) {
    if (level >= kFullLevel) print_title(monitor, m.major);
    int& lines = s.i(iw::kMonitorLines);
    if (m.heading || level >= kFullLevel || lines >= kLineLimit) {
      heading(monitor, m.nonlinear ? kMonitorHeadingNonlinear : kMonitorHeading);
      lines = 0;
    }
    write_record(monitor, monitor_line(m));
    ++lines;
    if (level >= kFullLevel) print_detail(monitor, level, detail);
  }
  if (print >= 0 && print != monitor) {
    int& lines = s.i(iw::kPrintLines);
    if (m.heading || lines >= kLineLimit) {
      heading(print, m.nonlinear ? kPrintHeadingNonlinear : kPrintHeading);
      lines = 0;
    }
    write_record(print, print_line(m));
    ++lines;
  }
}

}  // namespace zun
