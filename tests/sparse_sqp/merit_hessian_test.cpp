// The merit function and the quasi-Newton Hessian: the penalty update's descent property, the
// slacks inside their bounds, the step to the nearest bound, the secant condition in both
// storage modes, limited and full memory agreeing, the fold and the first-update scaling, and
// the choice of the update pair (re-evaluated, modified or none).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "library/sparse_sqp/merit_function.h"
#include "library/sparse_sqp/quasi_newton.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/update_pair.h"

namespace zun {
namespace {

namespace rw = sparse_option::real_word;
namespace hw = hessian_word;

constexpr double kEps = 2.220446049250313e-16;

std::vector<double> real_words() {
  std::vector<double> z(600, 0.0);
  z[rw::kEps - 1] = kEps;
  z[rw::kEpsPow08 - 1] = std::pow(kEps, 0.8);
  z[10 - 1] = std::sqrt(2.2250738585072014e-308);
  z[rw::kInitialPenalty - 1] = 0.0;
  return z;
}

TEST(PenaltyParameters, DirectionalDerivativeIsAtMostMinusHalfTheCurvature) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> z = real_words();
  int applied = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const int nc = 1 + trial % 6;
    std::vector<double> viol(nc), y(nc), dy(nc), rho(nc), work(nc);
    for (int i = 0; i < nc; ++i) {
      viol[i] = u(gen);
      y[i] = u(gen) * 3.0;
      dy[i] = u(gen) * 3.0;
      rho[i] = std::fabs(u(gen)) * (trial % 3);
    }
    PenaltyState penalty;
    penalty.ceiling = 1.0 / kEps;
    penalty.norm = 0.0;
    const double curvature = std::fabs(u(gen)) * 10.0;
    double merit = u(gen);
    double derivative = u(gen) * 5.0;
    const std::vector<double> rho0 = rho;
    update_penalty_parameters(nc, merit, derivative, curvature, penalty, viol.data(), y.data(),
                              dy.data(), rho.data(), work.data(), z.data());
    EXPECT_LE(derivative, -0.5 * curvature + 1e-10 * (1.0 + curvature)) << trial;
    for (int i = 0; i < nc; ++i) EXPECT_GE(rho[i], 0.0);
    double norm = 0.0;
    for (double r : rho) norm += r * r;
    EXPECT_NEAR(penalty.norm, std::sqrt(norm), 1e-12 * (1.0 + penalty.norm));
    ++applied;
  }
  EXPECT_EQ(applied, 200);
}

TEST(PenaltyParameters, NegligibleResidualsKeepRho) {
  std::vector<double> z = real_words();
  std::vector<double> viol{0.0, 1e-300}, y{1.0, 2.0}, dy{0.5, 0.5}, rho{3.0, 4.0}, work(2);
  PenaltyState penalty;
  penalty.ceiling = 1.0 / kEps;
  penalty.norm = 5.0;
  double merit = 1.0;
  double derivative = -1.0;
  update_penalty_parameters(2, merit, derivative, 1.0, penalty, viol.data(), y.data(), dy.data(),
                            rho.data(), work.data(), z.data());
  EXPECT_EQ(rho, (std::vector<double>{3.0, 4.0}));
  EXPECT_DOUBLE_EQ(penalty.norm, 5.0);
  EXPECT_NEAR(merit, 1.0 - 2e-300, 1e-15);
}

