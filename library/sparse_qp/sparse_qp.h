// Public entries of the reduced-gradient QP/LP solver's basis layer and phase-1 LP, with the
// shared codes of the minor iterations: the state of each variable, the basis index, the
// elastic states, the basis request words, the problem kinds, the refactorisation reasons and
// the results of the minor-iteration loops.
//
// Variables are numbered j = 1..n for the columns of A and n + i for the slack of row i
// (nb = n + m).  The basis B is formed from the columns of [A -I].  Arrays are passed as
// 0-based pointers; every index they hold is 1-based.  The workspace IZ(LENIZ), Z(LENZ) holds
// the option words, the planned arrays and the LU factors (workspace_words.h, minor_words.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "library/sparse_lu/sparse_lu.h"

namespace zun {

// VariableState: one integer per variable and slack.  External codes 0..3; inside the minor
// loops a nonbasic variable carries kFixed, kAtLower, kAtUpper or kBetweenBounds.
struct VariableState {
  static constexpr int kBetweenBounds = -1;  // nonbasic strictly between its bounds (internal)
  static constexpr int kAtLower = 0;         // nonbasic at (or below) its lower bound
  static constexpr int kAtUpper = 1;         // nonbasic at (or above) its upper bound
  static constexpr int kSuperbasic = 2;
  static constexpr int kBasic = 3;
  static constexpr int kFixed = 4;  // nonbasic with bl = bu (internal); never priced
};

// BsIndex (integers, m + nS): positions 1..m the basic variables in basis order, m+1..m+nS the
// superbasics in the order in which they became superbasic; 0 marks an empty basic position.
// xBS (reals, same length): the values of the BsIndex variables.

// ElasticState: one integer per variable and slack.
struct ElasticState {
  static constexpr int kNone = 0;
  static constexpr int kBelowLower = 1;  // working bounds (-inf, bl), cost - elastic weight
  static constexpr int kAboveUpper = 2;  // working bounds (bu, +inf), cost + elastic weight
};

// The caller-set elastic allowance (one integer per variable and slack).
struct ElasticAllowance {
  static constexpr int kNone = 0;
  static constexpr int kLower = 1;   // the lower bound may be violated
  static constexpr int kUpper = 2;   // the upper bound may be violated
  static constexpr int kEither = 3;  // either
};

// BasicFeasibilityType: one integer per BsIndex position.
struct BasicFeasibilityType {
  static constexpr int kBelowLower = -2;  // phase-1 gradient -1
  static constexpr int kFeasible = 0;
  static constexpr int kAboveUpper = 2;  // phase-1 gradient +1
};

// BasisType: the two-character request of a factorisation.
struct BasisType {
  static constexpr std::string_view kBasis = "B ";            // B alone
  static constexpr std::string_view kNormal = "BT";           // B, (B S) when ill-conditioned
  static constexpr std::string_view kWithSuperbasics = "BS";  // (B S) with a new split, then B
};

// ProblemKind: only the first two letters count.
struct ProblemKind {
  static constexpr std::string_view kFeasiblePoint = "FP";
  static constexpr std::string_view kLinear = "LP";
  static constexpr std::string_view kQuadratic = "QP";
};

// RefactorReason: why the next pass factorises.
struct RefactorReason {
  static constexpr int kNone = 0;
  static constexpr int kUpdateCount = 1;    // the updates reached the factorization frequency
  static constexpr int kLuGrowth = 2;       // the LU factors grew
  static constexpr int kUpdateFailed = 7;   // an LU update failed
  static constexpr int kRowResiduals = 10;  // the row residuals failed their check
  static constexpr int kStall = 11;         // a stall, unbounded or weak result with superbasics
};

// MinorResult: the result of the minor-iteration loops.
struct MinorResult {
  static constexpr int kOptimal = 0;
  static constexpr int kInfeasible = 1;
  static constexpr int kUnbounded = 2;
  static constexpr int kIterationLimit = 3;
  static constexpr int kWeak = 4;
  static constexpr int kSuperbasicsLimit = 5;
  static constexpr int kIndefinite = 6;
  static constexpr int kStall = 11;
  static constexpr int kLuStorage = 20;      // not enough storage for the LU factors
  static constexpr int kLuDataError = 21;    // error in the factorisation data
  static constexpr int kSingular = 22;       // singular after the slack-replacement limit
  static constexpr int kTooManyBasics = 32;  // more basic variables than rows
  static constexpr int kNoMaximumPivot = 99;
};

// The constraint matrix A (m x n) stored by columns.
struct ColumnMatrix {
  const double* values;  // entries column by column
  const int* rows;       // 1-based row of each entry
  const int* starts;     // n + 1 entries: column j at starts(j)..starts(j+1)-1 (1-based)
};

// The LU factorisation routine (PRUNEN or a test double with its argument list).
using LuFactorRoutine = decltype(&PRUNEN);

// The arrays of the basis that the factorisation driver and the minor loops share.
struct BasisArrays {
  int* state;        // VariableState, nb
  int* bs_index;     // BsIndex, m + s
  double* xbs;       // xBS, m + s
  double* bl_bs;     // working lower bounds of the BsIndex positions, m + s
  double* bu_bs;     // working upper bounds, m + s
  double* x;         // values, nb
  const double* bl;  // bounds, nb
  const double* bu;
};

// Turns the states into a factorised basis (B of m rows from the columns of [A -I]):
// lists BsIndex, factorises B (first re-splitting (B S) for "BS", or for "BT" without a
// reference pivot or with ill-conditioned factors), replaces dependent columns by slacks,
// recomputes xBS and fills the working bounds of the BsIndex positions.  factorize false only
// recomputes the basic values.  reason is printed and cleared.  result: 0, 20 storage (the
// need in LuIntegerWords 13), 21 data error (also ns beyond the superbasics limit IZ(57)),
// 22 still singular, 32 more basics than rows.  The residual constants of the first IZ(21)
// rows come from the row-constants array of the workspace.
void factorize_basis_driver(std::string_view basis_type,
                            bool& factorize,
                            bool& changed,
                            bool& basis_moved,
                            int& result,
                            int itn,
                            int print_level,
                            int& reason,
                            int m,
                            int n,
                            int jacobian_columns,
                            int& ns,
                            int& bs_changes,
                            const ColumnMatrix& a,
                            const BasisArrays& basis,
                            int* iz,
                            int leniz,
                            double* z,
                            int lenz,
                            LuFactorRoutine lu_factor = PRUNEN);

// y := column j of [A -I] (m entries).
void unpack_column(int j, int m, int n, const ColumnMatrix& a, double* y);

// Solves with the current factors by the request's first two characters: "L " y := L^-1 rhs,
// "B " B y = rhs, "Bt" B' y = rhs.  rhs (m) is overwritten.  inform 1 when the right-hand side
// has weight on the singular part.
void solve_with_basis(
    std::string_view request, int& inform, int m, double* rhs, double* y, int* iz, double* z);

// pi := B'^-1 rhs; returns max(1, sum |pi_i| / sqrt(m)).  rhs (m) is overwritten.
double scaled_norm(int m, double* pi, double* rhs, int* iz, double* z);

// Replaces basis column jrep by the column whose L^-1 image is v (m).  inform as PRUNEP.
void update_lu(int& inform, int jrep, int m, double* v, int* iz, int leniz, double* z, int lenz);

// direction with second character 'B': x(BsIndex(k)) := xBS(k); otherwise xBS(k) :=
// x(BsIndex(k)); k = 1..count.
void copy_x_bs(std::string_view direction, int count, const int* bs_index, double* xbs, double* x);

// "Reset xBS": corrects the basic values so that [A -I] x = -c (the constants of the first
// nconst rows), then checks the residuals; "Check residuals" only checks.  flag 0 good, 10
// failed.  xnorm returns the scaled norm of xBS.
void recompute_basics(std::string_view mode,
                      int& flag,
                      int itn,
                      int m,
                      int n,
                      int nbs,
                      double& resid,
                      double& xnorm,
                      const ColumnMatrix& a,
                      int nconst,
                      const double* constants,
                      double* x,
                      double* xbs,
                      const int* bs_index,
                      int* iz,
                      double* z,
                      int print_level);

// The EXPAND anti-degeneracy schedule of one minor loop.
struct ExpandSchedule {
  double working_tol = 0.0;  // the working feasibility tolerance
  double increment = 0.0;    // its growth per minor iteration
  double tolx0 = 0.0;        // its value after a reset
  int last_reset_itn = 0;
  int resets_infeasible = 0;
  int resets_feasible = 0;
};

// mode "Initialize", "Optimal" or "End of cycle" (first letter).  moved: the number of
// nonbasic variables put back on a bound by more than eps^0.67.
void expand_tolerance(std::string_view mode,
                      int& moved,
                      int print_level,
                      int nb,
                      int ninf,
                      int itn,
                      double tol,
                      ExpandSchedule& schedule,
                      const int* state,
                      const double* bl,
                      const double* bu,
                      double* x,
                      const int* iz,
                      const double* z);

// Chooses an initial basis (mode 0..5) by the VariableState codes; does not factorise.
// row_type (m): 0 equality, 1 inequality, 2 free.  row_state: m integers of work.
void crash_basis(int mode,
                 int print_level,
                 int m,
                 int n,
                 int option_value,
                 double crash_tol,
                 const ColumnMatrix& a,
                 int* row_state,
                 int* state,
                 const int* row_type,
                 const double* bl,
                 const double* bu,
                 double* x,
                 const int* iz,
                 const double* z);

// ---- Pricing, ratio test and the LP step.

// The slack of the objective row (variable number j > n, 0 when there is none) and its scale:
// the linear objective is sign x scale x that slack.
struct ObjectiveSlack {
  int j = 0;
  double scale = 0.0;
};

// Chooses the entering nonbasic variable by partial pricing over sections of the columns and
// slacks (Partial Price IZ(94); tolerances Z(184), Z(185), Z(186)).  jq 0: no candidate;
// d_jq its reduced cost (elastic cost included), increasing its direction, count the number
// of candidates above the threshold; section (1..nPrt, 0 before the first call) is kept by
// the caller.  d (nb): the reduced costs, the objective slack's with its objective term while
// the objective is in force.  elastic_weight: the weight in elastic mode, else 0.
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
                   double* z);

