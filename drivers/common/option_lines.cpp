// Formatting the drivers' option lines.
#include "drivers/common/option_lines.h"

#include "asl.h"

namespace zun_driver {
namespace {

constexpr int kLineBufferLength = 80;
constexpr int kNoVerification = -1;

template <typename T>
std::string formatted(const char* format, T value) {
  char buffer[kLineBufferLength];
  const int n = Snprintf(buffer, sizeof buffer, format, value);
  const int kept = n < 0 ? 0 : (n < kLineBufferLength ? n : kLineBufferLength - 1);
  return std::string(buffer, static_cast<std::size_t>(kept));
}

}  // namespace

std::string verify_level_line() { return formatted("Verify Level = %i ", kNoVerification); }

void add_real_line(std::vector<std::string>& lines, const char* format, double value) {
  if (!(value > 0.0)) return;
  lines.push_back(formatted(format, value));
}

void add_integer_line(std::vector<std::string>& lines, const char* format, int value) {
  if (value == -1) return;
  lines.push_back(formatted(format, value));
}

}  // namespace zun_driver
