// Test fixture of the basis layer: a column-form LP with bounds and a workspace built as a solve
// builds it (option defaults, "Check", the workspace plan), so that every position word is the
// production one; random LP generators; brute-force references for small cases.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_qp/state_codes.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/start_states.h"
#include "library/sparse_sqp/workspace_plan.h"
#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun::qp_test {

constexpr double kInf = 1e20;

// An LP: A (m x n) by columns and the bounds of the n columns and m rows.
struct Lp {
  int m = 0;
  int n = 0;
  std::vector<double> values;
  std::vector<int> rows;
  std::vector<int> starts{1};  // 1-based column starts, n + 1 of them
  std::vector<double> bl;      // n + m
  std::vector<double> bu;

  void add_column(const std::vector<std::pair<int, double>>& entries) {
    for (const auto& [row, value] : entries) {
      rows.push_back(row);
      values.push_back(value);
    }
    starts.push_back(static_cast<int>(values.size()) + 1);
    ++n;
  }
  ColumnMatrix matrix() const { return {values.data(), rows.data(), starts.data()}; }
  int nnz() const { return static_cast<int>(values.size()); }
  // A x for the columns (rows 1..m).
  std::vector<double> product(const std::vector<double>& x) const {
    std::vector<double> r(m, 0.0);
    for (int j = 0; j < n; ++j) {
      for (int l = starts[j]; l < starts[j + 1]; ++l) r[rows[l - 1] - 1] += values[l - 1] * x[j];
    }
    return r;
  }
};

// Options changed before "Check", as an option line would change them.
struct OptionChanges {
  std::vector<std::pair<int, int>> integers;
  std::vector<std::pair<int, double>> reals;
};

// IZ and Z of one solve of an LP.
class Workspace {
 public:
  // lu_room: room for each LU file; print_unit/monitor: units (-1 none); nonlinear_vars: the
  // leading nonlinear (objective) variables, which size the Hessian-variable arrays.
  Workspace(const Lp& lp,
            const OptionChanges& changes = {},
            std::int64_t lu_room = -1,
            int print_unit = -1,
            int monitor = -1,
            int nonlinear_vars = 0) {
    sqp_test::LocalStore store(print_unit);
    store.i(sparse_option::integer_word::kMonitoringUnit) = monitor;
    if (monitor >= 0) store.i(sparse_option::integer_word::kMinorPrintLevel) = 1;
    for (const auto& [word, value] : changes.integers) store.i(word) = value;
    for (const auto& [word, value] : changes.reals) store.r(word) = value;
    PlanSizes sizes;
    sizes.m = lp.m;
    sizes.n = lp.n;
    sizes.nnz = lp.nnz();
    sizes.nonln = nonlinear_vars;
    sizes.leniz = 0;
    sizes.lenz = 0;
    std::vector<int> probe(600, 0);
    fill_words(lp, store, probe.data(), nullptr, 0, 0, nonlinear_vars);
    sizes.r = probe[sparse_option::integer_word::kReducedHessianDim - 1];
    sizes.s = probe[sparse_option::integer_word::kSuperbasicsLimit - 1];
    sizes.hessian_storage = probe[sparse_option::integer_word::kHessianStorage - 1];
    sizes.hessian_updates = probe[sparse_option::integer_word::kHessianUpdates - 1];
    const WorkspacePlan plan = compute_workspace_plan(sizes);
    const std::int64_t room = lu_room >= 0 ? lu_room : 20 * (lp.nnz() + lp.m) + 1000;
    leniz = static_cast<int>(plan.neediz + 2 * room);
    lenz = static_cast<int>(plan.needz + room);
    iz.assign(leniz, 0);
    z.assign(lenz, 0.0);
    fill_words(lp, store, iz.data(), z.data(), leniz, lenz, nonlinear_vars);
    int neediz = 501;
    int needz = 501;
    sizes.leniz = leniz;
    sizes.lenz = lenz;
    plan_workspace(code, -1, sizes, neediz, needz, iz.data(), "SPNLPF", 1);
  }

  int& i(int word) { return iz[word - 1]; }
  double& r(int word) { return z[word - 1]; }
  int* ints(int role) { return qp::int_array(iz.data(), role); }
  double* reals(int role) { return qp::real_array(iz.data(), z.data(), role); }

  std::vector<int> iz;
  std::vector<double> z;
  int leniz = 0;
  int lenz = 0;
  int code = -1;

