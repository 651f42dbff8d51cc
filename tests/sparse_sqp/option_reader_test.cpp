// The sparse option reader: keyword tables, abbreviations, values and messages of option
// lines, and the echo and LIST/NOLIST handling of the listing.
#include "library/sparse_sqp/option_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/sparse_sqp/option_keywords.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/option_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

using sqp_test::LocalStore;
using sqp_test::UnitCapture;
namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;

constexpr int kPrintUnit = 71;

TEST(SparseKeywordTables, SortedUniqueAndEveryActionNamesKnownKeywords) {
  for (auto table : {first_keywords(), second_keywords()}) {
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
    EXPECT_EQ(std::adjacent_find(table.begin(), table.end()), table.end());
  }
  EXPECT_EQ(first_keywords().size(), 37u);
  EXPECT_EQ(second_keywords().size(), 20u);
  for (const KeywordAction& a : keyword_actions()) {
    EXPECT_TRUE(std::binary_search(first_keywords().begin(), first_keywords().end(), a.first))
        << a.first;
    if (!a.second.empty()) {
      EXPECT_TRUE(std::binary_search(second_keywords().begin(), second_keywords().end(), a.second))
          << a.second;
    }
    EXPECT_GE(a.word, 0);
    EXPECT_LE(a.word, sparse_option::kOptionWordCount);
  }
}

struct IntegerWord {
  int word;
  int value;
};
struct RealWord {
  int word;
  double value;
};

