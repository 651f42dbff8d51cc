// The spnlp and dnnlp programs on damaged copies of bundled problems and of their binary forms
// (written by the ASL): truncations, byte flips, edited header counts, out-of-range and broken
// segment lines, and in binary files integer fields (indices, counts, lengths, operator codes)
// set to values that break readers.  Every run must end by itself within its limits, without a
// signal or a sanitizer report, either refusing the file with a message and exit code 1 or
// solving it.
//
// A larger sweep runs the same test with ZUN_MUTANTS (the number of mutants),
// ZUN_MUTATION_FILES (a folder whose .nl files, with their binary forms, are damaged instead of
// the bundled ones) and ZUN_MUTATION_PROGRAM (another build of the spnlp program) set.
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
constexpr double kRunSeconds = 60.0;
constexpr std::uint64_t kRunBytes = std::uint64_t{4} << 30;
constexpr int kHeaderLines = 10;
constexpr int kFailuresShown = 20;
// The key letters of the binary format after which an integer field follows.
constexpr std::string_view kIntegerKeys = "CLOVFSJGkxdovf";

const std::vector<std::string> kBundledFiles = {"hs071.nl", "hs100asl.nl", "log_error.nl", "ch3.nl",
                                                "hs022.nl"};

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

// A problem to damage: its bytes and where its header ends.
struct Original {
  std::string name;
  std::string bytes;
  bool binary = false;
  std::size_t header_end = 0;
};

Original load(const fs::path& path) {
  Original o{path.filename().string(), read_file(path), false, 0};
  o.binary = !o.bytes.empty() && o.bytes[0] == 'b';
  std::size_t at = 0;
  for (int line = 0; line < kHeaderLines && at < o.bytes.size(); ++line) {
    const std::size_t end = o.bytes.find('\n', at);
    at = end == std::string::npos ? o.bytes.size() : end + 1;
  }
  o.header_end = at;
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
  kBinaryField
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

std::string damaged(const Original& o, Damage d, std::mt19937& rng) {
  const std::string& s = o.bytes;
  switch (d) {
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
    constexpr Damage kKinds[] = {Damage::kTruncate, Damage::kByteFlip, Damage::kHeaderCount,
                                 Damage::kBinaryField, Damage::kBinaryField, Damage::kBinaryField};
    return kKinds[below(rng, std::size(kKinds))];
  }
  constexpr Damage kKinds[] = {
      Damage::kTruncate,       Damage::kByteFlip, Damage::kHeaderCount, Damage::kSegmentInteger,
      Damage::kSegmentInteger, Damage::kLineDrop, Damage::kLineCopy};
  return kKinds[below(rng, std::size(kKinds))];
}

struct RunResult {
  bool signalled = false;
  bool timed_out = false;
  int signal = 0;
  int exit_code = -1;
  std::string output;
};

// Runs `program stub` in `dir` with its output in `dir`/out.txt, under the time limit and, in
// the plain build, the memory limit (the sanitizer build passes ASan its own limits).
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
  char* argv[] = {program_arg.data(), stub_arg.data(), nullptr};

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

// How a run ended, as the summary counts it; empty when it ended in a way that is not allowed.
std::string outcome(const RunResult& r) {
  if (r.timed_out) return "";
  if (r.signalled) return "";
  if (has(r.output, "Sanitizer") || has(r.output, "runtime error:")) return "";
  if (r.exit_code == 0) {
    if (has(r.output, "Result OK\n") ||
        has(r.output, "SPNLP finished with an error/warning; flag: ") ||
        has(r.output, "DNNLP finished with an error/warning; flag: ")) {
      return "solved";
    }
    return "";
  }
  if (r.exit_code != 1) return "";
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
  if (has(r.output, "The problem gives NaN as ")) return "refused: NaN data";
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
      files.push_back(load(binary.string() + ".nl"));
      files.back().name += " (binary form of " + p.filename().string() + ")";
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

  std::mt19937 rng(kSeed);
  std::map<std::string, int> outcomes;
  std::map<std::string, int> by_damage;
  int failures = 0;
  for (int m = 0; m < mutants; ++m) {
    const Original& o = files[static_cast<std::size_t>(m) % files.size()];
    const Damage d = pick_damage(o, rng);
    const std::string text = damaged(o, d, rng);
    std::ofstream(dir / "mutant.nl", std::ios::binary) << text;
    const RunResult r = run_program(program, dir, "mutant");
    const std::string how = outcome(r);
    const std::string form = o.binary ? "binary " : "text ";
    ++outcomes[form + (how.empty() ? (r.signalled   ? "FAILED: signal " + std::to_string(r.signal)
                                      : r.timed_out ? "FAILED: hang"
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
  sweep(DNNLP_PROGRAM, "dnnlp", kDenseMutants);
}

}  // namespace
