// The library-wide option store of a program and its first-call flag.  Each program owns one
// store in static storage; the solver that owns it gives its words their meaning.
#pragma once

#include <cstdint>

namespace zun {

// A logical word: true when its lowest bit is 1; true is stored with all bits set.
using Logical = std::int32_t;
constexpr Logical kTrue = -1;
constexpr Logical kFalse = 0;
inline bool is_true(Logical v) { return (v & 1) != 0; }

// Length of one text word of the store.
constexpr int kOptionTextLength = 80;
// Length of a DiagnosticRecord buffer.
constexpr int kDiagnosticLength = 200;

// Sentinels of option words that nobody has set.
constexpr int kUnsetInteger = -11111;
constexpr double kUnsetReal = -11111.0;

struct OptionStoreSizes {
  int text;
  int logical;
  int integer;
  int real;
};
constexpr OptionStoreSizes kSparseStoreSizes{1, 20, 550, 550};
constexpr OptionStoreSizes kDenseStoreSizes{5, 120, 610, 475};

// One program's store.  Arrays are 0-based in memory; word k (1-based) is element k-1.
template <OptionStoreSizes S>
struct OptionStore {
  static constexpr OptionStoreSizes kSizes = S;
  char text[S.text][kOptionTextLength];
  Logical logical[S.logical];
  int integer[S.integer];
  double real[S.real];
};
using SparseOptionStore = OptionStore<kSparseStoreSizes>;
using DenseOptionStore = OptionStore<kDenseStoreSizes>;

// The static stores of the two programs (each program uses only its own).
SparseOptionStore& sparse_option_store();
DenseOptionStore& dense_option_store();

// Returns the program's first-call flag and clears it: exactly one caller gets true.
bool take_first_call_flag();

// Checks ROUTINE (6 characters, any case) against the routines that may own a store and the
// four lengths against its minimums; on success sets the routine's logical words true.  On
// failure writes a DiagnosticRecord into MSG (200 characters) and reports the failure under
// IFAIL (error 1: unknown routine, 2: lengths too small).
void init_option_store(const char* caller,
                       const char* routine,
                       char* cwsav,
                       const int& lcwsav,
                       Logical* lwsav,
                       const int& llwsav,
                       int* iwsav,
                       const int& liwsav,
                       double* rwsav,
                       const int& lrwsav,
                       char* msg,
                       int& ifail,
                       int caller_len,
                       int routine_len,
                       int cwsav_len,
                       int msg_len);

}  // namespace zun
