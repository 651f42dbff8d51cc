// The hand-written .nl files under tests/data: the ASL checks neither their counts, their
// Jacobian column counts nor their variable order, so each is checked here: the counts it
// declares, the ASL's gradients against finite differences of its values (a term missing from
// the Jacobian or gradient lists shows up as a wrong derivative), and its documented solution.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/drivers/asl_loader.h"

namespace {

using spnlp_test::AslCounts;
using spnlp_test::LoadedProblem;

struct HandWritten {
  const char* file;
  AslCounts counts;
  bool maximize;
  std::vector<double> check_point;  // where the derivatives are compared
  std::vector<double> solution;     // empty when the problem has none
  double optimum;
};

const HandWritten kFiles[] = {
    {"unconstrained.nl", {2, 0, 1, 0, 0, 2, 0, 0}, false, {0.3, -1.2}, {1.0, 2.0}, 0.0},
    {"linear_tail.nl", {3, 0, 1, 0, 0, 1, 0, 0}, false, {0.3, 1.5, 0.7}, {1.0, 0.0, -1.0}, -1.0},
    {"no_objective.nl",
     {2, 2, 0, 1, 2, 0, 0, 0},
     false,
     {0.4, -0.9},
     {std::sqrt(0.5), std::sqrt(0.5)},
     0.0},
    {"maximize.nl", {2, 1, 1, 0, 0, 2, 0, 0}, true, {0.2, 3.1}, {1.0, 1.0}, -2.0},
    {"discrete.nl", {2, 0, 1, 0, 0, 1, 0, 1}, false, {0.6, 2.0}, {1.0, 0.0}, 0.0},
    {"log_error.nl",
     {2, 5, 1, 5, 2, 2, 0, 0},
     false,
     {1.3, 0.8},
     {1.8879962636621053, 2.3644839112711784},
     -0.8480149418412901},
    {"two_objectives.nl", {2, 0, 2, 0, 0, 2, 0, 0}, false, {-0.5, 2.5}, {1.0, 1.0}, 0.0},
    {"inconsistent_bounds.nl", {2, 1, 1, 0, 0, 2, 0, 0}, false, {4.5, 2.0}, {}, 0.0},
    {"nonlinear_integer.nl", {1, 0, 1, 0, 0, 1, 0, 0, 1}, false, {2.2}, {1.0}, 0.25},
    {"user_function.nl", {2, 0, 1, 0, 0, 2, 0, 0}, false, {1.7, -0.4}, {1.0, 1.0}, 1.0},
    {"start_duals.nl",
     {3, 3, 1, 1, 2, 1, 0, 0},
     false,
     {0.3, -1.2, 0.7},
     {1.149037852672035, 1.63698259402073, -1.7860204466927652},
     -1.763808165163674},
    {"infeasible_linear.nl", {2, 2, 1, 0, 0, 2, 0, 0}, false, {0.3, 1.2}, {}, 0.0},
    {"rounded_zero_e16.nl", {2, 1, 1, 0, 0, 2, 0, 0}, false, {1.3, -0.7}, {2.0, 3.0}, 0.0},
    {"rounded_zero_e20.nl", {2, 1, 1, 0, 0, 2, 0, 0}, false, {1.3, -0.7}, {2.0, 3.0}, 0.0},
    {"rounded_zero_e12.nl", {2, 1, 1, 0, 0, 2, 0, 0}, false, {1.3, -0.7}, {2.0, 3.0}, 0.0},
    {"disc_strip.nl",
     {2, 2, 1, 1, 2, 2, 0, 0},
     false,
     {0.3, -1.2},
     {2.0 / std::sqrt(5.0), 4.0 / std::sqrt(5.0)},
     9.0 - 4.0 * std::sqrt(5.0)},
    // The row declared linear holds exp(t) through a defined variable: the ASL's derivative of
    // it changes with t.
    {"linear_declared_exp.nl",
     {2, 2, 1, 1, 2, 1, 0, 0},
     false,
     {0.3, 1.2},
     {-0.5671432904097838, 0.5671432904097838},
     0.727969046338202},
    {"overflow.nl",
     {2, 2, 1, 2, 2, 2, 0, 0},
     false,
     {0.3, 1.2},
     {0.8944271909999159, 1.7888543819998317},
     0.05572809000084122},
};

// The files with a documented solution.
std::vector<HandWritten> solved_files() {
  std::vector<HandWritten> solved;
  for (const HandWritten& f : kFiles) {
    if (!f.solution.empty()) solved.push_back(f);
  }
  return solved;
}

std::string name_of(const ::testing::TestParamInfo<HandWritten>& info) {
  const std::string name = info.param.file;
  return name.substr(0, name.find('.'));
}

class HandWrittenFile : public ::testing::TestWithParam<HandWritten> {
 protected:
  void SetUp() override {
    setenv("AMPLFUNC", SPNLP_USER_FUNCTIONS, 1);  // for the file that calls cube(x)
    problem_ = std::make_unique<LoadedProblem>(spnlp_test::data_path(GetParam().file));
    ASSERT_TRUE(problem_->loaded());
  }
  std::unique_ptr<LoadedProblem> problem_;
};

TEST_P(HandWrittenFile, DeclaresItsCounts) {
  const AslCounts c = problem_->counts();
  const AslCounts& e = GetParam().counts;
  EXPECT_EQ(c.n_var, e.n_var);
  EXPECT_EQ(c.n_con, e.n_con);
  EXPECT_EQ(c.n_obj, e.n_obj);
  EXPECT_EQ(c.nlc, e.nlc);
  EXPECT_EQ(c.nlvc, e.nlvc);
  EXPECT_EQ(c.nlvo, e.nlvo);
  EXPECT_EQ(c.nbv, e.nbv);
  EXPECT_EQ(c.niv, e.niv);
  EXPECT_EQ(c.nlvoi, e.nlvoi);
  if (c.n_obj > 0) {
    EXPECT_EQ(problem_->maximize(0), GetParam().maximize);
  }
}

void expect_gradient(const std::vector<double>& gradient,
                     const std::vector<double>& x,
                     const std::function<double(const std::vector<double>&)>& f,
                     const std::string& what) {
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double h = 1e-6 * std::max(1.0, std::fabs(x[j]));
    std::vector<double> up = x, down = x;
    up[j] += h;
    down[j] -= h;
    const double diff = (f(up) - f(down)) / (2 * h);
    EXPECT_NEAR(gradient[j], diff, 1e-6 * std::max(1.0, std::fabs(diff)))
        << what << ", variable " << j;
  }
}

