// The dense QP/LS solver: random strictly convex QPs against an active-set enumeration, the
// KKT conditions of every answer, feasible-point problems, rank-deficient least squares and
// each exit code on a constructed case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "library/dense_qp/ls_qp.h"
#include "library/dense_qp/working_set.h"
#include "tests/dense_qp/qp_test_util.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

using dense_test::Dense;
using qp_test::SharedWords;
using qp_test::WorkingSetState;
using testing::UnitCapture;

constexpr double kInf = 1e21;  // beyond the infinite bound size 1e20

struct Qp {
  int n = 0;
  int nclin = 0;
  Dense a;  // nclin x n
  std::vector<double> bl, bu, featol;
  Dense r;  // n x n, rows 1..nrank used
  int nrank = 0;
  std::vector<double> c;     // linear term (empty: none)
  std::vector<double> res0;  // initial residual (rank rows)
  std::vector<double> x0;    // start

  // Constraint j's row (a bound for j <= n).
  double row(int j, int i) const { return j <= n ? (i == j ? 1.0 : 0.0) : a(j - n, i); }
  double value(int j, const std::vector<double>& x) const {
    double s = 0.0;
    for (int i = 1; i <= n; ++i) s += row(j, i) * x[i - 1];
    return s;
  }
  // The Hessian R'R over the rank and the gradient at x.
  Dense hessian() const {
    Dense h(n, n);
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) {
        for (int k = 1; k <= nrank; ++k) h(i, j) += r(k, i) * r(k, j);
      }
    }
    return h;
  }
  std::vector<double> gradient(const std::vector<double>& x) const {
    std::vector<double> g(n, 0.0);
    for (int k = 1; k <= nrank; ++k) {
      double rk = -res0[k - 1];
      for (int j = 1; j <= n; ++j) rk += r(k, j) * x[j - 1];
      for (int i = 1; i <= n; ++i) g[i - 1] += r(k, i) * rk;
    }
    for (int i = 0; i < n && !c.empty(); ++i) g[i] += c[i];
    return g;
  }
  double objective(const std::vector<double>& x) const {
    double f = 0.0;
    for (int k = 1; k <= nrank; ++k) {
      double rk = res0[k - 1];
      for (int j = 1; j <= n; ++j) rk -= r(k, j) * x[j - 1];
      f += 0.5 * rk * rk;
    }
    for (int i = 0; i < n && !c.empty(); ++i) f += c[i] * x[i];
    return f;
  }
};

struct Result {
  int inform = -1;
  int iter = 0;
  std::vector<double> x;
  std::vector<int> istate;
  std::vector<double> clamda;
  double ctx = 0.0;
  double obj = 0.0;
  double suminf = 0.0;
  int numinf = 0;
  int nactiv = 0;
  int nfree = 0;
};