// d_j := sign g_j - pi'a_j for j = j1..j2 with state < 2 (the gradient term for j <= nnobj
// while the objective is in force).
void price_columns(int j1,
                   int j2,
                   bool objective_in_force,
                   int nnobj,
                   double sign,
                   const ColumnMatrix& a,
                   const int* state,
                   const double* gobj,
                   const double* pi,
                   double* d);

// The same for the columns j1..j2 in state kFixed with an elastic allowance.
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
                  double* d);

// The outcome of a ratio test (in/out: r, bound, exact_step and hit_lower stay as they were on
// an unbounded direction without a candidate).
struct RatioTest {
  bool hit_lower = false;  // the chosen position meets its lower bound
  bool exact = false;      // the exact step was at least the minimum step
  bool at_bound = false;   // the step is the exact step to the bound
  bool unbounded = false;
  int r = 0;           // the chosen position
  double bound = 0.0;  // the bound it meets
  double exact_step = 0.0;
  double step = 0.0;
  double alpha1 = 0.0;  // the relaxed step of the first pass
};

// Harris two-pass ratio test with phase-1 breakpoints over positions 1..count moving as
// x + step p.  type: BasicFeasibilityType of each position (only its sign is read).
void ratio_test(int count,
                int& degenerate_steps,
                double tol,
                double bigbnd,
                double alpha_max,
                double min_step,
                double pivot_tol,
                const int* type,
                const double* lower,
                const double* upper,
                const double* x,
                const double* p,
                RatioTest& out);

