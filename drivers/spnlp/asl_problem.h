// The driver's view of the problem in the ASL record `spnlp::asl`.
#pragma once

#include <optional>

#include "drivers/spnlp/problem_arrays.h"

namespace spnlp {

// The problem of the record after fg_read (bounds, start point and starting duals read into
// the arrays the driver allocated), with objective index `objective` (0-based, -1 none).
// Nothing when the record's counts or linear-term lists are not consistent (a corrupt .nl
// file).  Throws std::bad_alloc when memory runs out.
std::optional<ProblemShape> read_problem_shape(int objective);

}  // namespace spnlp
