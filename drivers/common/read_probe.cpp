// A first read of a problem in a child process under a processor-time budget.
#include "drivers/common/read_probe.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>

namespace zun_driver {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr double kBaseSeconds = 10.0;
constexpr double kSecondsPerMegabyte = 2.0;
// Seconds between the budget's signal and the kill that follows when it is ignored.
constexpr rlim_t kGraceSeconds = 1;
constexpr int kChildFailure = 127;
// How much of the child's standard error is kept.
constexpr std::size_t kKeptErrorBytes = 1 << 14;
constexpr std::size_t kChunk = 4096;

// In the child: silence its output, send its errors to `errors`, apply the budget, run the
// reader, send back its result on `out`.
[[noreturn]] void run_child(const std::function<int()>& read,
                            const ProbeLimits& limits,
                            int out,
                            int errors) {
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) dup2(null, STDOUT_FILENO);
  dup2(errors, STDERR_FILENO);
  const auto seconds = static_cast<rlim_t>(std::ceil(limits.cpu_seconds));
  const rlimit cpu{seconds, seconds + kGraceSeconds};
  setrlimit(RLIMIT_CPU, &cpu);
  const int value = read();
  std::fflush(nullptr);
  const bool sent = write(out, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
  _exit(sent ? 0 : kChildFailure);
}

// Everything written to `fd` until its end, of which the first kKeptErrorBytes are kept.
std::string drain(int fd) {
  std::string kept;
  char chunk[kChunk];
  while (true) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::size_t room = kKeptErrorBytes - std::min(kKeptErrorBytes, kept.size());
    kept.append(chunk, std::min(room, static_cast<std::size_t>(n)));
  }
  return kept;
}

bool fault_signal(int signal) {
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE ||
         signal == SIGABRT;
}

double cpu_seconds(const rusage& usage) {
  const auto seconds = [](const timeval& t) { return t.tv_sec + 1e-6 * t.tv_usec; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// How the child ended, from its wait status, its processor time and its errors.
ProbeResult classify(int status, const rusage& usage, const ProbeLimits& limits, bool received,
                     int value, std::string errors) {
  ProbeResult r;
  r.errors = std::move(errors);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && received) {
    r.end = ProbeEnd::kFinished;
    r.value = value;
    return r;
  }
  const bool signalled = WIFSIGNALED(status);
  const int signal = signalled ? WTERMSIG(status) : 0;
  if ((signalled && signal == SIGXCPU) ||
      (signalled && signal == SIGKILL && cpu_seconds(usage) >= std::floor(limits.cpu_seconds))) {
    r.end = ProbeEnd::kOverBudget;
    r.failure = "the reader used up its processor-time budget";
  } else if (signalled && fault_signal(signal)) {
    r.end = ProbeEnd::kFaultSignal;
    r.failure = "the reader was ended by signal " + std::to_string(signal);
  } else if (kSanitized && r.errors.find("ERROR: AddressSanitizer") != std::string::npos) {
    r.end = ProbeEnd::kFaultSignal;
    r.failure = "the reader stopped on a fault that AddressSanitizer caught";
  } else {
    r.end = ProbeEnd::kNoVerdict;
    r.failure = signalled ? "the reader was ended by signal " + std::to_string(signal)
                          : "the reader stopped with exit status " +
                                std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  return r;
}

}  // namespace

ProbeLimits probe_limits(std::uint64_t file_size) {
  const double megabytes = static_cast<double>(file_size) / (1 << 20);
  return ProbeLimits{kBaseSeconds + kSecondsPerMegabyte * megabytes};
}

ProbeResult probe_in_child(const std::function<int()>& read, const ProbeLimits& limits) {
  int result[2];
  int errors[2];
  if (pipe(result) != 0) return ProbeResult{ProbeEnd::kNoVerdict, 0, "no pipe", {}};
  if (pipe(errors) != 0) {
    close(result[0]);
    close(result[1]);
    return ProbeResult{ProbeEnd::kNoVerdict, 0, "no pipe", {}};
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(result[0]);
    close(errors[0]);
    run_child(read, limits, result[1], errors[1]);
  }
  close(result[1]);
  close(errors[1]);
  if (child < 0) {
    close(result[0]);
    close(errors[0]);
    return ProbeResult{ProbeEnd::kNoVerdict, 0, "the reader could not be started", {}};
  }
  std::string text = drain(errors[0]);
  close(errors[0]);
  int value = 0;
  ssize_t got = 0;
  do {
    got = ::read(result[0], &value, sizeof value);
  } while (got < 0 && errno == EINTR);
  close(result[0]);
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  return classify(status, usage, limits, got == static_cast<ssize_t>(sizeof value), value,
                  std::move(text));
}

}  // namespace zun_driver
