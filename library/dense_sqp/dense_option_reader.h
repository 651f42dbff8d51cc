// The dense option reader: one free-form option line ("Major iterations limit = 100") applied
// to the dense option sets, with the listing of option lines; and the backups of the two
// option sets that every solve takes and gives back.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "library/dense_sqp/dense_store.h"

namespace zun {

// Length of the text of a dense option line.
constexpr int kDenseOptionLineLength = 72;
// INFORM of a line in error.
constexpr int kDenseOptionLineError = 5;

// Lists and decodes LINE (line_len characters, cut or padded to 72).  listing: the listing
// state that the first line after a set-up or a solve takes.  routine: the name in the
// listing header.  INFORM := 0, or 5 after a diagnostic.
void process_dense_option_string(const char* line,
                                 int line_len,
                                 bool listing,
                                 std::string_view routine,
                                 DenseStoreView store,
                                 int& inform);

// Decodes one line (kDenseOptionLineLength characters) into the option words; diagnostics go
// to the reader's advisory unit while LISTING is true.  Returns the line's first word,
// upper-cased and trimmed (empty for a blank or comment line).  INFORM := 0, or 5.
std::string read_dense_option_line(const char* line,
                                   bool listing,
                                   DenseStoreView store,
                                   int& inform);

// Working copy into backup (30 integers and 30 reals each), and back.
void save_np_option_set(DenseStoreView store);
void save_qp_option_set(DenseStoreView store);
void restore_np_option_set(DenseStoreView store);
void restore_qp_option_set(DenseStoreView store);

// The keyword tables, in table order (aliases written "SHORT:FULL").
std::span<const std::string_view> dense_first_keywords();
std::span<const std::string_view> dense_second_keywords();

}  // namespace zun
