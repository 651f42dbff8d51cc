// The QP minor iterations on seeded random convex QPs and LPs with an objective row: the first-
// order conditions at the end point, the objective against an enumeration of the active faces
// on small cases, the reduced-Hessian factor against Z'HZ after every step, maximisation, the
// start point, elastic mode and the exit results.
#include <gtest/gtest.h>

#include <iostream>

#include "library/sparse_qp/qp_iteration.h"

#include "tests/sparse_qp/qp_fixture.h"

namespace zun {
namespace {

using namespace qp_test;

constexpr int kPrintUnit = 86;

// A random convex QP of n columns and m rows whose leading nnh variables carry the Hessian.
Qp random_qp(std::mt19937& gen, int n, int m, int nnh, double sign, bool boxed) {
  Qp qp;
  const double density = std::uniform_real_distribution<double>(0.2, 0.6)(gen);
  qp.lp = feasible_lp(gen, Shape{m, n, density});
  if (boxed) {
    for (int j = 0; j < n; ++j) {
      if (qp.lp.bl[j] <= -kInf) qp.lp.bl[j] = std::min(qp.lp.bu[j], 0.0) - 4.0;
      if (qp.lp.bu[j] >= kInf) qp.lp.bu[j] = std::max(qp.lp.bl[j], 0.0) + 4.0;
    }
  }
  qp.nnobj = n;
  qp.nnh = nnh;
  qp.sign = sign;
  qp.hu = random_hessian(gen, nnh, 0.1, sign);
  std::uniform_real_distribution<double> value(-3.0, 3.0);
  qp.g.resize(n);
  qp.x0.resize(n);
  for (int j = 0; j < n; ++j) {
    qp.g[j] = value(gen);
    qp.x0[j] = value(gen);
  }
  return qp;
}

struct Figures {
  int cases = 0;
  int referenced = 0;
  double worst_kkt = 0.0;
  double worst_objective = 0.0;
  int max_ns = 0;
};

TEST(QpMinorIterations, SolvesSeededConvexQps) {
  Figures f;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    std::mt19937 gen(seed);
    const bool small = seed % 3 == 0;
    const int n = small ? std::uniform_int_distribution<int>(2, 6)(gen)
                        : std::uniform_int_distribution<int>(5, 40)(gen);
    const int m = small ? std::uniform_int_distribution<int>(1, 3)(gen)
                  : seed % 5 == 1 ? std::uniform_int_distribution<int>(1, 3)(gen)
                                  : std::uniform_int_distribution<int>(1, std::min(20, n))(gen);
    // Every fourth case: the Hessian on the leading half, linear terms on the next quarter,
    // the last quarter free of the objective (boxed, so that the QP stays bounded).
    const bool partial = seed % 4 == 1;
    const int nnh = partial ? std::max(1, n / 2) : n;
    Qp qp = random_qp(gen, n, m, nnh, 1.0, small || partial);
    if (partial) qp.nnobj = std::max(nnh, (3 * n) / 4);
    if (seed % 10 == 7) {  // loose bounds: most variables end superbasic
      for (int j = 0; j < n + m; ++j) qp.lp.bl[j] -= 30.0, qp.lp.bu[j] += 30.0;
    }
    Workspace w = qp_workspace(qp);
    ASSERT_EQ(w.code, 0);
    QpRun run = start_qp(qp, w, static_cast<int>(seed % 4));
    solve_qp(qp, w, run, test_settings(qp, w));
    const std::string where = "seed " + std::to_string(seed) + " n " + std::to_string(n) +
                              " m " + std::to_string(m);
    ASSERT_EQ(run.result, MinorResult::kOptimal) << where;
    EXPECT_EQ(run.measures.ninf, 0) << where;
    const double kkt = kkt_residual(qp, w, run);
    EXPECT_LE(kkt, 1e-8) << where;
    f.worst_kkt = std::max(f.worst_kkt, kkt);
    f.max_ns = std::max(f.max_ns, run.ns);
    ++f.cases;
    if (small) {
      const double ref = enumeration_reference(qp);
      const double got = qp.objective(run.x);
      EXPECT_NEAR(got, ref, 1e-8 * (1.0 + std::abs(ref))) << where;
      f.worst_objective = std::max(f.worst_objective, std::abs(got - ref) / (1.0 + std::abs(ref)));
      ++f.referenced;
    }
  }
  std::cout << "convex QPs " << f.cases << " (referenced " << f.referenced << "), worst KKT "
            << f.worst_kkt << ", worst objective gap " << f.worst_objective << ", most superbasics "
            << f.max_ns << "\n";
  EXPECT_GE(f.max_ns, 20);
}


// Solves one minor iteration per call, checking R'R = Z'HZ after each; every fifth call drops
// R so that the next pass builds and factorises it again (rank-deficient Hessians included).
TEST(QpMinorIterations, ReducedHessianMatchesZtHZAfterEveryStep) {
  double worst = 0.0;
  int checks = 0;
  int max_ns = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 gen(1000 + seed);
    const int n = std::uniform_int_distribution<int>(4, 24)(gen);
    const int m = std::uniform_int_distribution<int>(1, std::min(10, n - 1))(gen);
    Qp qp = random_qp(gen, n, m, n, 1.0, true);
    if (seed % 4 == 0) {  // rank 2: H = v v' + w w'
      std::uniform_real_distribution<double> value(-1.0, 1.0);
      std::vector<double> v(n);
      std::vector<double> u(n);
      for (int j = 0; j < n; ++j) v[j] = value(gen), u[j] = value(gen);
      for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) qp.hu[i + j * n] = v[i] * v[j] + u[i] * u[j];
      }
    }
    Workspace w = qp_workspace(qp);
    QpRun run = start_qp(qp, w, static_cast<int>(seed % 4));
    MinorSettings settings = test_settings(qp, w);
    const double limit = 1e-10 * hessian_norm(qp);
    for (int call = 1; call <= 400; ++call) {
      settings.minor_limit = run.minor + 1;
      if (call % 5 == 0) run.r_valid = false;
      solve_qp(qp, w, run, settings);
      if (run.r_valid && run.ns > 0) {
        const double gap = r_invariant(qp, w, run.ns);
        EXPECT_LE(gap, limit) << "seed " << seed << " call " << call << " ns " << run.ns;
        worst = std::max(worst, gap / hessian_norm(qp));
        ++checks;
      }
      max_ns = std::max(max_ns, run.ns);
      if (run.result != MinorResult::kIterationLimit) break;
    }
    EXPECT_EQ(run.result, MinorResult::kOptimal) << "seed " << seed;
    EXPECT_LE(kkt_residual(qp, w, run), 1e-8) << "seed " << seed;
  }
  EXPECT_GE(max_ns, 5);
  std::cout << "R invariant checks " << checks << ", worst |R'R - Z'HZ| / |H| " << worst
            << ", most superbasics " << max_ns << "\n";
}