struct LineCase {
  const char* line;
  std::vector<IntegerWord> ints;  // words expected to change (and their values)
  std::vector<RealWord> reals;
  int inform;
  const char* message;  // the one record written while listing, or "" for none
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class OptionLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(OptionLineTest, StoresTheValueOrReportsTheError) {
  const LineCase& c = GetParam();
  UnitCapture out(kPrintUnit);
  LocalStore before(kPrintUnit);
  LocalStore store(kPrintUnit);
  char key[kKeywordLength];
  std::string text(c.line);
  text.resize(kOptionLineLength, ' ');
  Logical first_defaults = kFalse;
  int inform = -1;
  read_option_line(kPrintUnit, text.data(), key, store.iw, sparse_option::kOptionWordCount,
                   store.rw, sparse_option::kOptionWordCount, true, first_defaults, inform);
  EXPECT_EQ(inform, c.inform);
  for (const IntegerWord& w : c.ints) {
    EXPECT_EQ(store.i(w.word), w.value) << "integer word " << w.word;
    before.i(w.word) = w.value;
  }
  for (const RealWord& w : c.reals) {
    EXPECT_DOUBLE_EQ(store.r(w.word), w.value) << "real word " << w.word;
    before.r(w.word) = w.value;
  }
  EXPECT_TRUE(std::equal(std::begin(store.iw), std::end(store.iw), std::begin(before.iw)))
      << "an integer word changed that should not";
  for (int k = 0; k < 550; ++k) {
    if (!(store.rw[k] == before.rw[k])) ADD_FAILURE() << "real word " << k + 1 << " changed";
  }
  const std::vector<std::string> lines = out.lines();
  if (std::string(c.message).empty()) {
    EXPECT_TRUE(lines.empty());
  } else {
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines,
    OptionLineTest,
    ::testing::Values(
        LineCase{"Major Iteration Limit = 50", {{iw::kMajorIterationLimit, 50}}, {}, 0, ""},
        LineCase{"MAJ ITER 50", {{iw::kMajorIterationLimit, 50}}, {}, 0, ""},
        LineCase{"maj iter 50", {{iw::kMajorIterationLimit, 50}}, {}, 0, ""},
        LineCase{"MA ITER 50", {}, {}, 5, " XXX  Keyword not recognized:         MA"},
        LineCase{"Iteration Limit 2.9", {{iw::kIterationLimit, 2}}, {}, 0, ""},
        LineCase{"Iteration Limit -2.9", {{iw::kIterationLimit, -2}}, {}, 0, ""},
        LineCase{"Iteration Limit 1e9", {{iw::kIterationLimit, -11111}}, {}, 0, ""},
        LineCase{"Iteration Limit 99999999", {{iw::kIterationLimit, 99999999}}, {}, 0, ""},
        LineCase{"Print Level", {{iw::kMajorPrintLevel, 0}}, {}, 0, ""},
        LineCase{"Print L 5", {}, {}, 5, " XXX  Ambiguous keyword:              L"},
        LineCase{"Hessian Memory Full", {}, {}, 5, " XXX  Second keyword not recognized:  MEMORY"},
        LineCase{"Hessian", {}, {}, 5, " XXX  Second keyword not recognized:"},
        LineCase{"Hessian Full Memory", {{iw::kHessianStorage, 2}}, {}, 0, ""},
        LineCase{"Hessian Limited Memory", {{iw::kHessianStorage, 1}}, {}, 0, ""},
        LineCase{"Hessian Updates 7", {{iw::kHessianUpdates, 7}}, {}, 0, ""},
        LineCase{"Major Updates 5", {}, {}, 0, ""},
        LineCase{"Major O 1e-6", {}, {}, 5, " XXX  Ambiguous keyword:              O"},
        LineCase{"Xyzzy 5", {}, {}, 5, " XXX  Keyword not recognized:         XYZZY"},
        LineCase{"LIS", {}, {}, 5, " XXX  Keyword not recognized:         LIST"},
        LineCase{"* any text 5", {}, {}, 0, ""},
        LineCase{"", {}, {}, 0, ""},
        LineCase{"  Begin", {}, {}, 0, ""},
        LineCase{"End", {}, {}, 0, ""},
        LineCase{"Superbasics Limit = 300",
                 {{iw::kSuperbasicsLimit, 300}, {iw::kSuperbasicsRequested, 300}},
                 {},
                 0,
                 ""},
        LineCase{
            "Major Feasibility Tolerance = 1.0D-6", {}, {{rw::kMajorFeasibilityTol, 1e-6}}, 0, ""},
        LineCase{
            "Minor feasibility tolerance 2.5d-7", {}, {{rw::kMinorFeasibilityTol, 2.5e-7}}, 0, ""},
        LineCase{"Feasibility Tolerance 1E-5", {}, {{rw::kMinorFeasibilityTol, 1e-5}}, 0, ""},
        LineCase{
            "Optimality Tolerance = 1.000000e-04", {}, {{rw::kMajorOptimalityTol, 1e-4}}, 0, ""},
        LineCase{"Function Precision = 1e-10", {}, {{rw::kFunctionPrecision, 1e-10}}, 0, ""},
        LineCase{"LU Singularity Tolerance 1d-10",
                 {},
                 {{rw::kLuAbsSingularityTol, 1e-10}, {rw::kLuRelSingularityTol, 1e-10}},
                 0,
                 ""},
        LineCase{"LU Density Tolerance 0.5", {}, {{rw::kLuDensityTol, 0.5}}, 0, ""},
        LineCase{"Feasible Point", {{iw::kObjectiveKind, 0}}, {}, 0, ""},
        LineCase{"Feasible Exit", {{iw::kFeasibleExit, 1}}, {}, 0, ""},
        LineCase{"Maximize", {{iw::kObjectiveKind, -1}}, {}, 0, ""},
        LineCase{"Nonderivative Linesearch", {{iw::kDerivativeLinesearch, 0}}, {}, 0, ""},
        LineCase{"Crash Option (2)", {{iw::kCrashOption, 2}}, {}, 0, ""},
        LineCase{"Scale Tolerance: 0.5", {}, {{rw::kScaleTol, 0.5}}, 0, ""},
        LineCase{"Infinite Bound Size 1e25", {}, {{rw::kInfiniteBoundSize, 1e25}}, 0, ""},
        LineCase{"Verify Level = -1", {{iw::kVerifyLevel, -1}}, {}, 0, ""},
        LineCase{"Monitoring File 9", {{iw::kMonitoringUnit, 9}}, {}, 0, ""},
        LineCase{"Stop Constraints Check At Column 4", {{iw::kStopConstraintCheck, 4}}, {}, 0, ""},
        LineCase{"Major Iteration Limit 1+2", {{iw::kMajorIterationLimit, 0}}, {}, 0, ""},
        LineCase{"Major Iteration Limit 1+2 30", {{iw::kMajorIterationLimit, 30}}, {}, 0, ""}));

TEST(OptionDefaults, FirstDefaultsClearsEveryWordAndLaterOnesOnlyTheOptions) {
  LocalStore store;
  EXPECT_EQ(store.i(iw::kCheckFrequency), 60);
  EXPECT_EQ(store.i(iw::kHessianStorage), kUnsetInteger);
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 1000);
  EXPECT_EQ(store.i(300), kUnsetInteger);  // cleared by the first Defaults request
  EXPECT_EQ(store.r(rw::kInfiniteBoundSize), 1e20);
  EXPECT_EQ(store.r(rw::kNotSupplied), -111111.0);
  const double eps = store.r(rw::kEps);
  EXPECT_EQ(eps, std::ldexp(1.0, -53));
  EXPECT_DOUBLE_EQ(store.r(rw::kForwardDifferenceInterval), std::sqrt(std::pow(eps, 0.8)));
  EXPECT_DOUBLE_EQ(store.r(rw::kCentralDifferenceInterval), std::cbrt(std::pow(eps, 0.8)));
  EXPECT_DOUBLE_EQ(store.r(rw::kConditionLimit), 1.0 / (5000.0 * eps));
  EXPECT_DOUBLE_EQ(store.r(rw::kReserved61), 1e-4);  // eps^0.33 is below 1e-4

  int inform = 0;
  store.i(300) = 7;
  for (const char* line : {"Major Iteration Limit 50", "Defaults", "Minor Iteration Limit 9"}) {
    process_option_line(line, static_cast<int>(std::string(line).size()), false, store.lw, store.iw,
                        store.rw, "SPKEYF", inform);
  }
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 1000);
  EXPECT_EQ(store.i(iw::kMinorIterationLimit), 9);
  EXPECT_EQ(store.i(300), 7);
}

