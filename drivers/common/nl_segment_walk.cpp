// The walk over the segments of a .nl file, shared by the text and the binary format.
#include "drivers/common/nl_segment_walk.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "drivers/common/nl_line.h"

namespace zun_driver {

namespace {

// Bound types of the `b` and `r` segments and the numbers that follow each.
constexpr int kBoundBoth = 0;
constexpr int kBoundUpper = 1;
constexpr int kBoundLower = 2;
constexpr int kBoundFree = 3;
constexpr int kBoundEqual = 4;
constexpr int kComplementarity = 5;

// Suffix kinds of an `S` segment (the low two bits) and the flag of real values.
constexpr std::int64_t kSuffixKindMask = 3;
constexpr std::int64_t kSuffixRealFlag = 4;
constexpr std::int64_t kSuffixLargestFlags = 7;
constexpr std::int64_t kSuffixOnVariables = 0;
constexpr std::int64_t kSuffixOnConstraints = 1;
constexpr std::int64_t kSuffixOnObjectives = 2;

// The bound of the variables of a body that may use any variable (a defined variable's, whose
// variables count where it is used, and a logical constraint's).
constexpr std::int64_t kAnyVariable = std::numeric_limits<std::int64_t>::max();

// A body being walked: what it belongs to and the variables it may use.
struct BodyOwner {
  const char* name;             // "the body of constraint", "defined variable", ...
  std::int64_t number;          // 0-based within its kind
  std::int64_t variable_bound;  // its variables must be below this
  const char* bound_name = "";  // the header's name of that bound
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
    const auto at = std::find(seen_.begin(), seen_.end(), false);
    return at == seen_.end() ? -1 : static_cast<std::int64_t>(at - seen_.begin());
  }

 private:
  std::vector<bool> seen_;
};

class SegmentWalk : public NlExpressionChecks {
 public:
  SegmentWalk(NlSegmentSource& source, const NlHeader& h, NlBodies& bodies)
      : src_(source),
        h_(h),
        bodies_(bodies),
        constraints_seen_(h.constraints),
        objectives_seen_(h.objectives),
        jacobian_seen_(h.constraints),
        gradient_seen_(h.objectives),
        logical_seen_(h.logical_constraints),
        defined_(h.expression_variables() - h.variables),
        defined_calls_(static_cast<std::size_t>(h.expression_variables() - h.variables), false),
        defined_top_(static_cast<std::size_t>(h.expression_variables() - h.variables), -1),
        column_counts_(static_cast<std::size_t>(h.variables), 0),
        row_marks_(static_cast<std::size_t>(h.variables), -1) {
    bodies_ = NlBodies{};
    bodies_.widened_objectives.assign(static_cast<std::size_t>(h.objectives), false);
    bodies_.row_calls_function.assign(static_cast<std::size_t>(h.constraints), false);
    bodies_.objective_calls_function.assign(static_cast<std::size_t>(h.objectives), false);
  }

  void run() {
    char key = 0;
    while (src_.next_segment(key)) segment(key);
    finish();
  }

  void variable(std::int64_t i) override {
    in_range(i, "variable number", 0, h_.expression_variables());
    std::int64_t top = i;
    if (i >= h_.variables) {
      const auto k = static_cast<std::size_t>(i - h_.variables);
      if (!defined_.seen(i - h_.variables)) {
        src_.fail("defined variable " + std::to_string(i) + " is used before its definition");
      }
      calls_function_ = calls_function_ || defined_calls_[k];
      top = defined_top_[k];
    }
    body_top_ = std::max(body_top_, top);
    if (top >= owner_.variable_bound) {
      const std::string through =
          i >= h_.variables ? " (through defined variable " + std::to_string(i) + ")" : "";
      src_.fail("variable " + std::to_string(top) + through + " in " + owner_.name + " " +
                std::to_string(owner_.number) + " is beyond the header's " +
                std::to_string(owner_.variable_bound) + " " + owner_.bound_name);
    }
  }

  void constant(double value) override {
    body_constant_ = value;
    if (std::isnan(value)) unusable(value, std::string("a constant in ") + owner_name());
  }

