// The dnnlp driver's keyword table: the five AMPL keywords, their value cells, the ASL option
// record that carries them, the option lines they become for DNKEYF, and the solve messages.
#pragma once

#include <string>
#include <vector>

struct Option_Info;

namespace dnnlp {

// The five keyword values; reals at -1.0 and integers at -1 mean "not set".
struct DenseKeywordValues {
  double feasibility = -1.0;
  int maxit = -1;
  double optimality = -1.0;
  double precision = -1.0;
  int print = -1;
};

// The process's value cells, written by the ASL's keyword handlers.
DenseKeywordValues& keyword_values();

// The ASL's option-information record of the program, passed to getstub, getopts and
// write_sol.
Option_Info& driver_option_info();

// The banner name printed at the top of the no-stub report.
const char* banner_name();

// The option lines that the values become, in the order they are sent: "Verify Level = -1 "
// first, then each real above 0 and each integer other than -1.
std::vector<std::string> solver_option_lines(const DenseKeywordValues& values);

// The solve message for the final IFAIL: codes 0 to 6 have their own text, every other value
// (negative ones included) "error: please consult the manual".
const char* solve_message(int ifail);

}  // namespace dnnlp
