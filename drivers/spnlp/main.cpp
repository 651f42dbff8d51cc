// Entry of the spnlp program: an AMPL solver over the sparse SQP method.
#include "drivers/spnlp/driver.h"

int main(int argc, char** argv) { return spnlp::run_driver(argc, argv); }
