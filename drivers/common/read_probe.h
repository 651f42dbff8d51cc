// A first read of a problem in a child process under a processor-time budget, so that a reader
// that crashes or loops on a corrupt file cannot take the program with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zun_driver {

struct ProbeLimits {
  double cpu_seconds = 0.0;  // processor time of the child before it is stopped
};

enum class ProbeEnd {
  kFinished,     // the child ran `read` to its end; `value` is what it returned
  kFaultSignal,  // the child raised SEGV, BUS, ILL, FPE or ABRT (or AddressSanitizer caught one)
  kOverBudget,   // the child used up its processor-time budget
  kNoVerdict,    // the child ended otherwise (out of memory, exited by itself, killed)
};

struct ProbeResult {
  ProbeEnd end = ProbeEnd::kNoVerdict;
  int value = 0;        // what `read` returned, when finished
  std::string failure;  // how the child ended otherwise
  std::string errors;   // what the child wrote on standard error (its first part)
};

// The budget for a file of `file_size` bytes: generous for any sound problem of that size.
ProbeLimits probe_limits(std::uint64_t file_size);

// Runs `read` in a child process whose standard output goes nowhere and whose standard error
// comes back in the result, under `limits`.  The child is a copy of this process: nothing `read`
// changes reaches the caller except its result.
ProbeResult probe_in_child(const std::function<int()>& read, const ProbeLimits& limits);

}  // namespace zun_driver
