// Test fixture of the QP minor iterations: random convex QPs on the LP fixture, a dense Hessian
// product routine handed down through the routine arguments, KKT checks with the returned
// multipliers, an enumeration reference for small cases, and a check of R'R = Z'HZ with Z
// formed explicitly from a dense B^-1 S.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "library/sparse_qp/reduced_hessian.h"
#include "library/sparse_qp/sparse_qp.h"
#include "tests/sparse_qp/lp_fixture.h"

namespace zun::qp_test {

namespace rw = sparse_option::real_word;
namespace iw = sparse_option::integer_word;

// hv := Hu v with Hu the nnh x nnh column-major matrix handed over in RUSR.
inline void dense_hessian(PassedRoutine,
                          PassedRoutine,
                          const double&,
                          const int&,
                          const int&,
                          const int& nnh,
                          const int&,
                          const int&,
                          const double*,
                          const int*,
                          const int*,
                          const double* v,
                          double* hv,
                          const char*,
                          int& status,
                          int*,
                          const int&,
                          double*,
                          const int&,
                          int*,
                          double* rusr,
                          int mode_len) {
  status = mode_len == 8 ? 0 : 1;
  for (int i = 0; i < nnh; ++i) {
    double s = 0.0;
    for (int j = 0; j < nnh; ++j) s += rusr[i + j * nnh] * v[j];
    hv[i] = s;
  }
}

// A QP: minimise sign x (g'(x - x0) + 0.5 (x - x0)' Hu (x - x0) + scale x s_obj) on the LP's
// rows and bounds; Hu the Hessian of the unsigned objective (sign x a positive definite H).
struct Qp {
  Lp lp;
  int nnobj = 0;
  int nnh = 0;
  double sign = 1.0;
  std::vector<double> hu;  // nnh x nnh
  std::vector<double> g;   // nnobj
  std::vector<double> x0;  // nnobj
  int objective_row = 0;   // 0: none
  double scale = 0.0;

