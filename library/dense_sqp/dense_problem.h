// The argument set of DNNLPF as the solver's routines share it: sizes by value, the caller's
// arrays as 1-based views.  Built once per call by the entry.
#pragma once

#include "library/support/column_major.h"
#include "library/support/one_based.h"

namespace zun {

struct DenseProblem {
  int& irevcm;
  int n;
  int nclin;
  int ncnln;
  int lda;
  int ldcj;
  int ldr;
  ColumnMajorView<const double> a;  // NCLIN x N, leading dimension LDA
  Words<const double> bl;           // N + NCLIN + NCNLN
  Words<const double> bu;
  int& niter;
  Words<int> istate;
  Words<double> c;                   // NCNLN
  ColumnMajorView<double> jacnl;     // NCNLN x N, leading dimension LDCJ
  Words<double> mult;                // N + NCLIN + NCNLN
  double& objv;
  Words<double> objg;                // N
  ColumnMajorView<double> r;         // N x N, leading dimension LDR
  Words<double> x;                   // N
  Words<int> needrow;                // NCNLN
  Words<int> iwork;
  int leniw;
  Words<double> work;
  int lenw;
  int& ifail;

  int total() const { return n + nclin + ncnln; }
};

}  // namespace zun
