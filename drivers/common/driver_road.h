// The road that both AMPL drivers take from the command line to a problem ready for the
// solver: the ASL record, getstub, the no-stub banner, the screen of the .nl file, jac0dim,
// the refusal of discrete and network problems, the objective choice, fg_read with the check
// of the driver's view of the problem and the refusal of NaN data, and getopts; and the .sol
// file at the end.
#pragma once

#include <optional>

#include "drivers/common/problem_shape.h"
#include "drivers/common/solution_file.h"

struct Option_Info;

namespace zun_driver {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

// Holds the ASL record (allocated for function-and-gradient reading) from construction to
// destruction, so that the record is freed whichever way the road ends.
class AslRecord {
 public:
  AslRecord();
  ~AslRecord();
  AslRecord(const AslRecord&) = delete;
  AslRecord& operator=(const AslRecord&) = delete;
};

// What tells one driver from the other on the shared road.
struct DriverIdentity {
  Option_Info* info = nullptr;        // keyword table, names and usage of the program
  const char* banner_name = nullptr;  // first line of the no-stub report
  bool compact_gradients = false;     // congrd_mode 1 (the row's own terms) instead of full
};

struct OpenedProblem {
  int objective = -1;  // 0-based objective index, -1 none
  ProblemShape shape;
};

// The end of the road: the problem, or the exit code when the road ended before the solve
// (after printing why).
struct RoadEnd {
  std::optional<OpenedProblem> problem;
  int exit_code = kExitOk;
};

// Allocates in the record the arrays that fg_read fills (variable bounds, start point, row
// bounds, starting duals; at least one element each) from the ASL's allocator, which ends the
// process itself when memory runs out; they live as long as the record.
void allocate_asl_arrays();

// Runs the road on the argument vector with the record held by an AslRecord.  The keyword
// assignments of the option variable and the command line are in the keyword cells when it
// returns a problem.
RoadEnd open_problem(char** argv, const DriverIdentity& identity);

}  // namespace zun_driver
