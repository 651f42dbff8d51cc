// Word kit of the option readers.
#include "library/support/option_words.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "library/platform/format.h"

namespace zun {
namespace {

// Character at 1-based position `pos` of `str`.
inline char at(const char* str, int pos) { return str[pos - 1]; }

// Copies `src` into dest(1..dest_len), cut or blank-padded.
void copy_padded(char* dest, int dest_len, const char* src, int src_len) {
  const int n = std::min(dest_len, std::max(src_len, 0));
  if (n > 0) std::memcpy(dest, src, static_cast<std::size_t>(n));
  if (dest_len > n) std::memset(dest + n, ' ', static_cast<std::size_t>(dest_len - n));
}

// The first and (when present) second tokens of a keyword table entry.
struct EntryTokens {
  std::string first;
  std::string second;
};

EntryTokens entry_tokens(const char* entry, int len) {
  EntryTokens t;
  int first = 1, last = len, tend = 0;
  next_token(entry, first, last, tend, len);
  if (first == 0) return t;
  t.first.assign(entry + first - 1, static_cast<std::size_t>(tend - first + 1));
  int next = tend + 2;
  last = len;
  if (next <= len) {
    next_token(entry, next, last, tend, len);
    if (next > 0) t.second.assign(entry + next - 1, static_cast<std::size_t>(tend - next + 1));
  }
  return t;
}

// What an entry stands for: the full keyword of an alias, else its own keyword.
std::string entry_meaning(const char* entry, int len) {
  EntryTokens t = entry_tokens(entry, len);
  return t.second.empty() ? t.first : t.second;
}

// Compares the first L characters of an entry (blank-padded past its length) with KEY.
int compare_prefix(const char* entry, int entry_len, const std::string& key) {
  for (std::size_t k = 0; k < key.size(); ++k) {
    const unsigned char e =
        static_cast<int>(k) < entry_len ? static_cast<unsigned char>(entry[k]) : ' ';
    const unsigned char c = static_cast<unsigned char>(key[k]);
    if (e != c) return e < c ? -1 : 1;
  }
  return 0;
}

// One scan of the table for KEY: the entry found, 0, or minus the second of two entries
// with different meanings.
int scan_table(int n, const char* table, bool sorted, int entry_len, const std::string& key) {
  int index = 0;
  for (int i = 1; i <= n; ++i) {
    const char* entry = table + static_cast<long>(i - 1) * entry_len;
    const int cmp = compare_prefix(entry, entry_len, key);
    if (cmp == 0) {
      if (index == 0) {
        index = i;
        if (entry_tokens(entry, entry_len).first.size() == key.size()) return index;
      } else {
        const char* found = table + static_cast<long>(index - 1) * entry_len;
        if (entry_meaning(found, entry_len) != entry_meaning(entry, entry_len)) return -i;
      }
    }
    if (sorted && cmp > 0) break;
  }
  return index;
}

}  // namespace

void to_upper_case(char* str, int len) {
  for (int i = 0; i < len; ++i) {
    if (str[i] >= 'a' && str[i] <= 'z') str[i] = static_cast<char>(str[i] - 'a' + 'A');
  }
}

int trimmed_length(const char* str, int len) {
  if (len < 2 || str[len - 1] != ' ') return len;
  int l = len;
  while (l >= 2 && str[l - 1] == ' ') --l;
  return l;
}

bool is_token_char(char c) {
  switch (c) {
    case '(':
    case ')':
    case '=':
    case ',':
    case ':':
    case ' ':
      return false;
    default:
      return true;
  }
}

void next_token(const char* str, int& first, int& last, int& tend, int len) {
  const int start = std::max(first, 1);
  const int stop = std::min(last, len);
  first = 0;
  last = 0;
  tend = 0;
  if (stop < start) return;

  int pos = start;
  while (pos <= stop && !is_token_char(at(str, pos))) ++pos;
  if (pos > stop) return;
  first = pos;
  tend = pos;
  while (tend < stop && is_token_char(at(str, tend + 1))) ++tend;
  last = stop;
  while (!is_token_char(at(str, last))) --last;
}

void split_words(const char* line,
                 const int& nmax,
                 int& count,
                 char* words,
                 int line_len,
                 int word_len) {
  count = 0;
  int pos = 1;
  while (count < nmax && pos <= line_len) {
    int first = pos, last = line_len, tend = 0;
    next_token(line, first, last, tend, line_len);
    if (first == 0) break;
    char* word = words + static_cast<long>(count) * word_len;
    copy_padded(word, word_len, line + first - 1, tend - first + 1);
    to_upper_case(word, word_len);
    ++count;
    pos = tend + 2;
  }
  if (word_len < 1) return;
  for (int k = count; k < nmax; ++k) {
    std::memset(words + static_cast<long>(k) * word_len, ' ', static_cast<std::size_t>(word_len));
  }
}

bool is_number_token(const char* str, int len) {
  int digits = 0, exponents = 0, plus = 0, minus = 0, points = 0;
  for (int i = 0; i < len; ++i) {
    const char c = str[i];
    if (c == ' ') break;
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == 'D' || c == 'E') {
      ++exponents;
    } else if (c == '+') {
      ++plus;
    } else if (c == '-') {
      ++minus;
    } else if (c == '.') {
      ++points;
    } else {
      return false;
    }
  }
  return digits >= 1 && exponents <= 1 && plus <= 2 && minus <= 2 && points <= 1;
}

void lookup_keyword(const int& n,
                    const char* table,
                    const bool& sorted,
                    char* word,
                    int& index,
                    int entry_len,
                    int word_len) {
  index = 0;
  if (n < 1 || entry_len < 1) return;
  int first = 1, last = std::min(word_len, kKeywordLength), tend = 0;
  next_token(word, first, last, tend, std::min(word_len, kKeywordLength));
  if (first == 0) return;
  std::string key(word + first - 1, static_cast<std::size_t>(tend - first + 1));

  index = scan_table(n, table, sorted, entry_len, key);
  if (index > 0) {
    const char* found = table + static_cast<long>(index - 1) * entry_len;
    EntryTokens t = entry_tokens(found, entry_len);
    if (!t.second.empty()) index = scan_table(n, table, sorted, entry_len, t.second);
  }
  if (index > 0) {
    copy_padded(word, word_len, table + static_cast<long>(index - 1) * entry_len, entry_len);
  }
}

double option_line_value(const char* words, int count) {
  for (int k = 2; k <= count; ++k) {
    const char* word = words + (k - 1) * kKeywordLength;
    double value = 0.0;
    if (is_number_token(word, kKeywordLength) &&
        platform::read_real(word, kKeywordLength, &value)) {
      return value;
    }
  }
  return 0.0;
}

}  // namespace zun
