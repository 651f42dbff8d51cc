// The major-iteration log.
#include "library/sparse_sqp/major_log.h"

#include "library/platform/format.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;

constexpr int kRecordLength = 120;
constexpr int kHeadingPeriod = 50000;
constexpr int kRepeatLevel = 20;
constexpr int kLongHeadingWord = 224;
constexpr int kShortHeadingWord = 225;
constexpr int kLuLengthL = 173;
constexpr int kLuLengthU = 174;

enum class Shape { kConstraints, kObjective, kLinear };

Shape shape(const int* iz) {
  if (iz[ws::kNonlinearConstraints - 1] > 0) return Shape::kConstraints;
  return iz[ws::kNonlinearObjectiveVars - 1] >= 1 ? Shape::kObjective : Shape::kLinear;
}

constexpr std::string_view kLongHeadings[] = {
    " Major Minor   Step   nObj  nCon      Merit      Feasibl Optimal   nS Penalty     LU Swp "
    "Cond Hz PD ",
    " Major Minor   Step   nObj     Objective   Optimal   nS     LU Cond Hz PD ",
    " Major Minor   Step   nObj     Objective   Optimal   nS     LU PD "};
constexpr std::string_view kShortHeadings[] = {
    "  Maj  Mnr    Step Merit Function Feasibl Optimal Cond Hz PD ",
    "  Maj  Mnr    Step      Objective Optimal Cond Hz PD ",
    "  Maj  Mnr    Step      Objective Optimal PD "};

platform::Record long_line(const MajorLogLine& l, Shape s, const int* iz) {
  const double value = (l.objective + l.objective2) * l.sign;
  const int lu = iz[kLuLengthL - 1] + iz[kLuLengthU - 1];
  platform::Record r(kRecordLength);
  r.i(l.major, 6).i(l.minor, 6).e(l.step, 8, 1).i(iz[ws::kObjfunDerivativeCalls - 1], 6);
  if (s == Shape::kConstraints) {
    r.i(iz[ws::kConfunDerivativeCalls - 1], 6)
        .e(value, 16, 8)
        .e(l.feasibility, 8, 1)
        .e(l.optimality, 8, 1)
        .i(l.ns, 5)
        .e(l.penalty, 8, 1)
        .i(lu, 7)
        .i(l.swaps, 4)
        .e(l.condition, 8, 1);
  } else {
    r.e(value, 16, 8).e(l.optimality, 8, 1).i(l.ns, 5).i(lu, 7);
    if (s == Shape::kObjective) r.e(l.condition, 8, 1);
  }
  return r.x(1).l(l.primal, 1).l(l.dual, 1).x(1).a(l.flags, 6);
}

platform::Record short_line(const MajorLogLine& l, Shape s) {
  const double value = (l.objective + l.objective2) * l.sign;
  platform::Record r(kRecordLength);
  r.i(l.major, 5).i(l.minor, 5).e(l.step, 8, 1).e(value, 15, 6);
  if (s == Shape::kConstraints) r.e(l.feasibility, 8, 1);
  r.e(l.optimality, 8, 1);
  if (s != Shape::kLinear) r.e(l.condition, 8, 1);
  return r.x(1).l(l.primal, 1).l(l.dual, 1).x(1).a(l.flags, 6);
}

}  // namespace

void print_major_iteration(const MajorLogLine& line, int print_level, int* iz) {
  if (print_level <= 0) return;
  const int print = iz[iw::kPrintUnit - 1];
  const int monitor = iz[iw::kMonitoringUnit - 1];
  const Shape s = shape(iz);
  const auto k = static_cast<std::size_t>(s);
  const bool period = line.major % kHeadingPeriod == 0;
  if (line.major == 0 && monitor != print) write_record(print, platform::Record(kRecordLength));
  if (monitor >= 0) {
    int& request = iz[kLongHeadingWord - 1];
    if (period || request > 0) {
      write_record(monitor, platform::Record(kRecordLength));
      write_record(monitor, platform::Record(kRecordLength).text(kLongHeadings[k]));
      request = print_level < kRepeatLevel ? 0 : 1;
    }
    write_record(monitor, long_line(line, s, iz));
  }
  if (monitor != print) {
    int& request = iz[kShortHeadingWord - 1];
    if (period || request > 0) {
      write_record(print, platform::Record(kRecordLength));
      write_record(print, platform::Record(kRecordLength).text(kShortHeadings[k]));
      request = 0;
    }
    write_record(print, short_line(line, s));
  }
}

}  // namespace zun