// Log fields of one minor step.
struct MinorStepLog {
  int superbasic_added = 0;    // +SBS
  int superbasic_removed = 0;  // -SBS
  int basic_removed = 0;       // -BS
  int leaving = 0;             // -B
  double pivot = 0.0;
  double step = 0.0;
};

// The state of variable j when it leaves the basis or the superbasic set at position r after
// the ratio test rt: by its working bounds when not elastic (4 when they are equal), else by
// the bound it reached.  elastic: its ElasticState before the step.
int leaving_state(int j, int elastic, const RatioTest& rt, const BasisArrays& b, int r);

// One LP step: the entering variable jq takes position m+1 and moves (increasing or not)
// along p (m+1 reals; on entry p(1..m) = B^-1 a_jq) until a basic variable meets a bound; the
// leaving variable is swapped out and the LU factors are updated with the entering column's
// L^-1 image held in the entering-column array.  result 2 when unbounded; a failed update sets
// reason 7.  type: BasicFeasibilityType (m + 1).  moved (when given): the basic positions
// (0-based, ascending) whose values or variables changed.
void take_minor_step(bool feasible,
                     bool increasing,
                     bool& pi_stale,
                     bool elastic,
                     int& result,
                     int m,
                     int& degenerate_steps,
                     int& reason,
                     int& r,
                     MinorStepLog& log,
                     int jq,
                     double tol,
                     double min_step,
                     const int* allowance,
                     int* elastic_state,
                     int* type,
                     const BasisArrays& basis,
                     double* p,
                     int* iz,
                     int leniz,
                     double* z,
                     int lenz,
                     int itn,
                     std::vector<int>* moved = nullptr);

