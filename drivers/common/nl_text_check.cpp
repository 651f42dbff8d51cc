// The line-by-line check of the segments of a text .nl file.
#include "drivers/common/nl_text_check.h"

#include <string>
#include <string_view>
#include <vector>

#include "drivers/common/nl_line.h"

namespace zun_driver {

namespace {

constexpr int kHeaderLines = 10;

// Bound types of the `b` and `r` segments and the numbers that follow each.
constexpr int kBoundBoth = 0;
constexpr int kBoundUpper = 1;
constexpr int kBoundLower = 2;
constexpr int kBoundFree = 3;
constexpr int kBoundEqual = 4;
constexpr int kComplementarity = 5;

// Suffix kinds of an `S` segment (the low two bits) and the flag of real values.
constexpr std::int64_t kSuffixKindMask = 3;
constexpr std::int64_t kSuffixLargestFlags = 7;
constexpr std::int64_t kSuffixOnVariables = 0;
constexpr std::int64_t kSuffixOnConstraints = 1;
constexpr std::int64_t kSuffixOnObjectives = 2;

struct FaultThrown {
  NlFault fault;
};

// Which entities of the problem a segment already described (each at most once).
class SeenOnce {
 public:
  explicit SeenOnce(std::int64_t count) : seen_(static_cast<std::size_t>(count), false) {}
  // False when entity `i` (in range) was seen before.
  bool mark(std::int64_t i) {
    const auto k = static_cast<std::size_t>(i);
    if (seen_[k]) return false;
    seen_[k] = true;
    return true;
  }
  bool seen(std::int64_t i) const { return seen_[static_cast<std::size_t>(i)]; }
  // The first number not yet marked, or -1 when every one is.
  std::int64_t first_unseen() const {
    for (std::size_t k = 0; k < seen_.size(); ++k)
      if (!seen_[k]) return static_cast<std::int64_t>(k);
    return -1;
  }

 private:
  std::vector<bool> seen_;
};

class TextWalk {
 public:
  TextWalk(std::istream& in, const NlHeader& h, std::uint64_t file_size)
      : in_(in),
        h_(h),
        file_size_(static_cast<std::int64_t>(file_size)),
        constraints_seen_(h.constraints),
        objectives_seen_(h.objectives),
        jacobian_seen_(h.constraints),
        gradient_seen_(h.objectives),
        logical_seen_(h.logical_constraints),
        defined_(h.expression_variables() - h.variables),
        column_counts_(static_cast<std::size_t>(h.variables), 0),
        row_marks_(static_cast<std::size_t>(h.variables), -1) {}

  void run() {
    while (next_line()) segment();
    finish();
  }

 private:
  // Reads the next line unless one is pending; false at the end of the file.
  bool next_line() {
    if (pending_) {
      pending_ = false;
      return true;
    }
    if (!std::getline(in_, line_)) return false;
    ++line_number_;
    fields_ = split_fields(line_);
    if (fields_.empty()) fail("an empty line");
    return true;
  }

  // The next line of a segment that needs one more line.
  void require_line(const char* segment) {
    if (!next_line()) fail(std::string("the file ends inside a '") + segment + "' segment");
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw FaultThrown{NlFault{"line " + std::to_string(line_number_), what}};
  }

  char letter() const { return fields_[0][0]; }

  // Field `i` of the line, where field 0 is the text after the line's key letter (when the
  // line has a key letter) and later fields follow.
  std::string_view field(std::size_t i, bool keyed, const char* what) const {
    if (keyed) {
      if (i == 0) {
        const std::string_view rest = fields_[0].substr(1);
        if (rest.empty()) fail(std::string("the ") + what + " is missing");
        return rest;
      }
    }
    if (i >= fields_.size()) fail(std::string("the ") + what + " is missing");
    return fields_[i];
  }

  std::int64_t integer(std::size_t i, bool keyed, const char* what) const {
    const std::string_view token = field(i, keyed, what);
    const auto value = parse_integer(token);
    if (!value)
      fail(std::string("the ") + what + " \"" + std::string(token) + "\" is not an integer");
    return *value;
  }

