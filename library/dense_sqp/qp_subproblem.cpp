// The QP subproblem of the major iterations on the dense QP/LS solver.
//
// Its fixed inputs: R is the Hessian factor with rank N and two residual columns whose initial
// residual is zero, so the objective is the linear term c_Q = Q'g (formed by the working-set
// set-up from g in the natural variables) plus 0.5 ||R p_Q||^2; the bounds of the variables,
// the linear rows and the nonlinear rows are shifted by x, A x and c; bounds and linear rows
// are never released as violated in phase 1 (jinf = N + NCLIN); the reference row norm of the
// dependency test is the largest row norm of [A; J], recomputed each major iteration.
#include "library/dense_sqp/qp_subproblem.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/ls_qp.h"
#include "library/dense_qp/working_set.h"
#include "library/dense_sqp/dense_top_level.h"
#include "library/support/machine.h"

namespace zun {
namespace {

namespace iw = dense_words::integer_word;
namespace rw = dense_words::real_word;

constexpr int kColumns = 2;  // gradient and residual columns of the QP/LS work area
constexpr char kNoNames[] = "        ";
constexpr int kNameLength = 8;
constexpr char kProblemType[] = "QP";
constexpr int kProblemTypeLength = 2;
constexpr int kToNullSpace = 4;
enum Status { kBelow = -2, kAbove = -1, kFree = 0, kAtLower = 1, kAtUpper = 2, kEqual = 3, kTemporary = 4 };

// The QP's constraint matrix [A; J] (rows of A, then the Jacobian) and its leading dimension.
struct QpMatrix {
  const double* a;
  int lda;
};

QpMatrix build_matrix(DenseRun& run) {
  const DenseProblem& p = run.p;
  if (p.ncnln == 0) return {p.a.at(1, 1), p.lda};
  const int m = p.nclin + p.ncnln;
  ColumnMajorView<double> aq(p.work.at(run.s.i(dense_array::kConstraintMatrix)), m);
  const ColumnMajorView<double> jac = run.jac();
  for (int j = 1; j <= p.n; ++j) {
    for (int i = 1; i <= p.nclin; ++i) aq(i, j) = p.a(i, j);
    for (int k = 1; k <= p.ncnln; ++k) aq(p.nclin + k, j) = jac(k, j);
  }
  return {aq.at(1, 1), m};
}

double largest_row_norm(const DenseProblem& p, const QpMatrix& m) {
  double largest = 0.0;
  const ColumnMajorView<const double> aq(m.a, m.lda);
  for (int i = 1; i <= p.nclin + p.ncnln; ++i) {
    double sum = 0.0;
    for (int j = 1; j <= p.n; ++j) sum += aq(i, j) * aq(i, j);
    largest = std::max(largest, std::sqrt(sum));
  }
  return largest;
}

// Bounds of the step: each bound less the current value of its variable or row.
void shifted_bounds(const DenseRun& run, std::vector<double>& bl, std::vector<double>& bu) {
  const DenseProblem& p = run.p;
  const double bigbnd = run.s.r(rw::kInfiniteBound);
  const auto shift = [&](int j, double value) {
    bl[j - 1] = p.bl(j) > -bigbnd ? p.bl(j) - value : p.bl(j);
    bu[j - 1] = p.bu(j) < bigbnd ? p.bu(j) - value : p.bu(j);
  };
  for (int j = 1; j <= p.n; ++j) shift(j, run.x(j));
  for (int i = 1; i <= p.nclin; ++i) {
    double ax = 0.0;
    for (int j = 1; j <= p.n; ++j) ax += p.a(i, j) * run.x(j);
    shift(p.n + i, ax);
  }
  for (int k = 1; k <= p.ncnln; ++k) shift(p.n + p.nclin + k, run.c(k));
}

// Statuses that cannot start a working set (violated, temporarily fixed) become free.
void clean_statuses(const DenseProblem& p) {
  for (int j = 1; j <= p.total(); ++j) {
    int& st = p.istate(j);
    if (st < kFree || st == kTemporary) st = kFree;
    if (p.bl(j) == p.bu(j) && st > kFree) st = kEqual;
  }
}

// The working set of a solve's start: its sizes and lists.
struct WorkingSetView {
  Logical unitq;
  int nactiv, nfree, nz;
  const int* kactiv;
  const int* kx;
};

// The step starts as the range-space step from the origin, which satisfies the working set:
// step (n) and its row products ax (NCLIN + NCNLN).
void start_on_working_set(const DenseProblem& p, const QpMatrix& m, const LsQpWorkLayout& lay,
                          const WorkingSetView& ws, const std::vector<double>& bl,
                          const std::vector<double>& bu, const double* w, double* step,
                          double* ax) {
  const int n = p.n, ngen = p.nclin + p.ncnln;
  const std::vector<double> origin(n, 0.0), origin_rows(std::max(ngen, 1), 0.0);
  std::vector<double> work(2 * static_cast<std::size_t>(n));
  compute_range_space_step(ws.unitq, n, ngen, ws.nactiv, ws.nfree, ws.nz, m.lda, lay.ldq,
                           lay.ldt, p.istate.at(1), ws.kactiv, ws.kx, m.a, origin_rows.data(),
                           bl.data(), bu.data(), origin.data(), w + lay.t - 1, w + lay.q - 1,
                           step, ax, work.data());
}

// One solve from the working set of ISTATE, with W (the QP/LS work area) holding T and Q
// afterwards.  R is natural on entry and in the basis of the final working set on return; the
// basis is recorded: the variable order in IWORK, Q in W, unit-Q flag and free count in the
// store.
QpSubproblemResult solve_once(DenseRun& run, const QpMatrix& m, const std::vector<double>& bl,
                              const std::vector<double>& bu, Words<double> dir, double* w) {
  DenseProblem& p = run.p;
  DenseStoreView s = run.s;
  const int n = p.n, ngen = p.nclin + p.ncnln, nctotl = p.total();
  const LsQpWorkLayout lay = LsQpWorkLayout::plan(n, ngen);
  Words<int> kx = run.integer_array(dense_array::kVariableOrder);
  Words<int> kactiv = run.integer_array(dense_array::kActiveSet);
  for (int j = 1; j <= n; ++j) kx(j) = j;
  std::fill(w, w + lay.length, 0.0);
  double* gq = w + lay.gq - 1;
  for (int j = 1; j <= n; ++j) {
    gq[j - 1] = run.g(j);
    gq[n + j - 1] = run.g(j);
    dir(j) = 0.0;
  }
  clean_statuses(p);
  Logical unitq = kTrue;
  int inform = 0, nactiv = 0, nfree = n, nz = n, nzr = 0;
  const int nrank = n;
  fix_bound_variables(unitq, inform, nz, nfree, nrank, kColumns, kColumns, n, p.ldr,
                      p.istate.at(1), kx.at(1), p.r.at(1, 1), w + lay.res - 1, gq);
  int candidates = 0;
  for (int k = 1; k <= ngen; ++k) {
    if (p.istate(n + k) > kFree) kactiv(++candidates) = k;
  }
  if (candidates > 0) {
    int nartif = 0, nrejtd = 0;
    constexpr int kNoArtificials = 0, kQuiet = 0;
    add_initial_working_set(unitq, kNoArtificials, inform, 1, candidates, nactiv, nartif, nz,
                            nfree, nrank, nrejtd, kColumns, kColumns, n, m.lda, lay.ldq, p.ldr,
                            lay.ldt, p.istate.at(1), kactiv.at(1), kx.at(1),
                            kInitialDependencyLimit, m.a, p.r.at(1, 1), w + lay.t - 1,
                            w + lay.res - 1, gq, w + lay.q - 1,
                            w + lay.scratch - 1, kQuiet, s.i.at(1), s.r.at(1));
  }
  QpSubproblemResult out;
  int numinf = 0;
  const int jinf = n + p.nclin;
  const double no_residual = 0.0;
  double ctx = 0.0, obj = 0.0, suminf = 0.0, xnorm = 0.0;
  std::vector<double> ax(std::max(ngen, 1), 0.0);
  const WorkingSetView ws{unitq, nactiv, nfree, nz, kactiv.at(1), kx.at(1)};
  start_on_working_set(p, m, lay, ws, bl, bu, w, dir.at(1), ax.data());
  solve_ls_qp(kProblemType, kFalse, kNoNames, kTrue, unitq, out.inform, out.iterations, jinf,
              ngen, nctotl, nactiv, nfree, nrank, nz, nzr, n, m.lda, p.ldr, p.istate.at(1),
              kactiv.at(1), kx.at(1), ctx, obj, no_residual, suminf, numinf, xnorm, bl.data(),
              bu.data(), m.a, run.array(dense_array::kQpMultipliers).at(1), ax.data(),
              run.array(dense_array::kFeasibilityTolerances).at(1), p.r.at(1, 1), dir.at(1),
              w, s.i.at(1), s.r.at(1), kProblemTypeLength, kNameLength);
  out.feasible = out.inform != static_cast<int>(LsQpExit::kInfeasible);
  out.null_dimension = nz;
  // ||Z'g|| for the objective's gradient at the current point.
  std::vector<double> zg(n), scratch(2 * static_cast<std::size_t>(n));
  for (int j = 1; j <= n; ++j) zg[j - 1] = run.g(j);
  const int ldq = lay.ldq;
  apply_tq_factor(kToNullSpace, n, nz, nfree, ldq, unitq, kx.at(1), zg.data(),
                  w + lay.q - 1, scratch.data());
  double zsum = 0.0;
  for (int i = 0; i < nz; ++i) zsum += zg[i] * zg[i];
  out.reduced_gradient_norm = std::sqrt(zsum);
  int fail = 0;
  double dmax = 0.0, dmin = 0.0;
  const int diagonal = p.ldr + 1;
  abs_range(nz, p.r.at(1, 1), diagonal, dmax, dmin);
  const double cond_rz = nz > 0 ? safe_divide(dmax, dmin, fail) : 0.0;
  const double inverse_eps = s.r(rw::kInverseEps);
  out.condition_hz = cond_rz < std::sqrt(inverse_eps) ? cond_rz * cond_rz : inverse_eps;
  fail = 0;
  out.condition_t = nactiv > 0 ? safe_divide(s.r(rw::kLargestTDiagonal), s.r(rw::kSmallestTDiagonal), fail) : 0.0;
  const ColumnMajorView<const double> t(w + lay.t - 1, lay.ldt);
  for (int i = 1; i <= nactiv; ++i) out.t_diagonal.push_back(t(i, nfree + 1 - i));
  s.i(iw::kQpBasisUnitQ) = is_true(unitq) ? 1 : 0;
  s.i(iw::kQpBasisFree) = nfree;
  return out;
}

// The QP/LS work area: the one in WORK, so that T and Q of the last subproblem stay there
// until the solve ends; without general rows WORK has none and Q stays the identity, so a
// local area serves.
struct QpWorkArea {
  std::vector<double> local;
  double* w = nullptr;
  explicit QpWorkArea(const DenseRun& run) {
    const DenseProblem& p = run.p;
    if (p.nclin + p.ncnln > 0) {
      w = run.array(dense_array::kQpWorkArea).at(1);
    } else {
      local.assign(static_cast<std::size_t>(ls_qp_work_length(p.n, 0)), 0.0);
      w = local.data();
    }
  }
};

// A copy of R in the natural variables: the QP rotates R into the basis of its working set,
// which leaves R'R as it was in that basis, and the major iterations go on from the copy.
class NaturalFactor {
 public:
  explicit NaturalFactor(const DenseProblem& p)
      : n_(p.n), copy_(static_cast<std::size_t>(p.n) * static_cast<std::size_t>(p.n)) {
    for (int j = 1; j <= n_; ++j) std::copy_n(p.r.at(1, j), n_, copy_.begin() + offset(j));
  }
  void restore(const DenseProblem& p) const {
    for (int j = 1; j <= n_; ++j) std::copy_n(copy_.begin() + offset(j), n_, p.r.at(1, j));
  }