// ---- Phase-1 bookkeeping over the BsIndex positions 1..count.

// Counts and sums the violations of the working bounds beyond tol; sets type and the phase-1
// gradient (-1 below, +1 above; a feasible position's gradient is left as it was).
void phase1_infeasibilities(int count,
                            double tol,
                            int& ninf,
                            double& sinf,
                            int* type,
                            const double* bl_bs,
                            const double* bu_bs,
                            double* grad,
                            const double* xbs);

// The infeasible positions (0-based, ascending) of the types over positions 1..count.
void list_infeasible_positions(int count, const int* type, std::vector<int>& infeasible);

// The same count after a step that changed only the basic positions in moved (0-based,
// ascending), with a working tolerance no smaller than at the last count: only those and the
// last count's infeasible positions (infeasible, ascending; updated) are classified again, in
// position order, so that the results equal those of phase1_infeasibilities after its
// gradient was cleared.  work: scratch.
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
                                   const double* xbs);

// ninf := the number of elastic BsIndex variables, sinf := the sum of their violations.
void sum_elastic_infeasibilities(int count,
                                 const int* elastic_state,
                                 const int* bs_index,
                                 int& ninf,
                                 double& sinf,
                                 const double* bl,
                                 const double* bu,
                                 const double* x);

// Makes the BsIndex variables that violate a bound they may violate elastic.
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
                               const double* xbs);

// g(k) -= weight for elastic state 1, += weight for state 2.
void shift_elastic_values(
    int count, double weight, const int* elastic_state, const int* bs_index, double* g);

// The working bounds of the elastic BsIndex variables.
void set_elastic_bounds(int count,
                        double bigbnd,
                        const int* elastic_state,
                        const int* bs_index,
                        const double* bl,
                        const double* bu,
                        double* bl_bs,
                        double* bu_bs);

// ---- The minor-iteration log.

// The values of one log line.
struct MinorLogLine {
  std::string_view kind;   // the request name (its first letters select the messages)
  std::string_view label;  // the problem text of the phase messages
  bool elastic = false;
  int elastic_mode = 0;  // elastic objective mode
  bool newly_feasible = false;
  bool objective_in_force = false;
  bool hessian = false;  // the reduced Hessian is in use
  int print_level = 0;   // the minor print level
  int itn = 0;
  int section = 0;  // pp
  double djq = 0.0;
  MinorStepLog step;
  int ninf = 0;
  double sinf = 0.0;
  double objective = 0.0;
  double objective_sign = 1.0;
  double elastic_weight = 0.0;
  int len_l = 0;
  int len_u = 0;
  int compressions = 0;
  double rg_norm = 0.0;
  int ns = 0;
  double cond_hz = 0.0;
};

// Heading counters of the two files, kept by the caller (0 asks for a heading).
struct MinorLogHeadings {
  int detailed = 0;
  int brief = 0;
};

// Writes the detailed line (monitoring file), the short line (print file) and the phase
// messages of one pass.
void print_minor_iteration(const MinorLogLine& line, MinorLogHeadings& headings, int* iz);

// ---- The phase-1 LP.

// Solves one feasibility LP of the start ("FPEqualities", "FPLinear constrnts") on the
// basis of [A -I] with steps of take_minor_step.  label: the problem text of its messages.
// States in internal codes on entry, external on every exit.  Elastic mode is allowed when
// some variable or slack has a nonzero elastic allowance.  result: a MinorResult.
void solve_phase1_lp(std::string_view kind,
                     std::string_view label,
                     bool& factorize,
                     bool& reset_basics,
                     int& result,
                     int m,
                     int n,
                     int print_level,
                     double feasibility_tol,
                     int& itn,
                     int& degenerate_steps,
                     int& ninf,
                     double& sinf,
                     const ColumnMatrix& a,
                     int* state,
                     const double* bl,
                     const double* bu,
                     double* x,
                     int* iz,
                     int leniz,
                     double* z,
                     int lenz);

