// Helpers of the run-stage tests: a small workspace with the words the stage kernels read, and
// a column matrix built from dense rows.
#pragma once

#include <cmath>
#include <vector>

#include "library/sparse_sqp/problem_matrix.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/machine.h"

namespace zun::run_test {

// IZ and Z of 600 words with the option values the kernels read.
struct SmallWorkspace {
  std::vector<int> iz = std::vector<int>(600, 0);
  std::vector<double> z = std::vector<double>(600, 0.0);
  SmallWorkspace() {
    namespace iw = sparse_option::integer_word;
    namespace rw = sparse_option::real_word;
    i(iw::kPrintUnit) = -1;
    i(iw::kMonitoringUnit) = -1;
    i(iw::kMajorPrintLevel) = 0;
    i(iw::kScaleOption) = 1;
    r(rw::kInfiniteBoundSize) = 1e20;
    r(rw::kScaleTol) = 0.9;
    r(rw::kMinorFeasibilityTol) = 1e-6;
    r(rw::kMinorOptimalityTol) = 1e-6;
    r(rw::kNotSupplied) = sparse_option::kNotSuppliedValue;
    r(rw::kEpsPow067) = std::pow(machine_precision(), 0.67);
  }
  int& i(int k) { return iz[static_cast<std::size_t>(k - 1)]; }
  double& r(int k) { return z[static_cast<std::size_t>(k - 1)]; }
};

// A column-stored matrix built from dense rows (zeros left out), owning its arrays.
struct OwnedMatrix {
  std::vector<double> a;
  std::vector<int> ha;
  std::vector<int> ka;
  ProblemMatrix view;

  explicit OwnedMatrix(const std::vector<std::vector<double>>& rows) {
    const int m = static_cast<int>(rows.size());
    const int n = m > 0 ? static_cast<int>(rows[0].size()) : 0;
    ka.push_back(1);
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < m; ++i) {
        if (rows[i][j] != 0.0) {
          a.push_back(rows[i][j]);
          ha.push_back(i + 1);
        }
      }
      ka.push_back(static_cast<int>(a.size()) + 1);
    }
    view = ProblemMatrix{n, m, static_cast<int>(a.size()), a.data(), ha.data(), ka.data()};
  }
  OwnedMatrix(const OwnedMatrix&) = delete;
  OwnedMatrix& operator=(const OwnedMatrix&) = delete;
};

}  // namespace zun::run_test
