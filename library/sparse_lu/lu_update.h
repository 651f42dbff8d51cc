// Internal state of one column replacement (PRUNEP) and the upkeep of the U row file and the
// single-entry L factors that it needs.
#pragma once

#include "library/sparse_lu/lu_internal.h"

namespace zun::lu {

struct Update {
  Factors f;
  Array1<double> w;  // work, n reals: the spike row by columns during its elimination
  double small = 0.0;
  double ltol2 = 0.0;
  double utol1 = 0.0;
  double utol2 = 0.0;
  double uspace = 0.0;
  int nrank = 0;
  int len_l = 0;
  int len_u = 0;
  int lrow = 0;

  // Free places between the end of the row file and the L factors.
  std::int64_t room() const { return static_cast<std::int64_t>(f.lena) - len_l - lrow; }
};

// Makes at least `need` free places after the row file, compressing it when necessary.
// False when even the compressed file leaves too little room.
bool ensure_row_room(Update& u, std::int64_t need);

// Compresses the U row file (its rows with positive length).
void compress_u_rows(Update& u);

// Moves row i to the end of the row file (room checked by the caller).
void move_row_to_end(Update& u, int i);

// Appends (value, column j) to row i, moving the row to the end when it cannot grow in place.
// False on a storage shortage.
bool append_to_row(Update& u, int i, double value, int j);

// Removes the entry at place l of row i (the row's last entry takes its place).
void remove_from_u_row(Update& u, int i, int l);

// Adds the single-entry L factor v(target) += mult * v(source).  False on a storage shortage.
bool add_l_factor(Update& u, double mult, int target, int source);

// Pulls the row file end back over trailing empty places.
void pull_back_rows(Update& u);

// RowPerm (and ColPerm) entries first..last rotated: the entry at first goes to last.
void cyclic_shift(Array1<int> perm, int first, int last);

// Eliminates the spike row ip(last) over positions first..last-1 with row interchanges under
// the update tolerance.  Out: diag, the spike's entry in column iq(last), moved to the front
// of its row (0 when there is none or last > n).  Returns inform 0, 1 (no diagonal) or 7 (storage).
int lu_eliminate_spike_row(Update& u, int first, int last, double& diag);

}  // namespace zun::lu
