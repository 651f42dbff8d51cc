// The phase-1 LP on seeded random LPs: feasible ones are solved to the feasibility tolerance,
// infeasible ones end with the least sum of row violations, and the norm(x-x0) problem finds
// the nearest point of the rows.
#include <gtest/gtest.h>

#include "library/sparse_qp/state_codes.h"
#include "tests/sparse_qp/lp_fixture.h"

namespace zun {
namespace {

using namespace qp_test;
namespace ia = sparse_ws::int_array;
namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;

void expect_solved(const Lp& lp, Workspace& w, const LpRun& run, const std::string& where) {
  const double tol = w.r(rw::kMinorFeasibilityTol);
  EXPECT_EQ(run.result, MinorResult::kOptimal) << where;
  EXPECT_EQ(run.ninf, 0) << where;
  EXPECT_LE(max_bound_violation(lp, run.x), tol) << where;
  double scale = 1.0;
  for (double v : run.x) scale = std::max(scale, std::abs(v));
  EXPECT_LE(max_row_residual(lp, run.x), 1e-10 * scale * (1 + lp.m)) << where;
  EXPECT_EQ(count_state(run.state, VariableState::kBasic), lp.m) << where;
  for (int s : run.state) {
    EXPECT_TRUE(s >= VariableState::kAtLower && s <= VariableState::kBasic)
        << where << " state " << s;
  }
}

TEST(Phase1Lp, SolvesSeededFeasibleLps) {
  int solved = 0;
  constexpr int kCases = 200;
  for (unsigned seed = 1; seed <= kCases; ++seed) {
    std::mt19937 gen(seed);
    const Shape shape{std::uniform_int_distribution<int>(5, 100)(gen),
                      std::uniform_int_distribution<int>(10, 300)(gen),
                      std::uniform_real_distribution<double>(0.02, 0.2)(gen)};
    const Lp lp = feasible_lp(gen, shape);
    Workspace w(lp);
    ASSERT_EQ(w.code, 0);
    const int crash = static_cast<int>(seed % 4);
    LpRun run = start_run(lp, w, crash);
    solve(lp, w, run);
    const std::string where = "seed " + std::to_string(seed) + " m " + std::to_string(lp.m) +
                              " n " + std::to_string(lp.n) + " crash " + std::to_string(crash);
    expect_solved(lp, w, run, where);
    solved += run.result == 0 && run.ninf == 0;
  }
  EXPECT_EQ(solved, kCases);
}

// A small dense LP in dim columns, box [-2, 2], with rows whose bounds may conflict.
Lp small_lp(std::mt19937& gen, int dim, int m) {
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  Lp lp;
  lp.m = m;
  for (int j = 0; j < dim; ++j) {
    std::vector<std::pair<int, double>> col;
    for (int i = 1; i <= m; ++i) col.push_back({i, value(gen)});
    lp.add_column(col);
  }
  lp.bl.assign(dim + m, -2.0);
  lp.bu.assign(dim + m, 2.0);
  std::uniform_real_distribution<double> centre(-3.0, 3.0);
  std::uniform_real_distribution<double> width(0.0, 0.5);
  for (int i = 0; i < m; ++i) {
    const double c = centre(gen);
    const double h = (i % 3 == 0) ? 0.0 : width(gen);
    lp.bl[dim + i] = c - h;
    lp.bu[dim + i] = c + h;
  }
  return lp;
}

std::vector<double> row_coefficients(const Lp& lp, int i) {
  std::vector<double> a(lp.n, 0.0);
  for (int j = 0; j < lp.n; ++j) {
    for (int l = lp.starts[j]; l < lp.starts[j + 1]; ++l) {
      if (lp.rows[l - 1] == i + 1) a[j] = lp.values[l - 1];
    }
  }
  return a;
}

double dot(const std::vector<double>& a, const std::vector<double>& x) {
  double s = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) s += a[k] * x[k];
  return s;
}

// The least sum of row violations over the column box, by enumeration of the vertices.
double least_row_violation(const Lp& lp) {
  std::vector<std::vector<double>> h;
  std::vector<double> rhs;
  for (int i = 0; i < lp.m; ++i) {
    for (double b : {lp.bl[lp.n + i], lp.bu[lp.n + i]}) {
      h.push_back(row_coefficients(lp, i));
      rhs.push_back(b);
    }
  }
  for (int j = 0; j < lp.n; ++j) {
    for (double b : {lp.bl[j], lp.bu[j]}) {
      std::vector<double> e(lp.n, 0.0);
      e[j] = 1.0;
      h.push_back(e);
      rhs.push_back(b);
    }
  }
  auto in_box = [&](const std::vector<double>& x) {
    for (int j = 0; j < lp.n; ++j) {
      if (x[j] < lp.bl[j] - 1e-9 || x[j] > lp.bu[j] + 1e-9) return false;
    }
    return true;
  };
  auto violation = [&](const std::vector<double>& x) {
    double v = 0.0;
    for (int i = 0; i < lp.m; ++i) {
      const double s = dot(row_coefficients(lp, i), x);
      v += std::max({0.0, lp.bl[lp.n + i] - s, s - lp.bu[lp.n + i]});
    }
    return v;
  };
  return vertex_minimum(lp.n, h, rhs, in_box, violation);
}

void make_rows_elastic(const Lp& lp, Workspace& w) {
  int* allowance = w.ints(ia::kElasticAllowance);
  for (int i = 0; i < lp.m; ++i) allowance[lp.n + i] = ElasticAllowance::kEither;
}

TEST(Phase1Lp, ElasticRowsOfSmallInfeasibleLpsEndAtTheLeastSumOfViolations) {
  int infeasible = 0;
  int detected = 0;
  for (unsigned seed = 1; seed <= 120; ++seed) {
    std::mt19937 gen(seed);
    const int dim = 2 + static_cast<int>(seed % 2);
    const Lp lp = small_lp(gen, dim, 3 + static_cast<int>(seed % 4));
    const double best = least_row_violation(lp);
    Workspace w(lp);
    make_rows_elastic(lp, w);
    LpRun run = start_run(lp, w, static_cast<int>(seed % 2));
    solve(lp, w, run);
    const std::string where = "seed " + std::to_string(seed);
    const double tol = w.r(rw::kMinorFeasibilityTol);
    EXPECT_EQ(run.result, MinorResult::kOptimal) << where;
    EXPECT_NEAR(run.sinf, best, 10 * tol * (1 + lp.m)) << where;
    EXPECT_LE(max_bound_violation(lp, run.x) - (run.sinf + tol), 0.0) << where;
    for (int j = 0; j < lp.n; ++j) {
      EXPECT_GE(run.x[j], lp.bl[j] - tol) << where;
      EXPECT_LE(run.x[j], lp.bu[j] + tol) << where;
    }
    if (best > 1e-6) {
      ++infeasible;
      detected += !(run.result == 0 && run.ninf == 0);
    }
  }
  EXPECT_GT(infeasible, 20);
  EXPECT_EQ(detected, infeasible);
  RecordProperty("infeasible_cases", infeasible);
}

// A feasible LP made infeasible by a row that is the sum of two boxed rows with bounds beyond
// their reach: any point violates the three rows by at least the gap in total.
TEST(Phase1Lp, InfeasibleLpsWithACertificateAreDetected) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 gen(seed);
    Lp base = random_matrix(gen, {std::uniform_int_distribution<int>(5, 60)(gen),
                                  std::uniform_int_distribution<int>(10, 120)(gen), 0.1});
    std::vector<double> xs(base.n, 1.0);
    random_column_bounds(gen, base, xs);
    random_row_bounds(gen, base, base.product(xs));
    // Rows 1 and 2 boxed; a new last row holds their sum.
    const int m = base.m + 1;
    Lp lp;
    lp.m = m;
    for (int j = 0; j < base.n; ++j) {
      std::vector<std::pair<int, double>> col;
      double sum = 0.0;
      for (int l = base.starts[j]; l < base.starts[j + 1]; ++l) {
        col.push_back({base.rows[l - 1], base.values[l - 1]});
        if (base.rows[l - 1] <= 2) sum += base.values[l - 1];
      }
      if (sum != 0.0) col.push_back({m, sum});
      lp.add_column(col);
    }
    lp.bl.assign(base.bl.begin(), base.bl.end());
    lp.bu.assign(base.bu.begin(), base.bu.end());
    const std::vector<double> s = base.product(xs);
    for (int i = 0; i < 2; ++i) {
      lp.bl[base.n + i] = s[i] - 0.5;
      lp.bu[base.n + i] = s[i] + 0.5;
    }
    const double gap = 1.5;
    lp.bl.push_back(lp.bu[base.n] + lp.bu[base.n + 1] + gap);
    lp.bu.push_back(kInf);
    const std::string where = "seed " + std::to_string(seed);
    {
      Workspace w(lp);
      make_rows_elastic(lp, w);
      LpRun run = start_run(lp, w, 0);
      solve(lp, w, run);
      EXPECT_FALSE(run.result == MinorResult::kOptimal && run.ninf == 0) << where;
      EXPECT_GE(run.sinf, gap - 1e-6) << where;
      EXPECT_EQ(count_state(run.state, VariableState::kBasic), lp.m) << where;
    }
    // Without elastic allowances the LP ends at its phase-1 optimum with the infeasibilities
    // left (as the equality phase expects).
    Workspace w(lp);
    LpRun run = start_run(lp, w, 0);
    solve(lp, w, run, "FPEqualities");
    EXPECT_EQ(run.result, MinorResult::kOptimal) << where;
    EXPECT_GT(run.ninf, 0) << where;
    EXPECT_GT(run.sinf, 0.0) << where;
  }
}

