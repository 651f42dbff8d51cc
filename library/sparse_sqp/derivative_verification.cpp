// Verification of objective gradients and Jacobian elements by finite differences.
#include "library/sparse_sqp/derivative_verification.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/run_arrays.h"
#include "library/sparse_sqp/run_messages.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;

constexpr int kRecordLength = 120;
constexpr int kValuesOnly = 0;
constexpr int kLaterCall = 0;
constexpr double kJacobianCheapTolerance = 0.1;  // relative discrepancy of the cheap test
constexpr double kFailingError = 1.0;            // a largest element error this big fails
constexpr double kDirectionRatio = -0.99999;     // ratio of the Jacobian test direction
constexpr const char* kBad = "BAD?";
constexpr const char* kOk = "OK  ";

// Verify Level: which element checks run.
bool objective_elements(int level) { return level == 1 || level == 3; }
bool jacobian_elements(int level) { return level == 2 || level == 3; }

// The words of the run that the verification reads, and its printer.
struct Context {
  const Evaluator& ev;
  int print_unit;
  bool print;
  int level;
  double sentinel;
  double interval;   // forward difference interval
  double bad_limit;  // relative error above which an element is "BAD?"
  double zero;       // a difference this small is zero

  explicit Context(const Evaluator& e)
      : ev(e),
        print_unit(e.iz[iw::kPrintUnit - 1]),
        print(e.iz[iw::kMajorPrintLevel - 1] > 0),
        level(e.iz[iw::kVerifyLevel - 1]),
        sentinel(e.z[rw::kNotSupplied - 1]),
        interval(e.z[rw::kForwardDifferenceInterval - 1]),
        bad_limit(e.z[machine_words::kEpsPow02 - 1]),
        zero(e.z[rw::kEpsPow08 - 1]) {}

  int option(int w) const { return ev.iz[w - 1]; }
  void put(const platform::Record& r) const {
    if (print) write_record(print_unit, r);
  }
  void put(const std::string& text) const { put(record().text(text)); }
  void blank() const { put(record()); }
  static platform::Record record() { return platform::Record(kRecordLength); }
};

// The status of an evaluation as the verification's result: a routine that returned MODE = -1
// is reported here, a stop request is passed on without a message.
int evaluation_result(const Context& c, int status, const char* undefined_message) {
  if (status < 0) {
    c.put(undefined_message);
    return end_class::kUserStop;
  }
  return status;
}

double two_norm(const double* x, int n) {
  double sum = 0.0;
  for (int j = 0; j < n; ++j) sum += x[j] * x[j];
  return std::sqrt(sum);
}

// ---- Objective gradients ----

struct Directions {
  std::vector<double> y, z;
};

