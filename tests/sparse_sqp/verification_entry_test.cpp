// Derivative verification through the public entries SPKEYF and SPNLPF: hand-made user
// routines with correct derivatives solve at every Verify Level; a wrong objective gradient
// ends with IFAIL 8 and a wrong Jacobian element with IFAIL 9, each with its verification
// lines.  This binary has the program's option store to itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/sparse_sqp.h"
#include "library/support/output.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

constexpr int kPrintUnit = 83;
constexpr int kErrorUnit = 84;
constexpr double kInf = 1e20;
constexpr double kError = 1.5;

// IUSR: [0] 1-based gCon element returned wrong, [1] 1-based gradient element returned wrong.
// Rows c1 = x1^2 + x2 x3 <= 10 and c2 = sin(x1) + x3^2 <= 10; gCon in column order
// (1,1) (2,1) (1,2) (1,3) (2,3).
void confun(int& mode,
            const int&,
            const int&,
            const int&,
            const double* x,
            double* f,
            double* g,
            const int&,
            int* iusr,
            double*) {
  if (mode != 1) {
    f[0] = x[0] * x[0] + x[1] * x[2];
    f[1] = std::sin(x[0]) + x[2] * x[2];
  }
  if (mode != 0) {
    const double gg[] = {2.0 * x[0], std::cos(x[0]), x[2], x[1], 2.0 * x[2]};
    for (int l = 0; l < 5; ++l) g[l] = gg[l] + (l + 1 == iusr[0] ? kError : 0.0);
  }
}

// f = x1^2 + 3 x2^2 + x1 x3 + exp(x3) on -2 <= x <= 2.
void objfun(int& mode,
            const int&,
            const double* x,
            double& f,
            double* g,
            const int&,
            int* iusr,
            double*) {
  if (mode != 1) f = x[0] * x[0] + 3.0 * x[1] * x[1] + x[0] * x[2] + std::exp(x[2]);
  if (mode != 0) {
    const double gg[] = {2.0 * x[0] + x[2], 6.0 * x[1], x[0] + std::exp(x[2])};
    for (int j = 0; j < 3; ++j) g[j] = gg[j] + (j + 1 == iusr[1] ? kError : 0.0);
  }
}

void send(const std::string& line) { SPKEYF(line.c_str(), static_cast<int>(line.size())); }

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool any_ends_with(const std::vector<std::string>& lines, const std::string& tail) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0;
  });
}

struct Problem {
  int n = 3, m = 2, ncnln = 2, nonln = 3, njnln = 3, iobj = 0, nnz = 5, nname = 1;
  std::vector<double> aval = std::vector<double>(5, 0.0);
  std::vector<int> ha{1, 2, 1, 1, 2};
  std::vector<int> ka{1, 3, 4, 6};
  std::vector<double> bl{-2, -2, -2, -kInf, -kInf};
  std::vector<double> bu{2, 2, 2, 10, 10};
  std::vector<double> xv{0.8, 0.7, -0.4, 0, 0};
  std::vector<int> istate = std::vector<int>(5, 0);
  std::vector<double> mult = std::vector<double>(5, 0.0);
  int nsb = 0, neediz = 0, needz = 0, ninfs = 0;
  double suminf = 0, objv = 0;
  std::vector<int> iz = std::vector<int>(500, 0);
  std::vector<double> z = std::vector<double>(500, 0.0);
  int iusr[2] = {0, 0};
  double rusr[1] = {0};

  int call() {
    int ifail = -1;
    SPNLPF(confun, objfun, n, m, ncnln, nonln, njnln, iobj, nnz, aval.data(), ha.data(),
           ka.data(), bl.data(), bu.data(), "C", nname, "dummy", nsb, xv.data(), istate.data(),
           mult.data(), neediz, needz, ninfs, suminf, objv, iz.data(), static_cast<int>(iz.size()),
           z.data(), static_cast<int>(z.size()), iusr, rusr, ifail, 1, 1);
    return ifail;
  }