  // The unsigned gradient at x over the nnobj leading variables.
  std::vector<double> gradient(const std::vector<double>& x) const {
    std::vector<double> out(g);
    for (int i = 0; i < nnh; ++i) {
      for (int j = 0; j < nnh; ++j) out[i] += hu[i + j * nnh] * (x[j] - x0[j]);
    }
    return out;
  }
  // The objective to minimise at x.
  double objective(const std::vector<double>& x) const {
    double f = 0.0;
    for (int j = 0; j < nnobj; ++j) f += g[j] * (x[j] - x0[j]);
    for (int i = 0; i < nnh; ++i) {
      for (int j = 0; j < nnh; ++j) f += 0.5 * (x[i] - x0[i]) * hu[i + j * nnh] * (x[j] - x0[j]);
    }
    if (objective_row > 0) f += scale * x[lp.n + objective_row - 1];
    return sign * f;
  }
};

// Hu := sign (L L' + mu I), L random lower triangular.
inline std::vector<double> random_hessian(std::mt19937& gen, int nnh, double mu, double sign) {
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> l(nnh * nnh, 0.0);
  for (int j = 0; j < nnh; ++j) {
    for (int i = j; i < nnh; ++i) l[i + j * nnh] = value(gen);
  }
  std::vector<double> h(nnh * nnh, 0.0);
  for (int i = 0; i < nnh; ++i) {
    for (int j = 0; j < nnh; ++j) {
      double s = i == j ? mu : 0.0;
      for (int k = 0; k < nnh; ++k) s += l[i + k * nnh] * l[j + k * nnh];
      h[i + j * nnh] = sign * s;
    }
  }
  return h;
}

// The state of one subproblem solve.
struct QpRun {
  std::vector<double> x;
  std::vector<int> state;
  int result = -1;
  int ns = 0;
  int itn = 0;
  int minor = 0;
  bool elastic = false;
  bool r_valid = false;
  bool factorize = true;
  std::string basis_type = "BT";
  MinorObjective objective;
  MinorMeasures measures;
};

// Settings of the tests: tight tolerances, limits from the workspace.
inline MinorSettings test_settings(const Qp& qp, Workspace& w) {
  MinorSettings s;
  s.m = qp.lp.m;
  s.n = qp.lp.n;
  s.superbasics_limit = w.i(iw::kSuperbasicsLimit);
  s.nnobj = qp.nnobj;
  s.nnh = qp.nnh;
  s.minor_limit = 100000;
  s.objective_sign = qp.sign;
  s.elastic_weight = 1.0;
  s.optimality_tol = 1e-11;
  s.phase1_optimality_tol = 1e-11;
  s.feasibility_tol = 1e-11;
  return s;
}

// A workspace for the QP: room for superbasics up to n and the Hessian variables.
inline Workspace qp_workspace(const Qp& qp, int superbasics = -1) {
  const int s = superbasics > 0 ? superbasics : std::max(qp.lp.n, 1);
  OptionChanges changes;
  changes.integers = {{iw::kSuperbasicsLimit, s}, {iw::kReducedHessianDim, s}};
  Workspace w(qp.lp, changes, -1, -1, -1, std::max(qp.nnobj, 1));
  w.i(sparse_ws::integer_word::kObjectiveRow) = qp.objective_row;
  w.r(minor_word::real_word::kObjectiveRowScale) = qp.scale;
  return w;
}

// One call of the minor iterations on the run's state.
inline void solve_qp(const Qp& qp,
                     Workspace& w,
                     QpRun& run,
                     const MinorSettings& settings,
                     std::string_view kind = "QPSubproblem") {
  QpRoutines routines;
  routines.hessian_product = dense_hessian;
  routines.rusr = const_cast<double*>(qp.hu.data());
  run.objective.gobj = qp.g.data();
  run.objective.x0 = qp.x0.data();
  bool reset = false;
  minor_iterations(kind, "QP subproblem.       ", run.elastic, run.result, routines, run.r_valid,
                   run.factorize, run.basis_type, reset, settings, run.ns, run.minor, run.itn,
                   run.objective, run.measures, qp.lp.matrix(), run.state.data(), qp.lp.bl.data(),
                   qp.lp.bu.data(), run.x.data(), w.iz.data(), w.leniz, w.z.data(), w.lenz);
}

// Start of a run: the LP fixture's start (crash), then the structural values of x (when
// given) put in place; nonbasic states follow from the values.
inline QpRun start_qp(const Qp& qp, Workspace& w, int crash, const std::vector<double>& x = {}) {
  const LpRun lp_run = start_run(qp.lp, w, crash);
  QpRun run;
  run.x = lp_run.x;
  run.state = lp_run.state;
  for (std::size_t j = 0; j < x.size(); ++j) run.x[j] = x[j];
  return run;
}

// Dense solve of the square system a (n x n, row-major) y = b by partial pivoting; false when
// a pivot falls below tol x the largest entry.
inline bool dense_solve(std::vector<std::vector<double>> a, std::vector<double>& b, double tol) {
  const int n = static_cast<int>(b.size());
  double big = 0.0;
  for (const auto& row : a) {
    for (double v : row) big = std::max(big, std::abs(v));
  }
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int r = c + 1; r < n; ++r) {
      if (std::abs(a[r][c]) > std::abs(a[p][c])) p = r;
    }
    if (std::abs(a[p][c]) <= tol * std::max(big, 1.0)) return false;
    std::swap(a[p], a[c]);
    std::swap(b[p], b[c]);
    for (int r = c + 1; r < n; ++r) {
      const double t = a[r][c] / a[c][c];
      if (t == 0.0) continue;
      for (int k = c; k < n; ++k) a[r][k] -= t * a[c][k];
      b[r] -= t * b[c];
    }
  }
  for (int c = n - 1; c >= 0; --c) {
    double s = b[c];
    for (int k = c + 1; k < n; ++k) s -= a[c][k] * b[k];
    b[c] = s / a[c][c];
  }
  return true;
}

