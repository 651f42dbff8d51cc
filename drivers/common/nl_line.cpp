// Splitting one line of a .nl file into its fields.
#include "drivers/common/nl_line.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <string>

namespace zun_driver {

namespace {

// strtod's reading of the whole token.
std::optional<double> parse_real_slowly(std::string_view token) {
  const std::string text(token);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::int64_t> parse_integer(std::string_view token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  std::int64_t value = 0;
  const char* end = token.data() + token.size();
  const auto [ptr, ec] = std::from_chars(token.data(), end, value);
  if (ec != std::errc() || ptr != end || token.empty()) return std::nullopt;
  return value;
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  split_fields(line, fields);
  return fields;
}

void split_fields(std::string_view line, std::vector<std::string_view>& fields) {
  const std::size_t comment = line.find('#');
  if (comment != std::string_view::npos) line = line.substr(0, comment);
  fields.clear();
  std::size_t at = 0;
  constexpr std::string_view kBlanks = " \t\r";
  while (true) {
    at = line.find_first_not_of(kBlanks, at);
    if (at == std::string_view::npos) break;
    std::size_t end = line.find_first_of(kBlanks, at);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
}

std::string quoted_character(char c) {
  const auto code = static_cast<unsigned char>(c);
  if (std::isprint(code)) return std::string("'") + c + "'";
  return "character " + std::to_string(code);
}

std::optional<double> parse_real(std::string_view token) {
  if (token.empty()) return std::nullopt;
  double value = 0.0;
  const char* end = token.data() + token.size();
  const auto [ptr, ec] = std::from_chars(token.data(), end, value);
  if (ec == std::errc() && ptr == end) return value;
  // The forms strtod reads beyond these (a leading '+', hexadecimal) and out-of-range values.
  return parse_real_slowly(token);
}

}  // namespace zun_driver
