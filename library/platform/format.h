// Fixed-format record formatter: the field edits that every printed line of the library is
// built from, and the number reader used for option values.
//
// Field edits (each returns exactly `w` characters, or `w` asterisks when the value does not
// fit):
//   I(w)    integer, right-justified.
//   F(w.d)  fixed point with d decimals, always with the point (F3.0 of 2.0 is " 2."); the
//           zero before the point is dropped when that is the only way to fit (never when d is
//           0, so that a digit remains).
//   E(w.d)  exponent form with one digit before the point (nonzero unless the value is 0),
//           d digits after it, "E", the exponent's sign and two digits; an exponent beyond
//           99 takes three digits in place of the letter (1.00-100).
//   G(w.d)  general form: a value whose magnitude, rounded to d significant digits, lies in
//           [0.1, 10^d) (and 0) is written in fixed form with d significant digits in w-4
//           characters followed by 4 blanks; any other value in exponent form with d
//           significant digits after a zero before the point (0.1234E+05) or, with a scale
//           factor of 1 (G1), one digit before the point and d digits after it (d + 1
//           significant digits, as E(w.d)).  In the zero-before-the-point form the zero is
//           dropped when that is the only way to fit.  A G edit with d < 1 is all asterisks.
//   L(w)    "T" or "F", right-justified.
//   A(w)    the first w characters of a text, left-justified and blank-padded.
//   X(n)    n blanks.
// Rounding is to nearest from the exact binary value, ties to even (0.125 in F5.2 is " 0.12").
// A real that is printed with only zero digits carries no minus sign.  NaN and infinities
// print as "NaN", "Infinity" and "-Infinity" right-justified (asterisks when too narrow).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zun::platform {

std::string format_i(std::int64_t value, int w);
std::string format_f(double value, int w, int d);
std::string format_e(double value, int w, int d);
std::string format_g(double value, int w, int d);
std::string format_g1(double value, int w, int d);  // G with a scale factor of 1
std::string format_l(bool value, int w);
std::string format_a(std::string_view text, int w);

// One fixed-width record under construction: pieces are appended left to right; str()
// returns the record blank-padded (or cut) to its width.  The record widths in use are 80,
// 120 and 132.
class Record {
 public:
  explicit Record(int width = 80);

  Record& text(std::string_view s);  // a literal piece, unchanged
  Record& i(std::int64_t value, int w);
  Record& f(double value, int w, int d);
  Record& e(double value, int w, int d);
  Record& g(double value, int w, int d);
  Record& g1(double value, int w, int d);
  Record& l(bool value, int w);
  Record& a(std::string_view s, int w);
  Record& x(int n);

  int width() const { return width_; }
  // The record blank-padded or cut to width().
  std::string str() const;

 private:
  int width_;
  std::string buf_;
};

// Reads a real number from text[0..len) as the run-time's formatted read does: leading and
// trailing blanks ignored, an optional sign, digits with an optional point, and an optional
// exponent introduced by E, e, D or d ("1.0D-6").  Blanks are spaces and tabs; the text must
// hold nothing else (no exponent without its letter, no "inf" or "nan").  A magnitude too
// small for a double reads as zero; one too large is rejected.  Returns false (and leaves
// *value unchanged) when the text is empty or not a number in this form.
bool read_real(const char* text, int len, double* value);

// Reads an integer (optional sign and digits, surrounding blanks ignored) that fits in 32
// bits.  Returns false when the text is not such an integer.
bool read_integer(const char* text, int len, int* value);

}  // namespace zun::platform
