// The main road of the spnlp program.
#include "drivers/spnlp/driver.h"

// Before the ASL headers, whose macros would rename words of the workspace headers.
#include "library/sparse_sqp/run_arrays.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "drivers/common/driver_road.h"
#include "drivers/common/option_info.h"
#include "drivers/spnlp/asl_record.h"
#include "drivers/spnlp/callbacks.h"
#include "drivers/spnlp/keywords.h"
#include "drivers/spnlp/problem_arrays.h"
#include "drivers/spnlp/solve_outcome.h"
#include "getstub.h"
#include "library/sparse_sqp/sparse_sqp.h"

namespace spnlp {

namespace {

constexpr int kSoftFailure = -1;
constexpr int kMinimumRealWorkspace = 500;
constexpr int kMinimumIntegerWorkspace = 500;

// Sends one option line to the sparse solver's option setter.
void send_option_line(const std::string& line) {
  zun::SPKEYF(line.data(), static_cast<int>(line.size()));
}

// The option lines of the keyword cells, then the objective's sense when it is not a plain
// minimisation.
void send_solver_options(int objective) {
  for (const std::string& line : solver_option_lines(keyword_values())) send_option_line(line);
  if (objective < 0) {
    send_option_line("Feasible Point");
  } else if (objtype[objective] != 0) {
    send_option_line("Maximize");
  }
}

// The solver's arguments that the driver owns besides the problem arrays.
struct SolverCall {
  SparseArrays problem;
  WorkspaceLengths lengths{};
  std::vector<int> iz;
  std::vector<double> z;
  int nsb = 0;
  int neediz = 0;
  int needz = 0;
  int ninfs = 0;
  double suminf = 0.0;
  double objv = 0.0;
  int ifail = kSoftFailure;
};

// Calls SPNLPF once; false when the solver's own working storage could not be allocated.
bool call_solver(SolverCall& s) {
  SparseArrays& p = s.problem;
  // A cold start without names: one placeholder name, each character argument of length 1.
  static const char kColdStart[] = "C";
  static const char kNoNames[] = "dummy";
  constexpr int kCharacterLength = 1;
  const int nname = 1;
  s.ifail = kSoftFailure;
  try {
    zun::SPNLPF(confun, objfun, p.n, p.m, p.ncnln, p.nonln, p.njnln, p.iobj, p.nnz, p.aval.data(),
                p.ha.data(), p.ka.data(), p.bl.data(), p.bu.data(), kColdStart, nname, kNoNames,
                s.nsb, p.xv.data(), p.istate.data(), p.mult.data(), s.neediz, s.needz, s.ninfs,
                s.suminf, s.objv, s.iz.data(), s.lengths.leniz, s.z.data(), s.lengths.lenz,
                p.iusr.data(), p.rusr.data(), s.ifail, kCharacterLength, kCharacterLength);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Calls SPNLPF, growing a workspace and calling again as long as it reports one too small.
// False when a workspace cannot be grown or the solver runs out of memory.
bool solve(SolverCall& s) {
  if (!call_solver(s)) return false;
  while (workspace_too_small(s.ifail)) {
    const auto next = grown_workspace(s.ifail, s.lengths, s.neediz, s.needz);
    if (!next) return false;
    try {
      if (next->leniz > s.lengths.leniz) s.iz.resize(static_cast<std::size_t>(next->leniz));
      if (next->lenz > s.lengths.lenz) s.z.resize(static_cast<std::size_t>(next->lenz));
    } catch (const std::bad_alloc&) {
      return false;
    }
    s.lengths = *next;
    Printf("\nMemory allocated, re-running the problem.\n");
    if (!call_solver(s)) return false;
  }
  return true;
}

// Builds the problem arrays and workspaces; false when they cannot be allocated.
bool prepare(SolverCall& s, const ProblemShape& shape) {
  try {
    s.problem = build_sparse_arrays(shape);
    const long long nm = static_cast<long long>(s.problem.n) + s.problem.m;
    s.lengths.leniz = static_cast<int>(std::max<long long>(kMinimumIntegerWorkspace, nm));
    s.lengths.lenz = kMinimumRealWorkspace;
    s.iz.assign(static_cast<std::size_t>(s.lengths.leniz), 0);
    s.z.assign(static_cast<std::size_t>(s.lengths.lenz), 0.0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void write_solution(const SolverCall& s) {
  zun_driver::print_solver_flag("SPNLP", s.ifail);
  std::copy(s.problem.xv.begin(), s.problem.xv.begin() + n_var, X0);
  std::copy(s.problem.mult.begin() + s.problem.n, s.problem.mult.begin() + s.problem.n + n_con,
            pi0);
  zun_driver::write_solution_file(solve_message(s.ifail), X0, pi0, &driver_option_info());
}

}  // namespace

int run_driver(int /*argc*/, char** argv, SolveReport* report) {
  zun_driver::AslRecord record;
  const zun_driver::DriverIdentity identity{&driver_option_info(), banner_name(), true};
  const zun_driver::RoadEnd road = zun_driver::open_problem(argv, identity);
  if (!road.problem) return road.exit_code;
  send_solver_options(road.problem->objective);
  SolverCall s;
  if (!prepare(s, road.problem->shape) || !solve(s)) {
    Printf("Memory allocation problem, terminating.\n");
    return zun_driver::kExitFailure;
  }
  write_solution(s);
  if (report != nullptr) {
    report->solved = true;
    report->factorizations = s.iz[zun::run_word::kFactorizations - 1];
    report->iterations = s.iz[zun::run_word::kIterationsDone - 1];
  }
  return zun_driver::kExitOk;
}

}  // namespace spnlp
