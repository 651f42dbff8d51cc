// The listing of option lines shared by the option readers.
#include "library/support/option_listing.h"

#include <string>

#include "library/platform/format.h"
#include "library/support/output.h"

namespace zun {
namespace {

constexpr int kListingRecordLength = 80;
constexpr int kEchoIndent = 6;

void write_record(int unit, const std::string& record) {
  write_line(unit, record.data(), static_cast<int>(record.size()));
}

void write_header(int unit, std::string_view caller) {
  const std::string blank(kListingRecordLength, ' ');
  write_record(unit, blank);
  write_record(unit, blank);
  write_record(unit,
               platform::format_a(" Calls to " + std::string(caller), kListingRecordLength));
  write_record(unit, platform::format_a(" ---------------", kListingRecordLength));
  write_record(unit, blank);
}

void echo(int unit, std::string_view text) {
  write_record(unit, std::string(kEchoIndent, ' ') + std::string(text));
}

void switch_listing(std::string_view first_word, Logical& listing) {
  if (first_word == "NOLIST") listing = kFalse;
  if (first_word == "LIST") listing = kTrue;
}

}  // namespace

void list_option_line(std::string_view text,
                      bool first_line,
                      bool listing_flag,
                      Logical& listing,
                      int unit,
                      std::string_view caller,
                      const OptionLineDecoder& decode) {
  if (first_line) {
    listing = listing_flag ? kTrue : kFalse;
    switch_listing(decode(is_true(listing)), listing);
    if (is_true(listing)) {
      write_header(unit, caller);
      echo(unit, text);
    }
    return;
  }
  if (is_true(listing)) echo(unit, text);
  switch_listing(decode(is_true(listing)), listing);
}

}  // namespace zun
