// One factorisation of the basis (or of the basic and superbasic columns together) and the
// repairs that its outcome asks of the states: a new split between basics and superbasics,
// dependent columns replaced by slacks.
#pragma once

#include <string_view>

#include "library/sparse_qp/sparse_qp.h"

namespace zun::qp {

// Inform codes of factorize_basis.
struct FactorInform {
  static constexpr int kOk = 0;
  static constexpr int kSingular = 1;
  static constexpr int kToleranceReduced = 2;  // factorise again
  static constexpr int kDataError = 3;         // 3 to 6
  static constexpr int kStorage = 7;           // 7 and above
};

// Factorises "B " (the m columns BsIndex(1..m)) or "BS" (the nbs columns BsIndex(1..nbs),
// rows of slack columns taken out) with the LU of the workspace.  row_flags: m integers of
// work.  Returns a FactorInform code; an LU inform 8 is a data error.
int factorize_basis(std::string_view basis_type,
                    int print_level,
                    int m,
                    int n,
                    int nbs,
                    const ColumnMatrix& a,
                    int* row_flags,
                    const int* bs_index,
                    int* iz,
                    double* z,
                    int itn,
                    LuFactorRoutine lu_factor);

// After a "BS" factorisation: BsIndex(k) := saved(ColPerm(k)); positions 1..m basic, the rest
// superbasic.  Returns the number of positions above m whose variable was not superbasic.
int repartition_basis(int nbs, int m, int* state, const int* col_perm, int* bs_index, int* saved);

// After a singular "B " factorisation: each dependent column (w(ColPerm(k)) <= 0) leaves the
// basis for the slack of row RowPerm(k).  Returns the number of slacks inserted.
int replace_by_slacks(int unit,
                      int m,
                      int n,
                      const double* w,
                      const int* row_perm,
                      const int* col_perm,
                      const double* bl,
                      const double* bu,
                      int* state,
                      const int* bs_index,
                      double* x,
                      int print_level);

// A nonbasic variable leaving the basis with value x: onto a bound it lies beyond, else
// between its bounds; fixed when bl = bu.  Returns its internal state.
int leave_basis_state(double bl, double bu, double& x);

}  // namespace zun::qp
