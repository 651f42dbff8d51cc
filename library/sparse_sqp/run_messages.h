// Messages of a sparse run for both units: " Itn", the iteration number, " -- " and the text
// on the print unit IZ(12) when the print level is 5 or at least 10; " XXX " and the text on
// the monitoring unit IZ(13) when it is open and differs from the print unit.
#pragma once

#include <string_view>

namespace zun {

// BLANK_BEFORE writes a blank record ahead of the message on each unit that gets it;
// BLANK_AFTER one after the print-unit form.
void message_both_units(const int* iz,
                        int print_level,
                        int itn,
                        std::string_view text,
                        bool blank_before = false,
                        bool blank_after = false);

}  // namespace zun