// Runs the solver on p from the working set st (x, istate and clamda taken from out).
void run_solver(const Qp& p,
                const char* type,
                SharedWords& words,
                WorkingSetState& st,
                Dense& r,
                Dense& a,
                Result& out,
                int jinf = 0) {
  const int n = p.n;
  const int nclin = p.nclin;
  std::vector<double> ax(std::max(nclin, 1), 0.0);
  double xnorm = 0.0;
  const Logical lin = p.c.empty() ? kFalse : kTrue;
  const double ssq1 = 0.0;
  const char names[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  const int type_len = static_cast<int>(std::string(type).size());
  solve_ls_qp(type, kFalse, names, lin, st.unitq, out.inform, out.iter, jinf, nclin, n + nclin,
              st.nactiv, st.nfree, p.nrank, st.nz, st.nzr, n, std::max(nclin, 1), n,
              out.istate.data(), st.kactiv.data(), st.kx.data(), out.ctx, out.obj, ssq1, out.suminf,
              out.numinf, xnorm, p.bl.data(), p.bu.data(), a.data(), out.clamda.data(), ax.data(),
              p.featol.data(), r.data(), out.x.data(), st.w.data(), words.iw.data(),
              words.rw.data(), type_len, 8);
  out.nactiv = st.nactiv;
  out.nfree = st.nfree;
}

// A cold start: unit Q, every variable free, x = p.x0.
Result solve(const Qp& p, const char* type, SharedWords& words, int jinf = 0) {
  const int n = p.n;
  const int nclin = p.nclin;
  WorkingSetState st(n, nclin);
  for (int i = 0; i < n; ++i) {
    if (!p.c.empty()) st.cq()[i] = p.c[i];
    if (i < p.nrank) st.res0()[i] = p.res0[i];
  }
  Dense r = p.r;
  if (r.v.empty()) r = Dense(n, n);
  Dense a = p.a;
  if (a.v.empty()) a = Dense(1, n);
  Result out;
  out.x = p.x0;
  out.istate.assign(n + nclin, 0);
  out.clamda.assign(n + nclin, 0.0);
  run_solver(p, type, words, st, r, a, out, jinf);
  return out;
}

// ---- Reference: every active set of at most n constraints, each at one of its bounds.

// Solves the square system m z = b by Gaussian elimination with partial pivoting; false when
// a pivot is negligible.
bool solve_square(std::vector<double> m, std::vector<double>& b, int k) {
  for (int col = 0; col < k; ++col) {
    int piv = col;
    for (int i = col + 1; i < k; ++i) {
      if (std::fabs(m[i * k + col]) > std::fabs(m[piv * k + col])) piv = i;
    }
    if (std::fabs(m[piv * k + col]) < 1e-11) return false;
    if (piv != col) {
      for (int j = 0; j < k; ++j) std::swap(m[col * k + j], m[piv * k + j]);
      std::swap(b[col], b[piv]);
    }
    for (int i = col + 1; i < k; ++i) {
      const double f = m[i * k + col] / m[col * k + col];
      for (int j = col; j < k; ++j) m[i * k + j] -= f * m[col * k + j];
      b[i] -= f * b[col];
    }
  }
  for (int i = k - 1; i >= 0; --i) {
    double s = b[i];
    for (int j = i + 1; j < k; ++j) s -= m[i * k + j] * b[j];
    b[i] = s / m[i * k + i];
  }
  return true;
}

// The minimiser of the strictly convex QP over the inequalities shifted outward by `shift`
// (negative: tightened; equalities stay); false when no feasible active set exists.
bool reference_minimum(const Qp& p, double shift, std::vector<double>& best_x, double& best_f) {
  const int n = p.n;
  const int m = n + p.nclin;
  const Dense h = p.hessian();
  const std::vector<double> g0 = p.gradient(std::vector<double>(n, 0.0));
  std::vector<int> side(m, 0);
  bool found = false;
  best_f = std::numeric_limits<double>::infinity();
  while (true) {
    std::vector<int> act;
    for (int j = 0; j < m; ++j) {
      if (side[j] != 0) act.push_back(j);
    }
    if (static_cast<int>(act.size()) <= n) {
      const int k = n + static_cast<int>(act.size());
      std::vector<double> kkt(k * k, 0.0), rhs(k, 0.0);
      for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) kkt[i * k + j] = h(i + 1, j + 1);
        rhs[i] = -g0[i];
      }
      for (std::size_t q = 0; q < act.size(); ++q) {
        const int j = act[q] + 1;
        for (int i = 0; i < n; ++i) {
          kkt[(n + q) * k + i] = p.row(j, i + 1);
          kkt[i * k + n + q] = p.row(j, i + 1);
        }
        const double sj = p.bl[j - 1] == p.bu[j - 1] ? 0.0 : shift;
        rhs[n + q] = side[act[q]] == 1 ? p.bl[j - 1] - sj : p.bu[j - 1] + sj;
      }
      if (solve_square(kkt, rhs, k)) {
        std::vector<double> x(rhs.begin(), rhs.begin() + n);
        bool feasible = true;
        for (int j = 1; j <= m && feasible; ++j) {
          const double v = p.value(j, x);
          const double sj = p.bl[j - 1] == p.bu[j - 1] ? 0.0 : shift;
          feasible = v >= p.bl[j - 1] - sj - 1e-9 && v <= p.bu[j - 1] + sj + 1e-9;
        }
        if (feasible) {
          const double f = p.objective(x);
          if (f < best_f) {
            best_f = f;
            best_x = x;
          }
          found = true;
        }
      }
    }
    int j = 0;
    for (; j < m; ++j) {
      const bool lower_ok = p.bl[j] > -1e20;
      const bool upper_ok = p.bu[j] < 1e20 && p.bu[j] != p.bl[j];
      int next = side[j] + 1;
      if (next == 1 && !lower_ok) ++next;
      if (next == 2 && !upper_ok) ++next;
      if (next <= 2) {
        side[j] = next;
        break;
      }
      side[j] = 0;
    }
    if (j == m) break;
  }
  return found;
}

