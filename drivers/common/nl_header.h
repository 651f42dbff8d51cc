// The ten text lines that open every AMPL .nl file, text or binary, and the check of their
// counts against each other and against the size of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zun_driver {

// The counts of a .nl header (all >= 0, each fitting in 32 bits and no larger than the file).
struct NlHeader {
  bool binary = false;
  std::int64_t variables = 0;
  std::int64_t constraints = 0;
  std::int64_t objectives = 0;
  std::int64_t ranges = 0;
  std::int64_t equations = 0;
  std::int64_t logical_constraints = 0;  // an optional sixth field of line 2
  std::int64_t nonlinear_constraints = 0;
  std::int64_t nonlinear_objectives = 0;
  std::int64_t nonlinear_network_constraints = 0;
  std::int64_t linear_network_constraints = 0;
  std::int64_t nonlinear_constraint_vars = 0;
  std::int64_t nonlinear_objective_vars = 0;
  std::int64_t nonlinear_both_vars = 0;
  std::int64_t linear_network_vars = 0;
  std::int64_t functions = 0;
  std::int64_t arithmetic = 0;  // the binary format's code, an optional third field of line 6
  std::int64_t linear_binary_vars = 0;
  std::int64_t linear_integer_vars = 0;
  std::int64_t nonlinear_both_integer_vars = 0;
  std::int64_t nonlinear_constraint_integer_vars = 0;
  std::int64_t nonlinear_objective_integer_vars = 0;
  std::int64_t longest_row_name = 0;       // line 9, for the names' files only
  std::int64_t longest_variable_name = 0;
  std::int64_t jacobian_nonzeros = 0;
  std::int64_t gradient_nonzeros = 0;
  std::int64_t common_both = 0;
  std::int64_t common_constraints = 0;
  std::int64_t common_objectives = 0;
  std::int64_t common_single_constraint = 0;
  std::int64_t common_single_objective = 0;
  std::uint64_t end_offset = 0;  // byte offset just past the tenth line

  // Variables plus common expressions: the bound of every expression variable number.
  std::int64_t expression_variables() const {
    return variables + common_both + common_constraints + common_objectives +
           common_single_constraint + common_single_objective;
  }
};

// The first fault of a file: where it is ("line 7" or "byte 412") and what it is.
struct NlFault {
  std::string where;
  std::string what;
};

// Reads the header from the start of `text` (the file's first bytes; more may follow) of a file
// of `file_size` bytes.  Fills `header` and returns nothing when it is sound, else its first
// fault.  Lines may end in CR LF; fields beyond those read and text after '#' are ignored.
std::optional<NlFault> read_nl_header(std::string_view text,
                                      std::uint64_t file_size,
                                      NlHeader& header);

}  // namespace zun_driver
