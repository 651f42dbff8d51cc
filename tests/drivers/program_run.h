// Test helper: runs a built driver program in a directory of its own and collects what the
// user sees on the console and the exit code.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace driver_test {

struct RunResult {
  int exit_code = -1;
  std::string output;  // standard output and standard error, in order
};

// The program and the environment it runs in.
struct Program {
  std::string path;               // the built program
  std::string option_variable;    // e.g. "spnlp_options", unset unless a run sets it
  std::string lsan_suppressions;  // leak-check suppressions for the ASL's reader
};

// Runs `program` in `dir` with `args`, the option variable set to `options` and the library
// list AMPLFUNC to `functions` (each unset when empty).
RunResult run_program(const Program& program,
                      const std::filesystem::path& dir,
                      const std::vector<std::string>& args,
                      const std::string& options = "",
                      const std::string& functions = "");

// A fresh directory for the current test, named after the test and the process.
std::filesystem::path test_directory(const std::string& prefix);

// How often `fragment` occurs in `text`.
std::size_t count_of(const std::string& text, const std::string& fragment);

// True when the fragments occur in this order in the text.
bool in_order(const std::string& text, const std::vector<std::string>& fragments);

// True when `output` is the report of a run without a stub: the banner name, the library's
// implementation details, and the lines that send the user to -? of `program`.
bool is_no_stub_report(const std::string& output,
                       const std::string& banner,
                       const std::string& program);

}  // namespace driver_test