  // An integer field in [low, high).
  std::int64_t in_range(
      std::size_t i, bool keyed, const char* what, std::int64_t low, std::int64_t high) const {
    const std::int64_t value = integer(i, keyed, what);
    if (value < low || value >= high) {
      fail(std::string("the ") + what + " " + std::to_string(value) + " is out of range (" +
           std::to_string(low) + " to " + std::to_string(high - 1) + ")");
    }
    return value;
  }

  // A count field: no larger than the file, since each counted item takes a line.
  std::int64_t count(std::size_t i, bool keyed, const char* what, std::int64_t high) const {
    return in_range(i, keyed, what, 0, std::min(high, file_size_) + 1);
  }

  void real(std::size_t i, bool keyed, const char* what) const {
    const std::string_view token = field(i, keyed, what);
    if (!parse_real(token)) {
      fail(std::string("the ") + what + " \"" + std::string(token) + "\" is not a number");
    }
  }

  void segment() {
    switch (letter()) {
      case 'F':
        function_segment();
        break;
      case 'S':
        suffix_segment();
        break;
      case 'V':
        defined_variable_segment();
        break;
      case 'C':
        body_segment(constraints_seen_, h_.constraints, "constraint number");
        break;
      case 'L':
        body_segment(logical_seen_, h_.logical_constraints, "logical constraint number");
        break;
      case 'O':
        objective_segment();
        break;
      case 'd':
        indexed_values("d", h_.constraints, "constraint number");
        break;
      case 'x':
        indexed_values("x", h_.variables, "variable number");
        break;
      case 'r':
        bounds_segment("r", h_.constraints, true);
        break;
      case 'b':
        bounds_segment("b", h_.variables, false);
        break;
      case 'k':
        column_segment();
        break;
      case 'J':
        linear_terms_segment('J');
        break;
      case 'G':
        linear_terms_segment('G');
        break;
      default:
        fail("\"" + line_ + "\" does not start a segment");
    }
  }

  void function_segment() {
    in_range(0, true, "function number", 0, h_.functions);
    in_range(1, true, "function type", 0, 2);
    integer(2, true, "argument count");
    field(3, true, "function name");
  }

  std::int64_t suffix_bound(std::int64_t kind) const {
    switch (kind & kSuffixKindMask) {
      case kSuffixOnVariables:
        return h_.variables;
      case kSuffixOnConstraints:
        return h_.constraints;
      case kSuffixOnObjectives:
        return h_.objectives;
      default:
        return 1;  // the problem itself
    }
  }

  void suffix_segment() {
    const std::int64_t kind = in_range(0, true, "suffix kind", 0, kSuffixLargestFlags + 1);
    const std::int64_t bound = suffix_bound(kind);
    const std::int64_t n = count(1, true, "suffix entry count", bound);
    field(2, true, "suffix name");
    for (std::int64_t e = 0; e < n; ++e) {
      require_line("S");
      in_range(0, false, "suffix entry number", 0, bound);
      real(1, false, "suffix value");
    }
  }

  void defined_variable_segment() {
    const std::int64_t i =
        in_range(0, true, "defined variable number", h_.variables, h_.expression_variables());
    if (!defined_.mark(i - h_.variables))
      fail("defined variable " + std::to_string(i) + " is defined twice");
    const std::int64_t terms = count(1, true, "linear term count", h_.variables);
    const std::int64_t shared_end = h_.variables + h_.common_both + h_.common_constraints +
                                    h_.common_objectives;
    const std::int64_t single_constraint_end = shared_end + h_.common_single_constraint;
    if (i < shared_end) {
      in_range(2, true, "user of a shared defined variable", 0, 1);
    } else if (i < single_constraint_end) {
      in_range(2, true, "constraint of a defined variable", 1, h_.constraints + 1);
    } else {
      in_range(2, true, "objective of a defined variable", h_.constraints + 1,
               h_.constraints + h_.objectives + 1);
    }
    for (std::int64_t t = 0; t < terms; ++t) {
      require_line("V");
      in_range(0, false, "variable number", 0, h_.variables);
      real(1, false, "coefficient");
    }
    expression("V");
  }

