// The sparse option reader: applies one free-form option line ("Major Iteration Limit = 50")
// to the option words, with the echo and messages of the option listing.
#pragma once

#include <string_view>

#include "library/support/option_store.h"

namespace zun {

// Length of the text of an option line that is read and echoed.
constexpr int kOptionLineLength = 72;
// INFORM of a line in error.
constexpr int kOptionLineError = 5;

// Applies LINE (line_len characters) to the store's words LW (logical), IW and RW (integer and
// real, 1-based).  listing_flag: the listing state that the first line after initialisation
// sets.  caller: the routine code in the listing header.  INFORM := 0, or 5 on an error.
void process_option_line(const char* line,
                         int line_len,
                         bool listing_flag,
                         Logical* lw,
                         int* iw,
                         double* rw,
                         std::string_view caller,
                         int& inform);

// Reads one line (kOptionLineLength characters) into the option words IW(1..niw) and
// RW(1..nrw).  KEY (kKeywordLength characters) receives the first keyword, expanded when it
// is a unique abbreviation.  Messages go to PRINT_UNIT while LISTING is true.  first_defaults
// is the first-Defaults flag (cleared here).  INFORM := 0, or 5 on an error.
void read_option_line(int print_unit,
                      const char* text,
                      char* key,
                      int* iw,
                      int niw,
                      double* rw,
                      int nrw,
                      bool listing,
                      Logical& first_defaults,
                      int& inform);

}  // namespace zun
