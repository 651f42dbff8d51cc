// Machine constants, guarded division, strided utilities and the banner.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "library/support/banner.h"
#include "library/support/machine.h"
#include "library/support/output.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

const double kTiny = std::numeric_limits<double>::min();
const double kBig = 1.0 / kTiny;

TEST(MachineConstants, ValuesAndWords) {
  EXPECT_EQ(machine_precision(), 1.1102230246251565e-16);
  EXPECT_EQ(smallest_normal(), 2.2250738585072014e-308);

  std::vector<int> iw(550, 0);
  std::vector<double> rw(550, 0.0);
  int nine = 9, six = 6;
  advisory_unit(1, nine);
  set_machine_constants(iw.data(), nullptr, rw.data());
  advisory_unit(1, six);
  const double eps = machine_precision();
  EXPECT_EQ(rw[0], eps);
  EXPECT_EQ(rw[1], std::pow(eps, 0.8));
  EXPECT_EQ(rw[2], std::pow(eps, 0.67));
  EXPECT_EQ(rw[3], std::sqrt(eps));
  EXPECT_EQ(rw[4], std::pow(eps, 0.33));
  EXPECT_EQ(rw[5], std::pow(eps, 0.25));
  EXPECT_EQ(rw[6], std::pow(eps, 0.2));
  EXPECT_EQ(rw[7], kBig);
  EXPECT_EQ(rw[8], kTiny);
  EXPECT_EQ(rw[9], std::sqrt(kTiny));
  EXPECT_EQ(iw[11], 9);
  EXPECT_EQ(iw[498], 6);
  EXPECT_EQ(rw[10], 0.0);
}

struct DivideCase {
  double a, b, result;
  int fail;
};

class SafeDivide : public ::testing::TestWithParam<DivideCase> {};

TEST_P(SafeDivide, GuardsOverflowAndUnderflow) {
  const DivideCase c = GetParam();
  int fail = 99;
  EXPECT_EQ(safe_divide(c.a, c.b, fail), c.result) << c.a << " / " << c.b;
  EXPECT_EQ(fail, c.fail);
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         SafeDivide,
                         ::testing::Values(DivideCase{1, 0, kBig, -1},
                                           DivideCase{-1, 0, -kBig, -1},
                                           DivideCase{0, 0, 0, -1},
                                           DivideCase{0, 5, 0, 0},
                                           DivideCase{1e-300, 1e10, 0, 0},
                                           DivideCase{1e300, 1e-10, kBig, -1},
                                           DivideCase{-1e300, 1e-10, -kBig, -1},
                                           DivideCase{1e300, -1e-10, -kBig, -1},
                                           DivideCase{-1e-200, 1e-200, -1.0, 0},
                                           // the product of A and B underflows to zero
                                           DivideCase{1e-12, -1e-320, -kBig, -1},
                                           DivideCase{6, 3, 2, 0},
                                           DivideCase{3, 0.5, 6, 0}));

TEST(VectorUtilities, FillWithStrideAndPositiveZero) {
  std::vector<int> x(7, 0);
  fill_integers(3, 5, x.data(), 3);
  EXPECT_EQ(x, (std::vector<int>{5, 0, 0, 5, 0, 0, 5}));
  fill_integers(0, 9, x.data(), 1);
  EXPECT_EQ(x[0], 5);
  // A stride below 1 must not write before the array (regression: negative strides did).
  fill_integers(3, 9, x.data() + 6, -3);
  EXPECT_EQ(x, (std::vector<int>{5, 0, 0, 5, 0, 0, 5}));

  std::vector<double> r(4, 1.0);
  fill_reals(4, -0.0, r.data(), 1);
  for (double v : r) EXPECT_FALSE(std::signbit(v));
  fill_reals(2, 2.5, r.data(), 2);
  EXPECT_EQ(r, (std::vector<double>{2.5, 0.0, 2.5, 0.0}));
  fill_reals(2, 7.0, r.data() + 3, -1);
  EXPECT_EQ(r, (std::vector<double>{2.5, 0.0, 2.5, 0.0}));
}

TEST(VectorUtilities, CopyIntegersStrides) {
  const std::vector<int> x = {1, 2, 3, 4, 5, 6};
  std::vector<int> y(6, 0);
  copy_integers(3, x.data(), -1, y.data(), 1);
  EXPECT_EQ(y, (std::vector<int>{3, 2, 1, 0, 0, 0}));
  y.assign(6, 0);
  copy_integers(3, x.data(), 2, y.data(), 2);
  EXPECT_EQ(y, (std::vector<int>{1, 0, 3, 0, 5, 0}));
  y.assign(6, 0);
  copy_integers(3, x.data(), 1, y.data(), -2);
  EXPECT_EQ(y, (std::vector<int>{3, 0, 2, 0, 1, 0}));
  y.assign(6, 0);
  copy_integers(0, x.data(), 1, y.data(), 1);
  EXPECT_EQ(y, std::vector<int>(6, 0));
  // Both strides negative: the walks run backwards from their far ends, pairing as forwards.
  y.assign(6, 0);
  copy_integers(3, x.data(), -1, y.data(), -2);
  EXPECT_EQ(y, (std::vector<int>{1, 0, 2, 0, 3, 0}));
  y.assign(6, 0);
  copy_integers(3, x.data(), -2, y.data(), -1);
  EXPECT_EQ(y, (std::vector<int>{1, 3, 5, 0, 0, 0}));
}

