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

void write(int unit, const std::string& text) {
  write_line(unit, text.data(), static_cast<int>(text.size()));
}

}  // namespace

void message_both_units(const int* iz,
                        int print_level,
                        int itn,
                        std::string_view text,
                        bool blank_before,
                        bool blank_after) {
  namespace iw = sparse_option::integer_word;
  Words<const int> i(iz);
  const int print = i(iw::kPrintUnit);
  const int monitoring = i(iw::kMonitoringUnit);
  if (print_level == kShortLevel || print_level >= kDetailedLevel) {
    if (blank_before) write(print, " ");
    std::string line = " Itn" + platform::format_i(itn, 7);
    write(print, line.append(" -- ").append(text));
    if (blank_after) write(print, " ");
  }
  if (monitoring >= 0 && monitoring != print) {
    if (blank_before) write(monitoring, " ");
    write(monitoring, std::string(" XXX ").append(text));
  }
}

}  // namespace zun