// The norm(x-x0) problem: the columns pinned at x0 and elastic, the rows hard.
TEST(Phase1Lp, NormProblemFindsTheNearestPointOfTheRows) {
  for (unsigned seed = 1; seed <= 80; ++seed) {
    std::mt19937 gen(seed);
    const int dim = 2 + static_cast<int>(seed % 2);
    Lp lp = small_lp(gen, dim, 2 + static_cast<int>(seed % 3));
    // Rows feasible around a point xs; x0 elsewhere (or xs itself: a feasible start).
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    std::vector<double> xs(dim);
    for (double& v : xs) v = value(gen);
    const std::vector<double> s = lp.product(xs);
    for (int i = 0; i < lp.m; ++i) {
      lp.bl[dim + i] = std::min(lp.bl[dim + i], s[i]);
      lp.bu[dim + i] = std::max(lp.bu[dim + i], s[i]);
    }
    const bool feasible_start = seed % 5 == 0;
    std::vector<double> x0(dim);
    for (int j = 0; j < dim; ++j) x0[j] = feasible_start ? xs[j] : value(gen);
    for (int j = 0; j < dim; ++j) lp.bl[j] = lp.bu[j] = x0[j];
    Workspace w(lp);
    int* allowance = w.ints(ia::kElasticAllowance);
    for (int j = 0; j < dim; ++j) allowance[j] = ElasticAllowance::kEither;
    LpRun run = start_run(lp, w, 0);
    solve(lp, w, run);
    std::vector<std::vector<double>> h;
    std::vector<double> rhs;
    for (int i = 0; i < lp.m; ++i) {
      for (double b : {lp.bl[dim + i], lp.bu[dim + i]}) {
        h.push_back(row_coefficients(lp, i));
        rhs.push_back(b);
      }
    }
    for (int j = 0; j < dim; ++j) {
      std::vector<double> e(dim, 0.0);
      e[j] = 1.0;
      h.push_back(e);
      rhs.push_back(x0[j]);
    }
    auto rows_met = [&](const std::vector<double>& x) {
      for (int i = 0; i < lp.m; ++i) {
        const double v = dot(row_coefficients(lp, i), x);
        if (v < lp.bl[dim + i] - 1e-9 || v > lp.bu[dim + i] + 1e-9) return false;
      }
      return true;
    };
    auto distance = [&](const std::vector<double>& x) {
      double d = 0.0;
      for (int j = 0; j < dim; ++j) d += std::abs(x[j] - x0[j]);
      return d;
    };
    const double best = vertex_minimum(dim, h, rhs, rows_met, distance);
    const std::string where = "seed " + std::to_string(seed);
    const double tol = w.r(rw::kMinorFeasibilityTol);
    EXPECT_EQ(run.result, MinorResult::kOptimal) << where;
    EXPECT_NEAR(run.sinf, best, 10 * tol * (1 + lp.m)) << where;
    const std::vector<double> xcols(run.x.begin(), run.x.begin() + dim);
    EXPECT_NEAR(distance(xcols), best, 10 * tol * (1 + lp.m)) << where;
    for (int i = 0; i < lp.m; ++i) {
      EXPECT_GE(run.x[dim + i], lp.bl[dim + i] - tol) << where;
      EXPECT_LE(run.x[dim + i], lp.bu[dim + i] + tol) << where;
    }
    if (feasible_start) {
      for (int j = 0; j < dim; ++j) EXPECT_EQ(run.x[j], x0[j]) << where;
      EXPECT_EQ(run.sinf, 0.0) << where;
    }
  }
}

