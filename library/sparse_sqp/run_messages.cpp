// Messages of a sparse run for both units.
#include "library/sparse_sqp/run_messages.h"

#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/one_based.h"
#include "library/support/output.h"

namespace zun {
namespace {

constexpr int kShortLevel = 5;
constexpr int kDetailedLevel = 10;

}  // namespace

void write_record(int unit, const platform::Record& record) { write_text(unit, record.str()); }

void write_text(int unit, const std::string& text) {
  write_line(unit, text.data(), static_cast<int>(text.size()));
}

void message_both_units(const int* iz,
                        int print_level,
                        int itn,
                        std::string_view text,
                        bool blank_before,
                        bool blank_after,
                        bool blank_on_monitor) {
  namespace iw = sparse_option::integer_word;
  Words<const int> i(iz);
  const int print = i(iw::kPrintUnit);
  const int monitoring = i(iw::kMonitoringUnit);
  if (print_level == kShortLevel || print_level >= kDetailedLevel) {
    if (blank_before) write_text(print, " ");
    std::string line = " Itn" + platform::format_i(itn, 7);
    write_text(print, line.append(" -- ").append(text));
    if (blank_after) write_text(print, " ");
  }
  if (monitoring >= 0 && monitoring != print) {
    if (blank_on_monitor) write_text(monitoring, " ");
    write_text(monitoring, std::string(" XXX ").append(text));
  }
}

}  // namespace zun