// An LP: boxed columns, rows with conflicting or loose bounds, and a free objective row.
Qp objective_row_lp(std::mt19937& gen, int n, int m, double sign) {
  Qp qp;
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  qp.lp.m = m + 1;
  for (int j = 0; j < n; ++j) {
    std::vector<std::pair<int, double>> col;
    for (int i = 1; i <= m + 1; ++i) col.push_back({i, value(gen)});
    qp.lp.add_column(col);
  }
  qp.lp.bl.assign(n + m + 1, -2.0);
  qp.lp.bu.assign(n + m + 1, 2.0);
  for (int i = 0; i < m; ++i) {
    const double c = std::uniform_real_distribution<double>(-1.0, 1.0)(gen);
    const double h = i % 3 == 0 ? 0.0 : 0.7;
    qp.lp.bl[n + i] = c - h;
    qp.lp.bu[n + i] = c + h;
  }
  qp.lp.bl[n + m] = -kInf;
  qp.lp.bu[n + m] = kInf;
  qp.sign = sign;
  qp.objective_row = m + 1;
  qp.scale = 1.0;
  return qp;
}

// The objective row's slack made nonbasic at the start, a structural column of that row
// basic in its place (as a rank drop of R, a warm start or a (B S) re-split leave it).
void objective_slack_nonbasic(const Qp& qp, QpRun& run) {
  const int n = qp.lp.n;
  const int slack = n + qp.objective_row - 1;
  if (run.state[slack] != VariableState::kBasic) return;
  int best = -1;
  for (int j = 0; j < n; ++j) {
    if (run.state[j] == VariableState::kBasic) continue;
    const double v = std::abs(qp.lp.values[qp.lp.starts[j + 1] - 2]);  // the last row leads
    if (best < 0 || v > std::abs(qp.lp.values[qp.lp.starts[best + 1] - 2])) best = j;
  }
  run.state[slack] = 0;
  run.state[best] = VariableState::kBasic;
}