// Degenerate LPs: a 4 x 4 assignment polytope cut by its optimal cost, started at a degenerate
// vertex, and Beale's cycling example with its optimal value as a constraint.
Lp assignment_lp() {
  constexpr int kSize = 4;
  const double cost[kSize][kSize] = {{4, 1, 3, 2}, {2, 0, 5, 3}, {3, 2, 2, 1}, {1, 3, 4, 2}};
  double best = kInf;  // the least cost over all permutations
  int perm[kSize] = {0, 1, 2, 3};
  do {
    double c = 0.0;
    for (int i = 0; i < kSize; ++i) c += cost[i][perm[i]];
    best = std::min(best, c);
  } while (std::next_permutation(perm, perm + kSize));
  Lp lp;
  lp.m = 2 * kSize + 1;
  for (int i = 0; i < kSize; ++i) {
    for (int j = 0; j < kSize; ++j)
      lp.add_column({{i + 1, 1.0}, {kSize + j + 1, 1.0}, {lp.m, cost[i][j]}});
  }
  lp.bl.assign(lp.n + lp.m, 1.0);
  lp.bu.assign(lp.n + lp.m, 1.0);
  for (int j = 0; j < lp.n; ++j) lp.bl[j] = 0.0, lp.bu[j] = kInf;
  lp.bl[lp.n + lp.m - 1] = -kInf;
  lp.bu[lp.n + lp.m - 1] = best;
  return lp;
}

