// Input checks of the dense solver.
#include "library/dense_sqp/dense_input_checks.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "library/dense_sqp/dense_store_words.h"
#include "library/platform/format.h"
#include "library/support/failure.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;
using platform::Record;

constexpr int kRecordLength = 80;
constexpr int kValueWidth = 16;
constexpr int kLengthWidth = 8;
constexpr int kIndexWidth = 4;
constexpr int kGroupIndexWidth = 3;
constexpr int kLabelWidth = 5;
constexpr int kBoundWidth = 16;
constexpr int kBoundDigits = 7;
constexpr int kLowestState = -2;
constexpr int kHighestState = 4;

enum State { kFree = 0, kAtLower = 1, kAtUpper = 2, kEqual = 3 };

// Counts the errors and prints their messages (a blank line, then the message's lines).
class EntryErrors {
 public:
  EntryErrors(int unit, bool prints) : unit_(unit), prints_(prints) {}
  void add(std::initializer_list<std::string> lines) {
    ++count_;
    if (!prints_) return;
    emit(unit_, "");
    for (const std::string& l : lines) emit(unit_, l);
  }
  int count() const { return count_; }
  static void emit(int unit, const std::string& text) {
    const std::string s = platform::format_a(text, kRecordLength);
    write_line(unit, s.data(), static_cast<int>(s.size()));
  }

 private:
  int unit_;
  bool prints_;
  int count_ = 0;
};

std::string value_line(std::string_view name, std::int64_t v) {
  return Record(kRecordLength).text("    ").text(name).text(" = ").i(v, kValueWidth).str();
}
std::string pair_line(std::string_view a, std::int64_t va, std::string_view b, std::int64_t vb) {
  return Record(kRecordLength)
      .text("    ")
      .text(a)
      .text(" = ")
      .i(va, kValueWidth)
      .text("   ")
      .text(b)
      .text(" = ")
      .i(vb, kValueWidth)
      .str();
}

void check_sizes(const DenseProblem& p, EntryErrors& e) {
  if (p.n < 1) e.add({" ** On entry, N.le.0:", value_line("N", p.n)});
  if (p.nclin < 0) e.add({" ** On entry, NCLIN.lt.0:", value_line("NCLIN", p.nclin)});
  if (p.ncnln < 0) e.add({" ** On entry, NCNLN.lt.0:", value_line("NCNLN", p.ncnln)});
  if (p.lda < std::max(1, p.nclin)) {
    e.add({" ** On entry, LDA.lt.max(1,NCLIN):", pair_line("LDA", p.lda, "NCLIN", p.nclin)});
  }
  if (p.ldcj < std::max(1, p.ncnln)) {
    e.add({" ** On entry, LDCJ.lt.max(1,NCNLN):", pair_line("LDCJ", p.ldcj, "NCNLN", p.ncnln)});
  }
  if (p.ldr < p.n) e.add({" ** On entry, LDR.lt.N:", pair_line("LDR", p.ldr, "N", p.n)});
}

void check_workspace(const DenseProblem& p, DenseNeed need, DenseStoreView s, EntryErrors& e) {
  const std::string provided = Record(kRecordLength)
                                   .text(" Workspace provided is     IWORK(")
                                   .i(p.leniw, kLengthWidth)
                                   .text("),  WORK(")
                                   .i(p.lenw, kLengthWidth)
                                   .text(").")
                                   .str();
  const std::string needed = Record(kRecordLength)
                                 .text(" To solve problem we need  IWORK(")
                                 .i(need.integers, kLengthWidth)
                                 .text("),  WORK(")
                                 .i(need.reals, kLengthWidth)
                                 .text(").")
                                 .str();
  if (p.leniw < need.integers || p.lenw < need.reals) {
    e.add({provided, needed, " ** Not enough workspace to solve problem."});
  } else if (s.i(iw::kMajorPrintLevel) > 0) {
    const int print_file = s.i(iw::kPrintFile);
    EntryErrors::emit(print_file, "");
    EntryErrors::emit(print_file, provided);
    EntryErrors::emit(print_file, needed);
  }
}