struct ObjectiveRowCase {
  const char* name;
  bool quadratic;
  bool slack_nonbasic;
};

class ObjectiveRow : public testing::TestWithParam<ObjectiveRowCase> {};

// LPs and convex QPs with a free objective row reach the enumerated optimum with first-order
// conditions that price the objective slack with its objective term.
TEST_P(ObjectiveRow, MatchesTheEnumeratedOptimum) {
  const ObjectiveRowCase& c = GetParam();
  int cases = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    std::mt19937 gen(2000 + seed);
    const int n = std::uniform_int_distribution<int>(2, 6)(gen);
    const int m = std::uniform_int_distribution<int>(1, 3)(gen);
    Qp qp = objective_row_lp(gen, n, m, seed % 2 == 0 ? 1.0 : -1.0);
    if (c.quadratic) {
      const Qp q = random_qp(gen, n, m, n, qp.sign, true);
      qp.nnobj = qp.nnh = n;
      qp.hu = q.hu;
      qp.g = q.g;
      qp.x0 = q.x0;
    }
    const double ref = enumeration_reference(qp);
    if (ref >= kInf) continue;  // rows that conflict
    Workspace w = qp_workspace(qp);
    QpRun run = start_qp(qp, w, static_cast<int>(seed % 4));
    if (c.slack_nonbasic) objective_slack_nonbasic(qp, run);
    solve_qp(qp, w, run, test_settings(qp, w));
    const std::string where = std::string(c.name) + " seed " + std::to_string(seed);
    ASSERT_EQ(run.result, MinorResult::kOptimal) << where;
    EXPECT_NEAR(qp.objective(run.x), ref, 1e-9 * (1.0 + std::abs(ref))) << where;
    EXPECT_LE(kkt_residual(qp, w, run), 1e-8) << where;
    ++cases;
  }
  EXPECT_GE(cases, 30);
}

INSTANTIATE_TEST_SUITE_P(Starts,
                         ObjectiveRow,
                         testing::Values(ObjectiveRowCase{"lp", false, false},
                                         ObjectiveRowCase{"lp_slack_nonbasic", false, true},
                                         ObjectiveRowCase{"qp_slack_nonbasic", true, true}),
                         [](const testing::TestParamInfo<ObjectiveRowCase>& info) {
                           return std::string(info.param.name);
                         });

// Maximising f gives the x of minimising -f; a strictly convex QP ends at the same x from
// any start.
TEST(QpMinorIterations, MaximisationAndStartPointGiveTheSameSolution) {
  for (unsigned seed = 1; seed <= 10; ++seed) {
    std::mt19937 gen(3000 + seed);
    const int n = 12;
    const int m = 2;
    Qp max_qp = random_qp(gen, n, m, n, -1.0, true);
    for (int j = 0; j < n; ++j) max_qp.lp.bl[j] -= 20.0, max_qp.lp.bu[j] += 20.0;
    Qp min_qp = max_qp;
    min_qp.sign = 1.0;
    for (double& h : min_qp.hu) h = -h;
    for (double& g : min_qp.g) g = -g;
    Workspace wa = qp_workspace(max_qp);
    Workspace wb = qp_workspace(min_qp);
    Workspace wc = qp_workspace(min_qp);
    QpRun a = start_qp(max_qp, wa, 1, max_qp.x0);
    QpRun b = start_qp(min_qp, wb, 1);
    QpRun c = start_qp(min_qp, wc, 1, min_qp.x0);
    solve_qp(max_qp, wa, a, test_settings(max_qp, wa));
    solve_qp(min_qp, wb, b, test_settings(min_qp, wb));
    solve_qp(min_qp, wc, c, test_settings(min_qp, wc));
    ASSERT_EQ(a.result, MinorResult::kOptimal) << seed;
    ASSERT_EQ(b.result, MinorResult::kOptimal) << seed;
    ASSERT_EQ(c.result, MinorResult::kOptimal) << seed;
    EXPECT_GE(a.ns, 2) << seed;
    for (int j = 0; j < n; ++j) {
      EXPECT_NEAR(a.x[j], b.x[j], 1e-8 * (1 + std::abs(b.x[j]))) << seed << " j " << j;
      EXPECT_NEAR(c.x[j], b.x[j], 1e-8 * (1 + std::abs(b.x[j]))) << seed << " j " << j;
    }
    EXPECT_NEAR(a.objective.qp_value, -b.objective.qp_value, 1e-8 * (1 + std::abs(b.objective.qp_value)));
  }
}

