// What the two minor-iteration loops (the phase-1 LP and the subproblem iterations)
// share: their messages, the residual check and the decision to refactorise after a step.
#pragma once

#include <string_view>

#include "library/sparse_qp/sparse_qp.h"

namespace zun::qp {

// " Itn" itn " -- No. of infeasible non-elastic variables = " count (and the monitoring-file
// form) when the print level asks for messages.
void report_infeasible_count(const int* iz, int itn, int print_level, int count);

// The messages of the switch to elastic mode.
void report_elastic_start(const int* iz, int itn, int print_level, std::string_view label);

// "Check residuals" of the rows over the positions 1..nbs; true when they pass.
bool residuals_pass(int itn,
                    int m,
                    int n,
                    int nbs,
                    const ColumnMatrix& a,
                    const BasisArrays& basis,
                    int* iz,
                    double* z,
                    int print_level);

// The reason to refactorise after a successful step (or 0): the update count, the growth of
// the LU factors beyond twice lu_reference, or (every check-frequency iterations, unless the
// basics are to be reset anyway) failed row residuals.
int refactor_reason_after_step(int itn,
                               int m,
                               int n,
                               int nbs,
                               double lu_reference,
                               bool reset_basics,
                               const ColumnMatrix& a,
                               const BasisArrays& basis,
                               int* iz,
                               double* z,
                               int print_level);

// The fields of a log line that both loops fill alike.
MinorLogLine log_line_base(std::string_view kind,
                           std::string_view label,
                           bool elastic,
                           int print_level,
                           int itn,
                           int section,
                           double djq,
                           const int* iz);

}  // namespace zun::qp
