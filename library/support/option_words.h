// The word kit of the option readers: case folding, trimming, cutting an option line into
// words, recognising a number and looking a keyword up in a sorted table with unique
// abbreviations and aliases.  Positions are 1-based; every string comes with its declared
// length and is blank-padded.
#pragma once

namespace zun {

// Length of a keyword table entry and of the word looked up.
constexpr int kKeywordLength = 16;

// Upper-cases the ASCII letters of STR(1..len) in place.
void to_upper_case(char* str, int len);

// Position of the last non-blank character, at least 1; len itself when len < 2 or when the
// last character is not a blank.
int trimmed_length(const char* str, int len);

// False for the delimiters "(", ")", "=", ",", ":" and blank; true otherwise.
bool is_token_char(char c);

// Finds the next token in STR(FIRST..LAST).  Out: FIRST its first position, TEND its last,
// LAST the last token character in the range searched; all three 0 when there is none.
void next_token(const char* str, int& first, int& last, int& tend, int len);

// Cuts LINE into at most NMAX upper-cased words (each `word_len` characters, cut or padded);
// the rest of the NMAX words are blanked; COUNT := the number stored.
void split_words(const char* line,
                 const int& nmax,
                 int& count,
                 char* words,
                 int line_len,
                 int word_len);

// True when STR reads as a number by counting digits, D/E, signs and points up to the first
// blank: at least one digit, at most one D or E, two "+", two "-" and one ".".
bool is_number_token(const char* str, int len);

// The value of an option line cut into COUNT words of kKeywordLength characters: the first of
// words 2..COUNT that reads as a number (a word that looks like one but cannot be read, such
// as "1+2", is not a value); 0.0 when there is none.
double option_line_value(const char* words, int count);

// Looks WORD up in the N-entry TABLE (entries `entry_len` characters, sorted ascending).
// INDEX := the entry found (WORD is then overwritten by the entry), 0 when not found, or
// minus the second matching entry when the abbreviation is ambiguous.  Aliases
// ("ITNS :ITERATIONS") resolve to the full keyword's own entry.
void lookup_keyword(const int& n,
                    const char* table,
                    const bool& sorted,
                    char* word,
                    int& index,
                    int entry_len,
                    int word_len);

}  // namespace zun
