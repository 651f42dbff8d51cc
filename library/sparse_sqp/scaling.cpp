// Scale factors and the move into and out of the scaled problem.
#include "library/sparse_sqp/scaling.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/blas_lapack.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;

constexpr int kRecordLength = 120;
constexpr int kFreeRow = 2;
constexpr int kLinearPartOnly = 1;
constexpr int kMaxPass = 10;
constexpr int kListingLevel = 20;
constexpr double kSmallShare = 1.0e-4;        // share of the largest element in a mean
constexpr double kNonlinearThreshold = 0.01;  // below it a nonlinear column or row keeps 1
constexpr double kBigShare = 0.1;             // share of the infinite bound that counts as big
constexpr double kNearOneLow = 0.5;
constexpr double kNearOneHigh = 2.0;

// Geometric mean of the smallest (floored at a share of the largest) and the largest value.
double geometric_mean(double smallest, double largest) {
  return std::sqrt(std::max(smallest, kSmallShare * largest)) * std::sqrt(largest);
}

class ScaleRun {
 public:
  ScaleRun(const ScaleRequest& r,
           const ProblemMatrix& a,
           double* s,
           double* rmin,
           double* rmax,
           const int* iz,
           const double* z)
      : req_(r), a_(a), s_(s), rmin_(rmin), rmax_(rmax), iz_(iz), z_(z) {
    Words<const int> i(iz);
    Words<const double> w(z);
    option_ = i(iw::kScaleOption);
    unit_ = i(iw::kMonitoringUnit);
    listing_ = unit_ >= 0 && r.print_level >= kListingLevel;
    big_ = kBigShare * w(rw::kInfiniteBoundSize);
    first_row_ = option_ == kLinearPartOnly ? r.ncnln + 1 : 1;
    first_col_ = option_ == kLinearPartOnly ? r.nnl + 1 : 1;
    negligible_ = w(rw::kEpsPow067);
  }

  void run() {
    std::fill(s_, s_ + a_.n + a_.m, 1.0);
    print_heading();
    if (first_col_ > a_.n) return;
    find_row_maxima();
    passes();
    finish_columns();
    finish_rows();
    if (option_ != kLinearPartOnly) shift_for_fixed_values();
  }

 private:
  struct ColumnPass {
    double smallest;
    double largest = 0.0;
    double ratio = 0.0;
  };

  bool movable(int j) const { return req_.bl[j - 1] < req_.bu[j - 1]; }

  // The largest |a(i,j)| of each row over the columns that can move.
  void find_row_maxima() {
    row_max_.assign(static_cast<std::size_t>(a_.m), 0.0);
    for (int j = 1; j <= a_.n; ++j) {
      if (!movable(j)) continue;
      for (std::int64_t k = a_.first(j); k < a_.last(j); ++k) {
        double& r = row_max_[a_.ha[k] - 1];
        r = std::max(r, std::fabs(a_.a[k]));
      }
    }
  }

  // Whether an element |a(i,j)| = v shapes the scales.  One at most eps^0.67 times the largest
  // of its row (what rounding leaves of a coefficient that should be 0) would otherwise give
  // its column a scale near 1/v, and the reduction of large scales would then shrink every
  // other scale by as much.
  bool counts(int i, double v) const { return v > 0.0 && v > negligible_ * row_max_[i - 1]; }

  double& row_scale(int i) { return s_[a_.n + i - 1]; }

  void write(const platform::Record& r) const { write_record(unit_, r); }
  void write(std::string_view text) const { write(platform::Record(kRecordLength).text(text)); }

  void print_heading() const {
    if (!listing_) return;
    write("");
    write("");
    write(" Scaling");
    write(" -------");
    write("                  Min elem    Max elem       Max col ratio");
  }

  ColumnPass column_pass(bool store) {
    ColumnPass p{big_};
    for (int j = first_col_; j <= a_.n; ++j) {
      if (!movable(j)) continue;
      double amin = big_;
      double amax = 0.0;
      for (std::int64_t k = a_.first(j); k < a_.last(j); ++k) {
        const int i = a_.ha[k];
        const double v = std::fabs(a_.a[k]);
        if (req_.row_types[i - 1] == kFreeRow || !counts(i, v)) continue;
        const double q = v / row_scale(i);
        amin = std::min(amin, q);
        amax = std::max(amax, q);
      }
      const double limit = j <= req_.njnln ? kNonlinearThreshold : 0.0;
      const double g = amax <= limit ? 1.0 : geometric_mean(amin, amax);
      if (store) s_[j - 1] = g;
      if (amax <= 0.0) continue;
      p.smallest = std::min(p.smallest, amin / g);
      p.largest = std::max(p.largest, amax / g);
      p.ratio = std::max(p.ratio, amax / amin);
    }
    return p;
  }

