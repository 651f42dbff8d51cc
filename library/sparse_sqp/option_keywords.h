// The keyword tables of the sparse option lines and the action that each keyword pair takes.
#pragma once

#include <span>
#include <string_view>

namespace zun {

enum class OptionAction {
  kNone,          // LIST and NOLIST: no action here
  kIntegerValue,  // integer word(s) := the line's integer value
  kRealValue,     // real word(s) := the line's value
  kIntegerConstant,
  kDefaults,  // reset all options to their defaults
};

struct KeywordAction {
  std::string_view first;
  std::string_view second;  // empty: any second word
  OptionAction action;
  int word = 0;
  int second_word = 0;  // a second word that receives the same value, 0 when none
  int constant = 0;
};

// The two sorted keyword tables, each entry blank-padded to kKeywordLength characters, laid
// out one after another as lookup_keyword expects.
const char* first_keyword_table();
int first_keyword_count();
const char* second_keyword_table();
int second_keyword_count();

// The keyword names of the tables, in table order.
std::span<const std::string_view> first_keywords();
std::span<const std::string_view> second_keywords();

// Every keyword pair with its action.
std::span<const KeywordAction> keyword_actions();

}  // namespace zun
