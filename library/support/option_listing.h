// The listing of option lines that both option readers share: the header before the first
// listed line, the echo of each line and the LIST / NOLIST switch.
#pragma once

#include <functional>
#include <string_view>

#include "library/support/option_store.h"

namespace zun {

// Decodes one option line with the listing state given (diagnostics are written only while it
// is on) and returns the line's first word, upper-cased and blank-trimmed.
using OptionLineDecoder = std::function<std::string_view(bool listing)>;

// Lists and decodes one option line TEXT on UNIT.  The first line after a set-up or a solve
// (first_line) takes the caller's LISTING_FLAG, is decoded, and, when listing is then on, is
// preceded by the header " Calls to " CALLER and echoed; any other line is echoed (while
// listing is on) before it is decoded.  A first word LIST turns listing on and NOLIST off.
void list_option_line(std::string_view text,
                      bool first_line,
                      bool listing_flag,
                      Logical& listing,
                      int unit,
                      std::string_view caller,
                      const OptionLineDecoder& decode);

}  // namespace zun
