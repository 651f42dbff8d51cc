// Line writer, unit settings and the failure convention.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/platform/units.h"
#include "library/support/failure.h"
#include "library/support/output.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

using testing::UnitCapture;
using Lines = std::vector<std::string>;

constexpr int kFileUnit = 21;

void write_text(int unit, const std::string& s) {
  write_line(unit, s.data(), static_cast<int>(s.size()));
}

TEST(LineWriter, TrimsTrailingBlanksButKeepsOneBlank) {
  UnitCapture cap(kFileUnit);
  write_text(kFileUnit, "Iteration   ");
  write_text(kFileUnit, std::string(70, ' '));
  write_text(kFileUnit, "  lead");
  write_line(kFileUnit, "ignored", 0);
  write_line(kFileUnit, "ignored", -5);
  EXPECT_EQ(cap.lines(), (Lines{"Iteration", " ", "  lead", "", ""}));
}

TEST(LineWriter, NegativeUnitWritesNothing) {
  ::testing::internal::CaptureStdout();
  write_text(-1, "never");
  write_text(-6, "never");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(LineWriter, UnopenedUnitGoesToStandardOutput) {
  ::testing::internal::CaptureStdout();
  write_text(6, "to stdout   ");
  write_text(33, "also stdout");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "to stdout\nalso stdout\n");
}

TEST(LineWriter, UnitOpenedOnConsoleDeviceCountsAsConsole) {
  // A unit connected to a file named like the console device writes to standard output.
  const std::string dir = "/tmp";
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  ASSERT_TRUE(platform::open_unit(kFileUnit, platform::kConsoleDeviceName));
  ::testing::internal::CaptureStdout();
  write_text(kFileUnit, "console line");
  const std::string out = ::testing::internal::GetCapturedStdout();
  platform::close_unit(kFileUnit);
  std::remove((dir + "/" + platform::kConsoleDeviceName).c_str());
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(out, "console line\n");
}

TEST(LineWriter, WriteLinesWritesEachRecord) {
  UnitCapture cap(kFileUnit);
  const std::string recs = "first     second    ";
  write_lines(kFileUnit, 2, recs.data(), 10);
  write_lines(kFileUnit, 0, recs.data(), 10);
  EXPECT_EQ(cap.lines(), (Lines{"first", "second"}));
}

TEST(UnitSettings, GetSetAndIgnoreOtherModes) {
  int unit = 0;
  advisory_unit(0, unit);
  EXPECT_EQ(unit, 6);
  int nine = 9;
  advisory_unit(1, nine);
  advisory_unit(0, unit);
  EXPECT_EQ(unit, 9);
  int other = 77;
  advisory_unit(2, other);
  EXPECT_EQ(other, 77);
  advisory_unit(0, unit);
  EXPECT_EQ(unit, 9);
  int six = 6;
  advisory_unit(1, six);

  error_unit(0, unit);
  EXPECT_EQ(unit, 6);
  error_unit(5, other);
  error_unit(0, unit);
  EXPECT_EQ(unit, 6);
}

// Runs report_failure with the error unit on a file; returns the new IFAIL and the lines.
struct FailureOutcome {
  int ifail;
  Lines lines;
};

FailureOutcome report_on_file(int ifail, int ierror, const char* name = "SPNLPF") {
  UnitCapture cap(kFileUnit);
  int saved = 0;
  error_unit(0, saved);
  int unit = kFileUnit;
  error_unit(1, unit);
  std::string recs(46, ' ');
  recs.replace(0, 13, " first record");
  recs.replace(23, 14, " second record");
  const int out = report_failure(ifail, ierror, name, 2, recs.data(), 6, 23);
  error_unit(1, saved);
  return {out, cap.lines()};
}

const std::string kAbnormal7 = " ** ABNORMAL EXIT from ZUN Library routine SPNLPF: IFAIL =     7";
const std::string kSoft = " ** ZUN soft failure - control returned";
const std::string kHard = " ** ZUN hard failure - execution terminated";

struct ReturningCase {
  int ifail;
  bool prints;
  bool abnormal_lines;
};

class FailureReturns : public ::testing::TestWithParam<ReturningCase> {};

TEST_P(FailureReturns, PrintsAsTheModeAsksAndReturnsTheError) {
  const ReturningCase c = GetParam();
  const FailureOutcome r = report_on_file(c.ifail, 7);
  EXPECT_EQ(r.ifail, 7);
  Lines expected;
  if (c.prints) expected = {" first record", " second record"};
  if (c.abnormal_lines) {
    expected.push_back(kAbnormal7);
    expected.push_back(kSoft);
  }
  EXPECT_EQ(r.lines, expected);
}

INSTANTIATE_TEST_SUITE_P(Modes,
                         FailureReturns,
                         ::testing::Values(ReturningCase{-1, true, true},
                                           ReturningCase{11, true, true},
                                           ReturningCase{21, true, true},
                                           ReturningCase{-11, false, false},
                                           ReturningCase{-13, true, false},
                                           ReturningCase{1, false, false},
                                           ReturningCase{2, false, false},
                                           ReturningCase{9, false, false},
                                           ReturningCase{100, false, false},
                                           ReturningCase{-2, false, false}));

TEST(FailureConvention, SuccessIsSilentForEveryMode) {
  for (int mode : {0, -1, -13, 1, 10, 11, 20}) {
    const FailureOutcome r = report_on_file(mode, 0);
    EXPECT_EQ(r.ifail, 0) << mode;
    EXPECT_TRUE(r.lines.empty()) << mode;
  }
}

TEST(FailureConvention, NegativeErrorNumbersFillTheField) {
  const FailureOutcome r = report_on_file(-1, -3);
  EXPECT_EQ(r.ifail, -3);
  ASSERT_EQ(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[2], " ** ABNORMAL EXIT from ZUN Library routine SPNLPF: IFAIL =    -3");
}

class FailureStops : public ::testing::TestWithParam<int> {};

TEST_P(FailureStops, HardPrintedFailureStopsWithNonZeroStatus) {
  const int mode = GetParam();
  const std::string path = "/tmp/zun_hard_failure_" + std::to_string(getpid()) + ".txt";
  EXPECT_EXIT(
      {
        platform::open_unit(kFileUnit, path);
        int unit = kFileUnit;
        error_unit(1, unit);
        const std::string rec = " only record";
        report_failure(mode, 7, "SPNLPF", 1, rec.data(), 6, static_cast<int>(rec.size()));
      },
      ::testing::ExitedWithCode(platform::kStopExitStatus), "");
  EXPECT_EQ(UnitCapture::read_lines(path), (Lines{" only record", kAbnormal7, kHard}));
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Modes, FailureStops, ::testing::Values(0, 10, 20, 110));

TEST(FailureConvention, HardFailureStopsEvenWhenTheErrorUnitIsSilent) {
  EXPECT_EXIT(
      {
        int unit = -1;
        error_unit(1, unit);
        report_failure(0, 7, "SPNLPF", 0, "", 6, 0);
      },
      ::testing::ExitedWithCode(platform::kStopExitStatus), "");
}

}  // namespace
}  // namespace zun
