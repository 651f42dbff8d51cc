// A problem by columns with the arguments of one solve through the top level, and the re-runs
// that a driver makes when a workspace is too small.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/solve_top_level.h"
#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/run_test_support.h"

namespace zun::run_test {

namespace solve_words {
namespace iw = sparse_option::integer_word;
namespace ra = sparse_ws::real_array;
}  // namespace solve_words

constexpr double kInf = 1e20;
constexpr double kFeasibilityTol = 1e-6;
// The least workspace lengths the solver accepts; the integer one grows to N + M.
constexpr std::size_t kMinimumWorkspace = 500;

// Test user routines: x1^2 + x2^2 in the one nonlinear row, (x1 - 1)^2 + (x2 - 2)^2 as the
// objective.  IUSR(1) counts the calls, IUSR(2) keeps the last FIRSTCALL.
inline void circle(int& mode,
            const int&,
            const int&,
            const int&,
            const double* x,
            double* f,
            double* g,
            const int& firstcall,
            int* iusr,
            double*) {
  ++iusr[0];
  iusr[1] = firstcall;
  if (mode != 1) f[0] = x[0] * x[0] + x[1] * x[1];
  if (mode != 0) {
    g[0] = 2 * x[0];
    g[1] = 2 * x[1];
  }
}

inline void distance(int& mode,
              const int&,
              const double* x,
              double& f,
              double* g,
              const int& firstcall,
              int* iusr,
              double*) {
  ++iusr[0];
  iusr[1] = firstcall;
  if (mode != 1) f = (x[0] - 1) * (x[0] - 1) + (x[1] - 2) * (x[1] - 2);
  if (mode != 0) {
    g[0] = 2 * (x[0] - 1);
    g[1] = 2 * (x[1] - 2);
  }
}

// A problem by columns with the arguments of one solve, and the re-runs that a driver makes.
struct SolveRun {
  ConstraintRoutine confun = circle;
  ObjectiveRoutine objfun = distance;
  int n = 0, m = 0, ncnln = 0, nonln = 0, njnln = 0, iobj = 0;
  std::vector<double> aval, bl, bu, xv, mult;
  std::vector<int> ha, ka, istate;
  std::vector<int> iz;
  std::vector<double> z = std::vector<double>(kMinimumWorkspace, 0.0);
  int nsb = 0, neediz = 0, needz = 0, ninfs = -1;
  double suminf = -1.0, objv = 0.0;
  int iusr[2] = {0, 0};
  double rusr[1] = {0.0};
  SparseOptionStore store{};
  std::vector<int> codes;
  char start = 'C';

  SolveRun(const std::vector<std::vector<double>>& rows,
           std::vector<double> lower,
           std::vector<double> upper,
           std::vector<double> start)
      : bl(std::move(lower)), bu(std::move(upper)), xv(std::move(start)) {
    const run_test::OwnedMatrix matrix(rows);
    m = matrix.view.m;
    n = matrix.view.n;
    aval = matrix.a;
    ha = matrix.ha;
    ka = matrix.ka;
    xv.resize(static_cast<std::size_t>(n + m), 0.0);
    // As the driver: IZ starts with max(500, N + M) words, which the input checks demand.
    iz.assign(std::max(kMinimumWorkspace, static_cast<std::size_t>(n + m)), 0);
    istate.assign(static_cast<std::size_t>(n + m), 0);
    mult.assign(static_cast<std::size_t>(n + m), 0.0);
    namespace lw = sparse_option::logical_word;
    for (int k :
         {lw::kInitializeOnNextUse, lw::kListingState, lw::kDefaultsNotSet, lw::kFirstDefaults}) {
      store.logical[k - 1] = kTrue;
    }
    initialize_options(store.logical, store.integer, sparse_option::kOptionWordCount, store.real,
                       sparse_option::kOptionWordCount);
    store.logical[lw::kInitializeOnNextUse - 1] = kFalse;
    store.integer[solve_words::iw::kFirstLineFlag - 1] = 1;
    set(solve_words::iw::kPrintUnit, -1);
    set(solve_words::iw::kErrorUnit, -1);
    set(solve_words::iw::kMajorPrintLevel, 0);
  }
  void set(int word, int value) { store.integer[word - 1] = value; }

  int solve_once() {
    SparseProblem p;
    p.confun = confun;
    p.objfun = objfun;
    p.start = start;
    p.n = n;
    p.m = m;
    p.ncnln = ncnln;
    p.nonln = nonln;
    p.njnln = njnln;
    p.iobj = iobj;
    p.nnz = static_cast<int>(aval.size());
    p.aval = aval.data();
    p.ha = ha.data();
    p.ka = ka.data();
    p.bl = bl.data();
    p.bu = bu.data();
    p.nsb = &nsb;
    p.xv = xv.data();
    p.istate = istate.data();
    p.mult = mult.data();
    p.neediz = &neediz;
    p.needz = &needz;
    p.ninfs = &ninfs;
    p.suminf = &suminf;
    p.objv = &objv;
    p.iz = iz.data();
    p.leniz = static_cast<int>(iz.size());
    p.z = z.data();
    p.lenz = static_cast<int>(z.size());
    p.iusr = iusr;
    p.rusr = rusr;
    int ifail = 1;
    solve_sparse_nlp(p, store, ifail);
    codes.push_back(ifail);
    return ifail;
  }

  // Solves, growing a workspace that is too small, as the driver does.
  int solve() {
    for (;;) {
      const int code = solve_once();
      if (code == 15 || code == 12)
        iz.assign(std::max<std::size_t>(neediz, 2 * iz.size()), 0);
      else if (code == 16 || code == 13)
        z.assign(std::max<std::size_t>(needz, 2 * z.size()), 0.0);
      else
        return code;
    }
  }

  double scale(int j) const {
    if (store.integer[solve_words::iw::kScaleOption - 1] == 0) return 1.0;
    return z[static_cast<std::size_t>(iz[solve_words::ra::kScales - 1] - 1 + j)];
  }

  // The largest violation of a bound or linear row beyond the feasibility tolerance times the
  // entry's scale, and the largest gap between a row activity and A x.
  void expect_linear_feasible() const {
    std::vector<double> ax(static_cast<std::size_t>(m), 0.0);
    for (int j = 0; j < n; ++j) {
      for (int k = ka[j] - 1; k < ka[j + 1] - 1; ++k) ax[ha[k] - 1] += aval[k] * xv[j];
    }
    for (int j = 0; j < n + m; ++j) {
      const double x = j < n ? xv[j] : ax[j - n];
      const double tol = kFeasibilityTol * scale(j) * (1.0 + 1e-9) + 1e-12 * std::fabs(x);
      if (j >= n && j - n < ncnln) continue;
      EXPECT_GE(x, bl[j] - tol) << "entry " << j + 1;
      EXPECT_LE(x, bu[j] + tol) << "entry " << j + 1;
      if (j >= n) {
        EXPECT_NEAR(xv[j], ax[j - n], 1e-9 * (1.0 + std::fabs(ax[j - n])));
      }
    }
  }
};

}  // namespace zun::run_test
