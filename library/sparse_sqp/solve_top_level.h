// The top level of a sparse solve: input checks, the workspace built from the option store,
// the option check, the workspace plan, the options listing, the solve body and IFAIL.
#pragma once

#include "library/sparse_sqp/sparse_problem.h"
#include "library/support/option_store.h"

namespace zun {

// Solves P with the options of STORE.  IFAIL: failure mode in, exit code out (through the
// failure convention under the routine code SPNLPF).
void solve_sparse_nlp(SparseProblem& p, SparseOptionStore& store, int& ifail);

// NG: the number of nonlinear Jacobian elements (elements of columns 1..NJNLN in rows
// 1..NCNLN).
long long nonlinear_jacobian_count(const SparseProblem& p);

}  // namespace zun
