// The evaluation wrappers with mock user routines: units handed to the user, rescaling of the
// results, the restored Jacobian, the call counters and the stop codes.
#include "library/sparse_sqp/user_routines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "library/sparse_sqp/workspace_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace ws = sparse_ws::integer_word;
namespace ra = sparse_ws::real_array;

// IUSR layout of the mocks: [0] MODE to return (kKeepMode: leave it), [1] number of gradient
// entries to supply, [2] FIRSTCALL seen, [3] MODE seen.  RUSR receives the point seen.
constexpr int kKeepMode = 99;
constexpr double kNotSupplied = -111111.0;

void mock_confun(int& mode,
                 const int& ncnln,
                 const int& njnln,
                 const int&,
                 const double* x,
                 double* fcon,
                 double* gcon,
                 const int& firstcall,
                 int* iusr,
                 double* rusr) {
  iusr[2] = firstcall;
  iusr[3] = mode;
  for (int j = 0; j < njnln; ++j) rusr[j] = x[j];
  if (mode == 0 || mode == 2) {
    for (int i = 0; i < ncnln; ++i) fcon[i] = 10.0 * (i + 1);
  }
  if (mode == 1 || mode == 2) {
    for (int k = 0; k < iusr[1]; ++k) gcon[k] = k + 1.0;
  }
  if (iusr[0] != kKeepMode) mode = iusr[0];
}

void mock_objfun(int& mode,
                 const int& nonln,
                 const double* x,
                 double& fobj,
                 double* gobj,
                 const int& firstcall,
                 int* iusr,
                 double* rusr) {
  iusr[2] = firstcall;
  iusr[3] = mode;
  for (int j = 0; j < nonln; ++j) rusr[j] = x[j];
  if (mode == 0 || mode == 2) fobj = 7.0;
  if (mode == 1 || mode == 2) {
    for (int k = 0; k < std::min(iusr[1], nonln); ++k) gobj[k] = k + 1.0;
  }
  if (iusr[0] != kKeepMode) mode = iusr[0];
}

// Three columns, three rows; rows 1 and 2 nonlinear, columns 1 and 2 nonlinear: column 1 rows
// 1, 2; column 2 rows 1, 3; column 3 row 3.  The Jacobian elements: (1,1), (2,1), (1,2).
struct Fixture {
  std::vector<int> ha{1, 2, 1, 3, 3};
  std::vector<int> ka{1, 3, 5, 6};
  std::vector<int> iz = std::vector<int>(1500, 0);
  std::vector<double> z = std::vector<double>(1500, 0.0);
  std::vector<int> iusr{kKeepMode, 3, -1, -1};
  std::vector<double> rusr = std::vector<double>(4, 0.0);
  std::vector<double> x{1.0, 2.0, 3.0};
  std::vector<double> fcon = std::vector<double>(2, 0.0);
  std::vector<double> gcon = std::vector<double>(3, kNotSupplied);
  UserRoutines user;
  JacobianStructure jac;
  int stop_code = 0;
  int status = -9;

  explicit Fixture(int scale_option) {
    i(iw::kScaleOption) = scale_option;
    i(iw::kDerivativeLevel) = 3;
    i(ws::kJacobianSupplied) = 3;
    i(ws::kObjGradientSupplied) = 2;
    i(ra::kScales) = 1001;
    i(ra::kScaledVariables) = 1101;
    i(ra::kSavedJacobian) = 1201;
    r(rw::kNotSupplied) = kNotSupplied;
    const double scales[] = {2.0, 4.0, 8.0, 0.5, 0.25, 1.0};
    std::copy(std::begin(scales), std::end(scales), z.begin() + 1000);
    user.confun = mock_confun;
    user.objfun = mock_objfun;
    user.iusr = iusr.data();
    user.rusr = rusr.data();
    jac = {3, ha.data(), ka.data()};
  }
  int& i(int k) { return iz[k - 1]; }
  double& r(int k) { return z[k - 1]; }
  void constraints(int mode, int firstcall = 0) {
    evaluate_constraints(mode, status, firstcall, 2, 2, 3, user, jac, fcon.data(), gcon.data(),
                         x.data(), iz.data(), z.data(), stop_code);
  }
  void objective(int mode, double& fobj, double* gobj) {
    evaluate_objective(mode, status, 0, 2, user, fobj, gobj, x.data(), iz.data(), z.data(),
                       stop_code);
  }
};

TEST(EvaluateConstraints, UnscaledPassesThePointAsHeldAndCounts) {
  for (int option : {0, 1}) {
    Fixture f(option);
    f.constraints(2);
    EXPECT_EQ(f.rusr[0], 1.0);
    EXPECT_EQ(f.rusr[1], 2.0);
    EXPECT_EQ(f.fcon, (std::vector<double>{10.0, 20.0}));
    EXPECT_EQ(f.gcon, (std::vector<double>{1.0, 2.0, 3.0}));
    f.constraints(0);
    EXPECT_EQ(f.i(ws::kConfunCalls), 2);
    EXPECT_EQ(f.i(ws::kConfunDerivativeCalls), 1);
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(f.stop_code, 0);
  }
}

