// Reading and checking the ten header lines of a .nl file.
#include "drivers/common/nl_header.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "drivers/common/nl_line.h"

namespace zun_driver {

namespace {

constexpr int kHeaderLines = 10;
constexpr std::int64_t kLargestCount = std::numeric_limits<std::int32_t>::max();
// The arithmetic codes the reader knows: none stated, IEEE little-endian, IEEE big-endian; the
// code of a field that is not an integer.
constexpr std::int64_t kArithmeticUnstated = 0;
constexpr std::int64_t kLargestArithmetic = 2;
constexpr std::int64_t kUnreadableCode = -1;
// The option counts that the reader takes after the format letter of line 1, and that its .sol
// reader takes back: none (0), or 3 to 9.
constexpr std::int64_t kFewestOptions = 3;
constexpr std::int64_t kMostOptions = 9;

// A count field of the header: its line (1-based), its position on the line (0-based), the
// member of NlHeader it fills, its name in messages, and whether the file's size bounds it.
struct CountField {
  int line;
  int position;
  std::int64_t NlHeader::*member;
  const char* name;
  bool sized = true;
};

constexpr std::array<CountField, 28> kCountFields = {{
    {2, 0, &NlHeader::variables, "number of variables"},
    {2, 1, &NlHeader::constraints, "number of constraints"},
    {2, 2, &NlHeader::objectives, "number of objectives"},
    {2, 3, &NlHeader::ranges, "number of ranges"},
    {2, 4, &NlHeader::equations, "number of equations"},
    {3, 0, &NlHeader::nonlinear_constraints, "number of nonlinear constraints"},
    {3, 1, &NlHeader::nonlinear_objectives, "number of nonlinear objectives"},
    {4, 0, &NlHeader::nonlinear_network_constraints, "number of nonlinear network constraints"},
    {4, 1, &NlHeader::linear_network_constraints, "number of linear network constraints"},
    {5, 0, &NlHeader::nonlinear_constraint_vars, "number of nonlinear variables in constraints"},
    {5, 1, &NlHeader::nonlinear_objective_vars, "number of nonlinear variables in objectives"},
    {5, 2, &NlHeader::nonlinear_both_vars, "number of nonlinear variables in both"},
    {6, 0, &NlHeader::linear_network_vars, "number of linear network variables"},
    {6, 1, &NlHeader::functions, "number of functions"},
    {7, 0, &NlHeader::linear_binary_vars, "number of binary variables"},
    {7, 1, &NlHeader::linear_integer_vars, "number of integer variables"},
    {7, 2, &NlHeader::nonlinear_both_integer_vars, "number of nonlinear integer variables (b)"},
    {7, 3, &NlHeader::nonlinear_constraint_integer_vars,
     "number of nonlinear integer variables (c)"},
    {7, 4, &NlHeader::nonlinear_objective_integer_vars,
     "number of nonlinear integer variables (o)"},
    {8, 0, &NlHeader::jacobian_nonzeros, "number of Jacobian nonzeros"},
    {8, 1, &NlHeader::gradient_nonzeros, "number of gradient nonzeros"},
    {9, 0, &NlHeader::longest_row_name, "longest constraint name", false},
    {9, 1, &NlHeader::longest_variable_name, "longest variable name", false},
    {10, 0, &NlHeader::common_both, "number of common expressions (b)"},
    {10, 1, &NlHeader::common_constraints, "number of common expressions (c)"},
    {10, 2, &NlHeader::common_objectives, "number of common expressions (o)"},
    {10, 3, &NlHeader::common_single_constraint, "number of common expressions (c1)"},
    {10, 4, &NlHeader::common_single_objective, "number of common expressions (o1)"},
}};

std::string line_name(int line) { return "line " + std::to_string(line); }

// The header's lines without their line ends; fewer than ten when the text ends early.
std::vector<std::string_view> header_lines(std::string_view text, std::uint64_t& end_offset) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (static_cast<int>(lines.size()) < kHeaderLines) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) break;
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  end_offset = at;
  return lines;
}

std::optional<NlFault> read_count(const CountField& field,
                                  const std::vector<std::string_view>& fields,
                                  std::uint64_t file_size,
                                  NlHeader& header) {
  const std::string where = line_name(field.line);
  if (static_cast<int>(fields.size()) <= field.position) {
    return NlFault{where, std::string("the ") + field.name + " is missing"};
  }
  const std::string_view token = fields[static_cast<std::size_t>(field.position)];
  const auto value = parse_integer(token);
  if (!value) {
    return NlFault{where, std::string("the ") + field.name + " \"" + std::string(token) +
                              "\" is not an integer"};
  }
  if (*value < 0 || *value > kLargestCount) {
    return NlFault{where, std::string("the ") + field.name + " " + std::to_string(*value) +
                              " is out of range (0 to " + std::to_string(kLargestCount) + ")"};
  }
  if (field.sized && static_cast<std::uint64_t>(*value) > file_size) {
    return NlFault{where, std::string("the ") + field.name + " " + std::to_string(*value) +
                              " is out of range (0 to the file size " + std::to_string(file_size) +
                              ")"};
  }
  header.*field.member = *value;
  return std::nullopt;
}