  void function(std::int64_t i) override {
    in_range(i, "function number", 0, h_.functions);
    calls_function_ = true;
  }

 private:
  std::int64_t in_range(std::int64_t value, const char* what, std::int64_t low, std::int64_t high) {
    if (value < low || value >= high) {
      src_.fail(std::string("the ") + what + " " + std::to_string(value) + " is out of range (" +
                std::to_string(low) + " to " + std::to_string(high - 1) + ")");
    }
    return value;
  }

  std::int64_t field_in_range(const char* what, std::int64_t low, std::int64_t high) {
    return in_range(src_.integer(what), what, low, high);
  }

  // Notes the first number that no solve can use.
  void unusable(double value, std::string what) {
    if (!bodies_.unusable) bodies_.unusable = UnusableNumber{value, std::move(what)};
  }

  // The owner of the body being walked for the user, numbered from 1: "the body of constraint 2".
  std::string owner_name() const {
    return std::string(owner_.name) + " " + std::to_string(owner_.number + 1);
  }

  // A count field: no larger than the file, since each counted item takes a line or bytes.
  std::int64_t count(const char* what, std::int64_t high) {
    return field_in_range(what, 0, std::min(high, src_.file_size()) + 1);
  }

  void segment(char key) {
    switch (key) {
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
        constraint_segment();
        break;
      case 'L':
        logical_segment();
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
      case 'G':
        linear_terms_segment(key);
        break;
      default:
        src_.fail(quoted_character(key) + " does not start a segment");
    }
  }

  void function_segment() {
    field_in_range("function number", 0, h_.functions);
    field_in_range("function type", 0, 2);
    src_.integer("argument count");
    src_.name("function name");
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
    const std::int64_t kind = field_in_range("suffix kind", 0, kSuffixLargestFlags + 1);
    const std::int64_t bound = suffix_bound(kind);
    const std::int64_t n = count("suffix entry count", bound);
    src_.name("suffix name");
    for (std::int64_t e = 0; e < n; ++e) {
      src_.next_entry("S");
      field_in_range("suffix entry number", 0, bound);
      src_.suffix_value((kind & kSuffixRealFlag) != 0);
    }
  }

  void defined_variable_segment() {
    const std::int64_t i =
        field_in_range("defined variable number", h_.variables, h_.expression_variables());
    if (!defined_.mark(i - h_.variables))
      src_.fail("defined variable " + std::to_string(i) + " is defined twice");
    const std::int64_t terms = count("linear term count", h_.variables);
    const std::int64_t shared_end =
        h_.variables + h_.common_both + h_.common_constraints + h_.common_objectives;
    const std::int64_t single_constraint_end = shared_end + h_.common_single_constraint;
    if (i < shared_end) {
      field_in_range("user of a shared defined variable", 0, 1);
    } else if (i < single_constraint_end) {
      field_in_range("constraint of a defined variable", 1, h_.constraints + 1);
    } else {
      field_in_range("objective of a defined variable", h_.constraints + 1,
                     h_.constraints + h_.objectives + 1);
    }
    const std::int64_t k = i - h_.variables;
    owner_ = BodyOwner{"defined variable", k, kAnyVariable};
    std::int64_t top = -1;
    for (std::int64_t t = 0; t < terms; ++t) {
      src_.next_entry("V");
      const std::int64_t j = field_in_range("variable number", 0, h_.variables);
      const double coefficient = src_.real_number("coefficient");
      if (!usable_coefficient(coefficient)) {
        unusable(coefficient,
                 "the coefficient of variable " + std::to_string(j + 1) + " in " + owner_name());
      }
      top = std::max(top, j);
    }
    // Marked defined before its expression, as the reader allows a reference to itself.
    defined_top_[static_cast<std::size_t>(k)] = top;
    body("V", owner_);
    defined_calls_[static_cast<std::size_t>(k)] = calls_function_;
    defined_top_[static_cast<std::size_t>(k)] = std::max(top, body_top_);
  }

  // Walks the body of `owner`; true when it is a single constant.
  bool body(const char* segment, const BodyOwner& owner) {
    calls_function_ = false;
    body_top_ = -1;
    body_constant_ = 0.0;
    owner_ = owner;
    return src_.expression(segment, *this);
  }

