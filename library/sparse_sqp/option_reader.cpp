// The sparse option reader.
#include "library/sparse_sqp/option_reader.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "library/platform/format.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/option_keywords.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/option_listing.h"
#include "library/support/option_words.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace lw_words = sparse_option::logical_word;
namespace iw_words = sparse_option::integer_word;
using sparse_option::kOptionWordCount;

constexpr int kMaxWords = 10;
constexpr int kMessageTextLength = 38;
constexpr int kListingRecordLength = 80;

std::string padded(std::string_view s, int width) { return platform::format_a(s, width); }

std::string_view trimmed(const char* word) {
  std::string_view v(word, kKeywordLength);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  return v;
}

void write_record(int unit, const std::string& record) {
  write_line(unit, record.data(), static_cast<int>(record.size()));
}

void report_line_error(int unit, bool listing, std::string_view text, const char* word) {
  if (!listing) return;
  write_record(unit, platform::Record(kListingRecordLength)
                         .a(text, kMessageTextLength)
                         .a(std::string_view(word, kKeywordLength), kKeywordLength)
                         .str());
}

bool is_silent_key(std::string_view key) {
  return key.empty() || key == "BEGIN" || key == "LIST" || key == "NOLIST" || key == "END" ||
         key == "*";
}

int integer_value(double value) {
  if (!(std::fabs(value) < sparse_option::kIntegerValueLimit)) return kUnsetInteger;
  return static_cast<int>(std::trunc(value));
}

void apply_action(const KeywordAction& row, double value, int* iw, double* rw) {
  Words<int> iword(iw);
  Words<double> rword(rw);
  switch (row.action) {
    case OptionAction::kIntegerValue:
      iword(row.word) = integer_value(value);
      if (row.second_word != 0) iword(row.second_word) = integer_value(value);
      break;
    case OptionAction::kRealValue:
      rword(row.word) = value;
      if (row.second_word != 0) rword(row.second_word) = value;
      break;
    case OptionAction::kIntegerConstant:
      iword(row.word) = row.constant;
      break;
    case OptionAction::kDefaults:
      store_option_defaults(iw, rw);
      break;
    case OptionAction::kNone:
      break;
  }
}

enum class ActionOutcome { kDone, kNoFirstKeyword, kNoSecondKeyword };

// Applies the action of the (expanded) keyword pair.  second_index: the lookup result of the
// second word (0 when it is not in the second-keyword table).
ActionOutcome act_on_keywords(std::string_view first,
                              std::string_view second,
                              int second_index,
                              double value,
                              int* iw,
                              double* rw) {
  bool first_known = false;
  for (const KeywordAction& row : keyword_actions()) {
    if (row.first != first || row.action == OptionAction::kNone) continue;
    first_known = true;
    if (row.second.empty()) {
      apply_action(row, value, iw, rw);
      return ActionOutcome::kDone;
    }
    if (second_index > 0 && row.second == second) {
      apply_action(row, value, iw, rw);
      return ActionOutcome::kDone;
    }
  }
  if (!first_known) return ActionOutcome::kNoFirstKeyword;
  return second_index == 0 ? ActionOutcome::kNoSecondKeyword : ActionOutcome::kDone;
}

void clear_all_words(int* iw, int niw, double* rw, int nrw) {
  for (int k = 0; k < niw; ++k) iw[k] = kUnsetInteger;
  for (int k = 0; k < nrw; ++k) rw[k] = kUnsetReal;
}

}  // namespace

void read_option_line(int print_unit,
                      const char* text,
                      char* key,
                      int* iw,
                      int niw,
                      double* rw,
                      int nrw,
                      bool listing,
                      Logical& first_defaults,
                      int& inform) {
  char words[kMaxWords * kKeywordLength];
  int count = 0;
  const int length = trimmed_length(text, kOptionLineLength);
  if (text[0] == '*') {
    std::fill(words, words + sizeof(words), ' ');
    words[0] = '*';
    count = 1;
  } else {
    split_words(text, kMaxWords, count, words, length, kKeywordLength);
  }
  std::copy(words, words + kKeywordLength, key);

  inform = 0;
  if (is_true(first_defaults)) {
    if (trimmed(key) == "DEFAULTS") clear_all_words(iw, niw, rw, nrw);
    first_defaults = kFalse;
  }
  if (is_silent_key(trimmed(key))) return;

  const double value = option_line_value(words, count);

  int first_index = 0;
  lookup_keyword(first_keyword_count(), first_keyword_table(), true, key, first_index,
                 kKeywordLength, kKeywordLength);
  if (first_index <= 0) {
    inform = kOptionLineError;
    report_line_error(print_unit, listing, " XXX  Keyword not recognized:", key);
    return;
  }

  char second[kKeywordLength];
  std::copy(words + kKeywordLength, words + 2 * kKeywordLength, second);
  int second_index = 0;
  lookup_keyword(second_keyword_count(), second_keyword_table(), true, second, second_index,
                 kKeywordLength, kKeywordLength);
  if (second_index < 0) {
    inform = kOptionLineError;
    report_line_error(print_unit, listing, " XXX  Ambiguous keyword:", second);
    return;
  }

  switch (act_on_keywords(trimmed(key), trimmed(second), second_index, value, iw, rw)) {
    case ActionOutcome::kDone:
      break;
    case ActionOutcome::kNoFirstKeyword:
      inform = kOptionLineError;
      report_line_error(print_unit, listing, " XXX  Keyword not recognized:", key);
      break;
    case ActionOutcome::kNoSecondKeyword:
      inform = kOptionLineError;
      report_line_error(print_unit, listing, " XXX  Second keyword not recognized:", second);
      break;
  }
}

void process_option_line(const char* line,
                         int line_len,
                         bool listing_flag,
                         Logical* lw,
                         int* iw,
                         double* rw,
                         std::string_view caller,
                         int& inform) {
  Words<Logical> logical(lw);
  Words<int> iword(iw);
  if (is_true(logical(lw_words::kInitializeOnNextUse))) {
    initialize_options(lw, iw, kOptionWordCount, rw, kOptionWordCount);
    iword(iw_words::kFirstLineFlag) = 1;
    logical(lw_words::kInitializeOnNextUse) = kFalse;
  }
  std::string text(std::string_view(line, line_len > 0 ? line_len : 0));
  text = padded(text, kOptionLineLength);
  char key[kKeywordLength];
  Logical& listing = logical(lw_words::kListingState);
  Logical& first_defaults = logical(lw_words::kFirstDefaults);
  const int unit = iword(iw_words::kPrintUnit);
  const bool first_line = iword(iw_words::kFirstLineFlag) == 1;
  if (first_line) iword(iw_words::kFirstLineFlag) = -1;
  list_option_line(text, first_line, listing_flag, listing, unit, caller, [&](bool listed) {
    read_option_line(unit, text.data(), key, iw, kOptionWordCount, rw, kOptionWordCount, listed,
                     first_defaults, inform);
    return trimmed(key);
  });
}

}  // namespace zun
