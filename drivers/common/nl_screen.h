// What both drivers do with the stub's .nl file before the ASL reads it: the file check, a
// first read in a child process, and the refusals.
#pragma once

#include <functional>
#include <string>

#include "drivers/common/nl_header.h"
#include "drivers/common/nl_segment_walk.h"

namespace zun_driver {

// The ASL's code of a corrupt .nl file, which every refusal of a corrupt file reports.
constexpr int kCorruptFileCode = 5;

enum class ScreenVerdict {
  kRead,         // the program may read the file (also when it cannot be opened: the ASL says so)
  kNotRegular,   // a directory, a pipe or a device
  kUnsupported,  // a problem without variables, refused from the header
  kCorrupt,      // the walk failed or the first read raised a fault signal: `fault`
  kReadError,    // the first read ended with the ASL's `read_error` and its text `errors`
  kOverBudget,   // the first read used up its processor-time budget of `cpu_seconds`
};

struct ScreenResult {
  ScreenVerdict verdict = ScreenVerdict::kRead;
  NlFault fault;
  int read_error = 0;
  std::string errors;
  double cpu_seconds = 0.0;
  NlBodies bodies;  // what the walk found in the bodies of a file to read
};

// Screens the file at `path` (the stub's .nl file): the check of nl_file_check.h, then, for a
// file that passed it, `read_in_child` run in a child process under the budget of
// read_probe.h; it should read the problem as the driver does (with the bodies the walk found)
// and return the read error, or the corrupt-file code when the driver's check of the problem
// fails.  A child that ends without a verdict (out of memory, say) leaves the read to the
// program.
ScreenResult screen_nl_file(const std::string& path,
                            const std::function<int(const NlBodies&)>& read_in_child);

// Prints why the screen stopped the road (any verdict but kRead) for the file at `path`.
void report_screen(const std::string& path, const ScreenResult& screen);

// The refusal of a problem without variables, with discrete variables or with network
// constraints, on standard output.
void print_unsupported_problem();

// The driver's lines for a read error with `code` on standard output, flushed.
void print_read_error(int code);

// Refuses a corrupt file: the read-error lines with kCorruptFileCode on standard output and one
// line naming the file and its fault on standard error.
void refuse_corrupt_file(const std::string& path, const NlFault& fault);

}  // namespace zun_driver