// The merit term of one row, y v + rho v^2 / 2 less... as a function of the residual v:
// -y v + rho v^2 / 2.  The chosen residual minimises it over the allowed interval.
TEST(MeritSlacks, ResidualMinimisesTheRowTermWithinTheBounds) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  const int n = 1;
  for (int trial = 0; trial < 300; ++trial) {
    const double lo = u(gen);
    const double hi = lo + std::fabs(u(gen));
    std::vector<double> bl{0.0, lo}, bu{0.0, hi}, x{0.0, u(gen)};
    x[1] = std::min(std::max(x[1], lo), hi);
    const std::vector<double> fcon{u(gen)};
    const std::vector<double> y{u(gen) * (trial % 4 == 0 ? 0.0 : 1.0)};
    const std::vector<double> rho{std::fabs(u(gen)) + 0.1};
    std::vector<double> viol(1);
    set_merit_slacks(false, n, 1, 1e-13, 1.0, bl.data(), bu.data(), viol.data(), x.data(),
                     y.data(), rho.data(), fcon.data());
    EXPECT_NEAR(viol[0], fcon[0] - x[1], 1e-14);
    EXPECT_GE(x[1], lo - 1e-14);
    EXPECT_LE(x[1], hi + 1e-14);
    const auto term = [&](double v) { return -y[0] * v + 0.5 * rho[0] * v * v; };
    const double best = term(viol[0]);
    for (int k = 0; k <= 20; ++k) {
      const double s = lo + (hi - lo) * k / 20.0;
      const double v = fcon[0] - s;
      if (std::fabs(v - (fcon[0] - x[1])) > 10.0 * (1.0 + std::fabs(fcon[0] - x[1]))) continue;
      EXPECT_LE(best, term(v) + 1e-12) << trial;
    }
  }
}

TEST(MaxStepToBounds, StopsAtTheNearestBoundAndNeverBelowTheFloor) {
  const std::vector<double> bl{0.0, -1.0, -5.0}, bu{4.0, 1.0, 5.0}, x{1.0, 0.0, 0.0};
  const std::vector<double> p{1.0, -0.25, 1e-12};
  EXPECT_DOUBLE_EQ(max_step_to_bounds(3, 10.0, 0.0, 1e-10, 0.0, bl.data(), bu.data(), x.data(),
                                      p.data()),
                   3.0);
  EXPECT_DOUBLE_EQ(max_step_to_bounds(3, 10.0, 3.5, 1e-10, 0.0, bl.data(), bu.data(), x.data(),
                                      p.data()),
                   3.5);
  const std::vector<double> tiny{1e-12, 1e-12, 1e-12};
  EXPECT_DOUBLE_EQ(max_step_to_bounds(3, 10.0, 1.0, 1e-10, 0.0, bl.data(), bu.data(), x.data(),
                                      tiny.data()),
                   10.0);
  EXPECT_DOUBLE_EQ(max_step_to_bounds(3, 1.5, 1.0, 1e-10, 1.0, bl.data(), bu.data(), x.data(),
                                      tiny.data()),
                   1.0);
}

// A workspace holding the Hessian arrays for nnL variables and LIMIT pairs.
struct HessianSpace {
  std::vector<int> iz = std::vector<int>(600, 0);
  std::vector<double> z;
  HessianSpace(int mode, int nnl, int limit) {
    const int base = 600;
    int next = base + 1;
    const auto place = [&](int word, int length) {
      iz[word - 1] = next;
      next += length;
    };
    place(hw::kDiagonal, nnl);
    place(hw::kU, nnl * limit);
    place(hw::kV, nnl * limit);
    place(hw::kInvAlphaPy, limit);
    place(hw::kInvPHp, limit);
    place(hw::kFull, nnl * (nnl + 1) / 2);
    z.assign(static_cast<std::size_t>(next), 0.0);
    iz[hw::kStorage - 1] = mode;
    iz[hw::kUpdateLimit - 1] = limit;
    iz[hw::kResetCount - 1] = 99999999;
    iz[hw::kSkipsAllowed - 1] = 2;
  }
};

struct Pair {
  std::vector<double> p, y;
};

// Pairs with positive curvature from a fixed positive definite matrix.
std::vector<Pair> pairs(int nnl, int count, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<Pair> out;
  for (int k = 0; k < count; ++k) {
    Pair pr{std::vector<double>(nnl), std::vector<double>(nnl, 0.0)};
    for (double& v : pr.p) v = u(gen);
    for (int i = 0; i < nnl; ++i) {
      pr.y[i] = (2.0 + i) * pr.p[i];
      if (i + 1 < nnl) pr.y[i] += 0.5 * pr.p[i + 1];
      if (i > 0) pr.y[i] += 0.5 * pr.p[i - 1];
    }
    out.push_back(pr);
  }
  return out;
}

