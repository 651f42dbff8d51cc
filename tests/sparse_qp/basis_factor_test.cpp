// The basis factorisation driver and the basis solves: repairs of singular bases, the storage
// and data failures of the LU, and solves with updated factors against fresh ones.
#include <gtest/gtest.h>

#include "library/sparse_qp/minor_loop.h"
#include "tests/sparse_qp/lp_fixture.h"

namespace zun {
namespace {

using namespace qp_test;
namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;
namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace mi = minor_word::integer_word;

// The arrays of a factorisation of the given states, and the driver's outcome.
struct Factored {
  std::vector<double> x;
  std::vector<int> state;
  int result = -1;
  bool moved = false;
  int ns = 0;
};

BasisArrays arrays(const Lp& lp, Workspace& w, Factored& f) {
  return {f.state.data(),     w.ints(ia::kBsIndex), w.reals(ra::kXBS), w.reals(ra::kBlBS),
          w.reals(ra::kBuBS), f.x.data(),           lp.bl.data(),      lp.bu.data()};
}

Factored factorize(const Lp& lp,
                   Workspace& w,
                   std::vector<int> state,
                   LuFactorRoutine lu = PRUNEN,
                   int print_level = 0,
                   double column_value = 0.0) {  // the columns' values; the slacks stay 0
  Factored f;
  f.state = std::move(state);
  f.x.assign(lp.n + lp.m, 0.0);
  std::fill(f.x.begin(), f.x.begin() + lp.n, column_value);
  bool factor = true;
  bool changed = false;
  int reason = 0;
  int bs_changes = 0;
  factorize_basis_driver(BasisType::kBasis, factor, changed, f.moved, f.result, 0, print_level,
                         reason, lp.m, lp.n, 0, f.ns, bs_changes, lp.matrix(), arrays(lp, w, f),
                         w.iz.data(), w.leniz, w.z.data(), w.lenz, lu);
  return f;
}

// max |B y - b| for the solve B y = b with the current factors, b random.
double basis_solve_residual(const Lp& lp, Workspace& w, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> b(lp.m);
  for (double& v : b) v = value(gen);
  std::vector<double> rhs = b;
  std::vector<double> y(lp.m);
  int inform = 0;
  solve_with_basis("B y = b", inform, lp.m, rhs.data(), y.data(), w.iz.data(), w.z.data());
  std::vector<double> by(lp.m, 0.0);
  std::vector<double> col(lp.m);
  const int* bs = w.ints(ia::kBsIndex);
  for (int k = 0; k < lp.m; ++k) {
    unpack_column(bs[k], lp.m, lp.n, lp.matrix(), col.data());
    for (int i = 0; i < lp.m; ++i) by[i] += col[i] * y[k];
  }
  double r = 0.0;
  for (int i = 0; i < lp.m; ++i) r = std::max(r, std::abs(by[i] - b[i]));
  return r;
}

// Five rows; column 2 repeats column 1, column 3 is zero, column 4 = column 1 + column 5.
Lp dependent_columns_lp() {
  Lp lp;
  lp.m = 5;
  lp.add_column({{1, 1.0}, {2, 2.0}, {4, -1.0}});
  lp.add_column({{1, 1.0}, {2, 2.0}, {4, -1.0}});
  lp.add_column({{3, 0.0}});
  lp.add_column({{1, 1.0}, {2, 2.0}, {3, 1.0}, {4, -1.0}, {5, 3.0}});
  lp.add_column({{3, 1.0}, {5, 3.0}});
  lp.add_column({{2, 1.0}, {5, 1.0}});
  lp.bl.assign(lp.n + lp.m, -10.0);
  lp.bu.assign(lp.n + lp.m, 10.0);
  return lp;
}

std::vector<int> first_columns_basic(const Lp& lp, int count) {
  std::vector<int> state(lp.n + lp.m, VariableState::kAtLower);
  for (int j = 0; j < count; ++j) state[j] = VariableState::kBasic;
  return state;
}

TEST(BasisRepair, DuplicateZeroAndDependentColumnsAreReplacedBySlacks) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp);
  const Factored f = factorize(lp, w, first_columns_basic(lp, 5));
  ASSERT_EQ(f.result, 0);
  EXPECT_TRUE(f.moved);
  EXPECT_EQ(count_state(f.state, VariableState::kBasic), lp.m);
  EXPECT_NE(f.state[2], VariableState::kBasic) << "the zero column stays basic";
  EXPECT_FALSE(f.state[0] == VariableState::kBasic && f.state[1] == VariableState::kBasic);
  int slacks = 0;
  for (int i = 0; i < lp.m; ++i) slacks += f.state[lp.n + i] == VariableState::kBasic;
  EXPECT_GE(slacks, 3);
  EXPECT_LE(basis_solve_residual(lp, w, 1), 1e-12);
}

