// The ASL option-information record of a driver (keyword table, names, usage lines) and the
// driver's closing line about the solver's flag.
#pragma once

#include <string>
#include <vector>

#include "getstub.h"

namespace zun_driver {

struct DriverNames {
  const char* solver;           // short name, e.g. "SPNLP"
  const char* banner;           // banner name, first line of the no-stub report
  const char* option_variable;  // the AMPL option variable, e.g. "spnlp_options"
  const char* version;          // version text of -v
  const char* program;          // program name in the usage lines, e.g. "spnlp"
  const char* invoked_solver;   // the solver named in the usage's AMPL paragraph
};

// The usage lines of -? for a driver, kept alive with the record that points to them.
class UsageLines {
 public:
  explicit UsageLines(const DriverNames& names);
  UsageLines(const UsageLines&) = delete;
  UsageLines& operator=(const UsageLines&) = delete;
  char** lines() { return pointers_.data(); }

 private:
  std::vector<std::string> text_;
  std::vector<char*> pointers_;  // into text_, null-terminated
};

// The record for `keywords` (sorted by name, `count` of them) and the usage lines: flags 0,
// driver date 20101101, no solution wanted by default, no suffixes.
Option_Info make_option_info(const DriverNames& names, keyword* keywords, int count, char** usage);

// A driver's record with the usage lines it points to.
class DriverOptionRecord {
 public:
  template <int K>
  DriverOptionRecord(const DriverNames& names, keyword (&keywords)[K])
      : usage_(names), info_(make_option_info(names, keywords, K, usage_.lines())) {}
  Option_Info& info() { return info_; }

 private:
  UsageLines usage_;
  Option_Info info_;
};

// "<solver> finished with an error/warning; flag: <ifail>" when ifail is not 0, else
// "Result OK", on standard output.
void print_solver_flag(const char* solver, int ifail);

}  // namespace zun_driver
