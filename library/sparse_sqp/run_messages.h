// Printed lines of a sparse run.  Messages for both units: " Itn", the iteration number, " -- " and
// the text on the print unit IZ(12) when the print level is 5 or at least 10; " XXX " and the text
// on the monitoring unit IZ(13) when it is open and differs from the print unit.
#pragma once

#include <string>
#include <string_view>

#include "library/platform/format.h"

namespace zun {

// One record or text line on UNIT through the line writer.
void write_record(int unit, const platform::Record& record);
void write_text(int unit, const std::string& text);

// BLANK_BEFORE and BLANK_AFTER write a blank record ahead of and after the print-unit form;
// BLANK_ON_MONITOR one ahead of the monitoring form.
void message_both_units(const int* iz,
                        int print_level,
                        int itn,
                        std::string_view text,
                        bool blank_before = false,
                        bool blank_after = false,
                        bool blank_on_monitor = false);

}  // namespace zun
