// The drivers' option-information records and usage lines.
#include "drivers/common/option_info.h"

namespace zun_driver {
namespace {

constexpr long kDriverDate = 20101101;

char* text(const char* s) { return const_cast<char*>(s); }

}  // namespace

UsageLines::UsageLines(const DriverNames& names) {
  const std::string program = names.program;
  const std::string exe = "./" + program + ".exe";
  text_ = {
      "  where  stub  is a file created from  `ampl -obstub`  or  `ampl -ogstub`",
      "  call.  Assignments have the form  `keyword=value`. To get a list of all",
      "  keywords, call `" + exe + " -=`, see description bellow.",
      "  Example:",
      "    " + exe + " problem.nl maxit=100 precision=1e-2 print=0",
      " ",
      std::string("  Alternatively, you can invoke solver ") + names.invoked_solver +
          " from Ampl environment. Run",
      "  `ampl` and input the following commands:",
      "     model problem.mod;",
      "     option solver " + program + ";",
      "     option " + std::string(names.option_variable) + " 'maxit=100 precision=1e-2 print=1';",
      "     solve;",
  };
  for (std::string& line : text_) pointers_.push_back(line.data());
  pointers_.push_back(nullptr);
}

Option_Info make_option_info(const DriverNames& names, keyword* keywords, int count, char** usage) {
  Option_Info info{};
  info.sname = text(names.solver);
  info.bsname = text(names.banner);
  info.opname = text(names.option_variable);
  info.keywds = keywords;
  info.n_keywds = count;
  info.flags = 0;
  info.version = text(names.version);
  info.usage = usage;
  info.driver_date = kDriverDate;
  info.wantsol = 0;
  return info;
}

void print_solver_flag(const char* solver, int ifail) {
  if (ifail != 0) {
    Printf("%s finished with an error/warning; flag: %i\n", solver, ifail);
  } else {
    Printf("Result OK\n");
  }
}

}  // namespace zun_driver
