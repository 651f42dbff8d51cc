// The check of a .nl file before the ASL reads it: a regular file, a sound header whose
// counts the file's size can hold, and every segment, line by line in a text file, field by
// field in a binary one.
#pragma once

#include <string>

#include "drivers/common/nl_header.h"
#include "drivers/common/nl_segment_walk.h"

namespace zun_driver {

enum class NlFileStatus {
  kSound,        // nothing wrong was found
  kCannotOpen,   // no such file or not readable: left to the ASL, which reports it
  kNotRegular,   // a directory, a pipe or a device: not to be read
  kNoVariables,  // a sound header that counts no variables: a problem no solver here takes
  kCorrupt,      // `fault` says what and where
};

struct NlFileCheck {
  NlFileStatus status = NlFileStatus::kSound;
  bool binary = false;
  NlFault fault;
  NlBodies bodies;  // what the walk found in a sound file's bodies
};

// The file that the ASL opens for `stub`: the stub with ".nl" added unless it ends in ".nl".
std::string nl_file_name(const std::string& stub);

// Checks the .nl file at `path` (links followed).
NlFileCheck check_nl_file(const std::string& path);

}  // namespace zun_driver