// Applies the pair with step alpha; returns H(alpha p) after the update.
std::vector<double> apply(QuasiNewtonHessian& h,
                          const Pair& pr,
                          double alpha,
                          char& f1,
                          char* flag2 = nullptr) {
  const int nnl = static_cast<int>(pr.p.size());
  std::vector<double> hp(nnl);
  h.multiply(1, pr.p.data(), hp.data());
  double php = 0.0, py = 0.0;
  for (int i = 0; i < nnl; ++i) {
    php += pr.p[i] * hp[i];
    py += pr.p[i] * pr.y[i];
  }
  char f2 = ' ';
  h.update(f1, f2, 0, alpha, py, 1e-4 * php, php, hp.data(), pr.y.data());
  if (flag2 != nullptr) *flag2 = f2;
  std::vector<double> hs(nnl);
  h.multiply(1, pr.p.data(), hs.data());
  for (double& v : hs) v *= alpha;
  return hs;
}

class SecantTest : public ::testing::TestWithParam<int> {};

TEST_P(SecantTest, UpdatedMatrixMapsTheStepOntoTheGradientChange) {
  const int mode = GetParam();
  const int nnl = 6;
  HessianSpace ws(mode, nnl, 10);
  QuasiNewtonHessian h(nnl, ws.iz.data(), ws.z.data());
  char f2 = ' ';
  h.reset(f2);
  EXPECT_EQ(f2, 'R');
  const double alpha = 0.5;
  for (const Pair& raw : pairs(nnl, 5, 3)) {
    // y is the change of the gradient over the step alpha p.
    Pair pr = raw;
    for (double& v : pr.y) v *= alpha;
    char f1 = ' ';
    const std::vector<double> hs = apply(h, pr, alpha, f1);
    for (int i = 0; i < nnl; ++i) EXPECT_NEAR(hs[i], pr.y[i], 1e-10) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(StorageModes, SecantTest, ::testing::Values(1, 2));

TEST(QuasiNewton, LimitedAndFullMemoryAgreeUntilTheListIsFull) {
  const int nnl = 5;
  const int limit = 4;
  HessianSpace a(hw::kLimitedMemory, nnl, limit);
  HessianSpace b(hw::kFullMemory, nnl, 100);
  QuasiNewtonHessian ha(nnl, a.iz.data(), a.z.data());
  QuasiNewtonHessian hb(nnl, b.iz.data(), b.z.data());
  char f = ' ';
  ha.reset(f);
  hb.reset(f);
  const auto all = pairs(nnl, limit, 5);
  std::vector<double> v{0.3, -1.0, 0.7, 2.0, -0.1}, hva(nnl), hvb(nnl);
  for (const Pair& pr : all) {
    char f1a = ' ', f1b = ' ';
    apply(ha, pr, 1.0, f1a);
    apply(hb, pr, 1.0, f1b);
    EXPECT_EQ(f1a, f1b);
    ha.multiply(-1, v.data(), hva.data());
    hb.multiply(-1, v.data(), hvb.data());
    for (int i = 0; i < nnl; ++i) EXPECT_NEAR(hva[i], hvb[i], 1e-11 * (1.0 + std::fabs(hvb[i])));
  }
  EXPECT_EQ(ha.updates(), limit);
}

TEST(QuasiNewton, FoldKeepsTheDiagonalOfTheAccumulatedUpdates) {
  const int nnl = 5;
  const int limit = 3;
  HessianSpace a(hw::kLimitedMemory, nnl, limit);
  HessianSpace b(hw::kFullMemory, nnl, 100);
  QuasiNewtonHessian ha(nnl, a.iz.data(), a.z.data());
  QuasiNewtonHessian hb(nnl, b.iz.data(), b.z.data());
  char f = ' ';
  ha.reset(f);
  hb.reset(f);
  const auto all = pairs(nnl, limit + 1, 9);
  char last_flag = ' ';
  for (const Pair& pr : all) {
    char f1 = ' ';
    apply(ha, pr, 1.0, f1, &last_flag);
    char g1 = ' ';
    apply(hb, pr, 1.0, g1);
  }
  EXPECT_EQ(last_flag, 'R');
  EXPECT_EQ(ha.updates(), 0);
  for (int i = 0; i < nnl; ++i) EXPECT_NEAR(ha.diagonal(i), hb.diagonal(i), 1e-11);
}

TEST(QuasiNewton, FirstUpdateAfterAResetScalesTheDiagonal) {
  const int nnl = 3;
  for (int mode : {1, 2}) {
    HessianSpace ws(mode, nnl, 5);
    QuasiNewtonHessian h(nnl, ws.iz.data(), ws.z.data());
    char f = ' ';
    h.reset(f);
    const Pair pr{{1.0, 0.0, 0.0}, {4.0, 0.0, 0.0}};
    char f1 = 'x';
    apply(h, pr, 1.0, f1);
    EXPECT_EQ(f1, 'S');
    // scale = p'y / p'p = 4: the untouched directions carry the scale.
    EXPECT_DOUBLE_EQ(ws.z[hw::kFirstScale - 1], 4.0);
    EXPECT_NEAR(h.diagonal(1), 4.0, 1e-14);
    EXPECT_NEAR(h.diagonal(0), 4.0, 1e-14);
    char g1 = ' ';
    apply(h, Pair{{0.0, 1.0, 0.0}, {0.0, 8.0, 0.0}}, 1.0, g1);
    EXPECT_EQ(g1, ' ');
  }
}

TEST(QuasiNewton, RejectedPairsResetAfterTheToleratedSkips) {
  const int nnl = 2;
  HessianSpace ws(hw::kFullMemory, nnl, 5);
  QuasiNewtonHessian h(nnl, ws.iz.data(), ws.z.data());
  char f = ' ';
  h.reset(f);
  char f1 = ' ';
  apply(h, Pair{{1.0, 1.0}, {3.0, 1.0}}, 1.0, f1);
  std::vector<double> hp{1.0, 1.0};
  const std::vector<double> y{-1.0, 0.0};
  char f2 = ' ';
  for (int k = 0; k < 3; ++k) {
    f2 = ' ';
    EXPECT_FALSE(h.update(f1, f2, 1, 1.0, -1.0, 0.1, 2.0, hp.data(), y.data()));
  }
  EXPECT_EQ(f2, 'r');
  EXPECT_EQ(h.updates(), 0);
  std::vector<double> hv(2);
  const std::vector<double> e2{0.0, 1.0};
  h.multiply(1, e2.data(), hv.data());
  EXPECT_EQ(hv[0], 0.0);  // the off-diagonal part is cleared, the diagonal kept
  EXPECT_GT(hv[1], 0.0);
}

}  // namespace
}  // namespace zun

