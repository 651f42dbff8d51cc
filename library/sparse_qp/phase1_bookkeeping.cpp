// Phase-1 bookkeeping over the BsIndex positions: the infeasibilities of the basic variables,
// the elastic variables, their costs and their working bounds.
#include <algorithm>
#include <iterator>
#include <vector>

#include "library/sparse_qp/sparse_qp.h"

namespace zun {
namespace {

bool may_go_below(int allowance) {
  return allowance == ElasticAllowance::kLower || allowance == ElasticAllowance::kEither;
}
bool may_go_above(int allowance) {
  return allowance == ElasticAllowance::kUpper || allowance == ElasticAllowance::kEither;
}

// Classifies position k against its working bounds and adds an infeasible one to the count
// and sum; true when it is infeasible.
bool count_position(int k,
                    double tol,
                    int& ninf,
                    double& sinf,
                    int* type,
                    const double* bl_bs,
                    const double* bu_bs,
                    double* grad,
                    const double* xbs) {
  const double below = bl_bs[k] - xbs[k];
  const double above = xbs[k] - bu_bs[k];
  if (below > tol) {
    type[k] = BasicFeasibilityType::kBelowLower;
    grad[k] = -1.0;
    sinf += below;
  } else if (above > tol) {
    type[k] = BasicFeasibilityType::kAboveUpper;
    grad[k] = 1.0;
    sinf += above;
  } else {
    type[k] = BasicFeasibilityType::kFeasible;
    return false;
  }
  ++ninf;
  return true;
}

}  // namespace

void phase1_infeasibilities(int count,
                            double tol,
                            int& ninf,
                            double& sinf,
                            int* type,
                            const double* bl_bs,
                            const double* bu_bs,
                            double* grad,
                            const double* xbs) {
  ninf = 0;
  sinf = 0.0;
  for (int k = 0; k < count; ++k) count_position(k, tol, ninf, sinf, type, bl_bs, bu_bs, grad, xbs);
}

void list_infeasible_positions(int count, const int* type, std::vector<int>& infeasible) {
  infeasible.clear();
  for (int k = 0; k < count; ++k) {
    if (type[k] != BasicFeasibilityType::kFeasible) infeasible.push_back(k);
  }
}

void update_phase1_infeasibilities(double tol,
                                   const std::vector<int>& moved,
                                   std::vector<int>& infeasible,
                                   std::vector<int>& work,
                                   int& ninf,
                                   double& sinf,
                                   int* type,
                                   const double* bl_bs,
                                   const double* bu_bs,
                                   double* grad,
                                   const double* xbs) {
  work.clear();
  std::set_union(moved.begin(), moved.end(), infeasible.begin(), infeasible.end(),
                 std::back_inserter(work));
  ninf = 0;
  sinf = 0.0;
  infeasible.clear();
  for (int k : work) {
    grad[k] = 0.0;
    if (count_position(k, tol, ninf, sinf, type, bl_bs, bu_bs, grad, xbs)) infeasible.push_back(k);
  }
}

void sum_elastic_infeasibilities(int count,
                                 const int* elastic_state,
                                 const int* bs_index,
                                 int& ninf,
                                 double& sinf,
                                 const double* bl,
                                 const double* bu,
                                 const double* x) {
  ninf = 0;
  sinf = 0.0;
  for (int k = 0; k < count; ++k) {
    const int j = bs_index[k];
    if (j < 1) continue;
    const int e = elastic_state[j - 1];
    if (e == ElasticState::kNone) continue;
    ++ninf;
    const double violation =
        e == ElasticState::kBelowLower ? bl[j - 1] - x[j - 1] : x[j - 1] - bu[j - 1];
    if (violation > 0.0) sinf += violation;
  }
}

void flag_near_bound_variables(int count,
                               double tol,
                               double bigbnd,
                               const int* allowance,
                               int* elastic_state,
                               const int* bs_index,
                               const double* bl,
                               const double* bu,
                               double* bl_bs,
                               double* bu_bs,
                               const double* xbs) {
  for (int k = 0; k < count; ++k) {
    const int j = bs_index[k];
    if (j < 1) continue;
    const int allow = allowance[j - 1];
    if (may_go_below(allow) && bl[j - 1] - xbs[k] > tol) {
      elastic_state[j - 1] = ElasticState::kBelowLower;
      bl_bs[k] = -bigbnd;
      bu_bs[k] = bl[j - 1];  // both working bounds, as set_elastic_bounds gives them
    }
    if (may_go_above(allow) && xbs[k] - bu[j - 1] > tol) {
      elastic_state[j - 1] = ElasticState::kAboveUpper;
      bl_bs[k] = bu[j - 1];
      bu_bs[k] = bigbnd;
    }
  }
}

void shift_elastic_values(
    int count, double weight, const int* elastic_state, const int* bs_index, double* g) {
  for (int k = 0; k < count; ++k) {
    const int j = bs_index[k];
    if (j < 1) continue;
    const int e = elastic_state[j - 1];
    if (e == ElasticState::kBelowLower) {
      g[k] -= weight;
    } else if (e != ElasticState::kNone) {
      g[k] += weight;
    }
  }
}

void set_elastic_bounds(int count,
                        double bigbnd,
                        const int* elastic_state,
                        const int* bs_index,
                        const double* bl,
                        const double* bu,
                        double* bl_bs,
                        double* bu_bs) {
  for (int k = 0; k < count; ++k) {
    const int j = bs_index[k];
    if (j < 1) continue;
    const int e = elastic_state[j - 1];
    if (e == ElasticState::kBelowLower) {
      bl_bs[k] = -bigbnd;
      bu_bs[k] = bl[j - 1];
    } else if (e == ElasticState::kAboveUpper) {
      bl_bs[k] = bu[j - 1];
      bu_bs[k] = bigbnd;
    }
  }
}

}  // namespace zun