// ---- Random problems

// Bounds around a value v: a mix of two-sided, one-sided, free, fixed and tight (v on a bound).
void random_bounds(double v, std::mt19937& rng, double& lo, double& hi) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double kind = u(rng);
  const double d1 = 0.1 + u(rng);
  const double d2 = 0.1 + u(rng);
  if (kind < 0.3) {
    lo = v - d1, hi = v + d2;
  } else if (kind < 0.45) {
    lo = v - d1, hi = kInf;
  } else if (kind < 0.6) {
    lo = -kInf, hi = v + d2;
  } else if (kind < 0.7) {
    lo = -kInf, hi = kInf;
  } else if (kind < 0.8) {
    lo = hi = v;
  } else if (kind < 0.9) {
    lo = v, hi = v + d2;
  } else {
    lo = v - d1, hi = v;
  }
}

Qp random_qp(int n, int nclin, int nrank, bool linear, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Qp p;
  p.n = n;
  p.nclin = nclin;
  p.nrank = nrank;
  p.a = dense_test::random_matrix(std::max(nclin, 1), n, rng);
  std::vector<double> hidden(n);
  for (double& v : hidden) v = u(rng);
  for (int k = 2; k <= nclin; ++k) {
    if (u(rng) > 0.8) {  // a duplicated or proportional row
      const double f = u(rng) > 0 ? 1.0 : -2.0;
      for (int j = 1; j <= n; ++j) p.a(k, j) = f * p.a(1, j);
    }
  }
  p.bl.resize(n + nclin);
  p.bu.resize(n + nclin);
  for (int j = 1; j <= n + nclin; ++j) random_bounds(p.value(j, hidden), rng, p.bl[j - 1], p.bu[j - 1]);
  p.featol.assign(n + nclin, 1e-9);
  p.r = Dense(n, n);
  const Dense full = dense_test::random_upper(n, rng);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= std::min(j, nrank); ++i) p.r(i, j) = full(i, j);
  }
  p.res0.assign(n, 0.0);
  for (int i = 0; i < nrank; ++i) p.res0[i] = 2.0 * u(rng);
  if (linear) {
    p.c.resize(n);
    for (double& v : p.c) v = 3.0 * u(rng);
  }
  p.x0.resize(n);
  for (double& v : p.x0) v = 2.0 * u(rng);
  return p;
}

// ---- KKT conditions of an answer

struct KktError {
  double stationarity = 0.0;
  double feasibility = 0.0;
  double sign = 0.0;
  double complementarity = 0.0;
};

KktError kkt(const Qp& p, const Result& res) {
  KktError e;
  const int n = p.n;
  const int m = n + p.nclin;
  std::vector<double> g = p.gradient(res.x);
  double scale = 1.0;
  for (double v : g) scale = std::max(scale, std::fabs(v));
  for (int j = 1; j <= m; ++j) {
    const double lambda = res.clamda[j - 1];
    for (int i = 1; i <= n; ++i) g[i - 1] -= lambda * p.row(j, i);
    const double v = p.value(j, res.x);
    const double tol = p.featol[j - 1] * (1.0 + 1e-6);
    e.feasibility = std::max({e.feasibility, p.bl[j - 1] - v - tol, v - p.bu[j - 1] - tol});
    const int s = res.istate[j - 1];
    if (s == 0 || s < 0) e.sign = std::max(e.sign, std::fabs(lambda));
    if (s == 1) e.sign = std::max(e.sign, -lambda / scale);
    if (s == 2) e.sign = std::max(e.sign, lambda / scale);
    if (s == 1 || s == 3) e.complementarity = std::max(e.complementarity, std::fabs(v - p.bl[j - 1]) - tol);
    if (s == 2) e.complementarity = std::max(e.complementarity, std::fabs(v - p.bu[j - 1]) - tol);
  }
  for (double v : g) e.stationarity = std::max(e.stationarity, std::fabs(v) / scale);
  return e;
}

void expect_kkt(const Qp& p, const Result& res, const std::string& where) {
  const KktError e = kkt(p, res);
  EXPECT_LT(e.stationarity, 1e-8) << where;
  EXPECT_LE(e.feasibility, 0.0) << where;
  EXPECT_LT(e.sign, 1e-8) << where;
  EXPECT_LE(e.complementarity, 0.0) << where;
}