  void constraint_segment() {
    const std::int64_t i = field_in_range("constraint number", 0, h_.constraints);
    if (!constraints_seen_.mark(i)) src_.fail("constraint number " + std::to_string(i) + " has two bodies");
    const bool constant =
        body("C", BodyOwner{"the body of constraint", i, h_.nonlinear_constraint_vars,
                            "nonlinear variables in constraints"});
    bodies_.row_calls_function[static_cast<std::size_t>(i)] = calls_function_;
    // The row's value holds its body, which the linear terms and bounds leave out unless it is 0.
    if (!(constant && body_constant_ == 0.0) && i >= h_.nonlinear_constraints) {
      bodies_.widened_rows = std::max(bodies_.widened_rows, i + 1);
    }
  }

  void logical_segment() {
    const std::int64_t i = field_in_range("logical constraint number", 0, h_.logical_constraints);
    if (!logical_seen_.mark(i)) {
      src_.fail("logical constraint number " + std::to_string(i) + " has two bodies");
    }
    body("L", BodyOwner{"the body of logical constraint", i, kAnyVariable});
  }

  void objective_segment() {
    const std::int64_t i = field_in_range("objective number", 0, h_.objectives);
    if (!objectives_seen_.mark(i)) src_.fail("objective " + std::to_string(i) + " has two bodies");
    src_.integer("objective sense");
    const bool constant =
        body("O", BodyOwner{"the body of objective", i, h_.nonlinear_objective_vars,
                            "nonlinear variables in objectives"});
    const auto k = static_cast<std::size_t>(i);
    bodies_.objective_calls_function[k] = calls_function_;
    // A finite constant only shifts the objective; any other body is the ASL's to evaluate.
    bodies_.widened_objectives[k] =
        !(constant && std::isfinite(body_constant_)) && i >= h_.nonlinear_objectives;
  }

  // `d` and `x`: a count, then that many entries of an index and a value.
  void indexed_values(const char* segment, std::int64_t bound, const char* what) {
    const std::int64_t n = count("entry count", bound);
    for (std::int64_t e = 0; e < n; ++e) {
      src_.next_entry(segment);
      field_in_range(what, 0, bound);
      src_.real_number("value");
    }
  }

  // `b` and `r`: one entry per variable or constraint, a bound type and its numbers.  A later
  // segment of the same kind replaces an earlier one.
  void bounds_segment(const char* segment, std::int64_t n, bool rows) {
    for (std::int64_t e = 0; e < n; ++e) {
      src_.next_entry(segment);
      const std::int64_t type =
          in_range(src_.bound_type(), "bound type", kBoundBoth,
                   rows ? kComplementarity + 1 : kBoundEqual + 1);
      bound_numbers(type);
    }
  }

  void bound_numbers(std::int64_t type) {
    switch (type) {
      case kBoundBoth:
        src_.real_number("lower bound");
        src_.real_number("upper bound");
        break;
      case kBoundUpper:
      case kBoundLower:
      case kBoundEqual:
        src_.real_number("bound");
        break;
      case kBoundFree:
        break;
      case kComplementarity:
        src_.integer("complementarity kind");
        field_in_range("complementary variable", 1, h_.variables + 1);
        break;
    }
  }

  // `k`: the running column counts of the Jacobian for all columns but the last.
  void column_segment() {
    if (column_ends_) src_.fail("a second 'k' segment");
    const std::int64_t expected = h_.variables > 0 ? h_.variables - 1 : 0;
    const std::int64_t n = count("column count", src_.file_size());
    if (n != expected) {
      src_.fail("the 'k' segment has " + std::to_string(n) + " entries, not " +
                std::to_string(expected));
    }
    column_ends_.emplace();
    std::int64_t previous = 0;
    for (std::int64_t e = 0; e < n; ++e) {
      src_.next_entry("k");
      const std::int64_t end = field_in_range("column end", previous, h_.jacobian_nonzeros + 1);
      column_ends_->push_back(end);
      previous = end;
    }
  }

