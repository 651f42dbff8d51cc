// Helpers of the QP/LS solver tests: the shared option words the solver reads, a working set
// with its factors in a work area, and dense products to check them.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

#include "library/dense_qp/ls_qp.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/support/option_store.h"
#include "tests/dense_qp/dense_test_util.h"

namespace zun::qp_test {

using dense_test::Dense;

// The integer and real words of the dense store that the solver reads, with test values.
struct SharedWords {
  std::vector<int> iw = std::vector<int>(kDenseStoreSizes.integer, 0);
  std::vector<double> rw = std::vector<double>(kDenseStoreSizes.real, 0.0);

  SharedWords() {
    const double eps = std::ldexp(1.0, -53);
    rw[qp_words::kStationarityFactor - 1] = std::pow(eps, 0.8);
    rw[qp_words::kPivotFactor - 1] = std::pow(eps, 0.9);
    rw[qp_words::kReferenceRowNorm - 1] = 1.0;
    rw[qp_words::kLargestTDiagonal - 1] = 1.0;
    rw[qp_words::kSmallestTDiagonal - 1] = 1.0;
    rw[qp_words::kRootConditionLimit - 1] = 1e8;
    rw[qp_words::kInfiniteBound - 1] = 1e20;
    rw[qp_words::kInfiniteStep - 1] = 1e20;
    rw[qp_words::kInverseConditionLimit - 1] = 1e-12;
    iw[qp_words::kPrintFile - 1] = -1;
    iw[qp_words::kMonitoringFile - 1] = -1;
    iw[qp_words::kGeneralMinorLimit - 1] = 200;
    iw[qp_words::kMinorLimit - 1] = 200;
    iw[qp_words::kMinorPrintLevel - 1] = 0;
  }
  double& real(int word) { return rw[word - 1]; }
  int& integer(int word) { return iw[word - 1]; }
};

// A working set at its cold start (unit Q, all variables free, VarOrder the identity) with
// the solver's work area.
struct WorkingSetState {
  int n = 0;
  int nclin = 0;
  Logical unitq = kTrue;
  int nactiv = 0;
  int nfree = 0;
  int nz = 0;
  int nzr = 0;
  std::vector<int> istate;
  std::vector<int> kactiv;
  std::vector<int> kx;
  LsQpWorkLayout lay;
  std::vector<double> w;

  WorkingSetState(int n_, int nclin_)
      : n(n_),
        nclin(nclin_),
        nfree(n_),
        nz(n_),
        istate(n_ + nclin_, 0),
        kactiv(std::max(nclin_, 1), 0),
        kx(n_),
        lay(LsQpWorkLayout::plan(n_, nclin_)),
        w(static_cast<std::size_t>(lay.length), 0.0) {
    std::iota(kx.begin(), kx.end(), 1);
  }
  double* t() { return &w[lay.t - 1]; }
  double* q() { return &w[lay.q - 1]; }
  double* gq() { return &w[lay.gq - 1]; }
  const double* gq() const { return &w[lay.gq - 1]; }
  double* cq() { return &w[lay.gq - 1 + n]; }
  const double* cq() const { return &w[lay.gq - 1 + n]; }
  double* res() { return &w[lay.res - 1]; }
  const double* res() const { return &w[lay.res - 1]; }
  double* res0() { return &w[lay.res - 1 + n]; }
  const double* res0() const { return &w[lay.res - 1 + n]; }
  double* scratch() { return &w[lay.scratch - 1]; }

  // The orthogonal factor of the free variables (the identity when unitq).
  Dense q_free() const {
    Dense m(nfree, nfree);
    for (int j = 1; j <= nfree; ++j) {
      for (int i = 1; i <= nfree; ++i) {
        m(i, j) = is_true(unitq) ? (i == j ? 1.0 : 0.0)
                                 : w[lay.q - 1 + (i - 1) + static_cast<std::size_t>(j - 1) * lay.ldq];
      }
    }
    return m;
  }
  // The full basis Qf (n x n): column j is basis vector j in natural coordinates.
  Dense basis() const {
    const Dense qf = q_free();
    Dense b(n, n);
    for (int j = 1; j <= n; ++j) {
      for (int i = 1; i <= n; ++i) {
        double v = 0.0;
        if (j <= nfree && i <= nfree) v = qf(i, j);
        if (j > nfree && i == j) v = 1.0;
        b(kx[i - 1], j) = v;
      }
    }
    return b;
  }
  double t_at(int i, int j) const {
    return w[lay.t - 1 + (i - 1) + static_cast<std::size_t>(j - 1) * lay.ldt];
  }
};

// A random feasible-by-construction problem: constraints satisfied at a hidden point.
struct Problem {
  int n = 0;
  int nclin = 0;
  Dense a;  // nclin x n
  std::vector<double> bl, bu, featol;
};

inline double objective(const Dense& h, const std::vector<double>& c, const std::vector<double>& x) {
  const int n = static_cast<int>(x.size());
  double f = 0.0;
  for (int i = 1; i <= n; ++i) {
    f += c[i - 1] * x[i - 1];
    for (int j = 1; j <= n; ++j) f += 0.5 * x[i - 1] * h(i, j) * x[j - 1];
  }
  return f;
}

}  // namespace zun::qp_test
