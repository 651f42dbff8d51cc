// Helpers of the sparse solver tests: a unit captured on a temporary file, and a local option
// store set up as the solver's store is after its first-call set-up.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "library/platform/units.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/option_store.h"

namespace zun::sqp_test {

// The lines written on a unit, which is connected to a temporary file while this lives.
class UnitCapture {
 public:
  explicit UnitCapture(int unit) : unit_(unit) {
    char name[] = "/tmp/zun_sqp_XXXXXX";
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
  std::vector<std::string> lines() const {
    platform::flush_units();
    std::vector<std::string> out;
    std::ifstream in(path_);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

 private:
  int unit_;
  std::string path_;
};

// An option store with the logical words that the store set-up gives the sparse solver, the
// defaults stored and the first-line flag set, printing on PRINT_UNIT.
struct LocalStore {
  Logical lw[20] = {};
  int iw[550] = {};
  double rw[550] = {};

  explicit LocalStore(int print_unit = -1) {
    namespace lw_words = sparse_option::logical_word;
    for (int k : {lw_words::kInitializeOnNextUse, lw_words::kListingState,
                  lw_words::kDefaultsNotSet, lw_words::kFirstDefaults}) {
      lw[k - 1] = kTrue;
    }
    initialize_options(lw, iw, sparse_option::kOptionWordCount, rw,
                       sparse_option::kOptionWordCount);
    iw[sparse_option::integer_word::kFirstLineFlag - 1] = 1;
    lw[lw_words::kInitializeOnNextUse - 1] = kFalse;
    iw[sparse_option::integer_word::kPrintUnit - 1] = print_unit;
  }
  int& i(int k) { return iw[k - 1]; }
  double& r(int k) { return rw[k - 1]; }
};

}  // namespace zun::sqp_test
