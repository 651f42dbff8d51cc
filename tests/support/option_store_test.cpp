// Option store set-up under an accepted routine code, and the first-call flag.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/support/option_store.h"
#include "library/support/output.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

using testing::UnitCapture;

struct StoreResult {
  int ifail;
  std::vector<int> true_words;  // 1-based logical words set true
  std::string msg;              // up to the first zero byte
  std::vector<std::string> printed;
};

StoreResult init_store(const std::string& routine, OptionStoreSizes sizes, int ifail_in = 1) {
  std::vector<char> text(static_cast<std::size_t>(std::max(sizes.text, 1)) * 80, ' ');
  std::vector<Logical> logical(static_cast<std::size_t>(std::max(sizes.logical, 1)), kFalse);
  std::vector<int> integer(static_cast<std::size_t>(std::max(sizes.integer, 1)), 7);
  std::vector<double> real(static_cast<std::size_t>(std::max(sizes.real, 1)), 7.0);
  char msg[kDiagnosticLength];
  std::memset(msg, 'x', sizeof msg);

  UnitCapture cap(22);
  int saved = 0, unit = 22;
  error_unit(0, saved);
  error_unit(1, unit);
  int ifail = ifail_in;
  init_option_store("CALLER", routine.data(), text.data(), sizes.text, logical.data(),
                    sizes.logical, integer.data(), sizes.integer, real.data(), sizes.real, msg,
                    ifail, 6, static_cast<int>(routine.size()), 80, kDiagnosticLength);
  error_unit(1, saved);

  StoreResult r{ifail, {}, std::string(msg, strnlen(msg, sizeof msg)), cap.lines()};
  for (std::size_t i = 0; i < logical.size(); ++i) {
    if (logical[i] != kFalse) {
      EXPECT_EQ(logical[i], kTrue);
      r.true_words.push_back(static_cast<int>(i) + 1);
    }
  }
  EXPECT_EQ(msg[kDiagnosticLength - 1], '\0');
  for (int v : integer) EXPECT_EQ(v, 7);  // integer and real words are not touched
  for (double v : real) EXPECT_EQ(v, 7.0);
  return r;
}

struct AcceptCase {
  std::string routine;
  OptionStoreSizes sizes;
  std::vector<int> words;
};

class AcceptedRoutines : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptedRoutines, SetTheirLogicalWords) {
  const AcceptCase c = GetParam();
  const StoreResult r = init_store(c.routine, c.sizes);
  EXPECT_EQ(r.ifail, 0);
  EXPECT_EQ(r.true_words, c.words);
  EXPECT_EQ(r.msg, "");
  EXPECT_TRUE(r.printed.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    AcceptedRoutines,
    ::testing::Values(AcceptCase{"SPNLPF", kSparseStoreSizes, {1, 2, 11, 16}},
                      AcceptCase{"spnlpf", kSparseStoreSizes, {1, 2, 11, 16}},
                      AcceptCase{"DNNLPF", kDenseStoreSizes, {44, 53, 60}},
                      AcceptCase{"DNDIRF", {4, 120, 610, 475}, {44, 53, 60}},
                      AcceptCase{"TOLNUF", {1, 20, 380, 285}, {1, 3, 11, 16}},
                      AcceptCase{"TOLVAF", kDenseStoreSizes, {40, 51, 62}},
                      AcceptCase{"TOLRAF", kDenseStoreSizes, {45, 55, 61}},
                      AcceptCase{"TOLBEF", kDenseStoreSizes, {}}));

TEST(OptionStore, UnknownRoutineIsErrorOne) {
  const StoreResult r = init_store("xyzabc", kSparseStoreSizes, -1);
  EXPECT_EQ(r.ifail, 1);
  EXPECT_TRUE(r.true_words.empty());
  EXPECT_EQ(r.msg, "CALLER     1 99999     1 XYZABC");
  ASSERT_EQ(r.printed.size(), 3u);
  EXPECT_EQ(r.printed[0], " Invalid routine name: XYZABC");
  EXPECT_EQ(r.printed[1],
            " ** ABNORMAL EXIT from ZUN Library routine CALLER: IFAIL =     1");
}

TEST(OptionStore, LengthsTooSmallListAllFour) {
  const StoreResult r = init_store("DNNLPF", {4, 120, 610, 475}, -1);
  EXPECT_EQ(r.ifail, 2);
  EXPECT_TRUE(r.true_words.empty());
  EXPECT_EQ(r.msg, "CALLER     2 99998     3      4    120    610");
  ASSERT_EQ(r.printed.size(), 5u);
  EXPECT_EQ(r.printed[0], " One or more of the workspace array lengths is too small");
  EXPECT_EQ(r.printed[1],
            " Supplied values are: LCWSAV =      4 LLWSAV =    120 LIWSAV =    610");
  EXPECT_EQ(r.printed[2], " LRWSAV =    475");
}

TEST(OptionStore, RealWordsAloneTooShortAreRefused) {
  const StoreResult r = init_store("SPNLPF", {1, 20, 550, 549}, -1);
  EXPECT_EQ(r.ifail, 2);
  EXPECT_TRUE(r.true_words.empty());
  EXPECT_EQ(r.msg, "CALLER     2 99998     3      1     20    550");
  ASSERT_GE(r.printed.size(), 3u);
  EXPECT_EQ(r.printed[2], " LRWSAV =    549");
}

TEST(OptionStore, SilentModePrintsNothing) {
  const StoreResult r = init_store("SPNLPF", {1, 20, 549, 550}, 1);
  EXPECT_EQ(r.ifail, 2);
  EXPECT_TRUE(r.printed.empty());
}

TEST(OptionStore, StaticStoresHaveTheProgramsSizes) {
  EXPECT_EQ(sizeof(sparse_option_store().integer) / sizeof(int), 550u);
  EXPECT_EQ(sizeof(sparse_option_store().real) / sizeof(double), 550u);
  EXPECT_EQ(sizeof(sparse_option_store().logical) / sizeof(Logical), 20u);
  EXPECT_EQ(sizeof(dense_option_store().text) / kOptionTextLength, 5u);
  EXPECT_EQ(sizeof(dense_option_store().integer) / sizeof(int), 610u);
  EXPECT_EQ(sizeof(dense_option_store().real) / sizeof(double), 475u);
}

TEST(FirstCallFlag, ExactlyOneCallerGetsTrue) {
  EXPECT_TRUE(take_first_call_flag());
  EXPECT_FALSE(take_first_call_flag());
  EXPECT_FALSE(take_first_call_flag());
}

}  // namespace
}  // namespace zun
