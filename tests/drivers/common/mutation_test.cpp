// The spnlp and dnnlp programs on damaged copies of bundled problems and of their binary forms
// (written by the ASL): truncations, byte flips, edited header counts, out-of-range and broken
// segment lines, numbers of linear terms and expression constants set to NaN, infinities, values
// beyond the range of doubles, zeros or a subnormal, and in binary files integer fields (indices,
// counts, lengths, operator codes) set to values that break readers.  Every run must end by itself
// within its limits, without a signal or a sanitizer report, with the program's own last line,
// either refusing the file with exit code 1 or solving it; a solve that the .sol file calls
// converged must be at a point with a finite objective that violates no bound or row by more than
// kConvergedTolerance relative to 1 + its largest term.
//
// A larger sweep runs the same tests with ZUN_MUTANTS (the number of mutants per program),
// ZUN_MUTATION_FILES (a folder whose .nl files, with their binary forms, are damaged instead of
// the bundled ones), ZUN_MUTATION_SEED (another sequence of mutants), ZUN_MUTATION_REALS (the
// numbers written into coefficients and constants, separated by commas), and ZUN_MUTATION_PROGRAM
// and ZUN_MUTATION_DENSE_PROGRAM (other builds of spnlp and dnnlp) set, for example (one line)
//   ZUN_MUTANTS=4000 ZUN_MUTATION_FILES=../shared/nl
//   build/tests/drivers/common/spnlp_mutation_tests --gtest_filter='*OnDamagedFiles*'
// (the two programs' sweeps run apart with --gtest_filter='SpnlpOnDamagedFiles.*' and
// 'DnnlpOnDamagedFiles.*').
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/drivers/common/binary_form.h"
#include "tests/drivers/common/converged_check.h"

namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr int kMutants = kSanitized ? 300 : 800;
// The dense driver shares the reading road: a smaller sweep covers its own steps after it.
constexpr int kDenseMutants = kSanitized ? 120 : 300;
constexpr std::uint32_t kSeed = 20261209;
constexpr double kConvergedTolerance = 1e-6;
constexpr double kRunSeconds = 60.0;
constexpr std::uint64_t kRunBytes = std::uint64_t{4} << 30;
constexpr int kHeaderLines = 10;
constexpr int kFailuresShown = 20;
// The key letters of the binary format after which an integer field follows.
constexpr std::string_view kIntegerKeys = "CLOVFSJGkxdovf";

const std::vector<std::string> kBundledFiles = {"hs071.nl", "hs100asl.nl", "log_error.nl", "ch3.nl",
                                                "hs022.nl"};

// Numbers for linear coefficients and expression constants: NaN, infinities, values beyond the
// range of doubles, zeros and a subnormal.
constexpr const char* kNastyReals = "nan,-nan,inf,-inf,1e400,-1e400,0,-0,1e-320";

// The same integers as 32-bit fields, with small indices just out of range.
const std::vector<std::int32_t> kNastyFields = {-1, -2, 0, 1, 2, 3, 4, 5, 7, 74, 82, 83, 127, 65536,
                                                2147483647, -2147483647 - 1};

// Integers that break readers: signs, the ends of 32 and 64 bits, and more.
const std::vector<std::string> kNastyIntegers = {"-1",
                                                 "-2",
                                                 "0",
                                                 "1",
                                                 "2147483647",
                                                 "-2147483648",
                                                 "2147483648",
                                                 "4294967296",
                                                 "99999999999999999999",
                                                 "-99999999999999999999",
                                                 "65536",
                                                 "1000000"};

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A problem to damage: its bytes, where its header ends, and for a binary form the text file it
// was written from.
struct Original {
  std::string name;
  std::string bytes;
  bool binary = false;
  std::size_t header_end = 0;
  std::string text_form;
};

// The offset just past the ten header lines of `bytes`.
std::size_t header_end(const std::string& bytes) {
  std::size_t at = 0;
  for (int line = 0; line < kHeaderLines && at < bytes.size(); ++line) {
    const std::size_t end = bytes.find('\n', at);
    at = end == std::string::npos ? bytes.size() : end + 1;
  }
  return at;
}

Original load(const fs::path& path) {
  Original o{path.filename().string(), read_file(path), false, 0, ""};
  o.binary = !o.bytes.empty() && o.bytes[0] == 'b';
  o.header_end = header_end(o.bytes);
  return o;
}