// Rows of A as dense vectors.
inline std::vector<std::vector<double>> dense_rows(const Lp& lp) {
  std::vector<std::vector<double>> a(lp.m, std::vector<double>(lp.n, 0.0));
  for (int j = 0; j < lp.n; ++j) {
    for (int l = lp.starts[j]; l < lp.starts[j + 1]; ++l) a[lp.rows[l - 1] - 1][j] += lp.values[l - 1];
  }
  return a;
}

// True when coef is independent of the orthonormal vectors of basis, to which its normalised
// remainder is then added.
inline bool independent(std::vector<std::vector<double>>& basis, std::vector<double> coef) {
  double before = 0.0;
  for (double v : coef) before += v * v;
  for (const auto& q : basis) {
    double t = 0.0;
    for (std::size_t k = 0; k < coef.size(); ++k) t += q[k] * coef[k];
    for (std::size_t k = 0; k < coef.size(); ++k) coef[k] -= t * q[k];
  }
  double after = 0.0;
  for (double v : coef) after += v * v;
  if (after <= 1e-20 * std::max(before, 1.0)) return false;
  for (double& v : coef) v /= std::sqrt(after);
  basis.push_back(coef);
  return true;
}

// Least value of the QP (elastic rows, when elastic_rows, cost weight x their violation) by
// enumeration of the active faces: every column and row at a bound, free, or (elastic rows)
// beyond a bound.  Small cases only.
inline double enumeration_reference(const Qp& qp, bool elastic_rows = false, double weight = 0.0) {
  const Lp& lp = qp.lp;
  const int n = lp.n;
  const int nb = n + lp.m;
  const auto rows = dense_rows(lp);
  // Minimisation form: 0.5 x'Hx + c'x (constants dropped, added back by qp.objective).
  std::vector<double> h(n * n, 0.0);
  std::vector<double> c(n, 0.0);
  for (int i = 0; i < qp.nnh; ++i) {
    for (int j = 0; j < qp.nnh; ++j) h[i + j * n] = qp.sign * qp.hu[i + j * qp.nnh];
  }
  const std::vector<double> zero(n, 0.0);
  std::vector<double> x0full(n, 0.0);
  for (int j = 0; j < qp.nnobj; ++j) x0full[j] = qp.x0[j];
  {
    std::vector<double> xs(nb, 0.0);
    for (int j = 0; j < qp.nnobj; ++j) xs[j] = qp.x0[j];
    const std::vector<double> g0 = qp.gradient(xs);
    for (int j = 0; j < qp.nnobj; ++j) c[j] = qp.sign * g0[j];
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) c[i] -= h[i + j * n] * x0full[j];
    }
    if (qp.objective_row > 0) {
      for (int j = 0; j < n; ++j) c[j] += qp.sign * qp.scale * rows[qp.objective_row - 1][j];
    }
  }
  // Face codes: 0 free inside, 1 at lower, 2 at upper, 3 below (elastic), 4 above (elastic).
  std::vector<int> face(nb, 0);
  double best = kInf;
  const double tol = 1e-9;
  auto value_of = [&](int j, const std::vector<double>& x) {
    if (j < n) return x[j];
    double s = 0.0;
    for (int k = 0; k < n; ++k) s += rows[j - n][k] * x[k];
    return s;
  };
  std::function<void(int, int)> walk = [&](int j, int active) {
    if (j == nb) {
      std::vector<double> lin(c);
      std::vector<std::vector<double>> eq;
      std::vector<std::vector<double>> basis;
      std::vector<double> rhs;
      for (int v = 0; v < nb; ++v) {
        std::vector<double> coef(n, 0.0);
        if (v < n) {
          coef[v] = 1.0;
        } else {
          coef = rows[v - n];
        }
        if (face[v] == 1 || face[v] == 2) {
          if (!independent(basis, coef)) continue;  // the feasibility test below decides
          eq.push_back(coef);
          rhs.push_back(face[v] == 1 ? lp.bl[v] : lp.bu[v]);
        } else if (face[v] == 3 || face[v] == 4) {
          const double sgn = face[v] == 3 ? -weight : weight;
          for (int k = 0; k < n; ++k) lin[k] += sgn * coef[k];
        }
      }
      const int k = static_cast<int>(eq.size());
      std::vector<std::vector<double>> kkt(n + k, std::vector<double>(n + k, 0.0));
      std::vector<double> b(n + k, 0.0);
      for (int r = 0; r < n; ++r) {
        for (int s = 0; s < n; ++s) kkt[r][s] = h[r + s * n];
        b[r] = -lin[r];
      }
      for (int e = 0; e < k; ++e) {
        for (int s = 0; s < n; ++s) {
          kkt[n + e][s] = eq[e][s];
          kkt[s][n + e] = eq[e][s];
        }
        b[n + e] = rhs[e];
      }
      if (!dense_solve(kkt, b, 1e-12)) return;
      std::vector<double> x(b.begin(), b.begin() + n);
      double viol = 0.0;
      for (int v = 0; v < nb; ++v) {
        const double xv = value_of(v, x);
        const double lo = lp.bl[v];
        const double up = lp.bu[v];
        if (face[v] == 3) {
          if (xv > lo + tol) return;
          viol += lo - xv;
        } else if (face[v] == 4) {
          if (xv < up - tol) return;
          viol += xv - up;
        } else if (xv < lo - tol || xv > up + tol) {
          return;
        }
      }
      std::vector<double> full(nb, 0.0);
      for (int v = 0; v < nb; ++v) full[v] = value_of(v, x);
      best = std::min(best, qp.objective(full) + weight * viol);
      return;
    }
    const bool fixed = lp.bl[j] == lp.bu[j];
    const bool elastic = elastic_rows && j >= n;
    for (int f = 0; f <= 4; ++f) {
      if (fixed && !elastic && f != 1) continue;
      if ((f == 1 && lp.bl[j] <= -kInf) || (f == 2 && (lp.bu[j] >= kInf || fixed))) continue;
      if (f >= 3 && (!elastic || (f == 3 && lp.bl[j] <= -kInf) || (f == 4 && lp.bu[j] >= kInf))) {
        continue;
      }
      if (f == 0 && fixed) continue;
      face[j] = f;
      walk(j + 1, active + (f == 1 || f == 2 ? 1 : 0));
    }
  };
  walk(0, 0);
  return best;
}

