// The driver's keyword table: the AMPL keywords that `spnlp` accepts, their value cells, the
// ASL option record that carries them, and the option lines they become for SPKEYF.
#pragma once

#include <string>
#include <vector>

struct Option_Info;

namespace spnlp {

// The eleven keyword values.  Reals at -1.0 and integers at -1 mean "not set"; the print
// level starts at 5 and so is always sent unless the user sets it to -1.
struct SparseKeywordValues {
  double feasibility = -1.0;
  int hupdates = -1;
  int maxit = -1;
  double minfeas = -1.0;
  int minit = -1;
  int minittotal = -1;
  int minprint = -1;
  double optimality = -1.0;
  double precision = -1.0;
  int print = 5;
  int superbasics = -1;
};

// The process's value cells, written by the ASL's keyword handlers.
SparseKeywordValues& keyword_values();

// The ASL's option-information record of the program (keyword table, banner and solver names,
// option variable, usage lines), passed to getstub, getopts and write_sol.
Option_Info& driver_option_info();

// The banner name printed at the top of the no-stub report.
const char* banner_name();

// The option lines that the values become, in the order they are sent: "Verify Level = -1 "
// first, then each real above 0 and each integer other than -1.  Each line is formatted by the
// ASL's printf family into an 80-byte buffer and keeps its trailing blank.
std::vector<std::string> solver_option_lines(const SparseKeywordValues& values);

}  // namespace spnlp
