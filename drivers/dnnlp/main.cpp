// Entry of the dnnlp program: an AMPL solver over the dense SQP method.
#include <cstdio>

#include "drivers/dnnlp/driver.h"

// Standard output is flushed before the process ends, so that no line is lost to an exit-time
// report (the leak check of the sanitizer builds ends the process on its own).
int main(int argc, char** argv) {
  const int code = dnnlp::run_driver(argc, argv);
  std::fflush(stdout);
  std::fflush(stderr);
  return code;
}
