// The line-by-line check of the segments of a text .nl file.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>

#include "drivers/common/nl_header.h"

namespace zun_driver {

// Walks the segments that follow the header of a text .nl file, read from `in` positioned just
// past the header, and returns the first fault: an unknown or misplaced line, a field that does
// not parse, an index out of the range that the header's counts give, a segment repeated or cut
// short by the end of the file, or Jacobian column counts that do not match the `k` segment.
// Operator numbers and the user functions' names are not looked at.
std::optional<NlFault> check_nl_text(std::istream& in,
                                     const NlHeader& header,
                                     std::uint64_t file_size);

}  // namespace zun_driver
