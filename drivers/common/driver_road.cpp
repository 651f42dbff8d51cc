// The shared road of the AMPL drivers.
#include "drivers/common/driver_road.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "asl.h"
#include "drivers/common/asl_record.h"
#include "drivers/common/nl_file_check.h"
#include "drivers/common/nl_screen.h"
#include "getstub.h"
#include "library/support/banner.h"

namespace zun_driver {

namespace {

constexpr int kCompactGradients = 1;

void print_no_stub(const char* banner, const char* program) {
  Printf("%s\n\nBased on library:\n", banner);
  zun::print_implementation_details();
  Printf("\n");
  Printf("No test problem set, terminating.\n");
  Printf("Call `%s -?` for help.\n", program);
}

bool unsupported_problem() {
  return n_var <= 0 || nbv > 0 || niv > 0 || nlvbi > 0 || nlvci > 0 || nlvoi > 0 || nlnc > 0 ||
         lnc > 0;
}

// How the refusal of an unusable number names it.
std::string number_name(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "infinity" : "-infinity";
  std::ostringstream text;
  text << std::setprecision(17) << value;
  return text.str();
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

// Reads the problem from the file that jac0dim opened, with the rows and objectives that
// `bodies` found non-constant though declared linear counted as nonlinear; returns the read
// error (0 when it was read).  Throws std::bad_alloc when memory runs out.
int read_problem(FILE* nl, int objective, const NlBodies& bodies, std::optional<ProblemShape>& shape) {
  allocate_asl_arrays();
  const int read_error = fg_read(nl, ASL_return_read_err);
  if (read_error != 0) return read_error;
  shape = read_problem_shape(objective);
  // Counts or variable numbers out of range: the file is corrupt although the ASL read it.
  if (!shape) return ASL_readerr_corrupt;
  widen_declared_linear(*shape, bodies, objective);
  return 0;
}

// The gradient of row `i` at X0 in compact mode, scattered by the row's variable numbers into
// `dense` (size n_var); `compact` holds at least one value per term of the row.
void row_gradient(int i, std::vector<real>& compact, std::vector<real>& dense) {
  fint error = 0;
  congrd(i, X0, compact.data(), &error);
  std::size_t k = 0;
  for (const cgrad* e = Cgrad[i]; e != nullptr; e = e->next) dense[e->varno] = compact[k++];
}

// One evaluation of every objective and constraint and of their gradients at the start point,
// in compact gradient mode, leaving out the bodies that call imported functions (evaluated once,
// in the solve).  A file whose expressions the ASL read but cannot evaluate (a common expression
// announced and never defined, say) crashes here, in the child, rather than in the solve.
// Evaluation errors are ignored: the solve handles them.
void evaluate_at_start(const NlBodies& bodies, const ProblemShape& shape) {
  std::vector<real> dense(static_cast<std::size_t>(std::max(n_var, 1)));
  std::size_t longest = 1;
  for (const auto& row : shape.rows) longest = std::max(longest, row.size());
  std::vector<real> compact(longest);
  asl->i.congrd_mode = kCompactGradients;
  for (int i = 0; i < n_obj; ++i) {
    if (bodies.objective_calls_function[static_cast<std::size_t>(i)]) continue;
    fint error = 0;
    objval(i, X0, &error);
    error = 0;
    objgrd(i, X0, dense.data(), &error);
  }
  // X0 held as the ASL's known point: no comparison of all N_VAR values at every row.
  fint known_error = 0;
  xknowne(X0, &known_error);
  if (known_error != 0) xunknown();
  for (int i = 0; i < n_con; ++i) {
    if (bodies.row_calls_function[static_cast<std::size_t>(i)]) continue;
    fint error = 0;
    conival(i, X0, &error);
    row_gradient(i, compact, dense);
  }
  xunknown();
}

// The read of the problem as the driver does it, then one evaluation, run in the screen's
// child process.
int read_in_child(char* stub, const NlBodies& bodies) {
  FILE* nl = jac0dim(stub, static_cast<fint>(std::strlen(stub)));
  if (nl == nullptr || unsupported_problem()) return 0;
  std::optional<ProblemShape> shape;
  try {
    const int read_error = read_problem(nl, choose_objective(), bodies, shape);
    if (read_error == 0) evaluate_at_start(bodies, *shape);
    return read_error;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// From the opened .nl file to the problem with the keyword assignments read.
RoadEnd read_opened(FILE* nl,
                    char** options,
                    const DriverIdentity& identity,
                    const NlBodies& bodies) {
  if (unsupported_problem()) {
    std::fclose(nl);
    print_unsupported_problem();
    return RoadEnd{std::nullopt, kExitFailure};
  }
  OpenedProblem problem;
  problem.objective = choose_objective();
  std::optional<ProblemShape> shape;
  int read_error = 0;
  try {
    read_error = read_problem(nl, problem.objective, bodies, shape);
  } catch (const std::bad_alloc&) {
    Printf("Memory allocation problem, terminating.\n");
    return RoadEnd{std::nullopt, kExitFailure};
  }
  if (read_error != 0) {
    print_read_error(read_error);
    return RoadEnd{std::nullopt, kExitFailure};
  }
  std::optional<UnusableNumber> unusable = first_unusable(*shape, problem.objective);
  if (!unusable) unusable = bodies.unusable;
  if (unusable) {
    Printf("The problem gives %s as %s.\nTerminating.\n", number_name(unusable->value).c_str(),
           unusable->what.c_str());
    return RoadEnd{std::nullopt, kExitFailure};
  }
  getopts(options, identity.info);
  if (identity.compact_gradients) asl->i.congrd_mode = kCompactGradients;
  problem.shape = std::move(*shape);
  return RoadEnd{std::move(problem), kExitOk};
}

}  // namespace

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

AslRecord::AslRecord() { asl = ASL_alloc(ASL_read_fg); }

AslRecord::~AslRecord() {
  if (asl != nullptr) ASL_free(&asl);
}

RoadEnd open_problem(char** argv, const DriverIdentity& identity) {
  char** options = argv;
  char* stub = getstub(&options, identity.info);
  if (stub == nullptr) {
    print_no_stub(identity.banner_name, argv[0]);
    return RoadEnd{std::nullopt, kExitOk};
  }
  return_nofile = 1;
  const std::string file = nl_file_name(stub);
  const ScreenResult screen =
      screen_nl_file(file, [stub](const NlBodies& bodies) { return read_in_child(stub, bodies); });
  if (screen.verdict != ScreenVerdict::kRead) {
    report_screen(file, screen);
    return RoadEnd{std::nullopt, kExitFailure};
  }
  FILE* nl = jac0dim(stub, static_cast<fint>(std::strlen(stub)));
  if (nl == nullptr) {
    Printf("Can't open %s\nTerminating.\n", stub);
    return RoadEnd{std::nullopt, kExitFailure};
  }
  return read_opened(nl, options, identity, screen.bodies);
}

}  // namespace zun_driver