// Largest violation of the first-order conditions at the end point, scaled by the size of the
// gradient and multipliers: stationarity of basic, superbasic and free variables, multiplier
// signs at the bounds, row residuals and bound violations.
inline double kkt_residual(const Qp& qp, Workspace& w, const QpRun& run, double weight = 0.0) {
  const Lp& lp = qp.lp;
  const int n = lp.n;
  const double* pi = w.reals(sparse_ws::real_array::kPi);
  const std::vector<double> g = qp.gradient(run.x);
  const int* estate = w.ints(sparse_ws::int_array::kElasticAllowance);
  double size = 1.0;
  for (int i = 0; i < lp.m; ++i) size = std::max(size, std::abs(pi[i]));
  for (double v : g) size = std::max(size, std::abs(v));
  double worst = 0.0;
  double xsize = 1.0;
  for (double v : run.x) xsize = std::max(xsize, std::abs(v));
  worst = std::max(worst, max_row_residual(lp, run.x) / xsize);
  for (int j = 0; j < n + lp.m; ++j) {
    double d = 0.0;
    if (j < n) {
      d = j < qp.nnobj ? qp.sign * g[j] : 0.0;
      for (int l = lp.starts[j]; l < lp.starts[j + 1]; ++l) d -= pi[lp.rows[l - 1] - 1] * lp.values[l - 1];
    } else {
      d = pi[j - n];
      if (qp.objective_row > 0 && j == n + qp.objective_row - 1) d += qp.sign * qp.scale;
    }
    const double lo = lp.bl[j];
    const double up = lp.bu[j];
    const double xj = run.x[j];
    const double ftol = 1e-9 * std::max(1.0, std::abs(xj));
    const bool elastic = weight > 0.0 && estate[j] != 0;
    if (elastic && xj < lo - ftol) {
      worst = std::max(worst, std::abs(d - weight) / size);
      continue;
    }
    if (elastic && xj > up + ftol) {
      worst = std::max(worst, std::abs(d + weight) / size);
      continue;
    }
    worst = std::max(worst, std::max(lo - xj, xj - up) / xsize);
    if (lo == up) continue;
    const bool at_lower = xj <= lo + ftol;
    const bool at_upper = xj >= up - ftol;
    if (run.state[j] >= VariableState::kSuperbasic || (!at_lower && !at_upper)) {
      worst = std::max(worst, std::abs(d) / size);
    } else if (at_lower) {
      const double upper_room = elastic ? weight : kInf;
      worst = std::max(worst, std::max(-d, d - upper_room) / size);
    } else {
      const double room = elastic ? weight : kInf;
      worst = std::max(worst, std::max(d, -d - room) / size);
    }
  }
  return worst;
}