// A QP in three columns from a dense Hessian and gradient, one row x1 + x2 + x3 with the
// given bounds, columns boxed by +-b.
Qp small_qp(const std::vector<double>& hu, const std::vector<double>& g, double row_lo,
            double row_up, double b) {
  Qp qp;
  qp.lp.m = 1;
  for (int j = 0; j < 3; ++j) qp.lp.add_column({{1, 1.0}});
  qp.lp.bl = {-b, -b, -b, row_lo};
  qp.lp.bu = {b, b, b, row_up};
  qp.nnobj = 3;
  qp.nnh = static_cast<int>(std::lround(std::sqrt(static_cast<double>(hu.size()))));
  qp.hu = hu;
  qp.g = g;
  qp.x0 = {0.0, 0.0, 0.0};
  return qp;
}

struct ResultCase {
  const char* name;
  std::vector<double> hu;
  std::vector<double> g;
  double bound;      // of the columns
  double row_bound;  // of the row
  int superbasics_limit;  // 0: the workspace's
  int minor_limit;
  bool all_nonlinear;
  int expected;
};

class QpResults : public testing::TestWithParam<ResultCase> {};

TEST_P(QpResults, EndsWithTheExpectedResult) {
  const ResultCase& c = GetParam();
  const Qp qp = small_qp(c.hu, c.g, -c.row_bound, c.row_bound, c.bound);
  Workspace w = qp_workspace(qp);
  w.i(minor_word::integer_word::kAllHessianVariables) = c.all_nonlinear ? 1 : 0;
  QpRun run = start_qp(qp, w, 0);
  MinorSettings settings = test_settings(qp, w);
  if (c.superbasics_limit > 0) settings.superbasics_limit = c.superbasics_limit;
  settings.minor_limit = c.minor_limit;
  solve_qp(qp, w, run, settings);
  EXPECT_EQ(run.result, c.expected) << c.name;
  for (int s : run.state) EXPECT_TRUE(s >= 0 && s <= 3) << c.name << " state " << s;
  if (c.expected == MinorResult::kOptimal) {
    EXPECT_LE(kkt_residual(qp, w, run), 1e-8) << c.name;
  }
}

const std::vector<double> kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
const std::vector<double> kMinusIdentity{-1, 0, 0, 0, -1, 0, 0, 0, -1};

