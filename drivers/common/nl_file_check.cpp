// The check of a .nl file before the ASL reads it.
#include "drivers/common/nl_file_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "drivers/common/nl_binary_check.h"
#include "drivers/common/nl_text_check.h"

namespace zun_driver {

namespace {

// The ten header lines are short; a longer start cannot be a header.
constexpr std::uint64_t kLongestHeader = 1 << 16;

NlFileCheck corrupt(const NlFault& fault) {
  return NlFileCheck{NlFileStatus::kCorrupt, false, fault, {}};
}

// Walks the segments of the file open in `in` after its header.
std::optional<NlFault> walk_segments(std::ifstream& in,
                                     const NlHeader& header,
                                     std::uint64_t size,
                                     NlBodies& bodies) {
  in.clear();
  in.seekg(static_cast<std::streamoff>(header.end_offset));
  std::string body(static_cast<std::size_t>(size - std::min(size, header.end_offset)), '\0');
  in.read(body.data(), static_cast<std::streamsize>(body.size()));
  body.resize(static_cast<std::size_t>(in.gcount()));
  if (!header.binary) return check_nl_text(body, header, size, bodies);
  return check_nl_binary(body, header.end_offset, header, size, bodies);
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
  if (stat(path.c_str(), &info) != 0) return NlFileCheck{NlFileStatus::kCannotOpen, false, {}, {}};
  if (!S_ISREG(info.st_mode)) {
    return NlFileCheck{NlFileStatus::kNotRegular, false, NlFault{"byte 0", "not a regular file"}, {}};
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return NlFileCheck{NlFileStatus::kCannotOpen, false, {}, {}};
  const auto size = static_cast<std::uint64_t>(info.st_size);
  std::vector<char> start(static_cast<std::size_t>(std::min(size, kLongestHeader)));
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(in.gcount()));
  NlHeader header;
  if (auto fault = read_nl_header(std::string_view(start.data(), start.size()), size, header)) {
    return corrupt(*fault);
  }
  if (header.variables == 0) {
    return NlFileCheck{
        NlFileStatus::kNoVariables, header.binary, NlFault{"line 2", "no variables"}, {}};
  }
  NlFileCheck check{NlFileStatus::kSound, header.binary, {}, {}};
  if (auto fault = walk_segments(in, header, size, check.bodies)) return corrupt(*fault);
  return check;
}

}  // namespace zun_driver