// The spans [begin, end) of the whole-integer tokens in bytes [from, to), each possibly a
// field's rest after a key letter.
std::vector<std::pair<std::size_t, std::size_t>> integer_tokens(const std::string& s,
                                                                std::size_t from,
                                                                std::size_t to) {
  std::vector<std::pair<std::size_t, std::size_t>> tokens;
  std::size_t i = from;
  while (i < to) {
    const bool digit = (s[i] >= '0' && s[i] <= '9') || s[i] == '-';
    const bool starts = i == from || s[i - 1] == ' ' || s[i - 1] == '\n' ||
                        (s[i - 1] >= 'A' && s[i - 1] <= 'z' && (i < 2 || s[i - 2] == '\n'));
    if (digit && starts) {
      std::size_t end = i + 1;
      while (end < to && s[end] >= '0' && s[end] <= '9') ++end;
      const bool whole =
          end == to || s[end] == ' ' || s[end] == '\n' || s[end] == '\t' || s[end] == '\r';
      if (whole && end > i + (s[i] == '-' ? 1 : 0)) tokens.emplace_back(i, end);
      i = end;
    } else {
      ++i;
    }
    if (i < to && s[i] == '#') {
      while (i < to && s[i] != '\n') ++i;
    }
  }
  return tokens;
}

std::size_t below(std::mt19937& rng, std::size_t n) { return n == 0 ? 0 : rng() % n; }

enum class Damage {
  kTruncate,
  kByteFlip,
  kHeaderCount,
  kSegmentInteger,
  kLineDrop,
  kLineCopy,
  kBinaryField,
  kNumber
};

const char* damage_name(Damage d) {
  switch (d) {
    case Damage::kTruncate:
      return "truncation";
    case Damage::kByteFlip:
      return "byte flip";
    case Damage::kHeaderCount:
      return "header count";
    case Damage::kSegmentInteger:
      return "segment integer";
    case Damage::kLineDrop:
      return "line dropped";
    case Damage::kLineCopy:
      return "line repeated";
    case Damage::kBinaryField:
      return "binary field";
    case Damage::kNumber:
      return "coefficient or constant";
  }
  return "";
}

std::string replace_integer(const std::string& s,
                            std::size_t from,
                            std::size_t to,
                            std::mt19937& rng) {
  const auto tokens = integer_tokens(s, from, to);
  if (tokens.empty()) return s;
  const auto [begin, end] = tokens[below(rng, tokens.size())];
  const std::string value = kNastyIntegers[below(rng, kNastyIntegers.size())];
  return s.substr(0, begin) + value + s.substr(end);
}

// The line starts in bytes [from, size).
std::vector<std::size_t> line_starts(const std::string& s, std::size_t from) {
  std::vector<std::size_t> starts;
  for (std::size_t i = from; i < s.size(); i = s.find('\n', i) + 1) {
    starts.push_back(i);
    if (s.find('\n', i) == std::string::npos) break;
  }
  return starts;
}

// The spans [begin, end) of the numbers of a text file's linear terms ('J', 'G' and defined
// variables' entries) and expression constants ('n' lines).
std::vector<std::pair<std::size_t, std::size_t>> number_tokens(const std::string& s,
                                                               std::size_t header_end) {
  constexpr std::string_view kSegmentKeys = "FSVCLOdxrbkJG";
  constexpr std::string_view kTokenEnd = " \t\r#";
  std::vector<std::pair<std::size_t, std::size_t>> tokens;
  char segment = ' ';
  for (const std::size_t begin : line_starts(s, header_end)) {
    const std::size_t end = std::min(s.find('\n', begin), s.size());
    if (begin == end) continue;
    const char c = s[begin];
    if (kSegmentKeys.find(c) != std::string_view::npos) {
      segment = c;
      continue;
    }
    std::size_t at = std::string::npos;
    if (c == 'n') {
      at = begin + 1;
    } else if (segment == 'J' || segment == 'G' || segment == 'V') {
      const std::size_t blank = s.find_first_of(" \t", begin);
      if (blank < end) at = s.find_first_not_of(" \t", blank);
    }
    if (at >= end) continue;
    tokens.emplace_back(at, std::min(s.find_first_of(kTokenEnd, at), end));
  }
  return tokens;
}

// The numbers written into coefficients and constants: kNastyReals, or the list that
// ZUN_MUTATION_REALS gives (separated by commas).
const std::vector<std::string>& nasty_reals() {
  static const std::vector<std::string> reals = [] {
    std::vector<std::string> list;
    std::istringstream in(env_or("ZUN_MUTATION_REALS", kNastyReals));
    for (std::string number; std::getline(in, number, ',');) list.push_back(number);
    return list;
  }();
  return reals;
}

