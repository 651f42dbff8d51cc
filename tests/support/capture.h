// Test helper: collects the lines the library writes on a unit opened on a temporary file.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "library/platform/units.h"

namespace zun::testing {

class UnitCapture {
 public:
  explicit UnitCapture(int unit) : unit_(unit) {
    char name[] = "/tmp/zun_unit_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path_ = name;
    platform::open_unit(unit_, path_);
  }
  ~UnitCapture() {
    platform::close_unit(unit_);
    std::remove(path_.c_str());
  }
  UnitCapture(const UnitCapture&) = delete;
  UnitCapture& operator=(const UnitCapture&) = delete;

  int unit() const { return unit_; }
  const std::string& path() const { return path_; }

  // The lines written so far (the unit is flushed first).
  std::vector<std::string> lines() const {
    platform::flush_units();
    return read_lines(path_);
  }

  static std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

 private:
  int unit_;
  std::string path_;
};

}  // namespace zun::testing