TEST(BasisRepair, FewerBasicsThanRowsAreFilledWithSlacks) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp);
  const Factored f = factorize(lp, w, first_columns_basic(lp, 1));
  ASSERT_EQ(f.result, 0);
  EXPECT_EQ(count_state(f.state, VariableState::kBasic), lp.m);
  EXPECT_LE(basis_solve_residual(lp, w, 2), 1e-12);
}

TEST(BasisRepair, MoreBasicsThanRowsIsResult32) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp);
  std::vector<int> state = first_columns_basic(lp, 6);
  state[lp.n] = VariableState::kBasic;
  EXPECT_EQ(factorize(lp, w, state).result, MinorResult::kTooManyBasics);
}

// LU doubles: the real factorisation, then reported singular or with U grown 1e10 times the
// largest entry of B.
// Or with every stored entry of the factors scaled by 1.5, so that solves are wrong.
enum class Alteration { kSingular, kGrown, kScaled };
Alteration alteration = Alteration::kSingular;
int lu_calls = 0;

void lu_altered(const int& m,
                        const int& n,
                        int& nelem,
                        const int& lena,
                        int* luparm,
                        double* parmlu,
                        double* a,
                        int* indc,
                        int* indr,
                        int* ip,
                        int* iq,
                        int* lenc,
                        int* lenr,
                        int* locc,
                        int* locr,
                        int* iploc,
                        int* iqloc,
                        int* ipinv,
                        int* iqinv,
                        double* w,
                        int& inform) {
  PRUNEN(m, n, nelem, lena, luparm, parmlu, a, indc, indr, ip, iq, lenc, lenr, locc, locr, iploc,
         iqloc, ipinv, iqinv, w, inform);
  ++lu_calls;
  if (alteration == Alteration::kSingular) {
    inform = lu_inform::kSingular;
  } else if (alteration == Alteration::kGrown) {
    parmlu[lu_real_words::kUmax - 1] = 1e10 * parmlu[lu_real_words::kAmax - 1];
  } else {
    for (int k = 0; k < lena; ++k) a[k] *= 1.5;
  }
}

void lu_inconsistent(const int&,
                     const int&,
                     int&,
                     const int&,
                     int*,
                     double*,
                     double*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     int*,
                     double*,
                     int& inform) {
  inform = lu_inform::kInternalError;
}

TEST(BasisRepair, ABasisThatStaysSingularEndsWith22) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp);
  const int before = w.i(mi::kFactorizations);
  alteration = Alteration::kSingular;
  EXPECT_EQ(factorize(lp, w, first_columns_basic(lp, 0), lu_altered).result,
            MinorResult::kSingular);
  EXPECT_EQ(w.i(mi::kFactorizations), before + 1) << "one request, many attempts";
}

TEST(BasisRepair, AnInternalInconsistencyOfTheLuIsADataError) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp);
  EXPECT_EQ(factorize(lp, w, first_columns_basic(lp, 3), lu_inconsistent).result,
            MinorResult::kLuDataError);
}