namespace zun {
namespace {

// Two rows, two columns: column j holds rows 1 and 2.  The modified pair reaches the
// threshold, and its gradient change is the Jacobian difference weighted by omega .* w.
TEST(UpdatePair, ModifiedPairMeetsTheThreshold) {
  const std::vector<int> ha{1, 2, 1, 2};
  const std::vector<int> ka{1, 3, 5};
  const JacobianStructure jac{2, ha.data(), ka.data()};
  const std::vector<double> g_old{1.0, 0.0, 0.0, 1.0}, g_new{2.0, 0.0, 0.0, 3.0};
  const std::vector<double> f_old{0.0, 0.0}, f_new{1.5, 2.5};
  const std::vector<double> p{1.0, 1.0};
  std::vector<double> y{0.1, -0.2};
  double py = y[0] * p[0] + y[1] * p[1];
  const double threshold = 1.0;
  ASSERT_TRUE(form_update_pair(2, 2, jac, py, threshold, 1.0, f_old.data(), f_new.data(),
                               g_old.data(), g_new.data(), p.data(), y.data()));
  EXPECT_GE(py, threshold);
  EXPECT_NEAR(py, y[0] * p[0] + y[1] * p[1], 1e-12);
  // No positive product b .* w: nothing can be done.
  std::vector<double> y2{0.1, -0.2};
  double py2 = -0.1;
  const std::vector<double> f_down{-1.5, -2.5};
  EXPECT_FALSE(form_update_pair(2, 2, jac, py2, threshold, 1.0, f_old.data(), f_down.data(),
                                g_old.data(), g_new.data(), p.data(), y2.data()));
  EXPECT_EQ(y2, (std::vector<double>{0.1, -0.2}));
}

// The pair of a step with one nonlinear row and two variables, from x0 = 0 along p = (1, 0) with
// alpha = 1 to a point whose objective gradient change (-1, 0) has negative curvature; w puts
// the re-evaluation point at (0.5, 0).  The stub evaluator returns a status and the objective
// gradient there.
struct ReevaluationCase {
  int status;
  double g_mid;        // first objective gradient entry at the re-evaluation point
  char flag;           // the pair chosen
  double p1;           // p(1) afterwards: 0.5 once the re-evaluated pair is used
  double py;
};

class PairChoice : public ::testing::TestWithParam<ReevaluationCase> {};

TEST_P(PairChoice, ReevaluatedPairOrFallback) {
  const ReevaluationCase& t = GetParam();
  HessianSpace ws(hw::kFullMemory, 2, 5);
  QuasiNewtonHessian h(2, ws.iz.data(), ws.z.data());
  char f2 = ' ';
  h.reset(f2);
  const std::vector<int> ha{1, 1};
  const std::vector<int> ka{1, 2, 3};
  UpdateProblem pr;
  pr.ncnln = 1;
  pr.njnln = 2;
  pr.nonln = 2;
  pr.nnl = 2;
  pr.nb = 3;
  pr.jac = JacobianStructure{2, ha.data(), ka.data()};
  pr.eps = kEps;
  const std::vector<double> x0{0.0, 0.0, 0.0}, w{0.5, 0.0, 0.0}, y1{0.0};
  std::vector<double> p{1.0, 0.0, 0.0};
  const std::vector<double> f_old{0.0}, f_new{1.0}, g_con{1.0, 1.0};
  const std::vector<double> g_old{0.0, 0.0}, g_new{-1.0, 0.0};
  const std::vector<double> g_mid{t.g_mid, 0.0};
  std::vector<double> at;
  const StepEndEvaluation stub = [&](const double* x, StepEndValues& v) {
    at.assign(x, x + 3);
    v = {f_old.data(), g_con.data(), g_mid.data()};
    return t.status;
  };
  const QuasiNewtonPair pair =
      choose_update_pair(pr, h, 1.0, x0.data(), w.data(), p.data(),
                         {f_old.data(), g_con.data(), g_old.data()},
                         {f_new.data(), g_con.data(), g_new.data()}, y1.data(), stub);
  EXPECT_EQ(at, (std::vector<double>{0.5, 0.0, 0.0}));
  EXPECT_EQ(pair.status, t.status);
  EXPECT_EQ(pair.flag, t.flag);
  EXPECT_DOUBLE_EQ(p[0], t.p1);
  EXPECT_DOUBLE_EQ(pair.py, t.py);
  EXPECT_DOUBLE_EQ(pair.php, t.p1 * t.p1);
  // After a re-evaluation the threshold keeps the larger curvature of the two steps.
  EXPECT_DOUBLE_EQ(pair.threshold, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses,
    PairChoice,
    ::testing::Values(ReevaluationCase{0, -2.0, 'M', 0.5, 0.5},     // the re-evaluated pair passes
                      ReevaluationCase{0, -0.5, 'n', 0.5, -0.25},   // neither pair passes
                      ReevaluationCase{-1, -2.0, 'n', 1.0, -1.0},   // undefined there: step's pair
                      ReevaluationCase{6, -2.0, 'n', 1.0, -1.0}));  // a stop: the same

}  // namespace
}  // namespace zun
