// The implementation-details banner.
#include "library/support/banner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "library/support/output.h"

namespace zun {
namespace {

// What the banner says about this build of the library.
constexpr const char* kTitle = "ZUN Library for Linux x86-64, C++ with reference BLAS/LAPACK";
constexpr const char* kPrecision = "double precision (IEEE 754 binary64)";
constexpr const char* kProductCode = "ZUNLX22DB";
constexpr const char* kRelease = "22";
constexpr const char* kBuildHardware = "x86-64";
constexpr const char* kBuildSystem = "Linux (Debian)";
constexpr const char* kBuildCompiler = "GNU C++ (g++)";
constexpr const char* kTargetHardware = "x86-64";
constexpr const char* kTargetSystem = "Linux";
constexpr const char* kTargetCompiler = "GNU C++ / any C++20 compiler";

std::array<std::string, kBannerLineCount> banner_texts() {
  return {
      " *** Start of ZUN Library implementation details ***",
      " ",
      std::string(" Implementation title: ") + kTitle,
      std::string("            Precision: ") + kPrecision,
      std::string("         Product Code: ") + kProductCode,
      std::string("                 Plen: ") + kRelease,
      " ",
      " Created using:",
      std::string("     hardware - ") + kBuildHardware,
      std::string("     op. sys. - ") + kBuildSystem,
      std::string("     compiler - ") + kBuildCompiler,
      " ",
      " ",
      " Applicable to:",
      std::string("     hardware - ") + kTargetHardware,
      std::string("     op. sys. - ") + kTargetSystem,
      std::string("     compiler - ") + kTargetCompiler,
      " and compatible systems.",
      " ",
      " *** End of ZUN Library implementation details ***",
  };
}

}  // namespace

void fill_implementation_details(char* lines, int line_len) {
  if (line_len < 1) return;
  const auto texts = banner_texts();
  for (int i = 0; i < kBannerLineCount; ++i) {
    char* line = lines + static_cast<long>(i) * line_len;
    std::memset(line, ' ', static_cast<std::size_t>(line_len));
    const std::size_t n = std::min(texts[i].size(), static_cast<std::size_t>(line_len));
    std::memcpy(line, texts[i].data(), n);
  }
}

void print_implementation_details() {
  std::array<char, kBannerLineCount * kBannerLineLength> lines{};
  fill_implementation_details(lines.data(), kBannerLineLength);
  int unit = 0;
  advisory_unit(0, unit);
  for (int i = 1; i <= 7; ++i) {
    write_line(unit, lines.data() + (i - 1) * kBannerLineLength, kBannerLineLength);
  }
  write_line(unit, lines.data() + (kBannerLineCount - 1) * kBannerLineLength, kBannerLineLength);
}

}  // namespace zun
