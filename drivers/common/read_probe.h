// A first read of a problem in a child process under a time and memory limit, so that a reader
// that crashes, loops or allocates without end on a corrupt file cannot take the program with
// it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zun_driver {

struct ProbeLimits {
  double seconds = 0.0;     // wall-clock time before the child is killed
  std::uint64_t bytes = 0;  // address-space limit of the child (not applied under ASan)
};

struct ProbeResult {
  bool finished = false;  // the child ran `read` to its end
  int value = 0;          // what `read` returned, when finished
  std::string failure;    // how the child ended otherwise
};

// Limits for a file of `file_size` bytes: generous for any sound problem of that size.
ProbeLimits probe_limits(std::uint64_t file_size);

// Runs `read` in a child process whose output goes nowhere, under `limits`.  The child is a
// copy of this process: nothing `read` changes reaches the caller except its result.
ProbeResult probe_in_child(const std::function<int()>& read, const ProbeLimits& limits);

}  // namespace zun_driver
