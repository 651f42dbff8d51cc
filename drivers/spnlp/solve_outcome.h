// What the driver makes of the codes that SPNLPF returns: the workspace growth between
// re-runs and the solve message handed to the solution writer.
#pragma once

#include <optional>

namespace spnlp {

struct WorkspaceLengths {
  int leniz = 0;
  int lenz = 0;
};

// True for the codes that report a workspace too small (12, 13, 15, 16).
bool workspace_too_small(int ifail);

// The lengths for the next call after a workspace-too-small code: a workspace shorter than its
// need grows to 1.5 times the need, and the one that the code names (integer for 12 and 15,
// real for 13 and 16) at least doubles.  Computed in 64 bits; a length beyond the 32-bit range
// cannot be allocated and gives no lengths.
std::optional<WorkspaceLengths> grown_workspace(int ifail,
                                                const WorkspaceLengths& current,
                                                int neediz,
                                                int needz);

// The solve message for the final IFAIL: codes 0 to 6 have their own text, every other value
// (negative ones included) the last one.
const char* solve_message(int ifail);

}  // namespace spnlp