// max |R'R - Z'HZ| over the superbasics, Z = [-B^-1 S; I] formed with a dense B, H = sign Hu.
inline double r_invariant(const Qp& qp, Workspace& w, int ns) {
  const Lp& lp = qp.lp;
  const int m = lp.m;
  const int n = lp.n;
  const int* bs = w.ints(sparse_ws::int_array::kBsIndex);
  const double* r = w.reals(sparse_ws::real_array::kReducedHessian);
  const auto rows = dense_rows(lp);
  auto column = [&](int j) {
    std::vector<double> col(m, 0.0);
    if (j > n) {
      col[j - n - 1] = -1.0;
    } else {
      for (int i = 0; i < m; ++i) col[i] = rows[i][j - 1];
    }
    return col;
  };
  std::vector<std::vector<double>> b(m, std::vector<double>(m));
  for (int k = 0; k < m; ++k) {
    const std::vector<double> col = column(bs[k]);
    for (int i = 0; i < m; ++i) b[i][k] = col[i];
  }
  // zcols[k]: the Hessian-variable part of Z e_k.
  std::vector<std::vector<double>> zcols(ns, std::vector<double>(qp.nnh, 0.0));
  for (int k = 0; k < ns; ++k) {
    std::vector<double> y = column(bs[m + k]);
    if (m > 0 && !dense_solve(b, y, 1e-14)) return kInf;
    for (int i = 0; i < m; ++i) {
      if (bs[i] >= 1 && bs[i] <= qp.nnh) zcols[k][bs[i] - 1] -= y[i];
    }
    if (bs[m + k] <= qp.nnh) zcols[k][bs[m + k] - 1] += 1.0;
  }
  double worst = 0.0;
  for (int i = 0; i < ns; ++i) {
    for (int j = 0; j < ns; ++j) {
      double zhz = 0.0;
      for (int a = 0; a < qp.nnh; ++a) {
        for (int c = 0; c < qp.nnh; ++c) {
          zhz += zcols[i][a] * qp.sign * qp.hu[a + c * qp.nnh] * zcols[j][c];
        }
      }
      double rtr = 0.0;
      for (int k = 1; k <= std::min(i, j) + 1; ++k) rtr += r[packed(k, i + 1)] * r[packed(k, j + 1)];
      worst = std::max(worst, std::abs(rtr - zhz));
    }
  }
  return worst;
}

// Largest |Hu(i,j)|.
inline double hessian_norm(const Qp& qp) {
  double v = 1.0;
  for (double h : qp.hu) v = std::max(v, std::abs(h));
  return v;
}

}  // namespace zun::qp_test
