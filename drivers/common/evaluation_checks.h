// What both drivers ask of a value or derivative that the ASL hands back.
#pragma once

#include <cstddef>

namespace zun_driver {

// False when some entry overflowed or is not a number: such a result cannot be used any more
// than one that the ASL refused, so the drivers treat it as an evaluation error at the point.
bool all_finite(const double* v, std::size_t count);

// The length of constraint `row`'s Jacobian list (0-based row), which is that of its compact
// gradient.
std::size_t jacobian_list_length(int row);

}  // namespace zun_driver
