// Test helper: whether a "converged" verdict in a .sol file holds at the point it gives.
#pragma once

#include <string>

namespace driver_test {

// Reads the problem `stub`.nl and its `stub`.sol with the ASL, in a child process (a damaged
// file cannot take the caller with it).  Empty when the .sol file is missing, its message does
// not start with "converged", or its point has a finite objective and violates no bound or row
// by more than `tolerance` relative to 1 + the largest term (|x_j| for a bound, the row value and
// each |derivative x_j| of the row); else what is wrong.
std::string converged_fault(const std::string& stub, double tolerance);

}  // namespace driver_test
