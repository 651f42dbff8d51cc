// The option stores of the two programs and their set-up under an accepted routine code.
#include "library/support/option_store.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "library/platform/format.h"
#include "library/support/failure.h"
#include "library/support/option_words.h"

namespace zun {
namespace {

constexpr int kRoutineCodeLength = 6;
constexpr int kMessageRecordLength = 70;
constexpr int kUnknownRoutineMessage = 99999;
constexpr int kLengthsTooSmallMessage = 99998;

enum StoreError { kStoreOk = 0, kUnknownRoutine = 1, kLengthsTooSmall = 2 };

// A routine that may own a store, its minimum lengths and the logical words it sets true.
struct AcceptedRoutine {
  const char* code;
  OptionStoreSizes minimum;
  std::array<int, 4> logical_words;  // 1-based; 0 ends the list
};

constexpr AcceptedRoutine kAcceptedRoutines[] = {
    {"TOLVAF", {1, 120, 610, 475}, {40, 51, 62, 0}},
    {"TOLMEF", {1, 120, 610, 475}, {42, 52, 63, 0}},
    {"TOLNIF", {1, 120, 610, 475}, {47, 50, 56, 0}},
    {"TOLNOF", {1, 120, 610, 475}, {49, 57, 59, 0}},
    {"TOLNUF", {1, 20, 380, 285}, {1, 3, 11, 16}},
    {"DNDIRF", {1, 120, 610, 475}, {44, 53, 60, 0}},
    {"DNNLPF", {5, 120, 610, 475}, {44, 53, 60, 0}},
    {"SPNLPF", {1, 20, 550, 550}, {1, 2, 11, 16}},
    {"TOLRAF", {1, 120, 610, 475}, {45, 55, 61, 0}},
    {"TOLBEF", {1, 120, 610, 475}, {0, 0, 0, 0}},
};

bool g_first_call = true;

std::string fixed_text(const char* s, int len, int width) {
  std::string out(static_cast<std::size_t>(width), ' ');
  std::memcpy(out.data(), s, static_cast<std::size_t>(std::clamp(len, 0, width)));
  return out;
}

// Writes `text` into MSG (length msg_len), cut so that the last character stays free.
void write_message(char* msg, int msg_len, const std::string& text) {
  if (msg_len < 1) return;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(msg_len - 1));
  std::memcpy(msg, text.data(), n);
  if (static_cast<int>(n) < msg_len) msg[n] = '\0';
}

std::string diagnostic_record(const std::string& caller,
                              int error,
                              const std::string& routine,
                              const int (&lengths)[3]) {
  platform::Record r(kDiagnosticLength);
  r.a(caller, kRoutineCodeLength).x(1).i(error, 5).x(1);
  if (error == kUnknownRoutine) {
    r.i(kUnknownRoutineMessage, 5).x(1).i(1, 5).x(1).a(routine, kRoutineCodeLength);
  } else {
    r.i(kLengthsTooSmallMessage, 5).x(1).i(3, 5);
    for (int len : lengths) r.x(1).i(len, 6);
  }
  std::string s = r.str();
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

}  // namespace

SparseOptionStore& sparse_option_store() {
  static SparseOptionStore store{};
  return store;
}

DenseOptionStore& dense_option_store() {
  static DenseOptionStore store{};
  return store;
}

bool take_first_call_flag() {
  const bool was = g_first_call;
  g_first_call = false;
  return was;
}

void init_option_store(const char* caller,
                       const char* routine,
                       char* /*cwsav*/,
                       const int& lcwsav,
                       Logical* lwsav,
                       const int& llwsav,
                       int* /*iwsav*/,
                       const int& liwsav,
                       double* /*rwsav*/,
                       const int& lrwsav,
                       char* msg,
                       int& ifail,
                       int caller_len,
                       int routine_len,
                       int /*cwsav_len*/,
                       int msg_len) {
  if (msg_len >= 1) msg[0] = '\0';
  std::string code = fixed_text(routine, routine_len, kRoutineCodeLength);
  to_upper_case(code.data(), kRoutineCodeLength);

  const AcceptedRoutine* row = nullptr;
  for (const AcceptedRoutine& r : kAcceptedRoutines) {
    if (code == r.code) {
      row = &r;
      break;
    }
  }

  int error = kStoreOk;
  std::array<char, 3 * kMessageRecordLength> records{};
  records.fill(' ');
  int nrec = 0;
  auto put_record = [&](const std::string& s) {
    std::memcpy(records.data() + nrec * kMessageRecordLength, s.data(),
                std::min<std::size_t>(s.size(), kMessageRecordLength));
    ++nrec;
  };

  if (row == nullptr) {
    error = kUnknownRoutine;
    put_record(" Invalid routine name: " + code);
  } else if (lcwsav < row->minimum.text || llwsav < row->minimum.logical ||
             liwsav < row->minimum.integer || lrwsav < row->minimum.real) {
    error = kLengthsTooSmall;
    put_record(" One or more of the workspace array lengths is too small");
    put_record(platform::Record(kMessageRecordLength)
                   .text(" Supplied values are: LCWSAV = ").i(lcwsav, 6)
                   .text(" LLWSAV = ").i(llwsav, 6)
                   .text(" LIWSAV = ").i(liwsav, 6)
                   .str());
    put_record(platform::Record(kMessageRecordLength).text(" LRWSAV = ").i(lrwsav, 6).str());
  } else {
    for (int word : row->logical_words) {
      if (word > 0) lwsav[word - 1] = kTrue;
    }
  }

  const std::string caller_code = fixed_text(caller, caller_len, kRoutineCodeLength);
  if (error != kStoreOk) {
    const int lengths[3] = {lcwsav, llwsav, liwsav};
    write_message(msg, msg_len, diagnostic_record(caller_code, error, code, lengths));
  }
  if (msg_len >= kDiagnosticLength) msg[kDiagnosticLength - 1] = '\0';
  ifail = report_failure(ifail, error, caller_code.data(), nrec, records.data(),
                         kRoutineCodeLength, kMessageRecordLength);
}

}  // namespace zun
