// Parallel solver runs with a time limit, and the readers of what a run printed.
#include "tests/corpus/solver_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace corpus {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(5);

struct Running {
  std::size_t job = 0;
  pid_t pid = -1;
  Clock::time_point start;
  bool killed = false;
};

// In the child: the folder, the output file, the environment, then the program.  Only
// async-signal-safe calls besides setenv/unsetenv, which are safe here because the parent is
// single-threaded.
[[noreturn]] void exec_job(const SolverJob& job,
                           const std::string& program,
                           const std::string& lsan_options) {
  if (chdir(job.directory.c_str()) != 0) _exit(127);
  const int fd = open(job.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) _exit(127);
  dup2(fd, STDOUT_FILENO);
  dup2(fd, STDERR_FILENO);
  close(fd);
  unsetenv("spnlp_options");
  unsetenv("dnnlp_options");
  unsetenv("AMPLFUNC");
  if (!lsan_options.empty()) setenv("LSAN_OPTIONS", lsan_options.c_str(), 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : job.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

void finish(const Running& r, int status, std::vector<SolverOutcome>& out) {
  SolverOutcome& o = out[r.job];
  o.started = true;
  o.timed_out = r.killed;
  o.seconds = std::chrono::duration<double>(Clock::now() - r.start).count();
  if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
  if (WIFEXITED(status)) o.exit_code = WEXITSTATUS(status);
}

}  // namespace

std::vector<SolverOutcome> run_solver_jobs(const std::vector<SolverJob>& jobs,
                                           int parallel,
                                           double time_limit,
                                           const std::string& lsan_options) {
  std::vector<SolverOutcome> out(jobs.size());
  // The children change folder before they start the program.
  std::vector<std::string> programs;
  for (const SolverJob& job : jobs) programs.push_back(std::filesystem::absolute(job.program));
  std::vector<Running> running;
  std::size_t next = 0;
  const auto limit = std::chrono::duration<double>(time_limit);
  while (next < jobs.size() || !running.empty()) {
    while (next < jobs.size() && static_cast<int>(running.size()) < std::max(parallel, 1)) {
      Running r{next, fork(), Clock::now(), false};
      if (r.pid == 0) exec_job(jobs[next], programs[next], lsan_options);
      if (r.pid > 0) running.push_back(r);
      ++next;
    }
    for (auto it = running.begin(); it != running.end();) {
      int status = 0;
      if (waitpid(it->pid, &status, WNOHANG) == it->pid) {
        finish(*it, status, out);
        it = running.erase(it);
        continue;
      }
      if (!it->killed && Clock::now() - it->start > limit) {
        kill(it->pid, SIGKILL);
        it->killed = true;
      }
      ++it;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return out;
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool has_sanitizer_report(const std::string& text) {
  return text.find("ERROR: AddressSanitizer") != std::string::npos ||
         text.find("ERROR: LeakSanitizer") != std::string::npos ||
         text.find("runtime error:") != std::string::npos ||
         text.find("UndefinedBehaviorSanitizer") != std::string::npos;
}

bool final_flag(const std::string& text, int& flag) {
  static const std::string kFlag = "finished with an error/warning; flag: ";
  const std::size_t at = text.rfind(kFlag);
  if (at != std::string::npos) {
    flag = std::atoi(text.c_str() + at + kFlag.size());
    return true;
  }
  if (text.find("Result OK") != std::string::npos) {
    flag = 0;
    return true;
  }
  return false;
}

bool labelled_count(const std::string& text, const std::string& label, long& value) {
  const std::size_t at = text.find(label);
  if (at == std::string::npos) return false;
  char* end = nullptr;
  const char* start = text.c_str() + at + label.size();
  value = std::strtol(start, &end, 10);
  return end != start;
}

void major_log_counts(const std::string& text, long& majors, long& minors) {
  std::stringstream in(text);
  std::string line;
  bool in_log = false;
  while (std::getline(in, line)) {
    if (line.rfind("  Maj  Mnr", 0) == 0) {
      in_log = true;
      continue;
    }
    long major = 0, minor = 0;
    if (in_log && std::sscanf(line.c_str(), "%5ld%5ld", &major, &minor) == 2) {
      majors = major;
      minors = (minors < 0 ? 0 : minors) + minor;
    } else {
      in_log = false;
    }
  }
}

}  // namespace corpus