INSTANTIATE_TEST_SUITE_P(
    Cases,
    QpResults,
    testing::Values(
        ResultCase{"optimal", kIdentity, {1.0, -2.0, 0.5}, 5.0, 1.0, 0, 1000, false, 0},
        // x3 carries no curvature and descends without bound.
        ResultCase{"unbounded", {1, 0, 0, 1}, {0.0, 0.0, -1.0}, kInf, kInf, 0, 1000, false, 2},
        // No Hessian columns at all: a linear objective falls without bound along x3, and
        // nothing blocks the superbasic that carries it.
        ResultCase{"unbounded lp", {}, {0.0, 0.0, -1.0}, kInf, kInf, 0, 1000, false, 2},
        // The row blocks x1 first; the ray then runs along x1 up and another column down.
        ResultCase{"unbounded lp after a block", {}, {-1.0, 0.0, 0.0}, kInf, 5.0, 0, 1000, false,
                   2},
        ResultCase{"minor limit", kIdentity, {1.0, -2.0, 0.5}, 5.0, 1.0, 0, 1, false, 3},
        ResultCase{"superbasics limit", kIdentity, {1.0, -2.0, 0.5}, 5.0, 1.0, 1, 1000, false, 5},
        ResultCase{"indefinite", kMinusIdentity, {1.0, -2.0, 0.5}, 5.0, 1.0, 0, 1000, true, 6}),
    [](const testing::TestParamInfo<ResultCase>& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

// A convex QP whose rows 1 and 2 are the same with disjoint ranges; columns in [-3, 3].
Qp conflicting_rows_qp(std::mt19937& gen, int n, int m) {
  Qp qp = random_qp(gen, n, m, n, 1.0, true);
  qp.lp = random_matrix(gen, Shape{m, n, 1.0});
  qp.lp.bl.assign(n + m, -3.0);
  qp.lp.bu.assign(n + m, 3.0);
  for (int j = 0; j < n; ++j) {
    const int first = qp.lp.starts[j] - 1;  // rows 1 and 2 lead every column of a full matrix
    qp.lp.values[first + 1] = qp.lp.values[first];
  }
  qp.lp.bl[n] = 0.5, qp.lp.bu[n] = 1.0;
  qp.lp.bl[n + 1] = -1.0, qp.lp.bu[n + 1] = -0.5;
  return qp;
}

// Sum of the row violations at x.
double row_violation(const Qp& qp, const std::vector<double>& x) {
  const std::vector<double> s = qp.lp.product(x);
  double v = 0.0;
  for (int i = 0; i < qp.lp.m; ++i) {
    v += std::max({0.0, qp.lp.bl[qp.lp.n + i] - s[i], s[i] - qp.lp.bu[qp.lp.n + i]});
  }
  return v;
}

// Rows that cannot all hold: elastic mode starts with its messages and the composite
// objective (objective plus weight times the row violations) reaches its least value.
TEST(QpMinorIterations, InfeasibleRowsSwitchToElasticMode) {
  int cases = 0;
  for (unsigned seed = 1; seed <= 30; ++seed) {
    std::mt19937 gen(4000 + seed);
    const int n = std::uniform_int_distribution<int>(2, 4)(gen);
    const int m = std::uniform_int_distribution<int>(2, 3)(gen);
    const Qp qp = conflicting_rows_qp(gen, n, m);
    Workspace w = qp_workspace(qp);
    int* allowance = w.ints(sparse_ws::int_array::kElasticAllowance);
    for (int i = 0; i < m; ++i) allowance[n + i] = ElasticAllowance::kEither;
    QpRun run = start_qp(qp, w, 0);
    MinorSettings settings = test_settings(qp, w);
    settings.elastic_permission = 1;
    settings.elastic_mode = 1;
    settings.elastic_weight = 2.0;
    settings.print_level = seed == 1 ? 5 : 0;
    std::vector<std::string> lines;
    {
      sqp_test::UnitCapture print(kPrintUnit);
      w.i(iw::kPrintUnit) = kPrintUnit;
      solve_qp(qp, w, run, settings);
      lines = print.lines();
    }
    const std::string where = "seed " + std::to_string(seed);
    ASSERT_EQ(run.result, MinorResult::kOptimal) << where;
    EXPECT_TRUE(run.elastic) << where;
    EXPECT_GT(run.measures.ninf, 0) << where;
    for (int j = 0; j < n; ++j) {
      EXPECT_GE(run.x[j], qp.lp.bl[j] - 1e-9) << where;
      EXPECT_LE(run.x[j], qp.lp.bu[j] + 1e-9) << where;
    }
    const double got = qp.objective(run.x) + settings.elastic_weight * row_violation(qp, run.x);
    const double ref = enumeration_reference(qp, true, settings.elastic_weight);
    EXPECT_NEAR(got, ref, 1e-8 * (1.0 + std::abs(ref))) << where;
    EXPECT_LE(kkt_residual(qp, w, run, settings.elastic_weight), 1e-8) << where;
    ++cases;
    if (seed != 1) continue;
    auto has = [&](const std::string& tail) {
      return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.size() > 15 && l.rfind(" Itn", 0) == 0 && l.substr(11) == tail;
      });
    };
    EXPECT_TRUE(has(" -- Infeasible QP subproblem."));
    EXPECT_TRUE(has(" -- Elastic Phase 1 : making non-elastic variables feasible."));
  }
  EXPECT_EQ(cases, 30);
}

// The feasibility subproblem of infeasible rows in elastic objective mode 2 ends at the least
// sum of row violations, the objective left out.
TEST(QpMinorIterations, ElasticFeasibilitySubproblemMinimisesTheViolations) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 gen(6000 + seed);
    const int n = std::uniform_int_distribution<int>(2, 4)(gen);
    const int m = std::uniform_int_distribution<int>(2, 3)(gen);
    const Qp qp = conflicting_rows_qp(gen, n, m);
    Qp violations_only = qp;
    violations_only.nnobj = violations_only.nnh = 0;
    Workspace w = qp_workspace(qp);
    int* allowance = w.ints(sparse_ws::int_array::kElasticAllowance);
    for (int i = 0; i < m; ++i) allowance[n + i] = ElasticAllowance::kEither;
    QpRun run = start_qp(qp, w, 0);
    MinorSettings settings = test_settings(qp, w);
    settings.elastic_permission = 1;
    settings.elastic_mode = 2;
    solve_qp(qp, w, run, settings, "FPSubproblem");
    ASSERT_EQ(run.result, MinorResult::kOptimal) << seed;
    EXPECT_TRUE(run.elastic) << seed;
    const double ref = enumeration_reference(violations_only, true, 1.0);
    EXPECT_NEAR(row_violation(qp, run.x), ref, 1e-9 * (1.0 + ref)) << seed;
    EXPECT_NEAR(run.measures.sinf, ref, 1e-9 * (1.0 + ref)) << seed;
    EXPECT_EQ(run.objective.products, 0) << seed;
  }
}

