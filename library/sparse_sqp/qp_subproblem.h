// The QP subproblem of a major iteration and the measures of the current point: the elastic
// weight, the nonlinear infeasibilities, the reduced gradient, the optimality measures and the
// statistics of the reduced-Hessian factor.
#pragma once

#include <string>
#include <string_view>

#include "library/sparse_qp/sparse_qp.h"

namespace zun {

// The basis arrays of the workspace around the given states, point and bounds.
BasisArrays workspace_basis(int* iz, double* z, int* state, double* x, const double* bl,
                            const double* bu);

// The elastic weight and its boosts.
struct ElasticWeight {
  double weight = 0.0;  // wtInf
  double base = 0.0;    // the gradient scale g0 when the weight was set
  double factor = 0.0;  // applied to the option value
  double multiplier = 10.0;
};

// "Set wtInf": weight := g0 * option.  Returns false (nothing changed).
void set_elastic_weight_initial(ElasticWeight& w, double g0, double option);

// "Boost wtInf": the factor grows by the multiplier (10, 100, ...) while it stays at most
// 1e10; returns true when the weight changed, with the message at logging print levels.
bool boost_elastic_weight(ElasticWeight& w, int itn, const int* iz);

// Count and sum of the violations above tol of the slacks x(n+i), i = 1..NCNLN, of their
// bounds.
void nonlinear_infeasibilities(
    int n, int ncnln, double tol, int& count, double& sum, const double* bl, const double* bu,
    const double* x);

// d(nb): the reduced gradient sign*g - [A -I]'pi, g the objective gradient (gobj over the NONLN
// leading variables and the objective-row scale at the objective row's slack).
void reduced_gradient(double objective_scale,
                      int sign,
                      int iobj,
                      int m,
                      int n,
                      int nonln,
                      const ColumnMatrix& a,
                      const double* gobj,
                      const double* pi,
                      double* d);

struct OptimalityMeasures {
  double max_viol = 0.0;
  int viol_row = 0;
  double max_dual = 0.0;
  int dual_index = 0;
};

// Largest bound violation of the row activities c(NCNLN) and the largest
// complementarity-weighted reduced gradient of d(nb) at x.
OptimalityMeasures optimality_measures(bool elastic,
                                       int n,
                                       int nb,
                                       int ncnln,
                                       double wt_inf,
                                       const double* bl,
                                       const double* bu,
                                       const double* d,
                                       const double* x,
                                       const double* c);

struct FactorStats {
  double largest_diagonal = 0.0;
  double smallest_diagonal = 0.0;
  double largest_element = 0.0;
  double condition = 0.0;
};

// Statistics of the packed upper triangle R of order ns (unchanged when ns = 0).
void factor_diagonal_stats(int ns, const double* r, FactorStats& s);

// The Hessian-product routine that the QP calls: hv := sign * H v over the nnh leading
// variables, H the quasi-Newton matrix of the workspace.
void hessian_times_vector(PassedRoutine routine_1,
                          PassedRoutine routine_2,
                          const double& sign,
                          const int& m,
                          const int& n,
                          const int& nnh,
                          const int& nnz,
                          const int& nka,
                          const double* a_values,
                          const int* a_rows,
                          const int* a_starts,
                          const double* v,
                          double* hv,
                          const char* mode,
                          int& status,
                          int* iz,
                          const int& leniz,
                          double* z,
                          const int& lenz,
                          int* iusr,
                          double* rusr,
                          int mode_len);

// What one QP subproblem needs beside the workspace.
struct QpSubproblem {
  int m = 0;
  int n = 0;
  int ncnln = 0;
  int nnl = 0;
  int major_print_level = 0;
  int minor_print_level = 0;
  bool elastic_allowed = false;
  MinorSettings settings;  // elastic_mode and elastic_weight are set here
  MinorObjective objective;
  MinorMeasures measures;
  ColumnMatrix a{};
  int* state = nullptr;
  const double* bl = nullptr;
  const double* bu = nullptr;
  double* x = nullptr;   // the QP point, nb
  double* w = nullptr;   // out: the QP point before the passes, nb
  double* pi = nullptr;  // the QP multipliers (m)
};

// Solves the QP subproblem (a feasibility subproblem first when there are nonlinear rows).
// flags: the two QP characters ('t', 'u', 'w'; 'i').  Returns 0, 3, 5, or the factorisation
// and abandonment results (above 9).  hessian_flag: position 2 of the major flags ('R' when
// the Hessian is reset here).
int solve_qp_subproblem(QpSubproblem& qp,
                        char& hessian_flag,
                        char flags[2],
                        bool& elastic,
                        bool& r_valid,
                        int& itn,
                        int& minor_count,
                        int& ns,
                        int& bs_changes,
                        double wt_inf,
                        int* iz,
                        int leniz,
                        double* z,
                        int lenz);

}  // namespace zun
