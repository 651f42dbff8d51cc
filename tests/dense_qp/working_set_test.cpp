// Working set on the TQ factorisation: invariants over random sequences of additions and
// deletions, dependent rows, and the products and solves with the factors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/ls_qp.h"
#include "library/dense_qp/working_set.h"
#include "tests/dense_qp/qp_test_util.h"
#include "tests/support/capture.h"

namespace zun {
namespace {

using dense_test::Dense;
using dense_test::multiply;
using dense_test::transpose;
using qp_test::SharedWords;
using qp_test::WorkingSetState;

// A working set under random changes, with what must not change.
class Sequence {
 public:
  Sequence(int n, int nclin, int nrank, bool start_explicit, std::mt19937& rng)
      : st_(n, nclin), nrank_(nrank), rng_(rng) {
    a_ = dense_test::random_matrix(nclin, n, rng);
    r_ = Dense(n, n);
    Dense full = dense_test::random_upper(n, rng);
    for (int j = 1; j <= n; ++j) {
      for (int i = 1; i <= std::min(j, nrank); ++i) r_(i, j) = full(i, j);
    }
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int i = 0; i < n; ++i) {
      st_.gq()[i] = u(rng);
      st_.cq()[i] = u(rng);
      st_.res()[i] = i < nrank ? u(rng) : 0.0;
      st_.res0()[i] = i < nrank ? u(rng) : 0.0;
    }
    if (start_explicit) {
      // A random orthogonal Q from the QR of a random matrix, applied to g and R as a change
      // of basis: the natural quantities are those of the explicit basis.
      st_.unitq = kFalse;
      Dense m = dense_test::random_matrix(n, n, rng);
      Dense qm = gram_schmidt(m);
      for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) st_.q()[(i - 1) + (j - 1) * st_.lay.ldq] = qm(i, j);
      }
    }
    xfix_.resize(n);
    for (double& v : xfix_) v = u(rng);
    hessian0_ = hessian();
    gradient0_ = natural(st_.gq());
    linear0_ = natural(st_.cq());
    residual0_ = residual_norm(st_.res());
    initial0_ = residual_norm(st_.res0());
  }

  // One random change; returns false when none was possible.
  bool step() {
    std::uniform_int_distribution<int> pick(0, 4);
    switch (pick(rng_)) {
      case 0: return add_row();
      case 1: return add_bound();
      case 2: return delete_row();
      case 3: return delete_bound();
      default: return delete_artificial();
    }
  }

  // The largest deviation of the invariants, relative to their scale.
  double invariant_error() const {
    double worst = 0.0;
    const Dense qf = st_.q_free();
    const Dense qtq = multiply(transpose(qf), qf);
    worst = std::max(worst, dense_test::max_abs_diff(qtq, dense_test::identity(st_.nfree)));
    // A_w,F Q = (0 T), T reverse-triangular.
    for (int i = 1; i <= st_.nactiv; ++i) {
      const int k = st_.kactiv[i - 1];
      for (int j = 1; j <= st_.nfree; ++j) {
        double m = 0.0;
        for (int l = 1; l <= st_.nfree; ++l) m += a_(k, st_.kx[l - 1]) * qf(l, j);
        const double expected = (j >= st_.nfree + 1 - i) ? st_.t_at(i, j) : 0.0;
        worst = std::max(worst, std::fabs(m - expected));
      }
    }
    const double hscale = 1.0 + dense_test::frobenius(hessian0_);
    worst = std::max(worst, dense_test::max_abs_diff(hessian(), hessian0_) / hscale);
    worst = std::max(worst, max_diff(natural(st_.gq()), gradient0_));
    worst = std::max(worst, max_diff(natural(st_.cq()), linear0_));
    worst = std::max(worst, std::fabs(residual_norm(st_.res()) - residual0_) / hscale);
    worst = std::max(worst, std::fabs(residual_norm(st_.res0()) - initial0_) / hscale);
    for (int j = 1; j <= st_.n; ++j) {
      for (int i = j + 1; i <= nrank_; ++i) worst = std::max(worst, std::fabs(r_(i, j)));
    }
    return worst;
  }

  // Refactorises R's free block with column interchanges (no general row in the working set)
  // and returns the change of the natural Hessian's free block and of the natural gradient's
  // free part, relative to their scale.
  double refactor_free_block() {
    const Dense h0 = hessian();
    const std::vector<double> g0 = natural(st_.gq());
    std::vector<int> iwork(st_.n);
    std::vector<double> work(3 * st_.n);
    int nrank = nrank_;
    refactor_r_with_interchanges(st_.unitq, st_.n, st_.nfree, st_.lay.ldq, st_.n, nrank,
                                 st_.kx.data(), st_.gq(), r_.data(), st_.q(), iwork.data(),
                                 work.data(), words_.rw.data());
    const Dense h1 = hessian();
    const std::vector<double> g1 = natural(st_.gq());
    double worst = 0.0;
    for (int i = 1; i <= st_.nfree; ++i) {
      const int vi = st_.kx[i - 1];
      worst = std::max(worst, std::fabs(g1[vi - 1] - g0[vi - 1]));
      for (int j = 1; j <= st_.nfree; ++j) {
        const int vj = st_.kx[j - 1];
        worst = std::max(worst, std::fabs(h1(vi, vj) - h0(vi, vj)) / (1.0 + dense_test::frobenius(h0)));
      }
    }
    return worst;
  }

  WorkingSetState& state() { return st_; }
  Dense& a() { return a_; }
  Dense& r() { return r_; }
  int nrank() const { return nrank_; }

  int add(int jadd, int ifix, double condmx) {
    int inform = -1;
    const int iadd = jadd > st_.n ? jadd - st_.n : 0;
    const int lda = std::max(st_.nclin, 1);
    add_to_working_set(st_.unitq, inform, ifix, iadd, jadd, st_.nactiv, st_.nz, st_.nfree, nrank_,
                       2, 2, st_.n, lda, st_.lay.ldq, st_.n, st_.lay.ldt, st_.kx.data(), condmx,
                       a_.data(), r_.data(), st_.t(), st_.res(), st_.gq(), st_.q(), st_.scratch(),
                       words_.integer(qp_words::kMinorPrintLevel), words_.iw.data(),
                       words_.rw.data());
    return inform;
  }

  void remove(int jdel, int kdel) {
    const int lda = std::max(st_.nclin, 1);
    delete_from_working_set(st_.unitq, st_.n, st_.nactiv, st_.nfree, 2, 2, st_.nz, st_.nzr, lda,
                            st_.lay.ldq, st_.n, st_.lay.ldt, nrank_, jdel, kdel,
                            st_.kactiv.data(), st_.kx.data(), a_.data(), st_.res(), r_.data(),
                            st_.t(), st_.gq(), st_.q(), words_.rw.data());
  }

  bool add_row() {
    std::vector<int> candidates;
    for (int k = 1; k <= st_.nclin; ++k) {
      if (st_.istate[st_.n + k - 1] == 0) candidates.push_back(k);
    }
    if (candidates.empty() || st_.nz < 1) return false;
    const int k = candidates[std::uniform_int_distribution<int>(0, candidates.size() - 1)(rng_)];
    if (add(st_.n + k, 0, kInitialDependencyLimit) != 0) return false;
    st_.istate[st_.n + k - 1] = 1;
    st_.kactiv[st_.nactiv] = k;
    ++st_.nactiv;
    --st_.nz;
    st_.nzr = std::min(st_.nzr, st_.nz);
    return true;
  }

  bool add_bound() {
    if (st_.nz < 1 || st_.nfree < 1) return false;
    const int ifix = std::uniform_int_distribution<int>(1, st_.nfree)(rng_);
    const int j = st_.kx[ifix - 1];
    add(j, ifix, kInitialDependencyLimit);
    st_.istate[j - 1] = 1;
    --st_.nfree;
    --st_.nz;
    st_.nzr = std::min(st_.nzr, st_.nz);
    return true;
  }

  bool delete_row() {
    if (st_.nactiv < 1) return false;
    const int kdel = std::uniform_int_distribution<int>(1, st_.nactiv)(rng_);
    const int jdel = st_.n + st_.kactiv[kdel - 1];
    st_.istate[jdel - 1] = 0;
    remove(jdel, kdel);
    return true;
  }

  bool delete_bound() {
    if (st_.nfree >= st_.n) return false;
    const int place = std::uniform_int_distribution<int>(st_.nfree + 1, st_.n)(rng_);
    const int jdel = st_.kx[place - 1];
    st_.istate[jdel - 1] = 0;
    remove(jdel, 0);
    return true;
  }

  bool delete_artificial() {
    if (st_.nzr >= st_.nz) return false;
    const int i = std::uniform_int_distribution<int>(st_.nzr + 1, st_.nz)(rng_);
    remove(-i, 0);
    return true;
  }

 private:
  WorkingSetState st_;
  int nrank_;
  std::mt19937& rng_;
  SharedWords words_;
  Dense a_, r_, hessian0_;
  std::vector<double> xfix_, gradient0_, linear0_;
  double residual0_ = 0.0;
  double initial0_ = 0.0;

  static Dense gram_schmidt(Dense m) {
    for (int j = 1; j <= m.cols; ++j) {
      for (int k = 1; k < j; ++k) {
        double d = 0.0;
        for (int i = 1; i <= m.rows; ++i) d += m(i, k) * m(i, j);
        for (int i = 1; i <= m.rows; ++i) m(i, j) -= d * m(i, k);
      }
      double s = 0.0;
      for (int i = 1; i <= m.rows; ++i) s += m(i, j) * m(i, j);
      for (int i = 1; i <= m.rows; ++i) m(i, j) /= std::sqrt(s);
    }
    return m;
  }
  static double max_diff(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
  }
  Dense hessian() const {
    const Dense qf = st_.basis();
    const Dense rq = multiply(r_, transpose(qf));
    return multiply(transpose(rq), rq);
  }
  std::vector<double> natural(const double* v) const {
    const Dense qf = st_.basis();
    std::vector<double> g(st_.n, 0.0);
    for (int i = 1; i <= st_.n; ++i) {
      for (int j = 1; j <= st_.n; ++j) g[i - 1] += qf(i, j) * v[j - 1];
    }
    return g;
  }
  // ||res - R Qf' x|| at the fixed point: unchanged by every change of basis.
  double residual_norm(const double* res) const {
    const Dense qf = st_.basis();
    double s = 0.0;
    for (int i = 1; i <= nrank_; ++i) {
      double v = res[i - 1];
      for (int j = 1; j <= st_.n; ++j) {
        double xq = 0.0;
        for (int l = 1; l <= st_.n; ++l) xq += qf(l, j) * xfix_[l - 1];
        v -= r_(i, j) * xq;
      }
      s += v * v;
    }
    return std::sqrt(s);
  }
};

