// The screen of the stub's .nl file before the ASL reads it.
#include "drivers/common/nl_screen.h"

#include <sys/stat.h>

#include <cstdio>

#include "asl.h"
#include "drivers/common/nl_file_check.h"
#include "drivers/common/read_probe.h"

namespace zun_driver {

namespace {

ScreenResult stopped(ScreenVerdict verdict, NlFault fault) {
  ScreenResult r;
  r.verdict = verdict;
  r.fault = std::move(fault);
  return r;
}

}  // namespace

ScreenResult screen_nl_file(const std::string& path,
                            const std::function<int(const NlBodies&)>& read_in_child) {
  NlFileCheck check = check_nl_file(path);
  switch (check.status) {
    case NlFileStatus::kCannotOpen:
      return ScreenResult{};
    case NlFileStatus::kNotRegular:
      return stopped(ScreenVerdict::kNotRegular, check.fault);
    case NlFileStatus::kNoVariables:
      return stopped(ScreenVerdict::kUnsupported, check.fault);
    case NlFileStatus::kCorrupt:
      return stopped(ScreenVerdict::kCorrupt, check.fault);
    case NlFileStatus::kSound:
      break;
  }
  struct stat info {};
  const std::uint64_t size =
      stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  const ProbeLimits limits = probe_limits(size);
  const NlBodies& bodies = check.bodies;
  const ProbeResult probe = probe_in_child([&] { return read_in_child(bodies); }, limits);
  ScreenResult r;
  switch (probe.end) {
    case ProbeEnd::kFaultSignal:
      return stopped(ScreenVerdict::kCorrupt, NlFault{"first read", probe.failure});
    case ProbeEnd::kOverBudget:
      r.verdict = ScreenVerdict::kOverBudget;
      r.cpu_seconds = limits.cpu_seconds;
      return r;
    case ProbeEnd::kFinished:
      if (probe.value != 0) {
        r.verdict = ScreenVerdict::kReadError;
        r.read_error = probe.value;
        r.errors = probe.errors;
        return r;
      }
      break;
    case ProbeEnd::kNoVerdict:
      break;
  }
  r.bodies = std::move(check.bodies);
  return r;
}

void report_screen(const std::string& path, const ScreenResult& screen) {
  switch (screen.verdict) {
    case ScreenVerdict::kRead:
      return;
    case ScreenVerdict::kNotRegular:
      Printf("Can't open %s: not a regular file\nTerminating.\n", path.c_str());
      break;
    case ScreenVerdict::kUnsupported:
      print_unsupported_problem();
      break;
    case ScreenVerdict::kCorrupt:
      refuse_corrupt_file(path, screen.fault);
      return;
    case ScreenVerdict::kReadError:
      std::fputs(screen.errors.c_str(), stderr);
      std::fflush(stderr);
      print_read_error(screen.read_error);
      return;
    case ScreenVerdict::kOverBudget:
      Printf("The first read of %s used up its processor-time budget of %.0f seconds.\n"
             "Terminating.\n",
             path.c_str(), screen.cpu_seconds);
      break;
  }
  std::fflush(stdout);
}

void print_unsupported_problem() {
  Printf(
      "Discrete problems or problems with newtork constraints are not supported by this "
      "solver.\nTerminating.\n");
}

void print_read_error(int code) {
  Printf("AMPL problem with reading the problem, err_code: %i\nTerminating\n", code);
  std::fflush(stdout);
}

void refuse_corrupt_file(const std::string& path, const NlFault& fault) {
  print_read_error(kCorruptFileCode);
  const std::string line =
      "Corrupt problem file " + path + ", " + fault.where + ": " + fault.what + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace zun_driver
