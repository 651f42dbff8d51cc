// Test harness of the dense solver: a small analytic problem, a local option store set up as
// the program's store is, and the reverse-communication loop over the solver's body with a
// log of requests, knobs that withhold, corrupt or stop, NaN in every output that a return did
// not request, and snapshots of the whole state at any request.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "library/dense_sqp/dense_option_reader.h"
#include "library/dense_sqp/dense_problem.h"
#include "library/dense_sqp/dense_sqp.h"
#include "library/dense_sqp/dense_store_words.h"
#include "library/dense_sqp/dense_top_level.h"
#include "library/support/output.h"
#include "tests/support/capture.h"

namespace zun::dense_test {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct TestProblem {
  int n = 0;
  int nclin = 0;
  int ncnln = 0;
  std::vector<double> a;  // NCLIN x N by columns
  std::vector<double> bl, bu, x0;
  std::function<double(const std::vector<double>&)> f;
  std::function<std::vector<double>(const std::vector<double>&)> grad;
  std::function<std::vector<double>(const std::vector<double>&)> cons;  // NCNLN values
  // Row k of the Jacobian (0-based k), N values.
  std::function<std::vector<double>(const std::vector<double>&, int)> jac_row;
};

// A local dense option store with the logical words the store set-up gives DNNLPF.
struct LocalDenseStore {
  char text[5][kOptionTextLength] = {};
  Logical lw[120] = {};
  int iw[610] = {};
  double rw[475] = {};
  LocalDenseStore() {
    for (int k : {44, dense_words::logical_word::kStoreSetUp, dense_words::logical_word::kResetOptions}) {
      lw[k - 1] = kTrue;
    }
  }
  DenseStoreView view() { return DenseStoreView(&text[0][0], lw, iw, rw); }
  int& i(int k) { return iw[k - 1]; }
  double& r(int k) { return rw[k - 1]; }
  bool operator==(const LocalDenseStore& o) const;
};

struct Request {
  int code;
  std::vector<int> needrow;  // the flagged rows (1-based)
  std::vector<double> x;
};

class DenseHarness {
 public:
  // LINES are applied as DNKEYF applies them; with none, as the first DNNLPF call does.
  DenseHarness(TestProblem problem, const std::vector<std::string>& lines);

  // Knobs.
  std::set<int> withheld_gradient;                   // 1-based elements left unset
  std::set<std::pair<int, int>> withheld_jacobian;   // (row, column), 1-based
  std::vector<std::pair<int, double>> gradient_error;  // element j gets this added
  std::vector<std::pair<std::pair<int, int>, double>> jacobian_error;
  int stop_at = -1;          // the request (0-based count) answered with stop_value instead
  int stop_value = -1;
  double noise = 0.0;        // relative noise added to every function value
  std::size_t request_limit = 100000;

  // Runs calls until IREVCM returns 0; returns the final IFAIL.
  int run(int ifail_on_entry = -1);
  // Continues the loop from the state as it stands (after restore()).
  int resume();

  // The whole state between two calls: every argument, IWORK, WORK and the store.
  struct Snapshot;
  Snapshot snapshot() const;
  void restore(const Snapshot& s);
  // Stops the loop after the given request count, leaving the request pending.
  std::optional<std::size_t> pause_after;

  const std::vector<Request>& log() const { return log_; }
  LocalDenseStore store;

  // Arguments.
  TestProblem prob;
  int irevcm = 0, lda = 1, ldcj = 1, ldr = 1, niter = 0, ifail = -1;
  double objv = 0.0;
  std::vector<int> istate, needrow, iwork;
  std::vector<double> c, jacnl, mult, objg, r, x, work;
  int leniw = 0, lenw = 0;

  // Count of requests with the given code.
  int count(int code) const;
  // Whether the words beyond LENIW and LENW are untouched.
  bool canaries_intact() const;
  // One call of the solver's body with the arguments as they stand.
  void call();
  // Answers the pending request as the knobs say (and logs it).
  void answer();

 private:
  double noisy(double v);
  std::vector<Request> log_;
  unsigned long long seed_ = 12345;
};

struct DenseHarness::Snapshot {
  LocalDenseStore store;
  int irevcm, niter, ifail;
  double objv;
  std::vector<int> istate, needrow, iwork;
  std::vector<double> c, jacnl, mult, objg, r, x, work;
  std::size_t logged;
  unsigned long long seed;
};

// Points the advisory (print) unit and the error unit at captured files for one test.
template <int kPrint, int kError>
class CapturedUnits : public ::testing::Test {
 protected:
  void SetUp() override {
    int p = kPrint, e = kError;
    advisory_unit(1, p);
    error_unit(1, e);
  }
  void TearDown() override {
    int six = 6;
    advisory_unit(1, six);
    error_unit(1, six);
  }
  bool printed(const std::string& line) const {
    const std::vector<std::string> lines = print_.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  static std::vector<std::string> tail_of(const testing::UnitCapture& u, std::size_t count) {
    const std::vector<std::string> all = u.lines();
    return {all.end() - static_cast<std::ptrdiff_t>(std::min(count, all.size())), all.end()};
  }
  testing::UnitCapture print_{kPrint};
  testing::UnitCapture error_{kError};
};

}  // namespace zun::dense_test
