// Runs an AMPL solver program on many problems at once, each in its own process with a time
// limit, the way AMPL starts a solver: `program stub -AMPL [keyword=value ...]`.
#pragma once

#include <string>
#include <vector>

namespace corpus {

// One run: the program, its arguments after the program name, the folder it runs in and the
// file that receives its standard output and standard error.
struct SolverJob {
  std::string program;
  std::vector<std::string> args;
  std::string directory;
  std::string output;
};

struct SolverOutcome {
  bool started = false;
  bool timed_out = false;  // killed at the time limit
  int signal = 0;          // the signal that ended the process, 0 for a normal exit
  int exit_code = -1;      // the exit status of a normal exit
  double seconds = 0.0;    // wall-clock time
};

// Runs the jobs with at most `parallel` processes at a time; a process still running after
// `time_limit` seconds is killed.  Outcomes come back in the jobs' order.  Every child has the
// option variables of both programs removed from its environment and, when `lsan_options` is
// not empty, LSAN_OPTIONS set to it.
std::vector<SolverOutcome> run_solver_jobs(const std::vector<SolverJob>& jobs,
                                           int parallel,
                                           double time_limit,
                                           const std::string& lsan_options);

// The whole text of a file ("" when it cannot be read).
std::string read_text(const std::string& path);

// True when the text holds a report of AddressSanitizer, LeakSanitizer or UBSan.
bool has_sanitizer_report(const std::string& text);

// The final IFAIL that the program printed: "Result OK" is 0, "...; flag: N" is N; false when
// neither line is there.
bool final_flag(const std::string& text, int& flag);

// The integer after the first occurrence of `label` in the text; false when it is absent.
bool labelled_count(const std::string& text, const std::string& label, long& value);

// The major iterations and the sum of their minor iterations from the short major-iteration
// log (after each heading that starts with "  Maj  Mnr", lines that start with the two
// counts); both are left alone when there is no log.
void major_log_counts(const std::string& text, long& majors, long& minors);

}  // namespace corpus
