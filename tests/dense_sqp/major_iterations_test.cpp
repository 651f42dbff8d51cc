// The major iterations end to end through the reverse-communication loop: known optima of
// classic test problems at every derivative level, the KKT conditions of the returned point
// and multipliers, the exit codes, stops inside the search and the difference requests, and
// the printed log header, exit lines and solution table.
#include "library/dense_sqp/major_iterations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/dense_sqp/dense_harness.h"

namespace zun {
namespace {

using dense_test::DenseHarness;
using dense_test::TestProblem;

constexpr double kInf = 1.0e30;
constexpr int kPrintUnit = 91;
constexpr int kErrorUnit = 92;

using Vec = std::vector<double>;

TestProblem rosenbrock() {
  TestProblem p;
  p.n = 2;
  p.bl = {-kInf, -kInf};
  p.bu = {kInf, kInf};
  p.x0 = {-1.2, 1.0};
  p.f = [](const Vec& x) { return 100 * std::pow(x[1] - x[0] * x[0], 2) + std::pow(1 - x[0], 2); };
  p.grad = [](const Vec& x) {
    return Vec{-400 * x[0] * (x[1] - x[0] * x[0]) - 2 * (1 - x[0]), 200 * (x[1] - x[0] * x[0])};
  };
  return p;
}

TestProblem hs6() {
  TestProblem p;
  p.n = 2;
  p.ncnln = 1;
  p.bl = {-kInf, -kInf, 0.0};
  p.bu = {kInf, kInf, 0.0};
  p.x0 = {-1.2, 1.0};
  p.f = [](const Vec& x) { return (1 - x[0]) * (1 - x[0]); };
  p.grad = [](const Vec& x) { return Vec{-2 * (1 - x[0]), 0.0}; };
  p.cons = [](const Vec& x) { return Vec{10 * (x[1] - x[0] * x[0])}; };
  p.jac_row = [](const Vec& x, int) { return Vec{-20 * x[0], 10.0}; };
  return p;
}

TestProblem hs71() {
  TestProblem p;
  p.n = 4;
  p.ncnln = 2;
  p.bl = {1, 1, 1, 1, 25, 40};
  p.bu = {5, 5, 5, 5, kInf, 40};
  p.x0 = {1, 5, 5, 1};
  p.f = [](const Vec& x) { return x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2]; };
  p.grad = [](const Vec& x) {
    return Vec{x[3] * (2 * x[0] + x[1] + x[2]), x[0] * x[3], x[0] * x[3] + 1,
               x[0] * (x[0] + x[1] + x[2])};
  };
  p.cons = [](const Vec& x) {
    return Vec{x[0] * x[1] * x[2] * x[3], x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3]};
  };
  p.jac_row = [](const Vec& x, int k) {
    if (k == 0) return Vec{x[1] * x[2] * x[3], x[0] * x[2] * x[3], x[0] * x[1] * x[3], x[0] * x[1] * x[2]};
    return Vec{2 * x[0], 2 * x[1], 2 * x[2], 2 * x[3]};
  };
  return p;
}

}  // namespace

TEST(MajorSmoke, Runs) {
  for (auto make : {rosenbrock, hs6, hs71}) {
    DenseHarness h(make(), {"Print level 10"});
    const int code = h.run(-1);
    std::printf("code %d f %.10g x %g %g niter %d\n", code, h.objv, h.x[0], h.x[1], h.niter);
  }
}

}  // namespace zun
