// Tables for the kernels of the minor iterations: the ratio test, the phase-1 bookkeeping,
// partial pricing and the EXPAND schedule.
#include <gtest/gtest.h>

#include "tests/sparse_qp/lp_fixture.h"

namespace zun {
namespace {

using namespace qp_test;
namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace mr = minor_word::real_word;

constexpr double kBig = 1e20;

struct RatioCase {
  const char* name;
  std::vector<double> x, lower, upper, p;
  std::vector<int> type;
  double min_step;
  // Expected outcome.
  bool unbounded;
  int r;
  double step;
  bool hit_lower;
  bool at_bound;
  int degenerate;
};

class RatioTestTable : public ::testing::TestWithParam<RatioCase> {};

TEST_P(RatioTestTable, ChoosesTheBlockingPositionAndStep) {
  const RatioCase& c = GetParam();
  RatioTest out;
  out.r = -7;  // kept when nothing blocks
  int degenerate = 0;
  constexpr double kTol = 1e-6;
  constexpr double kPivotTol = 1e-11;
  constexpr double kAlphaMax = 1e20;
  ratio_test(static_cast<int>(c.x.size()), degenerate, kTol, kBig, kAlphaMax, c.min_step, kPivotTol,
             c.type.data(), c.lower.data(), c.upper.data(), c.x.data(), c.p.data(), out);
  EXPECT_EQ(out.unbounded, c.unbounded);
  EXPECT_EQ(degenerate, c.degenerate);
  EXPECT_GE(out.step, 0.0);
  if (c.unbounded) {
    EXPECT_EQ(out.step, kAlphaMax);
    EXPECT_FALSE(out.at_bound);
    return;
  }
  EXPECT_EQ(out.r, c.r);
  EXPECT_DOUBLE_EQ(out.step, c.step);
  EXPECT_EQ(out.hit_lower, c.hit_lower);
  EXPECT_EQ(out.at_bound, c.at_bound);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    RatioTestTable,
    ::testing::Values(RatioCase{"nothing_moves",
                                {1, 2},
                                {0, 0},
                                {5, 5},
                                {1e-12, -1e-13},
                                {0, 0},
                                0.0,
                                true,
                                0,
                                0.0,
                                false,
                                false,
                                0},
                      RatioCase{"empty", {}, {}, {}, {}, {}, 0.0, true, 0, 0.0, false, false, 0},
                      RatioCase{"decreasing_to_lower",
                                {1, 3},
                                {0, 0},
                                {5, 5},
                                {-1, -0.5},
                                {0, 0},
                                0.0,
                                false,
                                1,
                                1.0,
                                true,
                                true,
                                0},
                      RatioCase{"increasing_to_upper",
                                {1, 3},
                                {0, 0},
                                {5, 4},
                                {1, 2},
                                {0, 0},
                                0.0,
                                false,
                                2,
                                0.5,
                                false,
                                true,
                                0},
                      RatioCase{"short_step_is_lengthened",
                                {1e-9},
                                {0},
                                {5},
                                {-1},
                                {0},
                                1e-6,
                                false,
                                1,
                                1e-6,
                                true,
                                false,
                                1},
                      RatioCase{"equal_pivots_earlier_wins",
                                {1, 1},
                                {0, 0},
                                {5, 5},
                                {-1, -1},
                                {0, 0},
                                0.0,
                                false,
                                1,
                                1.0,
                                true,
                                true,
                                0},
                      RatioCase{"below_lower_moving_down_never_blocks",
                                {-1},
                                {0},
                                {2},
                                {-1},
                                {-2},
                                0.0,
                                true,
                                0,
                                0.0,
                                false,
                                false,
                                0},
                      RatioCase{"below_lower_moving_up_breaks_at_lower",
                                {-1},
                                {0},
                                {2},
                                {1},
                                {-2},
                                0.0,
                                false,
                                1,
                                1.0,
                                true,
                                true,
                                0},
                      RatioCase{"breakpoint_beyond_a_block",
                                {-1, 0.5},
                                {0, 0},
                                {2, 2},
                                {1, -1},
                                {-2, 0},
                                0.0,
                                false,
                                2,
                                0.5,
                                true,
                                true,
                                0},
                      RatioCase{"above_upper_moving_down_breaks_at_upper",
                                {3, 9},
                                {0, 0},
                                {2, 20},
                                {-1, -1},
                                {2, 0},
                                0.0,
                                false,
                                1,
                                1.0,
                                false,
                                true,
                                0},
                      RatioCase{"infinite_bound_is_unbounded",
                                {1},
                                {-kBig},
                                {kBig},
                                {-1},
                                {0},
                                0.0,
                                true,
                                0,
                                0.0,
                                false,
                                false,
                                0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PhaseOneBookkeeping, InfeasibilitiesTypesAndGradient) {
  const double tol = 1e-6;
  const std::vector<double> lower{0, 0, 0, 0};
  const std::vector<double> upper{1, 1, 1, 1};
  const std::vector<double> x{-tol, -2 * tol - 0.5, 1.25, 0.5};
  std::vector<int> type(4, 9);
  std::vector<double> grad(4, 7.0);
  int ninf = -1;
  double sinf = -1.0;
  phase1_infeasibilities(4, tol, ninf, sinf, type.data(), lower.data(), upper.data(), grad.data(),
                         x.data());
  EXPECT_EQ(ninf, 2);
  EXPECT_DOUBLE_EQ(sinf, 0.5 + 2 * tol + 0.25);
  EXPECT_EQ(type, (std::vector<int>{0, -2, 2, 0}));
  EXPECT_EQ(grad, (std::vector<double>{7.0, -1.0, 1.0, 7.0}));
  phase1_infeasibilities(0, tol, ninf, sinf, type.data(), lower.data(), upper.data(), grad.data(),
                         x.data());
  EXPECT_EQ(ninf, 0);
  EXPECT_EQ(sinf, 0.0);
}

// Random steps that move a few positions (one of them given new bounds) while the tolerance
// grows: after every step the updated count, sum, types and gradient equal a full recount.
TEST(PhaseOneBookkeeping, UpdatedCountEqualsAFullRecountAfterEveryStep) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::uniform_int_distribution<int> position(0, 199);
  const int count = 200;
  std::vector<double> lower(count);
  std::vector<double> upper(count);
  std::vector<double> x(count);
  for (int k = 0; k < count; ++k) {
    lower[k] = value(gen);
    upper[k] = lower[k] + (k % 5 == 0 ? 0.0 : 1.0);
    x[k] = 1.5 * value(gen);
  }
  double tol = 1e-3;
  std::vector<int> type(count);
  std::vector<double> grad(count, 0.0);
  int ninf = 0;
  double sinf = 0.0;
  phase1_infeasibilities(count, tol, ninf, sinf, type.data(), lower.data(), upper.data(),
                         grad.data(), x.data());
  std::vector<int> infeasible;
  list_infeasible_positions(count, type.data(), infeasible);
  std::vector<int> work;
  for (int step = 1; step <= 300; ++step) {
    std::vector<int> moved;
    for (int t = 0; t < 4; ++t) moved.push_back(position(gen));
    std::sort(moved.begin(), moved.end());
    moved.erase(std::unique(moved.begin(), moved.end()), moved.end());
    for (int k : moved) x[k] += 0.3 * value(gen);
    lower[moved[0]] = value(gen);  // a new variable at the first of them
    upper[moved[0]] = lower[moved[0]] + 0.5;
    tol *= step % 3 == 0 ? 1.0 : 1.01;
    update_phase1_infeasibilities(tol, moved, infeasible, work, ninf, sinf, type.data(),
                                  lower.data(), upper.data(), grad.data(), x.data());
    std::vector<int> full_type(count);
    std::vector<double> full_grad(count, 0.0);
    int full_ninf = 0;
    double full_sinf = 0.0;
    phase1_infeasibilities(count, tol, full_ninf, full_sinf, full_type.data(), lower.data(),
                           upper.data(), full_grad.data(), x.data());
    ASSERT_EQ(ninf, full_ninf) << "step " << step;
    ASSERT_EQ(sinf, full_sinf) << "step " << step;
    ASSERT_EQ(type, full_type) << "step " << step;
    ASSERT_EQ(grad, full_grad) << "step " << step;
    ASSERT_EQ(static_cast<int>(infeasible.size()), ninf);
  }
}

TEST(PhaseOneBookkeeping, ElasticFlagsBoundsCostsAndSums) {
  // Variables 1..4 in positions 1..4; allowances 0, 1, 2, 3.
  const std::vector<int> bs{1, 2, 3, 4};
  const std::vector<int> allowance{0, 1, 2, 3};
  const std::vector<double> bl{0, 0, 0, 0};
  const std::vector<double> bu{1, 1, 1, 1};
  std::vector<double> xbs{-1, -1, 2, -0.5};
  std::vector<double> bl_bs = bl;
  std::vector<double> bu_bs = bu;
  std::vector<int> elastic(4, 0);
  flag_near_bound_variables(4, 1e-6, kBig, allowance.data(), elastic.data(), bs.data(), bl.data(),
                            bu.data(), bl_bs.data(), bu_bs.data(), xbs.data());
  EXPECT_EQ(elastic, (std::vector<int>{0, 1, 2, 1}));
  EXPECT_EQ(bl_bs, (std::vector<double>{0, -kBig, 1, -kBig}));
  EXPECT_EQ(bu_bs, (std::vector<double>{1, 0, kBig, 0}));
  std::vector<double> check_bl(4, 5.0);
  std::vector<double> check_bu(4, 5.0);
  set_elastic_bounds(4, kBig, elastic.data(), bs.data(), bl.data(), bu.data(), check_bl.data(),
                     check_bu.data());
  EXPECT_EQ(check_bl, (std::vector<double>{5, -kBig, 1, -kBig}));
  EXPECT_EQ(check_bu, (std::vector<double>{5, 0, kBig, 0}));
  std::vector<double> g(4, 0.0);
  shift_elastic_values(4, 2.0, elastic.data(), bs.data(), g.data());
  EXPECT_EQ(g, (std::vector<double>{0, -2, 2, -2}));
  int ninf = 0;
  double sinf = 0.0;
  sum_elastic_infeasibilities(4, elastic.data(), bs.data(), ninf, sinf, bl.data(), bu.data(),
                              xbs.data());
  EXPECT_EQ(ninf, 3);
  EXPECT_DOUBLE_EQ(sinf, 1.0 + 1.0 + 0.5);
}

// Partial pricing on a small LP: columns j = 1..n with pi'a_j given by the matrix below.
struct PricingCase {
  const char* name;
  int n;
  int m;
  int nprt;
  std::vector<double> column_values;  // one entry per column, in row 1
  std::vector<int> state;             // n + m, internal codes
  std::vector<int> allowance;         // n + m
  double pi1;                         // pi(1); the other rows 0
  bool elastic;
  double weight;
  int jq;
  double djq;
  bool increasing;
};

class PricingTable : public ::testing::TestWithParam<PricingCase> {};

TEST_P(PricingTable, PicksTheMostAttractiveCandidate) {
  const PricingCase& c = GetParam();
  Lp lp;
  lp.m = c.m;
  for (int j = 0; j < c.n; ++j) lp.add_column({{1, c.column_values[j]}});
  lp.bl.assign(c.n + c.m, 0.0);
  lp.bu.assign(c.n + c.m, 1.0);
  Workspace w(lp, {{{iw::kPartialPrice, c.nprt}}, {}});
  w.r(mr::kInfeasiblePriceThreshold) = 100.0;
  w.r(mr::kFeasiblePriceThreshold) = 100.0;
  w.r(rw::kOptimalityTolInForce) = 1e-6;
  std::vector<double> pi(c.m, 0.0);
  pi[0] = c.pi1;
  std::vector<double> d(c.n + c.m, 0.0);
  bool increasing = false;
  int count = 0;
  int jq = -1;
  double djq = 0.0;
  int section = 0;
  price_partial(c.elastic, true, increasing, false, c.m, c.n, 0, 0, 0, count, c.weight, 1.0, {}, 1.0,
                jq, djq, section, lp.matrix(), c.allowance.data(), c.state.data(), lp.bl.data(),
                lp.bu.data(), nullptr, pi.data(), d.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(jq, c.jq);
  EXPECT_DOUBLE_EQ(djq, c.djq);
  if (c.jq != 0) {
    EXPECT_EQ(increasing, c.increasing);
    EXPECT_GE(count, 1);
  }
}

// With pi(1) = 1, d_j = -a_j for the columns and d = pi for the slack of row 1.
INSTANTIATE_TEST_SUITE_P(
    Cases,
    PricingTable,
    ::testing::Values(PricingCase{"one_pass_base_tolerance",
                                  5,
                                  3,
                                  1,
                                  {1, -2, 3, 0.5, 0},
                                  {0, 1, 0, 1, 0, 0, 0, 0},
                                  {0, 0, 0, 0, 0, 0, 0, 0},
                                  1.0,
                                  false,
                                  0.0,
                                  3,
                                  -3.0,
                                  true},
                      PricingCase{"sections_too_small_price_all",
                                  5,
                                  3,
                                  10,
                                  {1, -2, 3, 0.5, 0},
                                  {0, 1, 0, 1, 0, 0, 0, 0},
                                  {0, 0, 0, 0, 0, 0, 0, 0},
                                  1.0,
                                  false,
                                  0.0,
                                  3,
                                  -3.0,
                                  true},
                      PricingCase{"equal_values_first_wins",
                                  4,
                                  1,
                                  1,
                                  {-2, 2, -2, 0},
                                  {1, 0, 1, 0, 0},
                                  {0, 0, 0, 0, 0},
                                  1.0,
                                  false,
                                  0.0,
                                  1,
                                  2.0,
                                  false},
                      PricingCase{"nothing_above_tolerance",
                                  4,
                                  1,
                                  1,
                                  {-1e-9, 1e-9, 0, 0},
                                  {0, 1, 0, 0, 3},
                                  {0, 0, 0, 0, 0},
                                  1.0,
                                  false,
                                  0.0,
                                  0,
                                  0.0,
                                  false},
                      PricingCase{"fixed_not_priced_unless_elastic",
                                  3,
                                  1,
                                  1,
                                  {-5, 0, 0},
                                  {4, 0, 0, 3},
                                  {3, 0, 0, 0},
                                  1.0,
                                  false,
                                  0.0,
                                  0,
                                  0.0,
                                  false},
                      PricingCase{"fixed_priced_when_elastic",
                                  3,
                                  1,
                                  1,
                                  {-5, 0, 0},
                                  {4, 0, 0, 3},
                                  {3, 0, 0, 0},
                                  1.0,
                                  true,
                                  1.0,
                                  1,
                                  4.0,
                                  false},
                      PricingCase{"elastic_below_lower_bound",
                                  2,
                                  1,
                                  1,
                                  {-3, 0},
                                  {0, 0, 3},
                                  {1, 0, 0},
                                  1.0,
                                  true,
                                  1.0,
                                  1,
                                  2.0,
                                  false},
                      PricingCase{"relaxed_threshold_takes_the_best", 40, 20, 4,
                                  std::vector<double>(40, -0.5), std::vector<int>(60, 1),
                                  std::vector<int>(60, 0), 1.0, false, 0.0, 41, 1.0, false},
                      // Equal columns in every section: the scan of a fresh section word starts
                      // at section 1, whose first column wins.
                      PricingCase{"fresh_section_word_starts_at_section_1", 40, 20, 4,
                                  std::vector<double>(40, -0.5), [] {
                                    std::vector<int> s(60, 1);
                                    std::fill(s.begin() + 40, s.end(), 3);
                                    return s;
                                  }(),
                                  std::vector<int>(60, 0), 1.0, false, 0.0, 1, 0.5, false}),
    [](const auto& info) { return std::string(info.param.name); });

// In elastic mode the fixed columns with an allowance get d_j = sign g_j - pi'a_j (the
// gradient term while the objective is in force and j <= nnobj); no other column is touched.
TEST(Pricing, PriceSlacksPricesOnlyFixedColumnsWithAnAllowance) {
  Lp lp;
  lp.m = 2;
  for (int j = 1; j <= 4; ++j) lp.add_column({{1, 1.0 * j}, {2, -2.0}});
  const std::vector<int> state{4, 4, 0, 4};
  const std::vector<int> allowance{1, 0, 3, 2};
  const std::vector<double> gobj{10.0, 20.0, 30.0, 40.0};
  const std::vector<double> pi{1.0, 0.5};
  for (const bool in_force : {true, false}) {
    std::vector<double> d(4, 99.0);
    price_slacks(1, 4, in_force, 2, -1.0, lp.matrix(), allowance.data(), state.data(),
                 gobj.data(), pi.data(), d.data());
    // -pi'a_j = -(j - 1) for these columns.
    EXPECT_EQ(d, (std::vector<double>{0.0 - (in_force ? 10.0 : 0.0), 99.0, 99.0, -3.0}))
        << in_force;
  }
}

TEST(Pricing, ARelaxedThresholdIsKeptForLaterCalls) {
  Lp lp;
  lp.m = 20;
  for (int j = 0; j < 40; ++j) lp.add_column({{1, -0.5 - 0.01 * j}});
  lp.bl.assign(60, 0.0);
  lp.bu.assign(60, 1.0);
  Workspace w(lp, {{{iw::kPartialPrice, 4}}, {}});
  w.r(mr::kFeasiblePriceThreshold) = 100.0;
  w.r(rw::kOptimalityTolInForce) = 1e-6;
  std::vector<int> state(60, 1);
  std::fill(state.begin() + 40, state.end(), 3);
  std::vector<int> allowance(60, 0);
  std::vector<double> pi(20, 0.0);
  pi[0] = 1.0;
  std::vector<double> d(60, 0.0);
  bool increasing = false;
  int count = 0;
  int jq = 0;
  double djq = 0.0;
  int section = 0;
  price_partial(false, true, increasing, false, 20, 40, 0, 0, 0, count, 0.0, 1.0, {}, 1.0, jq, djq,
                section, lp.matrix(), allowance.data(), state.data(), lp.bl.data(), lp.bu.data(),
                nullptr, pi.data(), d.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(jq, 40);  // the best over all sections
  EXPECT_EQ(section, 4);
  EXPECT_DOUBLE_EQ(w.r(mr::kFeasiblePriceThreshold), 0.2 * (0.5 + 0.39));
}

// The EXPAND schedule over the nonbasic variables of a small workspace.
class ExpandSchedules : public ::testing::Test {
 protected:
  Lp lp = [] {
    Lp p;
    p.m = 1;
    p.add_column({{1, 1.0}});
    p.add_column({{1, 1.0}});
    p.bl.assign(3, 0.0);
    p.bu.assign(3, 1.0);
    return p;
  }();
};

TEST_F(ExpandSchedules, NeverExpandingKeepsHalfTheTolerance) {
  Workspace w(lp, {{{iw::kExpandFrequency, sparse_option::kNever}}, {}});
  ExpandSchedule s;
  int moved = 0;
  std::vector<int> state{0, 0, 3};
  std::vector<double> x{0, 0, 0};
  expand_tolerance("Initialize", moved, 0, 3, 0, 0, 1e-6, s, state.data(), lp.bl.data(),
                   lp.bu.data(), x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(s.increment, 0.0);
  EXPECT_EQ(s.working_tol, 0.5e-6);
}

TEST_F(ExpandSchedules, ResetsPutDriftedNonbasicsOnTheirBounds) {
  Workspace w(lp, {{{iw::kExpandFrequency, 100}}, {}});
  const double eps067 = w.r(rw::kEpsPow067);
  ExpandSchedule s;
  int moved = -1;
  std::vector<int> state{0, -1, 3};
  std::vector<double> x{0, 0, 0.5};
  const double tol = 1e-6;
  expand_tolerance("Initialize", moved, 0, 3, 0, 0, tol, s, state.data(), lp.bl.data(),
                   lp.bu.data(), x.data(), w.iz.data(), w.z.data());
  EXPECT_DOUBLE_EQ(s.increment, (0.99 * tol - 0.5 * tol) / 100);
  s.working_tol += 100 * s.increment;  // a full cycle
  // Variable 1 drifted by exactly eps^0.67: moved, not counted.  Variable 2 near its upper
  // bound: moved and counted.  The basic variable stays.
  x = {eps067, 1.0 - 0.9 * tol, 0.5};
  expand_tolerance("Optimal", moved, 0, 3, 1, 5, tol, s, state.data(), lp.bl.data(), lp.bu.data(),
                   x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(moved, 1);
  EXPECT_EQ(x, (std::vector<double>{0.0, 1.0, 0.5}));
  EXPECT_EQ(s.working_tol, s.tolx0);
  // The same itn again: nothing.
  x[1] = 1.0 - 0.4 * tol;
  expand_tolerance("Optimal", moved, 0, 3, 1, 5, tol, s, state.data(), lp.bl.data(), lp.bu.data(),
                   x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(moved, 0);
  // The second reset of the infeasible phase moves; a third does nothing.
  expand_tolerance("Optimal", moved, 0, 3, 1, 6, tol, s, state.data(), lp.bl.data(), lp.bu.data(),
                   x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(moved, 1);
  x[1] = 1.0 - 0.4 * tol;
  expand_tolerance("Optimal", moved, 0, 3, 1, 7, tol, s, state.data(), lp.bl.data(), lp.bu.data(),
                   x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(x[1], 1.0 - 0.4 * tol);
  // The feasible phase has its own count; "End of cycle" always resets.
  expand_tolerance("Optimal", moved, 0, 3, 0, 8, tol, s, state.data(), lp.bl.data(), lp.bu.data(),
                   x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(moved, 1);
  x[1] = 1.0 - 0.4 * tol;
  expand_tolerance("End of cycle", moved, 0, 3, 0, 8, tol, s, state.data(), lp.bl.data(),
                   lp.bu.data(), x.data(), w.iz.data(), w.z.data());
  EXPECT_EQ(moved, 1);
}

}  // namespace
}  // namespace zun
