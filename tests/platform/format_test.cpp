// Field edits, records and the number reader, checked against the exact text of each field.
#include "library/platform/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

namespace zun::platform {
namespace {

enum class Edit { kF, kE, kG, kG1 };

struct RealCase {
  Edit edit;
  double value;
  int w;
  int d;
  const char* expected;
};

std::ostream& operator<<(std::ostream& os, const RealCase& c) {
  constexpr const char* kNames[] = {"F", "E", "G", "1PG"};
  return os << kNames[static_cast<int>(c.edit)] << c.w << "." << c.d << " of "
            << std::to_string(c.value) << " (" << c.value << ")";
}

std::string apply(const RealCase& c) {
  switch (c.edit) {
    case Edit::kF:
      return format_f(c.value, c.w, c.d);
    case Edit::kE:
      return format_e(c.value, c.w, c.d);
    case Edit::kG:
      return format_g(c.value, c.w, c.d);
    case Edit::kG1:
      return format_g1(c.value, c.w, c.d);
  }
  return {};
}

class RealEdit : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealEdit, WritesExactField) {
  const RealCase& c = GetParam();
  const std::string out = apply(c);
  EXPECT_EQ(out, c.expected);
  EXPECT_EQ(static_cast<int>(out.size()), c.w);
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();

INSTANTIATE_TEST_SUITE_P(
    Fixed,
    RealEdit,
    ::testing::Values(RealCase{Edit::kF, 3.14159, 8, 3, "   3.142"},
                      RealCase{Edit::kF, -3.14159, 8, 3, "  -3.142"},
                      RealCase{Edit::kF, 0.0, 6, 2, "  0.00"},
                      RealCase{Edit::kF, -0.0, 6, 2, "  0.00"},
                      RealCase{Edit::kF, -1e-20, 10, 2, "      0.00"},
                      RealCase{Edit::kF, -0.004, 5, 2, " 0.00"},
                      RealCase{Edit::kF, -0.005001, 5, 2, "-0.01"},
                      // Half-way cases are rounded from the exact binary value, ties to even.
                      RealCase{Edit::kF, 0.125, 5, 2, " 0.12"},
                      RealCase{Edit::kF, 0.375, 5, 2, " 0.38"},
                      RealCase{Edit::kF, 2.675, 5, 2, " 2.67"},
                      RealCase{Edit::kF, 1.005, 5, 2, " 1.00"},
                      RealCase{Edit::kF, 2.5, 3, 0, " 2."},
                      RealCase{Edit::kF, 3.5, 3, 0, " 4."},
                      RealCase{Edit::kF, 9.995, 6, 2, "  9.99"},
                      RealCase{Edit::kF, 9.9951, 6, 2, " 10.00"},
                      // The zero before the point goes only when the field has no room for it.
                      RealCase{Edit::kF, 0.5, 5, 3, "0.500"},
                      RealCase{Edit::kF, 0.5, 4, 3, ".500"},
                      RealCase{Edit::kF, -0.5, 6, 3, "-0.500"},
                      RealCase{Edit::kF, -0.5, 5, 3, "-.500"},
                      RealCase{Edit::kF, -0.5, 4, 3, "****"},
                      RealCase{Edit::kF, 0.0, 3, 2, ".00"},
                      RealCase{Edit::kF, 0.3, 2, 0, "0."},
                      RealCase{Edit::kF, 0.3, 1, 0, "*"},
                      RealCase{Edit::kF, 123.456, 6, 2, "123.46"},
                      RealCase{Edit::kF, 123.456, 5, 2, "*****"},
                      RealCase{Edit::kF, -99.996, 6, 2, "******"},
                      RealCase{Edit::kF, 1e300, 12, 2, "************"},
                      RealCase{Edit::kF, 1e-300, 8, 4, "  0.0000"}));

INSTANTIATE_TEST_SUITE_P(Exponent,
                         RealEdit,
                         ::testing::Values(RealCase{Edit::kE, 0.00012, 8, 1, " 1.2E-04"},
                                           RealCase{Edit::kE, 12345.678, 10, 2, "  1.23E+04"},
                                           RealCase{Edit::kE, -12345.678, 10, 2, " -1.23E+04"},
                                           RealCase{Edit::kE, 0.0, 10, 2, "  0.00E+00"},
                                           RealCase{Edit::kE, -0.0, 10, 2, "  0.00E+00"},
                                           RealCase{Edit::kE, 1.0, 9, 3, "1.000E+00"},
                                           RealCase{Edit::kE, 9.9996, 9, 3, "1.000E+01"},
                                           RealCase{Edit::kE, 9.9994, 9, 3, "9.999E+00"},
                                           RealCase{Edit::kE, 1.125, 9, 2, " 1.12E+00"},
                                           RealCase{Edit::kE, 1.375, 9, 2, " 1.38E+00"},
                                           RealCase{Edit::kE, 1e-100, 9, 3, "1.000-100"},
                                           RealCase{Edit::kE, 1.23e300, 8, 2, "1.23+300"},
                                           RealCase{Edit::kE, -1.23e300, 9, 2, "-1.23+300"},
                                           RealCase{Edit::kE, 9.9999e99, 8, 2, "1.00+100"},
                                           RealCase{Edit::kE, 9.994e99, 8, 2, "9.99E+99"},
                                           RealCase{Edit::kE, 1e-99, 8, 2, "1.00E-99"},
                                           RealCase{Edit::kE, kDenormMin, 10, 3, " 4.941-324"},
                                           RealCase{Edit::kE, std::numeric_limits<double>::max(),
                                                    10, 3, " 1.798+308"},
                                           RealCase{Edit::kE, 5.0, 6, 0, "5.E+00"},
                                           RealCase{Edit::kE, -1.5, 8, 2, "********"},
                                           RealCase{Edit::kE, 1.23e300, 7, 2, "*******"}));

INSTANTIATE_TEST_SUITE_P(General,
                         RealEdit,
                         ::testing::Values(RealCase{Edit::kG, 0.0, 12, 4, "   0.000    "},
                                           RealCase{Edit::kG, -0.0, 12, 4, "   0.000    "},
                                           RealCase{Edit::kG, 1.0, 12, 4, "   1.000    "},
                                           RealCase{Edit::kG, 123.456, 12, 4, "   123.5    "},
                                           RealCase{Edit::kG, -123.456, 12, 4, "  -123.5    "},
                                           RealCase{Edit::kG, 0.1, 12, 4, "  0.1000    "},
                                           RealCase{Edit::kG, 0.09999, 12, 4, "  0.9999E-01"},
                                           RealCase{Edit::kG, 0.099996, 12, 4, "  0.1000    "},
                                           RealCase{Edit::kG, 0.099994, 12, 4, "  0.9999E-01"},
                                           RealCase{Edit::kG, 9.99995, 12, 4, "   10.00    "},
                                           RealCase{Edit::kG, 9999.4, 12, 4, "   9999.    "},
                                           // 9999.5 rounds (ties to even) to 10000.
                                           RealCase{Edit::kG, 9999.5, 12, 4, "  0.1000E+05"},
                                           RealCase{Edit::kG, 99999.5, 12, 4, "  0.1000E+06"},
                                           RealCase{Edit::kG, -9999.5, 12, 4, " -0.1000E+05"},
                                           RealCase{Edit::kG, 1e300, 12, 4, "  0.1000+301"},
                                           RealCase{Edit::kG, 1e-300, 12, 4, "  0.1000-299"},
                                           RealCase{Edit::kG, 1e99, 10, 4, "0.1000+100"},
                                           RealCase{Edit::kG, 9.9e98, 10, 4, "0.9900E+99"},
                                           RealCase{Edit::kG, 1e-100, 10, 4, "0.1000E-99"},
                                           RealCase{Edit::kG, kDenormMin, 10, 4, "0.4941-323"},
                                           RealCase{Edit::kG, 1e-5, 9, 4, ".1000E-04"},
                                           RealCase{Edit::kG, -1e-5, 10, 4, "-.1000E-04"},
                                           RealCase{Edit::kG, -1e-5, 9, 4, "*********"},
                                           RealCase{Edit::kG, 0.5, 9, 4, ".5000    "},
                                           RealCase{Edit::kG, 0.5, 8, 4, "********"},
                                           RealCase{Edit::kG, 0.0, 8, 4, ".000    "},
                                           RealCase{Edit::kG, 1234.5, 9, 4, "1234.    "},
                                           RealCase{Edit::kG1, 0.0, 12, 4, "   0.000    "},
                                           RealCase{Edit::kG1, 2.5, 12, 4, "   2.500    "},
                                           RealCase{Edit::kG1, 12345.6, 12, 4, "  1.2346E+04"},
                                           RealCase{Edit::kG1, 0.09999, 12, 4, "  9.9990E-02"},
                                           RealCase{Edit::kG1, 9999.5, 12, 4, "  9.9995E+03"},
                                           RealCase{Edit::kG1, -1e-300, 12, 4, " -1.0000-300"},
                                           RealCase{Edit::kG1, 9.99995, 12, 4, "   10.00    "},
                                           RealCase{Edit::kG1, -2e10, 10, 4, "**********"}));

INSTANTIATE_TEST_SUITE_P(NonFinite,
                         RealEdit,
                         ::testing::Values(RealCase{Edit::kF, kNaN, 5, 2, "  NaN"},
                                           RealCase{Edit::kE, kInf, 10, 2, "  Infinity"},
                                           RealCase{Edit::kG, -kInf, 12, 4, "   -Infinity"},
                                           RealCase{Edit::kG1, kInf, 8, 2, "Infinity"},
                                           RealCase{Edit::kE, -kInf, 8, 2, "********"},
                                           RealCase{Edit::kF, kNaN, 2, 0, "**"}));

TEST(IntegerEdit, RightJustifiesOrFillsWithAsterisks) {
  EXPECT_EQ(format_i(42, 5), "   42");
  EXPECT_EQ(format_i(-42, 3), "-42");
  EXPECT_EQ(format_i(-42, 2), "**");
  EXPECT_EQ(format_i(0, 1), "0");
  EXPECT_EQ(format_i(123456, 5), "*****");
  EXPECT_EQ(format_i(std::numeric_limits<std::int64_t>::min(), 20), "-9223372036854775808");
  EXPECT_EQ(format_i(7, 0), "");
}

TEST(LogicalAndTextEdits, JustifyCutAndPad) {
  EXPECT_EQ(format_l(true, 3), "  T");
  EXPECT_EQ(format_l(false, 1), "F");
  EXPECT_EQ(format_a("Major", 8), "Major   ");
  EXPECT_EQ(format_a("Iterations", 4), "Iter");
  EXPECT_EQ(format_a("", 2), "  ");
}

TEST(RecordBuilder, AppendsPiecesInOrderAndFitsTheWidth) {
  Record r(40);
  r.text(" Itn").i(12, 5).x(2).f(-0.5, 6, 2).e(1234.5, 10, 2).l(true, 2).a("ok", 3);
  EXPECT_EQ(r.str(), " Itn   12   -0.50  1.23E+03 Tok " + std::string(8, ' '));
  EXPECT_EQ(r.width(), 40);

  Record narrow(10);
  narrow.text("0123456789abcdef");
  EXPECT_EQ(narrow.str(), "0123456789");

  Record g(20);
  g.g(0.0, 12, 4).g1(1e5, 8, 1);
  EXPECT_EQ(g.str(), "   0.000     1.0E+05");
}

struct ReadCase {
  const char* text;
  bool ok;
  double value;  // expected when ok
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c) { return os << '"' << c.text << '"'; }

class ReadReal : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadReal, AcceptsTheFortranFormOnly) {
  const ReadCase& c = GetParam();
  double value = -777.0;
  const bool ok =
      read_real(c.text, static_cast<int>(std::char_traits<char>::length(c.text)), &value);
  EXPECT_EQ(ok, c.ok);
  EXPECT_EQ(value, c.ok ? c.value : -777.0);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ReadReal,
                         ::testing::Values(ReadCase{"1.0D-6", true, 1.0e-6},
                                           ReadCase{"  -2.5e+3 ", true, -2500.0},
                                           ReadCase{"1d2", true, 100.0},
                                           ReadCase{"+7", true, 7.0},
                                           ReadCase{".5", true, 0.5},
                                           ReadCase{"5.", true, 5.0},
                                           ReadCase{"1E5", true, 1e5},
                                           ReadCase{"\t3\t", true, 3.0},
                                           ReadCase{"0.1", true, 0.1},
                                           ReadCase{"1e-400", true, 0.0},
                                           ReadCase{"4.9e-324", true, kDenormMin},
                                           ReadCase{"abc", false, 0},
                                           ReadCase{"", false, 0},
                                           ReadCase{"   ", false, 0},
                                           ReadCase{"1.0.0", false, 0},
                                           ReadCase{".", false, 0},
                                           ReadCase{"1e", false, 0},
                                           ReadCase{"1e+", false, 0},
                                           ReadCase{"1 0", false, 0},
                                           ReadCase{"1.5x", false, 0},
                                           ReadCase{"--1", false, 0},
                                           ReadCase{"+-1", false, 0},
                                           ReadCase{"1e999", false, 0},
                                           ReadCase{"-1e999", false, 0},
                                           ReadCase{"inf", false, 0},
                                           ReadCase{"nan", false, 0},
                                           ReadCase{"0x10", false, 0},
                                           ReadCase{"1.0+5", false, 0}));

TEST(ReadRealText, ReadsOnlyTheGivenLengthAndKeepsTheSign) {
  double value = 0.0;
  EXPECT_TRUE(read_real("12345", 2, &value));
  EXPECT_EQ(value, 12.0);
  EXPECT_TRUE(read_real("-0", 2, &value));
  EXPECT_TRUE(std::signbit(value));
  EXPECT_FALSE(read_real("1", -1, &value));
  EXPECT_FALSE(read_real(nullptr, 3, &value));
}

TEST(ReadInteger, AcceptsSignedThirtyTwoBitIntegersOnly) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {{"42", true, 42},
                        {"  -17 ", true, -17},
                        {"+7", true, 7},
                        {"2147483647", true, 2147483647},
                        {"-2147483648", true, -2147483647 - 1},
                        {"2147483648", false, 0},
                        {"99999999999999", false, 0},
                        {"", false, 0},
                        {"+", false, 0},
                        {"-", false, 0},
                        {"+-3", false, 0},
                        {"1.0", false, 0},
                        {"1e3", false, 0},
                        {"12a", false, 0},
                        {"1 2", false, 0}};
  for (const Case& c : cases) {
    int value = -5;
    const bool ok =
        read_integer(c.text, static_cast<int>(std::char_traits<char>::length(c.text)), &value);
    EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
    EXPECT_EQ(value, c.ok ? c.value : -5) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace zun::platform
