// Output units of the library and the line writer.
#include "library/support/output.h"

#include <string>

#include "library/platform/units.h"
#include "library/support/output_window.h"

namespace zun {
namespace {

// The program's advisory and error units: standard output at start.
int g_advisory_unit = platform::kStandardOutputUnit;
int g_error_unit = platform::kStandardOutputUnit;

void get_or_set(int& stored, const int& mode, int& unit) {
  if (mode == 0) {
    unit = stored;
  } else if (mode == 1) {
    stored = unit;
  }
}

}  // namespace

void advisory_unit(const int& mode, int& unit) { get_or_set(g_advisory_unit, mode, unit); }

void error_unit(const int& mode, int& unit) { get_or_set(g_error_unit, mode, unit); }

void write_line(const int& unit, const char* text, int len) {
  if (unit < 0) return;
  if (len < 0) len = 0;
  while (len >= 2 && text[len - 1] == ' ') --len;

  std::string name;
  if (platform::inquire_unit(unit, &name) && name != platform::kConsoleDeviceName) {
    platform::write_record(unit, text, len);
    return;
  }
  bool console = false;
  append_output_line(console, text, len);
  if (console) platform::write_record(unit, text, len);
}

void write_lines(const int& unit, const int& nrec, const char* records, int record_len) {
  for (int i = 0; i < nrec; ++i) {
    write_line(unit, records + static_cast<long>(i) * record_len, record_len);
  }
}

void append_output_line(bool& console, const char* text, int len) {
  console = platform::has_console();
  if (!console) program_output_window().append(text, len);
}

}  // namespace zun
