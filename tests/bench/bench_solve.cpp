// The spnlp program as the scaling benchmark runs it: the same driver on the same command line,
// followed by the count of basis factorisations of the solve, which the program itself prints
// only to a monitoring file that the AMPL driver never opens.
#include <cstdio>

#include "drivers/spnlp/driver.h"

int main(int argc, char** argv) {
  spnlp::SolveReport report;
  const int code = spnlp::run_driver(argc, argv, &report);
  if (report.solved) std::printf(" No. of factorizations %d\n", report.factorizations);
  std::fflush(stdout);
  std::fflush(stderr);
  return code;
}