// Two directions over the supplied elements; with one variable both are the same.
Directions objective_directions(const Context& c, const double* gobj, int n) {
  Directions d{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
  const double dn = n;
  const double ystep = n % 2 == 1 ? 1.0 / dn : 1.0 / (dn - 1.0);
  for (int j = 0; j < n; ++j) {
    if (gobj[j] == c.sentinel) continue;
    d.z[j] = 1.0 / dn;
    d.y[j] = n == 1 ? d.z[j] : ystep;
  }
  if (n == 1) return d;
  for (int j = 1; j <= n; j += 2) {
    if (d.y[j - 1] != 0.0) d.y[j - 1] = -d.y[j - 1] - j / dn;
  }
  if (n % 2 == 0) d.y[n - 1] = 0.0;
  return d;
}

constexpr const char* kObjectiveUndefined =
    " XXX Objective function is undefined during gradient checking.";

// The objective at x + h d.
int objective_along(const Context& c,
                    const DerivativePoint& at,
                    const std::vector<double>& d,
                    double h,
                    double& f) {
  const int n = c.ev.nonln;
  std::vector<double> trial(at.x, at.x + n);
  std::vector<double> g(n);
  for (int j = 0; j < n; ++j) trial[j] += h * d[j];
  return c.ev.objective(kValuesOnly, kLaterCall, trial.data(), f, g.data());
}

double dot(const double* g, const std::vector<double>& d) {
  double sum = 0.0;
  for (std::size_t j = 0; j < d.size(); ++j) {
    if (d[j] != 0.0) sum += g[j] * d[j];
  }
  return sum;
}

// The cheap test along two directions: 0, 7 or an evaluation result; `skipped` when no
// feasible direction exists.
int objective_cheap_test(const Context& c,
                         const DerivativePoint& at,
                         const VariableBounds& b,
                         bool& skipped) {
  const int n = c.ev.nonln;
  Directions d = objective_directions(c, at.gobj, n);
  const double h = (two_norm(at.x, n) / std::sqrt(static_cast<double>(n)) + 1.0) * c.interval;
  const int ny = max_feasible_step(n, b, at.x, h, d.y.data());
  const int nz = max_feasible_step(n, b, at.x, h, d.z.data());
  skipped = ny == 0 && nz == 0;
  if (skipped) {
    c.put(" XXX Cannot find a feasible step - objective gradients not verified.");
    return 0;
  }
  const double gy = dot(at.gobj, d.y), gz = dot(at.gobj, d.z);
  double fz = 0.0;
  int status = objective_along(c, at, d.z, h, fz);
  double fy = fz;  // one variable: both directions are the same
  if (status == 0 && n > 1) status = objective_along(c, at, d.y, h, fy);
  if (status != 0) return evaluation_result(c, status, kObjectiveUndefined);
  const double dy = (fy - *at.fobj) / h, dz = (fz - *at.fobj) / h;
  const bool wrong = (gy * gy + 1.0) * h <= (dy - gy) * (dy - gy) ||
                     (gz * gz + 1.0) * h <= (dz - gz) * (dz - gz);
  c.blank();
  c.put(wrong ? " XXX The objective gradients seem to be incorrect."
              : " The objective gradients seem to be OK.");
  c.put(c.record().text(" Gradient projected in two directions").e(gy, 20, 11).e(gz, 20, 11));
  c.put(c.record().text(" Difference approximations           ").e(dy, 20, 11).e(dz, 20, 11));
  return wrong ? end_class::kObjectiveGradients : 0;
}

// The largest relative error of an element check and where it was found.
struct LargestError {
  double error = -1.0;
  int row = 0;
  int column = 0;
  void offer(double e, int i, int j) {
    if (e > error) *this = {e, i, j};
  }
};

struct ElementCounts {
  int ok = 0;
  int bad = 0;
};

// The closing count of an element check over the columns first..last.
void print_element_summary(const Context& c,
                           const ElementCounts& counts,
                           const char* ok_text,
                           const char* bad_text,
                           int first,
                           int last) {
  platform::Record r = c.record();
  if (counts.bad == 0) {
    c.blank();
    r.i(counts.ok, 7).text(ok_text);
  } else {
    r.text(" XXX There seem to be").i(counts.bad, 6).text(bad_text);
  }
  r.i(first, 6).text("  through").i(last, 6).text(counts.bad == 0 ? "  seem to be OK." : ".");
  c.put(r);
}

int objective_element_check(const Context& c, const DerivativePoint& at, int first, int last) {
  c.blank();
  c.blank();
  c.put("      j       x(j)        dx(j)           g(j)         Difference approx.");
  c.blank();
  LargestError largest;
  ElementCounts counts;
  std::vector<double> g(c.ev.nonln);
  for (int j = first; j <= last; ++j) {
    const double gj = at.gobj[j - 1];
    if (gj == c.sentinel) continue;
    double& xj = at.x[j - 1];
    const double x0 = xj;
    const double h = (std::fabs(x0) + 1.0) * c.interval;
    double f = 0.0;
    xj = x0 + h;
    const int status = c.ev.objective(kValuesOnly, kLaterCall, at.x, f, g.data());
    xj = x0;
    if (status != 0) return evaluation_result(c, status, kObjectiveUndefined);
    const double d = (f - *at.fobj) / h;
    const double err = std::fabs(d - gj) / (std::fabs(gj) + 1.0);
    const bool bad = err > c.bad_limit;
    ++(bad ? counts.bad : counts.ok);
    c.put(c.record().i(j, 7).e(x0, 16, 8).e(h, 10, 2).e(gj, 18, 8).e(d, 18, 8).x(2).text(
        bad ? kBad : kOk));
    largest.offer(err, 0, j);
  }
  print_element_summary(c, counts, "  objective gradients out of",
                        "  incorrect objective gradients in cols", first, last);
  c.blank();
  c.put(c.record()
            .text(" The largest relative error was")
            .e(largest.error, 12, 2)
            .text("   in column")
            .i(largest.column, 6)
            .text("."));
  return largest.error >= kFailingError ? end_class::kObjectiveGradients : 0;
}

// ---- Jacobian ----

// The nonlinear-row elements of one column: their positions in the matrix's column and in gCon.
struct ColumnElements {
  std::vector<int> rows;  // 1-based
  std::vector<int> gcon;  // 0-based positions in gCon
};

// The elements of every nonlinear Jacobian column, in gCon order.
std::vector<ColumnElements> jacobian_columns(const Evaluator& ev) {
  std::vector<ColumnElements> columns(ev.njnln);
  int l = 0;
  for (int j = 0; j < ev.njnln; ++j) {
    for (int k = ev.jac.ka[j] - 1; k < ev.jac.ka[j + 1] - 1; ++k) {
      const int row = ev.jac.ha[k];
      if (row > ev.ncnln) continue;
      columns[j].rows.push_back(row);
      columns[j].gcon.push_back(l++);
    }
  }
  return columns;
}

constexpr const char* kConstraintsUndefined =
    " XXX Constraint functions are undefined during gradient checking.";

int constraints_at(const Context& c, double* x, std::vector<double>& f) {
  std::vector<double> g(std::max(c.ev.ngcon, 1));
  return c.ev.constraints(kValuesOnly, kLaterCall, x, f.data(), g.data());
}

// The cheap test along one direction: 0, 8 or an evaluation result.  `done` is set when no
// column is left to move along.
int jacobian_cheap_test(const Context& c,
                        const DerivativePoint& at,
                        const VariableBounds& b,
                        const std::vector<ColumnElements>& columns,
                        const double* saved,
                        bool& done) {
  const int nj = c.ev.njnln;
  std::vector<double> y(nj);
  y[0] = 1.0 / nj;
  for (int j = 1; j < nj; ++j) y[j] = y[j - 1] * kDirectionRatio;
  const std::vector<double> kept = y;
  double h = (two_norm(at.x, nj) / std::sqrt(static_cast<double>(nj)) + 1.0) * c.interval;
  if (max_feasible_step(nj, b, at.x, h, y.data()) == 0) y = kept;
  bool any = false;
  for (int j = 0; j < nj; ++j) {
    for (int l : columns[j].gcon) {
      if (saved[l] == c.sentinel) y[j] = 0.0;
    }
    any = any || y[j] != 0.0;
  }
  done = !any;
  if (done) return 0;
  h = (two_norm(at.x, nj) + 1.0) * c.interval;
  std::vector<double> trial(at.x, at.x + nj);
  for (int j = 0; j < nj; ++j) trial[j] += h * y[j];
  const int ncnln = c.ev.ncnln;
  std::vector<double> f(ncnln);
  const int status = constraints_at(c, trial.data(), f);
  if (status != 0) return evaluation_result(c, status, kConstraintsUndefined);
  std::vector<double> r(ncnln), diff(ncnln);
  for (int i = 0; i < ncnln; ++i) r[i] = diff[i] = (f[i] - at.fcon[i]) / h;
  for (int j = 0; j < nj; ++j) {
    for (std::size_t k = 0; k < columns[j].rows.size(); ++k) {
      r[columns[j].rows[k] - 1] -= at.gcon[columns[j].gcon[k]] * y[j];
    }
  }
  int worst = 0;
  for (int i = 1; i < ncnln; ++i) {
    if (std::fabs(r[i]) > std::fabs(r[worst])) worst = i;
  }
  const double err = std::fabs(r[worst]) / (std::fabs(diff[worst]) + 1.0);
  const bool wrong = err > kJacobianCheapTolerance;
  c.blank();
  c.put(wrong ? " XXX The Jacobian seems to be incorrect." : " The Jacobian seems to be OK.");
  c.put(c.record()
            .text(" The largest discrepancy was")
            .e(err, 12, 2)
            .text("  in constraint")
            .i(worst + 1, 6)
            .text("."));
  c.blank();
  return wrong ? end_class::kConstraintGradients : 0;
}

// One column of the element check: its supplied elements against the differences, then the
// rows outside the column's pattern whose difference is not zero.
int check_jacobian_column(const Context& c,
                          const DerivativePoint& at,
                          const VariableBounds& b,
                          const ColumnElements& col,
                          const double* saved,
                          int j,
                          ElementCounts& counts,
                          LargestError& largest) {
  double& xj = at.x[j - 1];
  const double x0 = xj;
  double h = (std::fabs(x0) + 1.0) * c.interval;
  if (b.bl[j - 1] < b.bu[j - 1] && b.bu[j - 1] <= x0) h = -h;
  std::vector<double> r(c.ev.ncnln);
  xj = x0 + h;
  const int status = constraints_at(c, at.x, r);
  xj = x0;
  if (status != 0) return evaluation_result(c, status, kConstraintsUndefined);
  for (int i = 0; i < c.ev.ncnln; ++i) r[i] = (r[i] - at.fcon[i]) / h;
  bool first_line = true;
  for (std::size_t k = 0; k < col.rows.size(); ++k) {
    const int l = col.gcon[k];
    if (saved[l] == c.sentinel) continue;
    const int i = col.rows[k];
    const double value = at.gcon[l];
    const double err = std::fabs(r[i - 1] - value) / (std::fabs(value) + 1.0);
    const bool bad = err > c.bad_limit;
    ++(bad ? counts.bad : counts.ok);
    platform::Record line = c.record();
    if (first_line) {
      c.blank();
      line.i(j, 7).e(x0, 16, 8).e(h, 10, 2);
    } else {
      line.x(33);
    }
    first_line = false;
    c.put(line.i(l + 1, 10).i(i, 10).e(value, 18, 8).e(r[i - 1], 18, 8).x(2).text(
        bad ? kBad : kOk));
    largest.offer(err, i, j);
  }
  // Every element of the pattern, supplied or not, belongs to the structure.
  for (int i : col.rows) r[i - 1] = c.sentinel;
  for (int i = 1; i <= c.ev.ncnln; ++i) {
    const double ri = r[i - 1];
    if (ri == c.sentinel || std::fabs(ri) <= c.zero) continue;
    ++counts.bad;
    c.put(c.record()
              .x(9)
              .text("Non-zero not in sparse structure ??")
              .x(3)
              .i(i, 6)
              .x(18)
              .e(ri, 18, 8)
              .x(2)
              .text(kBad));
    largest.offer(std::fabs(ri), i, j);
  }
  return 0;
}

bool has_supplied_element(const ColumnElements& col, const double* saved, double sentinel) {
  return std::any_of(col.gcon.begin(), col.gcon.end(), [&](int l) { return saved[l] != sentinel; });
}

int jacobian_element_check(const Context& c,
                           const DerivativePoint& at,
                           const VariableBounds& b,
                           const std::vector<ColumnElements>& columns,
                           const double* saved,
                           int first,
                           int last) {
  c.blank();
  c.blank();
  c.put(" Column       x(j)        dx(j)    Element no.    Row    Jacobian value    Difference "
        "approx.");
  ElementCounts counts;
  LargestError largest;
  for (int j = first; j <= last; ++j) {
    if (!has_supplied_element(columns[j - 1], saved, c.sentinel)) continue;
    const int status = check_jacobian_column(c, at, b, columns[j - 1], saved, j, counts, largest);
    if (status != 0) return status;
  }
  print_element_summary(c, counts, "  Jacobian elements in cols ",
                        "  incorrect Jacobian elements in cols", first, last);
  c.put(c.record()
            .text(" The largest relative error was")
            .e(largest.error, 12, 2)
            .text("   in row")
            .i(largest.row, 6)
            .text(",  column")
            .i(largest.column, 6)
            .text("."));
  return largest.error >= kFailingError ? end_class::kConstraintGradients : 0;
}

void heading(const Context& c, int dashes, const char* title) {
  c.blank();
  std::string rule(1, ' ');
  rule.append(static_cast<std::size_t>(dashes), '-');
  c.put(rule);
  c.put(title);
  c.put(rule);
}

}  // namespace

