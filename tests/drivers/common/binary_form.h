// Test helper: the binary form of a text .nl file, as the ASL writes it.
#pragma once

#include <string>

namespace driver_test {

// Reads the problem of `text_stub` (a stub: the file is text_stub + ".nl") with the ASL and
// writes it in the binary format as `binary_stub` + ".nl"; false when either step fails.
bool write_binary_form(const std::string& text_stub, const std::string& binary_stub);

}  // namespace driver_test
