// The scaling benchmark: writes the scalable problem families as .nl files for the chosen
// sizes, solves each with the solver program and prints one table row per run: n, nonzeros,
// superbasics at the end, major and minor iterations, factorisations, seconds and seconds per
// major iteration.  Figures the program did not print are shown as "-".
//
//   spnlp_bench --program P [--sizes 1000,10000,100000] [--time-limit SECONDS]
//               [--keywords "keyword=value ..."]
//
// Every run asks for major print level 10 ("print=10"), at which the print file ends with the
// solution listing; the superbasics at the end are the entries of state SBS there.  The spnlp
// program prints its count of basis factorisations only to a monitoring file, which the AMPL
// driver does not open: the benchmark target runs spnlp_bench_solve, the same driver followed
// by " No. of iterations" and " No. of factorizations" lines (the minor count of the closing
// lines can overflow its field).  Run with the spnlp program itself, that column is "-".
//
// Family settings, given before the --keywords ones (which can override them):
//   square_system: "minittotal=50000000".  Its first QP starts from the all-slack basis and
//   brings the n - k equations' variables into the basis one minor iteration each, about n
//   minor iterations (that QP alone may use n more than the minor limit), beyond the default
//   total of 10000 at these sizes.  This is the method's own cost, not a fault.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/bench/nl_writer.h"
#include "tests/bench/scalable_families.h"
#include "tests/corpus/solver_process.h"

namespace {

namespace fs = std::filesystem;

struct Settings {
  std::string program;
  std::vector<int> sizes = {1000, 10000, 100000};
  double time_limit = 600.0;
  std::vector<std::string> keywords;
};

// What a run printed about its iterations.
struct RunFigures {
  long superbasics = -1;
  long majors = -1;
  long minors = -1;
  long factorisations = -1;
  int flag = -1;
  bool have_flag = false;
};

bool parse_settings(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (a == "--program") {
      s.program = value;
    } else if (a == "--time-limit") {
      s.time_limit = std::atof(value.c_str());
    } else if (a == "--keywords") {
      s.keywords.clear();
      std::stringstream in(value);
      for (std::string word; in >> word;) s.keywords.push_back(word);
    } else if (a == "--sizes") {
      s.sizes.clear();
      std::stringstream in(value);
      std::string item;
      while (std::getline(in, item, ',')) s.sizes.push_back(std::atoi(item.c_str()));
    } else {
      return false;
    }
    ++i;
  }
  return !s.program.empty();
}

// The entries of state SBS in the solution listing (" X     20   SBS   0.55 ..."), or -1 when
// the output has no listing.
long listed_superbasics(const std::string& output) {
  const std::size_t at = output.find(" Variable State");
  if (at == std::string::npos) return -1;
  std::stringstream in(output.substr(at));
  long count = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 3 || line[0] != ' ' || (line[1] != 'X' && line[1] != 'N') || line[2] != ' ') {
      continue;
    }
    std::stringstream words(line);
    std::string kind, number, state;
    words >> kind >> number >> state;
    if (state.size() == 1) words >> state;  // a one-letter note precedes the state
    if (state == "SBS") ++count;
  }
  return count;
}

// The counts of the closing lines "Exit from NP problem after  1000 major iterations," and
// "  12994 minor iterations."; a count printed as stars (too wide) is left as it was.
void exit_counts(const std::string& output, long& majors, long& minors) {
  static const std::string kExit = "Exit from NP problem after";
  const std::size_t at = output.rfind(kExit);
  if (at == std::string::npos) return;
  long major = -1;
  long minor = -1;
  const std::string tail = output.substr(at + kExit.size());
  if (std::sscanf(tail.c_str(), "%ld major iterations, %ld minor", &major, &minor) >= 1) {
    majors = major;
  }
  if (minor >= 0) minors = minor;
}

RunFigures read_figures(const std::string& output) {
  RunFigures f;
  corpus::major_log_counts(output, f.majors, f.minors);
  exit_counts(output, f.majors, f.minors);
  corpus::labelled_count(output, " No. of major iterations", f.majors);
  corpus::labelled_count(output, " No. of superbasics", f.superbasics);
  corpus::labelled_count(output, " No. of factorizations", f.factorisations);
  corpus::labelled_count(output, " No. of iterations", f.minors);
  if (f.superbasics < 0) f.superbasics = listed_superbasics(output);
  f.have_flag = corpus::final_flag(output, f.flag);
  return f;
}

std::string count_text(long value) { return value >= 0 ? std::to_string(value) : "-"; }

void print_heading() {
  std::printf("%-15s %7s %9s %5s %6s %8s %6s %9s %10s  %s\n", "family", "n", "nonzeros", "nS",
              "majors", "minors", "factor", "seconds", "s/major", "exit");
}

void print_row(const std::string& family,
               int n,
               long nonzeros,
               const RunFigures& f,
               const corpus::SolverOutcome& o) {
  std::string exit = f.have_flag ? std::to_string(f.flag) : "none";
  if (o.timed_out) exit = "time limit";
  if (o.signal != 0 && !o.timed_out) exit = "signal " + std::to_string(o.signal);
  std::string per_major = "-";
  if (f.majors > 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3e", o.seconds / static_cast<double>(f.majors));
    per_major = buffer;
  }
  std::printf("%-15s %7d %9ld %5s %6s %8s %6s %9.3f %10s  %s\n", family.c_str(), n, nonzeros,
              count_text(f.superbasics).c_str(), count_text(f.majors).c_str(),
              count_text(f.minors).c_str(), count_text(f.factorisations).c_str(), o.seconds,
              per_major.c_str(), exit.c_str());
  std::fflush(stdout);
}

int run(const Settings& s) {
  std::string pattern = (fs::temp_directory_path() / "spnlp_bench_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path dir = pattern;
  print_heading();
  for (nlgen::Family family : nlgen::kFamilies) {
    for (int n : s.sizes) {
      const nlgen::ScalableProblem p = nlgen::make_problem(family, n);
      const std::string stub = nlgen::family_name(family) + std::to_string(n);
      {
        std::ofstream out(dir / (stub + ".nl"));
        nlgen::write_nl(p.nl, out);
      }
      std::vector<std::string> args = {stub, "print=10"};
      if (family == nlgen::Family::kSquareSystem) {
        args.push_back("minittotal=50000000");
      }
      args.insert(args.end(), s.keywords.begin(), s.keywords.end());
      const corpus::SolverJob job{s.program, args, dir.string(), (dir / (stub + ".out")).string()};
      const corpus::SolverOutcome o = corpus::run_solver_jobs({job}, 1, s.time_limit, "").front();
      const long nonzeros = nlgen::jacobian_nonzeros(p.nl) + nlgen::gradient_nonzeros(p.nl);
      print_row(nlgen::family_name(family), n, nonzeros, read_figures(corpus::read_text(job.output)),
                o);
      fs::remove(dir / (stub + ".nl"));
    }
  }
  fs::remove_all(dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  if (!parse_settings(argc, argv, s)) {
    std::fprintf(stderr,
                 "usage: spnlp_bench --program P [--sizes N,N,...] [--time-limit S] "
                 "[--keywords \"keyword=value ...\"]\n");
    return 2;
  }
  return run(s);
}