// The feasibility subproblem stops at the first feasible point, without the objective.
TEST(QpMinorIterations, FeasibilitySubproblemStopsWhenFeasible) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 gen(5000 + seed);
    Qp qp = random_qp(gen, 15, 8, 15, 1.0, false);
    Workspace w = qp_workspace(qp);
    QpRun run = start_qp(qp, w, 0);
    solve_qp(qp, w, run, test_settings(qp, w), "FPSubproblem");
    EXPECT_EQ(run.result, MinorResult::kOptimal) << seed;
    EXPECT_EQ(run.measures.ninf, 0) << seed;
    EXPECT_LE(max_bound_violation(qp.lp, run.x), 1e-9) << seed;
    EXPECT_EQ(run.objective.products, 0) << seed;
  }
}

// No superbasic has a usable pivot in the row of the leaving basic variable: the last
// superbasic is named (as a negative position) and the pivot is reported.
TEST(QpIteration, NoSafePivotNamesTheLastSuperbasic) {
  Lp lp;
  lp.m = 1;
  lp.add_column({{1, 1.0}});
  lp.add_column({});
  lp.add_column({});
  lp.bl = {-1, -1, -1, -1};
  lp.bu = {1, 1, 1, 1};
  Workspace w(lp);
  int* bs = w.ints(sparse_ws::int_array::kBsIndex);
  bs[0] = 1, bs[1] = 2, bs[2] = 3;
  QpRoutines routines;
  int products = 0;
  const ColumnMatrix a = lp.matrix();
  MinorIterationState q{.h = HessianContext{routines, a, 1, 3, 0, 1.0, products, w.iz.data(), w.leniz,
                                     w.z.data(), w.lenz}};
  q.basis.bs_index = bs;
  q.basis.xbs = w.reals(sparse_ws::real_array::kXBS);
  q.basis.bl_bs = w.reals(sparse_ws::real_array::kBlBS);
  q.basis.bu_bs = w.reals(sparse_ws::real_array::kBuBS);
  q.ns = 2;
  q.print_level = 5;
  const std::vector<double> y{1.0};
  std::vector<double> wv(2, 7.0);
  double pivot = -1.0;
  std::vector<std::string> lines;
  int position = 0;
  {
    sqp_test::UnitCapture print(kPrintUnit);
    w.i(iw::kPrintUnit) = kPrintUnit;
    position = choose_pivot_row(q, y.data(), wv.data(), pivot, 12);
    lines = print.lines();
  }
  EXPECT_EQ(position, -3);
  EXPECT_EQ(pivot, 0.0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], " Itn     12 -- Maximum pivot (=   0.0E+00) is too small.");
}

struct SavedColumnCase {
  const char* name;
  int signed_jq;
  double p3;  // p at position 3, which holds variable 3
  double gp;
  int flag;
  double gp_after;
  const char* line;  // on the print file ("" none)
};

class SavedColumn : public testing::TestWithParam<SavedColumnCase> {};