struct SequenceCase {
  int n;
  int nclin;
  int nrank;
  bool start_explicit;
};

class WorkingSetSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(WorkingSetSequence, InvariantsHoldOverRandomAddsAndDeletes) {
  const SequenceCase c = GetParam();
  std::mt19937 rng(1000 + c.n * 37 + c.nclin * 11 + c.nrank + (c.start_explicit ? 5 : 0));
  int operations = 0;
  double worst = 0.0;
  for (int run = 0; run < 18; ++run) {
    Sequence seq(c.n, c.nclin, c.nrank, c.start_explicit, rng);
    for (int k = 0; k < 100; ++k) {
      if (!seq.step()) continue;
      ++operations;
      worst = std::max(worst, seq.invariant_error());
    }
  }
  EXPECT_GT(operations, 400);
  EXPECT_LT(worst, 1e-10) << "worst invariant residual over " << operations << " operations";
  RecordProperty("operations", operations);
  RecordProperty("worst_residual", ::testing::PrintToString(worst));
}

INSTANTIATE_TEST_SUITE_P(Shapes,
                         WorkingSetSequence,
                         ::testing::Values(SequenceCase{4, 3, 4, false},
                                           SequenceCase{6, 4, 6, false},
                                           SequenceCase{7, 9, 7, false},
                                           SequenceCase{5, 2, 3, false},
                                           SequenceCase{6, 5, 0, false},
                                           SequenceCase{5, 3, 5, true},
                                           SequenceCase{8, 6, 8, true},
                                           SequenceCase{1, 2, 1, false},
                                           SequenceCase{9, 12, 9, false},
                                           SequenceCase{6, 6, 2, true}));