// An answer that must be a minimum of objective value f.
void expect_minimum(const Qp& p, const Result& res, double f, const std::string& where) {
  ASSERT_TRUE(res.inform == 0 || res.inform == 1) << where << " inform " << res.inform;
  EXPECT_NEAR(p.objective(res.x), f, 1e-8 * (1.0 + std::fabs(f))) << where;
  EXPECT_NEAR(res.ctx + res.obj, f, 1e-8 * (1.0 + std::fabs(f))) << where;
  expect_kkt(p, res, where);
}

// ---- Random strictly convex QPs against the reference

TEST(LsQp, RandomStrictlyConvexQpsMatchTheReferenceAndSatisfyKkt) {
  std::mt19937 rng(2024);
  SharedWords words;
  int solved = 0;
  double worst_x = 0.0;
  for (int trial = 0; trial < 1150; ++trial) {
    const int n = 1 + trial % 4;
    const int nclin = trial % 4;
    const bool linear = trial % 3 != 0;
    Qp p = random_qp(n, nclin, n, linear, rng);
    p.featol.assign(n + nclin, 1e-11);
    std::vector<double> xref;
    double fref = 0.0;
    if (!reference_minimum(p, 0.0, xref, fref)) continue;
    const Result res = solve(p, "QP", words);
    const std::string where = "trial " + std::to_string(trial);
    expect_minimum(p, res, fref, where);
    double dx = 0.0;
    double xs = 1.0;
    for (int i = 0; i < n; ++i) {
      dx = std::max(dx, std::fabs(res.x[i] - xref[i]));
      xs = std::max(xs, std::fabs(xref[i]));
    }
    worst_x = std::max(worst_x, dx / xs);
    EXPECT_LT(dx / xs, 1e-6) << where;
    ++solved;
  }
  EXPECT_GE(solved, 1000);
  RecordProperty("solved", solved);
  RecordProperty("worst_x_deviation", ::testing::PrintToString(worst_x));
}

TEST(LsQp, LargerRandomQpsAndLeastSquaresSatisfyKkt) {
  std::mt19937 rng(77);
  SharedWords words;
  int checked = 0;
  int large_checked = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const bool large = trial % 10 == 9;
    const int n = large ? 20 + trial % 21 : 3 + trial % 6;
    const int nclin = large ? 10 + trial % 25 : trial % 7;
    const bool linear = trial % 2 == 0;
    const Qp p = random_qp(n, nclin, n, linear, rng);
    std::vector<double> xref;
    double fref = 0.0;
    const Result res = solve(p, "QP", words);
    const std::string where = "trial " + std::to_string(trial);
    if (res.inform == 3) {
      // Only when the constraints admit no point.
      EXPECT_FALSE(n + nclin <= 9 && reference_minimum(p, -1e-6, xref, fref)) << where;
      continue;
    }
    ASSERT_TRUE(res.inform == 0 || res.inform == 1) << where << " inform " << res.inform;
    expect_kkt(p, res, where);
    ++checked;
    large_checked += large ? 1 : 0;
  }
  EXPECT_GT(checked, 250);
  EXPECT_GT(large_checked, 20);
}

TEST(LsQp, RankDeficientLeastSquaresReachesAMinimum) {
  std::mt19937 rng(99);
  SharedWords words;
  int checked = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const int n = 2 + trial % 4;
    const int nrank = 1 + trial % (n - 1);
    const Qp p = random_qp(n, trial % 3, nrank, false, rng);
    // Bounded variables so that a minimum exists.
    Qp q = p;
    for (int j = 0; j < n; ++j) {
      if (q.bl[j] <= -1e20) q.bl[j] = -3.0;
      if (q.bu[j] >= 1e20) q.bu[j] = 3.0;
    }
    std::vector<double> xref;
    double fref = 0.0;
    q.featol.assign(n + q.nclin, 1e-11);
    if (!reference_minimum(q, 0.0, xref, fref)) continue;
    const Result res = solve(q, "LS", words);
    expect_minimum(q, res, fref, "trial " + std::to_string(trial));
    ++checked;
  }
  EXPECT_GT(checked, 150);
}

// ---- Feasible-point problems

