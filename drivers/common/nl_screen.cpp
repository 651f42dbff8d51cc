// The screen of the stub's .nl file before the ASL reads it.
#include "drivers/common/nl_screen.h"

#include <sys/stat.h>

#include <cstdio>

#include "asl.h"
#include "drivers/common/nl_file_check.h"
#include "drivers/common/read_probe.h"

namespace zun_driver {

std::optional<NlFault> screen_nl_file(const std::string& path,
                                      const std::function<int()>& read_in_child) {
  const NlFileCheck check = check_nl_file(path);
  if (check.status == NlFileStatus::kCannotOpen) return std::nullopt;
  if (check.status == NlFileStatus::kCorrupt) return check.fault;
  struct stat info {};
  const std::uint64_t size =
      stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  const ProbeResult probe = probe_in_child(read_in_child, probe_limits(size));
  if (!probe.finished) return NlFault{"first read", probe.failure};
  return std::nullopt;
}

void print_read_error(int code) {
  Printf("AMPL problem with reading the problem, err_code: %i\nTerminating\n", code);
}

void refuse_corrupt_file(const std::string& path, const NlFault& fault) {
  print_read_error(kCorruptFileCode);
  std::fflush(stdout);
  const std::string line =
      "Corrupt problem file " + path + ", " + fault.where + ": " + fault.what + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace zun_driver
