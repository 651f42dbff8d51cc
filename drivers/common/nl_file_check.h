// The check of a .nl file before the ASL reads it: a regular file, a sound header whose
// counts the file's size can hold, and for text files every segment line by line.
#pragma once

#include <string>

#include "drivers/common/nl_header.h"

namespace zun_driver {

enum class NlFileStatus {
  kSound,       // nothing wrong was found
  kCannotOpen,  // no such file or not readable: left to the ASL, which reports it
  kCorrupt,     // `fault` says what and where
};

struct NlFileCheck {
  NlFileStatus status = NlFileStatus::kSound;
  bool binary = false;
  NlFault fault;
};

// The file that the ASL opens for `stub`: the stub with ".nl" added unless it ends in ".nl".
std::string nl_file_name(const std::string& stub);

// Checks the .nl file at `path` (links followed).
NlFileCheck check_nl_file(const std::string& path);

}  // namespace zun_driver