TEST(WorkingSet, RefactorisationKeepsTheFreeHessianAndGradient) {
  std::mt19937 rng(21);
  double worst = 0.0;
  for (int run = 0; run < 40; ++run) {
    const int n = 2 + run % 7;
    Sequence seq(n, 1, n, run % 2 == 1, rng);
    for (int k = 0; k < 10; ++k) {
      if (k % 3 == 2) {
        seq.delete_bound();
      } else {
        seq.add_bound();
      }
    }
    worst = std::max(worst, seq.refactor_free_block());
    const Dense qf = seq.state().q_free();
    EXPECT_LT(dense_test::max_abs_diff(multiply(transpose(qf), qf),
                                       dense_test::identity(seq.state().nfree)),
              1e-13);
  }
  EXPECT_LT(worst, 1e-12);
}

TEST(WorkingSet, AddThenDeleteRestoresNullDimAndTheProduct) {
  std::mt19937 rng(7);
  Sequence seq(6, 4, 6, false, rng);
  ASSERT_TRUE(seq.add_row());
  ASSERT_TRUE(seq.add_bound());
  WorkingSetState& st = seq.state();
  const int nz_before = st.nz;
  int k = 0;
  for (int i = 1; i <= 4; ++i) {
    if (st.istate[6 + i - 1] == 0) k = i;
  }
  ASSERT_EQ(seq.add(6 + k, 0, kInitialDependencyLimit), 0);
  st.kactiv[st.nactiv] = k;
  ++st.nactiv;
  --st.nz;
  seq.remove(6 + k, st.nactiv);
  EXPECT_EQ(st.nz, nz_before);
  EXPECT_LT(seq.invariant_error(), 1e-12);
}