// ---- The QP minor iterations.

// A routine that the QP hands on untouched (the user routines of the nonlinear solve); the
// Hessian-product routine casts it back to its own type.
using PassedRoutine = void (*)();

// The Hessian-product routine: hv(1..nnh) := the product of v(1..nnh) with the Hessian of the
// unsigned objective over the leading nnh variables, that is sign x H v with H the positive
// definite matrix of the minimisation (the QP multiplies by the sign again where it needs H,
// as in R'R = Z'HZ, and uses the unsigned product for its own gradient).  The 21 arguments: the two
// passed routines, the objective sign, m, n, nnh, the number of entries of A and of its column
// starts (n + 1), A's values, 1-based rows and column starts, v, hv, the 8-character mode word
// (kHessianProductMode), status (0 good; the QP ignores it), IZ, LENIZ, Z, LENZ and the user
// arrays IUSR and RUSR; last the length of the mode word.
using HessianProductRoutine = void (*)(PassedRoutine routine_1,
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

// The mode word that the QP hands to the Hessian-product routine.
inline constexpr std::string_view kHessianProductMode = "Hz      ";

// Calls ROUTINE with the 21 arguments that follow and the character length 8 of the mode word.
void call_routine_argument(HessianProductRoutine routine,
                           PassedRoutine routine_1,
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
                           double* rusr);

using RoutineAdapter = decltype(&call_routine_argument);

// The routine arguments of a subproblem and the user arrays that pass to them unchanged.
struct QpRoutines {
  HessianProductRoutine hessian_product = nullptr;
  RoutineAdapter adapter = call_routine_argument;
  PassedRoutine routine_1 = nullptr;
  PassedRoutine routine_2 = nullptr;
  int* iusr = nullptr;
  double* rusr = nullptr;
};

// What a subproblem reads and does not change.
struct MinorSettings {
  int m = 0;
  int n = 0;
  int superbasics_limit = 0;  // nS never exceeds it (at most IZ(57))
  int nnobj = 0;              // objective gradient columns: the leading variables 1..nnobj
  int nnh = 0;                // Hessian columns 1..nnh (nnh <= nnobj)
  int minor_limit = 0;        // minor iterations of this call
  int elastic_permission = 0;  // below 1: elastic mode is never switched on
  int elastic_mode = 0;        // elastic objective mode: 0 stop when feasible, 1 composite,
                               // 2 the elastic violations alone while any remains
  int print_level = 0;         // the minor print level
  double objective_sign = 1.0;  // -1 maximising
  double elastic_weight = 0.0;  // wtInf
  double optimality_tol = 0.0;         // once feasible
  double phase1_optimality_tol = 0.0;  // before
  double feasibility_tol = 0.0;
};

// The objective terms of a subproblem.  The QP minimises
//   sign x (gobj'(x - x0) + 0.5 (x - x0)' Hu (x - x0) + scale x (objective-row slack))
// with Hu the routine's (unsigned) Hessian over the nnh leading variables, scale = Z(188) and
// the objective row IZ(218) (its slack's term only while that row lies within 1..m).  The QP
// keeps its own gradient gobj + Hu (x - x0) in the array of IZ(301).
struct MinorObjective {
  const double* gobj = nullptr;  // nnobj: the objective gradient at x0 (never written)
  const double* x0 = nullptr;    // nnobj: the base point of the quadratic term
  double qp_value = 0.0;         // out: the unsigned QP objective measured from x0
  double value = 0.0;            // out: the objective of the phase in force (signed)
  int products = 0;              // in/out: Hessian products made
  int degenerate_steps = 0;      // in/out: steps lengthened to the minimum step
};

// Measures of the subproblem's end point.
struct MinorMeasures {
  int ninf = 0;        // infeasible variables (non-elastic and elastic)
  double sinf = 0.0;   // sum of infeasibilities
  double rg_norm = 0.0;  // largest reduced-gradient component of the superbasics
  double pi_norm = 1.0;  // max(1, |pi|_1 / sqrt(m))
};

// Solves one subproblem of a major iteration by reduced-gradient minor iterations with
// superbasic variables: kind "FP..." (stop once the non-elastic variables are feasible),
// "LP..." or "QP..." (a QP without Hessian columns is linear).  label: the 21-character text of
// the infeasibility message.  elastic: in/out, true once elastic mode is on.  r_valid: in/out,
// the reduced-Hessian factor (IZ(278)) matches the superbasics; the caller clears it after a
// Hessian reset or any other change of H, and the call clears it after a refactorisation
// that changed B or S or dropped superbasics.  factorize: in/out, the next
// pass factorises the basis as basis_type ("BT" or "BS", in/out).  reset_basics: in/out, the
// basic values must be recomputed.  ns: in/out superbasics.  minor_count, itn: in/out.  The
// states are internal inside and external on every exit but result 99.  BsIndex, xBS, pi
// (IZ(281) array, m) and the work vectors live in the workspace.  result: a MinorResult.
void minor_iterations(std::string_view kind,
                      std::string_view label,
                      bool& elastic,
                      int& result,
                      const QpRoutines& routines,
                      bool& r_valid,
                      bool& factorize,
                      std::string& basis_type,
                      bool& reset_basics,
                      const MinorSettings& settings,
                      int& ns,
                      int& minor_count,
                      int& itn,
                      MinorObjective& objective,
                      MinorMeasures& measures,
                      const ColumnMatrix& a,
                      int* state,
                      const double* bl,
                      const double* bu,
                      double* x,
                      int* iz,
                      int leniz,
                      double* z,
                      int lenz);

// For i = 1..count and j = first + i: when bu(j) > bl(j), a positive d(i) becomes 0 for a
// variable in state 0 and a negative one for a variable in state 1; then every d(i) is clamped
// into [-1e12, 1e12].  bl, bu, state: 1-based variable arrays passed as 0-based pointers.
void set_subproblem_bounds(
    int first, int count, const int* state, const double* bl, const double* bu, double* d);

// q := the objective of x measured from x0 (base_point > 0; from 0 otherwise) over the nnobj
// leading variables: y := x - x0, g(1..nnh) := H y (one product), q := 0.5 y'H y; g(nnh+1..nnobj)
// := 0; then with the l >= 1 linear terms c: q += c'y and g(1..l) += c.  Nothing when nnobj < 1.
void qp_objective(const QpRoutines& routines,
                  double sign,
                  int base_point,
                  int m,
                  int n,
                  int nnobj,
                  int l,
                  int nnh,
                  int& products,
                  double& q,
                  const ColumnMatrix& a,
                  const double* c,
                  double* g,
                  const double* x0,
                  const double* x,
                  double* y,
                  int* iz,
                  int leniz,
                  double* z,
                  int lenz);

// y := alpha op(S) x + beta y for the columns S of [A -I] named by list(1..count) (slacks as -e_i):
// trans "No transpose": x has count entries, y m; "Transpose": x has m, y count.  Terms whose
// multiplier has magnitude <= tol are skipped in the "No transpose" product.  beta = 0 clears y.
void multiply_columns(std::string_view trans,
                      double tol,
                      int m,
                      int n,
                      int count,
                      const int* list,
                      const ColumnMatrix& a,
                      double alpha,
                      const double* x,
                      double beta,
                      double* y);

// Packed upper-triangular R of order ns (R(i,j) at j(j-1)/2 + i): mode "R " solves R x = v,
// any other ("Rt") R' x = v; v is overwritten.
void solve_with_r(std::string_view mode, int ns, const double* r, double* v);

// Rank-one change of the packed triangle R (order n, k <= n) by plane rotations: on exit
// R'R = (R + u w')'(R + u w') with u = (v(1..k), 0, ..).  The rotations first collapse u into
// row k (starting from u(k) itself), add the collapsed norm times w to that row, and restore
// the triangle.  v: n reals, overwritten; w: n reals; t: the Euclidean norm of v(1..k) (not
// needed by the sweep, kept for callers that know it); tol: rotations on entries of
// magnitude <= tol are skipped.
void rotate_r_factor(int n, double* r, double* v, const double* w, int k, double t, double tol);

}  // namespace zun
