// The check of the segments of a binary .nl file.
#include "drivers/common/nl_binary_check.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

#include "drivers/common/nl_line.h"

namespace zun_driver {

namespace {

// The header's arithmetic codes: none given, IEEE little-endian, IEEE big-endian.
constexpr std::int64_t kArithmeticUnstated = 0;
constexpr std::int64_t kLittleEndian = 1;
constexpr std::int64_t kBigEndian = 2;
constexpr std::int64_t kNativeArithmetic =
    std::endian::native == std::endian::little ? kLittleEndian : kBigEndian;

// Field sizes of the binary format.
constexpr std::size_t kIntegerBytes = 4;
constexpr std::size_t kShortBytes = 2;
constexpr std::size_t kRealBytes = 8;
// The longest function or suffix name the reader takes.
constexpr std::int64_t kLongestName = 127;
// The number of slopes of a piecewise-linear term is at least this.
constexpr std::int64_t kFewestSlopes = 1;

// How the reader takes the operands of each operator code (0 to kOperatorCount - 1).
enum OperandKind : unsigned char {
  kUnknown = 0,   // not an operator of a .nl file
  kOne = 1,       // one operand
  kTwo = 2,       // two operands
  kListed = 3,    // a count, then that many operands
  kPiecewise = 4, // a count k, 2k - 1 numbers, then one operand
  kThree = 5,     // three operands
};

constexpr std::size_t kOperatorCount = 83;
// 0-6 arithmetic, 11-12 min and max lists, 13-16 unary, 20-30 comparisons and logic, 34 not,
// 35 if, 37-53 functions (48 atan2), 54 sums, 55-58 integer division and rounding, 59-61
// counts, 62-63 and 66-69 cardinality, 64 piecewise-linear, 65 symbolic if, 70-71 logical
// lists, 72 implication, 73 equivalence, 74-75 all-different, 77 square.  76 and 78 (powers
// with a constant operand) are the reader's own forms, which it reads with one operand and
// cannot evaluate; 79 to 82 are written with their own item letters.
constexpr std::array<unsigned char, kOperatorCount> kOperands = {
    2, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0, 3, 3, 1, 1, 1, 1, 0, 0, 0, 2, 2, 2, 2, 2, 0, 0, 0,
    2, 2, 2, 0, 0, 0, 1, 5, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 3, 2,
    2, 2, 2, 3, 3, 3, 2, 2, 4, 5, 2, 2, 2, 2, 3, 3, 5, 2, 3, 3, 0, 1, 0, 0, 0, 0, 0};

class BinarySource : public NlSegmentSource {
 public:
  BinarySource(std::string_view body, std::uint64_t offset, std::uint64_t file_size, bool swap)
      : body_(body),
        offset_(static_cast<std::int64_t>(offset)),
        file_size_(static_cast<std::int64_t>(file_size)),
        swap_(swap) {}

  bool next_segment(char& key) override {
    if (at_ >= body_.size()) return false;
    field_ = at_;
    key = body_[at_++];
    segment_ = key;
    return true;
  }

  void next_entry(const char*) override {}

  std::int64_t integer(const char* what) override {
    std::int32_t value = 0;
    take(&value, kIntegerBytes, what);
    return value;
  }

  double real_number(const char* what) override {
    double value = 0.0;
    take(&value, kRealBytes, what);
    return value;
  }

  void suffix_value(bool real_values) override {
    if (real_values) {
      real_number("suffix value");
    } else {
      integer("suffix value");
    }
  }

  void name(const char* what) override { text(what, kLongestName); }

  std::int64_t bound_type() override {
    char type = 0;
    take(&type, 1, "bound type");
    return static_cast<std::int64_t>(type) - '0';
  }

  bool expression(const char*, NlExpressionChecks& checks) override {
    std::int64_t pending = 1;
    bool constant = false;
    for (bool first = true; pending > 0; first = false) {
      --pending;
      char item = 0;
      take(&item, 1, "expression item");
      constant = first && is_number(item);
      pending = add(pending, item_operands(item, checks));
    }
    return constant;
  }

  [[noreturn]] void fail(const std::string& what) const override {
    throw NlFaultThrown{
        NlFault{"byte " + std::to_string(offset_ + static_cast<std::int64_t>(field_)), what}};
  }

  std::int64_t file_size() const override { return file_size_; }

