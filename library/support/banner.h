// The implementation-details banner: a framed description of the library's build.
#pragma once

namespace zun {

constexpr int kBannerLineCount = 20;
constexpr int kBannerLineLength = 132;

// Fills the 20 lines (each `line_len` characters, blank-padded) of the banner.
void fill_implementation_details(char* lines, int line_len);

// Prints lines 1 to 7 and line 20 of the banner on the advisory unit.
void print_implementation_details();

}  // namespace zun