  void row_pass() {
    for (int i = first_row_; i <= a_.m; ++i) {
      rmin_[i - 1] = big_;
      rmax_[i - 1] = 0.0;
    }
    for (int j = 1; j <= a_.n; ++j) {
      if (!movable(j)) continue;
      for (std::int64_t k = a_.first(j); k < a_.last(j); ++k) {
        const int i = a_.ha[k];
        const double v = std::fabs(a_.a[k]);
        if (i < first_row_ || !counts(i, v)) continue;
        const double q = v / s_[j - 1];
        rmin_[i - 1] = std::min(rmin_[i - 1], q);
        rmax_[i - 1] = std::max(rmax_[i - 1], q);
      }
    }
    for (int i = first_row_; i <= a_.m; ++i) {
      const bool scaled = i > req_.ncnln || rmax_[i - 1] > kNonlinearThreshold;
      row_scale(i) = scaled ? geometric_mean(rmin_[i - 1], rmax_[i - 1]) : 1.0;
    }
  }

  void passes() {
    const double tolerance = Words<const double>(z_)(rw::kScaleTol);
    double previous = big_;
    for (int k = 0;; ++k) {
      const ColumnPass p = column_pass(k > 0);
      if (listing_) {
        write(platform::Record(kRecordLength)
                  .text(" After pass")
                  .i(k, 3)
                  .e(p.smallest, 12, 2)
                  .e(p.largest, 12, 2)
                  .f(p.ratio, 20, 2));
      }
      if ((k > 2 && p.ratio >= tolerance * previous) || k == kMaxPass) return;
      row_pass();
      previous = p.ratio;
    }
  }

  void print_range(std::string_view kind,
                   int first,
                   double first_value,
                   int second,
                   double second_value,
                   int count,
                   int total) const {
    if (!listing_) return;
    write("");
    write(platform::Record(kRecordLength).x(12).text("Min scale").x(23).text("Max scale"));
    write(platform::Record(kRecordLength)
              .text(" ")
              .text(kind)
              .i(first, 7)
              .e(first_value, 10, 1)
              .x(12)
              .text(kind)
              .i(second, 7)
              .e(second_value, 10, 1));
    const double share = total > 0 ? 100.0 * count / total : 0.0;
    write(platform::Record(kRecordLength)
              .text(" No. of ")
              .text(kind == "Col" ? "col" : "row")
              .text(" scales between 0.5 and 2.0 = ")
              .i(count, 7)
              .text(" (or ")
              .f(share, 5, 1)
              .text(" per cent)."));
  }

  // Smallest and largest of the scales counted, with their positions (first wins ties).
  struct Extremes {
    double smallest;
    int smallest_at = 0;
    double largest = 0.0;
    int largest_at = 0;
    int near_one = 0;
    void add(double v, int at) {
      if (v < smallest) smallest = v, smallest_at = at;
      if (v > largest) largest = v, largest_at = at;
      if (v > kNearOneLow && v < kNearOneHigh) ++near_one;
    }
  };

  void finish_columns() {
    Extremes e{big_};
    for (int j = 1; j <= a_.n; ++j) {
      s_[j - 1] = 1.0 / s_[j - 1];
      e.add(s_[j - 1], j);
    }
    const double inv_largest = e.largest > 0.0 ? 1.0 / e.largest : 0.0;
    const double inv_smallest = e.smallest > 0.0 ? 1.0 / e.smallest : 0.0;
    print_range("Col", e.largest_at, inv_largest, e.smallest_at, inv_smallest, e.near_one, a_.n);
  }

  void finish_rows() {
    Extremes e{big_};
    for (int i = first_row_; i <= a_.m; ++i) {
      double& r = row_scale(i);
      if (req_.row_types[i - 1] == kFreeRow) {
        r = rmax_[i - 1] > 0.0 ? rmax_[i - 1] : 1.0;
        continue;
      }
      if (r == 0.0) r = 1.0;
      e.add(r, i);
    }
    print_range("Row", e.smallest_at, e.smallest_at > 0 ? e.smallest : 0.0, e.largest_at, e.largest,
                e.near_one, a_.m);
  }

  // The value a variable or slack takes at its bounds when they pin it, else 0.
  double bound_value(int j) const {
    const double l = req_.bl[j - 1];
    const double u = req_.bu[j - 1];
    if (l == u || l > 0.0) return l;
    if (u < 0.0) return u;
    return 0.0;
  }