 private:
  // The option words and problem sizes, then "Check" (as the solve's set-up does).
  static void fill_words(const Lp& lp,
                         sqp_test::LocalStore& store,
                         int* iz,
                         double* z,
                         int leniz,
                         int lenz,
                         int nonlinear_vars) {
    namespace ws = sparse_ws::integer_word;
    std::vector<double> scratch;
    if (z == nullptr) {
      scratch.assign(600, 0.0);
      z = scratch.data();
    }
    std::copy(store.iw, store.iw + sparse_option::kOptionWordCount, iz);
    std::copy(store.rw, store.rw + sparse_option::kOptionWordCount, z);
    Words<int> w(iz);
    w(ws::kRows) = lp.m;
    w(ws::kColumns) = lp.n;
    w(ws::kElements) = lp.nnz();
    w(ws::kNonlinearObjectiveVars) = nonlinear_vars;
    w(ws::kNonlinearVars) = nonlinear_vars;
    w(ws::kLastRealOptionWord) = sparse_option::kOptionWordCount;
    w(ws::kLastIntOptionWord) = sparse_option::kOptionWordCount;
    w(ws::kIntLength) = leniz;
    w(ws::kRealLength) = lenz;
    check_options(iz, z);
    w(sparse_option::integer_word::kFirstLineFlag) = 1;
    w(ws::kObjectiveSign) = 1;
    w(ws::kJacobianCount) = 1;
    w(ws::kObjectiveRow) = 1;
    w(minor_word::integer_word::kFactorizations) = 0;  // as the solve driver starts a solve
  }
};

// The state of a solve of one LP.
struct LpRun {
  std::vector<double> x;
  std::vector<int> state;
  int result = -1;
  int ninf = -1;
  double sinf = -1.0;
  int itn = 0;
  int degenerate = 0;
};

// Random LP shapes.
struct Shape {
  int m;
  int n;
  double density;
};

// A random sparse matrix with at least one entry per column.
inline Lp random_matrix(std::mt19937& gen, const Shape& s) {
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> row(1, s.m);
  Lp lp;
  lp.m = s.m;
  for (int j = 0; j < s.n; ++j) {
    std::vector<std::pair<int, double>> col;
    for (int i = 1; i <= s.m; ++i) {
      if (unit(gen) < s.density) col.push_back({i, value(gen)});
    }
    if (col.empty()) col.push_back({row(gen), value(gen)});
    lp.add_column(col);
  }
  return lp;
}

// Column bounds of mixed kinds around the point xs (fixed, free, one-sided, boxed).
inline void random_column_bounds(std::mt19937& gen, Lp& lp, const std::vector<double>& xs) {
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_real_distribution<double> gap(0.0, 3.0);
  lp.bl.assign(lp.n + lp.m, 0.0);
  lp.bu.assign(lp.n + lp.m, 0.0);
  for (int j = 0; j < lp.n; ++j) {
    const int k = kind(gen);
    double lo = xs[j] - gap(gen);
    double up = xs[j] + gap(gen);
    if (k == 0) lo = up = xs[j];
    if (k == 1) lo = -kInf, up = kInf;
    if (k == 2) lo = -kInf;
    if (k == 3) up = kInf;
    lp.bl[j] = lo;
    lp.bu[j] = up;
  }
}

// Row bounds of mixed kinds around the activities s (equality, inequality, free).
inline void random_row_bounds(std::mt19937& gen, Lp& lp, const std::vector<double>& s) {
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_real_distribution<double> gap(0.0, 2.0);
  for (int i = 0; i < lp.m; ++i) {
    const int k = kind(gen);
    double lo = s[i] - gap(gen);
    double up = s[i] + gap(gen);
    if (k <= 2) lo = up = s[i];
    if (k == 3) lo = -kInf, up = kInf;
    if (k == 4) lo = -kInf;
    if (k == 5) up = kInf;
    lp.bl[lp.n + i] = lo;
    lp.bu[lp.n + i] = up;
  }
}

// A feasible LP by construction: bounds of every kind around a point and its row activities.
inline Lp feasible_lp(std::mt19937& gen, const Shape& shape) {
  Lp lp = random_matrix(gen, shape);
  std::uniform_real_distribution<double> value(-5.0, 5.0);
  std::vector<double> xs(lp.n);
  for (double& v : xs) v = value(gen);
  random_column_bounds(gen, lp, xs);
  random_row_bounds(gen, lp, lp.product(xs));
  return lp;
}

// Row types of the crash: 0 equality, 1 inequality with a finite bound, 2 free.
inline std::vector<int> row_types(const Lp& lp) {
  std::vector<int> t(lp.m);
  for (int i = 0; i < lp.m; ++i) {
    const double lo = lp.bl[lp.n + i];
    const double up = lp.bu[lp.n + i];
    t[i] = lo == up ? 0 : (lo <= -kInf && up >= kInf ? 2 : 1);
  }
  return t;
}