// A text file with one number of number_tokens() replaced by a nasty one.
std::string replace_number(const std::string& s, std::size_t header_end, std::mt19937& rng) {
  const auto tokens = number_tokens(s, header_end);
  if (tokens.empty() || nasty_reals().empty()) return s;
  const auto [begin, end] = tokens[below(rng, tokens.size())];
  return s.substr(0, begin) + nasty_reals()[below(rng, nasty_reals().size())] + s.substr(end);
}

// A binary form with one number replaced: the damaged text form written as binary by the ASL in
// `dir` (the unchanged form when the ASL cannot).
std::string replace_binary_number(const Original& o, const fs::path& dir, std::mt19937& rng) {
  std::ofstream(dir / "number_source.nl", std::ios::binary)
      << replace_number(o.text_form, header_end(o.text_form), rng);
  const fs::path binary = dir / "number_binary";
  if (!driver_test::write_binary_form((dir / "number_source").string(), binary.string())) {
    return o.bytes;
  }
  return read_file(binary.string() + ".nl");
}

// A 32-bit field of a binary file's segments that follows a key letter, set to a nasty value.
std::string replace_binary_field(const Original& o, std::mt19937& rng) {
  std::string t = o.bytes;
  std::vector<std::size_t> fields;
  for (std::size_t i = o.header_end; i + 4 < t.size(); ++i) {
    if (kIntegerKeys.find(t[i]) != std::string_view::npos) fields.push_back(i + 1);
  }
  if (fields.empty()) return t;
  const std::size_t at = fields[below(rng, fields.size())];
  const std::int32_t value = kNastyFields[below(rng, kNastyFields.size())];
  std::memcpy(t.data() + at, &value, sizeof value);
  return t;
}

std::string damaged(const Original& o, Damage d, const fs::path& dir, std::mt19937& rng) {
  const std::string& s = o.bytes;
  switch (d) {
    case Damage::kNumber:
      return o.binary ? replace_binary_number(o, dir, rng) : replace_number(s, o.header_end, rng);
    case Damage::kTruncate:
      return s.substr(0, below(rng, s.size()));
    case Damage::kBinaryField:
      return replace_binary_field(o, rng);
    case Damage::kByteFlip: {
      std::string t = s;
      const std::size_t at = below(rng, s.size());
      t[at] = static_cast<char>(rng() % 2 ? t[at] ^ (1 << (rng() % 8)) : ' ' + rng() % 95);
      return t;
    }
    case Damage::kHeaderCount: {
      const std::size_t first_line_end = s.find('\n') + 1;
      return replace_integer(s, first_line_end, o.header_end, rng);
    }
    case Damage::kSegmentInteger:
      return replace_integer(s, o.header_end, s.size(), rng);
    case Damage::kLineDrop:
    case Damage::kLineCopy: {
      const auto starts = line_starts(s, o.header_end);
      if (starts.empty()) return s;
      const std::size_t k = below(rng, starts.size());
      const std::size_t begin = starts[k];
      const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : s.size();
      const std::string line = s.substr(begin, end - begin);
      return d == Damage::kLineDrop ? s.substr(0, begin) + s.substr(end)
                                    : s.substr(0, end) + line + s.substr(end);
    }
  }
  return s;
}

Damage pick_damage(const Original& o, std::mt19937& rng) {
  if (o.binary) {
    constexpr Damage kKinds[] = {Damage::kTruncate,    Damage::kByteFlip,    Damage::kHeaderCount,
                                 Damage::kBinaryField, Damage::kBinaryField, Damage::kBinaryField,
                                 Damage::kNumber};
    // Numbers of a binary file are damaged through its text form.
    const std::size_t kinds = std::size(kKinds) - (o.text_form.empty() ? 1 : 0);
    return kKinds[below(rng, kinds)];
  }
  constexpr Damage kKinds[] = {
      Damage::kTruncate,       Damage::kByteFlip, Damage::kHeaderCount, Damage::kSegmentInteger,
      Damage::kSegmentInteger, Damage::kLineDrop, Damage::kLineCopy,    Damage::kNumber};
  return kKinds[below(rng, std::size(kKinds))];
}

struct RunResult {
  bool signalled = false;
  bool timed_out = false;
  int signal = 0;
  int exit_code = -1;
  std::string output;
};