  void shift_for_fixed_values() {
    double* w = rmin_;
    std::fill(w, w + a_.m, 0.0);
    for (int j = 1; j <= a_.n; ++j) {
      const double b = bound_value(j);
      if (b == 0.0) continue;
      for (std::int64_t k = a_.first(j); k < a_.last(j); ++k) w[a_.ha[k] - 1] += b * a_.a[k];
    }
    for (int i = 1; i <= a_.m; ++i) {
      w[i - 1] -= bound_value(a_.n + i);
      if (req_.row_types[i - 1] == kFreeRow) w[i - 1] = 0.0;
    }
    const double root_m = std::sqrt(static_cast<double>(std::max(a_.m, 1)));
    double norm1 = 0.0;
    double norm2 = 0.0;
    for (int i = 1; i <= a_.m; ++i) {
      norm1 += std::fabs(w[i - 1]);
      norm2 += std::fabs(w[i - 1] / row_scale(i));
    }
    norm1 /= root_m;
    norm2 /= root_m;
    if (listing_) {
      write("");
      write(platform::Record(kRecordLength)
                .text(" Norm of fixed columns and slacks")
                .e(norm1, 20, 1));
      write(platform::Record(kRecordLength)
                .text(" (before and after row scaling)  ")
                .e(norm2, 20, 1));
    }
    const int nb = a_.n + a_.m;
    const double lift = std::max(norm2, 1.0);
    for (int j = 0; j < nb; ++j) s_[j] *= lift;
    double cmax = 0.0;
    for (int j = 1; j <= nb; ++j) {
      if (j > a_.n && req_.row_types[j - a_.n - 1] == kFreeRow) continue;
      cmax = std::max(cmax, s_[j - 1]);
    }
    const double t = (0.1 / Words<const double>(z_)(rw::kMinorFeasibilityTol)) / cmax;
    if (t >= 1.0) return;
    for (int j = 0; j < nb; ++j) s_[j] *= t;
    if (listing_) {
      write(platform::Record(kRecordLength).text(" Scales are large --- reduced by ").e(t, 20, 1));
    }
  }

  const ScaleRequest& req_;
  const ProblemMatrix& a_;
  double* s_;
  double* rmin_;
  double* rmax_;
  const int* iz_;
  const double* z_;
  int option_ = 0;
  int unit_ = -1;
  bool listing_ = false;
  double big_ = 0.0;
  int first_row_ = 1;
  int first_col_ = 1;
  double negligible_ = 0.0;      // share of a row's largest element below which one is ignored
  std::vector<double> row_max_;  // M
};

}  // namespace

void compute_scales(const ScaleRequest& request,
                    const ProblemMatrix& a,
                    double* s,
                    double* work_min,
                    double* work_max,
                    const int* iz,
                    const double* z) {
  ScaleRun(request, a, s, work_min, work_max, iz, z).run();
}

void apply_scales(std::string_view mode,
                  int objective_row,
                  double infinite_bound,
                  double& objective_scale,
                  ProblemMatrix& a,
                  const double* s,
                  const ScaledArrays& arrays) {
  const bool scale = !mode.empty() && mode[0] == 'S';
  const double limit = 0.1 * infinite_bound;
  const int nb = a.n + a.m;
  const auto move = [scale](double v, double f) { return scale ? v / f : v * f; };
  for (int j = 1; j <= a.n; ++j) {
    const double c = s[j - 1];
    for (std::int64_t k = a.first(j); k < a.last(j); ++k) {
      const double r = s[a.n + a.ha[k] - 1];
      a.a[k] = scale ? a.a[k] * c / r : a.a[k] * r / c;
    }
  }
  for (int j = 0; j < nb; ++j) {
    const double f = s[j];
    arrays.x[j] = move(arrays.x[j], f);
    if (arrays.bl_given[j] > -limit) arrays.bl[j] = move(arrays.bl[j], f);
    if (arrays.bu_given[j] < limit) arrays.bu[j] = move(arrays.bu[j], f);
  }
  for (int i = 0; i < a.m; ++i) {
    const double r = s[a.n + i];
    arrays.pi[i] = scale ? arrays.pi[i] * r : arrays.pi[i] / r;
  }
  if (!scale) {
    objective_scale = 1.0;
  } else if (objective_row > 0) {
    objective_scale = s[a.n + objective_row - 1];
  }
}

void divide_by_vector(int n, const double* x, int incx, double* y, int incy) {
  if (n < 1) return;
  if (incx == 0) {
    const double f = 1.0 / x[0];
    dscal_(&n, &f, y, &incy);
    return;
  }
  const int step_y = incy > 0 ? incy : -incy;
  const int step_x = incx > 0 ? incx : -incx;
  for (int k = 0; k < n; ++k) {
    const int ix = incx > 0 ? k * step_x : (n - 1 - k) * step_x;
    const int iy = incy > 0 ? k * step_y : (n - 1 - k) * step_y;
    y[iy] /= x[ix];
  }
}

}  // namespace zun