int max_feasible_step(int n, const VariableBounds& b, const double* x, double h, double* d) {
  int count = 0;
  for (int j = 0; j < n; ++j) {
    const double lo = b.bl[j], up = b.bu[j];
    if (lo == up) {
      d[j] = 0.0;
    } else if (d[j] < 0.0 && x[j] + h * d[j] < lo) {
      d[j] = x[j] - h * d[j] <= up ? -d[j] : 0.0;
    } else if (d[j] > 0.0 && x[j] + h * d[j] > up) {
      d[j] = x[j] - h * d[j] >= lo ? -d[j] : 0.0;
    }
    if (d[j] != 0.0) ++count;
  }
  return count;
}

int verify_objective_gradients(const Evaluator& ev,
                               const DerivativePoint& at,
                               const VariableBounds& b) {
  const Context c(ev);
  if (c.level < 0 || c.option(ws::kObjGradientSupplied) == 0 || ev.nonln < 1) return 0;
  const int first = std::max(1, c.option(iw::kStartObjectiveCheck));
  const int last = std::min(ev.nonln, c.option(iw::kStopObjectiveCheck));
  const bool elements = objective_elements(c.level) && first <= last;
  if (elements) {
    heading(c, 65, " Verification of objective gradients returned by subroutine objfun");
  } else {
    c.blank();
    c.put(" Cheap test on objfun...");
  }
  bool skipped = false;
  const int result = objective_cheap_test(c, at, b, skipped);
  if (result != 0 || !elements) return result;
  return objective_element_check(c, at, first, last);
}

