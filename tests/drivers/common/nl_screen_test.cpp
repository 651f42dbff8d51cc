// The screen before the ASL reads a file: the file check first, the first read in a child
// process only for a file that passed it, and the verdict the child's end gives.
#include "drivers/common/nl_screen.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using zun_driver::NlBodies;
using zun_driver::ScreenVerdict;

std::string data_path(const std::string& name) {
  return std::string(ZUN_TEST_DATA_DIR) + "/" + name;
}

// A read that ends the child process with a fault signal: any fault it causes shows that it ran.
int crashing_read(const NlBodies&) { return raise(SIGABRT); }

TEST(NlScreen, SoundFileWhoseReadSucceedsIsRead) {
  for (const char* name : {"hs071.nl", "hs022.nl"}) {
    EXPECT_EQ(zun_driver::screen_nl_file(data_path(name), [](const NlBodies&) { return 0; }).verdict,
              ScreenVerdict::kRead)
        << name;
  }
}

TEST(NlScreen, ReadErrorOfTheChildStopsTheRoadWithItsCode) {
  const auto r = zun_driver::screen_nl_file(data_path("hs071.nl"), [](const NlBodies&) { return 4; });
  EXPECT_EQ(r.verdict, ScreenVerdict::kReadError);
  EXPECT_EQ(r.read_error, 4);
}

TEST(NlScreen, SoundFileWhoseReadFaultsIsRefused) {
  const auto r = zun_driver::screen_nl_file(data_path("hs022.nl"), crashing_read);
  EXPECT_EQ(r.verdict, ScreenVerdict::kCorrupt);
  EXPECT_EQ(r.fault.where, "first read");
  EXPECT_EQ(r.fault.what, "the reader was ended by signal 6");
}

TEST(NlScreen, ChildWithoutAVerdictLeavesTheReadToTheProgram) {
  const auto r =
      zun_driver::screen_nl_file(data_path("hs071.nl"), [](const NlBodies&) -> int { _exit(1); });
  EXPECT_EQ(r.verdict, ScreenVerdict::kRead);
}

TEST(NlScreen, CorruptFileIsRefusedWithoutAnyRead) {
  const auto r = zun_driver::screen_nl_file(data_path("truncated.nl"), crashing_read);
  EXPECT_EQ(r.verdict, ScreenVerdict::kCorrupt);
  EXPECT_EQ(r.fault.where, "line 21");
}

TEST(NlScreen, MissingFileIsLeftToTheAslAndOthersThanFilesAreNotRead) {
  const fs::path dir = fs::temp_directory_path() / ("nl_screen_" + std::to_string(getpid()));
  fs::create_directories(dir / "directory.nl");
  ASSERT_EQ(mkfifo((dir / "fifo.nl").c_str(), 0600), 0);
  EXPECT_EQ(zun_driver::screen_nl_file((dir / "nosuch.nl").string(), crashing_read).verdict,
            ScreenVerdict::kRead);
  for (const char* name : {"directory.nl", "fifo.nl"}) {
    EXPECT_EQ(zun_driver::screen_nl_file((dir / name).string(), crashing_read).verdict,
              ScreenVerdict::kNotRegular)
        << name;
  }
  fs::remove_all(dir);
}

}  // namespace
