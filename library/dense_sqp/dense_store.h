// A typed view of the dense option store's four areas, as the dense solver's routines receive
// them: 1-based logical, integer and real words and the 80-character text words.
#pragma once

#include "library/support/one_based.h"
#include "library/support/option_store.h"

namespace zun {

struct DenseStoreView {
  char* text;  // text words of kOptionTextLength characters
  Words<Logical> l;
  Words<int> i;
  Words<double> r;

  DenseStoreView(char* text_words, Logical* lw, int* iw, double* rw)
      : text(text_words), l(lw), i(iw), r(rw) {}
  explicit DenseStoreView(DenseOptionStore& s)
      : DenseStoreView(&s.text[0][0], s.logical, s.integer, s.real) {}
};

}  // namespace zun