TEST(BasisRepair, TooLittleLuStorageIs20WithTheStorageNeeded) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp, {}, 4);
  ASSERT_EQ(w.code, 0);
  const Factored f = factorize(lp, w, first_columns_basic(lp, 5));
  EXPECT_EQ(f.result, MinorResult::kLuStorage);
  const int entries = 3 + 3 + 1 + 5 + 2;
  EXPECT_EQ(w.i(kLuWorkspaceOffset + lu_integer_words::kMinLength), 5 * entries / 4);
  EXPECT_GT(w.i(kLuWorkspaceOffset + lu_integer_words::kMinLength),
            w.i(sparse_ws::integer_word::kLuFileLength));
}

// Occurrences of text among the lines.
int count_lines(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(text) != std::string::npos;
  }));
}

constexpr int kPrintUnit = 84;
constexpr int kMonitorUnit = 85;

TEST(BasisRepair, EightZeroColumnsListFiveReplacementsAndTheTotal) {
  sqp_test::UnitCapture monitor(kMonitorUnit);
  Lp lp;
  lp.m = 8;
  for (int j = 0; j < 8; ++j) lp.add_column({{j + 1, 0.0}});
  lp.bl.assign(16, -1.0);
  lp.bu.assign(16, 1.0);
  Workspace w(lp, {}, -1, -1, kMonitorUnit);
  ASSERT_EQ(factorize(lp, w, first_columns_basic(lp, 8), PRUNEN, 20).result, 0);
  const std::vector<std::string> lines = monitor.lines();
  EXPECT_EQ(count_lines(lines, "  replaced by slack"), 5);
  EXPECT_EQ(count_lines(lines, " and so on.  Total slacks inserted =     8"), 1);
}

// Basic values that the factors cannot reset: each failed row check is reported and B is
// factorised again, three times in all, and then the factors stand.
TEST(BasisRepair, RowChecksThatKeepFailingEndAfterThreeFactorisations) {
  struct Case {
    Alteration alteration;
    int print_level;
    int factorisations;
    int reports;
  };
  for (const Case& c : {Case{Alteration::kScaled, 10, 3, 3}, Case{Alteration::kScaled, 0, 3, 0},
                        Case{Alteration::kGrown, 10, 1, 0}}) {
    sqp_test::UnitCapture print(kPrintUnit);
    const Lp lp = dependent_columns_lp();
    Workspace w(lp, {}, -1, kPrintUnit);
    w.r(minor_word::real_word::kLuFactorTol) = 1.5;  // growth leaves the tolerances alone
    alteration = c.alteration;
    lu_calls = 0;
    std::vector<int> slacks_basic(lp.n + lp.m, VariableState::kAtLower);
    std::fill(slacks_basic.begin() + lp.n, slacks_basic.end(), VariableState::kBasic);
    EXPECT_EQ(factorize(lp, w, slacks_basic, lu_altered, c.print_level, 1.0).result, 0);
    EXPECT_EQ(lu_calls, c.factorisations);
    const std::vector<std::string> lines = print.lines();
    EXPECT_EQ(count_lines(lines, " -- Row check."), c.reports);
    EXPECT_EQ(count_lines(lines, "               Max residual ="), c.reports);
  }
}

struct ToleranceCase {
  const char* name;
  double factor_tol;
  double update_tol;
  int print_level;
  int factor_messages;  // on the print file
  int update_messages;
  double final_tol;  // both tolerances at the end
};

class ToleranceReduction : public testing::TestWithParam<ToleranceCase> {};

