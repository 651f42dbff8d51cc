// The corpus runner: solves every problem of the development corpus with a built solver
// program as AMPL does, reads each .sol file back with the ASL and checks it.  One line per
// problem and the count solved (the known optimum reached, feasible, under a solve message that
// reports no failure) are printed; the exit status is nonzero on a crash, a hang, a
// sanitizer report, a missing exit line or .sol file, or a count below the floor.
//
//   corpus_runner --program P --index INDEX.tsv --corpus DIR [--shared DIR] [--floor N]
//                 [--jobs J] [--time-limit SECONDS] [--no-count] [--lsan-options TEXT]
//                 [--option keyword=value]...
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/corpus/solver_process.h"
#include "tests/drivers/asl_loader.h"

namespace {

namespace fs = std::filesystem;

constexpr double kObjectiveTolerance = 1e-4;  // relative to 1 + |known optimum|
constexpr double kViolationTolerance = 1e-5;

struct Settings {
  std::string program;
  std::string index;
  std::string corpus;
  std::string shared;
  std::string lsan_options;
  std::vector<std::string> options;  // keyword=value arguments given to every run
  int floor = 0;
  int jobs = 3;
  double time_limit = 30.0;
  bool count = true;
};

struct Problem {
  std::string file;
  std::string sense;  // min, max or none
  bool has_optimum = false;
  double optimum = 0.0;
  std::string path;  // empty when the file is not present
  bool bundled = false;  // found in the project's own corpus folder
};

// The exit codes that a problem must (or must not) end with.
struct Expectation {
  const char* file;
  std::vector<int> allowed;  // empty: any
  std::vector<int> refused;
};

// hs6max is unbounded above: it must never be reported optimal.
const std::vector<Expectation> kExpectations = {
    {"hs6max.nl", {2, 3, 4}, {0}},
};

struct Verdict {
  bool failed = false;
  bool solved = false;
  std::string text;
};

bool parse_settings(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--program") {
      s.program = value();
    } else if (a == "--index") {
      s.index = value();
    } else if (a == "--corpus") {
      s.corpus = value();
    } else if (a == "--shared") {
      s.shared = value();
    } else if (a == "--floor") {
      s.floor = std::atoi(value().c_str());
    } else if (a == "--jobs") {
      s.jobs = std::atoi(value().c_str());
    } else if (a == "--time-limit") {
      s.time_limit = std::atof(value().c_str());
    } else if (a == "--lsan-options") {
      s.lsan_options = value();
    } else if (a == "--option") {
      s.options.push_back(value());
    } else if (a == "--no-count") {
      s.count = false;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", a.c_str());
      return false;
    }
  }
  return !s.program.empty() && !s.index.empty() && !s.corpus.empty();
}

std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

// The problems of the index, each found in the corpus folder or else in the shared folder.
std::vector<Problem> read_index(const Settings& s) {
  enum Column { kFile = 0, kSense = 5, kOptimum = 6 };
  std::vector<Problem> problems;
  std::ifstream in(s.index);
  std::string line;
  std::getline(in, line);  // the heading
  while (std::getline(in, line)) {
    const std::vector<std::string> f = split_tabs(line);
    if (f.size() <= kOptimum) continue;
    Problem p;
    p.file = f[kFile];
    p.sense = f[kSense];
    p.has_optimum = !f[kOptimum].empty();
    if (p.has_optimum) p.optimum = std::atof(f[kOptimum].c_str());
    for (const std::string& dir : {s.corpus, s.shared}) {
      if (!dir.empty() && fs::is_regular_file(fs::path(dir) / p.file)) {
        p.path = (fs::path(dir) / p.file).string();
        p.bundled = dir == s.corpus;
        break;
      }
    }
    problems.push_back(p);
  }
  return problems;
}

std::string stub_of(const std::string& file) { return file.substr(0, file.rfind('.')); }

