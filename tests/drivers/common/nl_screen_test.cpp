// The screen before the ASL reads a file: the file check first, the first read in a child
// process only for a file that passed it, and nothing for a file that cannot be opened.
#include "drivers/common/nl_screen.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string data_path(const std::string& name) {
  return std::string(ZUN_TEST_DATA_DIR) + "/" + name;
}

// A read that ends the child process: any fault it causes shows that it ran.
int crashing_read() { return raise(SIGKILL); }

TEST(NlScreen, SoundFileWhoseReadSucceedsPasses) {
  EXPECT_FALSE(zun_driver::screen_nl_file(data_path("hs071.nl"), [] { return 0; }));
  EXPECT_FALSE(zun_driver::screen_nl_file(data_path("hs022.nl"), [] { return 0; }));
}

TEST(NlScreen, ReadErrorsAreLeftToTheCaller) {
  EXPECT_FALSE(zun_driver::screen_nl_file(data_path("hs071.nl"), [] { return 4; }));
}

TEST(NlScreen, SoundFileWhoseReadDiesIsRefused) {
  const auto fault = zun_driver::screen_nl_file(data_path("hs022.nl"), crashing_read);
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->where, "first read");
  EXPECT_EQ(fault->what, "the reader was ended by signal 9");
}

TEST(NlScreen, CorruptFileIsRefusedWithoutAnyRead) {
  const auto fault = zun_driver::screen_nl_file(data_path("truncated.nl"), crashing_read);
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->where, "line 21");
}

TEST(NlScreen, MissingFileIsLeftToTheAslWithoutAnyRead) {
  const fs::path missing =
      fs::temp_directory_path() / ("nosuch_" + std::to_string(getpid()) + ".nl");
  EXPECT_FALSE(zun_driver::screen_nl_file(missing.string(), crashing_read));
}

}  // namespace