// The entering superbasic's own move sets the sign of p; a slope that stays uphill is weak.
TEST_P(SavedColumn, ChecksTheDirectionOfTheEnteringSuperbasic) {
  const SavedColumnCase& c = GetParam();
  Lp lp;
  lp.m = 1;
  for (int j = 0; j < 3; ++j) lp.add_column({{1, 1.0}});
  lp.bl.assign(4, -1.0);
  lp.bu.assign(4, 1.0);
  Workspace w(lp);
  w.i(iw::kPrintUnit) = kPrintUnit;
  std::vector<int> bs{1, 2, 3};
  std::vector<double> p{0.5, -0.25, c.p3};
  QpRoutines routines;
  int products = 0;
  const ColumnMatrix a = lp.matrix();
  MinorIterationState q{.h = HessianContext{routines, a, 1, 3, 0, 1.0, products, w.iz.data(),
                                            w.leniz, w.z.data(), w.lenz}};
  q.basis.bs_index = bs.data();
  q.p = p.data();
  q.signed_jq = c.signed_jq;
  q.print_level = 10;
  double gp = c.gp;
  sqp_test::UnitCapture print(kPrintUnit);
  EXPECT_EQ(find_saved_column(q, 3, gp, 12), c.flag);
  EXPECT_EQ(gp, c.gp_after);
  const double sign = c.gp_after == c.gp ? 1.0 : -1.0;
  EXPECT_EQ(p, (std::vector<double>{0.5 * sign, -0.25 * sign, c.p3 * sign}));
  const std::vector<std::string> lines = print.lines();
  ASSERT_EQ(lines.size(), *c.line == 0 ? 0u : 1u);
  if (!lines.empty()) {
    EXPECT_EQ(lines[0], c.line);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SavedColumn,
    testing::Values(
        SavedColumnCase{"downhill", 3, 1.0, -2.0, 0, -2.0, ""},
        SavedColumnCase{"wrong_sign_turned", 3, -1.0, 2.0, 0, -2.0, ""},
        SavedColumnCase{"decreasing_wrong_sign_turned", -3, 1.0, 2.0, 0, -2.0, ""},
        SavedColumnCase{"uphill_is_weak", 3, 1.0, 2.0, 1, 2.0,
                        " Itn     12 -- Small directional derivative =   2.00E+00."},
        SavedColumnCase{"not_found", 5, 1.0, 2.0, 0, 2.0,
                        " Itn     12 -- KSAVE not found. JQSAVE =       5."}),
    [](const testing::TestParamInfo<SavedColumnCase>& info) {
      return std::string(info.param.name);
    });

constexpr int kMonitorUnit = 87;

// A hand-made start: the slacks basic, the listed superbasics in order, every other column
// nonbasic at its lower bound; one call of the minor iterations at statistics print level, the
// monitoring file kept.
struct HandStart {
  std::vector<double> x;         // the columns (the slacks follow from A x)
  std::vector<int> superbasics;  // column numbers
  int expand_frequency = 0;      // 0: the default
  double feasibility_tol = 1e-11;
};

std::vector<std::string> solve_from(const Qp& qp,
                                    Workspace& w,
                                    const HandStart& start,
                                    QpRun& run) {
  w.i(iw::kMonitoringUnit) = kMonitorUnit;
  if (start.expand_frequency > 0) w.i(iw::kExpandFrequency) = start.expand_frequency;
  const int n = qp.lp.n;
  run.x = start.x;
  const std::vector<double> rows = qp.lp.product(start.x);
  run.x.insert(run.x.end(), rows.begin(), rows.end());
  run.state.assign(n + qp.lp.m, VariableState::kBasic);
  std::fill(run.state.begin(), run.state.begin() + n, 0);
  int* bs = w.ints(sparse_ws::int_array::kBsIndex);
  for (int j : start.superbasics) {
    run.state[j - 1] = VariableState::kSuperbasic;
    bs[qp.lp.m + run.ns++] = j;
  }
  run.basis_type = "B ";
  MinorSettings settings = test_settings(qp, w);
  settings.feasibility_tol = start.feasibility_tol;
  settings.print_level = 20;
  sqp_test::UnitCapture monitor(kMonitorUnit);
  solve_qp(qp, w, run, settings);
  return monitor.lines();
}

// True when a factorisation was demanded for a stall, an unbounded or a weak result.
bool stall_demand(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind(" Factorize", 0) == 0 &&
           l.find("   Demand       11   Iteration") != std::string::npos;
  });
}

struct StallCase {
  const char* name;
  double row2_excess;  // row 2's violation beyond the first working tolerance, in increments
  int expected;
  int ninf;  // at the last count
};

class Stall : public testing::TestWithParam<StallCase> {};

