// Input checks of the sparse solver: sizes, lengths, START and the column-compressed matrix
// (mode 1), then ISTATE, the objective row and the bounds (mode 2).  Each failed check counts
// one error and, when the failure mode asks for messages, writes " ** On entry" records to
// the error unit.
#pragma once

#include <string>

#include "library/sparse_sqp/sparse_problem.h"

namespace zun {

// Runs the checks of MODE (1 or 2).  Mode 1 sets NERR and uses IZ(1..M+N) as scratch (only
// once the lengths passed); mode 2 adds to NERR and does nothing when NERR is not 0 on entry.
// bigbnd: the infinite bound size (mode 2; 0 or less means 1e20).  ifail: the failure mode.
void check_sparse_inputs(
    int mode, int& nerr, const SparseProblem& p, int* iz, int error_unit, double bigbnd, int ifail);

struct DuplicateRow {
  bool found = false;
  long long position = 0;  // 1-based element index of the repeated row
  int column = 0;
};

// Finds the first row repeated within a column.  counts(j): elements of column j (size n);
// tags(1..m): scratch.
DuplicateRow find_duplicate_row(
    int m, int n, const int* ha, const int* counts, const int* ka, int* tags);

// The 8-character name of column or row K (1-based over columns then rows).
std::string row_column_name(int k,
                            int n,
                            int ncnln,
                            int nname,
                            int nm,
                            const char* namev,
                            int namev_len,
                            int iobj,
                            bool dummy_row);

}  // namespace zun
