// The fields of one line of a .nl file and the numbers they hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zun_driver {

// The fields of `line` before any '#' comment, split at blanks, tabs and a trailing CR.
std::vector<std::string_view> split_fields(std::string_view line);
// The same into `fields` (cleared first), which keeps its storage from line to line.
void split_fields(std::string_view line, std::vector<std::string_view>& fields);

// A whole decimal integer token (optional sign) in 64 bits; nothing when the token is not one
// or overflows.
std::optional<std::int64_t> parse_integer(std::string_view token);

// The character `c` for a message: 'c' when printable, else "character 10" (its code).
std::string quoted_character(char c);

// A whole real-number token; nothing when the token is not one.
std::optional<double> parse_real(std::string_view token);

}  // namespace zun_driver
