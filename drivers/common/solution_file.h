// The .sol file that ends a solve.
#pragma once

struct Option_Info;

namespace zun_driver {

// True when the `n` values at `v` are all finite.
bool all_finite(const double* v, int n);

// Writes the .sol file of the record `asl` with `message`, the primal values `x` (n_var of
// them) and the row multipliers `y` (n_con), with the keyword table `info`.  A vector that holds
// a value that is not finite is left out of the file, which the ASL could not read back; so is
// the binary form for a problem without rows.
void write_solution_file(const char* message, double* x, double* y, Option_Info* info);

}  // namespace zun_driver