TEST(EvaluateConstraints, ScaleOptionTwoValuesOnly) {
  Fixture f(2);
  f.constraints(0);
  EXPECT_EQ(f.rusr[0], 2.0);  // user units: x times the column scale
  EXPECT_EQ(f.rusr[1], 8.0);
  EXPECT_EQ(f.x, (std::vector<double>{1.0, 2.0, 3.0}));  // the solver's point is restored
  EXPECT_EQ(f.fcon, (std::vector<double>{20.0, 80.0}));  // divided by the row scales
  EXPECT_EQ(f.gcon, (std::vector<double>(3, kNotSupplied)));
  EXPECT_EQ(f.i(iw::kScaleOption), 2);
}

TEST(EvaluateConstraints, ScaleOptionTwoDerivativesOnlyKeepsTheValues) {
  Fixture f(2);
  f.iusr[1] = 2;  // the routine leaves the third element alone
  f.fcon = {5.0, 6.0};
  f.constraints(1);
  EXPECT_EQ(f.fcon, (std::vector<double>{5.0, 6.0}));
  // g * S(column) / S(N + row): (1,1): 1*2/0.5, (2,1): 2*2/0.25; (1,2) not supplied.
  EXPECT_EQ(f.gcon, (std::vector<double>{4.0, 16.0, kNotSupplied}));
}

TEST(EvaluateConstraints, MissingElementsComeFromTheSavedJacobianAfterTheFirstCall) {
  Fixture f(2);
  std::fill(f.z.begin() + 1000, f.z.begin() + 1006, 1.0);
  f.z[1200] = 31.0;
  f.z[1201] = 32.0;
  f.z[1202] = 33.0;
  f.i(ws::kJacobianSupplied) = 1;
  f.iusr[1] = 1;
  f.constraints(2, 1);  // first call: the preset values stay
  EXPECT_EQ(f.gcon, (std::vector<double>{1.0, kNotSupplied, kNotSupplied}));
  EXPECT_EQ(f.iusr[2], 1);
  f.constraints(2, 0);
  EXPECT_EQ(f.gcon, (std::vector<double>{1.0, 32.0, 33.0}));
  f.gcon.assign(3, kNotSupplied);
  f.i(iw::kDerivativeLevel) = 1;  // the routine gives no Jacobian: nothing is restored
  f.constraints(2, 0);
  EXPECT_EQ(f.gcon, (std::vector<double>{1.0, kNotSupplied, kNotSupplied}));
}

struct StopCase {
  int returned_mode;
  int status;
  int stop_code;
};

class StopCodeTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopCodeTest, NegativeModeBecomesAStop) {
  const StopCase c = GetParam();
  for (bool objective : {false, true}) {
    Fixture f(0);
    f.stop_code = -7;  // kept unless the routine stops
    f.iusr[0] = c.returned_mode;
    double fobj = 0.0;
    double gobj[2] = {};
    if (objective) {
      f.objective(2, fobj, gobj);
    } else {
      f.constraints(2);
    }
    EXPECT_EQ(f.status, c.status);
    EXPECT_EQ(f.stop_code, c.stop_code);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes,
                         StopCodeTest,
                         ::testing::Values(StopCase{-1, -1, -1},
                                           StopCase{-3, 6, -3},
                                           StopCase{-2, 6, -2},
                                           StopCase{5, 0, -7},
                                           StopCase{kKeepMode, 0, -7}));

TEST(EvaluateObjective, ScaleOptionTwoScalesTheGradientNotTheValue) {
  Fixture f(2);
  double fobj = 0.0;
  double gobj[2] = {kNotSupplied, kNotSupplied};
  f.iusr[1] = 1;
  f.objective(2, fobj, gobj);
  EXPECT_EQ(f.rusr[0], 2.0);
  EXPECT_EQ(f.rusr[1], 8.0);
  EXPECT_EQ(f.x, (std::vector<double>{1.0, 2.0, 3.0}));
  EXPECT_EQ(fobj, 7.0);
  EXPECT_EQ(gobj[0], 2.0);
  EXPECT_EQ(gobj[1], kNotSupplied);
  f.objective(0, fobj, gobj);
  EXPECT_EQ(f.i(ws::kObjfunCalls), 2);
  EXPECT_EQ(f.i(ws::kObjfunDerivativeCalls), 1);
  EXPECT_EQ(f.i(ws::kConfunCalls), 0);
}

TEST(EvaluateObjective, NoGradientCountMeansNoScaling) {
  Fixture f(2);
  f.i(ws::kObjGradientSupplied) = 0;
  double fobj = 0.0;
  double gobj[2] = {};
  f.objective(1, fobj, gobj);
  EXPECT_EQ(gobj[0], 1.0);
  EXPECT_EQ(gobj[1], 2.0);
}

}  // namespace
}  // namespace zun
