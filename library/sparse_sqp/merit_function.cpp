// The merit function's slacks, penalty parameters and directional terms.
#include "library/sparse_sqp/merit_function.h"

#include <algorithm>
#include <cmath>

#include "library/sparse_sqp/jacobian_product.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/machine.h"

namespace zun {
namespace {

namespace rw = sparse_option::real_word;

constexpr double kTrustWidth = 10.0;
constexpr int kSqrtSmallestNormal = 10;  // real word: sqrt of the smallest normal number

double rz(const double* z, int w) { return z[w - 1]; }

double dot(int n, const double* a, const double* b) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// The interval allowed for the new residual of one row.
struct Interval {
  double lower;
  double upper;
};

}  // namespace

void set_merit_slacks(bool elastic,
                      int n,
                      int ncnln,
                      double tolerance,
                      double wt_inf,
                      const double* bl,
                      const double* bu,
                      double* viol,
                      double* x,
                      const double* y,
                      const double* rho,
                      const double* fcon) {
  for (int i = 0; i < ncnln; ++i) {
    const int j = n + i;
    const double c = fcon[i];
    const double s = x[j];
    const double r0 = c - s;
    double yy = y[i];
    Interval v{r0 - kTrustWidth * (1.0 + std::fabs(r0)), r0 + kTrustWidth * (1.0 + std::fabs(r0))};
    if (!elastic || (bl[j] < s && s < bu[j])) {
      v.lower = std::max(v.lower, c - bu[j]);
      v.upper = std::min(v.upper, c - bl[j]);
    } else if (s >= bu[j]) {
      if (yy > 0.0) {
        v.lower = c - bu[j];
        v.upper = std::min(v.upper, c - bl[j]);
      } else if (yy == 0.0) {
        v.upper = std::min(v.upper, c - bl[j]);
      } else {
        yy += wt_inf;
        v.upper = c - bu[j];
      }
    } else {
      if (yy > 0.0) {
        yy -= wt_inf;
        v.lower = c - bl[j];
      } else if (yy == 0.0) {
        v.lower = std::max(v.lower, c - bu[j]);
      } else {
        v.upper = c - bl[j];
        v.lower = std::max(v.lower, c - bu[j]);
      }
    }
    double r = r0;
    if (std::fabs(yy) > tolerance) {
      if (rho[i] >= tolerance) {
        if (yy >= rho[i] * v.upper) {
          r = v.upper;
        } else if (rho[i] * v.lower >= yy) {
          r = v.lower;
        } else {
          r = yy / rho[i];
        }
      }
    } else {
      r = std::min(std::max(0.0, v.lower), v.upper);
    }
    viol[i] = r;
    x[j] = c - r;
  }
}

void update_penalty_parameters(int ncnln,
                               double& merit,
                               double& derivative,
                               double curvature,
                               PenaltyState& penalty,
                               const double* viol,
                               const double* y,
                               const double* dy,
                               double* rho,
                               double* work,
                               const double* z) {
  const double yv = dot(ncnln, y, viol);
  merit -= yv;
  derivative += yv - dot(ncnln, dy, viol);
  const double tiny = rz(z, kSqrtSmallestNormal);
  double wsq = 0.0;
  for (int i = 0; i < ncnln; ++i) {
    work[i] = std::fabs(viol[i]) > tiny ? viol[i] * viol[i] : 0.0;
    wsq += work[i] * work[i];
  }
  const double w_norm = std::sqrt(wsq);
  int fail = 0;
  const double rho_bar = safe_divide(0.5 * curvature + derivative, w_norm, fail);
  if (fail == 0 && std::fabs(rho_bar) <= penalty.ceiling) {
    const double floor = rz(z, rw::kInitialPenalty);
    double sum = 0.0;
    for (int i = 0; i < ncnln; ++i) {
      const double target = std::max(0.0, work[i] / w_norm * rho_bar);
      const double r = std::sqrt((penalty.step_factor + target) * rho[i]);
      if (r < 0.5 * rho[i]) rho[i] = r;
      rho[i] = std::max({rho[i], target, floor});
      sum += rho[i] * rho[i];
    }
    const double old = penalty.norm;
    penalty.norm = std::sqrt(sum);
    if ((penalty.direction_down && penalty.norm < old) ||
        (!penalty.direction_down && penalty.norm > old)) {
      penalty.direction_down = !penalty.direction_down;
      penalty.step_factor = std::min(2.0 * penalty.step_factor, 1.0 / rz(z, rw::kEpsPow08));
    }
  }
  double quad = 0.0;
  for (int i = 0; i < ncnln; ++i) quad += viol[i] * rho[i] * viol[i];
  merit += 0.5 * quad;
  derivative -= quad;
}

double merit_directional_derivative(int sign,
                                    int ncnln,
                                    int nonln,
                                    int njnln,
                                    int nnl,
                                    const JacobianStructure& jac,
                                    const double* gobj_old,
                                    const double* gobj_new,
                                    const double* gcon_old,
                                    const double* gcon_new,
                                    const double* p,
                                    double* yvec,
                                    const double* y1) {
  if (nnl < 1) return 0.0;
  for (int j = 0; j < nnl; ++j) {
    yvec[j] = j < nonln ? (sign < 0 ? -(gobj_new[j] - gobj_old[j]) : gobj_new[j] - gobj_old[j])
                        : 0.0;
  }
  if (ncnln >= 1) {
    multiply_jacobian("Transpose", jac, gcon_new, -1.0, y1, njnln, 1.0, yvec, ncnln);
    multiply_jacobian("Transpose", jac, gcon_old, 1.0, y1, njnln, 1.0, yvec, ncnln);
  }
  return dot(nnl, p, yvec);
}

double max_step_to_bounds(int nb,
                          double start_step,
                          double floor,
                          double tolerance,
                          double margin,
                          const double* bl,
                          const double* bu,
                          const double* x,
                          const double* p) {
  double alpha = start_step;
  if (nb >= 1 && floor < alpha) {
    for (int j = 0; j < nb; ++j) {
      const double pj = p[j];
      if (std::fabs(pj) <= tolerance) continue;
      const double room = pj > 0.0 ? bu[j] - x[j] : x[j] - bl[j];
      if (alpha * std::fabs(pj) > room) alpha = room / std::fabs(pj);
      if (alpha <= floor) break;
    }
  }
  return alpha >= floor + margin ? alpha : floor;
}

}  // namespace zun