// The group label and the index within the group of bound pair j.
std::string group_of(const DenseProblem& p, int j) {
  Record r(kLabelWidth + kGroupIndexWidth);
  if (j <= p.n) return r.a("Varbl", kLabelWidth).i(j, kGroupIndexWidth).str();
  if (j <= p.n + p.nclin) return r.a("L Con", kLabelWidth).i(j - p.n, kGroupIndexWidth).str();
  return r.a("N Con", kLabelWidth).i(j - p.n - p.nclin, kGroupIndexWidth).str();
}

void check_bounds(const DenseProblem& p, double bigbnd, EntryErrors& e) {
  for (int j = 1; j <= p.total(); ++j) {
    const double lo = p.bl(j), hi = p.bu(j);
    if (hi < lo) {
      e.add({" ** On entry, the bounds on  " + group_of(p, j) + "  are inconsistent:",
             Record(kRecordLength)
                 .text("    BL(")
                 .i(j, kIndexWidth)
                 .text(") =")
                 .g(lo, kBoundWidth, kBoundDigits)
                 .text("   BU(")
                 .i(j, kIndexWidth)
                 .text(") =")
                 .g(hi, kBoundWidth, kBoundDigits)
                 .str()});
    } else if (lo == hi && std::fabs(lo) >= bigbnd) {
      e.add({" ** On entry, the equal bounds on  " + group_of(p, j) + "  are infinite (because",
             Record(kRecordLength)
                 .text("    BL(")
                 .i(j, kIndexWidth)
                 .text(").eq.beta and BU(")
                 .i(j, kIndexWidth)
                 .text(").eq.beta, but abs(beta).ge.bigbnd):")
                 .str(),
             Record(kRecordLength)
                 .text("    beta =")
                 .g(lo, kBoundWidth, kBoundDigits)
                 .text(" bigbnd =")
                 .g(bigbnd, kBoundWidth, kBoundDigits)
                 .str()});
    }
  }
}

void check_warm_states(const DenseProblem& p, EntryErrors& e) {
  for (int j = 1; j <= p.total(); ++j) {
    const int state = p.istate(j);
    if (state >= kLowestState && state <= kHighestState) continue;
    e.add({Record(kRecordLength)
               .text(" ** On entry with a Warm Start, ISTATE(")
               .i(j, kIndexWidth)
               .text(") is out of range:")
               .str(),
           Record(kRecordLength)
               .text("    ISTATE(")
               .i(j, kIndexWidth)
               .text(") = ")
               .i(state, kValueWidth)
               .str()});
  }
}

// A warm start's nonlinear rows: states and multipliers made consistent with the bounds.
void align_nonlinear_rows(const DenseProblem& p, double bigbnd) {
  for (int j = p.n + p.nclin + 1; j <= p.total(); ++j) {
    int& state = p.istate(j);
    double& mult = p.mult(j);
    switch (state) {
      case kFree:
        mult = 0.0;
        break;
      case kAtLower:
        if (p.bl(j) > -bigbnd) {
          mult = std::max(mult, 0.0);
        } else {
          state = kFree;
          mult = 0.0;
        }
        break;
      case kAtUpper:
        if (p.bu(j) < bigbnd) {
          mult = std::min(mult, 0.0);
        } else {
          state = kFree;
          mult = 0.0;
        }
        break;
      case kEqual:
        if (p.bl(j) < p.bu(j)) state = kFree;
        break;
      default:
        break;
    }
  }
}

}  // namespace

int check_dense_input(const DenseProblem& p, DenseNeed need, DenseStoreView s) {
  EntryErrors e(s.i(iw::kErrorUnitCopy), failure_mode_prints(s.i(iw::kIfailOnEntry)));
  check_sizes(p, e);
  check_workspace(p, need, s, e);
  const double bigbnd = s.r(rw::kInfiniteBound);
  const bool warm = s.i(iw::kStart) == 1;
  if (e.count() == 0) {
    check_bounds(p, bigbnd, e);
    if (warm) check_warm_states(p, e);
    if (warm && e.count() == 0 && p.ncnln > 0) align_nonlinear_rows(p, bigbnd);
  }
  s.i(iw::kInputErrors) = e.count();
  return e.count();
}

}  // namespace zun