  void body_segment(SeenOnce& seen, std::int64_t bound, const char* what) {
    const std::int64_t i = in_range(0, true, what, 0, bound);
    if (!seen.mark(i)) fail(std::string(what) + " " + std::to_string(i) + " has two bodies");
    expression(letter() == 'C' ? "C" : "L");
  }

  void objective_segment() {
    const std::int64_t i = in_range(0, true, "objective number", 0, h_.objectives);
    if (!objectives_seen_.mark(i)) fail("objective " + std::to_string(i) + " has two bodies");
    integer(1, true, "objective sense");
    expression("O");
  }

  // The lines of an expression: at least one, up to the next line that starts a segment.
  void expression(const char* segment) {
    require_line(segment);
    do {
      expression_line();
      if (!next_line()) return;
    } while (!starts_segment(letter()));
    pending_ = true;
  }

  static bool starts_segment(char c) {
    return std::string_view("FSVCLOdxrbkJG").find(c) != std::string_view::npos;
  }

  static bool starts_number(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+'; }

  void expression_line() {
    switch (letter()) {
      case 'o':
        integer(0, true, "operator number");
        break;
      case 'v':
        expression_variable();
        break;
      case 'n':
      case 'l':
      case 's':
        real(0, true, "constant");
        break;
      case 'f':
        in_range(0, true, "function number", 0, h_.functions);
        count(1, true, "argument count", file_size_);
        break;
      case 'h':
        break;  // a string argument of a user function
      default:
        if (fields_.size() != 1 || !starts_number(letter())) {
          fail("\"" + line_ + "\" is not an expression line");
        }
        count(0, false, "operand count", file_size_);
    }
  }

  void expression_variable() {
    const std::int64_t i = in_range(0, true, "variable number", 0, h_.expression_variables());
    if (i >= h_.variables && !defined_.seen(i - h_.variables)) {
      fail("defined variable " + std::to_string(i) + " is used before its definition");
    }
  }

  // `d` and `x`: a count, then that many lines of an index and a value.
  void indexed_values(const char* segment, std::int64_t bound, const char* what) {
    const std::int64_t n = count(0, true, "entry count", bound);
    for (std::int64_t e = 0; e < n; ++e) {
      require_line(segment);
      in_range(0, false, what, 0, bound);
      real(1, false, "value");
    }
  }

  // `b` and `r`: one line per variable or constraint, a bound type and its numbers.  A later
  // segment of the same kind replaces an earlier one.
  void bounds_segment(const char* segment, std::int64_t n, bool rows) {
    if (fields_[0].size() != 1) fail(std::string("\"") + line_ + "\" does not start a segment");
    for (std::int64_t e = 0; e < n; ++e) {
      require_line(segment);
      const std::int64_t type = in_range(0, false, "bound type", kBoundBoth,
                                         rows ? kComplementarity + 1 : kBoundEqual + 1);
      bound_numbers(type);
    }
  }

  void bound_numbers(std::int64_t type) {
    switch (type) {
      case kBoundBoth:
        real(1, false, "lower bound");
        real(2, false, "upper bound");
        break;
      case kBoundUpper:
      case kBoundLower:
      case kBoundEqual:
        real(1, false, "bound");
        break;
      case kBoundFree:
        break;
      case kComplementarity:
        integer(1, false, "complementarity kind");
        in_range(2, false, "complementary variable", 1, h_.variables + 1);
        break;
    }
  }

  // `k`: the running column counts of the Jacobian for all columns but the last.
  void column_segment() {
    if (column_ends_) fail("a second 'k' segment");
    const std::int64_t expected = h_.variables > 0 ? h_.variables - 1 : 0;
    const std::int64_t n = count(0, true, "column count", file_size_);
    if (n != expected) {
      fail("the 'k' segment has " + std::to_string(n) + " entries, not " +
           std::to_string(expected));
    }
    column_ends_.emplace();
    std::int64_t previous = 0;
    for (std::int64_t e = 0; e < n; ++e) {
      require_line("k");
      const std::int64_t end = in_range(0, false, "column end", previous, h_.jacobian_nonzeros + 1);
      column_ends_->push_back(end);
      previous = end;
    }
  }

  // `J` and `G`: a row's linear terms, each variable at most once.
  void linear_terms_segment(char kind) {
    const bool jacobian = kind == 'J';
    if (jacobian && !column_ends_) fail("a 'J' segment before the 'k' segment");
    const std::int64_t rows = jacobian ? h_.constraints : h_.objectives;
    const std::int64_t row =
        in_range(0, true, jacobian ? "constraint number" : "objective number", 0, rows);
    SeenOnce& seen = jacobian ? jacobian_seen_ : gradient_seen_;
    if (!seen.mark(row))
      fail(std::string("a second '") + kind + "' segment for row " + std::to_string(row));
    const std::int64_t n = count(1, true, "term count", h_.variables);
    std::int64_t& total = jacobian ? jacobian_terms_ : gradient_terms_;
    total += n;
    const std::int64_t limit = jacobian ? h_.jacobian_nonzeros : h_.gradient_nonzeros;
    if (total > limit) {
      fail(std::string("more '") + kind + "' terms than the header's " + std::to_string(limit));
    }
    ++row_stamp_;
    for (std::int64_t t = 0; t < n; ++t) {
      require_line(jacobian ? "J" : "G");
      const std::int64_t j = in_range(0, false, "variable number", 0, h_.variables);
      real(1, false, "coefficient");
      std::int64_t& mark = row_marks_[static_cast<std::size_t>(j)];
      if (mark == row_stamp_) fail("variable " + std::to_string(j) + " appears twice in one row");
      mark = row_stamp_;
      if (jacobian) ++column_counts_[static_cast<std::size_t>(j)];
    }
  }

  // The Jacobian terms against the header's count and the `k` segment's column counts.
  void finish() {
    const std::int64_t undefined = defined_.first_unseen();
    if (undefined >= 0) {
      fail("defined variable " + std::to_string(h_.variables + undefined) +
           " is announced but never defined");
    }
    if (jacobian_terms_ != h_.jacobian_nonzeros) {
      fail("the 'J' segments hold " + std::to_string(jacobian_terms_) +
           " terms, the header announces " + std::to_string(h_.jacobian_nonzeros));
    }
    if (!column_ends_) return;
    std::int64_t start = 0;
    for (std::int64_t j = 0; j < h_.variables; ++j) {
      const std::int64_t end = j + 1 < h_.variables ? (*column_ends_)[static_cast<std::size_t>(j)]
                                                    : h_.jacobian_nonzeros;
      if (column_counts_[static_cast<std::size_t>(j)] != end - start) {
        fail("column " + std::to_string(j) + " has " +
             std::to_string(column_counts_[static_cast<std::size_t>(j)]) +
             " Jacobian terms, the 'k' segment announces " + std::to_string(end - start));
      }
      start = end;
    }
  }

  std::istream& in_;
  const NlHeader& h_;
  std::int64_t file_size_;
  std::string line_;
  std::vector<std::string_view> fields_;
  std::int64_t line_number_ = kHeaderLines;
  bool pending_ = false;
  SeenOnce constraints_seen_;
  SeenOnce objectives_seen_;
  SeenOnce jacobian_seen_;
  SeenOnce gradient_seen_;
  SeenOnce logical_seen_;
  SeenOnce defined_;
  std::optional<std::vector<std::int64_t>> column_ends_;
  std::vector<std::int64_t> column_counts_;
  std::vector<std::int64_t> row_marks_;
  std::int64_t row_stamp_ = 0;
  std::int64_t jacobian_terms_ = 0;
  std::int64_t gradient_terms_ = 0;
};

}  // namespace

std::optional<NlFault> check_nl_text(std::istream& in,
                                     const NlHeader& header,
                                     std::uint64_t file_size) {
  try {
    TextWalk(in, header, file_size).run();
  } catch (const FaultThrown& thrown) {
    return thrown.fault;
  }
  return std::nullopt;
}

}  // namespace zun_driver
