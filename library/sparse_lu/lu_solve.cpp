// lu_solve: solves with the L and U factors of the sparse LU and their transposes.
#include <cmath>

#include "library/sparse_lu/lu_internal.h"
#include "library/sparse_lu/sparse_lu.h"

namespace zun {
namespace lu {
namespace {

namespace iw = lu_integer_words;
namespace rw = lu_real_words;

// Places of the single-entry L factors added by column replacements: lena - lenL0 down to
// lena - lenL + 1.
struct LaterFactors {
  int top;
  int bottom;
};

LaterFactors later_factors(const Factors& f) {
  const int len_l0 = f.iword(iw::kNumL0) == 0 ? 0 : f.iword(iw::kLenL0);
  return {f.lena - len_l0, f.lena - f.iword(iw::kLenL) + 1};
}

// w := U^-1 v; returns the residual sum of |v| over the rows beyond the rank.
double solve_u(const Factors& f, Array1<double> v, Array1<double> w) {
  const double small = f.rword(rw::kDropTol);
  const int nrank = f.iword(iw::kRank);
  int klast = 0;
  for (int k = nrank; k >= 1; --k) {
    if (std::abs(v[f.ip[k]]) > small) {
      klast = k;
      break;
    }
  }
  for (int k = klast + 1; k <= f.n; ++k) w[f.iq[k]] = 0.0;
  for (int k = klast; k >= 1; --k) {
    const int i = f.ip[k];
    const int l1 = f.locr[i];
    double t = v[i];
    for (int l = l1 + 1; l < l1 + f.lenr[i]; ++l) t -= f.a[l] * w[f.indr[l]];
    t = std::abs(t) <= small ? 0.0 : t / f.a[l1];
    w[f.iq[k]] = t;
  }
  double resid = 0.0;
  for (int k = nrank + 1; k <= f.m; ++k) resid += std::abs(v[f.ip[k]]);
  return resid;
}

// v := U^-T w (w is overwritten); returns the residual sum of |w| over the columns beyond the
// rank.
double solve_ut(const Factors& f, Array1<double> v, Array1<double> w) {
  const double small = f.rword(rw::kDropTol);
  const int nrank = f.iword(iw::kRank);
  for (int k = nrank + 1; k <= f.m; ++k) v[f.ip[k]] = 0.0;
  for (int k = 1; k <= nrank; ++k) {
    const int i = f.ip[k];
    const int l1 = f.locr[i];
    double t = w[f.iq[k]];
    t = std::abs(t) <= small ? 0.0 : t / f.a[l1];
    v[i] = t;
    if (t == 0.0) continue;
    for (int l = l1 + 1; l < l1 + f.lenr[i]; ++l) w[f.indr[l]] -= f.a[l] * t;
  }
  double resid = 0.0;
  for (int k = nrank + 1; k <= f.n; ++k) resid += std::abs(w[f.iq[k]]);
  return resid;
}

}  // namespace

void solve_l(const Factors& f, Array1<double> v) {
  const double small = f.rword(rw::kDropTol);
  const int num_l0 = f.iword(iw::kNumL0);
  int end = f.lena;
  for (int k = 1; k <= num_l0; ++k) {
    const int len = f.lenc[k];
    const int low = end - len + 1;
    const double vpiv = v[f.indr[low]];
    if (std::abs(vpiv) > small) {
      for (int l = low; l <= end; ++l) v[f.indc[l]] += f.a[l] * vpiv;
    }
    end = low - 1;
  }
  const LaterFactors later = later_factors(f);
  for (int l = later.top; l >= later.bottom; --l) {
    const double vs = v[f.indr[l]];
    if (std::abs(vs) > small) v[f.indc[l]] += f.a[l] * vs;
  }
}

void solve_lt(const Factors& f, Array1<double> v) {
  const double small = f.rword(rw::kDropTol);
  const int num_l0 = f.iword(iw::kNumL0);
  const LaterFactors later = later_factors(f);
  for (int l = later.bottom; l <= later.top; ++l) {
    const double vt = v[f.indc[l]];
    if (std::abs(vt) > small) v[f.indr[l]] += f.a[l] * vt;
  }
  int low = f.lena - (num_l0 == 0 ? 0 : f.iword(iw::kLenL0)) + 1;
  for (int k = num_l0; k >= 1; --k) {
    const int len = f.lenc[k];
    double sum = 0.0;
    for (int l = low; l < low + len; ++l) sum += f.a[l] * v[f.indc[l]];
    v[f.indr[low]] += sum;
    low += len;
  }
}

}  // namespace lu

void lu_solve(const int& mode,
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
  using lu::Array1;
  const lu::Factors f{m,
                      n,
                      lena,
                      Array1<int>(luparm),
                      Array1<double>(parmlu),
                      Array1<double>(a),
                      Array1<int>(indc),
                      Array1<int>(indr),
                      Array1<int>(ip),
                      Array1<int>(iq),
                      Array1<int>(lenc),
                      Array1<int>(lenr),
                      Array1<int>(locc),
                      Array1<int>(locr)};
  const Array1<double> vv(v);
  const Array1<double> ww(w);
  double resid = 0.0;
  switch (mode) {
    case 1:
      lu::solve_l(f, vv);
      break;
    case 2:
      lu::solve_lt(f, vv);
      break;
    case 3:
      resid = lu::solve_u(f, vv, ww);
      break;
    case 4:
      resid = lu::solve_ut(f, vv, ww);
      break;
    case 5:
      lu::solve_l(f, vv);
      resid = lu::solve_u(f, vv, ww);
      break;
    case 6:
      resid = lu::solve_ut(f, vv, ww);
      lu::solve_lt(f, vv);
      break;
    default:
      break;
  }
  inform = resid > 0.0 ? lu_inform::kSingular : lu_inform::kOk;
  f.luparm[lu_integer_words::kInform] = inform;
  f.parmlu[lu_real_words::kResidual] = resid;
}

}  // namespace zun