// Phase 1 of a QP: row 1 (x1 + x2 + x3 >= 10) is out of reach of x2 and x3 (in [0, 1]), which
// enter one after the other and leave at once at their upper bounds (two stalls); the
// superbasic x1 (row 1 and -1 in row 2) is priced out while row 2 (-x1 >= v) is infeasible.
// When the working tolerance grown by the two steps takes in row 2's violation, x1's reduced
// gradient jumps to 1: one (B S) refactorisation for the stall, then the stall result.  With
// row 2 still infeasible the prices stay and phase 1 ends with its infeasibilities.
TEST_P(Stall, TwoStallsWithALargeReducedGradientEndTheCall) {
  const StallCase& c = GetParam();
  constexpr double kTol = 1e-6;
  constexpr int kFrequency = 10;
  const double increment = (0.99 - 0.5) * kTol / kFrequency;
  Qp qp;
  qp.lp.m = 2;
  qp.lp.add_column({{1, 1.0}, {2, -1.0}});
  qp.lp.add_column({{1, 1.0}});
  qp.lp.add_column({{1, 1.0}});
  qp.lp.bl = {-1.0, 0.0, 0.0, 10.0, 0.5 * kTol + c.row2_excess * increment};
  qp.lp.bu = {1.0, 1.0, 1.0, 20.0, 1.0};
  qp.nnobj = qp.nnh = 1;
  qp.hu = {1.0};
  qp.g = {0.0};
  qp.x0 = {0.0};
  Workspace w = qp_workspace(qp);
  QpRun run;
  const auto lines = solve_from(qp, w, {{0.0, 0.0, 0.0}, {1}, kFrequency, kTol}, run);
  EXPECT_EQ(run.result, c.expected) << c.name;
  EXPECT_EQ(stall_demand(lines), c.expected == MinorResult::kStall) << c.name;
  EXPECT_EQ(run.x, (std::vector<double>{0.0, 1.0, 1.0, 2.0, 0.0})) << c.name;
  EXPECT_EQ(run.state[1] + run.state[2], 2) << c.name;  // both at their upper bounds
  EXPECT_EQ(run.measures.ninf, c.ninf) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         Stall,
                         testing::Values(StallCase{"prices_jump", 1.5, MinorResult::kStall, 1},
                                         StallCase{"prices_stay", 2.5, MinorResult::kOptimal, 2}),
                         [](const testing::TestParamInfo<StallCase>& info) {
                           return std::string(info.param.name);
                         });

struct WeakCase {
  const char* name;
  double gap;            // of the basic row from the bound that blocks x2
  int expand_frequency;  // 0: the default
  int expected;
  double x2;  // at the end
};

class WeakStep : public testing::TestWithParam<WeakCase> {};

// min 0.5 x1^2 - x2 with x1 in [1000, 2000] and the row x2 <= gap: x2, without curvature,
// enters on an incomplete R and the row blocks it after gap.  A step whose predicted decrease
// is within rounding of the objective (0.5e6) is weak: nothing moves, one (B S)
// refactorisation confirms it, and the call ends weak.  A zero step is exact only without the
// EXPAND minimum step.
TEST_P(WeakStep, NoSignificantDecreaseOnAnIncompleteFactorIsWeak) {
  const WeakCase& c = GetParam();
  Qp qp;
  qp.lp.m = 1;
  qp.lp.add_column({});
  qp.lp.add_column({{1, 1.0}});
  qp.lp.bl = {1000.0, 0.0, -1.0};
  qp.lp.bu = {2000.0, 5.0, c.gap};
  qp.nnobj = 2;
  qp.nnh = 1;
  qp.hu = {1.0};
  qp.g = {0.0, -1.0};
  qp.x0 = {0.0, 0.0};
  Workspace w = qp_workspace(qp);
  QpRun run;
  const auto lines = solve_from(qp, w, {{1000.0, 0.0}, {}, c.expand_frequency}, run);
  EXPECT_EQ(run.result, c.expected) << c.name;
  EXPECT_EQ(stall_demand(lines), c.expected == MinorResult::kWeak) << c.name;
  EXPECT_EQ(run.x[0], 1000.0) << c.name;
  EXPECT_NEAR(run.x[1], c.x2, 1e-15) << c.name;
  if (c.expected == MinorResult::kOptimal) {
    EXPECT_LE(kkt_residual(qp, w, run), 1e-8) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    WeakStep,
    testing::Values(WeakCase{"zero_step", 0.0, sparse_option::kNever, MinorResult::kWeak, 0.0},
                    WeakCase{"step_below_rounding", 1e-10, 0, MinorResult::kWeak, 0.0},
                    WeakCase{"significant_step", 1e-3, 0, MinorResult::kOptimal, 1e-3}),
    [](const testing::TestParamInfo<WeakCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zun
