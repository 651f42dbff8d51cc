// The main road of the spnlp program: command line and keyword assignments, reading the
// problem through the ASL, the solver calls with their workspace re-runs, and the solution
// file.
#pragma once

namespace spnlp {

// What a finished solve leaves besides its printed output and solution file.
struct SolveReport {
  bool solved = false;      // the solver ran to its end and the solution was written
  int factorizations = 0;   // basis factorisations of the last call
  int iterations = 0;       // minor iterations of the last call
};

// Runs the program on its argument vector and returns the process exit code: 0 after the
// solution is written and when no stub is given, 1 for every refusal or failure before the
// solve and for a failed workspace re-allocation.  `report`, when given, receives the
// figures of the solve.
int run_driver(int argc, char** argv, SolveReport* report = nullptr);

}  // namespace spnlp
