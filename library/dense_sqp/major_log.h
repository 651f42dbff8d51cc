// The major-iteration log of the dense solver: a long line on the monitoring file and a short
// one on the print file.
#pragma once

#include "library/dense_sqp/dense_store.h"

namespace zun {

// One major iteration as the log shows it.
struct MajorLogLine {
  bool nonlinear = false;  // NCNLN > 0: merit function, violation and penalty columns
  bool heading = false;    // the caller asks for the headings (first iteration of a solve)
  int major = 0;
  int minor = 0;
  int nfun = 0;
  int null_dimension = 0;
  int bounds = 0;
  int linear = 0;
  int nonlinear_rows = 0;
  double step = 0.0;
  double objective = 0.0;  // the objective, or the merit function with NCNLN > 0
  double gz_norm = 0.0;
  double violation = 0.0;
  double penalty = 0.0;
  double cond_h = 0.0;
  double cond_hz = 0.0;
  double cond_t = 0.0;
  bool converged_step = false;
  bool feasible = false;
  bool optimal = false;
  char flags[6] = "     ";
};

// What the long listing of an iteration shows at major print level 20 and above.
struct MajorLogDetail {
  int n = 0;
  int nclin = 0;
  int ncnln = 0;
  const double* values = nullptr;    // x, A x and c (n + nclin + ncnln)
  const int* status = nullptr;       // their predicted status
  double objective = 0.0;
  double violation = 0.0;            // norm of the nonlinear constraint violations
  const double* r_diagonal = nullptr;  // level 30: the diagonal of R (n)
  const double* t_diagonal = nullptr;  // level 30: the diagonal of T (nactiv)
  int nactiv = 0;
};

// Prints the line (nothing below major print level 5, word 153): on the monitoring file
// (word 318, when >= 0) and on the print file (word 317, when >= 0 and not the monitoring
// file), each with its heading at the first iteration, at level 20 and above (monitoring file
// only) or after 50000 lines; the line counters are integer words 601 and 602.
// At level 20 and above the monitoring file also gets the iteration's title before the line and
// DETAIL after it (the values and predicted status of the constraints; at level 30 the
// diagonals of T and R), closed by a rule.
void print_dense_major_iteration(const MajorLogLine& line,
                                 const MajorLogDetail& detail,
                                 DenseStoreView store);

}  // namespace zun
