// The final report of a sparse run: the solution turned back into the user's units with its
// reduced costs and the largest primal and dual infeasibilities ("Save"), the solution
// listing ("Print") and the status block of the monitoring file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "library/sparse_sqp/problem_matrix.h"

namespace zun {

// Everything the report reads or changes.  Arrays run over the N columns and then the M
// rows unless noted.
struct ReportData {
  ProblemMatrix* a = nullptr;
  int ncnln = 0;
  int nonln = 0;
  int objective_row = 0;  // IOBJ', 0 when none
  bool dummy_row = false;
  double* bl = nullptr;
  double* bu = nullptr;
  double* x = nullptr;
  int* state = nullptr;          // VariableState
  double* pi = nullptr;          // M row multipliers
  double* rc = nullptr;          // MULT: the reduced costs, filled here
  const double* s = nullptr;     // the scale factors (N + M)
  const double* gobj = nullptr;  // NONLN: the nonlinear objective gradient
  const double* fcon = nullptr;  // NCNLN: the nonlinear constraint values
  int nname = 1;
  const char* namev = nullptr;
  int namev_len = 8;
  bool scaled = false;                // the problem is held in scaled units
  std::function<void()> unscale;      // moves the whole problem back into the user's units
  bool nonlinear_infeasible = false;  // the run minimised the nonlinear infeasibilities
  bool nonlinear_handled = false;     // the nonlinear rows took part in the run
  bool feasible_point = false;        // the problem type is "FP "
  int ninf = 0;
  double suminf = 0.0;
  int* iz = nullptr;
  double* z = nullptr;
};

// The reported measures, kept for the monitoring file.
struct ReportMeasures {
  double x_norm = 0.0;  // in: the run's norm of x; out: after unscaling, when scaled
  double pi_norm = 1.0;
  double x_norm_scaled = 0.0;
  double pi_norm_scaled = 1.0;
  double primal_inf = 0.0;
  int primal_at = 0;
  double dual_inf = 0.0;
  int dual_at = 0;
  double primal_inf_scaled = 0.0;
  int primal_at_scaled = 0;
  double dual_inf_scaled = 0.0;
  int dual_at_scaled = 0;
  bool was_scaled = false;
  double violation = 0.0;
};

// MODE by its first letter: "Save", "Print", anything else the monitoring-file status of
// MONITORING_STATUS (the status that print_exit_message returned).
void report_solution(std::string_view mode,
                     ReportData& d,
                     ReportMeasures& measures,
                     int monitoring_status);

// rc(j) := sign * gObj(j) (j <= NONLN) - sum over column j of a * pi(row); rc(N + i) := pi(i).
void final_reduced_costs(const ProblemMatrix& a,
                         int nonln,
                         int objective_sign,
                         const double* gobj,
                         const double* pi,
                         double* rc);

// The largest positive bound violation over NB entries and its first index (0.0 and 0 when
// none).
void max_primal_infeasibility(
    int nb, const double* bl, const double* bu, const double* x, double& value, int& index);

// The largest positive dual infeasibility over NB entries with distinct bounds (the
// objective row N + IOBJ skipped when IOBJ > 0) and its first index.
void max_dual_infeasibility(int n,
                            int nb,
                            int iobj,
                            const double* bl,
                            const double* bu,
                            const double* rc,
                            const double* x,
                            double& value,
                            int& index);

// The 12-character status text of CODE for the problem type ("FP " or "NP ").
std::string select_status_text(std::string_view problem_type, int code);

// The listing of every column and row: the full form on the monitoring unit and the compact
// table on the print unit when the two differ.
void print_solution_listing(const ReportData& d);

}  // namespace zun