Lp beale_lp() {
  Lp lp;
  lp.m = 4;
  lp.add_column({{1, 0.25}, {2, 0.5}, {4, -0.75}});
  lp.add_column({{1, -8.0}, {2, -12.0}, {4, 20.0}});
  lp.add_column({{1, -1.0}, {2, -0.5}, {3, 1.0}, {4, -0.5}});
  lp.add_column({{1, 9.0}, {2, 3.0}, {4, 6.0}});
  lp.bl.assign(lp.n + lp.m, -kInf);
  lp.bu.assign(lp.n + lp.m, 0.0);
  for (int j = 0; j < lp.n; ++j) lp.bl[j] = 0.0, lp.bu[j] = kInf;
  lp.bu[lp.n + 2] = 1.0;
  lp.bu[lp.n + 3] = -1.25;
  return lp;
}

struct DegenerateCase {
  const char* name;
  Lp (*make)();
  int crash;
  int expand_frequency;  // 0: the default
};

class DegenerateLp : public ::testing::TestWithParam<DegenerateCase> {};

TEST_P(DegenerateLp, FinishesFeasibleWithoutCycling) {
  const DegenerateCase& c = GetParam();
  const Lp lp = c.make();
  OptionChanges changes;
  if (c.expand_frequency > 0)
    changes.integers.push_back({iw::kExpandFrequency, c.expand_frequency});
  Workspace w(lp, changes);
  LpRun run = start_run(lp, w, c.crash);
  if (std::string(c.name).starts_with("assignment")) {
    for (int i = 0; i < 4; ++i) run.x[i * 4 + i] = 1.0;  // the identity: a degenerate vertex
  }
  solve(lp, w, run);
  expect_solved(lp, w, run, c.name);
  EXPECT_LT(run.itn, 5 * (lp.m + lp.n)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    DegenerateLp,
    ::testing::Values(DegenerateCase{"assignment_default", assignment_lp, 0, 0},
                      DegenerateCase{"assignment_expand_1", assignment_lp, 0, 1},
                      DegenerateCase{"assignment_crash_1", assignment_lp, 1, 1},
                      DegenerateCase{"beale_default", beale_lp, 0, 0},
                      DegenerateCase{"beale_expand_1", beale_lp, 0, 1},
                      DegenerateCase{"beale_crash_3", beale_lp, 3, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A square nonsingular equality system has one feasible point.  With LU files short of room
// for the column replacements a failed update asks for a refactorisation (demand 7) and the
// solve still ends at that point; files too short for the final basis end with 20.
TEST(Phase1Lp, FailedUpdatesRefactorizeAndReachTheUniquePoint) {
  constexpr int kMonitor = 77;
  const int m = 30;
  std::mt19937 gen(13);
  Lp lp = random_matrix(gen, {m, m, 0.3});
  std::vector<double> xs(m);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (double& v : xs) v = value(gen);
  lp.bl.assign(2 * m, -kInf);
  lp.bu.assign(2 * m, kInf);
  const std::vector<double> s = lp.product(xs);
  for (int i = 0; i < m; ++i) lp.bl[m + i] = lp.bu[m + i] = s[i];
  int with_failed_updates = 0;
  for (int room = 400; room <= 800; room += 25) {
    sqp_test::UnitCapture monitor(kMonitor);
    Workspace w(lp, {}, room, -1, kMonitor);
    LpRun run = start_run(lp, w, 0);
    solve(lp, w, run, "FPLinear constrnts", 20);
    const std::string where = "room " + std::to_string(room);
    if (run.result == MinorResult::kLuStorage) continue;
    expect_solved(lp, w, run, where);
    for (int j = 0; j < m; ++j) EXPECT_NEAR(run.x[j], xs[j], 1e-8) << where;
    for (const std::string& line : monitor.lines()) {
      with_failed_updates += line.find("   Demand        7") != std::string::npos;
    }
  }
  EXPECT_GE(with_failed_updates, 1);
}

}  // namespace
}  // namespace zun
