// The dense QP/LS solver: the active-set iterations on the working set's TQ factorisation.
#include "library/dense_qp/ls_qp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "library/dense_print/dense_print.h"
#include "library/dense_qp/factorisation_kit.h"
#include "library/dense_qp/ls_qp_internal.h"
#include "library/dense_qp/qp_shared_words.h"
#include "library/dense_qp/working_set.h"
#include "library/platform/format.h"
#include "library/support/blas_lapack.h"
#include "library/support/column_major.h"
#include "library/support/machine.h"
#include "library/support/one_based.h"
#include "library/support/output.h"

namespace zun {

LsQpWorkLayout LsQpWorkLayout::plan(int n, int nclin) {
  LsQpWorkLayout l;
  const std::int64_t nn = std::max(n, 1);
  const std::int64_t mm = std::max(nclin, 1);
  l.ldt = std::max(1, std::min(n, nclin));
  l.ldq = std::max(1, n);
  std::int64_t next = 1;
  auto take = [&next](std::int64_t words) {
    const std::int64_t at = next;
    next += words;
    return at;
  };
  l.t = take(static_cast<std::int64_t>(l.ldt) * nn);
  l.q = take(static_cast<std::int64_t>(l.ldq) * nn);
  l.gq = take(2 * nn);
  l.res = take(2 * nn);
  l.wtinf = take(nn + mm);
  l.rownorm = take(mm);
  l.pq = take(nn);
  l.p = take(nn);
  l.ap = take(mm);
  l.scratch = take(3 * nn);
  l.length = next - 1;
  return l;
}

std::int64_t ls_qp_work_length(const int& n, const int& nclin) {
  return LsQpWorkLayout::plan(n, nclin).length;
}

namespace {

namespace qw = qp_words;

// The constraint's kind letter in the iteration log.
char kind_letter(int status) {
  switch (status) {
    case 1: return 'L';
    case 2: return 'U';
    case 3: return 'E';
    case 4: return 'T';
    default: return 'V';
  }
}

// One run of solve_ls_qp over the caller's arrays.
class LsQpRun {
 public:
  // Arguments of the entry.
  bool fp = false;
  std::string type;
  bool linobj = false;
  Logical* unitq = nullptr;
  int jinf = 0;
  int n = 0;
  int nclin = 0;
  int nctotl = 0;
  int* nactiv = nullptr;
  int* nfree = nullptr;
  int nrank = 0;
  int* nz = nullptr;
  int* nzr = nullptr;
  int lda = 1;
  int ldr = 1;
  int* istate = nullptr;
  int* kactiv = nullptr;
  int* kx = nullptr;
  double* ctx = nullptr;
  double* obj = nullptr;
  double ssq1 = 0.0;
  double* suminf = nullptr;
  int* numinf = nullptr;
  double* xnorm = nullptr;
  const double* bl = nullptr;
  const double* bu = nullptr;
  const double* a = nullptr;
  double* clamda = nullptr;
  double* ax = nullptr;
  const double* featol = nullptr;
  double* r = nullptr;
  double* x = nullptr;
  double* w = nullptr;
  const int* iw = nullptr;
  double* rw = nullptr;

  int run(int& iter);
  void finish(int iter);

 private:
  LsQpWorkLayout lay_;
  double* t_ = nullptr;
  double* q_ = nullptr;
  double* gq_ = nullptr;
  double* cq_ = nullptr;
  double* res_ = nullptr;
  double* res0_ = nullptr;
  double* wtinf_ = nullptr;
  double* rownorm_ = nullptr;
  double* pq_ = nullptr;
  double* p_ = nullptr;
  double* ap_ = nullptr;
  double* scratch_ = nullptr;
  int ngq_ = 1;
  int nres_ = 0;
  int msglvl_ = 0;
  double bigbnd_ = 1e20;
  double tol_rz_ = 0.0;
  bool release_ = false;
  int lines_monitor_ = 0;
  int lines_print_ = 0;