TEST(WorkingSet, DependentRowIsRejectedAndNothingChanges) {
  std::mt19937 rng(11);
  Sequence seq(5, 3, 5, false, rng);
  WorkingSetState& st = seq.state();
  // Row 3 is twice row 1, row 2 is row 1 plus a tiny multiple of a bound's column.
  for (int j = 1; j <= 5; ++j) seq.a()(3, j) = 2.0 * seq.a()(1, j);
  ASSERT_EQ(seq.add(5 + 1, 0, kInitialDependencyLimit), 0);
  st.istate[5] = 1;
  st.kactiv[0] = 1;
  st.nactiv = 1;
  st.nz = 4;
  // The factors and companions (everything before the scratch part of the work area).
  auto kept = [&st] {
    return std::vector<double>(st.w.begin(), st.w.begin() + (st.lay.wtinf - 1));
  };
  const std::vector<double> before = kept();
  const std::vector<double> r_before = seq.r().v;
  const std::vector<int> kx_before = st.kx;
  EXPECT_EQ(seq.add(5 + 3, 0, kInitialDependencyLimit), 1);
  EXPECT_EQ(kept(), before);
  EXPECT_EQ(seq.r().v, r_before);
  EXPECT_EQ(st.kx, kx_before);
  // With every free direction used up, a row has no part in the null space: inform 1.
  ASSERT_EQ(seq.add(5 + 2, 0, kInitialDependencyLimit), 0);
  st.istate[6] = 1;
  st.kactiv[1] = 2;
  st.nactiv = 2;
  st.nz = 3;
  while (st.nz > 0) ASSERT_TRUE(seq.add_bound());
  EXPECT_EQ(seq.add(5 + 3, 0, kInitialDependencyLimit), 1);
  EXPECT_LT(seq.invariant_error(), 1e-12);
}

