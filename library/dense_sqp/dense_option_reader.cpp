// The dense option reader and the backups of the dense option sets.
#include "library/dense_sqp/dense_option_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <string>

#include "library/dense_sqp/dense_store_words.h"
#include "library/platform/format.h"
#include "library/support/option_listing.h"
#include "library/support/option_words.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace dw = dense_words;
namespace lw = dense_words::logical_word;
namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;

constexpr int kMaxWords = 10;
constexpr int kMessageTextLength = 38;
constexpr int kRecordLength = 80;
constexpr int kParmFieldWidth = 10;
constexpr double kInfiniteBoundFactor = 0.99999;

constexpr std::array<std::string_view, 40> kFirstKeywords = {
    "BEGIN",       "CENTRAL",     "COLD",         "CONDITION",  "CONSTRAINTS",
    "CRASH",       "DEFAULTS",    "DERIVATIVE",   "DIFFERENCE", "END",
    "FEASIBILITY", "FUNCTION",    "HESSIAN",      "INFINITE",   "IPRMLS",
    "ITERATIONS",  "ITERS:ITERATIONS", "ITNS :ITERATIONS", "LINE", "LINEAR",
    "LINESEARCH:LINE", "LIST",    "LOWER",        "MAJOR",      "MINOR",
    "MONITORING",  "NOLIST",      "NONLINEAR",    "OPTIMALITY", "PRINT",
    "PROBLEM",     "ROW",         "RPRMLS",       "START",      "STEP",
    "STOP",        "UPPER",       "VARIABLES",    "VERIFY",     "WARM"};

constexpr std::array<std::string_view, 19> kSecondKeywords = {
    "BOUND",      "CONSTRAINTS", "FEASIBILITY",      "GRADIENTS",
    "ITERATIONS", "ITERS:ITERATIONS", "ITNS :ITERATIONS", "JACOBIAN",
    "LEVEL",      "NO",          "NO.      :NUMBER", "NUMBER",
    "OBJECTIVE",  "PRINT",       "SEARCH",           "STEP",
    "TOLERANCE",  "VARIABLES",   "YES"};

enum class Action {
  kInteger,         // integer word := the line's value, truncated
  kReal,            // real word := the line's value
  kFeasibility,     // real words 98 and 295 := the value
  kInfiniteBound,   // real word := value x 0.99999
  kConstant,        // integer word := constant
  kDefaults,        // every working word unset
  kIprmls,          // integer word 396 + k := third word
  kRprmls,          // real word 289 + k := third word
  kNothing,         // accepted, no effect
};

// One keyword pair.  An empty second keyword matches any second word; rows are tried in
// order, so a pair with a named second keyword comes before its catch-all row.
struct DenseKeyword {
  std::string_view first;
  std::string_view second;
  Action action;
  int word = 0;
  int constant = 0;
};

