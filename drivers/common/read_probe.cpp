// A first read of a problem in a child process under a time and memory limit.
#include "drivers/common/read_probe.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace zun_driver {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr double kBaseSeconds = 10.0;
constexpr double kSecondsPerMegabyte = 2.0;
constexpr std::uint64_t kBaseBytes = std::uint64_t{2} << 30;
constexpr std::uint64_t kBytesPerFileByte = 1024;
constexpr int kChildFailure = 127;
constexpr auto kFirstPause = std::chrono::microseconds(50);
constexpr auto kLongestPause = std::chrono::milliseconds(5);

// In the child: silence its output, apply the limits, run the reader, send back its result.
[[noreturn]] void run_child(const std::function<int()>& read, const ProbeLimits& limits, int out) {
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
  }
  if (!kAddressSanitizer) {
    const rlimit memory{limits.bytes, limits.bytes};
    setrlimit(RLIMIT_AS, &memory);
  }
  const int value = read();
  const bool sent = write(out, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
  _exit(sent ? 0 : kChildFailure);
}

// Waits for the child until `limits.seconds` have passed, then kills it.  True when it ended
// by itself; `status` is its wait status either way.
bool wait_for(pid_t child, const ProbeLimits& limits, int& status) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(limits.seconds));
  auto pause = std::chrono::duration_cast<std::chrono::steady_clock::duration>(kFirstPause);
  while (true) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return true;
    if (done < 0 && errno != EINTR) return true;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(pause);
    pause = std::min(
        pause * 2, std::chrono::duration_cast<std::chrono::steady_clock::duration>(kLongestPause));
  }
  kill(child, SIGKILL);
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return false;
}

}  // namespace

ProbeLimits probe_limits(std::uint64_t file_size) {
  const double megabytes = static_cast<double>(file_size) / (1 << 20);
  return ProbeLimits{kBaseSeconds + kSecondsPerMegabyte * megabytes,
                     kBaseBytes + kBytesPerFileByte * file_size};
}

ProbeResult probe_in_child(const std::function<int()>& read, const ProbeLimits& limits) {
  int channel[2];
  if (pipe(channel) != 0) return ProbeResult{false, 0, "no pipe for the reader's result"};
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    close(channel[0]);
    close(channel[1]);
    return ProbeResult{false, 0, "the reader could not be started"};
  }
  if (child == 0) {
    close(channel[0]);
    run_child(read, limits, channel[1]);
  }
  close(channel[1]);
  int status = 0;
  const bool ended = wait_for(child, limits, status);
  int value = 0;
  const bool received =
      ::read(channel[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value);
  close(channel[0]);
  if (!ended) {
    return ProbeResult{false, 0, "the reader did not finish within its time limit"};
  }
  if (WIFSIGNALED(status)) {
    return ProbeResult{false, 0,
                       "the reader was ended by signal " + std::to_string(WTERMSIG(status))};
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !received) {
    return ProbeResult{false, 0,
                       "the reader stopped with exit status " +
                           std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1)};
  }
  return ProbeResult{true, value, {}};
}

}  // namespace zun_driver
