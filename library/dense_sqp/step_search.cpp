// The two safeguarded step-length searches: parabolic fits on values, cubic fits on values and
// slopes, each kept inside an interval of uncertainty around the best step.
#include "library/dense_sqp/step_search.h"

#include <algorithm>
#include <cmath>

namespace zun {
namespace {

namespace sr = step_result;

constexpr double kExtrapolationStart = 5.0;
constexpr double kExtrapolationGrowth = 5.0;
constexpr double kToleranceCut = 10.0;
constexpr int kSameLimit = 2;  // more unchanged ends than this aims the bisection at that end

// Common start of both searches; returns kBadInput or kGoing.
int begin(StepSearch& s, double alfa) {
  s.imprvd = false;
  s.numf = 0;
  s.alfbst = 0.0;
  s.moved = false;
  if (s.alfmax <= s.toltny || s.g0 >= 0.0) return sr::kBadInput;
  s.tol = s.tolabs;
  s.a = 0.0;
  s.fa = 0.0;
  s.fbest = 0.0;
  s.gbest = s.g0;
  s.braktd = s.extrap = s.wset = s.vset = false;
  s.crampd = s.alfmax <= s.tolabs;
  s.nsamea = s.nsameb = 0;
  s.xtry = alfa;
  s.margin = s.tolrel * s.alfmax + s.tolabs;
  s.b = s.alfmax + s.margin;
  s.factor = kExtrapolationStart;
  return sr::kGoing;
}

// Start of a later call: the count and the upper end while nothing brackets the minimum.
void count_trial(StepSearch& s) {
  ++s.numf;
  s.tol = s.tolabs;
  if (!s.braktd) {
    s.margin = s.tolrel * s.alfmax + s.tolabs;
    s.b = s.alfmax + s.margin - s.alfbst;
  }
}

void same_a(StepSearch& s) {
  ++s.nsamea;
  s.nsameb = 0;
}

void same_b(StepSearch& s) {
  ++s.nsameb;
  s.nsamea = 0;
}

// The interval test with the tenfold cut of the tolerances while nothing better is found.
bool interval_small(StepSearch& s) {
  bool quiti = s.b - s.a <= 2.0 * s.tol;
  if (quiti && !s.moved) {
    s.tol /= kToleranceCut;
    s.tolabs = s.tol;
    quiti = std::fabs(s.fw) <= s.epsaf || s.tol <= s.toltny;
  }
  return quiti;
}

int final_result(const StepSearch& s, bool found, bool limit) {
  if (found) return s.alfbst >= s.alfmax ? sr::kSlopeMetAtMax : sr::kSlopeMet;
  if (s.moved) return sr::kBetterPoint;
  if (limit) return sr::kEvaluationLimit;
  if (s.crampd) return sr::kCramped;
  return sr::kNoBetterPoint;
}

// The extrapolation default while the minimum is not bracketed: [a, default].
void extrapolate(StepSearch& s, double& dflt, double& lower, double& upper) {
  dflt = -s.xw * s.factor;
  if (s.alfbst + dflt < s.alfmax) s.factor *= kExtrapolationGrowth;
  lower = s.a;
  upper = dflt;
}

// Limits around a default that moves away from W: [a, default] or [default, b].
void limits_around(const StepSearch& s, double dflt, double& lower, double& upper) {
  if (dflt > 0.0) {
    lower = s.a;
    upper = dflt;
  } else {
    lower = dflt;
    upper = s.b;
  }
}

// The default step of a bracketed search from the lengths U and V: half their geometric mean
// when U is the shorter, else a part of V between 5/110 and 1/2 of it that falls with V / U.
double geometric_default(double u, double v) {
  if (u < v) return 0.5 * std::sqrt(v) * std::sqrt(u);
  if (u <= 0.0) return 0.0;
  return 5.0 * v * (v / u + 0.1) / 11.0;
}

// Accepts the fitted step xw s / q when it lies in [lower, upper], else the default.
double fit_or_default(const StepSearch& s, double sn, double q, double dflt, double lower,
                      double upper) {
  if (q == 0.0) return dflt;
  if (q < 0.0) {
    sn = -sn;
    q = -q;
  }
  const double sx = sn * s.xw;
  if (lower * q <= sx && sx <= upper * q) return std::fabs(sx) < q * s.tol ? 0.0 : sx / q;
  return dflt;
}

// Places the trial: the largest step when extrapolation reaches it; otherwise a trial within
// tol of an end of the interval, or shorter than tol, becomes a step of tol into it.
void place(StepSearch& s, double& alfa) {
  if (!s.braktd && s.alfbst + s.xtry >= s.alfmax - s.margin) {
    s.xtry = s.alfmax - s.alfbst;
    alfa = s.alfmax;
    s.braktd = true;
    return;
  }
  const double sign = (s.a + s.b) / 2.0 <= 0.0 ? -1.0 : 1.0;
  if (s.xtry <= s.a + s.tol || s.xtry >= s.b - s.tol) s.xtry = sign * s.tol;
  if (std::fabs(s.xtry) < s.tol) s.xtry = sign * s.tol;
  // The margin above the largest step only widens the interval: no trial goes beyond it.
  if (s.alfbst + s.xtry > s.alfmax) s.xtry = s.alfmax - s.alfbst;
  alfa = s.alfbst + s.xtry;
}

// Values-only: the bookkeeping of one trial with value ftry.  Returns QUITFZ.
bool record_value(StepSearch& s, double ftry) {
  const bool xinxw = s.wset && ((0.0 < s.xtry && s.xtry <= s.xw) || (s.xw <= s.xtry && s.xtry < 0.0));
  s.imprvd = ftry < s.fbest;
  const bool closef = s.vset && std::fabs(ftry - s.fv) <= s.epsaf;
  if (s.imprvd) {
    if (s.wset) {
      s.xv = s.xw - s.xtry;
      s.fv = s.fw;
      s.vset = true;
    }
    const double old_best = s.fbest;
    s.xw = -s.xtry;
    s.fw = old_best;
    s.fbest = ftry;
    s.wset = true;
    s.moved = true;
    s.extrap = !xinxw;
    if (s.xtry < 0.0) {
      s.a -= s.xtry;
      s.b = -s.xtry;
      s.braktd = true;
      same_a(s);
    } else {
      s.a = -s.xtry;
      s.fa = old_best;
      s.b -= s.xtry;
      same_b(s);
    }
    return false;
  }
  if (closef && ftry - s.fbest < s.epsaf) {
    ++s.nsamea;
    ++s.nsameb;
    return true;
  }
  if (s.xtry >= 0.0) {
    s.b = s.xtry;
    s.braktd = true;
    same_a(s);
  } else {
    s.a = s.xtry;
    s.fa = ftry;
    same_b(s);
  }
  if (!s.wset) {
    s.xw = s.xtry;
    s.fw = ftry;
    s.wset = true;
  } else if (ftry < s.fw) {
    s.xv = s.xw;
    s.fv = s.fw;
    s.vset = true;
    s.xw = s.xtry;
    s.fw = ftry;
    if (s.moved) s.extrap = xinxw;
  } else if (!s.moved) {
    s.xw = s.xtry;
    s.fw = ftry;
  } else if (!s.vset || ftry < s.fv || !s.extrap) {
    if (s.vset && xinxw) {
      s.xw = s.xv;
      s.fw = s.fv;
    }
    s.xv = s.xtry;
    s.fv = ftry;
    s.vset = true;
  }
  return false;
}

// Values-only: the next trial offset by a parabola through two or three points.
void next_by_parabola(StepSearch& s) {
  const double gw = s.xw != 0.0 ? (s.fw - s.fbest) / s.xw : 0.0;
  const bool three = s.vset && s.moved;
  double sn = 0.0, q = 0.0;
  if (three && s.xv != 0.0 && s.xw != 0.0) {
    const double gv = (s.fv - s.fbest) / s.xv;
    sn = gv - (s.xv / s.xw) * gw;
    q = 2.0 * (gv - gw);
  } else {
    q = 2.0 * (s.g0 - gw);
    sn = s.moved ? s.g0 - 2.0 * gw : s.g0;
  }
  double dflt = 0.0, lower = s.a, upper = s.b;
  if (!s.braktd) {
    extrapolate(s, dflt, lower, upper);
  } else if (!three) {
    dflt = s.extrap ? -s.xw : s.xw / 10.0;
  } else {
    double end = 0.0;
    if (!s.extrap) {
      if (s.nsamea <= kSameLimit && s.nsameb <= kSameLimit) {
        s.factor = 1.0;
      } else {
        s.factor /= kExtrapolationGrowth;
        sn *= s.factor;
      }
      end = s.a;
      if ((s.a + s.b) / 2.0 > 0.0) end = s.b;
      if (s.nsamea > kSameLimit) end = s.a;
      if (s.nsameb > kSameLimit) end = s.b;
    } else {
      end = s.xw < 0.0 ? s.b : (s.xw > 0.0 ? s.a : 0.0);
    }
    const double daux = std::fabs(end);
    const double dtry = s.b - s.a - daux;
    dflt = geometric_default(dtry, daux);
    if (end < 0.0) dflt = -dflt;
    if (s.extrap) limits_around(s, dflt, lower, upper);
  }
  s.xtry = fit_or_default(s, sn, q, dflt, lower, upper);
}

// Derivatives: the bookkeeping of one trial.  Returns CLOSEF.
bool record_slope(StepSearch& s, double ftry, double gtry, double alfa) {
  const bool closef = std::fabs(ftry - s.fbest) <= s.epsaf;
  s.imprvd = closef ? std::fabs(gtry) <= std::fabs(s.gbest) : ftry < s.fbest;
  if (s.imprvd) {
    s.xw = -s.xtry;
    s.fw = s.fbest;
    s.gw = s.gbest;
    s.fbest = ftry;
    s.gbest = gtry;
    s.alfbst = alfa;
    s.moved = s.wset = true;
    s.extrap = (s.xw < 0.0 && s.gbest < 0.0) || (s.xw > 0.0 && s.gbest > 0.0);
    if (s.gbest > 0.0) {
      s.a -= s.xtry;
      s.b = 0.0;
      s.braktd = true;
      same_a(s);
    } else {
      s.a = 0.0;
      s.b -= s.xtry;
      same_b(s);
    }
    return closef;
  }
  if (s.xtry > 0.0) {
    s.b = s.xtry;
    s.braktd = true;
    same_a(s);
  } else {
    s.a = s.xtry;
    same_b(s);
  }
  if (!s.wset || ftry < s.fw || !s.extrap) {
    s.xw = s.xtry;
    s.fw = ftry;
    s.gw = gtry;
    s.wset = true;
    s.extrap = false;
  }
  return closef;
}

// Derivatives: the next trial offset by a cubic through the best point and W (a secant of
// the slopes when their values are too close to tell apart).
void next_by_cubic(StepSearch& s, bool closef) {
  double sn = 0.0, q = 0.0;
  if (!closef && s.xw != 0.0) {
    const double z = 3.0 * (s.fbest - s.fw) / s.xw + s.gw + s.gbest;
    const double w = std::sqrt(std::fabs(s.gw)) * std::sqrt(std::fabs(s.gbest));
    const double az = std::fabs(z);
    bool cubic = true;
    double gamma = 0.0;
    if ((s.gw > 0.0 && s.gbest < 0.0) || (s.gw < 0.0 && s.gbest > 0.0)) {
      const double sigma = w + az;
      if (sigma > 0.0) gamma = sigma * std::sqrt((w / sigma) * (w / sigma) + (az / sigma) * (az / sigma));
    } else if (az < w) {
      cubic = false;
    } else {
      gamma = std::sqrt(az - w) * std::sqrt(az + w);
    }
    if (cubic) {
      if (s.xw < 0.0) gamma = -gamma;
      sn = s.gbest - z - gamma;
      q = s.gbest - s.gw - 2.0 * gamma;
    }
  } else {
    sn = s.gbest;
    q = s.gbest - s.gw;
  }
  double dflt = 0.0, lower = s.a, upper = s.b;
  if (!s.braktd) {
    extrapolate(s, dflt, lower, upper);
  } else if (!s.extrap) {
    dflt = (s.a + s.b) / 2.0;
    if (s.nsamea <= kSameLimit && s.nsameb <= kSameLimit) {
      s.factor = 1.0;
    } else {
      s.factor /= kExtrapolationGrowth;
      sn *= s.factor;
    }
  } else {
    const double dtry = s.b - s.a;
    const double daux = std::fabs(s.xw);
    dflt = geometric_default(daux, dtry);
    if (s.xw > 0.0) dflt = -dflt;
    limits_around(s, dflt, lower, upper);
  }
  s.xtry = fit_or_default(s, sn, q, dflt, lower, upper);
}

}  // namespace

void StepSearch::save(double* w) const {
  const double v[kWords] = {static_cast<double>(limit), alfmax, alfsml, epsaf, g0, targtg, tolabs,
                            tolrel, toltny, alfbst, fbest, gbest, a, b, fa, xtry, xw, fw, gw, xv,
                            fv, tol, margin, factor,
                            static_cast<double>(braktd | extrap << 1 | crampd << 2 | moved << 3 |
                                                wset << 4 | vset << 5 | imprvd << 6),
                            static_cast<double>(nsamea), static_cast<double>(nsameb),
                            static_cast<double>(numf)};
  std::copy(v, v + kWords, w);
}

void StepSearch::load(const double* w) {
  limit = static_cast<int>(w[0]);
  double* fields[] = {&alfmax, &alfsml, &epsaf, &g0, &targtg, &tolabs, &tolrel, &toltny,
                      &alfbst, &fbest,  &gbest, &a,  &b,      &fa,     &xtry,   &xw,
                      &fw,     &gw,     &xv,    &fv, &tol,    &margin, &factor};
  int k = 1;
  for (double* f : fields) *f = w[k++];
  const int bits = static_cast<int>(w[k++]);
  braktd = bits & 1;
  extrap = bits & 2;
  crampd = bits & 4;
  moved = bits & 8;
  wset = bits & 16;
  vset = bits & 32;
  imprvd = bits & 64;
  nsamea = static_cast<int>(w[k++]);
  nsameb = static_cast<int>(w[k++]);
  numf = static_cast<int>(w[k]);
}

int search_step_values_only(StepSearch& s, bool first, double ftry, double& alfa) {
  if (first) {
    if (begin(s, alfa) != sr::kGoing) return sr::kBadInput;
    place(s, alfa);
    return sr::kGoing;
  }
  count_trial(s);
  const double tried = alfa;
  const bool quitfz = record_value(s, ftry);
  if (s.imprvd) s.alfbst = tried;
  s.tol = s.tolabs + s.tolrel * s.alfbst;
  const bool found = s.moved && std::fabs(s.fa - s.fbest) <= -s.a * s.targtg;
  const bool limit = s.numf >= s.limit;
  const bool quits = s.alfbst + s.b <= s.alfsml;
  const bool quiti = interval_small(s);
  if (limit || quitfz || quits || quiti || found) {
    alfa = s.alfbst;
    if (quits) return sr::kBelowSmallest;
    return final_result(s, found, limit);
  }
  next_by_parabola(s);
  place(s, alfa);
  return sr::kGoing;
}

int search_step_with_derivatives(StepSearch& s, bool first, double ftry, double gtry, double& alfa) {
  if (first) {
    if (begin(s, alfa) != sr::kGoing) return sr::kBadInput;
    place(s, alfa);
    return sr::kGoing;
  }
  count_trial(s);
  const bool closef = record_slope(s, ftry, gtry, alfa);
  s.tol = s.tolabs + s.tolrel * s.alfbst;
  const bool found = s.moved && std::fabs(s.gbest) <= s.targtg;
  const bool limit = s.numf >= s.limit;
  const bool quiti = interval_small(s);
  if (limit || quiti || found) {
    alfa = s.alfbst;
    return final_result(s, found, limit);
  }
  next_by_cubic(s, closef);
  place(s, alfa);
  return sr::kGoing;
}

}  // namespace zun
