// The arguments of one sparse solve (SparseProblem), gathered as SPNLPF received them so that
// the input checks, the top level and the solve stages share one view of them.  Arrays keep
// their 1-based meaning: HA holds row numbers 1..M, KA column starts 1..NNZ+1; BL, BU, XV,
// ISTATE and MULT run over the N columns and then the M rows.
#pragma once

#include "library/sparse_sqp/sparse_sqp.h"

namespace zun {

struct SparseProblem {
  ConstraintRoutine confun = nullptr;
  ObjectiveRoutine objfun = nullptr;
  int n = 0;      // columns
  int m = 0;      // rows
  int ncnln = 0;  // nonlinear rows 1..ncnln
  int nonln = 0;  // nonlinear objective columns 1..nonln
  int njnln = 0;  // nonlinear Jacobian columns 1..njnln
  int iobj = 0;   // linear objective row, 0 none, -1 dummy free row
  int nnz = 0;
  const double* aval = nullptr;  // size nnz
  const int* ha = nullptr;       // size nnz
  const int* ka = nullptr;       // size n+1
  const double* bl = nullptr;    // size n+m
  const double* bu = nullptr;    // size n+m
  char start = 'C';
  int nname = 1;                // 1 or n+m
  const char* namev = nullptr;  // nname names of namev_len characters each
  int namev_len = 8;
  int* nsb = nullptr;
  double* xv = nullptr;    // size n+m
  int* istate = nullptr;   // size n+m
  double* mult = nullptr;  // size n+m
  int* neediz = nullptr;
  int* needz = nullptr;
  int* ninfs = nullptr;
  double* suminf = nullptr;
  double* objv = nullptr;
  int* iz = nullptr;
  int leniz = 0;
  double* z = nullptr;
  int lenz = 0;
  int* iusr = nullptr;
  double* rusr = nullptr;
};

}  // namespace zun
