// The check of a .nl file before the ASL reads it.
#include "drivers/common/nl_file_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "drivers/common/nl_text_check.h"

namespace zun_driver {

namespace {

// The ten header lines are short; a longer start cannot be a header.
constexpr std::uint64_t kLongestHeader = 1 << 16;

NlFileCheck corrupt(std::string where, std::string what, bool binary = false) {
  return NlFileCheck{NlFileStatus::kCorrupt, binary, NlFault{std::move(where), std::move(what)}};
}

}  // namespace

std::string nl_file_name(const std::string& stub) {
  constexpr std::string_view kSuffix = ".nl";
  const bool has_suffix = stub.size() > kSuffix.size() &&
                          stub.compare(stub.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
  return has_suffix ? stub : stub + std::string(kSuffix);
}

NlFileCheck check_nl_file(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return NlFileCheck{NlFileStatus::kCannotOpen, false, {}};
  if (!S_ISREG(info.st_mode)) return corrupt("byte 0", "not a regular file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return NlFileCheck{NlFileStatus::kCannotOpen, false, {}};
  const auto size = static_cast<std::uint64_t>(info.st_size);
  std::vector<char> start(static_cast<std::size_t>(std::min(size, kLongestHeader)));
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(in.gcount()));
  NlHeader header;
  if (auto fault = read_nl_header(std::string_view(start.data(), start.size()), size, header)) {
    return corrupt(fault->where, fault->what);
  }
  if (header.binary) return NlFileCheck{NlFileStatus::kSound, true, {}};
  in.clear();
  in.seekg(static_cast<std::streamoff>(header.end_offset));
  if (auto fault = check_nl_text(in, header, size)) return corrupt(fault->where, fault->what);
  return NlFileCheck{};
}

}  // namespace zun_driver