// Growing factors take the square root of a factor tolerance of 2 or more until it is below
// 2, and lower the update tolerance to it; the factor message needs a print level above 0,
// the update message 5 or at least 10.
TEST_P(ToleranceReduction, ReducesAndReports) {
  const ToleranceCase& c = GetParam();
  sqp_test::UnitCapture print(kPrintUnit);
  sqp_test::UnitCapture monitor(kMonitorUnit);
  const Lp lp = dependent_columns_lp();
  Workspace w(lp, {}, -1, kPrintUnit, kMonitorUnit);
  w.r(minor_word::real_word::kLuFactorTol) = c.factor_tol;
  w.r(minor_word::real_word::kLuUpdateTol) = c.update_tol;
  alteration = Alteration::kGrown;
  ASSERT_EQ(factorize(lp, w, first_columns_basic(lp, 0), lu_altered, c.print_level).result, 0);
  const std::vector<std::string> lines = print.lines();
  EXPECT_EQ(count_lines(lines, " -- LU Factor Tolerance reduced from "), c.factor_messages);
  EXPECT_EQ(count_lines(lines, " -- LU Update Tolerance reduced from "), c.update_messages);
  EXPECT_EQ(count_lines(monitor.lines(), " XXX LU Factor Tolerance reduced from "),
            c.factor_messages);
  EXPECT_NEAR(w.r(minor_word::real_word::kLuFactorTol), c.final_tol, 1e-12);
  EXPECT_NEAR(w.r(minor_word::real_word::kLuUpdateTol), c.final_tol, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    ToleranceReduction,
    testing::Values(
        ToleranceCase{"square_roots_until_below_two", 100.0, 10.0, 10, 3, 2, std::pow(100.0, 0.125)},
        ToleranceCase{"factor_message_only", 100.0, 10.0, 1, 3, 0, std::pow(100.0, 0.125)},
        ToleranceCase{"silent", 100.0, 10.0, 0, 0, 0, std::pow(100.0, 0.125)},
        ToleranceCase{"below_two_only_lowers_the_update", 1.9, 5.0, 10, 0, 1, 1.9}),
    [](const testing::TestParamInfo<ToleranceCase>& info) { return std::string(info.param.name); });

struct GrowthCase {
  const char* name;
  int changes;  // basis changes since the factorisation
  int length;   // lenL + lenU now
  int print_level;
  int reason;
  const char* message;  // on the monitoring file ("" none)
};

class RefactorAfterStep : public testing::TestWithParam<GrowthCase> {};

// Against LU factors of 100 entries when fresh: the update count, then growth beyond twice
// that after 20 changes, with its message.
TEST_P(RefactorAfterStep, NamesTheReason) {
  const GrowthCase& c = GetParam();
  sqp_test::UnitCapture monitor(kMonitorUnit);
  const Lp lp = dependent_columns_lp();
  Workspace w(lp, {}, -1, -1, kMonitorUnit);
  Factored f;
  f.x.assign(lp.n + lp.m, 0.0);
  f.state.assign(lp.n + lp.m, 0);
  w.i(iw::kCheckFrequency) = 0;
  w.i(mi::kBasisChangesSinceFactor) = c.changes;
  w.i(mi::kLuLenL) = c.length / 2;
  w.i(mi::kLuLenU) = c.length - c.length / 2;
  EXPECT_EQ(qp::refactor_reason_after_step(1, lp.m, lp.n, lp.m, 100.0, false, lp.matrix(),
                                           arrays(lp, w, f), w.iz.data(), w.z.data(),
                                           c.print_level),
            c.reason);
  const std::vector<std::string> lines = monitor.lines();
  if (*c.message == 0) {
    EXPECT_EQ(count_lines(lines, "LU file"), 0) << c.name;
  } else {
    EXPECT_EQ(count_lines(lines, c.message), 1) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    RefactorAfterStep,
    testing::Values(
        GrowthCase{"grown", 20, 300, 10, RefactorReason::kLuGrowth,
                   " XXX LU file has increased by a factor of   3.0"},
        GrowthCase{"grown_silently", 20, 300, 0, RefactorReason::kLuGrowth, ""},
        GrowthCase{"too_few_changes", 19, 300, 10, RefactorReason::kNone, ""},
        GrowthCase{"not_beyond_twice", 20, 200, 10, RefactorReason::kNone, ""},
        GrowthCase{"update_count", 99, 100, 10, RefactorReason::kUpdateCount, ""}),
    [](const testing::TestParamInfo<GrowthCase>& info) { return std::string(info.param.name); });

TEST(BasisSolves, UnpackColumnAndScaledNorm) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp);
  std::vector<double> y(lp.m, 7.0);
  unpack_column(lp.n + 4, lp.m, lp.n, lp.matrix(), y.data());
  EXPECT_EQ(y, (std::vector<double>{0.0, 0.0, 0.0, -1.0, 0.0}));
  const Factored f = factorize(lp, w, first_columns_basic(lp, 0));
  ASSERT_EQ(f.result, 0);
  std::vector<double> rhs(lp.m, 0.0);
  std::vector<double> pi(lp.m, 3.0);
  EXPECT_EQ(scaled_norm(lp.m, pi.data(), rhs.data(), w.iz.data(), w.z.data()), 1.0);
  // All slacks: B = -I, so B' pi = rhs gives pi = -rhs.
  rhs = {4.0, -4.0, 2.0, 0.0, 2.0};
  EXPECT_DOUBLE_EQ(scaled_norm(lp.m, pi.data(), rhs.data(), w.iz.data(), w.z.data()),
                   12.0 / std::sqrt(5.0));
  EXPECT_EQ(pi, (std::vector<double>{-4.0, 4.0, -2.0, -0.0, -2.0}));
}

