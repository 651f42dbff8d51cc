// The stages of a sparse run beyond the linear phases: the derivative checks, the loading of
// the nonlinear rows and the passes of the major iterations.  They are not part of this build:
// the run ends here with the internal-error class, and nothing is changed.
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/run_state.h"

namespace zun {

int run_major_stages(RunState& /*st*/) { return end_class::kStagesUnavailable; }

}  // namespace zun
