// The solve body.  The solve stages (scaling, feasibility phases, major iterations and the
// final report) are not part of this build: the run ends at once with the internal-error
// class kStagesUnavailable and its exit message, and nothing of the problem is changed.
#include "library/sparse_sqp/solve_driver.h"

#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/exit_messages.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {

int run_sparse_sqp(SparseRun& run) {
  namespace iw = sparse_option::integer_word;
  namespace rw = sparse_option::real_word;
  Words<const int> i(run.problem.iz);
  Words<const double> z(run.problem.z);
  ExitSituation situation;
  situation.feasible_point_problem = i(iw::kObjectiveKind) == 0;
  situation.unbounded_objective = z(rw::kUnboundedObjective);
  situation.minor_iteration_limit = i(iw::kMinorIterationLimit);
  situation.iteration_limit = i(iw::kIterationLimit);
  int code = end_class::kStagesUnavailable;
  int monitoring_status = 0;
  print_exit_message(situation, code, run.problem.iz, run.ifail_on_entry, run.routine,
                     monitoring_status);
  return code;
}

}  // namespace zun
