// The major-iteration log lines and headings.
#include "library/dense_sqp/major_log.h"

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

void heading(int unit, const char* text) {
  write_record(unit, "");
  write_record(unit, "");
  write_record(unit, text);
}

}  // namespace

void print_dense_major_iteration(const MajorLogLine& m, DenseStoreView s) {
  const int level = s.i(iw::kMajorPrintLevel);
  if (level < kLogLevel) return;
  const int monitor = s.i(iw::kMonitoringFile);
  const int print = s.i(iw::kPrintFile);
  if (monitor >= 0) {
    int& lines = s.i(iw::kMonitorLines);
    if (m.heading || level >= kFullLevel || lines >= kLineLimit) {
      heading(monitor, m.nonlinear ? kMonitorHeadingNonlinear : kMonitorHeading);
      lines = 0;
    }
    write_record(monitor, monitor_line(m));
    ++lines;
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
