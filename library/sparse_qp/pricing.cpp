// Partial pricing: the choice of the entering nonbasic variable, section by section.
#include <algorithm>
#include <cmath>

#include "library/sparse_qp/minor_words.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;
namespace mr = minor_word::real_word;

constexpr double kRelaxation = 0.2;  // a relaxed threshold is this share of the best seen

struct Best {
  int jq = 0;
  double djq = 0.0;
  double value;  // best attractiveness so far
  int section = 0;
  int count = 0;
  bool between_seen = false;
};

// The first and last column and row of a section (1-based, inclusive).
struct Section {
  int j1, j2, i1, i2;
};

Section section_range(int k, int nprt, int n, int m) {
  const int cols = n / nprt;
  const int rows = m / nprt;
  Section s{(k - 1) * cols + 1, k * cols, (k - 1) * rows + 1, k * rows};
  if (k == nprt) {
    s.j2 = n;
    s.i2 = m;
  }
  return s;
}

void consider(int j, double a, double carried, int section, double threshold, Best& best) {
  if (a > threshold) ++best.count;
  if (a > best.value) {
    best.value = a;
    best.jq = j;
    best.djq = carried;
    best.section = section;
  }
}

// Attractiveness of an ordinary candidate by its state; false when it is not priced.
bool ordinary_value(int state, double d, double& a) {
  if (state == VariableState::kAtLower) {
    a = -d;
  } else if (state == VariableState::kAtUpper) {
    a = d;
  } else if (state == VariableState::kBetweenBounds) {
    a = std::abs(d);
  } else {
    return false;
  }
  return true;
}

// Attractiveness of an elastic move and the reduced cost it carries; false when not priced.
bool elastic_value(int state, int allowance, double d, double w, double& a, double& carried) {
  const bool lower =
      allowance == ElasticAllowance::kLower || allowance == ElasticAllowance::kEither;
  const bool upper =
      allowance == ElasticAllowance::kUpper || allowance == ElasticAllowance::kEither;
  const double down = d - w;
  const double up = -(d + w);
  if (state == VariableState::kAtLower) {
    if (!lower) return false;
    a = carried = down;
  } else if (state == VariableState::kAtUpper) {
    if (!upper) return false;
    a = up;
    carried = d + w;
  } else if (state == VariableState::kFixed) {
    a = 0.0;
    carried = 0.0;
    const bool take_down = lower && (!upper || down >= up);
    if (take_down && down > 0.0) {
      a = down;
      carried = down;
    } else if (!take_down && upper && up > 0.0) {
      a = up;
      carried = d + w;
    }
  } else {
    a = carried = 0.0;
  }
  return true;
}

void scan_section(const Section& s,
                  int k,
                  bool elastic,
                  int n,
                  double threshold,
                  double w,
                  const int* allowance,
                  const int* state,
                  const double* d,
                  Best& best) {
  auto ordinary = [&](int j) {
    double a = 0.0;
    if (!ordinary_value(state[j - 1], d[j - 1], a)) return;
    if (state[j - 1] == VariableState::kBetweenBounds) best.between_seen = true;
    consider(j, a, d[j - 1], k, threshold, best);
  };
  for (int j = s.j1; j <= s.j2; ++j) ordinary(j);
  for (int i = s.i1; i <= s.i2; ++i) ordinary(n + i);
  if (!elastic) return;
  auto elastic_move = [&](int j) {
    if (allowance[j - 1] < ElasticAllowance::kLower) return;
    double a = 0.0;
    double carried = 0.0;
    if (!elastic_value(state[j - 1], allowance[j - 1], d[j - 1], w, a, carried)) return;
    consider(j, a, carried, k, threshold, best);
  };
  for (int j = s.j1; j <= s.j2; ++j) elastic_move(j);
  for (int i = s.i1; i <= s.i2; ++i) elastic_move(n + i);
}

// The first nonbasic variable between its bounds with a finite bound enters.
void fall_back(int nb,
               double bigbnd,
               const int* state,
               const double* bl,
               const double* bu,
               const double* d,
               int& jq,
               double& djq,
               bool& increasing,
               int& count) {
  for (int j = 1; j <= nb; ++j) {
    if (state[j - 1] != VariableState::kBetweenBounds) continue;
    if (bl[j - 1] <= -bigbnd && bu[j - 1] >= bigbnd) continue;
    jq = j;
    djq = d[j - 1];
    count = 1;
    increasing = !(std::abs(bl[j - 1]) < std::abs(bu[j - 1]));
    return;
  }
}

}  // namespace

