// What both drivers do with the stub's .nl file before the ASL reads it: the file check, a
// first read in a child process, and the refusal of a corrupt file.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "drivers/common/nl_header.h"

namespace zun_driver {

// The ASL's code of a corrupt .nl file, which every refusal of the screen reports.
constexpr int kCorruptFileCode = 5;

// Screens the file at `path` (the stub's .nl file): the check of nl_file_check.h, then, for a
// file that passed it, `read_in_child` run in a child process under the limits of
// read_probe.h; it should read the problem as the driver does.  Returns the first fault of a
// file to refuse; nothing when the ASL may read it (also when the file cannot be opened, which
// the ASL reports itself).
std::optional<NlFault> screen_nl_file(const std::string& path,
                                      const std::function<int()>& read_in_child);

// The driver's lines for a read error with `code` on standard output.
void print_read_error(int code);

// Refuses a corrupt file: the read-error lines with kCorruptFileCode on standard output and one
// line naming the file and its fault on standard error.
void refuse_corrupt_file(const std::string& path, const NlFault& fault);

}  // namespace zun_driver
