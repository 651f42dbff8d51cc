// Option-line words: case folding, trimming, tokens, numbers and keyword look-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/support/option_words.h"

namespace zun {
namespace {

std::string upper(std::string s) {
  to_upper_case(s.data(), static_cast<int>(s.size()));
  return s;
}

int trimmed(const std::string& s) { return trimmed_length(s.data(), static_cast<int>(s.size())); }

TEST(OptionWords, UpperCaseOnlyLetters) {
  EXPECT_EQ(upper("Print level = 10"), "PRINT LEVEL = 10");
  EXPECT_EQ(upper("a-z{}~`@1.0d-3"), "A-Z{}~`@1.0D-3");
}

TEST(OptionWords, TrimmedLength) {
  EXPECT_EQ(trimmed(std::string(70, ' ')), 1);
  EXPECT_EQ(trimmed("AB  "), 2);
  EXPECT_EQ(trimmed("A"), 1);
  EXPECT_EQ(trimmed(" "), 1);
  EXPECT_EQ(trimmed("ABC"), 3);
  EXPECT_EQ(trimmed(""), 0);
}

struct TokenCase {
  std::string text;
  int first_in, last_in;
  int first, last, tend;
};

class NextToken : public ::testing::TestWithParam<TokenCase> {};

TEST_P(NextToken, FindsTokenBounds) {
  const TokenCase c = GetParam();
  int first = c.first_in, last = c.last_in, tend = -9;
  next_token(c.text.data(), first, last, tend, static_cast<int>(c.text.size()));
  EXPECT_EQ(first, c.first);
  EXPECT_EQ(last, c.last);
  EXPECT_EQ(tend, c.tend);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    NextToken,
    ::testing::Values(TokenCase{"  ab = cd  ", 1, 11, 3, 9, 4},
                      TokenCase{"  ab = cd  ", 5, 11, 8, 9, 9},
                      TokenCase{"  ab = cd  ", -4, 99, 3, 9, 4},   // FIRST < 1, LAST cut
                      TokenCase{"  ab = cd  ", 1, 3, 3, 3, 3},     // range ends inside a token
                      TokenCase{" (=,:) ", 1, 7, 0, 0, 0},         // delimiters only
                      TokenCase{"abc", 3, 2, 0, 0, 0},             // empty range
                      TokenCase{"x:y", 1, 3, 1, 3, 1}));

TEST(OptionWords, SplitWordsStopsAtNmaxAndBlanksTheRest) {
  std::vector<char> words(3 * 16, '?');
  int count = -1;
  const std::string line = "Major Iteration Limit = 100";
  split_words(line.data(), 3, count, words.data(), static_cast<int>(line.size()), 16);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(std::string(words.begin(), words.end()),
            "MAJOR           ITERATION       LIMIT           ");

  const std::string blanks = "  = , ( )  ";
  split_words(blanks.data(), 3, count, words.data(), static_cast<int>(blanks.size()), 16);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(std::string(words.begin(), words.end()), std::string(48, ' '));
}

TEST(OptionWords, SplitWordsCutsLongWordsAndSkipsOneDelimiter) {
  std::vector<char> words(4 * 4, '?');
  int count = -1;
  const std::string line = "verify,level=3 x";
  split_words(line.data(), 4, count, words.data(), static_cast<int>(line.size()), 4);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::string(words.begin(), words.end()), "VERILEVE3   X   ");
}

TEST(OptionWords, SplitWordsWithoutRoomForWordsOnlyCounts) {
  char guard = '?';
  int count = -1;
  const std::string line = "Print Level 5";
  split_words(line.data(), 5, count, &guard, static_cast<int>(line.size()), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(guard, '?');
  split_words(line.data(), 5, count, &guard, static_cast<int>(line.size()), -4);
  EXPECT_EQ(guard, '?');
}

struct NumberCase {
  std::string text;
  bool number;
};

class NumberToken : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberToken, CountsCharacters) {
  const NumberCase c = GetParam();
  EXPECT_EQ(is_number_token(c.text.data(), static_cast<int>(c.text.size())), c.number) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         NumberToken,
                         ::testing::Values(NumberCase{"1.0D-3", true},
                                           NumberCase{"1.0.0", false},
                                           NumberCase{"1E5E", false},
                                           NumberCase{"-", false},
                                           NumberCase{"12 X", true},
                                           NumberCase{"1-2", true},
                                           NumberCase{"+-1", true},
                                           NumberCase{"1e5", false},
                                           NumberCase{"--1-", false},
                                           NumberCase{"", false},
                                           NumberCase{" 1", false},
                                           NumberCase{".5", true}));

// A sorted table of 16-character entries.
std::string make_table(const std::vector<std::string>& entries) {
  std::string t;
  for (const std::string& e : entries) t += e + std::string(16 - e.size(), ' ');
  return t;
}

const std::vector<std::string> kEntries = {
    "COLD",      "CRASH",          "ITERATIONS", "ITERS:ITERATIONS", "ITNS :ITERATIONS",
    "MAJOR",     "MINOR",          "NO.      :NUMBER",              "NUMBER",
    "PRINT",     "PRINTER",
};

struct LookupCase {
  std::string word;
  int index;
  std::string word_after;  // blank-padded to 16
};

class LookupKeyword : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LookupKeyword, ResolvesAbbreviationsAndAliases) {
  const LookupCase c = GetParam();
  const std::string table = make_table(kEntries);
  std::string word = c.word + std::string(c.word.size() < 16 ? 16 - c.word.size() : 0, ' ');
  const std::string before = word;
  int index = 99;
  lookup_keyword(static_cast<int>(kEntries.size()), table.data(), true, word.data(), index, 16,
                 static_cast<int>(word.size()));
  EXPECT_EQ(index, c.index) << c.word;
  if (c.index > 0) {
    EXPECT_EQ(word, kEntries[c.index - 1] + std::string(16 - kEntries[c.index - 1].size(), ' '));
  } else {
    EXPECT_EQ(word, before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    LookupKeyword,
    ::testing::Values(LookupCase{"ITNS", 3, ""},      // alias resolves to the full keyword
                      LookupCase{"ITER", 3, ""},      // abbreviation of keyword and its alias
                      LookupCase{"IT", 3, ""},
                      LookupCase{"M", -7, ""},        // MAJOR vs MINOR
                      LookupCase{"MI", 7, ""},
                      LookupCase{"C", -2, ""},        // COLD vs CRASH
                      LookupCase{"PRINT", 10, ""},    // exact beats the longer PRINTER
                      LookupCase{"PRINTE", 11, ""},
                      LookupCase{"NO.", 9, ""},       // alias with blanks before the colon
                      LookupCase{"XYZ", 0, ""},
                      LookupCase{"   ", 0, ""},
                      LookupCase{"ITERATIONSXXXXXXYYY", 0, ""},  // looked up by 16 characters
                      LookupCase{"cold", 0, ""}));    // the caller upper-cases first

TEST(LookupKeyword, LongWordIsLookedUpByItsFirstSixteenCharacters) {
  const std::vector<std::string> entries = {"ABCDEFGHIJKLMNOP"};
  const std::string table = make_table(entries);
  std::string word = "ABCDEFGHIJKLMNOPQRS";
  int index = 0;
  lookup_keyword(1, table.data(), true, word.data(), index, 16, static_cast<int>(word.size()));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(word, "ABCDEFGHIJKLMNOP   ");
}

TEST(LookupKeyword, EmptyTableFindsNothing) {
  std::string word = "COLD            ";
  int index = 5;
  lookup_keyword(0, nullptr, true, word.data(), index, 16, 16);
  EXPECT_EQ(index, 0);
  index = 5;
  lookup_keyword(3, nullptr, true, word.data(), index, 0, 16);  // entries without characters
  EXPECT_EQ(index, 0);
  EXPECT_EQ(word, "COLD            ");
}

}  // namespace
}  // namespace zun