TEST(LsQp, FeasiblePointVerdictAgreesWithTheReference) {
  std::mt19937 rng(5150);
  SharedWords words;
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  int feasible = 0;
  int infeasible = 0;
  for (int trial = 0; trial < 1200; ++trial) {
    const int n = 1 + trial % 4;
    const int nclin = 1 + trial % 3;
    Qp p = random_qp(n, nclin, 0, false, rng);
    // Shift some rows' bounds so that some problems have no point.
    for (int k = 1; k <= nclin; ++k) {
      if (u(rng) > 0.6) {
        const double shift = 2.0 * u(rng);
        if (p.bl[n + k - 1] > -1e20) p.bl[n + k - 1] += shift;
        if (p.bu[n + k - 1] < 1e20) p.bu[n + k - 1] += shift;
      }
    }
    p.featol.assign(n + nclin, 1e-8);
    Qp ref = p;
    ref.nrank = n;
    ref.r = dense_test::identity(n);
    ref.res0 = p.x0;
    std::vector<double> xref;
    double fref = 0.0;
    const bool with_margin = reference_minimum(ref, -1e-6, xref, fref);
    const bool without = reference_minimum(ref, 1e-6, xref, fref);
    if (std::getenv("QP_DEBUG_TRIAL") && std::atoi(std::getenv("QP_DEBUG_TRIAL")) == trial) {
      words.integer(qp_words::kPrintFile) = 6;
      words.integer(qp_words::kMonitoringFile) = 6;
      words.integer(qp_words::kMinorPrintLevel) = 30;
    }
    const Result res = solve(p, "FP", words);
    words.integer(qp_words::kMinorPrintLevel) = 0;
    const std::string where = "trial " + std::to_string(trial);
    if (with_margin) {
      ASSERT_EQ(res.inform, 0) << where;
      EXPECT_EQ(res.numinf, 0) << where;
      expect_kkt(p, res, where);
      for (double v : res.clamda) EXPECT_EQ(v, 0.0) << where;
      ++feasible;
    } else if (!without) {
      EXPECT_EQ(res.inform, 3) << where;
      EXPECT_GT(res.numinf, 0) << where;
      ++infeasible;
    }
  }
  EXPECT_GT(feasible, 300);
  EXPECT_GT(infeasible, 100);
  EXPECT_GE(feasible + infeasible, 1000);
  RecordProperty("feasible", feasible);
  RecordProperty("infeasible", infeasible);
}

Qp one_variable_rows(std::vector<double> lo, std::vector<double> hi, double x0) {
  Qp p;
  p.n = 1;
  p.nclin = static_cast<int>(lo.size());
  p.a = Dense(p.nclin, 1);
  for (int k = 1; k <= p.nclin; ++k) p.a(k, 1) = 1.0;
  p.bl = {-kInf};
  p.bu = {kInf};
  p.bl.insert(p.bl.end(), lo.begin(), lo.end());
  p.bu.insert(p.bu.end(), hi.begin(), hi.end());
  p.featol.assign(1 + p.nclin, 1e-9);
  p.x0 = {x0};
  p.res0 = {0.0};
  p.r = Dense(1, 1);
  return p;
}

TEST(LsQp, PhaseOneReleasesAWorkingRowThatBlocksFeasibility) {
  // x <= 0 holds x back from x >= 2 and x >= 3: the least sum of infeasibilities is 3, on
  // [2, 3], reached only by releasing x <= 0 from the working set.
  SharedWords words;
  const Qp p = one_variable_rows({-kInf, 2.0, 3.0}, {0.0, kInf, kInf}, -1.0);
  const Result res = solve(p, "FP", words);
  EXPECT_EQ(res.inform, 3);
  EXPECT_NEAR(res.suminf, 3.0, 1e-9);
  EXPECT_GE(res.x[0], 2.0 - 1e-9);
  EXPECT_LE(res.x[0], 3.0 + 1e-9);
}

TEST(LsQp, PhaseOneReleasesOnlyConstraintsNumberedAboveJinf) {
  // The same problem with the blocking row (constraint 2) at or below jinf: it stays, and the
  // sum of infeasibilities stays 5 at x = 0.
  SharedWords words;
  const Qp p = one_variable_rows({-kInf, 2.0, 3.0}, {0.0, kInf, kInf}, -1.0);
  const Result res = solve(p, "FP", words, 2);
  EXPECT_EQ(res.inform, 3);
  EXPECT_NEAR(res.suminf, 5.0, 1e-9);
  EXPECT_NEAR(res.x[0], 0.0, 1e-12);
  EXPECT_EQ(res.istate[1], 2);
}