// The largest violation of a bound or a row at x.
double largest_violation(const spnlp_test::LoadedProblem& lp, const std::vector<double>& x) {
  double worst = 0.0;
  const std::vector<double> lo = lp.var_lower(), up = lp.var_upper();
  for (std::size_t j = 0; j < x.size(); ++j) {
    worst = std::max({worst, lo[j] - x[j], x[j] - up[j]});
  }
  const std::vector<double> rlo = lp.row_lower(), rup = lp.row_upper();
  for (std::size_t i = 0; i < rlo.size(); ++i) {
    bool error = false;
    const double body = lp.constraint(static_cast<int>(i), x, error);
    if (error) return INFINITY;
    worst = std::max({worst, rlo[i] - body, body - rup[i]});
  }
  return worst;
}

// A solve message that reports a failure or an error rather than a solution.
bool is_failure_message(const std::string& message) {
  return message.rfind("failed", 0) == 0 || message.rfind("error", 0) == 0;
}

void add(Verdict& v, const std::string& text, bool failure) {
  v.text += v.text.empty() ? text : ", " + text;
  v.failed = v.failed || failure;
}

void check_exit_code(const Problem& p, int flag, Verdict& v) {
  for (const Expectation& e : kExpectations) {
    if (p.file != e.file) continue;
    for (int r : e.refused) {
      if (flag == r) add(v, "must not end with " + std::to_string(r), true);
    }
    bool ok = e.allowed.empty();
    for (int a : e.allowed) ok = ok || a == flag;
    if (!ok) add(v, "unexpected exit", false);
  }
}

struct Figures {
  int flag = 0;
  bool have_flag = false;
  bool have_objective = false;
  double objective = 0.0;
  double violation = INFINITY;
  long majors = -1;
};

// Checks one finished run; fills the figures of its line.
Verdict check_run(const Problem& p,
                  const corpus::SolverOutcome& o,
                  const std::string& stub,
                  const std::string& output,
                  Figures& fig) {
  Verdict v;
  if (!o.started) add(v, "not started", true);
  if (o.timed_out) add(v, "HANG (time limit)", true);
  if (o.signal != 0 && !o.timed_out) add(v, "CRASH signal " + std::to_string(o.signal), true);
  if (o.signal == 0 && o.exit_code != 0) add(v, "exit status " + std::to_string(o.exit_code), true);
  if (corpus::has_sanitizer_report(output)) add(v, "SANITIZER report", true);
  fig.have_flag = corpus::final_flag(output, fig.flag);
  if (!fig.have_flag) add(v, "no exit line", true);
  long minors = -1;
  corpus::major_log_counts(output, fig.majors, minors);
  corpus::labelled_count(output, " No. of major iterations", fig.majors);
  spnlp_test::LoadedProblem lp(stub);
  if (!lp.loaded()) {
    add(v, "ASL cannot read the problem", true);
    return v;
  }
  std::string message;
  std::vector<double> x, y;
  if (!fs::exists(stub + ".sol") || !lp.read_solution(message, x, y)) {
    add(v, "MISSING .sol", true);
    return v;
  }
  if (message.empty()) add(v, "empty solve message", true);
  if (fig.have_flag) check_exit_code(p, fig.flag, v);
  fig.violation = largest_violation(lp, x);
  if (lp.counts().n_obj > 0) {
    bool error = false;
    fig.objective = lp.objective(0, x, error);
    fig.have_objective = !error;
  }
  if (p.has_optimum) {
    const bool close = fig.have_objective && std::fabs(fig.objective - p.optimum) <=
                                                 kObjectiveTolerance * (1.0 + std::fabs(p.optimum));
    const bool reached = close && fig.violation <= kViolationTolerance;
    // The verdict is part of the result: the optimum under a failure message is a wrong verdict.
    v.solved = reached && !is_failure_message(message);
    add(v, v.solved ? "solved" : (reached ? "reached under \"" + message + "\"" : "missed"), false);
  } else if (p.sense == "none") {
    add(v, fig.violation <= kViolationTolerance ? "feasible" : "infeasible", false);
  }
  return v;
}

