// The QP minor iterations on seeded random convex QPs and LPs with an objective row: the first-
// order conditions at the end point, the objective against an enumeration of the active faces
// on small cases, the reduced-Hessian factor against Z'HZ after every step, maximisation, the
// start point, elastic mode and the exit results.
#include <gtest/gtest.h>

#include <iostream>

#include "tests/sparse_qp/qp_fixture.h"

namespace zun {
namespace {

using namespace qp_test;

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
};

TEST(QpMinorIterations, SolvesSeededConvexQps) {
  Figures f;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    std::mt19937 gen(seed);
    const bool small = seed % 3 == 0;
    const int n = small ? std::uniform_int_distribution<int>(2, 6)(gen)
                        : std::uniform_int_distribution<int>(5, 40)(gen);
    const int m = small ? std::uniform_int_distribution<int>(1, 3)(gen)
                        : std::uniform_int_distribution<int>(1, std::min(20, n))(gen);
    Qp qp = random_qp(gen, n, m, n, 1.0, small);
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
            << f.worst_kkt << ", worst objective gap " << f.worst_objective << "\n";
}

}  // namespace
}  // namespace zun