TEST(VectorUtilities, MultiplyByVector) {
  const std::vector<double> x = {2, 3, 4};
  std::vector<double> y = {1, 1, 1, 1, 1};
  multiply_by_vector(3, x.data(), 0, y.data(), 2);
  EXPECT_EQ(y, (std::vector<double>{2, 1, 2, 1, 2}));
  y = {1, 10, 100};
  multiply_by_vector(3, x.data(), 1, y.data(), 1);
  EXPECT_EQ(y, (std::vector<double>{2, 30, 400}));
  y = {1, 10, 100};
  multiply_by_vector(3, x.data(), -1, y.data(), 1);
  EXPECT_EQ(y, (std::vector<double>{4, 30, 200}));
  // A zero stride with a negative one scales the same elements by X(1).
  y = {1, 1, 1, 1, 1};
  multiply_by_vector(3, x.data(), 0, y.data(), -2);
  EXPECT_EQ(y, (std::vector<double>{2, 1, 2, 1, 2}));
  y = {1, 10, 100};
  multiply_by_vector(3, x.data(), -1, y.data(), -1);
  EXPECT_EQ(y, (std::vector<double>{2, 30, 400}));
}

TEST(Banner, FilledLinesAreFramedAndAligned) {
  std::vector<char> lines(kBannerLineCount * kBannerLineLength, '?');
  fill_implementation_details(lines.data(), kBannerLineLength);
  auto line = [&](int i) {
    return std::string(lines.data() + (i - 1) * kBannerLineLength, kBannerLineLength);
  };
  for (int i = 1; i <= kBannerLineCount; ++i) EXPECT_EQ(line(i).size(), 132u);
  for (int i = 3; i <= 6; ++i) EXPECT_EQ(line(i).substr(21, 2), ": ") << i;
  EXPECT_EQ(line(8).substr(0, 16), " Created using: ");
  EXPECT_EQ(line(18).substr(0, 25), " and compatible systems. ");
}

TEST(Banner, LinesWithoutCharactersAreLeftAlone) {
  char guard[4] = {'?', '?', '?', '?'};
  fill_implementation_details(guard, 0);
  fill_implementation_details(guard, -2);
  EXPECT_EQ(std::string(guard, 4), "????");
}

TEST(Banner, PrintsLinesOneToSevenAndTheEnd) {
  testing::UnitCapture cap(23);
  int saved = 0, unit = 23;
  advisory_unit(0, saved);
  advisory_unit(1, unit);
  print_implementation_details();
  advisory_unit(1, saved);
  const auto out = cap.lines();
  ASSERT_EQ(out.size(), 8u);
  EXPECT_EQ(out[0], " *** Start of ZUN Library implementation details ***");
  EXPECT_EQ(out[1], " ");
  EXPECT_EQ(out[2].substr(0, 23), " Implementation title: ");
  EXPECT_EQ(out[3].substr(0, 23), "            Precision: ");
  EXPECT_EQ(out[4].substr(0, 23), "         Product Code: ");
  EXPECT_EQ(out[5].substr(0, 23), "                 Plen: ");
  EXPECT_EQ(out[6], " ");
  EXPECT_EQ(out[7], " *** End of ZUN Library implementation details ***");
  for (const auto& l : out) EXPECT_TRUE(l.empty() || l.back() != ' ' || l == " ");
}

TEST(Banner, GoldenPrintedLines) {
  testing::UnitCapture cap(23);
  int saved = 0, unit = 23;
  advisory_unit(0, saved);
  advisory_unit(1, unit);
  print_implementation_details();
  advisory_unit(1, saved);
  EXPECT_EQ(cap.lines(),
            (std::vector<std::string>{
                " *** Start of ZUN Library implementation details ***",
                " ",
                " Implementation title: ZUN Library for Linux x86-64, C++ with reference "
                "BLAS/LAPACK",
                "            Precision: double precision (IEEE 754 binary64)",
                "         Product Code: ZUNLX22DB",
                "                 Plen: 22",
                " ",
                " *** End of ZUN Library implementation details ***",
            }));
}

}  // namespace
}  // namespace zun