constexpr DenseKeyword kActions[] = {
    {"CENTRAL", "", Action::kReal, rw::kCentralInterval},
    {"COLD", "", Action::kConstant, iw::kStart, 0},
    {"WARM", "", Action::kConstant, iw::kStart, 1},
    {"CONDITION", "", Action::kReal, rw::kConditionLimit},
    {"CONSTRAINTS", "", Action::kInteger, iw::kLinearConstraintsOption},
    {"CRASH", "", Action::kReal, rw::kCrashTolerance},
    {"DEFAULTS", "", Action::kDefaults},
    {"DERIVATIVE", "", Action::kInteger, iw::kDerivativeLevel},
    {"DIFFERENCE", "", Action::kReal, rw::kDifferenceInterval},
    {"FEASIBILITY", "", Action::kFeasibility},
    {"FUNCTION", "", Action::kReal, rw::kFunctionPrecision},
    {"HESSIAN", "YES", Action::kConstant, iw::kHessianOutput, 1},
    {"HESSIAN", "", Action::kConstant, iw::kHessianOutput, 0},
    {"INFINITE", "BOUND", Action::kInfiniteBound, rw::kInfiniteBound},
    {"INFINITE", "STEP", Action::kReal, rw::kInfiniteStep},
    {"IPRMLS", "", Action::kIprmls},
    {"ITERATIONS", "", Action::kInteger, iw::kMajorIterationLimit},
    {"LINE", "", Action::kReal, rw::kLineSearchTolerance},
    {"LINEAR", "CONSTRAINTS", Action::kInteger, iw::kLinearConstraintsOption},
    {"LINEAR", "FEASIBILITY", Action::kReal, rw::kLinearFeasibility},
    {"LINEAR", "SEARCH", Action::kReal, rw::kLineSearchTolerance},
    {"LOWER", "", Action::kReal, rw::kLowerBoundOption},
    {"UPPER", "", Action::kReal, rw::kUpperBoundOption},
    {"MAJOR", "ITERATIONS", Action::kInteger, iw::kMajorIterationLimit},
    {"MAJOR", "PRINT", Action::kInteger, iw::kMajorPrintLevel},
    {"MINOR", "ITERATIONS", Action::kInteger, iw::kMinorLimit},
    {"MINOR", "PRINT", Action::kInteger, iw::kMinorPrintLevel},
    {"MONITORING", "", Action::kInteger, iw::kMonitoringFileOption},
    {"NONLINEAR", "CONSTRAINTS", Action::kInteger, iw::kNonlinearConstraints},
    {"NONLINEAR", "FEASIBILITY", Action::kReal, rw::kNonlinearFeasibility},
    {"NONLINEAR", "JACOBIAN", Action::kInteger, iw::kNonlinearJacobianVars},
    {"NONLINEAR", "OBJECTIVE", Action::kInteger, iw::kNonlinearObjectiveVars},
    {"NONLINEAR", "VARIABLES", Action::kInteger, iw::kNonlinearVars},
    {"OPTIMALITY", "", Action::kReal, rw::kOptimalityTolerance},
    {"PRINT", "", Action::kInteger, iw::kMajorPrintLevel},
    {"PROBLEM", "NUMBER", Action::kInteger, iw::kProblemNumber},
    {"PROBLEM", "", Action::kNothing},
    {"ROW", "TOLERANCE", Action::kReal, rw::kNonlinearFeasibility},
    {"RPRMLS", "", Action::kRprmls},
    {"START", "OBJECTIVE", Action::kInteger, iw::kStartObjectiveCheck},
    {"START", "CONSTRAINTS", Action::kInteger, iw::kStartConstraintCheck},
    {"STOP", "OBJECTIVE", Action::kInteger, iw::kStopObjectiveCheck},
    {"STOP", "CONSTRAINTS", Action::kInteger, iw::kStopConstraintCheck},
    {"STEP", "", Action::kReal, rw::kStepLimit},
    {"VARIABLES", "", Action::kInteger, iw::kVariablesOption},
    {"VERIFY", "LEVEL", Action::kInteger, iw::kVerifyLevel},
    {"VERIFY", "NO", Action::kConstant, iw::kVerifyLevel, -1},
    {"VERIFY", "YES", Action::kConstant, iw::kVerifyLevel, 3},
    {"VERIFY", "GRADIENTS", Action::kConstant, iw::kVerifyLevel, 3},
    {"VERIFY", "OBJECTIVE", Action::kConstant, iw::kVerifyLevel, 1},
    {"VERIFY", "CONSTRAINTS", Action::kConstant, iw::kVerifyLevel, 2},
    {"VERIFY", "", Action::kConstant, iw::kVerifyLevel, 3},
};

// A keyword table laid out as lookup_keyword reads it: entries of kKeywordLength characters.
template <std::size_t N>
std::string table_text(const std::array<std::string_view, N>& keywords) {
  std::string text;
  for (std::string_view k : keywords) text += platform::format_a(k, kKeywordLength);
  return text;
}

const std::string& first_table() {
  static const std::string text = table_text(kFirstKeywords);
  return text;
}
const std::string& second_table() {
  static const std::string text = table_text(kSecondKeywords);
  return text;
}

// The first token of a blank-padded word.
std::string first_token(const char* word) {
  std::string_view v(word, kKeywordLength);
  const std::size_t end = v.find_first_of(" :");
  return std::string(v.substr(0, end));
}

const char* word_at(const char* words, int k) { return words + (k - 1) * kKeywordLength; }

