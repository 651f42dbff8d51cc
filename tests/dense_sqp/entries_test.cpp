// The public entries DNKEYF and DNNLPF on the program's own option store: the store set up by
// the first option line, the print level the setter supplies, and two solves in one process
// with the options as the user set them.  (The only test of this binary that uses the
// program's static store.)
#include "library/dense_sqp/dense_sqp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/dense_sqp/dense_harness.h"

namespace zun {
namespace {

constexpr int kPrintUnit = 89;
constexpr int kErrorUnit = 90;

using DenseEntries = dense_test::CapturedUnits<kPrintUnit, kErrorUnit>;

struct OneVariable {
  int irevcm = 0, niter = 0, ifail = -1;
  int istate[1] = {0}, needrow[1] = {0};
  double a[1] = {0.0}, bl[1] = {-10.0}, bu[1] = {10.0}, c[1] = {0.0}, jacnl[1] = {0.0};
  double mult[1] = {0.0}, objv = 0.0, objg[1] = {0.0}, r[1] = {0.0}, x[1] = {0.5};
  int iwork[3] = {};
  double work[23] = {};
  std::vector<int> requests;

  // Minimises (x - 2)^2 by the loop over DNNLPF; returns the final IFAIL.
  int solve() {
    irevcm = 0;
    ifail = -1;
    requests.clear();
    do {
      DNNLPF(irevcm, 1, 0, 0, 1, 1, 1, a, bl, bu, niter, istate, c, jacnl, mult, objv, objg, r,
             x, needrow, iwork, 3, work, 23, ifail);
      if (irevcm == 0) break;
      requests.push_back(irevcm);
      if (irevcm == request::kObjective || irevcm == request::kObjectiveBoth) {
        objv = (x[0] - 2.0) * (x[0] - 2.0);
      }
      if (irevcm == request::kGradient || irevcm == request::kObjectiveBoth) {
        objg[0] = 2.0 * (x[0] - 2.0);
      }
    } while (requests.size() < 1000);
    return ifail;
  }
};

TEST_F(DenseEntries, SetterListsItsLinesAndTheSolveKeepsTheUsersOptions) {
  const std::string verify = "Verify level 10";
  DNKEYF(verify.data(), static_cast<int>(verify.size()));
  EXPECT_EQ(dense_workspace_need(1, 0, 0).reals, 23);
  OneVariable p;
  // The first step lands on the minimum and the next direction is tiny.
  EXPECT_EQ(p.solve(), dense_exit::kAccuracyNotAchieved);
  EXPECT_EQ(p.requests.front(), request::kObjectiveBoth);
  EXPECT_NEAR(p.objg[0], 0.0, 1e-6);  // the gradient at the minimum x = 2
  EXPECT_TRUE(printed(" Calls to DNKEYF"));
  EXPECT_TRUE(printed("      Verify level 10"));
  EXPECT_TRUE(printed(" *** DNNLPF"));  // the setter's print level of 10 lists the options
  EXPECT_TRUE(printed(" Exit DNNLPF - Optimal solution found, but requested accuracy not achieved."));
  const std::vector<int> first = p.requests;
  OneVariable again;
  EXPECT_EQ(again.solve(), dense_exit::kAccuracyNotAchieved);
  EXPECT_EQ(again.requests, first);
}

}  // namespace
}  // namespace zun
