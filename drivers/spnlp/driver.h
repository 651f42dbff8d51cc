// The main road of the spnlp program: command line and keyword assignments, reading the
// problem through the ASL, the solver calls with their workspace re-runs, and the solution
// file.
#pragma once

namespace spnlp {

// Runs the program on its argument vector and returns the process exit code: 0 after the
// solution is written and when no stub is given, 1 for every refusal or failure before the
// solve and for a failed workspace re-allocation.
int run_driver(int argc, char** argv);

}  // namespace spnlp
