// The line-by-line check of the segments of a text .nl file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "drivers/common/nl_header.h"
#include "drivers/common/nl_segment_walk.h"

namespace zun_driver {

// Walks the segments of a text .nl file, `body` being the bytes that follow its header, with the checks of walk_nl_segments; faults name their line.  Lines that do
// not parse, unknown or misplaced lines and segments cut short by the end of the file are
// faults too.  Operator numbers and the user functions' names are not looked at.
std::optional<NlFault> check_nl_text(std::string_view body,
                                     const NlHeader& header,
                                     std::uint64_t file_size,
                                     NlBodies& bodies);

}  // namespace zun_driver