std::string number(bool have, double value, const char* format) {
  if (!have) return "-";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

void print_line(const Problem& p,
                const Figures& f,
                const corpus::SolverOutcome& o,
                const Verdict& v) {
  std::printf("%-16s %5s %16s %16s %10s %6s %7.2f  %s\n", p.file.c_str(),
              f.have_flag ? std::to_string(f.flag).c_str() : "-",
              number(f.have_objective, f.objective, "%.8g").c_str(),
              number(p.has_optimum, p.optimum, "%.8g").c_str(),
              number(std::isfinite(f.violation), f.violation, "%.2e").c_str(),
              f.majors >= 0 ? std::to_string(f.majors).c_str() : "-", o.seconds, v.text.c_str());
}

// A fresh folder for the runs, under the system's temporary folder.
std::string make_run_directory() {
  std::string pattern = (fs::temp_directory_path() / "corpus_runner_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern;
}

int run(const Settings& s) {
  const std::vector<Problem> problems = read_index(s);
  if (problems.empty()) {
    std::fprintf(stderr, "no problems in %s\n", s.index.c_str());
    return 1;
  }
  const std::string dir = make_run_directory();
  if (dir.empty()) return 1;
  std::vector<corpus::SolverJob> jobs;
  std::vector<std::size_t> of_job;
  for (std::size_t k = 0; k < problems.size(); ++k) {
    if (problems[k].path.empty()) continue;
    fs::copy_file(problems[k].path, fs::path(dir) / problems[k].file);
    const std::string stub = stub_of(problems[k].file);
    std::vector<std::string> args = {stub, "-AMPL"};
    args.insert(args.end(), s.options.begin(), s.options.end());
    jobs.push_back({s.program, args, dir, (fs::path(dir) / (stub + ".out")).string()});
    of_job.push_back(k);
  }
  const std::vector<corpus::SolverOutcome> outcomes =
      corpus::run_solver_jobs(jobs, s.jobs, s.time_limit, s.lsan_options);

  std::printf("%-16s %5s %16s %16s %10s %6s %7s  %s\n", "problem", "exit", "objective",
              "known optimum", "violation", "majors", "seconds", "verdict");
  int solved = 0, solved_bundled = 0, with_optimum = 0, failures = 0, skipped = 0;
  for (const Problem& p : problems) {
    with_optimum += p.has_optimum ? 1 : 0;
    if (p.path.empty()) {
      ++skipped;
      std::printf("%-16s skipped: not bundled and no shared copy\n", p.file.c_str());
    }
  }
  for (std::size_t j = 0; j < jobs.size(); ++j) {
    const Problem& p = problems[of_job[j]];
    const std::string stub = (fs::path(dir) / stub_of(p.file)).string();
    const std::string output = corpus::read_text(jobs[j].output);
    Figures fig;
    const Verdict v = check_run(p, outcomes[j], stub, output, fig);
    print_line(p, fig, outcomes[j], v);
    if (v.failed) {
      ++failures;
      std::printf("---- output of %s ----\n%s\n----\n", p.file.c_str(), output.c_str());
    }
    solved += v.solved ? 1 : 0;
    solved_bundled += v.solved && p.bundled ? 1 : 0;
  }
  fs::remove_all(dir);
  std::printf("\nsolved %d of %d problems with a known optimum (%zu run, %d skipped)\n", solved,
              with_optimum, jobs.size(), skipped);
  if (failures > 0) std::printf("FAILED: %d problems crashed, hung or left no result\n", failures);
  // The floor counts the bundled problems only, so that it holds wherever the shared folder is.
  std::printf("solved %d of the bundled problems\n", solved_bundled);
  const bool below = s.count && solved_bundled < s.floor;
  if (below) {
    std::printf("FAILED: the bundled count %d is below the floor %d\n", solved_bundled, s.floor);
  }
  return failures > 0 || below ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  if (!parse_settings(argc, argv, s)) {
    std::fprintf(stderr,
                 "usage: corpus_runner --program P --index INDEX.tsv --corpus DIR [--shared DIR] "
                 "[--floor N] [--jobs J] [--time-limit S] [--no-count] [--lsan-options TEXT] "
                 "[--option keyword=value]...\n");
    return 2;
  }
  return run(s);
}
