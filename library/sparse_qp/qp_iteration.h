// One QP minor iteration with superbasics and its companions: the exchange of a superbasic
// slack with a basic column, the choice of the superbasic that replaces a leaving basic
// variable, and the check of the entering superbasic's direction.
#pragma once

#include <vector>

#include "library/sparse_qp/reduced_hessian.h"
#include "library/sparse_qp/sparse_qp.h"

namespace zun {

// Everything one subproblem's minor iterations work on.  Arrays over the BsIndex positions
// have m + s entries (s the superbasics limit); gqp and hp the nnobj leading variables.
struct MinorIterationState {
  HessianContext h;
  int nnobj = 0;
  int r_dim = 0;  // order limit of R
  BasisArrays basis{};
  int* type = nullptr;           // BasicFeasibilityType of the positions
  const int* allowance = nullptr;  // elastic allowance of the variables
  int* elastic_state = nullptr;
  double* grad = nullptr;  // the phase gradient of the positions
  double* gqp = nullptr;   // the QP's own objective gradient (unsigned)
  double* rg = nullptr;    // reduced gradient of the superbasics
  double* r = nullptr;     // the reduced-Hessian factor
  double* pi = nullptr;    // m
  double* p = nullptr;     // the direction over the positions
  double* y = nullptr;     // nb: solves and the products' vectors
  double* entering = nullptr;  // m: L^-1 times the column entering the basis
  double* work = nullptr;      // 2 (m + nnh) reals
  int objective_slack = 0;     // variable number of the objective row's slack (0: none)
  double objective_scale = 0.0;
  int print_level = 0;

  // Flags and values exchanged with the loop.
  bool stall = false;
  bool elastic = false;
  bool feasible = false;
  bool objective_in_force = false;
  bool pi_stale = true;
  bool r_valid = false;
  bool r_complete = true;
  bool increasing = false;
  int ns = 0;
  int unconstrained_steps = 0;
  // The last step reached the subspace minimiser and moved x by no more than rounding.
  bool negligible_newton_step = false;
  int reason = RefactorReason::kNone;
  int signed_jq = 0;
  int r_position = 0;
  int degenerate_steps = 0;
  double weight = 0.0;  // the elastic weight
  double objective = 0.0;
  double qp_value = 0.0;
  double working_tol = 0.0;
  double min_step = 0.0;
  MinorStepLog log{};

  // Scratch vectors of the iterations, kept from one iteration to the next: a row and a
  // unit vector of B (m), three over the superbasics, and H p over the Hessian variables.
  struct Scratch {
    std::vector<double> row, unit, s1, s2, s3, hp;
  };
  Scratch scratch{};
};

// The data of scratch vector v with room for at least count reals.
inline double* scratch_of(std::vector<double>& v, int count) {
  if (static_cast<int>(v.size()) < count) v.resize(static_cast<std::size_t>(count));
  return v.data();
}

// One minor iteration: jq (chosen by pricing, reduced cost djq, p(1..m) = B^-1 a_jq and the
// entering array = L^-1 a_jq) becomes superbasic ns + 1, the superbasics move along the
// direction of R, and a variable that blocks leaves.  result 0, 2, 4 or 6.
void qp_iteration(MinorIterationState& q, int& result, int itn, int jq, double djq);

// Exchanges the newest superbasic, a slack, with the basic structural column of largest
// pivot.  failed: no such column.
void swap_basic_superbasic(MinorIterationState& q, int itn, bool& failed);

// The superbasic that replaces the basic variable leaving at position r: y (m) holds row r of
// B^-1.  w (ns): -S'y.  Returns the position (negative: the pivot is too small, the last
// superbasic enters) and the pivot.
int choose_pivot_row(MinorIterationState& q, const double* y, double* w, double& pivot, int itn);

// Checks the direction of the entering superbasic |signed_jq| among positions 1..count; flag 1
// when the slope gp stays positive.
int find_saved_column(MinorIterationState& q, int count, double& gp, int itn);

}  // namespace zun
