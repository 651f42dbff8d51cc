// The main road of the dnnlp program.
#include "drivers/dnnlp/driver.h"

#include <algorithm>
#include <new>
#include <string>

#include "asl.h"
#include "drivers/common/asl_record.h"
#include "drivers/common/driver_road.h"
#include "drivers/common/option_info.h"
#include "drivers/dnnlp/dense_arrays.h"
#include "drivers/dnnlp/keywords.h"
#include "drivers/dnnlp/requests.h"
#include "drivers/dnnlp/unbounded.h"
#include "getstub.h"
#include "library/dense_sqp/dense_sqp.h"

namespace dnnlp {

using zun_driver::asl;

namespace {

constexpr int kSoftFailure = -1;
constexpr int kStopRequest = -1;
constexpr const char* kUnbounded = "failed: the problem seems to be unbounded";
constexpr const char* kUnboundedLine = "The problem seems to be unbounded.\n";
constexpr const char* kFlagLine = "DNNLP finished with an error/warning; flag: %i\n";
constexpr const char* kOutOfMemory =
    "Memory allocation problem. The problem cannot fit in the memory as dense.\nTry a sparse "
    "routine instead.\nTerminating.\n";

void send_solver_options() {
  for (const std::string& line : solver_option_lines(keyword_values())) {
    zun::DNKEYF(line.data(), static_cast<int>(line.size()));
  }
}

// The solver's arguments that the driver owns besides the arrays.
struct SolverCall {
  DenseArrays d;
  int irevcm = zun::request::kDone;
  int niter = 0;
  double objv = 0.0;
  int ifail = kSoftFailure;
};

void call_solver(SolverCall& s) {
  DenseArrays& d = s.d;
  zun::DNNLPF(s.irevcm, d.n, d.nclin, d.ncnln, d.lda, d.ldcj, d.ldr, d.a.data(), d.bl.data(),
              d.bu.data(), s.niter, d.istate.data(), d.c.data(), d.jacnl.data(), d.mult.data(),
              s.objv, d.objg.data(), d.r.data(), d.x.data(), d.needrow.data(), d.iwork.data(),
              d.leniw, d.work.data(), d.lenw, s.ifail);
}

// Calls DNNLPF and answers its requests until it returns IREVCM = 0; after an evaluation error
// the next call passes the stop request at once.
void solve(SolverCall& s, const ObjectiveChoice& objective) {
  for (;;) {
    call_solver(s);
    if (s.irevcm == zun::request::kDone) return;
    if (!answer_request(s.irevcm, objective, s.d, s.objv)) s.irevcm = kStopRequest;
  }
}

// The closing lines: the solver's flag, which stands in place of "Result OK" when the point
// seems unbounded, and then a line that names that verdict.
void print_closing_lines(int ifail, bool unbounded) {
  if (unbounded && ifail == zun::dense_exit::kOptimal) {
    Printf(kFlagLine, ifail);
  } else {
    zun_driver::print_solver_flag("DNNLP", ifail);
  }
  if (unbounded) Printf(kUnboundedLine);
}

void write_solution(const SolverCall& s) {
  const bool unbounded = seems_unbounded(s.ifail, s.d, s.objv);
  print_closing_lines(s.ifail, unbounded);
  std::copy(s.d.x.begin(), s.d.x.begin() + n_var, X0);
  copy_row_multipliers(s.d, pi0);
  const char* message = unbounded ? kUnbounded : solve_message(s.ifail);
  zun_driver::write_solution_file(message, X0, pi0, &driver_option_info());
}

}  // namespace

int run_driver(int /*argc*/, char** argv) {
  zun_driver::AslRecord record;
  const zun_driver::DriverIdentity identity{&driver_option_info(), banner_name(), true};
  const zun_driver::RoadEnd road = zun_driver::open_problem(argv, identity);
  if (!road.problem) return road.exit_code;
  send_solver_options();
  SolverCall s;
  try {
    s.d = build_dense_arrays(road.problem->shape);
  } catch (const std::bad_alloc&) {
    Printf(kOutOfMemory);
    return zun_driver::kExitFailure;
  }
  try {
    solve(s, objective_choice(road.problem->objective));
  } catch (const std::bad_alloc&) {
    Printf(kOutOfMemory);
    return zun_driver::kExitFailure;
  }
  write_solution(s);
  return zun_driver::kExitOk;
}

}  // namespace dnnlp