// The relations between counts whose breach would make a reader index past its arrays.
std::optional<NlFault> check_relations(const NlHeader& h) {
  struct Relation {
    std::int64_t part;
    std::int64_t whole;
    int line;
    const char* what;
  };
  const std::int64_t discrete =
      h.linear_binary_vars + h.linear_integer_vars + h.nonlinear_both_integer_vars +
      h.nonlinear_constraint_integer_vars + h.nonlinear_objective_integer_vars;
  const std::array<Relation, 6> relations = {{
      {h.nonlinear_constraints, h.constraints, 3, "more nonlinear constraints than constraints"},
      {h.nonlinear_objectives, h.objectives, 3, "more nonlinear objectives than objectives"},
      {h.nonlinear_constraint_vars, h.variables, 5,
       "more nonlinear variables in constraints than variables"},
      {h.nonlinear_objective_vars, h.variables, 5,
       "more nonlinear variables in objectives than variables"},
      {h.nonlinear_both_vars, h.variables, 5, "more nonlinear variables in both than variables"},
      {discrete, h.variables, 7, "more discrete variables than variables"},
  }};
  for (const Relation& r : relations) {
    if (r.part > r.whole) return NlFault{line_name(r.line), r.what};
  }
  return std::nullopt;
}

// The optional count at `position` of a line's `fields` (the logical constraints after the
// five counts of line 2); an unreadable field counts as none.
std::int64_t optional_count(const std::vector<std::string_view>& fields,
                            std::size_t position,
                            std::uint64_t file_size) {
  if (fields.size() <= position) return 0;
  const auto value = parse_integer(fields[position]);
  if (!value || *value < 0 || *value > kLargestCount ||
      static_cast<std::uint64_t>(*value) > file_size) {
    return 0;
  }
  return *value;
}

// The option count that follows the format letter of `first` (line 1), as an integer prefix
// (a sign, then digits; 0 when there is none), saturated beyond the 32-bit range.
std::int64_t option_count(std::string_view first) {
  std::size_t at = 1;
  const bool negative = at < first.size() && first[at] == '-';
  if (at < first.size() && (first[at] == '-' || first[at] == '+')) ++at;
  std::int64_t count = 0;
  for (; at < first.size() && first[at] >= '0' && first[at] <= '9'; ++at) {
    count = std::min(count * 10 + (first[at] - '0'), kLargestCount + 1);
  }
  return negative ? -count : count;
}

// True when a carriage return comes before the line's last character that is not a blank
// (the reader ends its reading of a header line there).
bool carriage_return_inside(std::string_view line) {
  const std::size_t last = line.find_last_not_of(" \t\r");
  return last != std::string_view::npos && line.substr(0, last).find('\r') != std::string_view::npos;
}

}  // namespace

std::optional<NlFault> read_nl_header(std::string_view text,
                                      std::uint64_t file_size,
                                      NlHeader& header) {
  header = NlHeader{};
  const std::vector<std::string_view> lines = header_lines(text, header.end_offset);
  if (static_cast<int>(lines.size()) < kHeaderLines) {
    return NlFault{line_name(static_cast<int>(lines.size()) + 1),
                   "the file ends inside the ten header lines"};
  }
  const std::string_view first = lines[0];
  if (first.empty() || (first[0] != 'g' && first[0] != 'b')) {
    return NlFault{line_name(1), "the file does not start with 'g' (text) or 'b' (binary)"};
  }
  header.binary = first[0] == 'b';
  const std::int64_t options = option_count(first);
  if (options != 0 && (options < kFewestOptions || options > kMostOptions)) {
    return NlFault{line_name(1), "the option count " + std::to_string(options) +
                                     " is out of range (0, or 3 to 9)"};
  }
  std::array<std::vector<std::string_view>, kHeaderLines + 1> fields;
  for (int line = 1; line <= kHeaderLines; ++line) {
    if (carriage_return_inside(lines[static_cast<std::size_t>(line - 1)])) {
      return NlFault{line_name(line), "a carriage return inside the line"};
    }
  }
  for (int line = 2; line <= kHeaderLines; ++line) {
    fields[static_cast<std::size_t>(line)] =
        split_fields(lines[static_cast<std::size_t>(line - 1)]);
  }
  for (const CountField& field : kCountFields) {
    if (auto fault =
            read_count(field, fields[static_cast<std::size_t>(field.line)], file_size, header)) {
      return fault;
    }
  }
  constexpr std::size_t kLogicalConstraintsField = 5;
  constexpr std::size_t kArithmeticField = 2;
  header.logical_constraints = optional_count(fields[2], kLogicalConstraintsField, file_size);
  if (fields[6].size() > kArithmeticField) {
    header.arithmetic = parse_integer(fields[6][kArithmeticField]).value_or(kUnreadableCode);
  }
  if (header.arithmetic < kArithmeticUnstated || header.arithmetic > kLargestArithmetic) {
    return NlFault{line_name(6), "the arithmetic code " + std::to_string(header.arithmetic) +
                                     " is not a binary format this reader knows"};
  }
  return check_relations(header);
}

}  // namespace zun_driver