// Runs `program stub -AMPL` in `dir` (a .sol file for each solve) with its output in `dir`/out.txt,
// under the time limit and, in the plain build, the memory limit (the sanitizer build passes ASan
// its own limits).
RunResult run_program(const std::string& program, const fs::path& dir, const std::string& stub) {
  const fs::path out = dir / "out.txt";
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("spnlp_options=", 0) == 0 || entry.rfind("dnnlp_options=", 0) == 0 ||
        entry.rfind("AMPLFUNC=", 0) == 0 || entry.rfind("ASAN_OPTIONS=", 0) == 0 ||
        entry.rfind("LSAN_OPTIONS=", 0) == 0) {
      continue;
    }
    env_text.push_back(entry);
  }
  env_text.push_back(std::string("LSAN_OPTIONS=suppressions=") + SPNLP_LSAN_SUPPRESSIONS +
                     ":fast_unwind_on_malloc=0");
  env_text.push_back("ASAN_OPTIONS=malloc_limit_mb=2048:hard_rss_limit_mb=2048");
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program_arg = program;
  std::string stub_arg = stub;
  std::string ampl_flag = "-AMPL";
  char* argv[] = {program_arg.data(), stub_arg.data(), ampl_flag.data(), nullptr};

  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || chdir(dir.c_str()) != 0) _exit(126);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    if (!kSanitized) {
      const rlimit memory{kRunBytes, kRunBytes};
      setrlimit(RLIMIT_AS, &memory);
    }
    execve(argv[0], argv, envp.data());
    _exit(127);
  }
  RunResult r;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(kRunSeconds));
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      r.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  r.signalled = !r.timed_out && WIFSIGNALED(status);
  r.signal = r.signalled ? WTERMSIG(status) : 0;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.output = read_file(out);
  return r;
}

bool has(const std::string& text, const std::string& fragment) {
  return text.find(fragment) != std::string::npos;
}

constexpr const char* kReadError = "AMPL problem with reading the problem, err_code: ";

// The last line of `output`, without the backspaces that the ASL's .sol writer may add.
std::string last_line(const std::string& output) {
  const std::size_t end = output.find_last_not_of("\b\n");
  if (end == std::string::npos) return "";
  const std::size_t start = output.rfind('\n', end);
  return output.substr(start == std::string::npos ? 0 : start + 1,
                       end + 1 - (start == std::string::npos ? 0 : start + 1));
}

// True when `line` is one with which the programs end a solve (`solved`) or a refusal.
bool own_last_line(const std::string& line, bool solved) {
  if (solved) {
    return line == "Result OK" ||
           line.starts_with("SPNLP finished with an error/warning; flag: ") ||
           line.starts_with("DNNLP finished with an error/warning; flag: ") ||
           line == "The problem seems to be unbounded.";
  }
  return line == "Terminating" || line == "Terminating." ||
         line == "Memory allocation problem, terminating." ||
         line.starts_with("Corrupt problem file ");
}

// How a run ended, as the summary counts it; empty when it ended in a way that is not allowed.
std::string outcome(const RunResult& r) {
  if (r.timed_out) return "";
  if (r.signalled) return "";
  if (has(r.output, "Sanitizer") || has(r.output, "runtime error:")) return "";
  if (r.exit_code != 0 && r.exit_code != 1) return "";
  if (!own_last_line(last_line(r.output), r.exit_code == 0)) return "";
  if (r.exit_code == 0) return "solved";
  if (has(r.output, "Corrupt problem file ") && has(r.output, std::string(kReadError) + "5\n")) {
    const std::size_t reader = r.output.find(": the reader ");
    if (reader == std::string::npos) return "refused: file check";
    const std::size_t end = r.output.find('\n', reader);
    return "refused: first read in a child failed (" +
           r.output.substr(reader + 2, end - reader - 2) + ")";
  }
  const std::size_t at = r.output.find(kReadError);
  if (at != std::string::npos) {
    return "refused by the reader, err_code " +
           r.output.substr(at + std::string(kReadError).size(), 1);
  }
  if (has(r.output, "Discrete problems or problems with newtork constraints are not supported")) {
    return "refused: discrete or network problem";
  }
  if (has(r.output, "used up its processor-time budget")) return "refused: processor-time budget";
  if (has(r.output, "The problem gives ")) return "refused: unusable number";
  if (has(r.output, "Memory allocation problem, terminating.\n") ||
      has(r.output, "Memory allocation problem. The problem cannot fit in the memory as dense.")) {
    return "refused: memory";
  }
  return "";
}