 private:
  // Copies the next `size` bytes into `out` in this machine's byte order.
  void take(void* out, std::size_t size, const char* what) {
    field_ = at_;
    if (body_.size() - at_ < size) {
      fail(std::string("the file ends inside a '") + segment_ + "' segment, at its " + what);
    }
    std::memcpy(out, body_.data() + at_, size);
    if (swap_) {
      auto* bytes = static_cast<unsigned char*>(out);
      std::reverse(bytes, bytes + size);
    }
    at_ += size;
  }

  // A length and that many bytes.
  void text(const char* what, std::int64_t longest) {
    const std::int64_t length = integer(what);
    if (length < 0 || length > longest ||
        static_cast<std::uint64_t>(length) > body_.size() - at_) {
      fail(std::string("the length ") + std::to_string(length) + " of the " + what +
           " is out of range");
    }
    at_ += static_cast<std::size_t>(length);
  }

  static bool is_number(char item) { return item == 'n' || item == 'l' || item == 's'; }

  void number(char item, NlExpressionChecks& checks) {
    switch (item) {
      case 'n':
        checks.constant(real_number("constant"));
        break;
      case 'l':
        checks.constant(static_cast<double>(integer("constant")));
        break;
      default: {
        std::int16_t value = 0;
        take(&value, kShortBytes, "constant");
        checks.constant(value);
      }
    }
  }

  // An operand count: each operand takes at least one byte.
  std::int64_t count(const char* what, std::int64_t fewest) {
    const std::int64_t n = integer(what);
    const auto left = static_cast<std::int64_t>(body_.size() - at_);
    if (n < fewest || n > left) {
      fail(std::string("the ") + what + " " + std::to_string(n) + " is out of range (" +
           std::to_string(fewest) + " to " + std::to_string(left) + ")");
    }
    return n;
  }

  std::int64_t add(std::int64_t pending, std::int64_t operands) const {
    const std::int64_t total = pending + operands;
    if (total > static_cast<std::int64_t>(body_.size() - at_)) {
      fail("the expression has more operands than the file has bytes");
    }
    return total;
  }

  // Reads one expression item after its letter; returns the operands that follow it.
  std::int64_t item_operands(char item, NlExpressionChecks& checks) {
    if (is_number(item)) {
      number(item, checks);
      return 0;
    }
    switch (item) {
      case 'o':
        return operator_operands(checks);
      case 'v':
        checks.variable(integer("variable number"));
        return 0;
      case 'f':
        checks.function(integer("function number"));
        return count("argument count", 0);
      case 'h':
        text("string", file_size_);
        return 0;
      default:
        fail(quoted_character(item) + " does not start an expression item");
    }
  }

  std::int64_t operator_operands(NlExpressionChecks& checks) {
    const std::int64_t code = integer("operator number");
    const unsigned char kind =
        code >= 0 && code < static_cast<std::int64_t>(kOperatorCount)
            ? kOperands[static_cast<std::size_t>(code)]
            : static_cast<unsigned char>(kUnknown);
    switch (kind) {
      case kOne:
        return 1;
      case kTwo:
        return 2;
      case kThree:
        return 3;
      case kListed:
        return count("operand count", 1);
      case kPiecewise:
        return piecewise_operands(checks);
      default:
        fail("the operator number " + std::to_string(code) + " is not one the reader knows");
    }
  }

  // A piecewise-linear term: k slopes and k - 1 breakpoints as numbers, then its operand.
  std::int64_t piecewise_operands(NlExpressionChecks& checks) {
    const std::int64_t slopes = count("slope count", kFewestSlopes);
    for (std::int64_t i = 0; i < 2 * slopes - 1; ++i) {
      char item = 0;
      take(&item, 1, "breakpoint or slope");
      if (!is_number(item)) fail("a breakpoint or slope is not a number");
      number(item, checks);
    }
    return 1;
  }

  std::string_view body_;
  std::int64_t offset_;
  std::int64_t file_size_;
  bool swap_;
  std::size_t at_ = 0;     // the next byte of `body_`
  std::size_t field_ = 0;  // the first byte of the field being read
  char segment_ = ' ';
};

}  // namespace

std::optional<NlFault> check_nl_binary(std::string_view body,
                                       std::uint64_t body_offset,
                                       const NlHeader& header,
                                       std::uint64_t file_size,
                                       NlBodies& bodies) {
  const bool swap =
      header.arithmetic != kArithmeticUnstated && header.arithmetic != kNativeArithmetic;
  BinarySource source(body, body_offset, file_size, swap);
  return walk_nl_segments(source, header, bodies);
}

}  // namespace zun_driver
