// Numbered units: records on files and on standard output, the unit query and the stop.
#include "library/platform/units.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace zun::platform {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void write(int unit, const std::string& text) {
  write_record(unit, text.data(), static_cast<int>(text.size()));
}

// A fresh file path per test, removed afterwards.
class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = ::testing::TempDir() + "zun_units_" + info->name() + "_" + std::to_string(getpid());
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::string path_;
};

TEST_F(UnitsTest, RecordsGoToTheOpenedFileOneLineEach) {
  constexpr int kUnit = 21;
  ASSERT_TRUE(open_unit(kUnit, path_));
  std::string name;
  EXPECT_TRUE(inquire_unit(kUnit, &name));
  EXPECT_EQ(name, path_.substr(0, kUnitNameLength));
  EXPECT_TRUE(inquire_unit(kUnit, nullptr));

  testing::internal::CaptureStdout();
  write(kUnit, "first line");
  write_record(kUnit, "", 0);
  write_record(kUnit, "ignored", -3);
  write(kUnit, " third");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  close_unit(kUnit);
  EXPECT_FALSE(inquire_unit(kUnit, &name));
  EXPECT_EQ(read_file(path_), "first line\n\n\n third\n");
  close_unit(kUnit);
}

TEST_F(UnitsTest, ReopeningTruncatesUnlessAppending) {
  constexpr int kUnit = 22;
  ASSERT_TRUE(open_unit(kUnit, path_));
  write(kUnit, "old");
  ASSERT_TRUE(open_unit(kUnit, path_));
  write(kUnit, "new");
  close_unit(kUnit);
  EXPECT_EQ(read_file(path_), "new\n");

  ASSERT_TRUE(open_unit(kUnit, path_, true));
  write(kUnit, "more");
  flush_units();
  EXPECT_EQ(read_file(path_), "new\nmore\n");
  close_unit(kUnit);
}

TEST_F(UnitsTest, LongFileNameIsCutToFortyCharacters) {
  constexpr int kUnit = 23;
  const std::string long_path = path_ + std::string(60, 'x');
  ASSERT_TRUE(open_unit(kUnit, long_path));
  std::string name;
  ASSERT_TRUE(inquire_unit(kUnit, &name));
  EXPECT_EQ(static_cast<int>(name.size()), kUnitNameLength);
  EXPECT_EQ(name, long_path.substr(0, kUnitNameLength));
  close_unit(kUnit);
  std::remove(long_path.c_str());
}

TEST_F(UnitsTest, FailedOpenLeavesTheUnitClosed) {
  constexpr int kUnit = 24;
  ASSERT_TRUE(open_unit(kUnit, path_));
  EXPECT_FALSE(open_unit(kUnit, path_ + "/no/such/dir/file"));
  EXPECT_FALSE(inquire_unit(kUnit, nullptr));
  EXPECT_FALSE(open_unit(-1, path_));
  EXPECT_FALSE(inquire_unit(-1, nullptr));
}

TEST_F(UnitsTest, UnopenedUnitsWriteToStandardOutputAndNegativeUnitsNowhere) {
  EXPECT_FALSE(inquire_unit(kStandardOutputUnit, nullptr));
  testing::internal::CaptureStdout();
  std::printf("printf line\n");
  write(kStandardOutputUnit, "unit six");
  write(-1, "never");
  write(37, "unit thirty-seven");
  std::printf("after\n");
  write_record(kStandardOutputUnit, nullptr, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "printf line\nunit six\nunit thirty-seven\nafter\n\n");
}

TEST_F(UnitsTest, UnitSixOpenedOnAFileWritesToTheFile) {
  ASSERT_TRUE(open_unit(kStandardOutputUnit, path_));
  testing::internal::CaptureStdout();
  write(kStandardOutputUnit, "to the file");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  close_unit(kStandardOutputUnit);
  EXPECT_EQ(read_file(path_), "to the file\n");
}

TEST_F(UnitsTest, UnitOnTheConsoleDeviceWritesToStandardOutput) {
  constexpr int kUnit = 27;
  ASSERT_TRUE(open_unit(kUnit, kConsoleDeviceName));
  std::string name;
  ASSERT_TRUE(inquire_unit(kUnit, &name));
  EXPECT_EQ(name, kConsoleDeviceName);
  testing::internal::CaptureStdout();
  write(kUnit, "console line");
  close_unit(kUnit);
  std::printf("still open\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "console line\nstill open\n");
  EXPECT_FALSE(inquire_unit(kUnit, nullptr));
  EXPECT_NE(access(kConsoleDeviceName, F_OK), 0) << "no file is created for the console";
}

TEST_F(UnitsTest, StopFlushesUnitsAndExitsWithItsStatus) {
  constexpr int kUnit = 25;
  EXPECT_EXIT(
      {
        open_unit(kUnit, path_);
        write(kUnit, "before the stop");
        stop_run();
      },
      ::testing::ExitedWithCode(kStopExitStatus), "");
  EXPECT_EQ(read_file(path_), "before the stop\n");
}

TEST_F(UnitsTest, ExitClosesUnitsWithTheirBufferedRecords) {
  constexpr int kUnit = 26;
  EXPECT_EXIT(
      {
        open_unit(kUnit, path_);
        write(kUnit, "buffered");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(path_), "buffered\n");
}

TEST(Console, PresentExactlyWhenStandardOutputIsOpen) {
  EXPECT_TRUE(has_console());
  constexpr int kWithConsole = 3;
  constexpr int kWithoutConsole = 4;
  EXPECT_EXIT(
      {
        close(STDOUT_FILENO);
        _exit(has_console() ? kWithConsole : kWithoutConsole);
      },
      ::testing::ExitedWithCode(kWithoutConsole), "");
}

}  // namespace
}  // namespace zun::platform
