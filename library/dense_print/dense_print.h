// Printers of the dense solver that both the QP/LS solver and the SQP iterations call: the QP
// iteration log, the QP multipliers, the final solution table and the predicted status of the
// constraints at the final point.
//
// Units come from the dense option store's integer words (iw, 1-based): the print file
// (word 317) and the monitoring file (word 318); a negative unit prints nothing.  Arrays are
// 1-based in meaning; constraint numbering: 1..n variables, then the linear rows, then the
// nonlinear rows.
#pragma once

#include <string_view>

#include "library/support/option_store.h"

namespace zun {

// Writes one record given as a string (through the line writer).
void write_text_line(int unit, std::string_view text);

// Two-character texts of the status codes -2..4: "--", "++", "FR", "LL", "UL", "EQ", "TF".
const char* status_letters(int status);

// One line of the QP iteration log (nothing below QP print level 5).  prbtyp: "FP" or "QP"
// (two characters).  hessian: the reduced Hessian is in use (the Cond Rz column).  kinds: two
// letters, the kind of the deleted and of the added constraint (blank when there is none).
// lines_monitor, lines_print: the line counters of the two files, kept by the caller for one
// solve.  At QP print level 20 and above the values and status of the constraints (x, ax,
// istate), the anti-diagonal of T (nactiv rows, T's column nz+1..nfree) and the diagonal of R
// (nrank) follow on the monitoring file.
void print_qp_iteration(const char* prbtyp,
                        const Logical& hessian,
                        const int& msglvl,
                        const int* iw,
                        int& lines_monitor,
                        int& lines_print,
                        const int& iter,
                        const int& jdel,
                        const int& jadd,
                        const char* kinds,
                        const double& step,
                        const int& ninf,
                        const double& sinf_or_obj,
                        const int& nbnd,
                        const int& nactiv,
                        const int& nart,
                        const int& nzr,
                        const double& gznorm,
                        const double& cond_t,
                        const double& cond_rz,
                        const int& n,
                        const int& nclin,
                        const int& nfree,
                        const int& nrank,
                        const int& ldt,
                        const int& ldr,
                        const int* istate,
                        const double* x,
                        const double* ax,
                        const double* t,
                        const double* r,
                        int prbtyp_len,
                        int kinds_len);

// The multipliers of the working set on the monitoring file (QP print level 20 and above):
// the general rows (row number, multiplier), the bounds of the fixed variables (variable,
// multiplier) and the artificial constraints (-|gq(i)|, i = nzr+1..nz), then the constraint
// that leaves the working set (jdel > 0 a constraint, jdel < 0 the artificial one -jdel).
void print_qp_multipliers(const char* prbtyp,
                          const int& msglvl,
                          const int* iw,
                          const int& n,
                          const int& nactiv,
                          const int& nfree,
                          const int& nz,
                          const int& nzr,
                          const int* kactiv,
                          const int* kx,
                          const double* clamda,
                          const double* gq,
                          const int& jdel,
                          int prbtyp_len);

// The final solution table on the print file, when the print level is 1 or at least 10:
// variables ("Varbl"), linear rows ("L Con") and nonlinear rows ("N Con"), each row with its
// flag, status letters, value, bounds, multiplier and slack.  Arrays of n + nclin + ncnln.
void print_solution_table(const int& print_level,
                          const int* iw,
                          const int& n,
                          const int& nclin,
                          const int& ncnln,
                          const double& bigbnd,
                          const int* istate,
                          const double* values,
                          const double* bl,
                          const double* bu,
                          const double* clamda,
                          const double* featol);

// The constraint values at x (x, A x, and the nonlinear values c(1..ncnln)) and the predicted
// status of each: the working-set status (1..4) where it is positive, otherwise -2 below bl
// beyond its tolerance, -1 above bu beyond it, else 0.
void predict_constraint_status(const int& n,
                               const int& nclin,
                               const int& ncnln,
                               const int& lda,
                               const int* istate,
                               const double* a,
                               const double* x,
                               const double* c,
                               const double* bl,
                               const double* bu,
                               const double* featol,
                               double* values,
                               int* predicted);

}  // namespace zun
