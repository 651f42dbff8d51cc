// Field edits of the fixed-format record formatter, the Record builder and the number reader.
//
// Every real edit starts from the correctly rounded decimal text that snprintf produces for the
// magnitude (%e for a given number of significant digits, %f for a given number of decimals) and
// rearranges it into the field, so that rounding is done once and exactly.
#include "library/platform/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace zun::platform {
namespace {

// Exponents up to this magnitude are written as the letter E, the sign and two digits; larger
// ones as the sign and three digits.
constexpr int kTwoDigitExponentLimit = 99;
// A G field in fixed form leaves this many blanks where the exponent would stand.
constexpr int kGeneralTrailingBlanks = 4;

std::string asterisks(int w) { return std::string(static_cast<std::size_t>(std::max(w, 0)), '*'); }

// The body right-justified in w characters, or asterisks when it is longer than w.
std::string fit(const std::optional<std::string>& body, int w) {
  if (w <= 0) return {};
  if (!body || static_cast<int>(body->size()) > w) return asterisks(w);
  return std::string(static_cast<std::size_t>(w) - body->size(), ' ') + *body;
}

// snprintf into a string of the exact length.
template <typename... Args>
std::string print(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

bool has_nonzero_digit(const std::string& s) {
  return s.find_first_of("123456789") != std::string::npos;
}

// The sign to print: a minus only when the value is negative and some printed digit is not 0.
std::string sign_for(double value, const std::string& digits) {
  return std::signbit(value) && has_nonzero_digit(digits) ? "-" : "";
}

// NaN and infinities in w characters.
std::string non_finite(double value, int w) {
  if (std::isnan(value)) return fit(std::string("NaN"), w);
  return fit(std::string(value < 0 ? "-Infinity" : "Infinity"), w);
}

// Fixed point with d decimals, at most w characters long; the zero before the point is dropped
// only when that is the only way to fit.  Empty when it does not fit.
std::optional<std::string> fixed_body(double value, int w, int d) {
  const std::string digits = print("%#.*f", d, std::fabs(value));
  std::string body = sign_for(value, digits) + digits;
  if (static_cast<int>(body.size()) > w && d > 0 && digits.compare(0, 2, "0.") == 0) {
    body.erase(body.size() - digits.size(), 1);
  }
  if (static_cast<int>(body.size()) > w) return std::nullopt;
  return body;
}

// A magnitude rounded to `significant` decimal digits: the digits and the power of ten of the
// first one (value = d.ddd * 10^exponent).
struct Scientific {
  std::string digits;
  int exponent = 0;
};

Scientific scientific(double magnitude, int significant) {
  const std::string text = print("%.*e", significant - 1, magnitude);
  const std::size_t e = text.find('e');
  Scientific s;
  for (std::size_t k = 0; k < e; ++k) {
    if (text[k] != '.') s.digits += text[k];
  }
  s.exponent = std::atoi(text.c_str() + e + 1);
  return s;
}

// "E+05", "E-12", or "+100", "-308" beyond two digits.
std::string exponent_suffix(int exponent) {
  const char sign = exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  if (magnitude <= kTwoDigitExponentLimit) return print("E%c%02d", sign, magnitude);
  return print("%c%03d", sign, magnitude);
}

// Exponent form with one digit before the point and d after it (d + 1 significant digits).
std::string scaled_exponent_form(double value, int w, int d) {
  const Scientific s = scientific(std::fabs(value), d + 1);
  const std::string body = sign_for(value, s.digits) + s.digits.substr(0, 1) + "." +
                           s.digits.substr(1) + exponent_suffix(s.exponent);
  return fit(body, w);
}

// Exponent form with a zero before the point and d significant digits after it; the zero is
// dropped only when that is the only way to fit.
std::string fraction_exponent_form(double value, int w, const Scientific& s) {
  const std::string sign = sign_for(value, s.digits);
  const std::string tail = "." + s.digits + exponent_suffix(s.exponent + 1);
  std::string body = sign + "0" + tail;
  if (static_cast<int>(body.size()) > w) body = sign + tail;
  return fit(body, w);
}

// G editing; `scaled` selects one digit before the point in exponent form.  The choice between
// fixed and exponent form is made on the magnitude rounded to d significant digits.
std::string general(double value, int w, int d, bool scaled) {
  if (w <= 0) return {};
  if (!std::isfinite(value)) return non_finite(value, w);
  if (d < 1) return asterisks(w);
  const std::string blanks(kGeneralTrailingBlanks, ' ');
  const int fixed_width = w - kGeneralTrailingBlanks;
  if (value == 0.0) {
    const auto body = fixed_body(0.0, fixed_width, d - 1);
    return body ? fit(body, fixed_width) + blanks : asterisks(w);
  }
  const Scientific s = scientific(std::fabs(value), d);
  if (s.exponent >= -1 && s.exponent <= d - 1) {
    const auto body = fixed_body(value, fixed_width, d - 1 - s.exponent);
    return body ? fit(body, fixed_width) + blanks : asterisks(w);
  }
  if (scaled) return scaled_exponent_form(value, w, d);
  return fraction_exponent_form(value, w, s);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// text[0..len) without its leading and trailing blanks.
std::string_view trimmed(const char* text, int len) {
  if (text == nullptr || len <= 0) return {};
  std::string_view s(text, static_cast<std::size_t>(len));
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t count_digits(std::string_view s, std::size_t from) {
  std::size_t k = from;
  while (k < s.size() && is_digit(s[k])) ++k;
  return k - from;
}

// The parts of a real number in the accepted form, or nothing when the text is not one.
struct RealParts {
  bool negative = false;
  std::string_view whole;     // digits before the point
  std::string_view fraction;  // digits after the point
  std::string_view exponent;  // optional sign and digits after the exponent letter
};

std::optional<RealParts> split_real(std::string_view s) {
  RealParts p;
  std::size_t k = 0;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) p.negative = s[k++] == '-';
  p.whole = s.substr(k, count_digits(s, k));
  k += p.whole.size();
  if (k < s.size() && s[k] == '.') {
    ++k;
    p.fraction = s.substr(k, count_digits(s, k));
    k += p.fraction.size();
  }
  if (p.whole.empty() && p.fraction.empty()) return std::nullopt;
  if (k < s.size() && std::string_view("EeDd").find(s[k]) != std::string_view::npos) {
    const std::size_t start = ++k;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    const std::size_t n = count_digits(s, k);
    if (n == 0) return std::nullopt;
    k += n;
    p.exponent = s.substr(start, k - start);
  }
  if (k != s.size()) return std::nullopt;
  return p;
}

// Whether a number too large or too small for a double is below 1 in magnitude (underflow)
// rather than above the largest double (overflow).
bool underflows(const RealParts& p) {
  long long power = 0;
  const std::size_t lead = p.whole.find_first_not_of('0');
  if (lead != std::string_view::npos) {
    power = static_cast<long long>(p.whole.size() - lead) - 1;
  } else {
    power = -static_cast<long long>(p.fraction.find_first_not_of('0')) - 1;
  }
  constexpr long long kExponentCap = 1000000;
  long long exponent = 0;
  for (char c : p.exponent) {
    if (is_digit(c)) exponent = std::min(exponent * 10 + (c - '0'), kExponentCap);
  }
  if (!p.exponent.empty() && p.exponent.front() == '-') exponent = -exponent;
  return power + exponent < 0;
}

}  // namespace

std::string format_i(std::int64_t value, int w) { return fit(std::to_string(value), w); }

std::string format_f(double value, int w, int d) {
  if (w <= 0) return {};
  if (!std::isfinite(value)) return non_finite(value, w);
  return fit(fixed_body(value, w, std::max(d, 0)), w);
}

std::string format_e(double value, int w, int d) {
  if (w <= 0) return {};
  if (!std::isfinite(value)) return non_finite(value, w);
  return scaled_exponent_form(value, w, std::max(d, 0));
}

std::string format_g(double value, int w, int d) { return general(value, w, d, false); }

std::string format_g1(double value, int w, int d) { return general(value, w, d, true); }

std::string format_l(bool value, int w) { return fit(std::string(value ? "T" : "F"), w); }

std::string format_a(std::string_view text, int w) {
  if (w <= 0) return {};
  std::string out(text.substr(0, static_cast<std::size_t>(w)));
  out.resize(static_cast<std::size_t>(w), ' ');
  return out;
}

Record::Record(int width) : width_(std::max(width, 0)) { buf_.reserve(width_); }

Record& Record::text(std::string_view s) {
  buf_ += s;
  return *this;
}

Record& Record::i(std::int64_t value, int w) { return text(format_i(value, w)); }

Record& Record::f(double value, int w, int d) { return text(format_f(value, w, d)); }

Record& Record::e(double value, int w, int d) { return text(format_e(value, w, d)); }

Record& Record::g(double value, int w, int d) { return text(format_g(value, w, d)); }

Record& Record::g1(double value, int w, int d) { return text(format_g1(value, w, d)); }

Record& Record::l(bool value, int w) { return text(format_l(value, w)); }

Record& Record::a(std::string_view s, int w) { return text(format_a(s, w)); }

Record& Record::x(int n) {
  if (n > 0) buf_.append(static_cast<std::size_t>(n), ' ');
  return *this;
}

std::string Record::str() const {
  std::string out = buf_.substr(0, static_cast<std::size_t>(width_));
  out.resize(static_cast<std::size_t>(width_), ' ');
  return out;
}

bool read_real(const char* text, int len, double* value) {
  const std::string_view s = trimmed(text, len);
  const auto parts = split_real(s);
  if (!parts) return false;
  std::string plain;
  plain.reserve(s.size() + 1);
  plain.append(parts->whole).append(".").append(parts->fraction);
  if (!parts->exponent.empty()) {
    plain.append("e").append(parts->exponent.front() == '+' ? parts->exponent.substr(1)
                                                            : parts->exponent);
  }
  double magnitude = 0.0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), magnitude);
  if (end != plain.data() + plain.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    if (!underflows(*parts)) return false;
    magnitude = 0.0;
  } else if (ec != std::errc()) {
    return false;
  }
  if (value != nullptr) *value = parts->negative ? -magnitude : magnitude;
  return true;
}

bool read_integer(const char* text, int len, int* value) {
  std::string_view s = trimmed(text, len);
  const bool plus = !s.empty() && s.front() == '+';
  if (plus) s.remove_prefix(1);
  if (s.empty() || (plus && !is_digit(s.front()))) return false;
  int parsed = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), parsed);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  if (value != nullptr) *value = parsed;
  return true;
}

}  // namespace zun::platform
