// The line-by-line check of the segments of a text .nl file.
#include "drivers/common/nl_text_check.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/common/nl_line.h"

namespace zun_driver {

namespace {

constexpr int kHeaderLines = 10;

// `text` in double quotes.
std::string quoted(std::string_view text) {
  std::string q(1, '"');
  q.append(text);
  q.push_back('"');
  return q;
}

// The fields of a text file, one line per segment start and per entry.
class TextSource : public NlSegmentSource {
 public:
  TextSource(std::string_view body, std::uint64_t file_size)
      : body_(body), file_size_(static_cast<std::int64_t>(file_size)) {}

  bool next_segment(char& key) override {
    if (!next_line()) return false;
    key = letter();
    if (!starts_segment(key)) fail(quoted(line_) + " does not start a segment");
    // A bounds segment's line holds its letter alone.
    if ((key == 'r' || key == 'b') && fields_[0].size() != 1) {
      fail(quoted(line_) + " does not start a segment");
    }
    keyed_ = true;
    next_field_ = 0;
    return true;
  }

  void next_entry(const char* segment) override {
    require_line(segment);
    keyed_ = false;
    next_field_ = 0;
  }

  std::int64_t integer(const char* what) override {
    const std::string_view token = field(what);
    const auto value = parse_integer(token);
    if (!value)
      fail(std::string("the ") + what + " \"" + std::string(token) + "\" is not an integer");
    return *value;
  }

  double real_number(const char* what) override {
    const std::string_view token = field(what);
    const auto value = parse_real(token);
    if (!value) {
      fail(std::string("the ") + what + " \"" + std::string(token) + "\" is not a number");
    }
    return *value;
  }

  void suffix_value(bool) override { real_number("suffix value"); }

  void name(const char* what) override { field(what); }

  std::int64_t bound_type() override { return integer("bound type"); }

  // The lines of an expression: at least one, up to the next line that starts a segment.
  bool expression(const char* segment, NlExpressionChecks& checks) override {
    require_line(segment);
    bool constant = true;
    for (int items = 0;; ++items) {
      const bool constant_line = expression_line(checks);
      constant = items == 0 && constant_line;
      if (!next_line()) return constant;
      if (starts_segment(letter())) break;
    }
    pending_ = true;
    return constant;
  }

  [[noreturn]] void fail(const std::string& what) const override {
    throw NlFaultThrown{NlFault{"line " + std::to_string(line_number_), what}};
  }

  std::int64_t file_size() const override { return file_size_; }

 private:
  // Reads the next line unless one is pending; false at the end of the file.
  bool next_line() {
    if (pending_) {
      pending_ = false;
      return true;
    }
    if (at_ >= body_.size()) return false;
    const std::size_t end = std::min(body_.find('\n', at_), body_.size());
    line_ = body_.substr(at_, end - at_);
    at_ = end + 1;
    ++line_number_;
    split_fields(line_, fields_);
    if (fields_.empty()) fail("an empty line");
    return true;
  }

  // The next line of a segment that needs one more line.
  void require_line(const char* segment) {
    if (!next_line()) fail(std::string("the file ends inside a '") + segment + "' segment");
  }

  char letter() const { return fields_[0][0]; }

  // The next field of the line, where the first field of a segment's line is the text after
  // its key letter.
  std::string_view field(const char* what) {
    const std::size_t i = next_field_++;
    if (keyed_ && i == 0) {
      const std::string_view rest = fields_[0].substr(1);
      if (rest.empty()) fail(std::string("the ") + what + " is missing");
      return rest;
    }
    if (i >= fields_.size()) fail(std::string("the ") + what + " is missing");
    return fields_[i];
  }

  static bool starts_segment(char c) {
    return std::string_view("FSVCLOdxrbkJG").find(c) != std::string_view::npos;
  }

  static bool starts_number(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+'; }

  // Checks one expression line; true when it is a constant.
  bool expression_line(NlExpressionChecks& checks) {
    keyed_ = true;
    next_field_ = 0;
    switch (letter()) {
      case 'o':
        integer("operator number");
        return false;
      case 'v':
        checks.variable(integer("variable number"));
        return false;
      case 'n':
      case 'l':
      case 's':
        checks.constant(real_number("constant"));
        return true;
      case 'f':
        checks.function(integer("function number"));
        count("argument count");
        return false;
      case 'h':
        return false;  // a string argument of a user function
      default:
        if (fields_.size() != 1 || !starts_number(letter())) {
          fail(quoted(line_) + " is not an expression line");
        }
        keyed_ = false;
        count("operand count");
        return false;
    }
  }

  void count(const char* what) {
    const std::int64_t n = integer(what);
    if (n < 0 || n > file_size_) {
      fail(std::string("the ") + what + " " + std::to_string(n) + " is out of range (0 to " +
           std::to_string(file_size_) + ")");
    }
  }

  std::string_view body_;
  std::size_t at_ = 0;  // the start of the next line in `body_`
  std::int64_t file_size_;
  std::string_view line_;
  std::vector<std::string_view> fields_;
  std::int64_t line_number_ = kHeaderLines;
  bool pending_ = false;
  bool keyed_ = true;
  std::size_t next_field_ = 0;
};

}  // namespace

std::optional<NlFault> check_nl_text(std::string_view body,
                                     const NlHeader& header,
                                     std::uint64_t file_size,
                                     NlBodies& bodies) {
  TextSource source(body, file_size);
  return walk_nl_segments(source, header, bodies);
}

}  // namespace zun_driver
