// The failure convention: what a public entry prints and whether it stops on failure.
#include "library/support/failure.h"

#include <cstdlib>
#include <string>

#include "library/platform/format.h"
#include "library/platform/units.h"
#include "library/support/output.h"

namespace zun {
namespace {

constexpr int kAbnormalExitLength = 72;

bool prints_failure(int v) {
  if (v == 0 || v == -1 || v == -13) return true;
  return v > 0 && (v / 10) % 10 != 0;
}

bool is_soft(int v) { return std::abs(v % 10) == 1; }

void write_text(int unit, const std::string& s) {
  write_line(unit, s.data(), static_cast<int>(s.size()));
}

}  // namespace

int report_failure(const int& ifail,
                   const int& ierror,
                   const char* srname,
                   const int& nrec,
                   const char* records,
                   int srname_len,
                   int record_len) {
  if (ierror == 0) return 0;
  const int v = ifail;
  if (!prints_failure(v)) return ierror;

  int unit = 0;
  error_unit(0, unit);
  write_lines(unit, nrec, records, record_len);
  if (v == -13) return ierror;

  const std::string name(srname, static_cast<std::size_t>(srname_len > 0 ? srname_len : 0));
  platform::Record line(kAbnormalExitLength);
  line.text(" ** ABNORMAL EXIT from ZUN Library routine ")
      .text(name)
      .text(": IFAIL")
      .text(" =")
      .i(ierror, 6);
  write_text(unit, line.str());
  if (is_soft(v)) {
    write_text(unit, " ** ZUN soft failure - control returned");
    return ierror;
  }
  write_text(unit, " ** ZUN hard failure - execution terminated");
  stop_on_hard_failure();
}

bool failure_mode_prints(int ifail_on_entry) {
  return ifail_on_entry == 0 || ifail_on_entry == -1 || ifail_on_entry == -13;
}

void stop_on_hard_failure() { platform::stop_run(); }

}  // namespace zun
