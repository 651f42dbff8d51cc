// The feasibility phases for the linear constraints: the crash, the start states and Phase
// 1A (the linear equality rows), then Phase 1 or 1B (all linear rows) and the norm(x - x0)
// problem that keeps the nonlinear variables near their start.  The nonlinear rows are free
// while these run.
#pragma once

#include "library/sparse_sqp/run_state.h"

namespace zun {

// Sets st.end_class, NINFS and SUMINF.  PRINT_LEVEL: the minor print level of the run.
void make_linear_rows_feasible(RunState& st, int print_level);

// Called only when there are linear rows and the first phase ended with end class 0.
void find_point_near_start(RunState& st, int print_level);

}  // namespace zun
