// The check of .nl files before the ASL reads them: every bundled problem passes, and each kind
// of damage is refused with the line and the fault it names.
#include "drivers/common/nl_file_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "drivers/common/nl_header.h"

namespace {

namespace fs = std::filesystem;
using zun_driver::NlFileStatus;

std::string data_path(const std::string& name) {
  return std::string(ZUN_TEST_DATA_DIR) + "/" + name;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class NlFileCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("nl_check_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  // The file `text` is refused with a fault at `where` whose text holds `what`.
  void expect_refused(const std::string& text, const char* where, const char* what) {
    const auto check = zun_driver::check_nl_file(write("damaged.nl", text));
    ASSERT_EQ(check.status, NlFileStatus::kCorrupt);
    EXPECT_EQ(check.fault.where, where);
    EXPECT_NE(check.fault.what.find(what), std::string::npos) << check.fault.what;
  }

  fs::path dir_;
};

TEST(NlFileName, AddsTheSuffixUnlessTheStubHasIt) {
  EXPECT_EQ(zun_driver::nl_file_name("dir/hs071"), "dir/hs071.nl");
  EXPECT_EQ(zun_driver::nl_file_name("dir/hs071.nl"), "dir/hs071.nl");
  EXPECT_EQ(zun_driver::nl_file_name(".nl"), ".nl.nl");
}

class BundledProblem : public ::testing::TestWithParam<const char*> {};

TEST_P(BundledProblem, PassesTheCheck) {
  const auto check = zun_driver::check_nl_file(data_path(GetParam()));
  EXPECT_EQ(check.status, NlFileStatus::kSound) << check.fault.where << ": " << check.fault.what;
}

INSTANTIATE_TEST_SUITE_P(Files,
                         BundledProblem,
                         ::testing::Values("bratu5.nl",
                                           "ch3.nl",
                                           "discrete.nl",
                                           "hs022.nl",
                                           "hs071.nl",
                                           "hs100asl.nl",
                                           "hs118.nl",
                                           "inconsistent_bounds.nl",
                                           "linear_tail.nl",
                                           "log_error.nl",
                                           "maximize.nl",
                                           "no_objective.nl",
                                           "nonlinear_integer.nl",
                                           "two_objectives.nl",
                                           "unconstrained.nl",
                                           "user_function.nl"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST_F(NlFileCheck, BundledCorruptFilesAreRefused) {
  for (const char* name :
       {"corrupt_nonlinear_count.nl", "corrupt_variable_number.nl", "truncated.nl"}) {
    EXPECT_EQ(zun_driver::check_nl_file(data_path(name)).status, NlFileStatus::kCorrupt) << name;
  }
}

// What the walk notes of the bodies, in the text file and in its binary form.
TEST_F(NlFileCheck, WalkNotesBodiesDeclaredLinearAndCallsOfImportedFunctions) {
  const auto linear = zun_driver::check_nl_file(data_path("linear_declared_exp.nl"));
  ASSERT_EQ(linear.status, NlFileStatus::kSound);
  EXPECT_EQ(linear.bodies.widened_rows, 2);  // row 2 of 2, declared linear, holds exp(t)
  EXPECT_EQ(linear.bodies.widened_objectives, std::vector<bool>{false});
  const auto plain = zun_driver::check_nl_file(data_path("hs071.nl"));
  EXPECT_EQ(plain.bodies.widened_rows, 0);
  EXPECT_EQ(plain.bodies.row_calls_function, std::vector<bool>(2, false));
  const auto calls = zun_driver::check_nl_file(data_path("user_function.nl"));
  EXPECT_EQ(calls.bodies.objective_calls_function, std::vector<bool>{true});
  const auto binary = zun_driver::check_nl_file(data_path("hs022.nl"));
  ASSERT_EQ(binary.status, NlFileStatus::kSound);
  EXPECT_TRUE(binary.binary);
  EXPECT_EQ(binary.bodies.widened_rows, 0);
}

TEST_F(NlFileCheck, CarriageReturnsBeforeLineEndsAreAccepted) {
  std::string text;
  for (const std::string& line : lines_of(read_file(data_path("hs100asl.nl")))) {
    text += line + "\r\n";
  }
  const auto check = zun_driver::check_nl_file(write("crlf.nl", text));
  EXPECT_EQ(check.status, NlFileStatus::kSound) << check.fault.where << ": " << check.fault.what;
}

TEST_F(NlFileCheck, MissingFileIsLeftToTheReader) {
  EXPECT_EQ(zun_driver::check_nl_file((dir_ / "nosuch.nl").string()).status,
            NlFileStatus::kCannotOpen);
}

// Regression: a stub whose .nl was a device or a pipe made the reader wait for ever.
TEST_F(NlFileCheck, OnlyRegularFilesAreRead) {
  fs::create_directory(dir_ / "directory.nl");
  const std::string fifo = (dir_ / "fifo.nl").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir_ / "device.nl");
  for (const char* name : {"directory.nl", "fifo.nl", "device.nl"}) {
    const auto check = zun_driver::check_nl_file((dir_ / name).string());
    EXPECT_EQ(check.status, NlFileStatus::kNotRegular) << name;
    EXPECT_EQ(check.fault.what, "not a regular file") << name;
  }
  fs::create_symlink(data_path("hs071.nl"), dir_ / "link.nl");
  EXPECT_EQ(zun_driver::check_nl_file((dir_ / "link.nl").string()).status, NlFileStatus::kSound);
}

// One damaged line of a bundled file and the fault the check must name.
struct Damage {
  const char* file;
  int line;           // 1-based line to replace
  const char* text;   // its replacement (may hold several lines); nullptr cuts the file there
  const char* where;  // expected place
  const char* what;   // expected fragment of the fault
};

std::ostream& operator<<(std::ostream& out, const Damage& d) {
  return out << d.file << " line " << d.line << " -> " << (d.text ? d.text : "(end)");
}

class DamagedFile : public NlFileCheck, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedFile, IsRefusedAtItsFirstFault) {
  const Damage& d = GetParam();
  const std::vector<std::string> lines = lines_of(read_file(data_path(d.file)));
  std::string text;
  for (int i = 1; i <= static_cast<int>(lines.size()); ++i) {
    if (i == d.line) {
      if (d.text == nullptr) break;
      text += std::string(d.text) + "\n";
    } else {
      text += lines[static_cast<std::size_t>(i - 1)] + "\n";
    }
  }
  expect_refused(text, d.where, d.what);
}

INSTANTIATE_TEST_SUITE_P(
    Header,
    DamagedFile,
    ::testing::Values(
        Damage{"hs071.nl", 1, "x3 0 1 0", "line 1", "does not start with 'g'"},
        Damage{"hs071.nl", 1, "g2 0 1", "line 1", "the option count 2 is out of range (0, or 3"},
        Damage{"hs071.nl", 1, "b10 0 1 0 0 0 0 0 0 0 0", "line 1", "the option count 10 is out"},
        Damage{"hs071.nl", 1, "g-1 0", "line 1", "the option count -1 is out of range"},
        Damage{"hs071.nl", 2, " -1 2 1 1 0", "line 2", "number of variables -1 is out of range"},
        Damage{"hs071.nl", 2, " 2147483648 2 1 1 0", "line 2", "variables 2147483648 is out"},
        Damage{"hs071.nl", 2, " 4 2147483647 1 1 0", "line 2", "constraints 2147483647 is out"},
        Damage{"hs071.nl", 2, " 4 2 99999999999999999999 1 0", "line 2", "is not an integer"},
        Damage{"hs071.nl", 2, " 4 2 1 1", "line 2", "number of equations is missing"},
        Damage{"hs071.nl", 3, " 3 1", "line 3", "more nonlinear constraints than constraints"},
        Damage{"hs071.nl", 3, " 2 2", "line 3", "more nonlinear objectives than objectives"},
        Damage{"hs071.nl", 5, " 4 5 4", "line 5", "more nonlinear variables in objectives"},
        Damage{"hs071.nl", 6, " 0 -2 0 1", "line 6", "number of functions -2"},
        Damage{"hs071.nl", 6, " 0 0 3 1", "line 6", "arithmetic code 3 is not a binary format"},
        Damage{"hs071.nl", 6, " 0 0 -1 1", "line 6", "arithmetic code -1 is not a binary"},
        Damage{"hs071.nl", 4, " 0 0\r# network", "line 4", "a carriage return inside the line"},
        Damage{"hs071.nl", 7, " 1 1 1 1 1", "line 7", "more discrete variables than variables"},
        Damage{"hs071.nl", 8, " 8", "line 8", "number of gradient nonzeros is missing"},
        Damage{"hs071.nl", 10, " 0 -1 0 0 0", "line 10", "common expressions (c) -1"},
        Damage{"hs071.nl", 10, " 0 0 0 0 2147483647", "line 10", "common expressions (o1)"},
        Damage{"hs071.nl", 6, nullptr, "line 6", "ends inside the ten header lines"},
        Damage{"hs022.nl", 2, " 2 2 1 0 -1", "line 2", "number of equations -1"},
        Damage{"hs022.nl", 9, nullptr, "line 9", "ends inside the ten header lines"}));

INSTANTIATE_TEST_SUITE_P(
    Segments,
    DamagedFile,
    ::testing::Values(
        Damage{"hs071.nl", 18, "v4", "line 18", "variable number 4 is out of range (0 to 3)"},
        Damage{"hs071.nl", 19, "C2", "line 19", "constraint number 2 is out of range"},
        Damage{"hs071.nl", 19, "C0", "line 19", "constraint number 0 has two bodies"},
        Damage{"hs071.nl", 19, "Q1", "line 19", "\"Q1\" is not an expression line"},
        Damage{"hs071.nl", 24, "n2x", "line 24", "\"2x\" is not a number"},
        Damage{"hs071.nl", 21, "-4", "line 21", "operand count -4 is out of range"},
        Damage{"hs071.nl", 34, "O1 0", "line 34", "objective number 1 is out of range"},
        Damage{"hs071.nl", 45, "6 25", "line 45", "bound type 6 is out of range"},
        Damage{"hs071.nl", 48, "5 1 1", "line 48", "bound type 5 is out of range"},
        Damage{"hs071.nl", 49, nullptr, "line 48", "the file ends inside a 'b' segment"},
        Damage{"hs071.nl", 52, "k2", "line 52", "the 'k' segment has 2 entries, not 3"},
        Damage{"hs071.nl", 54, "1", "line 54", "column end 1 is out of range (2 to 8)"},
        Damage{"hs071.nl", 53, "1", "line 70", "column 0 has 2 Jacobian terms, the 'k' segment"},
        Damage{"hs071.nl", 8, " 7 4", "line 61", "more 'J' terms than the header's 7"},
        Damage{"hs071.nl", 56, "J0 5", "line 56", "term count 5 is out of range"},
        Damage{"hs071.nl", 56, "J2 4", "line 56", "constraint number 2 is out of range"},
        Damage{"hs071.nl", 61, "J0 4", "line 61", "a second 'J' segment for row 0"},
        Damage{"hs071.nl", 57, "-2 0", "line 57", "variable number -2 is out of range"},
        Damage{"hs071.nl", 57, "2147483647 0", "line 57", "variable number 2147483647"},
        Damage{"hs071.nl", 57, "-2147483648 0", "line 57", "variable number -2147483648"},
        Damage{"hs071.nl", 58, "0 0", "line 58", "variable 0 appears twice in one row"},
        Damage{"hs071.nl", 70, "4 0", "line 70", "variable number 4 is out of range"},
        Damage{"hs071.nl", 8, " 8 3", "line 66", "more 'G' terms than the header's 3"},
        Damage{"hs071.nl", 52, "J0 1\n0 0", "line 52", "a 'J' segment before the 'k' segment"},
        Damage{"hs071.nl", 61, nullptr, "line 60", "the 'J' segments hold 4 terms, the header"},
        Damage{"hs071.nl", 12, "", "line 12", "an empty line"},
        Damage{"ch3.nl", 11, "V4 1 0", "line 14", "defined variable 4 is defined twice"},
        Damage{"ch3.nl", 11, "V15 1 0", "line 11", "defined variable number 15 is out of range"},
        Damage{"ch3.nl", 11, "V3 4 0", "line 11", "linear term count 4 is out of range"},
        Damage{"ch3.nl", 44, "V8 0 1", "line 44", "user of a shared defined variable 1"},
        Damage{"ch3.nl", 112, "V12 1 3", "line 112", "objective of a defined variable 3"},
        Damage{"ch3.nl", 112, "V12 1 65536", "line 112", "objective of a defined variable"},
        Damage{"ch3.nl", 10, " 9 0 0 0 4", "line 195", "defined variable 15 is announced but never"},
        Damage{"ch3.nl", 10, " 9 0 0 3 0", "line 112", "constraint of a defined variable 4"},
        Damage{"hs071.nl", 10, " 1 0 0 0 0", "line 70", "defined variable 4 is announced but"},
        Damage{"hs071.nl", 5, " 4 3 3", "line 38",
               "variable 3 in the body of objective 0 is beyond the header's 3 nonlinear "
               "variables in objectives"},
        Damage{"ch3.nl", 5, " 2 3 2", "line 91",
               "variable 2 (through defined variable 8) in the body of constraint 0 is beyond the "
               "header's 2 nonlinear variables in constraints"}));

// One damaged field of the binary hs022.nl (its body starts at byte 481) and the fault the
// check must name.
struct BinaryDamage {
  std::size_t at;      // byte to overwrite
  std::string bytes;   // what is written there; empty cuts the file there
  const char* where;   // expected place
  const char* what;    // expected fragment of the fault
};

std::string int32_bytes(std::int32_t value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

class DamagedBinaryFile : public NlFileCheck, public ::testing::WithParamInterface<BinaryDamage> {};

// Regression: out-of-range variable numbers of 'J' and 'G' entries made the ASL's binary reader
// write outside its arrays and the program abort without a message.
TEST_P(DamagedBinaryFile, IsRefusedAtItsFirstFault) {
  const BinaryDamage& d = GetParam();
  std::string text = read_file(data_path("hs022.nl"));
  ASSERT_EQ(zun_driver::check_nl_file(data_path("hs022.nl")).status, NlFileStatus::kSound);
  text = d.bytes.empty() ? text.substr(0, d.at) : text.replace(d.at, d.bytes.size(), d.bytes);
  expect_refused(text, d.where, d.what);
}

INSTANTIATE_TEST_SUITE_P(
    Segments,
    DamagedBinaryFile,
    ::testing::Values(
        BinaryDamage{482, int32_bytes(2), "byte 482", "constraint number 2 is out of range"},
        BinaryDamage{505, int32_bytes(0), "byte 505", "constraint number 0 has two bodies"},
        BinaryDamage{481, "Q", "byte 481", "'Q' does not start a segment"},
        BinaryDamage{486, "q", "byte 486", "'q' does not start an expression item"},
        BinaryDamage{486, "\n", "byte 486", "character 10 does not start an expression item"},
        BinaryDamage{487, int32_bytes(7), "byte 487", "operator number 7 is not one the reader"},
        BinaryDamage{487, int32_bytes(76), "byte 487", "operator number 76 is not one"},
        BinaryDamage{487, int32_bytes(54), "byte 491", "operand count 1391 is out of range"},
        BinaryDamage{497, int32_bytes(2), "byte 497", "variable number 2 is out of range (0 to 1)"},
        BinaryDamage{569, int32_bytes(3), "byte 569", "entry count 3 is out of range"},
        BinaryDamage{598, "9", "byte 598", "bound type 9 is out of range"},
        BinaryDamage{620, int32_bytes(2), "byte 620", "the 'k' segment has 2 entries, not 1"},
        BinaryDamage{629, int32_bytes(1), "byte 662", "a second 'J' segment for row 1"},
        BinaryDamage{633, int32_bytes(3), "byte 633", "term count 3 is out of range"},
        BinaryDamage{637, int32_bytes(-2), "byte 637", "variable number -2 is out of range"},
        BinaryDamage{703, int32_bytes(74), "byte 703", "variable number 74 is out of range"},
        BinaryDamage{700, "", "byte 699", "the file ends inside a 'G' segment"}));

TEST_F(NlFileCheck, BinaryFileOfAnUnknownArithmeticIsRefused) {
  const auto check = zun_driver::check_nl_file(data_path("foreign_arithmetic.nl"));
  ASSERT_EQ(check.status, NlFileStatus::kCorrupt);
  EXPECT_EQ(check.fault.where, "line 6");
  EXPECT_EQ(check.fault.what, "the arithmetic code 3 is not a binary format this reader knows");
}

}  // namespace