void report(DenseStoreView store, bool listing, std::string_view text, std::string_view word) {
  if (!listing) return;
  const std::string record =
      platform::Record(kRecordLength).a(text, kMessageTextLength).a(word, kKeywordLength).str();
  write_line(store.i(iw::kReaderAdvisoryUnit), record.data(), static_cast<int>(record.size()));
}

// The line's value as an integer option: truncated toward zero, clamped to 32 bits.
int integer_value(double value) {
  const double t = std::trunc(value);
  if (!(t > static_cast<double>(INT_MIN))) return INT_MIN;
  if (t >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(t);
}

void set_working_words_unset(DenseStoreView store) {
  for (dw::WordRange range : {dw::kNpIntegerWorking, dw::kQpIntegerWorking}) {
    for (int k = range.first; k <= range.last; ++k) store.i(k) = kUnsetInteger;
  }
  for (dw::WordRange range : {dw::kNpRealWorking, dw::kQpRealWorking}) {
    for (int k = range.first; k <= range.last; ++k) store.r(k) = kUnsetReal;
  }
}

// IPRMLS k v and RPRMLS k v: word base + k := v (the third word), k from the line's value.
bool apply_parameter(const DenseKeyword& row,
                     double value,
                     const char* words,
                     DenseStoreView store,
                     bool listing) {
  const int k = integer_value(value);
  if (k < 1 || k > dw::kOptionSetSize) {
    if (listing) {
      const std::string record = platform::Record(kRecordLength)
                                     .text(" XXX  The PARM subscript is out of range:")
                                     .i(k, kParmFieldWidth)
                                     .str();
      write_line(store.i(iw::kReaderAdvisoryUnit), record.data(),
                 static_cast<int>(record.size()));
    }
    return false;
  }
  const char* third = word_at(words, 3);
  const bool blank = std::all_of(third, third + kKeywordLength, [](char c) { return c == ' '; });
  if (row.action == Action::kIprmls) {
    int v = 0;
    if (!blank && !platform::read_integer(third, kKeywordLength, &v)) return false;
    store.i(iw::kIprmlsBase + k) = v;
  } else {
    double v = 0.0;
    if (!blank && !platform::read_real(third, kKeywordLength, &v)) return false;
    store.r(rw::kRprmlsBase + k) = v;
  }
  return true;
}

// Applies ROW; false when the line is in error.
bool apply(const DenseKeyword& row,
           double value,
           const char* words,
           DenseStoreView store,
           bool listing) {
  switch (row.action) {
    case Action::kInteger:
      store.i(row.word) = integer_value(value);
      break;
    case Action::kReal:
      store.r(row.word) = value;
      break;
    case Action::kFeasibility:
      store.r(rw::kNonlinearFeasibility) = value;
      store.r(rw::kLinearFeasibility) = value;
      break;
    case Action::kInfiniteBound:
      store.r(row.word) = value * kInfiniteBoundFactor;
      break;
    case Action::kConstant:
      store.i(row.word) = row.constant;
      break;
    case Action::kDefaults:
      set_working_words_unset(store);
      break;
    case Action::kIprmls:
    case Action::kRprmls:
      return apply_parameter(row, value, words, store, listing);
    case Action::kNothing:
      break;
  }
  return true;
}

bool is_silent_first_word(std::string_view w) {
  return w.empty() || w == "BEGIN" || w == "LIST" || w == "NOLIST" || w == "END";
}

}  // namespace

std::span<const std::string_view> dense_first_keywords() { return kFirstKeywords; }
std::span<const std::string_view> dense_second_keywords() { return kSecondKeywords; }