TEST(LsQp, FeasibleStartEndsAtOnceWithZeroMultipliers) {
  SharedWords words;
  const Qp p = one_variable_rows({-1.0, 0.5}, {1.0, kInf}, 0.75);
  const Result res = solve(p, "FP", words);
  EXPECT_EQ(res.inform, 0);
  EXPECT_EQ(res.iter, 0);
  EXPECT_EQ(res.x[0], 0.75);
  for (double v : res.clamda) EXPECT_EQ(v, 0.0);
}

// ---- Exit codes on constructed cases

Qp two_variable_lp(std::vector<double> c, std::vector<double> bl, std::vector<double> bu) {
  Qp p;
  p.n = 2;
  p.nclin = 0;
  p.bl = bl;
  p.bu = bu;
  p.featol.assign(2, 1e-9);
  p.c = c;
  p.x0 = {0.5, 0.5};
  p.res0 = {0.0, 0.0};
  p.r = Dense(2, 2);
  return p;
}

TEST(LsQp, ExitCodesOnConstructedCases) {
  SharedWords words;
  // 0: a strictly convex QP with its minimum inside the bounds, reached by one unit step.
  Qp inside = two_variable_lp({-1.0, 1.0}, {-5.0, -5.0}, {5.0, 5.0});
  inside.nrank = 2;
  inside.r = dense_test::identity(2);
  Result res = solve(inside, "QP", words);
  EXPECT_EQ(res.inform, 0);
  EXPECT_NEAR(res.x[0], 1.0, 1e-12);
  EXPECT_NEAR(res.x[1], -1.0, 1e-12);
  EXPECT_EQ(res.iter, 1);
  // 1: min x1 over 0 <= x1, 0 <= x2 <= 1: every x2 is optimal (a zero multiplier).
  res = solve(two_variable_lp({1.0, 0.0}, {0.0, 0.0}, {kInf, 1.0}), "LP", words);
  EXPECT_EQ(res.inform, 1);
  EXPECT_NEAR(res.x[0], 0.0, 1e-12);
  // 2: min -x1 over x1 >= 0: unbounded.
  res = solve(two_variable_lp({-1.0, 0.0}, {0.0, 0.0}, {kInf, 1.0}), "LP", words);
  EXPECT_EQ(res.inform, 2);
  // 3: x >= 1 and x <= 0.
  res = solve(one_variable_rows({1.0, -kInf}, {kInf, 0.0}, 0.5), "FP", words);
  EXPECT_EQ(res.inform, 3);
  // 4: an iteration limit of 1 on an LP that needs two steps.
  SharedWords limited;
  limited.integer(qp_words::kMinorLimit) = 1;
  limited.integer(qp_words::kGeneralMinorLimit) = 1;
  res = solve(two_variable_lp({1.0, 1.0}, {0.0, 0.0}, {1.0, 1.0}), "LP", limited);
  EXPECT_EQ(res.inform, 4);
  EXPECT_EQ(res.iter, 1);
  // 5: min -sum x_i over [0, 1] moves one variable per step, each step of length 1; beside a
  // variable held at 1e18 every such step is negligible, and the 51st in a row ends the solve.
  constexpr int kSteps = 60;
  Qp far = two_variable_lp(std::vector<double>(kSteps, -1.0), std::vector<double>(kSteps, 0.0),
                           std::vector<double>(kSteps, 1.0));
  far.n = kSteps + 1;
  far.c.push_back(0.0);
  far.bl.push_back(1e18);
  far.bu.push_back(1e18);
  far.featol.assign(far.n, 1e-9);
  far.x0.assign(far.n, 0.0);
  far.x0.back() = 1e18;
  far.res0.assign(far.n, 0.0);
  far.r = Dense(far.n, far.n);
  res = solve(far, "LP", words);
  EXPECT_EQ(res.inform, 5);
  EXPECT_EQ(std::count(res.x.begin(), res.x.end() - 1, 1.0), 50);
}

TEST(LsQp, QpSubproblemGetsTheMinorLimitAgainOnceFeasible) {
  // Phase 1 takes a step; the QP then still has the whole minor limit for its own steps.
  SharedWords words;
  words.integer(qp_words::kGeneralMinorLimit) = 1;
  words.integer(qp_words::kMinorLimit) = 2;
  Qp p = two_variable_lp({-10.0, -10.0}, {2.0, -kInf}, {kInf, kInf});
  p.nrank = 2;
  p.r = dense_test::identity(2);
  p.x0 = {0.0, 0.0};
  const Result res = solve(p, "QP", words);
  EXPECT_EQ(res.inform, 0);
  EXPECT_NEAR(res.x[0], 10.0, 1e-10);
  EXPECT_NEAR(res.x[1], 10.0, 1e-10);
}

}  // namespace
}  // namespace zun