  // Solves, growing a workspace that is too small, as a driver does.
  int solve() {
    for (;;) {
      const int code = call();
      if (code != 12 && code != 13 && code != 15 && code != 16) return code;
      iz.assign(std::max<std::size_t>(static_cast<std::size_t>(neediz) * 2, 2 * iz.size()), 0);
      z.assign(std::max<std::size_t>(static_cast<std::size_t>(needz) * 2, 2 * z.size()), 0.0);
      xv = {0.8, 0.7, -0.4, 0, 0};
    }
  }
};

class VerificationEntry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    print_ = new sqp_test::UnitCapture(kPrintUnit);
    error_ = new sqp_test::UnitCapture(kErrorUnit);
    int unit = kPrintUnit;
    advisory_unit(1, unit);
    unit = kErrorUnit;
    error_unit(1, unit);
  }
  static void TearDownTestSuite() {
    delete print_;
    delete error_;
  }
  // The lines printed since `from`.
  static std::vector<std::string> lines_since(std::size_t from) {
    const std::vector<std::string> all = print_->lines();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
  }
  static std::size_t printed() { return print_->lines().size(); }

  static sqp_test::UnitCapture* print_;
  static sqp_test::UnitCapture* error_;
};

sqp_test::UnitCapture* VerificationEntry::print_ = nullptr;
sqp_test::UnitCapture* VerificationEntry::error_ = nullptr;

TEST_F(VerificationEntry, CorrectDerivativesSolveAtEveryLevel) {
  send("Print Level = 1");
  for (int level = -1; level <= 3; ++level) {
    send("Verify Level = " + std::to_string(level));
    const std::size_t from = printed();
    Problem p;
    EXPECT_EQ(p.solve(), sparse_inform::kOptimal) << level;
    const std::vector<std::string> lines = lines_since(from);
    EXPECT_EQ(contains(lines, " The Jacobian seems to be OK."), level >= 0) << level;
    EXPECT_EQ(contains(lines, " The objective gradients seem to be OK."), level >= 0) << level;
    EXPECT_EQ(contains(lines, "      5  Jacobian elements in cols      1  through     3  seem to "
                              "be OK."),
              level >= 2)
        << level;
    EXPECT_EQ(contains(lines, "      3  objective gradients out of     1  through     3  seem to "
                              "be OK."),
              level == 1 || level == 3)
        << level;
    EXPECT_FALSE(any_ends_with(lines, "BAD?")) << level;
  }
}

TEST_F(VerificationEntry, WrongObjectiveGradientEndsWithIfail8) {
  send("Print Level = 1");
  send("Verify Level = 0");
  const std::size_t from = printed();
  Problem p;
  p.iusr[1] = 3;
  EXPECT_EQ(p.solve(), sparse_inform::kObjectiveGradients);
  const std::vector<std::string> lines = lines_since(from);
  EXPECT_TRUE(contains(lines, " XXX The objective gradients seem to be incorrect."));
  EXPECT_TRUE(contains(lines, " The Jacobian seems to be OK."));
}

TEST_F(VerificationEntry, WrongJacobianElementEndsWithIfail9AndItsBadLine) {
  send("Print Level = 1");
  send("Verify Level = 2");
  const std::size_t from = printed();
  Problem p;
  p.iusr[0] = 4;
  EXPECT_EQ(p.solve(), sparse_inform::kConstraintGradients);
  const std::vector<std::string> lines = lines_since(from);
  EXPECT_TRUE(contains(lines, " XXX The Jacobian seems to be incorrect."));
  EXPECT_TRUE(any_ends_with(lines, "BAD?"));
  EXPECT_TRUE(contains(lines,
                       " XXX There seem to be     1  incorrect Jacobian elements in cols     1  "
                       "through     3."));
  EXPECT_FALSE(contains(lines, " Cheap test on objfun..."));
}

}  // namespace
}  // namespace zun