std::string read_dense_option_line(const char* line,
                                   bool listing,
                                   DenseStoreView store,
                                   int& inform) {
  inform = 0;
  advisory_unit(0, store.i(iw::kReaderAdvisoryUnit));
  if (is_true(store.l(lw::kResetOptions))) {
    set_working_words_unset(store);
    store.l(lw::kResetOptions) = kFalse;
  }
  const std::string_view text(line, kDenseOptionLineLength);
  const std::string_view kept = text.substr(0, text.find('*'));
  if (kept.find_first_not_of(' ') == std::string_view::npos) return "";

  char words[kMaxWords * kKeywordLength];
  int count = 0;
  split_words(kept.data(), kMaxWords, count, words, static_cast<int>(kept.size()),
              kKeywordLength);
  const std::string first_word = first_token(words);
  if (is_silent_first_word(first_word)) return first_word;

  const double value = option_line_value(words, count);
  char key[kKeywordLength];
  std::copy(words, words + kKeywordLength, key);
  int first_index = 0;
  lookup_keyword(static_cast<int>(kFirstKeywords.size()), first_table().data(), true, key,
                 first_index, kKeywordLength, kKeywordLength);
  if (first_index < 0) {
    inform = kDenseOptionLineError;
    report(store, listing, " XXX  Ambiguous keyword:", first_word);
    return first_word;
  }
  if (first_index == 0) {
    inform = kDenseOptionLineError;
    report(store, listing, " XXX  Keyword not recognized:", first_word);
    return first_word;
  }
  const std::string keyword = first_token(key);

  char second[kKeywordLength];
  std::copy(words + kKeywordLength, words + 2 * kKeywordLength, second);
  const std::string second_word = first_token(second);
  int second_index = 0;
  lookup_keyword(static_cast<int>(kSecondKeywords.size()), second_table().data(), true, second,
                 second_index, kKeywordLength, kKeywordLength);
  const std::string second_keyword = second_index > 0 ? first_token(second) : "";

  for (const DenseKeyword& row : kActions) {
    if (row.first != keyword) continue;
    if (!row.second.empty() && row.second != second_keyword) continue;
    if (!apply(row, value, words, store, listing)) inform = kDenseOptionLineError;
    return first_word;
  }
  // Only keywords that need a second keyword get here.
  if (second_index <= 0) {
    inform = kDenseOptionLineError;
    report(store, listing, " XXX  Second keyword not recognized:", second_word);
  }
  return first_word;
}

void process_dense_option_string(const char* line,
                                 int line_len,
                                 bool listing,
                                 std::string_view routine,
                                 DenseStoreView store,
                                 int& inform) {
  advisory_unit(0, store.i(iw::kReaderAdvisoryUnit));
  if (is_true(store.l(lw::kStoreSetUp))) {
    store.l(lw::kFirstLine) = kTrue;
    store.l(lw::kStoreSetUp) = kFalse;
  }
  const std::string text = platform::format_a(
      std::string_view(line, static_cast<std::size_t>(std::max(line_len, 0))),
      kDenseOptionLineLength);
  const bool first_line = is_true(store.l(lw::kFirstLine));
  if (first_line) store.l(lw::kFirstLine) = kFalse;
  std::string first_word;
  list_option_line(text, first_line, listing, store.l(lw::kListing),
                   store.i(iw::kReaderAdvisoryUnit), routine, [&](bool listed) {
                     first_word = read_dense_option_line(text.data(), listed, store, inform);
                     return std::string_view(first_word);
                   });
}

namespace {

void copy_words(DenseStoreView store, dw::WordRange from_i, dw::WordRange to_i,
                dw::WordRange from_r, dw::WordRange to_r) {
  for (int k = 0; k < dw::kOptionSetSize; ++k) {
    store.i(to_i.first + k) = store.i(from_i.first + k);
    store.r(to_r.first + k) = store.r(from_r.first + k);
  }
}

}  // namespace

void save_np_option_set(DenseStoreView store) {
  copy_words(store, dw::kNpIntegerWorking, dw::kNpIntegerBackup, dw::kNpRealWorking,
             dw::kNpRealBackup);
}
void save_qp_option_set(DenseStoreView store) {
  copy_words(store, dw::kQpIntegerWorking, dw::kQpIntegerBackup, dw::kQpRealWorking,
             dw::kQpRealBackup);
}
void restore_np_option_set(DenseStoreView store) {
  copy_words(store, dw::kNpIntegerBackup, dw::kNpIntegerWorking, dw::kNpRealBackup,
             dw::kNpRealWorking);
}
void restore_qp_option_set(DenseStoreView store) {
  copy_words(store, dw::kQpIntegerBackup, dw::kQpIntegerWorking, dw::kQpRealBackup,
             dw::kQpRealWorking);
}

}  // namespace zun
