// The option lines that a driver builds from its keyword cells: each formatted by the ASL's
// printf family into an 80-byte buffer, keeping its trailing blank.
#pragma once

#include <string>
#include <vector>

namespace zun_driver {

// The first line of every driver: "Verify Level = -1 ".
std::string verify_level_line();

// Appends the line for a real keyword when its value is above 0 (a NaN is not sent).
void add_real_line(std::vector<std::string>& lines, const char* format, double value);

// Appends the line for an integer keyword unless its value is -1 ("not set"); every other
// value, negative ones included, is sent.
void add_integer_line(std::vector<std::string>& lines, const char* format, int value);

}  // namespace zun_driver