TEST(BasisSolves, ResetWithSmallResidualsChangesNoBasicValue) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp);
  Factored f = factorize(lp, w, first_columns_basic(lp, 0));
  ASSERT_EQ(f.result, 0);
  std::vector<double> xbs(w.reals(ra::kXBS), w.reals(ra::kXBS) + lp.m);
  int flag = -1;
  double resid = 0.0;
  double xnorm = 0.0;
  f.x[lp.n] += 1e-17;
  recompute_basics("Reset xBS", flag, 0, lp.m, lp.n, lp.m, resid, xnorm, lp.matrix(), 0, nullptr,
                   f.x.data(), w.reals(ra::kXBS), w.ints(ia::kBsIndex), w.iz.data(), w.z.data(), 0);
  EXPECT_EQ(flag, 0);
  for (int k = 0; k < lp.m; ++k) EXPECT_EQ(w.reals(ra::kXBS)[k], f.x[w.ints(ia::kBsIndex)[k] - 1]);
  // A large residual fails the check and is repaired by a reset.
  f.x[lp.n] += 1.0;
  recompute_basics("Check residuals", flag, 0, lp.m, lp.n, lp.m, resid, xnorm, lp.matrix(), 0,
                   nullptr, f.x.data(), w.reals(ra::kXBS), w.ints(ia::kBsIndex), w.iz.data(),
                   w.z.data(), 0);
  EXPECT_EQ(flag, 10);
  recompute_basics("Reset xBS", flag, 0, lp.m, lp.n, lp.m, resid, xnorm, lp.matrix(), 0, nullptr,
                   f.x.data(), w.reals(ra::kXBS), w.ints(ia::kBsIndex), w.iz.data(), w.z.data(), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_LE(max_row_residual(lp, f.x), 1e-15);
}

