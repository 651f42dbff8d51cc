// The largest-value routine, its argument report and the name/value table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/platform/units.h"

namespace zun {
namespace {

TEST(LargestValue, FirstLargestByValueAndItsStoragePosition) {
  const struct {
    std::vector<double> x;
    int n;
    int incx;
    int k;
    double r;
  } cases[] = {
      {{3.0, 7.0, 7.0}, 3, 1, 2, 7.0},
      {{3.0, 7.0, 7.0}, 3, -1, 3, 7.0},           // scans positions 3, 2, 1
      {{-1.0, -9.0, -0.5, 4.0}, 3, 1, 3, -0.5},   // by value, not magnitude
      {{1.0, 8.0, 2.0, 8.0, 5.0}, 3, 2, 5, 5.0},  // elements at positions 1, 3, 5
      {{1.0, 8.0, 6.0, 8.0, 5.0}, 3, -2, 3, 6.0},
      {{4.5}, 1, 1, 1, 4.5},
      {{4.5}, 0, 1, 0, 0.0},
  };
  for (const auto& c : cases) {
    int k = -1;
    double r = -1.0;
    find_max_value(c.n, c.x.data(), c.incx, k, r);
    EXPECT_EQ(k, c.k) << c.n << " " << c.incx;
    EXPECT_EQ(r, c.r);
  }
}

TEST(LargestValueDeathTest, ZeroStrideReportsTheArgumentAndStops) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::vector<double> x = {1.0, 2.0};
  int k = -1;
  double r = -1.0;
  // The report goes to standard output; the child sends it to the stream the test reads.
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        BLAS_DMAX_VAL(2, x.data(), 0, k, r);
      },
      ::testing::ExitedWithCode(platform::kStopExitStatus),
      ::testing::HasSubstr("** On entry to GRAVHF/BLAS_DMAX_VAL, parameter number 3\n"
                           "** had the illegal value of 0\n"));
  EXPECT_NE(platform::kStopExitStatus, 0);
}

TEST(LargestValueDeathTest, UnknownCodeIsReportedWithTheRoutineName) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        GRAVMZ("MYROUT  ", 4, 0, 8);
      },
      ::testing::ExitedWithCode(platform::kStopExitStatus),
      ::testing::HasSubstr("** Unknown error code 4 raised by routine MYROUT\n"));
}

std::string get(const std::string& name) {
  std::string value(80, '?');
  get_table_value(name.data(), value.data(), static_cast<int>(name.size()), 80);
  return value.substr(0, value.find_last_not_of(' ') + 1);
}

void set(const std::string& name, const std::string& value) {
  set_table_value(name.data(), value.data(), static_cast<int>(name.size()),
                  static_cast<int>(value.size()));
}

TEST(NameValueTable, GetSetAndCapacity) {
  std::string blank(80, '?');
  get_table_value("ZUNTESTING", blank.data(), 10, 80);
  EXPECT_EQ(blank, std::string(80, ' '));  // empty table: a blank

  set("KEY", "first");
  EXPECT_EQ(get("KEY"), "first");
  EXPECT_EQ(get("KEY   "), "first");  // names compare blank-padded
  set("KEY", "second");
  EXPECT_EQ(get("KEY"), "second");
  for (int i = 2; i <= 20; ++i) {
    const std::string number = std::to_string(i);
    set(std::string("NAME").append(number), std::string("v").append(number));
  }
  EXPECT_EQ(get("NAME20"), "v20");
  set("NAME21", "ignored");  // the table is full
  EXPECT_EQ(get("NAME21"), "");
  set("NAME7", "again");  // an existing name may still be set
  EXPECT_EQ(get("NAME7"), "again");
}

}  // namespace
}  // namespace zun