// add_initial_working_set over every candidate of st.kactiv (all rows), R of full rank.
int initial_working_set(WorkingSetState& st,
                        Dense& a,
                        Dense& r,
                        SharedWords& words,
                        int ioption,
                        int& nartif,
                        int& nrejtd) {
  int inform = -1;
  const int n = st.n;
  add_initial_working_set(st.unitq, ioption, inform, 1, st.nclin, st.nactiv, nartif, st.nz,
                          st.nfree, n, nrejtd, 2, 1, n, st.nclin, st.lay.ldq, n, st.lay.ldt,
                          st.istate.data(), st.kactiv.data(), st.kx.data(),
                          kInitialDependencyLimit, a.data(), r.data(), st.t(), st.res(), st.gq(),
                          st.q(), st.scratch(), 0, words.iw.data(), words.rw.data());
  return inform;
}

TEST(WorkingSet, InitialWorkingSetRejectsDuplicatesAndCompactsTheList) {
  std::mt19937 rng(5);
  const int n = 5;
  const int nclin = 4;
  WorkingSetState st(n, nclin);
  Dense a = dense_test::random_matrix(nclin, n, rng);
  for (int j = 1; j <= n; ++j) a(2, j) = a(1, j);  // a duplicate
  Dense r = dense_test::random_upper(n, rng);
  SharedWords words;
  st.kactiv = {1, 2, 3, 4};
  for (int k = 1; k <= nclin; ++k) st.istate[n + k - 1] = 1;
  int nartif = 0;
  int nrejtd = 0;
  EXPECT_EQ(initial_working_set(st, a, r, words, 0, nartif, nrejtd), 0);
  EXPECT_EQ(st.nactiv, 3);
  EXPECT_EQ(nrejtd, 1);
  EXPECT_EQ(st.nz, 2);
  EXPECT_EQ(st.istate[n + 1], 0);
  EXPECT_EQ((std::vector<int>{1, 3, 4, -2}), st.kactiv);
  EXPECT_FALSE(is_true(st.unitq));
}

TEST(WorkingSet, InitialWorkingSetFixesTheRemainingVariablesOnRequest) {
  std::mt19937 rng(8);
  const int n = 5;
  const int nclin = 3;
  WorkingSetState st(n, nclin);
  Dense a = dense_test::random_matrix(nclin, n, rng);
  for (int j = 1; j <= n; ++j) a(3, j) = -a(1, j);  // dependent on row 1
  Dense r = dense_test::random_upper(n, rng);
  SharedWords words;
  st.kactiv = {1, 2, 3};
  for (int k = 1; k <= nclin; ++k) st.istate[n + k - 1] = 1;
  int nartif = 0;
  int nrejtd = 0;
  EXPECT_EQ(initial_working_set(st, a, r, words, 1, nartif, nrejtd), 0);
  EXPECT_EQ(st.nactiv, 2);
  EXPECT_EQ(nartif, 3);
  EXPECT_EQ(st.nz, 0);
  EXPECT_EQ(st.nfree, 2);
  int fixed = 0;
  for (int j = 1; j <= n; ++j) fixed += st.istate[j - 1] == 4 ? 1 : 0;
  EXPECT_EQ(fixed, 3);
  // The working rows on the remaining free variables still satisfy A_F Q = T.
  const Dense qf = st.q_free();
  for (int i = 1; i <= st.nactiv; ++i) {
    for (int j = 1; j <= st.nfree; ++j) {
      double m = 0.0;
      for (int l = 1; l <= st.nfree; ++l) m += a(st.kactiv[i - 1], st.kx[l - 1]) * qf(l, j);
      const double expected = (j >= st.nfree + 1 - i) ? st.t_at(i, j) : 0.0;
      EXPECT_NEAR(m, expected, 1e-13);
    }
  }
}