  void bind();
  double rw_(int k) const { return Words<double>(rw)(k); }
  int iw_(int k) const { return Words<const int>(iw)(k); }
  double value_of(int j) const { return j <= n ? x[j - 1] : ax[j - n - 1]; }
  bool move_onto();
  void form_gradient(bool reclassify, bool& became_feasible);
  int leading_hessian_dimension() const;
  bool rz_singular() const;
  void direction(bool singular, double& pnorm, double& cp);
  void update_after_step(double alpha, double cp);
  bool add_constraint(int jadd, bool at_lower);
  int working_set_violation() const;

  // What one minor iteration hands to the next.
  struct Iteration {
    int iter = 0;
    double alpha = 0.0;  // the last step
    int jadd = 0;        // the constraint added (0: none)
    int jdel = 0;        // the constraint deleted (negative: artificial)
    char kinds[2] = {' ', ' '};
    int negligible = 0;  // consecutive negligible steps
    int unchanged = 0;   // iterations without a change of the working set
    bool need_gradient = true;
  };
  struct Measures;
  static constexpr int kContinue = -1;
  static constexpr int kNegligibleStepLimit = 50;
  Iteration it_;

  Measures measure() const;
  void log_line(const Measures& m);
  int cannot_satisfy();
  int take_step(bool singular);
  int at_stationary_point(double gtol, bool singular);
};

void LsQpRun::bind() {
  lay_ = LsQpWorkLayout::plan(n, nclin);
  Words<double> ws(w);
  t_ = ws.at(lay_.t);
  q_ = ws.at(lay_.q);
  gq_ = ws.at(lay_.gq);
  cq_ = gq_ + n;
  res_ = ws.at(lay_.res);
  res0_ = res_ + n;
  wtinf_ = ws.at(lay_.wtinf);
  rownorm_ = ws.at(lay_.rownorm);
  pq_ = ws.at(lay_.pq);
  p_ = ws.at(lay_.p);
  ap_ = ws.at(lay_.ap);
  scratch_ = ws.at(lay_.scratch);
  ngq_ = linobj ? 2 : 1;
  nres_ = nrank >= 1 ? 2 : 0;
  msglvl_ = iw_(qw::kMinorPrintLevel);
  bigbnd_ = rw_(qw::kInfiniteBound);
  tol_rz_ = rw_(qw::kInverseConditionLimit);
  for (int k = 1; k <= nclin; ++k) {
    double s = 0.0;
    for (int j = 1; j <= n; ++j) {
      const double v = a[(k - 1) + static_cast<std::int64_t>(j - 1) * lda];
      s += v * v;
    }
    rownorm_[k - 1] = std::sqrt(s);
  }
  std::fill(wtinf_, wtinf_ + nctotl, 1.0);
}

// Moves x onto the working set; false when it cannot be done within the tolerances.
bool LsQpRun::move_onto() {
  Logical rowerr = kFalse;
  int jmax = 0;
  double errmax = 0.0;
  const Logical lin = linobj ? kTrue : kFalse;
  move_onto_working_set(lin, rowerr, *unitq, nclin, *nactiv, *nfree, nrank, *nz, n, lda,
                        lay_.ldq, ldr, lay_.ldt, istate, kactiv, kx, jmax, errmax, *ctx, *xnorm,
                        a, ax, bl, bu, cq_, res_, res0_, featol, r, t_, x, q_, scratch_);
  return !is_true(rowerr);
}

// Recounts the infeasibilities and forms the gradient: the phase-1 gradient while some
// constraint is violated, else the objective's (zero for "FP").
void LsQpRun::form_gradient(bool reclassify, bool& became_feasible) {
  became_feasible = false;
  double* g = scratch_ + n;
  std::fill(g, g + n, 0.0);
  int count = 0;
  double sum = 0.0;
  for (int j = 1; j <= nctotl; ++j) {
    if (istate[j - 1] > 0) continue;
    const double v = value_of(j);
    const double tol = featol[j - 1];
    int status = reclassify ? 0 : istate[j - 1];
    if (reclassify) {
      if (bl[j - 1] > -bigbnd_ && v < bl[j - 1] - tol) {
        status = -2;
      } else if (bu[j - 1] < bigbnd_ && v > bu[j - 1] + tol) {
        status = -1;
      }
      istate[j - 1] = status;
    }
    if (status == 0) continue;
    const double sign = status == -2 ? -1.0 : 1.0;
    sum += wtinf_[j - 1] * std::max(0.0, status == -2 ? bl[j - 1] - v : v - bu[j - 1]);
    ++count;
    const double wt = sign * wtinf_[j - 1];
    if (j <= n) {
      g[j - 1] += wt;
    } else {
      for (int i = 1; i <= n; ++i) g[i - 1] += wt * a[(j - n - 1) + static_cast<std::int64_t>(i - 1) * lda];
    }
  }
  const bool was_infeasible = *numinf != 0;
  *numinf = count;
  *suminf = sum;
  if (count > 0) {
    apply_tq_factor(6, n, *nz, *nfree, lay_.ldq, *unitq, kx, g, q_, scratch_);
    std::copy(g, g + n, gq_);
    return;
  }
  became_feasible = was_infeasible;
  std::fill(gq_, gq_ + n, 0.0);
  if (fp) return;
  if (linobj) std::copy(cq_, cq_ + n, gq_);
  const ColumnMajor rm(r, ldr);
  for (int j = 1; j <= n; ++j) {
    double s = 0.0;
    for (int i = 1; i <= std::min(j, nrank); ++i) s += rm(i, j) * res_[i - 1];
    gq_[j - 1] -= s;
  }
  *nzr = leading_hessian_dimension();
}

// The dimension of the leading well-conditioned part of R in the null space.
int LsQpRun::leading_hessian_dimension() const {
  if (nrank < 1) return 0;
  const ColumnMajor rm(r, ldr);
  const double row1 = dnrm2_(&n, r, &ldr);
  if (row1 <= tol_rz_ || std::fabs(rm(1, 1)) <= tol_rz_ * row1) return 0;
  const int len = std::min(nrank, *nz);
  const int stride = ldr + 1;
  return count_leading_significant(len, r, stride, tol_rz_);
}

bool LsQpRun::rz_singular() const {
  const int k = *nzr;
  if (k == 0) return false;
  if (*numinf > 0 || k > nrank) return true;
  const ColumnMajor rm(r, ldr);
  double dmax = 0.0;
  double dmin = 0.0;
  const int stride = ldr + 1;
  abs_range(k, r, stride, dmax, dmin);
  if (std::fabs(rm(k, k)) <= tol_rz_ * dmax) return true;
  const double row1 = dnrm2_(&n, r, &ldr);
  return row1 <= tol_rz_ || std::fabs(rm(1, 1)) <= tol_rz_ * row1;
}

// The search direction: p_Q in pq (entries 1..nzr), p = Z p_Q in natural order, A p.
void LsQpRun::direction(bool singular, double& pnorm, double& cp) {
  const int k = *nzr;
  const ColumnMajor rm(r, ldr);
  std::fill(pq_, pq_ + n, 0.0);
  const int one = 1;
  if (singular) {
    const int m = k - 1;
    if (m >= 1 && m <= nrank) {
      for (int i = 1; i <= m; ++i) pq_[i - 1] = rm(i, k);
      dtrsv_("U", "N", "N", &m, r, &ldr, pq_, &one, 1, 1, 1);
    }
    pq_[k - 1] = -1.0;
    if (ddot_(&k, gq_, &one, pq_, &one) > 0.0) {
      for (int i = 0; i < k; ++i) pq_[i] = -pq_[i];
    }
  } else if (k >= 1) {
    if (linobj) {
      for (int i = 0; i < k; ++i) pq_[i] = -gq_[i];
      dtrsv_("U", "T", "N", &k, r, &ldr, pq_, &one, 1, 1, 1);
    } else {
      std::copy(res_, res_ + k, pq_);
    }
    dtrsv_("U", "N", "N", &k, r, &ldr, pq_, &one, 1, 1, 1);
  }
  pnorm = k >= 1 ? dnrm2_(&k, pq_, &one) : 0.0;
  cp = (linobj && k >= 1) ? ddot_(&k, cq_, &one, pq_, &one) : 0.0;
  std::copy(pq_, pq_ + n, p_);
  apply_tq_factor(1, n, *nz, *nfree, lay_.ldq, *unitq, kx, p_, q_, scratch_);
  for (int i = 1; i <= nclin; ++i) {
    double s = 0.0;
    for (int j = 1; j <= n; ++j) s += a[(i - 1) + static_cast<std::int64_t>(j - 1) * lda] * p_[j - 1];
    ap_[i - 1] = s;
  }
}

void LsQpRun::update_after_step(double alpha, double cp) {
  if (alpha == 0.0) return;
  const int one = 1;
  daxpy_(&n, &alpha, p_, &one, x, &one);
  if (nclin > 0) daxpy_(&nclin, &alpha, ap_, &one, ax, &one);
  *xnorm = dnrm2_(&n, x, &one);
  *ctx += alpha * cp;
  if (nrank < 1) return;
  const ColumnMajor rm(r, ldr);
  const int k = *nzr;
  double* v = scratch_ + n;
  const int rows = std::min(k, nrank);
  for (int i = 1; i <= rows; ++i) {
    double s = 0.0;
    for (int j = i; j <= k; ++j) s += rm(i, j) * pq_[j - 1];
    v[i - 1] = s;
    res_[i - 1] -= alpha * s;
  }
  if (*numinf != 0 || fp) return;
  for (int j = 1; j <= n; ++j) {
    double s = 0.0;
    for (int i = 1; i <= std::min(j, rows); ++i) s += rm(i, j) * v[i - 1];
    gq_[j - 1] += alpha * s;
  }
}

// Adds the constraint hit by the step; false when a general row was found dependent.
bool LsQpRun::add_constraint(int jadd, bool at_lower) {
  const int status = (bl[jadd - 1] == bu[jadd - 1]) ? 3 : (at_lower ? 1 : 2);
  int ifix = 0;
  int iadd = 0;
  if (jadd <= n) {
    x[jadd - 1] = at_lower ? bl[jadd - 1] : bu[jadd - 1];
    for (int i = 1; i <= *nfree; ++i) {
      if (kx[i - 1] == jadd) ifix = i;
    }
  } else {
    iadd = jadd - n;
  }
  int added = 0;
  const double limit = 1.0 / smallest_normal();
  const int print = msglvl_;
  add_to_working_set(*unitq, added, ifix, iadd, jadd, *nactiv, *nz, *nfree, nrank, nres_, ngq_, n,
                     lda, lay_.ldq, ldr, lay_.ldt, kx, limit, a, r, t_, res_, gq_, q_, scratch_,
                     print, iw, rw);
  if (jadd > n && added != 0) {
    istate[jadd - 1] = 0;
    return false;
  }
  istate[jadd - 1] = status;
  if (jadd > n) {
    ++*nactiv;
    kactiv[*nactiv - 1] = iadd;
  } else {
    --*nfree;
  }
  --*nz;
  *nzr = std::max(0, *nzr - 1);
  return true;
}

// The working-set constraint farthest from its bound beyond its tolerance (0 when none).
int LsQpRun::working_set_violation() const {
  int worst = 0;
  double worst_excess = 0.0;
  for (int j = 1; j <= nctotl; ++j) {
    const int status = istate[j - 1];
    if (status < 1 || status > 3) continue;
    const double bound = status == 1 ? bl[j - 1] : bu[j - 1];
    const double excess = std::fabs(bound - value_of(j)) - featol[j - 1];
    if (excess > worst_excess) {
      worst_excess = excess;
      worst = j;
    }
  }
  return worst;
}

void LsQpRun::finish(int iter) {
  const int print_unit = iw_(qw::kPrintFile);
  if (msglvl_ > 0) {
    write_text_line(print_unit, "");
    platform::Record rec(120);
    rec.text(" Exit from ").a(type, 2).text(" problem after ").i(iter, 5).text(" iterations.");
    write_text_line(print_unit, rec.str());
    std::vector<double> values(nctotl);
    std::vector<int> predicted(nctotl);
    const int none = 0;
    predict_constraint_status(n, nclin, none, lda, istate, a, x, nullptr, bl, bu, featol,
                              values.data(), predicted.data());
    print_solution_table(msglvl_, iw, n, nclin, none, bigbnd_, predicted.data(), values.data(), bl,
                         bu, clamda, featol);
  }
}

// Norms and condition estimates of one iteration.
struct LsQpRun::Measures {
  double gz = 0.0;   // ||Z'g||
  double gzr = 0.0;  // ||Zr'g||
  double gf = 0.0;   // ||g|| over the free variables (||Z'g|| without general rows)
  bool singular = false;
  double cond_rz = 1.0;
  double cond_t = 1.0;
};

LsQpRun::Measures LsQpRun::measure() const {
  Measures m;
  const int one = 1;
  m.gz = *nz > 0 ? dnrm2_(nz, gq_, &one) : 0.0;
  m.gzr = *nzr > 0 ? dnrm2_(nzr, gq_, &one) : 0.0;
  m.gf = (*nfree > 0 && *nactiv > 0) ? dnrm2_(nfree, gq_, &one) : m.gz;
  m.singular = rz_singular();
  int fail = 0;
  if (*nzr > 0 && nrank > 0) {
    double dmax = 0.0;
    double dmin = 0.0;
    const int stride = ldr + 1;
    abs_range(std::min(*nzr, nrank), r, stride, dmax, dmin);
    m.cond_rz = safe_divide(dmax, dmin, fail);
  }
  if (*nactiv > 0) {
    m.cond_t = safe_divide(rw_(qw::kLargestTDiagonal), rw_(qw::kSmallestTDiagonal), fail);
  }
  return m;
}

// The minor log line (when asked for), then the step and the changes are reset.
void LsQpRun::log_line(const Measures& m) {
  if (msglvl_ > 0) {
    const double shown = *numinf > 0 ? *suminf : *ctx + *obj;
    const Logical hessian = (!fp && nrank > 0) ? kTrue : kFalse;
    print_qp_iteration(type.c_str(), hessian, msglvl_, iw, lines_monitor_, lines_print_, it_.iter,
                       it_.jdel, it_.jadd, it_.kinds, it_.alpha, *numinf, shown, n - *nfree,
                       *nactiv, *nz - *nzr, *nzr, m.gz, m.cond_t, m.cond_rz, n, nclin, *nfree,
                       nrank, lay_.ldt, ldr, istate, x, ax, t_, r, static_cast<int>(type.size()),
                       2);
  }
  it_.alpha = 0.0;
  it_.jadd = 0;
  it_.jdel = 0;
  it_.kinds[0] = it_.kinds[1] = ' ';
}

int LsQpRun::cannot_satisfy() {
  if (msglvl_ > 0) {
    write_text_line(iw_(qw::kPrintFile),
                    " XXX  Warning.  Cannot satisfy the constraints to the accuracy requested.");
  }
  *numinf = 1;
  return static_cast<int>(LsQpExit::kInfeasible);
}

// One step along the search direction; returns an exit code, or kContinue.
int LsQpRun::take_step(bool singular) {
  ++it_.iter;
  double pnorm = 0.0;
  double cp = 0.0;
  direction(singular, pnorm, cp);
  int fail = 0;
  const double alphamax = safe_divide(rw_(qw::kInfiniteStep), pnorm, fail);
  ls_qp::RatioInput in;
  in.n = n;
  in.nclin = nclin;
  in.istate = istate;
  in.bl = bl;
  in.bu = bu;
  in.featol = featol;
  in.x = x;
  in.ax = ax;
  in.p = p_;
  in.ap = ap_;
  in.rownorm = rownorm_;
  in.bigbnd = bigbnd_;
  in.pivot_factor = rw_(qw::kPivotFactor);
  in.pnorm = pnorm;
  in.alphamax = alphamax;
  in.infeasible = *numinf > 0;
  in.release = release_;
  const ls_qp::RatioResult hit = ls_qp::find_step_to_constraint(in);
  bool add = hit.jhit != 0;
  it_.alpha = hit.step;
  if (hit.palfa > 1.0 && !singular) {
    it_.alpha = 1.0;
    add = false;
  }
  if (!add && it_.alpha >= alphamax) {
    return static_cast<int>(*numinf > 0 ? LsQpExit::kInfeasible : LsQpExit::kUnbounded);
  }
  if (std::fabs(it_.alpha) * pnorm <= rw_(qw::kPivotFactor) * *xnorm) {
    if (++it_.negligible > kNegligibleStepLimit) {
      return static_cast<int>(LsQpExit::kNegligibleSteps);
    }
  } else {
    it_.negligible = 0;
  }
  update_after_step(it_.alpha, cp);
  ++it_.unchanged;
  if (add) {
    it_.jadd = hit.jhit;
    if (add_constraint(it_.jadd, hit.at_lower)) {
      it_.kinds[1] = kind_letter(istate[it_.jadd - 1]);
      it_.unchanged = 0;
    }
  }
  if (working_set_violation() != 0) {
    if (!move_onto()) return cannot_satisfy();
    *numinf = -1;
  }
  if (*numinf != 0) it_.need_gradient = true;
  return kContinue;
}

// At a stationary point: the multipliers, and the constraint that leaves the working set;
// returns an exit code, or kContinue.
int LsQpRun::at_stationary_point(double gtol, bool singular) {
  if (fp && *numinf == 0) {
    std::fill(clamda, clamda + nctotl, 0.0);
    return static_cast<int>(LsQpExit::kOptimal);
  }
  // While infeasible the stationarity test is exact (gtol = 0), but the multipliers are
  // judged with a tolerance at the rounding level of the phase-1 gradient: a multiplier of
  // 1e-17 with the wrong sign must not make the working set cycle.
  const int one = 1;
  const double mtol =
      *numinf > 0 ? rw_(qw::kStationarityFactor) * std::max(1.0, dnrm2_(&n, gq_, &one)) : gtol;
  int jdel = 0;
  int kdel = 0;
  int jsmall = 0;
  int jbig = 0;
  int kbig = 0;
  compute_qp_multipliers(n, nclin, *nactiv, *nfree, *nz, *nzr, lay_.ldt, lda, *numinf, jinf, mtol,
                         istate, kactiv, kx, a, gq_, t_, rownorm_, wtinf_, clamda, jdel, kdel,
                         jsmall, jbig, kbig, scratch_);
  int new_status = 0;
  if (jdel == 0 && *numinf > 0 && jbig != 0) {
    jdel = jbig;
    kdel = kbig;
    new_status = clamda[jbig - 1] <= 0.0 ? -1 : -2;
  }
  if (msglvl_ > 0) {
    print_qp_multipliers(type.c_str(), msglvl_, iw, n, *nactiv, *nfree, *nz, *nzr, kactiv, kx,
                         clamda, gq_, jdel, static_cast<int>(type.size()));
  }
  if (jdel == 0 && *numinf > 0) return static_cast<int>(LsQpExit::kInfeasible);
  if (jdel == 0) {
    const bool weak = (jsmall != 0 || singular) && !fp;
    return static_cast<int>(weak ? LsQpExit::kWeakMinimum : LsQpExit::kOptimal);
  }
  it_.jdel = jdel;
  if (jdel > 0) {
    it_.kinds[0] = kind_letter(istate[jdel - 1]);
    istate[jdel - 1] = new_status;
    if (new_status != 0) release_ = true;
  } else {
    it_.kinds[0] = 'A';
  }
  // With Rz singular the factors are left as they stand and the solve ends; the status change
  // of the constraint chosen for deletion stands.
  if (singular) {
    return static_cast<int>(*numinf > 0 ? LsQpExit::kInfeasible : LsQpExit::kWeakMinimum);
  }
  delete_from_working_set(*unitq, n, *nactiv, *nfree, nres_, ngq_, *nz, *nzr, lda, lay_.ldq, ldr,
                          lay_.ldt, nrank, jdel, kdel, kactiv, kx, a, res_, r, t_, gq_, q_, rw);
  it_.unchanged = 0;
  if (new_status != 0) {
    // The released constraint joins the phase-1 objective at once.
    bool became_feasible = false;
    form_gradient(false, became_feasible);
    it_.need_gradient = false;
  }
  return kContinue;
}

int LsQpRun::run(int& iter) {
  bind();
  it_ = Iteration{};
  int limit = fp ? iw_(qw::kMinorLimit) : iw_(qw::kGeneralMinorLimit);
  bool limit_extended = false;
  *numinf = -1;
  *nzr = 0;
  *obj = 0.0;
  *nz = *nfree - *nactiv;
  std::fill(clamda, clamda + nctotl, 0.0);
  int exit = move_onto() ? kContinue : cannot_satisfy();
  const int one = 1;
  bool print_line = true;
  while (exit == kContinue) {
    if (it_.need_gradient) {
      it_.need_gradient = false;
      bool became_feasible = false;
      form_gradient(true, became_feasible);
      if (became_feasible && !fp && !limit_extended) {
        limit = it_.iter + iw_(qw::kMinorLimit);
        limit_extended = true;
      }
    }
    if (nrank >= 1) *obj = 0.5 * (ssq1 * ssq1 + std::pow(dnrm2_(&nrank, res_, &one), 2));
    const Measures m = measure();
    // No line right after a deletion: the deleted constraint shows on the next one.
    if (print_line) log_line(m);
    const double largest_t = *nactiv > 0 ? rw_(qw::kLargestTDiagonal) : 0.0;
    const double gtol = *numinf > 0 ? 0.0
                                    : rw_(qw::kStationarityFactor) *
                                          std::max({largest_t, std::fabs(*ctx + *obj) + 1.0, m.gf});
    const bool stationary = (!m.singular && m.gzr <= gtol) || it_.unchanged >= 2;
    if (!stationary) {
      exit = it_.iter >= limit ? static_cast<int>(LsQpExit::kIterationLimit)
                               : take_step(m.singular);
      print_line = true;
    } else {
      exit = at_stationary_point(gtol, m.singular);
      print_line = false;
    }
  }
  iter = it_.iter;
  return exit;
}

}  // namespace

void solve_ls_qp(const char* prbtyp,
                 const Logical& named,
                 const char* names,
                 const Logical& linobj,
                 Logical& unitq,
                 int& inform,
                 int& iter,
                 const int& jinf,
                 const int& nclin,
                 const int& nctotl,
                 int& nactiv,
                 int& nfree,
                 const int& nrank,
                 int& nz,
                 int& nzr,
                 const int& n,
                 const int& lda,
                 const int& ldr,
                 int* istate,
                 int* kactiv,
                 int* kx,
                 double& ctx,
                 double& obj,
                 const double& ssq1,
                 double& suminf,
                 int& numinf,
                 double& xnorm,
                 const double* bl,
                 const double* bu,
                 const double* a,
                 double* clamda,
                 double* ax,
                 const double* featol,
                 double* r,
                 double* x,
                 double* w,
                 const int* iw,
                 double* rw,
                 int prbtyp_len,
                 int names_len) {
  (void)named;
  (void)names;
  (void)names_len;
  LsQpRun run;
  run.type = std::string(prbtyp, static_cast<std::size_t>(std::clamp(prbtyp_len, 0, 2)));
  run.type.resize(2, ' ');
  run.fp = run.type == "FP";
  run.linobj = is_true(linobj);
  run.unitq = &unitq;
  run.jinf = jinf;
  run.n = n;
  run.nclin = nclin;
  run.nctotl = nctotl;
  run.nactiv = &nactiv;
  run.nfree = &nfree;
  run.nrank = nrank;
  run.nz = &nz;
  run.nzr = &nzr;
  run.lda = lda;
  run.ldr = ldr;
  run.istate = istate;
  run.kactiv = kactiv;
  run.kx = kx;
  run.ctx = &ctx;
  run.obj = &obj;
  run.ssq1 = ssq1;
  run.suminf = &suminf;
  run.numinf = &numinf;
  run.xnorm = &xnorm;
  run.bl = bl;
  run.bu = bu;
  run.a = a;
  run.clamda = clamda;
  run.ax = ax;
  run.featol = featol;
  run.r = r;
  run.x = x;
  run.w = w;
  run.iw = iw;
  run.rw = rw;
  inform = run.run(iter);
  run.finish(iter);
}

}  // namespace zun
