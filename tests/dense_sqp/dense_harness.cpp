// The reverse-communication harness of the dense solver tests.
#include "tests/dense_sqp/dense_harness.h"

#include <algorithm>
#include <cstring>

namespace zun::dense_test {
namespace {

constexpr int kCanaryWords = 16;
constexpr int kCanaryInteger = 0x5a5a5a5a;
constexpr double kCanaryReal = 7.25e300;

bool flagged(int code, int k, const std::vector<int>& needrow) {
  return code >= request::kConstraints && needrow[k - 1] > 0;
}

}  // namespace

bool LocalDenseStore::operator==(const LocalDenseStore& o) const {
  return std::memcmp(text, o.text, sizeof(text)) == 0 && std::memcmp(lw, o.lw, sizeof(lw)) == 0 &&
         std::memcmp(iw, o.iw, sizeof(iw)) == 0 && std::memcmp(rw, o.rw, sizeof(rw)) == 0;
}

DenseHarness::DenseHarness(TestProblem problem, const std::vector<std::string>& lines)
    : prob(std::move(problem)) {
  const int n = prob.n, nclin = prob.nclin, ncnln = prob.ncnln;
  lda = std::max(1, nclin);
  ldcj = std::max(1, ncnln);
  ldr = std::max(1, n);
  const int total = n + nclin + ncnln;
  istate.assign(total, 0);
  mult.assign(total, 0.0);
  needrow.assign(std::max(1, ncnln), 0);
  c.assign(std::max(1, ncnln), 0.0);
  jacnl.assign(static_cast<std::size_t>(ldcj) * std::max(1, n), 0.0);
  objg.assign(std::max(1, n), 0.0);
  r.assign(static_cast<std::size_t>(ldr) * std::max(1, n), 0.0);
  x = prob.x0;
  if (prob.a.empty()) prob.a.assign(static_cast<std::size_t>(lda) * std::max(1, n), 0.0);
  const DenseWorkspaceNeed need = dense_workspace_need(n, nclin, ncnln);
  leniw = static_cast<int>(need.integers);
  lenw = static_cast<int>(need.reals);
  iwork.assign(need.integers + kCanaryWords, kCanaryInteger);
  work.assign(need.reals + kCanaryWords, kCanaryReal);
  DenseStoreView view = store.view();
  int inform = 0;
  if (lines.empty()) {
    process_dense_option_string("Print level = 10", 16, false, "DNKEYF", view, inform);
  }
  for (const std::string& line : lines) {
    process_dense_option_string(line.data(), static_cast<int>(line.size()), true, "DNKEYF", view,
                                inform);
    int& level = view.i(dense_words::integer_word::kMajorPrintLevel);
    if (level == kUnsetInteger) level = 10;
  }
}

bool DenseHarness::canaries_intact() const {
  const bool ints = std::all_of(iwork.begin() + leniw, iwork.end(),
                                [](int v) { return v == kCanaryInteger; });
  const bool reals = std::all_of(work.begin() + lenw, work.end(),
                                 [](double v) { return v == kCanaryReal; });
  return ints && reals;
}

void DenseHarness::call() {
  DenseProblem p{irevcm,
                 prob.n,
                 prob.nclin,
                 prob.ncnln,
                 lda,
                 ldcj,
                 ldr,
                 ColumnMajorView<const double>(prob.a.data(), lda),
                 Words<const double>(prob.bl.data()),
                 Words<const double>(prob.bu.data()),
                 niter,
                 Words<int>(istate.data()),
                 Words<double>(c.data()),
                 ColumnMajorView<double>(jacnl.data(), ldcj),
                 Words<double>(mult.data()),
                 objv,
                 Words<double>(objg.data()),
                 ColumnMajorView<double>(r.data(), ldr),
                 Words<double>(x.data()),
                 Words<int>(needrow.data()),
                 Words<int>(iwork.data()),
                 leniw,
                 Words<double>(work.data()),
                 lenw,
                 ifail};
  solve_dense_nlp(p, store.view(), "DNNLPF");
}

double DenseHarness::noisy(double v) {
  if (noise == 0.0) return v;
  seed_ = seed_ * 6364136223846793005ULL + 1442695040888963407ULL;
  const double u = static_cast<double>(seed_ >> 11) / 9007199254740992.0 - 0.5;
  return v * (1.0 + noise * u);
}

void DenseHarness::answer() {
  const int code = irevcm;
  Request req{code, {}, x};
  for (int k = 1; k <= prob.ncnln; ++k) {
    if (flagged(code, k, needrow)) req.needrow.push_back(k);
  }
  const bool stop = static_cast<int>(log_.size()) == stop_at;
  log_.push_back(req);
  const bool objective_value = code == request::kObjective || code == request::kObjectiveBoth;
  const bool gradient = code == request::kGradient || code == request::kObjectiveBoth;
  const bool values = code == request::kConstraints || code == request::kConstraintsBoth;
  const bool jacobian = code == request::kJacobian || code == request::kConstraintsBoth;
  // Nothing that was not asked for may be read: poison it.
  if (!objective_value) objv = kNaN;
  if (!gradient) std::fill(objg.begin(), objg.end(), kNaN);
  for (int k = 1; k <= prob.ncnln; ++k) {
    const bool row = flagged(code, k, needrow);
    if (!(values && row)) c[k - 1] = kNaN;
    if (!(jacobian && row)) {
      for (int j = 1; j <= prob.n; ++j) jacnl[(k - 1) + static_cast<std::size_t>(j - 1) * ldcj] = kNaN;
    }
  }
  if (stop) {
    irevcm = stop_value;
    return;
  }
  if (objective_value) objv = noisy(prob.f(x));
  if (gradient) {
    const std::vector<double> g = prob.grad(x);
    for (int j = 1; j <= prob.n; ++j) {
      if (!withheld_gradient.count(j)) objg[j - 1] = g[j - 1];
    }
    for (const auto& [j, e] : gradient_error) objg[j - 1] += e;
  }
  if (values) {
    const std::vector<double> cv = prob.cons(x);
    for (int k : req.needrow) c[k - 1] = noisy(cv[k - 1]);
  }
  if (jacobian) {
    for (int k : req.needrow) {
      const std::vector<double> row = prob.jac_row(x, k - 1);
      for (int j = 1; j <= prob.n; ++j) {
        if (withheld_jacobian.count({k, j})) continue;
        jacnl[(k - 1) + static_cast<std::size_t>(j - 1) * ldcj] = row[j - 1];
      }
    }
    for (const auto& [kj, e] : jacobian_error) {
      if (std::count(req.needrow.begin(), req.needrow.end(), kj.first) > 0) {
        jacnl[(kj.first - 1) + static_cast<std::size_t>(kj.second - 1) * ldcj] += e;
      }
    }
  }
}

int DenseHarness::run(int ifail_on_entry) {
  ifail = ifail_on_entry;
  irevcm = request::kDone;
  x = prob.x0;
  log_.clear();
  call();
  return resume();
}

int DenseHarness::resume() {
  while (irevcm != request::kDone && log_.size() < request_limit) {
    if (pause_after && log_.size() == *pause_after) return ifail;
    answer();
    call();
  }
  return ifail;
}

int DenseHarness::count(int code) const {
  return static_cast<int>(
      std::count_if(log_.begin(), log_.end(), [code](const Request& r) { return r.code == code; }));
}

DenseHarness::Snapshot DenseHarness::snapshot() const {
  return Snapshot{store, irevcm, niter, ifail, objv, istate, needrow, iwork,
                  c, jacnl, mult, objg, r, x, work, log_.size(), seed_};
}

void DenseHarness::restore(const Snapshot& s) {
  store = s.store;
  irevcm = s.irevcm;
  niter = s.niter;
  ifail = s.ifail;
  objv = s.objv;
  istate = s.istate;
  needrow = s.needrow;
  iwork = s.iwork;
  c = s.c;
  jacnl = s.jacnl;
  mult = s.mult;
  objg = s.objg;
  r = s.r;
  x = s.x;
  work = s.work;
  log_.resize(s.logged);
  seed_ = s.seed;
}

}  // namespace zun::dense_test
