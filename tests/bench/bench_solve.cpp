// The spnlp program as the scaling benchmark runs it: the same driver on the same command line,
// followed by the solve's counts of minor iterations and basis factorisations, which the program
// itself prints only to a monitoring file that the AMPL driver never opens.
#include <cstdio>

#include "drivers/spnlp/driver.h"

int main(int argc, char** argv) {
  spnlp::SolveReport report;
  const int code = spnlp::run_driver(argc, argv, &report);
  if (report.solved) {
    std::printf(" No. of iterations %d\n No. of factorizations %d\n", report.iterations,
                report.factorizations);
  }
  std::fflush(stdout);
  std::fflush(stderr);
  return code;
}