  // `J` and `G`: a row's linear terms, each variable at most once.
  void linear_terms_segment(char kind) {
    const bool jacobian = kind == 'J';
    if (jacobian && !column_ends_) src_.fail("a 'J' segment before the 'k' segment");
    const std::int64_t rows = jacobian ? h_.constraints : h_.objectives;
    const std::int64_t row =
        field_in_range(jacobian ? "constraint number" : "objective number", 0, rows);
    SeenOnce& seen = jacobian ? jacobian_seen_ : gradient_seen_;
    if (!seen.mark(row)) {
      src_.fail(std::string("a second '") + kind + "' segment for row " + std::to_string(row));
    }
    const std::int64_t n = count("term count", h_.variables);
    std::int64_t& total = jacobian ? jacobian_terms_ : gradient_terms_;
    total += n;
    const std::int64_t limit = jacobian ? h_.jacobian_nonzeros : h_.gradient_nonzeros;
    if (total > limit) {
      src_.fail(std::string("more '") + kind + "' terms than the header's " +
                std::to_string(limit));
    }
    ++row_stamp_;
    const char* segment = jacobian ? "J" : "G";
    for (std::int64_t t = 0; t < n; ++t) {
      src_.next_entry(segment);
      const std::int64_t j = field_in_range("variable number", 0, h_.variables);
      src_.real_number("coefficient");
      std::int64_t& mark = row_marks_[static_cast<std::size_t>(j)];
      if (mark == row_stamp_) {
        src_.fail("variable " + std::to_string(j) + " appears twice in one row");
      }
      mark = row_stamp_;
      if (jacobian) ++column_counts_[static_cast<std::size_t>(j)];
    }
  }

  // The Jacobian terms against the header's count and the `k` segment's column counts.
  void finish() {
    const std::int64_t undefined = defined_.first_unseen();
    if (undefined >= 0) {
      src_.fail("defined variable " + std::to_string(h_.variables + undefined) +
                " is announced but never defined");
    }
    if (jacobian_terms_ != h_.jacobian_nonzeros) {
      src_.fail("the 'J' segments hold " + std::to_string(jacobian_terms_) +
                " terms, the header announces " + std::to_string(h_.jacobian_nonzeros));
    }
    if (!column_ends_) return;
    std::int64_t start = 0;
    for (std::int64_t j = 0; j < h_.variables; ++j) {
      const auto k = static_cast<std::size_t>(j);
      const std::int64_t end = j + 1 < h_.variables ? (*column_ends_)[k] : h_.jacobian_nonzeros;
      if (column_counts_[k] != end - start) {
        src_.fail("column " + std::to_string(j) + " has " + std::to_string(column_counts_[k]) +
                  " Jacobian terms, the 'k' segment announces " + std::to_string(end - start));
      }
      start = end;
    }
  }

  NlSegmentSource& src_;
  const NlHeader& h_;
  NlBodies& bodies_;
  SeenOnce constraints_seen_;
  SeenOnce objectives_seen_;
  SeenOnce jacobian_seen_;
  SeenOnce gradient_seen_;
  SeenOnce logical_seen_;
  SeenOnce defined_;
  std::vector<bool> defined_calls_;  // per defined variable: its body calls a function
  // Per defined variable: the largest variable number it uses, directly or through others (-1
  // when none).
  std::vector<std::int64_t> defined_top_;
  bool calls_function_ = false;  // the body being walked calls a function
  std::int64_t body_top_ = -1;   // the largest variable number of the body being walked
  double body_constant_ = 0.0;   // the last constant of the body being walked
  BodyOwner owner_{"", 0, kAnyVariable};
  std::optional<std::vector<std::int64_t>> column_ends_;
  std::vector<std::int64_t> column_counts_;
  std::vector<std::int64_t> row_marks_;
  std::int64_t row_stamp_ = 0;
  std::int64_t jacobian_terms_ = 0;
  std::int64_t gradient_terms_ = 0;
};

}  // namespace

std::optional<NlFault> walk_nl_segments(NlSegmentSource& source,
                                        const NlHeader& header,
                                        NlBodies& bodies) {
  try {
    SegmentWalk(source, header, bodies).run();
  } catch (const NlFaultThrown& thrown) {
    return thrown.fault;
  }
  return std::nullopt;
}

}  // namespace zun_driver