std::vector<std::string> run_lines(const std::vector<std::string>& lines, bool listing) {
  UnitCapture out(kPrintUnit);
  LocalStore store(kPrintUnit);
  for (const std::string& line : lines) {
    int inform = 0;
    process_option_line(line.data(), static_cast<int>(line.size()), listing, store.lw, store.iw,
                        store.rw, "SPKEYF", inform);
  }
  return out.lines();
}

std::string echo(const std::string& text) { return "      " + text; }

TEST(OptionListingEcho, FirstLineHeaderThenEchoesAndListSwitches) {
  const std::vector<std::string> got = run_lines({"Major Iteration Limit = 50", "Bogus 1", "NOLIST",
                                                  "Print Level 5", "LIST", "Minor Print Level 1"},
                                                 true);
  const std::vector<std::string> want = {" ",
                                         " ",
                                         " Calls to SPKEYF",
                                         " ---------------",
                                         " ",
                                         echo("Major Iteration Limit = 50"),
                                         echo("Bogus 1"),
                                         " XXX  Keyword not recognized:         BOGUS",
                                         echo("NOLIST"),
                                         echo("Minor Print Level 1")};
  EXPECT_EQ(got, want);
}

TEST(OptionListingEcho, FirstLineMessagesComeBeforeItsEcho) {
  const std::vector<std::string> got = run_lines({"Bogus"}, true);
  const std::vector<std::string> want = {" XXX  Keyword not recognized:         BOGUS",
                                         " ",
                                         " ",
                                         " Calls to SPKEYF",
                                         " ---------------",
                                         " ",
                                         echo("Bogus")};
  EXPECT_EQ(got, want);
}

TEST(OptionListingEcho, ListingFlagFalseIsSilentUntilList) {
  EXPECT_TRUE(run_lines({"Print level = 10", "Bogus 1"}, false).empty());
  const std::vector<std::string> got = run_lines({"Print level = 10", "List", "Bogus 1"}, false);
  const std::vector<std::string> want = {echo("Bogus 1"),
                                         " XXX  Keyword not recognized:         BOGUS"};
  EXPECT_EQ(got, want);
}

TEST(OptionListingEcho, FirstLineNolistSuppressesItsHeader) {
  EXPECT_TRUE(run_lines({"Nolist", "Print level 3"}, true).empty());
}

TEST(OptionListingEcho, TextIsCutAtSeventyTwoCharacters) {
  const std::string long_line = "Major Iteration Limit" + std::string(50, ' ') + "987";
  ASSERT_EQ(long_line.size(), 74u);
  UnitCapture out(kPrintUnit);
  LocalStore store(kPrintUnit);
  int inform = 0;
  process_option_line(long_line.data(), 74, false, store.lw, store.iw, store.rw, "SPKEYF", inform);
  EXPECT_EQ(store.i(iw::kMajorIterationLimit), 9);
}

}  // namespace
}  // namespace zun