// Many LU updates of a phase-1 solve, then solves with the updated factors against solves
// with a fresh factorisation of the same basis.
TEST(BasisSolves, UpdatedFactorsSolveLikeFreshOnes) {
  int total_updates = 0;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 gen(seed);
    Lp lp = random_matrix(gen, {80, 160, 0.06});
    std::vector<double> xs(lp.n, 0.5);
    random_column_bounds(gen, lp, xs);
    random_row_bounds(gen, lp, lp.product(xs));
    Workspace w(lp, {{{iw::kFactorizationFrequency, 1000}, {iw::kCheckFrequency, 1000}}, {}});
    LpRun run = start_run(lp, w, 0);
    solve(lp, w, run);
    ASSERT_EQ(run.result, 0);
    const int updates = w.i(mi::kBasisChangesSinceFactor);
    total_updates += updates;
    if (updates == 0) continue;
    std::vector<double> b(lp.m);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (double& v : b) v = value(gen);
    std::vector<double> rhs = b;
    std::vector<double> updated(lp.m);
    std::vector<double> fresh(lp.m);
    int inform = 0;
    solve_with_basis("B y = b", inform, lp.m, rhs.data(), updated.data(), w.iz.data(), w.z.data());
    EXPECT_LE(basis_solve_residual(lp, w, seed), 1e-10) << "seed " << seed;
    std::vector<double> by_variable(lp.n + lp.m + 1, 0.0);
    const int* bs = w.ints(ia::kBsIndex);
    for (int k = 0; k < lp.m; ++k) by_variable[bs[k]] = updated[k];
    Factored f;
    f.state = run.state;
    f.x = run.x;
    bool factor = true;
    bool changed = false;
    int reason = 0;
    int bs_changes = 0;
    factorize_basis_driver(BasisType::kBasis, factor, changed, f.moved, f.result, 0, 0, reason,
                           lp.m, lp.n, 0, f.ns, bs_changes, lp.matrix(), arrays(lp, w, f),
                           w.iz.data(), w.leniz, w.z.data(), w.lenz);
    ASSERT_EQ(f.result, 0);
    EXPECT_FALSE(f.moved);
    rhs = b;
    solve_with_basis("B y = b", inform, lp.m, rhs.data(), fresh.data(), w.iz.data(), w.z.data());
    // The fresh factorisation lists the same basic variables, possibly in another order.
    double worst = 0.0;
    double size = 0.0;
    for (int k = 0; k < lp.m; ++k) {
      worst = std::max(worst, std::abs(fresh[k] - by_variable[bs[k]]));
      size = std::max(size, std::abs(fresh[k]));
    }
    EXPECT_LE(worst, 1e-10 * (1.0 + size)) << "seed " << seed;
  }
  EXPECT_GE(total_updates, 50);
}

// A driver call with superbasics: BsIndex(m+1..m+ns) set, states 2.
struct SplitRun {
  Factored f;
  std::vector<std::string> monitor;
};

SplitRun factorize_with_superbasics(const Lp& lp,
                                    Workspace& w,
                                    std::string_view type,
                                    const std::vector<int>& superbasics,
                                    int print_level,
                                    int basic_column = 0) {
  SplitRun s;
  s.f.state.assign(lp.n + lp.m, VariableState::kAtLower);
  for (int i = 0; i < lp.m; ++i) s.f.state[lp.n + i] = VariableState::kBasic;
  if (basic_column > 0) {  // in place of the slack of the column's first row
    s.f.state[basic_column - 1] = VariableState::kBasic;
    s.f.state[lp.n + lp.rows[lp.starts[basic_column - 1] - 1] - 1] = VariableState::kAtLower;
  }
  s.f.x.assign(lp.n + lp.m, 0.0);
  int* bs = w.ints(ia::kBsIndex);
  for (std::size_t k = 0; k < superbasics.size(); ++k) {
    s.f.state[superbasics[k] - 1] = VariableState::kSuperbasic;
    bs[lp.m + k] = superbasics[k];
  }
  s.f.ns = static_cast<int>(superbasics.size());
  bool factor = true;
  bool changed = false;
  int reason = 0;
  int bs_changes = 0;
  factorize_basis_driver(type, factor, changed, s.f.moved, s.f.result, 0, print_level, reason, lp.m,
                         lp.n, 0, s.f.ns, bs_changes, lp.matrix(), arrays(lp, w, s.f), w.iz.data(),
                         w.leniz, w.z.data(), w.lenz);
  return s;
}

