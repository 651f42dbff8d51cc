// Start states of a sparse solve: a consistent set of VariableState codes (0 nonbasic at the
// lower bound, 1 at the upper bound, 2 superbasic, 3 basic; inside the solver also -1
// nonbasic between its bounds and 4 fixed) for the nb = N + M variables and slacks.
#pragma once

#include <string_view>

namespace zun {

// Normalises STATE(nb) and X(nb) in place: at most M basics and LIMIT superbasics, every
// nonbasic at or between its bounds.  The superbasics found go to BS_INDEX(M+1..M+NS)
// (BS_INDEX has M + LIMIT entries, 1-based values).  objective_row > 0 makes its slack basic.
// Reads IZ(13), IZ(92) (warning on the monitoring file) and Z(70) (infinite bound size).
void normalize_start_states(int m,
                            int limit,
                            int n,
                            int nb,
                            int& ns,
                            int objective_row,
                            int* state,
                            int* bs_index,
                            const double* bl,
                            const double* bu,
                            double* x,
                            const int* iz,
                            const double* z);

// MODE "Fix " (first 4 characters): superbasics among entries 1..count_fix return to
// nonbasic codes (4, 0, -1 or 1).  "Free": nonbasics between their bounds (state -1) among
// entries 1..count_free become superbasic, up to LIMIT; their index, bounds and value go to
// BS_INDEX, BL_BS, BU_BS, X_BS at M + NS (arrays of M + LIMIT entries).  NS := 0 first.
void fix_or_free_superbasics(std::string_view mode,
                             int m,
                             int limit,
                             int count_free,
                             int count_fix,
                             int& ns,
                             int* state,
                             int* bs_index,
                             const double* bl,
                             const double* bu,
                             double* bl_bs,
                             double* bu_bs,
                             const double* x,
                             double* x_bs);

}  // namespace zun