namespace zun {
namespace {

// A warm start: the working set of a cold solve rebuilt by fix_bound_variables and
// add_initial_working_set (an explicit Q on entry), then solved again from a moved point.
struct WarmStart {
  WorkingSetState st;
  Dense r;
  Dense a;
  WarmStart(const Qp& p, const std::vector<int>& istate, SharedWords& words)
      : st(p.n, p.nclin), r(p.r), a(p.a) {
    const int n = p.n;
    st.istate = istate;
    for (int j = 0; j < n + p.nclin; ++j) {
      if (st.istate[j] < 0) st.istate[j] = 0;
    }
    for (int i = 0; i < n; ++i) {
      if (!p.c.empty()) st.cq()[i] = p.c[i];
      if (i < p.nrank) st.res0()[i] = p.res0[i];
    }
    int inform = -1;
    fix_bound_variables(st.unitq, inform, st.nz, st.nfree, p.nrank, 2, 2, n, n, st.istate.data(),
                        st.kx.data(), r.data(), st.res(), st.gq());
    int count = 0;
    for (int k = 1; k <= p.nclin; ++k) {
      if (st.istate[n + k - 1] > 0) st.kactiv[count++] = k;
    }
    int nartif = 0;
    int nrejtd = 0;
    const int lda = std::max(p.nclin, 1);
    if (count > 0) {
      add_initial_working_set(st.unitq, 0, inform, 1, count, st.nactiv, nartif, st.nz, st.nfree,
                              p.nrank, nrejtd, 2, 2, n, lda, st.lay.ldq, n, st.lay.ldt,
                              st.istate.data(), st.kactiv.data(), st.kx.data(),
                              kInitialDependencyLimit, a.data(), r.data(), st.t(), st.res(),
                              st.gq(), st.q(), st.scratch(), 0, words.iw.data(), words.rw.data());
    }
  }
};

TEST(LsQp, WarmStartFromTheFinalWorkingSetReachesTheSameMinimum) {
  std::mt19937 rng(31);
  SharedWords words;
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  int checked = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 2 + trial % 5;
    const int nclin = trial % 5;
    Qp p = random_qp(n, nclin, n, true, rng);
    p.featol.assign(n + nclin, 1e-10);
    const Result cold = solve(p, "QP", words);
    if (cold.inform > 1) continue;
    WarmStart warm(p, cold.istate, words);
    Result res;
    res.x = cold.x;
    for (double& v : res.x) v += 0.1 * u(rng);
    res.istate = warm.st.istate;
    res.clamda.assign(n + nclin, 0.0);
    run_solver(p, "QP", words, warm.st, warm.r, warm.a, res);
    expect_minimum(p, res, p.objective(cold.x), "trial " + std::to_string(trial));
    ++checked;
  }
  EXPECT_GT(checked, 250);
}

// Two working rows so nearly parallel that x must go to about 1e14 to satisfy both: A x keeps
// a rounding error far above the tolerance (bounds off the 2^-8 grid of sums of that size),
// and the solve ends with exit 3 and the warning.
TEST(LsQp, WorkingSetThatCannotBeSatisfiedEndsWithTheWarning) {
  UnitCapture print(74);
  SharedWords words;
  words.integer(qp_words::kPrintFile) = 74;
  words.integer(qp_words::kMinorPrintLevel) = 1;
  Qp p = two_variable_lp({1.0, 1.0}, {-kInf, -kInf}, {kInf, kInf});
  p.nclin = 2;
  p.a = Dense(2, 2);
  p.a(1, 1) = p.a(2, 1) = 1.0;
  p.a(1, 2) = 0.3;
  p.a(2, 2) = 0.3 + 1e-14;
  p.bl.insert(p.bl.end(), {0.1, 1.1});
  p.bu.insert(p.bu.end(), {0.1, 1.1});
  p.featol.assign(4, 1e-9);
  WarmStart warm(p, {0, 0, 3, 3}, words);
  ASSERT_EQ(warm.st.nactiv, 2);
  Result res;
  res.x = p.x0;
  res.istate = warm.st.istate;
  res.clamda.assign(4, 0.0);
  run_solver(p, "LP", words, warm.st, warm.r, warm.a, res);
  EXPECT_EQ(res.inform, 3);
  EXPECT_EQ(res.numinf, 1);
  const std::vector<std::string> lines = print.lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      " XXX  Warning.  Cannot satisfy the constraints to the accuracy requested."),
            lines.end());
}