// The files to damage, each text file followed by its binary form written in `dir`.
std::vector<Original> originals(const fs::path& dir) {
  std::vector<fs::path> paths;
  const std::string folder = env_or("ZUN_MUTATION_FILES", "");
  if (folder.empty()) {
    for (const std::string& name : kBundledFiles) paths.push_back(fs::path(ZUN_TEST_DATA_DIR) / name);
  } else {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".nl") paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
  }
  std::vector<Original> files;
  for (const fs::path& p : paths) {
    files.push_back(load(p));
    if (files.back().binary) continue;
    const fs::path binary = dir / ("binary_" + p.stem().string());
    if (driver_test::write_binary_form((p.parent_path() / p.stem()).string(), binary.string())) {
      const std::string text = files.back().bytes;
      files.push_back(load(binary.string() + ".nl"));
      files.back().name += " (binary form of " + p.filename().string() + ")";
      files.back().text_form = text;
    }
  }
  return files;
}

// Runs `program` on `mutants` damaged files; the failed mutants are kept under `prefix`.
void sweep(const std::string& program, const std::string& prefix, int mutants) {
  const fs::path dir =
      fs::temp_directory_path() / (prefix + "_mutants_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::vector<Original> files = originals(dir);
  ASSERT_FALSE(files.empty());

  std::mt19937 rng(
      static_cast<std::uint32_t>(std::stoul(env_or("ZUN_MUTATION_SEED", std::to_string(kSeed)))));
  std::map<std::string, int> outcomes;
  std::map<std::string, int> by_damage;
  int failures = 0;
  for (int m = 0; m < mutants; ++m) {
    const Original& o = files[static_cast<std::size_t>(m) % files.size()];
    const Damage d = pick_damage(o, rng);
    const std::string text = damaged(o, d, dir, rng);
    std::ofstream(dir / "mutant.nl", std::ios::binary) << text;
    fs::remove(dir / "mutant.sol");
    const RunResult r = run_program(program, dir, "mutant");
    std::string how = outcome(r);
    const std::string verdict_fault =
        how == "solved"
            ? driver_test::converged_fault((dir / "mutant").string(), kConvergedTolerance)
            : "";
    if (!verdict_fault.empty()) how.clear();
    const std::string form = o.binary ? "binary " : "text ";
    ++outcomes[form + (how.empty() ? (r.signalled   ? "FAILED: signal " + std::to_string(r.signal)
                                      : r.timed_out ? "FAILED: hang"
                                      : !verdict_fault.empty() ? "FAILED: false converged"
                                                               : "FAILED: other")
                                   : how)];
    ++by_damage[form + damage_name(d)];
    if (how.empty()) {
      ++failures;
      if (failures <= kFailuresShown) {
        const fs::path kept =
            dir.parent_path() / (prefix + "_failed_mutant_" + std::to_string(m) + ".nl");
        std::ofstream(kept, std::ios::binary) << text;
        ADD_FAILURE() << "mutant " << m << " of " << o.name << " (" << damage_name(d)
                      << ", kept as " << kept.string() << "): exit " << r.exit_code
                      << (r.signalled ? ", signal " + std::to_string(r.signal) : "")
                      << (r.timed_out ? ", no end within the time limit" : "") << "\n"
                      << verdict_fault << "\n"
                      << r.output.substr(0, 2000);
      }
    }
  }
  fs::remove_all(dir);
  std::cout << mutants << " mutants of " << files.size() << " files:\n";
  for (const auto& [damage, n] : by_damage) std::cout << "  damage " << damage << ": " << n << "\n";
  for (const auto& [how, n] : outcomes) std::cout << "  " << how << ": " << n << "\n";
  EXPECT_EQ(failures, 0);
}

TEST(SpnlpOnDamagedFiles, EveryRunEndsWithAMessageOrASolve) {
  sweep(env_or("ZUN_MUTATION_PROGRAM", SPNLP_PROGRAM), "spnlp",
        std::stoi(env_or("ZUN_MUTANTS", std::to_string(kMutants))));
}

TEST(DnnlpOnDamagedFiles, EveryRunEndsWithAMessageOrASolve) {
  sweep(env_or("ZUN_MUTATION_DENSE_PROGRAM", DNNLP_PROGRAM), "dnnlp",
        std::stoi(env_or("ZUN_MUTANTS", std::to_string(kDenseMutants))));
}

}  // namespace