TEST(WorkingSet, ProductsWithTheBasisAreInverseAndSolvesWithTMatchT) {
  std::mt19937 rng(3);
  Sequence seq(6, 4, 6, false, rng);
  for (int i = 0; i < 3; ++i) seq.add_row();
  seq.add_bound();
  WorkingSetState& st = seq.state();
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(6), work(6);
  for (double& e : v) e = u(rng);
  // Q'v (mode 6) then Q w (mode 3) gives v back.
  std::vector<double> w = v;
  apply_tq_factor(6, 6, st.nz, st.nfree, st.lay.ldq, st.unitq, st.kx.data(), w.data(), st.q(),
                  work.data());
  apply_tq_factor(3, 6, st.nz, st.nfree, st.lay.ldq, st.unitq, st.kx.data(), w.data(), st.q(),
                  work.data());
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(w[i], v[i], 1e-13);
  // T y = b and T'y = b against the explicit block.
  const int m = st.nactiv;
  std::vector<double> b(m), y(m);
  for (double& e : b) e = u(rng);
  for (int mode = 1; mode <= 2; ++mode) {
    y = b;
    solve_with_t(mode, st.lay.ldt, m, st.t() + st.nz * st.lay.ldt, y.data());
    for (int i = 1; i <= m; ++i) {
      double s = 0.0;
      for (int j = 1; j <= m; ++j) {
        s += (mode == 1 ? st.t_at(i, st.nz + j) : st.t_at(j, st.nz + i)) * y[j - 1];
      }
      EXPECT_NEAR(s, b[i - 1], 1e-12) << "mode " << mode;
    }
  }
}

}  // namespace
}  // namespace zun

namespace zun {
namespace {

TEST(WorkingSet, IllConditionedRowIsKeptWithAWarning) {
  testing::UnitCapture print(74);
  std::mt19937 rng(13);
  const int n = 3;
  WorkingSetState st(n, 1);
  Dense a(1, n);
  a(1, 1) = 1.0;
  Dense r = dense_test::random_upper(n, rng);
  SharedWords words;
  words.integer(qp_words::kPrintFile) = 74;
  // The reference row norm makes the first row's estimate 1e15, beyond 1 / eps^0.9.
  words.real(qp_words::kReferenceRowNorm) = 1e15;
  int inform = -1;
  for (int msglvl : {0, 1}) {
    WorkingSetState fresh(n, 1);
    add_to_working_set(fresh.unitq, inform, 0, 1, n + 1, 0, n, n, n, 2, 1, n, 1, fresh.lay.ldq, n,
                       fresh.lay.ldt, fresh.kx.data(), 1.0 / std::numeric_limits<double>::min(),
                       a.data(), r.data(), fresh.t(), fresh.res(), fresh.gq(), fresh.q(),
                       fresh.scratch(), msglvl, words.iw.data(), words.rw.data());
    EXPECT_EQ(inform, 0);
    EXPECT_NEAR(std::fabs(fresh.t_at(1, n)), 1.0, 1e-15);
  }
  const std::vector<std::string> expected = {
      "", " XXX  Serious ill-conditioning in the working set after adding constraint     4", ""};
  EXPECT_EQ(print.lines(), expected);
  // The same row against the initial working set's limit is rejected as dependent.
  add_to_working_set(st.unitq, inform, 0, 1, n + 1, 0, n, n, n, 2, 1, n, 1, st.lay.ldq, n,
                     st.lay.ldt, st.kx.data(), kInitialDependencyLimit, a.data(), r.data(), st.t(),
                     st.res(), st.gq(), st.q(), st.scratch(), 1, words.iw.data(), words.rw.data());
  EXPECT_EQ(inform, 1);
  EXPECT_TRUE(is_true(st.unitq));
}

}  // namespace
}  // namespace zun