// A start point: each column at a finite bound (or 0 when free), states from a crash of MODE,
// normalised as the start of a solve normalises them.
inline LpRun start_run(const Lp& lp, Workspace& w, int crash_mode) {
  LpRun run;
  run.x.assign(lp.n + lp.m, 0.0);
  run.state.assign(lp.n + lp.m, 0);
  for (int j = 0; j < lp.n; ++j) {
    if (lp.bl[j] > -kInf) {
      run.x[j] = lp.bl[j];
    } else if (lp.bu[j] < kInf) {
      run.x[j] = lp.bu[j];
      run.state[j] = 1;
    }
  }
  const std::vector<int> types = row_types(lp);
  crash_basis(crash_mode, 0, lp.m, lp.n, crash_mode, 0.1, lp.matrix(),
              w.ints(sparse_ws::int_array::kRowWork), run.state.data(), types.data(), lp.bl.data(),
              lp.bu.data(), run.x.data(), w.iz.data(), w.z.data());
  int ns = 0;
  normalize_start_states(lp.m, w.i(sparse_option::integer_word::kSuperbasicsLimit), lp.n,
                         lp.n + lp.m, ns, 0, run.state.data(),
                         w.ints(sparse_ws::int_array::kBsIndex), lp.bl.data(), lp.bu.data(),
                         run.x.data(), w.iz.data(), w.z.data());
  return run;
}

// Converts the states and solves the phase-1 LP as the linear feasibility phases do.
inline void solve(const Lp& lp,
                  Workspace& w,
                  LpRun& run,
                  std::string_view kind = "FPLinear constrnts",
                  int print_level = 0) {
  convert_state_codes("Internal", lp.n + lp.m, lp.bl.data(), lp.bu.data(), run.state.data(),
                      run.x.data(), 8);
  bool factorize = true;
  bool reset = true;
  const double tol = w.r(sparse_option::real_word::kMinorFeasibilityTol);
  solve_phase1_lp(kind, "linear rows.", factorize, reset, run.result, lp.m, lp.n, print_level, tol,
                  run.itn, run.degenerate, run.ninf, run.sinf, lp.matrix(), run.state.data(),
                  lp.bl.data(), lp.bu.data(), run.x.data(), w.iz.data(), w.leniz, w.z.data(),
                  w.lenz);
}

// Largest violation of a bound over all variables and slacks.
inline double max_bound_violation(const Lp& lp, const std::vector<double>& x) {
  double v = 0.0;
  for (int j = 0; j < lp.n + lp.m; ++j) v = std::max({v, lp.bl[j] - x[j], x[j] - lp.bu[j]});
  return v;
}

// max |A x - s| over the rows.
inline double max_row_residual(const Lp& lp, const std::vector<double>& x) {
  const std::vector<double> ax = lp.product(x);
  double r = 0.0;
  for (int i = 0; i < lp.m; ++i) r = std::max(r, std::abs(ax[i] - x[lp.n + i]));
  return r;
}

inline int count_state(const std::vector<int>& state, int code) {
  return static_cast<int>(std::count(state.begin(), state.end(), code));
}

// Minimum of a convex piecewise-linear F over the points where `count` of the hyperplanes
// (rows of H, right-hand sides h) meet; points failing ADMIT are skipped.  Small cases only.
inline double vertex_minimum(int dim,
                             const std::vector<std::vector<double>>& h,
                             const std::vector<double>& rhs,
                             const std::function<bool(const std::vector<double>&)>& admit,
                             const std::function<double(const std::vector<double>&)>& f) {
  double best = kInf;
  const int k = static_cast<int>(h.size());
  std::vector<int> pick(dim);
  std::function<void(int, int)> choose = [&](int depth, int from) {
    if (depth == dim) {
      std::vector<std::vector<double>> a(dim, std::vector<double>(dim + 1));
      for (int r = 0; r < dim; ++r) {
        for (int c = 0; c < dim; ++c) a[r][c] = h[pick[r]][c];
        a[r][dim] = rhs[pick[r]];
      }
      for (int c = 0; c < dim; ++c) {  // Gaussian elimination with partial pivoting
        int p = c;
        for (int r = c + 1; r < dim; ++r) {
          if (std::abs(a[r][c]) > std::abs(a[p][c])) p = r;
        }
        if (std::abs(a[p][c]) < 1e-10) return;
        std::swap(a[p], a[c]);
        for (int r = 0; r < dim; ++r) {
          if (r == c) continue;
          const double t = a[r][c] / a[c][c];
          for (int cc = c; cc <= dim; ++cc) a[r][cc] -= t * a[c][cc];
        }
      }
      std::vector<double> x(dim);
      for (int c = 0; c < dim; ++c) x[c] = a[c][dim] / a[c][c];
      if (admit(x)) best = std::min(best, f(x));
      return;
    }
    for (int t = from; t < k; ++t) {
      pick[depth] = t;
      choose(depth + 1, t + 1);
    }
  };
  choose(0, 0);
  return best;
}

}  // namespace zun::qp_test