int verify_jacobian(const Evaluator& ev, const DerivativePoint& at, const VariableBounds& b) {
  const Context c(ev);
  if (c.level < 0 || c.option(ws::kJacobianSupplied) == 0 || ev.ncnln < 1 || ev.njnln < 1) {
    return 0;
  }
  const int first = std::max(1, c.option(iw::kStartConstraintCheck));
  const int last = std::min(ev.njnln, c.option(iw::kStopConstraintCheck));
  const bool elements = jacobian_elements(c.level) && first <= last;
  if (elements) {
    heading(c, 66, " Verification of constraint gradients returned by subroutine confun");
  } else {
    c.blank();
    c.put(" Cheap test on confun...");
  }
  const std::vector<ColumnElements> columns = jacobian_columns(ev);
  const double* saved = Words<double>(ev.z).at(ev.iz[run_array::kSavedJacobian - 1]);
  bool done = false;
  const int cheap = jacobian_cheap_test(c, at, b, columns, saved, done);
  if (cheap != 0 && cheap != end_class::kConstraintGradients) return cheap;
  if (done && !elements) {
    c.put(" XXX Every column of the Jacobian contains a missing element. Test abandoned.");
    return 0;
  }
  if (!elements) return cheap;
  const int check = jacobian_element_check(c, at, b, columns, saved, first, last);
  return check != 0 ? check : cheap;
}

}  // namespace zun