TEST(LsQp, RangeSpaceStepLandsOnTheWorkingSet) {
  std::mt19937 rng(41);
  SharedWords words;
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int trial = 0; trial < 100; ++trial) {
    const int n = 3 + trial % 4;
    const int nclin = 1 + trial % 3;
    Qp p = random_qp(n, nclin, n, true, rng);
    const Result cold = solve(p, "QP", words);
    WarmStart warm(p, cold.istate, words);
    std::vector<double> x(n), step(n), ap(nclin), work(2 * n);
    for (double& v : x) v = u(rng);
    std::vector<double> ax(nclin, 0.0);
    for (int k = 1; k <= nclin; ++k) ax[k - 1] = p.value(n + k, x);
    compute_range_space_step(warm.st.unitq, n, nclin, warm.st.nactiv, warm.st.nfree, warm.st.nz,
                             nclin, warm.st.lay.ldq, warm.st.lay.ldt, warm.st.istate.data(),
                             warm.st.kactiv.data(), warm.st.kx.data(), p.a.data(), ax.data(),
                             p.bl.data(), p.bu.data(), x.data(), warm.st.t(), warm.st.q(),
                             step.data(), ap.data(), work.data());
    std::vector<double> moved(n);
    for (int i = 0; i < n; ++i) moved[i] = x[i] + step[i];
    for (int j = 1; j <= n + nclin; ++j) {
      const int s = warm.st.istate[j - 1];
      if (s < 1 || s > 3) continue;
      const double bound = s == 1 ? p.bl[j - 1] : p.bu[j - 1];
      EXPECT_NEAR(p.value(j, moved), bound, 1e-10) << "trial " << trial << " constraint " << j;
    }
    for (int k = 1; k <= nclin; ++k) {
      EXPECT_NEAR(ap[k - 1], p.value(n + k, step), 1e-12);
    }
  }
}

// A warm start whose point lies off its working rows by less than their tolerance is still
// moved onto them: the solve ends with every working row on its bound to rounding.
TEST(LsQp, WarmStartWithinTheToleranceLandsOnTheWorkingRows) {
  std::mt19937 rng(43);
  SharedWords words;
  constexpr double kFeatol = 1e-6;
  int checked = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 3 + trial % 4;
    const int nclin = 1 + trial % 3;
    Qp p = random_qp(n, nclin, n, true, rng);
    p.featol.assign(n + nclin, kFeatol);
    const Result cold = solve(p, "QP", words);
    if (cold.inform > 1) continue;
    WarmStart warm(p, cold.istate, words);
    if (warm.st.nactiv == 0) continue;
    Result res;
    res.x = cold.x;
    for (int j = 1; j <= n; ++j) res.x[j - 1] += 0.1 * kFeatol * p.a(warm.st.kactiv[0], j);
    res.istate = warm.st.istate;
    res.clamda.assign(n + nclin, 0.0);
    run_solver(p, "QP", words, warm.st, warm.r, warm.a, res);
    for (int i = 1; i <= warm.st.nactiv; ++i) {
      const int j = n + warm.st.kactiv[i - 1];
      const int s = res.istate[j - 1];
      if (s < 1 || s > 3) continue;
      const double bound = s == 1 ? p.bl[j - 1] : p.bu[j - 1];
      EXPECT_NEAR(p.value(j, res.x), bound, 1e-12 * (1.0 + std::fabs(bound)))
          << "trial " << trial << " row " << j;
    }
    ++checked;
  }
  EXPECT_GT(checked, 30);
}

TEST(LsQp, ExitLineAndSolutionTableOnThePrintFile) {
  UnitCapture print(73);
  SharedWords words;
  words.integer(qp_words::kPrintFile) = 73;
  words.integer(qp_words::kMinorPrintLevel) = 1;
  Qp inside = two_variable_lp({-1.0, 1.0}, {-5.0, -5.0}, {5.0, 5.0});
  inside.nrank = 2;
  inside.r = dense_test::identity(2);
  const Result res = solve(inside, "QP subproblem", words);
  EXPECT_EQ(res.inform, 0);
  const std::vector<std::string> lines = print.lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], " Exit from QP problem after     1 iterations.");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      " Varbl State     Value       Lower Bound   Upper Bound    Lagr Mult   Slack"),
            lines.end());
}

}  // namespace
}  // namespace zun
