// The generated .nl files read back with the ASL: the counts, bounds and start point as
// written, the ASL's gradients against central differences of its values, and the known
// solutions feasible, at their optimum and stationary.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/bench/nl_writer.h"
#include "tests/bench/scalable_families.h"
#include "tests/drivers/asl_loader.h"

namespace {

namespace fs = std::filesystem;
using nlgen::Family;

constexpr double kStep = 1e-6;
constexpr double kGradientTolerance = 1e-6;
constexpr double kSolutionTolerance = 1e-12;
constexpr int kPoints = 3;

struct Case {
  Family family;
  int n;
};

class GeneratedFile : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    const Case c = GetParam();
    problem_ = nlgen::make_problem(c.family, c.n);
    stub_ = (fs::temp_directory_path() /
             (nlgen::family_name(c.family) + std::to_string(c.n) + "_" + std::to_string(getpid())))
                .string();
    std::ofstream out(stub_ + ".nl");
    nlgen::write_nl(problem_.nl, out);
  }
  void TearDown() override { fs::remove(stub_ + ".nl"); }

  nlgen::ScalableProblem problem_;
  std::string stub_;
};

// A seeded point strictly inside the bounds.
std::vector<double> inner_point(const nlgen::NlProblem& p, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.1, 0.9);
  std::vector<double> x(p.x0.size());
  for (std::size_t j = 0; j < x.size(); ++j) x[j] = p.lower[j] + u(gen) * (p.upper[j] - p.lower[j]);
  return x;
}

// Central differences of a function of x in every variable.
template <typename F>
std::vector<double> central_differences(std::vector<double> x, F value) {
  std::vector<double> d(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double keep = x[j];
    x[j] = keep + kStep;
    const double up = value(x);
    x[j] = keep - kStep;
    const double down = value(x);
    x[j] = keep;
    d[j] = (up - down) / (2.0 * kStep);
  }
  return d;
}

void expect_close(const std::vector<double>& g, const std::vector<double>& d, const char* what) {
  ASSERT_EQ(g.size(), d.size());
  for (std::size_t j = 0; j < g.size(); ++j) {
    EXPECT_NEAR(g[j], d[j], kGradientTolerance * (1.0 + std::fabs(g[j]))) << what << " var " << j;
  }
}

TEST_P(GeneratedFile, ReadsBackWithItsCountsBoundsAndStart) {
  spnlp_test::LoadedProblem lp(stub_);
  ASSERT_TRUE(lp.loaded());
  const nlgen::NlProblem& p = problem_.nl;
  const spnlp_test::AslCounts c = lp.counts();
  EXPECT_EQ(c.n_var, static_cast<int>(p.x0.size()));
  EXPECT_EQ(c.n_con, static_cast<int>(p.rows.size()));
  EXPECT_EQ(c.n_obj, 1);
  EXPECT_EQ(c.nlc, p.nonlinear_rows);
  EXPECT_EQ(c.nlvc, p.nonlinear_in_rows);
  EXPECT_EQ(c.nlvo, p.nonlinear_in_objective);
  EXPECT_EQ(lp.start(), p.x0);
  EXPECT_EQ(lp.var_lower(), p.lower);
  EXPECT_EQ(lp.var_upper(), p.upper);
  for (std::size_t i = 0; i < p.rows.size(); ++i) {
    EXPECT_EQ(lp.row_lower()[i], p.rows[i].lower) << i;
    EXPECT_EQ(lp.row_upper()[i], p.rows[i].upper) << i;
  }
}

TEST_P(GeneratedFile, GradientsAgreeWithDifferencesOfTheValues) {
  spnlp_test::LoadedProblem lp(stub_);
  ASSERT_TRUE(lp.loaded());
  bool error = false;
  for (int k = 0; k < kPoints; ++k) {
    const std::vector<double> x = inner_point(problem_.nl, 17u + static_cast<unsigned>(k));
    const auto f = [&](const std::vector<double>& y) { return lp.objective(0, y, error); };
    expect_close(lp.objective_gradient(0, x, error), central_differences(x, f), "objective");
    for (int i = 0; i < static_cast<int>(problem_.nl.rows.size()); ++i) {
      const auto c = [&](const std::vector<double>& y) { return lp.constraint(i, y, error); };
      expect_close(lp.constraint_gradient(i, x, error), central_differences(x, c), "row");
    }
    ASSERT_FALSE(error);
  }
}

// The known solution is feasible, has the known value and is a KKT point with zero row
// multipliers: the objective gradient vanishes along every variable off its bounds and points
// into the box at the bounds.
TEST_P(GeneratedFile, KnownSolutionIsAFeasibleStationaryPoint) {
  if (!problem_.has_solution) GTEST_SKIP() << "no known solution";
  spnlp_test::LoadedProblem lp(stub_);
  ASSERT_TRUE(lp.loaded());
  const std::vector<double>& x = problem_.solution;
  bool error = false;
  EXPECT_NEAR(lp.objective(0, x, error), problem_.optimum,
              kSolutionTolerance * (1.0 + problem_.optimum));
  for (int i = 0; i < static_cast<int>(problem_.nl.rows.size()); ++i) {
    const double body = lp.constraint(i, x, error);
    EXPECT_GE(body, lp.row_lower()[i] - kSolutionTolerance) << i;
    EXPECT_LE(body, lp.row_upper()[i] + kSolutionTolerance) << i;
  }
  const std::vector<double> g = lp.objective_gradient(0, x, error);
  const std::vector<double> lo = lp.var_lower(), up = lp.var_upper();
  for (std::size_t j = 0; j < x.size(); ++j) {
    ASSERT_GE(x[j], lo[j]);
    ASSERT_LE(x[j], up[j]);
    if (x[j] == lo[j]) {
      EXPECT_GE(g[j], 0.0) << j;
    } else if (x[j] == up[j]) {
      EXPECT_LE(g[j], 0.0) << j;
    } else {
      EXPECT_NEAR(g[j], 0.0, kSolutionTolerance) << j;
    }
  }
  EXPECT_FALSE(error);
}

INSTANTIATE_TEST_SUITE_P(Families,
                         GeneratedFile,
                         ::testing::Values(Case{Family::kChainedBounds, nlgen::kSmallestSize},
                                           Case{Family::kChainedBounds, 150},
                                           Case{Family::kSparseQp, nlgen::kSmallestSize},
                                           Case{Family::kSparseQp, 150},
                                           Case{Family::kSquareSystem, nlgen::kSmallestSize},
                                           Case{Family::kSquareSystem, 150}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return nlgen::family_name(info.param.family) +
                                  std::to_string(info.param.n);
                         });

}  // namespace
