// The walk over the segments that follow the header of a .nl file, shared by the text and the
// binary format: each format supplies the fields in its own encoding, the walk checks what they
// say against the header's counts and notes what the drivers need to know of the bodies.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drivers/common/nl_header.h"

namespace zun_driver {

// A number of the problem that no solve can use, and what it is ("the coefficient of variable 2
// in constraint 1", numbers 1-based).
struct UnusableNumber {
  double value = 0.0;
  std::string what;
};

// Linear coefficients of this magnitude and beyond are refused like infinite ones: the solvers
// take numbers this large for infinite bounds, and a row that holds one cannot be tested for
// feasibility at their tolerances.
constexpr double kCoefficientLimit = 1e20;

// Whether a linear coefficient can be used (false for NaN).
inline bool usable_coefficient(double c) { return std::fabs(c) < kCoefficientLimit; }

// What the walk found in the bodies of a sound file.
struct NlBodies {
  // One past the last row at or after the header's count of nonlinear rows whose body is not the
  // constant 0 (0 when there is none): the rows up to it must be evaluated by the ASL.
  std::int64_t widened_rows = 0;
  // Per objective: declared linear, yet its body is not a finite constant.
  std::vector<bool> widened_objectives;
  // Per row and per objective: the body calls an imported function, directly or through
  // defined variables.
  std::vector<bool> row_calls_function;
  std::vector<bool> objective_calls_function;
  // The first NaN constant of an expression, or the first linear coefficient of a defined
  // variable that cannot be used.
  std::optional<UnusableNumber> unusable;
};

// A fault found by the walk or by a source, carried to the entry that returns it.
struct NlFaultThrown {
  NlFault fault;
};

// The checks that an expression's items need from the walk.
class NlExpressionChecks {
 public:
  virtual ~NlExpressionChecks() = default;
  // Variable number `i` of an expression: in range and, when defined, defined before.
  virtual void variable(std::int64_t i) = 0;
  // Imported function `i` called in an expression: in range.
  virtual void function(std::int64_t i) = 0;
  // A real constant of an expression.
  virtual void constant(double value) = 0;
};

// The fields of one format, read in order.  Every reader throws NlFaultThrown (through `fail`)
// at the first field that is missing or not of its kind.
class NlSegmentSource {
 public:
  virtual ~NlSegmentSource() = default;
  // The key letter of the next segment; false at the end of the file.
  virtual bool next_segment(char& key) = 0;
  // Moves to the next entry of the current segment (`segment` names it in messages).
  virtual void next_entry(const char* segment) = 0;
  // The next integer field of the current segment line or entry.
  virtual std::int64_t integer(const char* what) = 0;
  // The next real field.
  virtual double real_number(const char* what) = 0;
  // The next value of a suffix entry, real or integer as the suffix's kind says.
  virtual void suffix_value(bool real_values) = 0;
  // The next name field.
  virtual void name(const char* what) = 0;
  // The bound type that opens an entry of a 'b' or 'r' segment.
  virtual std::int64_t bound_type() = 0;
  // Walks the expression that follows a 'C', 'L', 'O' or 'V' line, calling `checks` for its
  // variables and functions; true when it is a single constant.
  virtual bool expression(const char* segment, NlExpressionChecks& checks) = 0;
  // Throws the fault `what` at the current position.
  [[noreturn]] virtual void fail(const std::string& what) const = 0;
  // The file's size in bytes, the bound of every count.
  virtual std::int64_t file_size() const = 0;
};

// Walks every segment of `source` for a file with header `header`; returns the first fault, or
// nothing with `bodies` filled.  The checks: each index within the range the header's counts
// give, each segment once per row or object, defined variables defined once and before use,
// counts no larger than the file, the Jacobian's terms against the header and the column counts
// of the 'k' segment, and the variables of each constraint's (objective's) body, directly or
// through defined variables, among the header's nonlinear variables in constraints
// (objectives): the reader evaluates no other variable in a body.
std::optional<NlFault> walk_nl_segments(NlSegmentSource& source,
                                        const NlHeader& header,
                                        NlBodies& bodies);

}  // namespace zun_driver
