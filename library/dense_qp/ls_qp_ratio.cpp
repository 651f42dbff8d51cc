// The two-pass ratio test of the dense QP/LS solver: the longest step along p that keeps the
// satisfied constraints within their tolerances, with the largest pivot among the near ties.
#include <cmath>

#include "library/dense_qp/ls_qp_internal.h"

namespace zun::ls_qp {

namespace {

// One constraint as seen along the direction (sign applied).
struct Along {
  int j = 0;
  int status = 0;
  double value = 0.0;  // x(j) or a'x
  double rate = 0.0;   // p(j) or a'p
  double weight = 1.0; // 1 for a bound, 1 + ||a|| for a row
  double lower = 0.0;
  double upper = 0.0;
  double tol = 0.0;
};

template <class Visit>
void for_each_candidate(const RatioInput& in, double sign, Visit visit) {
  for (int j = 1; j <= in.n + in.nclin; ++j) {
    const int status = in.istate[j - 1];
    if (status > 0) continue;
    Along c;
    c.j = j;
    c.status = status;
    if (j <= in.n) {
      c.value = in.x[j - 1];
      c.rate = sign * in.p[j - 1];
    } else {
      c.value = in.ax[j - in.n - 1];
      c.rate = sign * in.ap[j - in.n - 1];
      c.weight = 1.0 + in.rownorm[j - in.n - 1];
    }
    if (std::fabs(c.rate) <= c.weight * in.pivot_factor * in.pnorm) continue;
    c.lower = in.bl[j - 1];
    c.upper = in.bu[j - 1];
    c.tol = in.featol[j - 1];
    visit(c);
  }
}

struct FirstPass {
  double alpha1 = 0.0;
  int j1 = 0;
  double alpha2 = 0.0;
  int j2 = 0;
};

bool heads_to_lower(const Along& c, double bigbnd) {
  return c.rate < 0.0 && c.status != -2 && c.lower > -bigbnd;
}
bool heads_to_upper(const Along& c, double bigbnd) {
  return c.rate > 0.0 && c.status != -1 && c.upper < bigbnd;
}
// A violated constraint moving toward feasibility.
bool becomes_satisfied(const Along& c) {
  return (c.status == -1 && c.rate < 0.0) || (c.status == -2 && c.rate > 0.0);
}

FirstPass scan_step_to_bounds(const RatioInput& in, double sign) {
  FirstPass f;
  f.alpha1 = in.alphamax;
  f.alpha2 = in.release ? in.alphamax : 0.0;
  for_each_candidate(in, sign, [&](const Along& c) {
    const double u = std::fabs(c.rate);
    double d = 0.0;
    bool normal = false;
    if (heads_to_lower(c, in.bigbnd)) {
      d = c.value - c.lower + c.tol;
      normal = true;
    } else if (heads_to_upper(c, in.bigbnd)) {
      d = c.upper - c.value + c.tol;
      normal = true;
    }
    if (normal && std::fabs(d) < in.alphamax * u && d < f.alpha1 * u) {
      f.alpha1 = d / u;
      f.j1 = c.j;
    }
    if (!becomes_satisfied(c)) return;
    const double d2 = (c.status == -1) ? c.value - c.upper - c.tol : c.lower - c.tol - c.value;
    if (std::fabs(d2) >= in.alphamax * u) return;
    const double a2 = d2 / u;
    if ((!in.release && a2 > f.alpha2) || (in.release && a2 < f.alpha2)) {
      f.alpha2 = a2;
      f.j2 = c.j;
    }
  });
  return f;
}

}  // namespace

RatioResult find_step_to_constraint(const RatioInput& in) {
  const FirstPass f = scan_step_to_bounds(in, 1.0);
  // Second pass: the largest pivot among the constraints within the relaxed steps.
  double piv1 = 0.0;
  double step1 = in.alphamax;
  int jhit1 = 0;
  bool lower1 = false;
  double rate1 = 0.0;
  double piv2 = 0.0;
  double step2 = in.alphamax;
  int jhit2 = 0;
  bool lower2 = false;
  double rate2 = 0.0;
  for_each_candidate(in, 1.0, [&](const Along& c) {
    const double u = std::fabs(c.rate);
    const double pivot = u / (c.weight * in.pnorm);
    const bool lower = heads_to_lower(c, in.bigbnd);
    if (lower || heads_to_upper(c, in.bigbnd)) {
      const double dist = lower ? c.value - c.lower : c.upper - c.value;
      if ((dist <= f.alpha1 * u || c.j == f.j1) && pivot > piv1) {
        piv1 = pivot;
        step1 = dist / u;
        jhit1 = c.j;
        lower1 = lower;
        rate1 = c.rate;
      }
    }
    if (!in.infeasible || !becomes_satisfied(c)) return;
    const double dist = (c.status == -1) ? c.value - c.upper : c.lower - c.value;
    const bool passes = in.release ? dist <= f.alpha2 * u : dist >= f.alpha2 * u;
    if ((passes || c.j == f.j2) && pivot > piv2) {
      piv2 = pivot;
      step2 = (u < 1.0 && dist >= in.alphamax * u) ? in.alphamax : dist / u;
      jhit2 = c.j;
      lower2 = (c.status == -2);
      rate2 = c.rate;
    }
  });
  RatioResult r;
  const bool take_violated =
      in.infeasible && jhit2 != 0 &&
      (jhit1 == 0 || step1 > step2 || (!in.release && f.alpha1 >= step2 && piv2 >= piv1));
  if (take_violated) {
    r.step = step2;
    r.palfa = f.alpha2;
    r.jhit = jhit2;
    r.at_lower = lower2;
    r.pivot = rate2;
  } else if (jhit1 != 0) {
    r.step = step1;
    r.palfa = f.alpha1;
    r.jhit = jhit1;
    r.at_lower = lower1;
    r.pivot = rate1;
    if (r.step < 0.0) {
      const FirstPass back = scan_step_to_bounds(in, -1.0);
      r.step = -std::fmin(-r.step, back.alpha1);
    }
  } else {
    r.step = in.alphamax;
    r.palfa = in.alphamax;
  }
  r.inform = (r.step >= in.alphamax) ? 3 : 0;
  return r;
}

}  // namespace zun::ls_qp
