// The dnnlp driver's answers to the solver's requests, against the ASL's own evaluations of
// bundled problems: the objective's sign, a missing objective, the rows that NEEDROW names,
// the Jacobian by columns, and what an evaluation error leaves behind.
#include "drivers/dnnlp/requests.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "drivers/common/asl_record.h"
#include "drivers/dnnlp/dense_arrays.h"
#include "tests/drivers/asl_loader.h"

// The ASL's accessor macros would take the names of the loader's declarations: they come last.
#include "asl.h"

namespace {

using dnnlp::DenseArrays;
using zun_driver::asl;

constexpr double kUntouched = 7.25;

// A bundled problem loaded into the driver's record, with the driver's arrays built from it
// and the ASL's compact constraint gradients, as the driver uses them.
class Requests : public ::testing::Test {
 protected:
  void load(const std::string& file) {
    problem_ = std::make_unique<spnlp_test::LoadedProblem>(spnlp_test::data_path(file));
    ASSERT_TRUE(problem_->loaded());
    asl->i.congrd_mode = 1;
    const int objective = n_obj > 0 ? 0 : -1;
    d_ = dnnlp::build_dense_arrays(zun_driver::read_problem_shape(objective).value());
    choice_ = dnnlp::objective_choice(objective);
  }

  std::unique_ptr<spnlp_test::LoadedProblem> problem_;
  DenseArrays d_;
  dnnlp::ObjectiveChoice choice_;
  double objv_ = kUntouched;
};

TEST_F(Requests, MaximisedObjectiveReachesTheSolverNegated) {
  load("maximize.nl");
  EXPECT_EQ(choice_.sign, -1.0);
  d_.x = {0.5, -1.5};
  ASSERT_TRUE(dnnlp::answer_request(3, choice_, d_, objv_));
  bool error = false;
  EXPECT_DOUBLE_EQ(objv_, -problem_->objective(0, d_.x, error));
  const std::vector<double> g = problem_->objective_gradient(0, d_.x, error);
  ASSERT_FALSE(error);
  for (std::size_t j = 0; j < g.size(); ++j) EXPECT_DOUBLE_EQ(d_.objg[j], -g[j]) << j;
}

TEST_F(Requests, MissingObjectiveIsZeroAndLeavesTheGradient) {
  load("no_objective.nl");
  d_.objg.assign(d_.objg.size(), kUntouched);
  for (const int code : {1, 2, 3}) {
    objv_ = kUntouched;
    ASSERT_TRUE(dnnlp::answer_request(code, choice_, d_, objv_));
    EXPECT_EQ(objv_, code == 2 ? kUntouched : 0.0) << code;
    EXPECT_EQ(d_.objg, std::vector<double>(d_.objg.size(), kUntouched)) << code;
  }
}

// Rows 1 and 3 of log_error.nl's five are requested: their values and Jacobian rows (stored
// by columns) come from the ASL, the others keep what they held.
TEST_F(Requests, OnlyTheRequestedRowsAreEvaluated) {
  load("log_error.nl");
  ASSERT_EQ(d_.ncnln, 5);
  d_.x = {1.5, 0.5};
  d_.needrow = {1, 0, 2, 0, -1};
  d_.c.assign(d_.c.size(), kUntouched);
  d_.jacnl.assign(d_.jacnl.size(), kUntouched);
  ASSERT_TRUE(dnnlp::answer_request(6, choice_, d_, objv_));
  for (int k = 0; k < d_.ncnln; ++k) {
    bool error = false;
    const bool requested = d_.needrow[k] > 0;
    const double value = problem_->constraint(k, d_.x, error);
    const std::vector<double> g = problem_->constraint_gradient(k, d_.x, error);
    ASSERT_FALSE(error);
    EXPECT_EQ(d_.c[k], requested ? value : kUntouched) << k;
    for (int j = 0; j < d_.n; ++j) {
      EXPECT_EQ(d_.jacnl[j * d_.ldcj + k], requested ? g[j] : kUntouched) << k << " " << j;
    }
  }
  EXPECT_EQ(objv_, kUntouched);
}

// Row 1 of unsorted_jacobian.nl lists x3 before x1 and x2, row 2 x2 before x1: each element
// lands in the column of its variable, and x3's absent element of row 2 is zero.
TEST_F(Requests, UnsortedJacobianListsReachTheirColumns) {
  load("unsorted_jacobian.nl");
  ASSERT_EQ(d_.ncnln, 2);
  d_.x = {1.5, -0.5, 2.0};
  d_.needrow = {1, 1, 0};
  d_.jacnl.assign(d_.jacnl.size(), kUntouched);
  ASSERT_TRUE(dnnlp::answer_request(5, choice_, d_, objv_));
  const double x1 = d_.x[0], x2 = d_.x[1];
  const std::vector<std::vector<double>> expected = {{2 * x1 + x2, x1, 2.0}, {1.0, 2 * x2, 0.0}};
  for (int k = 0; k < 2; ++k) {
    for (int j = 0; j < 3; ++j) EXPECT_EQ(d_.jacnl[j * d_.ldcj + k], expected[k][j]) << k << " " << j;
  }
}

TEST_F(Requests, ValuesAloneLeaveTheJacobian) {
  load("log_error.nl");
  d_.x = {1.5, 0.5};
  d_.needrow.assign(d_.needrow.size(), 1);
  d_.jacnl.assign(d_.jacnl.size(), kUntouched);
  ASSERT_TRUE(dnnlp::answer_request(4, choice_, d_, objv_));
  EXPECT_EQ(d_.jacnl, std::vector<double>(d_.jacnl.size(), kUntouched));
  bool error = false;
  EXPECT_EQ(d_.c[0], problem_->constraint(0, d_.x, error));
}

// log(x2) in the objective and log(x1) in row 3 cannot be evaluated at non-positive values;
// at x1 = 1e308 the squares in the objective and in row 1 overflow, with their derivatives.
TEST_F(Requests, EvaluationErrorStopsTheAnswer) {
  load("log_error.nl");
  for (const auto& [objective_point, row_point] :
       {std::pair{std::vector<double>{1.0, -1.0}, std::vector<double>{-1.0, 1.0}},
        std::pair{std::vector<double>{1e308, 1.0}, std::vector<double>{1e308, 1.0}}}) {
    for (const int code : {1, 2, 3}) {
      d_.x = objective_point;
      objv_ = kUntouched;
      d_.objg.assign(d_.objg.size(), kUntouched);
      testing::internal::CaptureStdout();
      EXPECT_FALSE(dnnlp::answer_request(code, choice_, d_, objv_)) << code;
      EXPECT_EQ(testing::internal::GetCapturedStdout(),
                "Error while evaluating objective function, terminating.\n");
      EXPECT_EQ(objv_, kUntouched);
      EXPECT_EQ(d_.objg, std::vector<double>(d_.objg.size(), kUntouched));
    }
    for (const int code : {4, 5, 6}) {
      d_.x = row_point;
      d_.needrow.assign(d_.needrow.size(), 1);
      d_.jacnl.assign(d_.jacnl.size(), kUntouched);
      testing::internal::CaptureStdout();
      EXPECT_FALSE(dnnlp::answer_request(code, choice_, d_, objv_)) << code;
      EXPECT_EQ(testing::internal::GetCapturedStdout(),
                "Error while evaluating constraints, terminating.\n");
      // Request 5 writes the Jacobian rows before the failing one; 4 and 6 fail on a value.
      if (code != 5) {
        EXPECT_EQ(d_.jacnl, std::vector<double>(d_.jacnl.size(), kUntouched));
      }
    }
  }
}

TEST_F(Requests, OtherCodesEvaluateNothing) {
  load("log_error.nl");
  d_.needrow.assign(d_.needrow.size(), 1);
  d_.c.assign(d_.c.size(), kUntouched);
  d_.objg.assign(d_.objg.size(), kUntouched);
  for (const int code : {0, 7, -1, -5}) {
    EXPECT_TRUE(dnnlp::answer_request(code, choice_, d_, objv_)) << code;
  }
  EXPECT_EQ(objv_, kUntouched);
  EXPECT_EQ(d_.c, std::vector<double>(d_.c.size(), kUntouched));
  EXPECT_EQ(d_.objg, std::vector<double>(d_.objg.size(), kUntouched));
}

}  // namespace