 private:
  std::ptrdiff_t offset(int j) const { return static_cast<std::ptrdiff_t>(j - 1) * n_; }
  int n_;
  std::vector<double> copy_;
};

bool general_row_violated(const DenseProblem& p) {
  for (int j = p.n + 1; j <= p.total(); ++j) {
    if (p.istate(j) == kBelow || p.istate(j) == kAbove) return true;
  }
  return false;
}

void release_general_rows(const DenseProblem& p) {
  for (int j = p.n + 1; j <= p.total(); ++j) p.istate(j) = kFree;
}

}  // namespace

QpSubproblemResult solve_dense_qp_subproblem(DenseRun& run, Words<double> direction) {
  DenseProblem& p = run.p;
  const QpMatrix m = build_matrix(run);
  run.s.r(rw::kReferenceRowNorm) = largest_row_norm(p, m);
  std::vector<double> bl(p.total()), bu(p.total());
  shifted_bounds(run, bl, bu);
  const int ngen = p.nclin + p.ncnln;
  QpWorkArea work(run);
  const NaturalFactor natural(p);
  QpSubproblemResult out = solve_once(run, m, bl, bu, direction, work.w);
  natural.restore(p);
  if (out.inform >= static_cast<int>(LsQpExit::kWeakMinimum) && ngen > 0 && general_row_violated(p)) {
    const int first_iterations = out.iterations;
    release_general_rows(p);
    out = solve_once(run, m, bl, bu, direction, work.w);
    natural.restore(p);
    out.iterations += first_iterations;
  }
  Words<double> clamda = run.array(dense_array::kQpMultipliers);
  for (int j = 1; j <= p.total(); ++j) {
    const int st = p.istate(j);
    if (j <= p.n) {
      out.bounds += st > kFree ? 1 : 0;
    } else if (j <= p.n + p.nclin) {
      out.linear += st > kFree ? 1 : 0;
    } else {
      out.nonlinear += st > kFree ? 1 : 0;
      if (st == kAtLower) clamda(j) = std::max(clamda(j), 0.0);
      if (st == kAtUpper) clamda(j) = std::min(clamda(j), 0.0);
    }
  }
  return out;
}

void express_hessian_in_qp_basis(DenseRun& run) {
  if (run.s.i(iw::kMajorRan) != 1) return;
  DenseProblem& p = run.p;
  const int n = p.n;
  const LsQpWorkLayout lay = LsQpWorkLayout::plan(n, p.nclin + p.ncnln);
  const Logical unitq = run.s.i(iw::kQpBasisUnitQ) == 1 ? kTrue : kFalse;
  const double no_q = 0.0;
  const double* q = is_true(unitq) ? &no_q : run.array(dense_array::kQpWorkArea).at(lay.q);
  std::vector<double> work(2 * static_cast<std::size_t>(n));
  transform_hessian_factor(kNaturalToBasis, n, run.s.i(iw::kQpBasisFree), lay.ldq, unitq,
                           run.integer_array(dense_array::kVariableOrder).at(1), q, p.r,
                           work.data());
}

}  // namespace zun
