// The quasi-Newton Hessian: reset, product and the BFGS update in both storage modes.
#include "library/sparse_sqp/quasi_newton.h"

#include <algorithm>
#include <cstddef>

#include "library/support/one_based.h"

namespace zun {

namespace hw = hessian_word;

QuasiNewtonHessian::QuasiNewtonHessian(int nnl, int* iz, double* z)
    : nnl_(nnl), mode_(iz[hw::kStorage - 1]), iz_(iz), z_(z) {}

int QuasiNewtonHessian::updates() const { return iz_[hw::kUpdates - 1]; }

namespace {

double* at(double* z, const int* iz, int position_word) {
  return Words<double>(z).at(iz[position_word - 1]);
}

}  // namespace

std::size_t QuasiNewtonHessian::packed(int i, int j) const {
  // Row i (0-based) starts at i n - i (i - 1) / 2.
  const auto n = static_cast<std::size_t>(nnl_);
  const auto si = static_cast<std::size_t>(i);
  return si * n - si * (si - (si > 0 ? 1 : 0)) / 2 + static_cast<std::size_t>(j - i);
}

void QuasiNewtonHessian::identity() {
  if (limited()) {
    std::fill(at(z_, iz_, hw::kDiagonal), at(z_, iz_, hw::kDiagonal) + nnl_, 1.0);
    return;
  }
  double* h = at(z_, iz_, hw::kFull);
  for (int i = 0; i < nnl_; ++i) {
    for (int j = i; j < nnl_; ++j) h[packed(i, j)] = i == j ? 1.0 : 0.0;
  }
}

template <class F>
void QuasiNewtonHessian::each_pair(F f) const {
  const double* u = at(z_, iz_, hw::kU);
  const double* w = at(z_, iz_, hw::kV);
  const double* inv_apy = at(z_, iz_, hw::kInvAlphaPy);
  const double* inv_php = at(z_, iz_, hw::kInvPHp);
  const auto n = static_cast<std::size_t>(nnl_);
  for (int k = 0; k < updates(); ++k) {
    const auto offset = static_cast<std::size_t>(k) * n;
    f(u + offset, w + offset, inv_apy[k], inv_php[k]);
  }
}

void QuasiNewtonHessian::reset(char& flag2) {
  iz_[hw::kUpdates - 1] = 0;
  iz_[hw::kResetCountInUse - 1] = iz_[hw::kResetCount - 1];
  iz_[hw::kSkips - 1] = 0;
  flag2 = 'R';
  identity();
}

double QuasiNewtonHessian::diagonal(int i) const {
  if (limited()) return at(z_, iz_, hw::kDiagonal)[i];
  return at(z_, iz_, hw::kFull)[packed(i, i)];
}

void QuasiNewtonHessian::multiply(int sign, const double* v, double* hv) const {
  if (limited()) {
    const double* d = at(z_, iz_, hw::kDiagonal);
    for (int i = 0; i < nnl_; ++i) hv[i] = d[i] * v[i];
    each_pair([&](const double* uk, const double* vk, double inv_apy, double inv_php) {
      double ut = 0.0;
      double vt = 0.0;
      for (int i = 0; i < nnl_; ++i) {
        ut += uk[i] * v[i];
        vt += vk[i] * v[i];
      }
      ut *= inv_php;
      vt *= inv_apy;
      for (int i = 0; i < nnl_; ++i) hv[i] += vt * vk[i] - ut * uk[i];
    });
  } else {
    const double* h = at(z_, iz_, hw::kFull);
    std::fill(hv, hv + nnl_, 0.0);
    for (int i = 0; i < nnl_; ++i) {
      hv[i] += h[packed(i, i)] * v[i];
      for (int j = i + 1; j < nnl_; ++j) {
        const double hij = h[packed(i, j)];
        hv[i] += hij * v[j];
        hv[j] += hij * v[i];
      }
    }
  }
  if (sign < 0) {
    for (int i = 0; i < nnl_; ++i) hv[i] = -hv[i];
  }
}

void QuasiNewtonHessian::fold_limited(const double* hp,
                                      double php,
                                      const double* y,
                                      double apy,
                                      bool with_pair) {
  double* d = at(z_, iz_, hw::kDiagonal);
  each_pair([&](const double* uk, const double* vk, double inv_apy, double inv_php) {
    for (int i = 0; i < nnl_; ++i) d[i] += vk[i] * vk[i] * inv_apy - uk[i] * uk[i] * inv_php;
  });
  if (with_pair) {
    for (int i = 0; i < nnl_; ++i) d[i] += y[i] * y[i] / apy - hp[i] * hp[i] / php;
  }
}

void QuasiNewtonHessian::reject(char& flag2, int ncnln) {
  int& skips = iz_[hw::kSkips - 1];
  ++skips;
  if (ncnln < 1 || skips <= iz_[hw::kSkipsAllowed - 1]) return;
  skips = 0;
  if (updates() == 0) {
    identity();
    return;
  }
  if (limited()) {
    fold_limited(nullptr, 0.0, nullptr, 0.0, false);
  } else {
    double* h = at(z_, iz_, hw::kFull);
    for (int i = 0; i < nnl_; ++i) {
      for (int j = i + 1; j < nnl_; ++j) h[packed(i, j)] = 0.0;
    }
  }
  flag2 = 'r';
  iz_[hw::kUpdates - 1] = 0;
}

namespace {

// The first update after a reset scales H by (alpha p'y) / (alpha^2 p'Hp).
double first_scale(char& flag1, double alpha, double py, double& php, double* hp, int nnl) {
  const double scale = (alpha * py) / (alpha * alpha * php);
  for (int i = 0; i < nnl; ++i) hp[i] *= scale;
  php *= scale;
  flag1 = flag1 == ' ' ? 's' : 'S';
  return scale;
}

}  // namespace

bool QuasiNewtonHessian::update_limited(char& flag1,
                                        char& flag2,
                                        double alpha,
                                        double py,
                                        double php,
                                        double* hp,
                                        const double* y) {
  int& count = iz_[hw::kUpdates - 1];
  int& one_time = iz_[hw::kResetCountInUse - 1];
  if (count == 0) {
    const double scale = first_scale(flag1, alpha, py, php, hp, nnl_);
    z_[hw::kFirstScale - 1] = scale;
    double* d = at(z_, iz_, hw::kDiagonal);
    for (int i = 0; i < nnl_; ++i) d[i] *= scale;
  }
  const double apy = alpha * py;
  if (count < iz_[hw::kUpdateLimit - 1] && count != one_time) {
    const auto n = static_cast<std::size_t>(nnl_);
    const auto k = static_cast<std::size_t>(count);
    std::copy(hp, hp + nnl_, at(z_, iz_, hw::kU) + k * n);
    std::copy(y, y + nnl_, at(z_, iz_, hw::kV) + k * n);
    at(z_, iz_, hw::kInvAlphaPy)[k] = 1.0 / apy;
    at(z_, iz_, hw::kInvPHp)[k] = 1.0 / php;
    ++count;
    iz_[hw::kSkips - 1] = 0;
    return true;
  }
  fold_limited(hp, php, y, apy, true);
  if (count == one_time) {
    flag2 = 'f';
    one_time = -1;
  } else {
    flag2 = 'R';
  }
  count = 0;
  iz_[hw::kSkips - 1] = 0;
  return true;
}

bool QuasiNewtonHessian::update_full(char& flag1,
                                     double alpha,
                                     double py,
                                     double php,
                                     double* hp,
                                     const double* y) {
  int& count = iz_[hw::kUpdates - 1];
  double* h = at(z_, iz_, hw::kFull);
  if (count == 0) {
    const double scale = first_scale(flag1, alpha, py, php, hp, nnl_);
    z_[hw::kFirstScale - 1] = scale;
    for (int i = 0; i < nnl_; ++i) h[packed(i, i)] *= scale;
  }
  const double apy = alpha * py;
  for (int i = 0; i < nnl_; ++i) {
    for (int j = i; j < nnl_; ++j) h[packed(i, j)] += y[i] * y[j] / apy - hp[i] * hp[j] / php;
  }
  ++count;
  iz_[hw::kSkips - 1] = 0;
  return true;
}

bool QuasiNewtonHessian::update(char& flag1,
                                char& flag2,
                                int ncnln,
                                double alpha,
                                double py,
                                double threshold,
                                double php,
                                double* hp,
                                const double* y) {
  if (!limited()) {
    int& count = iz_[hw::kUpdates - 1];
    int& one_time = iz_[hw::kResetCountInUse - 1];
    if (count >= iz_[hw::kUpdateLimit - 1] || count == one_time) {
      flag2 = count == one_time ? 'f' : 'R';
      if (count == one_time) one_time = -1;
      identity();
      count = 0;
      iz_[hw::kSkips - 1] = 0;
      return false;
    }
  }
  if (!(py >= threshold && php > 0.0)) {
    reject(flag2, ncnln);
    return false;
  }
  return limited() ? update_limited(flag1, flag2, alpha, py, php, hp, y)
                   : update_full(flag1, alpha, py, php, hp, y);
}

}  // namespace zun