TEST(BasisSplit, ANewSplitKeepsMBasicsAndTheSuperbasicsListed) {
  for (unsigned seed = 1; seed <= 10; ++seed) {
    std::mt19937 gen(seed);
    Lp lp = random_matrix(gen, {12, 25, 0.3});
    lp.bl.assign(lp.n + lp.m, -5.0);
    lp.bu.assign(lp.n + lp.m, 5.0);
    Workspace w(lp, {{{iw::kSuperbasicsLimit, 5}}, {}});
    const std::vector<int> superbasics{3, 7, 11};
    SplitRun s = factorize_with_superbasics(lp, w, BasisType::kWithSuperbasics, superbasics, 0);
    const std::string where = "seed " + std::to_string(seed);
    ASSERT_EQ(s.f.result, 0) << where;
    EXPECT_EQ(count_state(s.f.state, VariableState::kBasic), lp.m) << where;
    EXPECT_EQ(count_state(s.f.state, VariableState::kSuperbasic), s.f.ns) << where;
    const int* bs = w.ints(ia::kBsIndex);
    for (int k = 0; k < lp.m; ++k) EXPECT_EQ(s.f.state[bs[k] - 1], VariableState::kBasic) << where;
    for (int k = lp.m; k < lp.m + s.f.ns; ++k) {
      EXPECT_EQ(s.f.state[bs[k] - 1], VariableState::kSuperbasic) << where;
    }
    EXPECT_LE(basis_solve_residual(lp, w, seed), 1e-10) << where;
  }
}

struct SplitRoadCase {
  const char* name;
  std::vector<int> superbasics;
  double tiny;   // > 0: a basic column with this single entry makes B near-singular
  int requests;  // normal ("BT") requests in a row
  int splits;    // (B S) factorisations expected among them
};

class SplitRoad : public testing::TestWithParam<SplitRoadCase> {};

// The first normal request takes the (B S) road; later ones repeat as "BS" only when B is
// near-singular, or after ten factorisations when there are superbasics to exchange.
TEST_P(SplitRoad, NormalRequestsRepeatAsBsOnlyWhenNeeded) {
  const SplitRoadCase& c = GetParam();
  constexpr int kMonitor = 85;
  sqp_test::UnitCapture monitor(kMonitor);
  std::mt19937 gen(3);
  Lp lp = random_matrix(gen, {8, 16, 0.3});
  int basic_column = 0;
  if (c.tiny > 0.0) {
    lp.add_column({{1, c.tiny}});
    basic_column = lp.n;
  }
  lp.bl.assign(lp.n + lp.m, -5.0);
  lp.bu.assign(lp.n + lp.m, 5.0);
  Workspace w(lp, {{{iw::kSuperbasicsLimit, 5}}, {}}, -1, -1, kMonitor);
  for (int k = 0; k < c.requests; ++k) {
    ASSERT_EQ(
        factorize_with_superbasics(lp, w, BasisType::kNormal, c.superbasics, 20, basic_column)
            .f.result,
        0);
  }
  int splits = 0;
  for (const std::string& line : monitor.lines()) splits += line.find("BSmax") != std::string::npos;
  EXPECT_EQ(splits, c.splits) << c.name;
  EXPECT_GT(w.r(minor_word::real_word::kReferenceUmin), 0.0);
  if (!c.superbasics.empty()) return;
  // With no superbasics a (B S) step has nothing to exchange: the basis stays as it was.
  const SplitRun s =
      factorize_with_superbasics(lp, w, BasisType::kWithSuperbasics, {}, 20, basic_column);
  ASSERT_EQ(s.f.result, 0);
  EXPECT_FALSE(s.f.moved) << c.name;
  if (basic_column > 0) {
    EXPECT_EQ(s.f.state[basic_column - 1], VariableState::kBasic);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SplitRoad,
    testing::Values(SplitRoadCase{"well_conditioned_without_superbasics", {}, 0.0, 12, 1},
                    SplitRoadCase{"well_conditioned_with_superbasics", {3, 7}, 0.0, 12, 2},
                    SplitRoadCase{"near_singular", {}, 1e-9, 2, 2}),
    [](const testing::TestParamInfo<SplitRoadCase>& info) { return std::string(info.param.name); });

TEST(BasisSplit, MoreSuperbasicsThanTheirLimitAreRefused) {
  const Lp lp = dependent_columns_lp();
  Workspace w(lp, {{{iw::kSuperbasicsLimit, 1}}, {}});
  ASSERT_EQ(w.i(iw::kSuperbasicsLimit), 1);
  EXPECT_EQ(factorize_with_superbasics(lp, w, BasisType::kWithSuperbasics, {1, 6}, 0).f.result,
            MinorResult::kLuDataError);
}

}  // namespace
}  // namespace zun
