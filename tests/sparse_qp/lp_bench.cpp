// lp_bench: the phase-1 LP on generated sparse feasibility LPs of growing size.  Prints, per
// size, the minor iterations, the factorisations, the time per minor iteration and the share
// of the time spent in the sparse LU (its factorisation, solves and column replacements,
// timed through link-time wrappers of the three entries) and of the factorisations alone;
// L+U is the size of the last fresh factors.  The start is a feasible point with one column in
// a hundred moved to a bound, so that the iteration count grows with the size but phase 1
// stays short enough to reach m = 100,000.  Usage: lp_bench [largest m] (default 100000; m
// grows tenfold from 1000).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/sparse_qp/lp_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
double lu_seconds = 0.0;
double factor_seconds = 0.0;

struct Timer {
  double* also = nullptr;
  Clock::time_point start = Clock::now();
  ~Timer() {
    const double t = std::chrono::duration<double>(Clock::now() - start).count();
    lu_seconds += t;
    if (also != nullptr) *also += t;
  }
};

}  // namespace

// The LU entries, wrapped by the linker (-Wl,--wrap) to add up their time.
extern "C" {
void __real__ZN3zun6PRUNENERKiS1_RiS1_PiPdS4_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S4_S2_(const int&,
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
                                                                                        int&);
void __wrap__ZN3zun6PRUNENERKiS1_RiS1_PiPdS4_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S4_S2_(
    const int& m,
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
  Timer t{&factor_seconds};
  __real__ZN3zun6PRUNENERKiS1_RiS1_PiPdS4_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S3_S4_S2_(
      m, n, nelem, lena, luparm, parmlu, a, indc, indr, ip, iq, lenc, lenr, locc, locr, iploc,
      iqloc, ipinv, iqinv, w, inform);
}
void __real__ZN3zun6PRUNEPERKiS1_S1_S1_S1_PdS2_S1_PiS2_S2_S3_S3_S3_S3_S3_S3_S3_S3_RiRdS5_(
    const int&,
    const int&,
    const int&,
    const int&,
    const int&,
    double*,
    double*,
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
    int&,
    double&,
    double&);
void __wrap__ZN3zun6PRUNEPERKiS1_S1_S1_S1_PdS2_S1_PiS2_S2_S3_S3_S3_S3_S3_S3_S3_S3_RiRdS5_(
    const int& mode1,
    const int& mode2,
    const int& m,
    const int& n,
    const int& jrep,
    double* v,
    double* w,
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
    int& inform,
    double& diag,
    double& vnorm) {
  Timer t;
  __real__ZN3zun6PRUNEPERKiS1_S1_S1_S1_PdS2_S1_PiS2_S2_S3_S3_S3_S3_S3_S3_S3_S3_RiRdS5_(
      mode1, mode2, m, n, jrep, v, w, lena, luparm, parmlu, a, indc, indr, ip, iq, lenc, lenr, locc,
      locr, inform, diag, vnorm);
}
void __real__ZN3zun8lu_solveERKiS1_S1_PdS2_S1_PiS2_S2_S3_S3_S3_S3_S3_S3_S3_S3_Ri(const int&,
                                                                                 const int&,
                                                                                 const int&,
                                                                                 double*,
                                                                                 double*,
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
                                                                                 int&);
void __wrap__ZN3zun8lu_solveERKiS1_S1_PdS2_S1_PiS2_S2_S3_S3_S3_S3_S3_S3_S3_S3_Ri(const int& mode,
                                                                                 const int& m,
                                                                                 const int& n,
                                                                                 double* v,
                                                                                 double* w,
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
                                                                                 int& inform) {
  Timer t;
  __real__ZN3zun8lu_solveERKiS1_S1_PdS2_S1_PiS2_S2_S3_S3_S3_S3_S3_S3_S3_S3_Ri(
      mode, m, n, v, w, lena, luparm, parmlu, a, indc, indr, ip, iq, lenc, lenr, locc, locr,
      inform);
}
}

namespace zun {
namespace {

using namespace qp_test;

constexpr int kEntriesPerColumn = 4;
constexpr int kMovedShare = 100;  // one column in this many starts at a bound, off the point

// A feasible LP of m rows and 2m columns with four entries per column in distinct random rows:
// bounds of every kind around the point xs and its row activities.
Lp bench_lp(int m, unsigned seed, std::vector<double>& xs) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::uniform_int_distribution<int> row(1, m);
  Lp lp;
  lp.m = m;
  for (int j = 0; j < 2 * m; ++j) {
    std::vector<std::pair<int, double>> col;
    while (static_cast<int>(col.size()) < std::min(kEntriesPerColumn, m)) {
      const int i = row(gen);
      if (std::none_of(col.begin(), col.end(), [&](const auto& e) { return e.first == i; })) {
        col.push_back({i, value(gen)});
      }
    }
    lp.add_column(col);
  }
  xs.resize(lp.n);
  for (double& v : xs) v = 5.0 * value(gen);
  random_column_bounds(gen, lp, xs);
  random_row_bounds(gen, lp, lp.product(xs));
  return lp;
}

void run_size(int m) {
  std::vector<double> xs;
  const Lp lp = bench_lp(m, 1, xs);
  Workspace w(lp, {{{sparse_option::integer_word::kIterationLimit, 10'000'000}}, {}},
              12 * static_cast<std::int64_t>(lp.nnz() + m) + 10000);
  if (w.code != 0) {
    std::printf("%9d  workspace code %d\n", m, w.code);
    return;
  }
  LpRun run = start_run(lp, w, 0);
  for (int j = 0; j < lp.n; ++j) {
    if (j % kMovedShare != 0) run.x[j] = xs[j];
  }
  lu_seconds = 0.0;
  factor_seconds = 0.0;
  const Clock::time_point start = Clock::now();
  solve(lp, w, run);
  const double total = std::chrono::duration<double>(Clock::now() - start).count();
  const int factors = w.i(minor_word::integer_word::kFactorizations);
  const double per_itn = run.itn > 0 ? total / run.itn : 0.0;
  const double share = total > 0 ? 100.0 * lu_seconds / total : 0.0;
  const double factor_share = total > 0 ? 100.0 * factor_seconds / total : 0.0;
  const int lu_length =
      w.i(minor_word::integer_word::kLuLenL0) + w.i(minor_word::integer_word::kLuLenU0);
  std::printf("%9d %9d %10d %10d %8d %6d %7d %10.3f %10.1f %8.1f %% %8.1f %%\n", m, lp.n, lp.nnz(),
              lu_length, run.itn, factors, run.result, total, 1e6 * per_itn, share, factor_share);
  std::fflush(stdout);
}

}  // namespace
}  // namespace zun

int main(int argc, char** argv) {
  const int largest = argc > 1 ? std::atoi(argv[1]) : 100000;
  std::printf("Phase-1 LP from the all-slack basis (n = 2m, %d entries per column, one column in "
              "%d off a feasible point)\n",
              zun::kEntriesPerColumn, zun::kMovedShare);
  std::printf("%9s %9s %10s %10s %8s %6s %7s %10s %10s %10s %10s\n", "m", "n", "nnz", "L+U", "itns",
              "facts", "result", "total s", "us/itn", "LU share", "factorize");
  for (int m = 1000; m <= largest; m *= 10) zun::run_size(m);
  return 0;
}
