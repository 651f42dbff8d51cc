// The main road of the spnlp program.
#include "drivers/spnlp/driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "drivers/common/nl_file_check.h"
#include "drivers/common/nl_screen.h"
#include "drivers/spnlp/asl_problem.h"
#include "drivers/spnlp/asl_record.h"
#include "drivers/spnlp/callbacks.h"
#include "drivers/spnlp/keywords.h"
#include "drivers/spnlp/problem_arrays.h"
#include "drivers/spnlp/solve_outcome.h"
#include "getstub.h"
#include "library/sparse_sqp/sparse_sqp.h"
#include "library/support/banner.h"

namespace spnlp {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kSoftFailure = -1;
constexpr int kMinimumRealWorkspace = 500;
constexpr int kMinimumIntegerWorkspace = 500;

// Frees the ASL record when the road ends, whichever way it ends.
class AslRecord {
 public:
  AslRecord() { asl = ASL_alloc(ASL_read_fg); }
  ~AslRecord() {
    if (asl != nullptr) ASL_free(&asl);
  }
  AslRecord(const AslRecord&) = delete;
  AslRecord& operator=(const AslRecord&) = delete;
};

void print_no_stub(const char* program) {
  Printf("%s\n\nBased on library:\n", banner_name());
  zun::print_implementation_details();
  Printf("\n");
  Printf("No test problem set, terminating.\n");
  Printf("Call `%s -?` for help.\n", program);
}

bool unsupported_problem() {
  return n_var <= 0 || nbv > 0 || niv > 0 || nlvbi > 0 || nlvci > 0 || nlvoi > 0 || nlnc > 0 ||
         lnc > 0;
}

// The objective index (0-based, -1 none), with the warnings about missing or extra objectives.
int choose_objective() {
  if (n_obj < 1) {
    Printf("Warning: There is no objective function, pretending to be constant.\n");
    return -1;
  }
  if (n_obj > 1) {
    Printf("Warning: More than one objetive function detected, using the first one.\n");
  }
  return 0;
}

// Arrays that fg_read fills, from the ASL's allocator (which ends the process itself when
// memory runs out); they live as long as the record.
void allocate_asl_arrays() {
  const std::size_t nv = static_cast<std::size_t>(std::max(n_var, 1)) * sizeof(real);
  const std::size_t nc = static_cast<std::size_t>(std::max(n_con, 1)) * sizeof(real);
  LUv = static_cast<real*>(M1alloc(nv));
  Uvx = static_cast<real*>(M1alloc(nv));
  X0 = static_cast<real*>(M1alloc(nv));
  LUrhs = static_cast<real*>(M1alloc(nc));
  Urhsx = static_cast<real*>(M1alloc(nc));
  pi0 = static_cast<real*>(M1alloc(nc));
}

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

void call_solver(SolverCall& s) {
  SparseArrays& p = s.problem;
  // A cold start without names: one placeholder name, each character argument of length 1.
  static const char kColdStart[] = "C";
  static const char kNoNames[] = "dummy";
  constexpr int kCharacterLength = 1;
  const int nname = 1;
  s.ifail = kSoftFailure;
  zun::SPNLPF(confun, objfun, p.n, p.m, p.ncnln, p.nonln, p.njnln, p.iobj, p.nnz, p.aval.data(),
              p.ha.data(), p.ka.data(), p.bl.data(), p.bu.data(), kColdStart, nname, kNoNames,
              s.nsb, p.xv.data(), p.istate.data(), p.mult.data(), s.neediz, s.needz, s.ninfs,
              s.suminf, s.objv, s.iz.data(), s.lengths.leniz, s.z.data(), s.lengths.lenz,
              p.iusr.data(), p.rusr.data(), s.ifail, kCharacterLength, kCharacterLength);
}

// Calls SPNLPF, growing a workspace and calling again as long as it reports one too small.
// False when a workspace cannot be grown.
bool solve(SolverCall& s) {
  call_solver(s);
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
    call_solver(s);
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
  if (s.ifail != 0) {
    Printf("SPNLP finished with an error/warning; flag: %i\n", s.ifail);
  } else {
    Printf("Result OK\n");
  }
  std::copy(s.problem.xv.begin(), s.problem.xv.begin() + n_var, X0);
  std::copy(s.problem.mult.begin() + s.problem.n, s.problem.mult.begin() + s.problem.n + n_con,
            pi0);
  write_sol(solve_message(s.ifail), X0, pi0, &driver_option_info());
}

// Reads the problem from the file that jac0dim opened into the record and the driver's view
// of it; returns the read error (0 when it was read).  Throws std::bad_alloc when memory runs
// out.
int read_problem(FILE* nl, int objective, std::optional<ProblemShape>& shape) {
  allocate_asl_arrays();
  const int read_error = fg_read(nl, ASL_return_read_err);
  if (read_error != 0) return read_error;
  shape = read_problem_shape(objective);
  // Counts or variable numbers out of range: the file is corrupt although the ASL read it.
  return shape ? 0 : ASL_readerr_corrupt;
}

// One evaluation of every objective and constraint and of their gradients at the start
// point.  A file whose expressions the ASL read but cannot evaluate (a common expression
// announced and never defined, say) crashes here, in the child, rather than in the solve.
// Evaluation errors are reported through `error` and ignored: the solve handles them.
void evaluate_at_start() {
  std::vector<real> gradient(static_cast<std::size_t>(std::max(n_var, 1)));
  asl->i.congrd_mode = 1;
  for (int i = 0; i < n_obj; ++i) {
    fint error = 0;
    objval(i, X0, &error);
    error = 0;
    objgrd(i, X0, gradient.data(), &error);
  }
  const KnownPoint known(X0);
  for (int i = 0; i < n_con; ++i) {
    fint error = 0;
    conival(i, X0, &error);
    error = 0;
    congrd(i, X0, gradient.data(), &error);
  }
}

// The read of the problem as the driver does it, then one evaluation, run in the screen's
// child process.
int read_in_child(char* stub) {
  FILE* nl = jac0dim(stub, static_cast<fint>(std::strlen(stub)));
  if (nl == nullptr || unsupported_problem()) return 0;
  std::optional<ProblemShape> shape;
  try {
    const int read_error = read_problem(nl, choose_objective(), shape);
    if (read_error == 0) evaluate_at_start();
    return read_error;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// The road from the opened .nl file to the written solution.
int solve_problem(FILE* nl, char** options) {
  if (unsupported_problem()) {
    std::fclose(nl);
    Printf(
        "Discrete problems or problems with newtork constraints are not supported by this "
        "solver.\nTerminating.\n");
    return kExitFailure;
  }
  const int objective = choose_objective();
  std::optional<ProblemShape> shape;
  int read_error = 0;
  try {
    read_error = read_problem(nl, objective, shape);
  } catch (const std::bad_alloc&) {
    Printf("Memory allocation problem, terminating.\n");
    return kExitFailure;
  }
  if (read_error != 0) {
    zun_driver::print_read_error(read_error);
    return kExitFailure;
  }
  getopts(options, &driver_option_info());
  send_solver_options(objective);
  asl->i.congrd_mode = 1;

  SolverCall s;
  if (!prepare(s, *shape) || !solve(s)) {
    Printf("Memory allocation problem, terminating.\n");
    return kExitFailure;
  }
  write_solution(s);
  return kExitOk;
}

}  // namespace

int run_driver(int /*argc*/, char** argv) {
  AslRecord record;
  char** options = argv;
  char* stub = getstub(&options, &driver_option_info());
  if (stub == nullptr) {
    print_no_stub(argv[0]);
    return kExitOk;
  }
  return_nofile = 1;
  const std::string file = zun_driver::nl_file_name(stub);
  if (const auto fault = zun_driver::screen_nl_file(file, [stub] { return read_in_child(stub); })) {
    zun_driver::refuse_corrupt_file(file, *fault);
    return kExitFailure;
  }
  FILE* nl = jac0dim(stub, static_cast<fint>(std::strlen(stub)));
  if (nl == nullptr) {
    Printf("Can't open %s\nTerminating.\n", stub);
    return kExitFailure;
  }
  return solve_problem(nl, options);
}

}  // namespace spnlp
