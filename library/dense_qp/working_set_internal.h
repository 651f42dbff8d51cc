// Internal helpers of the working set shared by its set-up and its updates.
#pragma once

#include "library/support/option_store.h"

namespace zun::working_set {

// The factors and companions that a change of the working set rotates or permutes (see
// working_set.h): Q (ldq), R (ldr, rows 1..nrank used), the ngq gradient columns and the nres
// residual columns (ld n each), VarOrder kx.
struct Factors {
  int n = 0;
  int nrank = 0;
  bool unit_q = true;
  int* kx = nullptr;
  double* q = nullptr;
  int ldq = 1;
  double* r = nullptr;
  int ldr = 1;
  double* gq = nullptr;
  int ngq = 0;
  double* res = nullptr;
  int nres = 0;
};

// Largest and smallest |T(i, nfree+1-i)|, i = 1..nactiv, by abs_range (both 0 when nactiv < 1).
void t_diagonal_range(const double* t, int ldt, int nactiv, int nfree, double& dmax, double& dmin);

// Exchanges basis places j1 and j2 (both within 1..n): the columns of Q (q_columns with Q
// explicit, rows 1..nfree) or else the VarOrder entries, the rows of the gradient columns, and
// the columns of R over its rank, whose triangle interchange_r_columns restores (the residual
// rows following).
void swap_basis_places(const Factors& f, int nfree, int j1, int j2, bool q_columns);

// Unit Q: the variable at place ifix leaves the free set 1..nfree at place nfree, the free
// variables after it moving up one place (VarOrder, the gradient rows and R's columns, R's
// triangle restored over its rank with the residual rows following).
void move_to_last_free_place(const Factors& f, int ifix, int nfree);

}  // namespace zun::working_set