TEST_P(HandWrittenFile, GradientsMatchFiniteDifferences) {
  const AslCounts c = problem_->counts();
  std::vector<std::vector<double>> points = {GetParam().check_point};
  if (!GetParam().solution.empty()) points.push_back(GetParam().solution);
  for (const std::vector<double>& x : points) {
    bool error = false;
    for (int k = 0; k < c.n_obj; ++k) {
      const auto f = [&](const std::vector<double>& y) { return problem_->objective(k, y, error); };
      expect_gradient(problem_->objective_gradient(k, x, error), x, f, "objective");
      EXPECT_FALSE(error);
    }
    for (int i = 0; i < c.n_con; ++i) {
      const auto f = [&](const std::vector<double>& y) {
        return problem_->constraint(i, y, error);
      };
      expect_gradient(problem_->constraint_gradient(i, x, error), x, f,
                      "constraint " + std::to_string(i));
      EXPECT_FALSE(error);
    }
  }
}

class SolvedHandWrittenFile : public HandWrittenFile {};

TEST_P(SolvedHandWrittenFile, DocumentedSolutionIsFeasibleWithItsValue) {
  const std::vector<double>& x = GetParam().solution;
  constexpr double kTol = 1e-9;
  const std::vector<double> lower = problem_->var_lower(), upper = problem_->var_upper();
  for (std::size_t j = 0; j < x.size(); ++j) {
    EXPECT_GE(x[j], lower[j] - kTol);
    EXPECT_LE(x[j], upper[j] + kTol);
  }
  const std::vector<double> row_lower = problem_->row_lower(), row_upper = problem_->row_upper();
  bool error = false;
  for (int i = 0; i < problem_->counts().n_con; ++i) {
    const double value = problem_->constraint(i, x, error);
    EXPECT_GE(value, row_lower[i] - kTol) << i;
    EXPECT_LE(value, row_upper[i] + kTol) << i;
  }
  if (problem_->counts().n_obj > 0) {
    EXPECT_NEAR(problem_->objective(0, x, error), GetParam().optimum, 1e-12);
  }
  EXPECT_FALSE(error);
}

INSTANTIATE_TEST_SUITE_P(Files, HandWrittenFile, ::testing::ValuesIn(kFiles), name_of);
INSTANTIATE_TEST_SUITE_P(Files,
                         SolvedHandWrittenFile,
                         ::testing::ValuesIn(solved_files()),
                         name_of);

}  // namespace
