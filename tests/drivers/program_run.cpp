// Test helper: runs a driver program and collects its console output.
#include "tests/drivers/program_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace driver_test {

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

RunResult run_program(const Program& program,
                      const fs::path& dir,
                      const std::vector<std::string>& args,
                      const std::string& options,
                      const std::string& functions) {
  // Under the sanitizers, a leak inside the ASL's reader is suppressed (full stacks are needed
  // to match it).
  std::string command = "cd ";
  command += quoted(dir.string());
  command += " && env -u ";
  command += program.option_variable;
  command += " -u AMPLFUNC LSAN_OPTIONS=suppressions=";
  command += quoted(program.lsan_suppressions);
  command += ":fast_unwind_on_malloc=0 ";
  if (!options.empty()) {
    command += program.option_variable;
    command += '=';
    command += quoted(options);
    command += ' ';
  }
  if (!functions.empty()) {
    command += "AMPLFUNC=";
    command += quoted(functions);
    command += ' ';
  }
  command += quoted(program.path);
  for (const std::string& a : args) {
    command += ' ';
    command += quoted(a);
  }
  const fs::path out = dir / "console.txt";
  command += " > ";
  command += quoted(out.string());
  command += " 2>&1";
  const int status = std::system(command.c_str());
  RunResult r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  r.output = text.str();
  return r;
}

fs::path test_directory(const std::string& prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  const fs::path dir =
      fs::temp_directory_path() / (prefix + "_" + name + "_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::size_t count_of(const std::string& text, const std::string& fragment) {
  std::size_t n = 0;
  for (std::size_t at = text.find(fragment); at != std::string::npos;
       at = text.find(fragment, at + 1)) {
    ++n;
  }
  return n;
}

bool in_order(const std::string& text, const std::vector<std::string>& fragments) {
  std::size_t at = 0;
  for (const std::string& fragment : fragments) {
    at = text.find(fragment, at);
    if (at == std::string::npos) return false;
    at += fragment.size();
  }
  return true;
}

bool is_no_stub_report(const std::string& output,
                       const std::string& banner,
                       const std::string& program) {
  const std::string head =
      banner + "\n\nBased on library:\n *** Start of ZUN Library implementation details ***\n";
  std::string tail = " *** End of ZUN Library implementation details ***\n\n";
  tail += "No test problem set, terminating.\nCall `";
  tail += program;
  tail += " -?` for help.\n";
  return output.rfind(head, 0) == 0 && output.size() >= head.size() + tail.size() &&
         output.compare(output.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace driver_test
