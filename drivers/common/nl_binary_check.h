// The check of the segments of a binary .nl file, field by field.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "drivers/common/nl_header.h"
#include "drivers/common/nl_segment_walk.h"

namespace zun_driver {

// Walks the segments of a binary .nl file, `body` being the bytes that follow the header (which
// starts at byte `body_offset` of the file), with the checks of walk_nl_segments; faults name
// their byte.  The file's numbers are in this machine's byte order, or in the other one when
// the header's arithmetic code says so (any other code is a fault).  The expressions are
// walked item by item: every operator code must be one the reader knows and every field within
// the file.
std::optional<NlFault> check_nl_binary(std::string_view body,
                                       std::uint64_t body_offset,
                                       const NlHeader& header,
                                       std::uint64_t file_size,
                                       NlBodies& bodies);

}  // namespace zun_driver
