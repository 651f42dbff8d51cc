// Internal state of one sparse LU factorisation (PRUNEN) shared by its set-up, elimination,
// pivot search and dense finish.
#pragma once

#include <cstdint>
#include <vector>

#include "library/sparse_lu/lu_internal.h"
#include "library/sparse_lu/lu_long_lines.h"
#include "library/sparse_lu/lu_report.h"

namespace zun::lu {

struct Pivot {
  int row = 0;
  int column = 0;
  std::int64_t merit = 0;
  double size = 0.0;  // |a_ij|
  double cmax = 0.0;  // ratio of the column's largest other entry to the pivot
};

// Places of the active entries in both files, kept during the upper-triangular phase only.
// There every pivot column is a singleton, so a step only removes the pivot row's entries from
// the other columns of that row; the map finds them without searching long columns.  Built
// when the searches have cost about as much as building it; dropped by any compression.
struct TriangularMap {
  bool valid = false;
  bool retired = false;           // the phase has ended: never built again
  std::int64_t scanned = 0;       // places searched without the map
  std::vector<int> row_place;     // by column-file place: the entry's row-file place
  std::vector<int> column_place;  // by row-file place: the entry's column-file place
  std::vector<int> step_place;    // column-file places of the current pivot row's entries

  // The column entry at place from moved to place to.
  void moved(int to, int from) {
    const int r = row_place[static_cast<std::size_t>(from)];
    row_place[static_cast<std::size_t>(to)] = r;
    column_place[static_cast<std::size_t>(r)] = to;
  }
};

struct FactorWork {
  Factors f;
  CountList rows;  // ip ordered by row count (loc: RowCountStart, inv: RowPermInverse)
  CountList cols;  // iq ordered by column count (loc: ColCountStart, inv: ColPermInverse)
  Array1<double> w;

  // Settings from LuParameters.
  double small = 0.0;
  double ltol1 = 0.0;
  double dens1 = 0.0;
  double dens2 = 0.0;
  double uspace = 0.0;
  int maxcol = 0;
  bool keep = true;

  // Files: the column file is a/indc(1..lcol), the row file indr(1..lrow); the L area (L
  // columns and U rows, or the U diagonals when L is not kept) occupies lfile..lena.
  int lcol = 0;
  int lrow = 0;
  int lfile = 0;
  int lcol_compressed = 0;  // length of the column file at its last compression
  int lrow_compressed = 0;
  std::int64_t active = 0;  // entries of the active submatrix

  std::int64_t len_l = 0;
  std::int64_t len_u = 0;
  std::int64_t merit_sum = 0;
  int npiv = 0;
  int num_l0 = 0;
  int n_utri = 0;
  int n_ltri = 0;
  int ndens1 = 0;
  int ndens2 = 0;
  int nrank = 0;
  bool dense_done = false;

  int inform = 0;
  std::int64_t minlen = 0;
  BadEntry bad;

  // mark[i] (i = 1..m): number k of row i's multiplier (at L place ll + k - 1) during one
  // pivot step, 0 for rows outside the pivot column.  lmult[k] is that multiplier; lmult[0]
  // stays 0.0.
  std::vector<int> mark;
  std::vector<double> lmult{0.0};
  // seen[k] == stamp when multiplier k's row was found in the column being updated.
  std::vector<int> seen{0};
  int stamp = 0;
  // For each column of the pivot row (in U-row order): the offset of its largest entry after
  // the step, -1 when not tracked.  Kept in the first sparse phase only.
  std::vector<int> max_offset;
  bool utri = true;     // upper-triangular phase
  bool spars1 = false;  // first sparse phase
  TriangularMap utri_map;
  // Indices of long columns (by row) and long rows (by column) after the triangular phase.
  LongLines long_columns;
  LongLines long_rows;
  std::vector<int> dead;  // offsets of the entries that one column update deletes
};

// Elimination loop.  Leaves inform 0, 7 or 8.
void PRUNEM(FactorWork& s);

// One elimination step with pivot p.  False on a storage shortage (inform 7).
bool lu_eliminate_pivot(FactorWork& s, const Pivot& p);

// Ends the map of the upper-triangular phase for good.
void retire_triangular_map(FactorWork& s);

// Best pivot by the Markowitz merit under threshold pivoting, examining up to maxcol columns
// and maxrow rows of the shortest counts.  Always returns a pivot while an active entry exists.
Pivot lu_pivot_search(const FactorWork& s, int maxcol, int maxrow);

// Puts the largest-magnitude entry of column j first (ties keep the earlier entry).
void move_max_to_front(FactorWork& s, int j);

// Exchanges the entries at offsets p and q of column j.
void swap_column_entries(FactorWork& s, int j, int p, int q);

// Factorises the remaining active block densely and stores its L and U parts.
void lu_dense_finish(FactorWork& s);

// Moves the rows and columns with a nonzero length (pivoted or still active) to the front of
// ip and iq, stably, and rebuilds the inverse permutations.  Returns the smaller count.
int partition_by_flag(FactorWork& s);

// Compresses the column or row file (with the compression counted).
void compress_columns(FactorWork& s);
void compress_rows(FactorWork& s);

// The length limit of the compression rule for a file last compressed at `length`.
std::int64_t compression_limit(const FactorWork& s, int length);

}  // namespace zun::lu