void price_columns(int j1,
                   int j2,
                   bool objective_in_force,
                   int nnobj,
                   double sign,
                   const ColumnMatrix& a,
                   const int* state,
                   const double* gobj,
                   const double* pi,
                   double* d) {
  for (int j = j1; j <= j2; ++j) {
    if (state[j - 1] >= VariableState::kSuperbasic) continue;
    double sum = 0.0;
    for (int l = a.starts[j - 1]; l < a.starts[j]; ++l)
      sum += pi[a.rows[l - 1] - 1] * a.values[l - 1];
    d[j - 1] = -sum;
  }
  if (!objective_in_force || j1 > nnobj) return;
  for (int j = j1; j <= std::min(j2, nnobj); ++j) {
    if (state[j - 1] < VariableState::kSuperbasic) d[j - 1] += sign * gobj[j - 1];
  }
}

void price_slacks(int j1,
                  int j2,
                  bool objective_in_force,
                  int nnobj,
                  double sign,
                  const ColumnMatrix& a,
                  const int* allowance,
                  const int* state,
                  const double* gobj,
                  const double* pi,
                  double* d) {
  for (int j = j1; j <= j2; ++j) {
    if (state[j - 1] != VariableState::kFixed || allowance[j - 1] < ElasticAllowance::kLower) {
      continue;
    }
    double sum = 0.0;
    for (int l = a.starts[j - 1]; l < a.starts[j]; ++l)
      sum += pi[a.rows[l - 1] - 1] * a.values[l - 1];
    d[j - 1] = -sum;
    if (objective_in_force && j <= nnobj) d[j - 1] += sign * gobj[j - 1];
  }
}

void price_partial(bool elastic,
                   bool feasible,
                   bool& increasing,
                   bool objective_in_force,
                   int m,
                   int n,
                   int nnobj,
                   int nnh,
                   int ns,
                   int& count,
                   double elastic_weight,
                   double objective_sign,
                   const ObjectiveSlack& objective_slack,
                   double pi_norm,
                   int& jq,
                   double& djq,
                   int& section,
                   const ColumnMatrix& a,
                   const int* allowance,
                   const int* state,
                   const double* bl,
                   const double* bu,
                   const double* gobj,
                   const double* pi,
                   double* d,
                   const int* iz,
                   double* z) {
  const double bigbnd = z[rw::kInfiniteBoundSize - 1];
  Best best{.value = -bigbnd};
  int nprt = std::max(1, iz[iw::kPartialPrice - 1]);
  if (std::max(n / nprt, m / nprt) < 1) nprt = 1;
  // A fresh section word (0) starts the scan at section 1.
  section = section < 1 ? nprt : std::min(section, nprt);
  const double base = z[rw::kOptimalityTolInForce - 1] * pi_norm;
  double& threshold_word =
      z[(feasible ? mr::kFeasiblePriceThreshold : mr::kInfeasiblePriceThreshold) - 1];
  const double threshold = nprt == 1 ? base : threshold_word;
  for (int pass = 1; pass <= nprt; ++pass) {
    section = section % nprt + 1;
    const Section s = section_range(section, nprt, n, m);
    price_columns(s.j1, s.j2, objective_in_force, nnobj, objective_sign, a, state, gobj, pi, d);
    for (int i = s.i1; i <= s.i2; ++i) d[n + i - 1] = pi[i - 1];
    // The objective row's slack carries the linear objective: its cost joins its reduced cost.
    const int i_obj = objective_slack.j - n;
    if (objective_in_force && i_obj >= s.i1 && i_obj <= s.i2) {
      d[objective_slack.j - 1] += objective_sign * objective_slack.scale;
    }
    if (elastic) {
      price_slacks(s.j1, s.j2, objective_in_force, nnobj, objective_sign, a, allowance, state, gobj,
                   pi, d);
    }
    scan_section(s, section, elastic, n, threshold, elastic_weight, allowance, state, d, best);
    if (best.count > 0 || nprt < 2) break;
  }
  jq = 0;
  djq = 0.0;
  count = best.count;
  if (count > 0) {
    jq = best.jq;
    djq = best.djq;
    section = best.section;
  } else if (nprt >= 2 && best.value > base) {
    threshold_word = std::max(kRelaxation * best.value, base);
    count = 1;
    jq = best.jq;
    djq = best.djq;
    section = best.section;
  }
  increasing = djq < 0.0;
  if (count == 0 && best.between_seen && ns == 0 && !(feasible && nnh >= 1)) {
    fall_back(n + m, bigbnd, state, bl, bu, d, jq, djq, increasing, count);
  }
}

}  // namespace zun
