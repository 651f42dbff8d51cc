// Row types and matrix statistics.
#include "library/sparse_sqp/matrix_statistics.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

constexpr int kRecordLength = 120;
constexpr int kListingLevel = 20;
constexpr double kInfiniteShare = 0.9;

// Counts of one kind of bounded entries (rows or columns).
struct BoundCounts {
  int normal = 0;
  int free = 0;
  int fixed = 0;
};

struct Classifier {
  double infinite;
  bool low(double l) const { return l <= -infinite; }
  bool high(double u) const { return u >= infinite; }
};

int classify_row(const Classifier& c, double l, double u, BoundCounts& counts) {
  const bool free = c.low(l) && c.high(u);
  if (l == u && !free) {
    ++counts.fixed;
    return row_type::kEquality;
  }
  if (free) {
    ++counts.free;
    return row_type::kFree;
  }
  if (c.low(l) || c.high(u)) ++counts.normal;
  return row_type::kInequality;
}

BoundCounts count_columns(const Classifier& c, int n, const double* bl, const double* bu) {
  BoundCounts counts;
  for (int j = 0; j < n; ++j) {
    const double l = bl[j];
    const double u = bu[j];
    if (l == u) {
      ++counts.fixed;
    } else if ((l == 0.0 && c.high(u)) || (c.low(l) && u == 0.0)) {
      ++counts.normal;
    } else if (c.low(l) && c.high(u)) {
      ++counts.free;
    }
  }
  return counts;
}

struct ElementStats {
  double largest = 0.0;
  double smallest;
  double objective_largest = 0.0;
  double objective_smallest;
  int objective_count = 0;
};

ElementStats element_stats(const ProblemMatrix& a,
                           const double* bl,
                           const double* bu,
                           const int* row_types,
                           int objective_row,
                           double start) {
  ElementStats st{0.0, start, 0.0, start, 0};
  for (int j = 1; j <= a.n; ++j) {
    if (bl[j - 1] == bu[j - 1]) continue;
    for (std::int64_t k = a.first(j); k < a.last(j); ++k) {
      const int i = a.ha[k];
      const double v = std::fabs(a.a[k]);
      if (row_types[i - 1] == row_type::kFree && i == objective_row && v > 0.0) {
        ++st.objective_count;
        st.objective_largest = std::max(st.objective_largest, v);
        st.objective_smallest = std::min(st.objective_smallest, v);
      } else {
        st.largest = std::max(st.largest, v);
        st.smallest = std::min(st.smallest, v);
      }
    }
  }
  if (st.smallest == start) st.smallest = 0.0;
  return st;
}

platform::Record counts_record(std::string_view label, int total, const BoundCounts& c) {
  const int bounded = total - c.normal - c.free - c.fixed;
  return platform::Record(kRecordLength)
      .text(label)
      .i(total, 12)
      .x(19)
      .i(c.normal, 12)
      .x(6)
      .i(c.free, 12)
      .x(10)
      .i(c.fixed, 12)
      .x(15)
      .i(bounded, 12);
}

void print_statistics(int unit,
                      const ProblemMatrix& a,
                      const BoundCounts& rows,
                      const BoundCounts& columns,
                      const ElementStats& st) {
  const platform::Record blank(kRecordLength);
  write_record(unit, blank);
  write_record(unit, blank);
  write_record(unit, platform::Record(kRecordLength).text(" Matrix statistics"));
  write_record(unit, platform::Record(kRecordLength).text(" -----------------"));
  write_record(unit, platform::Record(kRecordLength)
                         .x(15)
                         .text("Total")
                         .text("  Normal (lower or upper bound)  Free (no bounds)  Fixed (equal "
                               "bounds)  Bounded (distinct bounds)"));
  write_record(unit, counts_record(" Rows   ", a.m, rows));
  write_record(unit, counts_record(" Columns", a.n, columns));
  const double density = 100.0 * a.nnz / (static_cast<double>(a.m) * static_cast<double>(a.n));
  write_record(unit, blank);
  write_record(unit, platform::Record(kRecordLength).text(" No. of matrix elements").i(a.nnz, 21));
  write_record(unit, platform::Record(kRecordLength)
                         .text(" Density ")
                         .x(30)
                         .f(density, 5, 1)
                         .text("  ")
                         .text("(excluding fixed columns, free rows, and RHS)"));
  write_record(unit, platform::Record(kRecordLength).text(" Biggest ").e(st.largest, 35, 4));
  write_record(unit, platform::Record(kRecordLength).text(" Smallest").e(st.smallest, 35, 4));
  write_record(unit, blank);
  write_record(unit, platform::Record(kRecordLength)
                         .text(" No. of objective coefficients")
                         .i(st.objective_count, 14));
  if (st.objective_count <= 0) return;
  write_record(unit, platform::Record(kRecordLength)
                         .text(" Biggest ")
                         .e(st.objective_largest, 35, 4)
                         .text("  (excluding fixed columns)"));
  write_record(unit,
               platform::Record(kRecordLength).text(" Smallest").e(st.objective_smallest, 35, 4));
}

}  // namespace

void print_matrix_statistics(std::string_view mode,
                             const ProblemMatrix& a,
                             const double* bl,
                             const double* bu,
                             int* row_types,
                             const int* iz,
                             const double* z) {
  Words<const int> i(iz);
  const double infinite = Words<const double>(z)(rw::kInfiniteBoundSize);
  const Classifier c{kInfiniteShare * infinite};
  BoundCounts rows;
  for (int r = 1; r <= a.m; ++r) {
    row_types[r - 1] = classify_row(c, bl[a.n + r - 1], bu[a.n + r - 1], rows);
  }
  const int unit = i(iw::kMonitoringUnit);
  if (mode.empty() || mode[0] != 'S' || unit < 0 || i(iw::kMajorPrintLevel) < kListingLevel) {
    return;
  }
  const BoundCounts columns = count_columns(c, a.n, bl, bu);
  const ElementStats st =
      element_stats(a, bl, bu, row_types, i(ws::kObjectiveRow), kInfiniteShare * infinite);
  print_statistics(unit, a, rows, columns, st);
}

}  // namespace zun
