// Start states of a sparse solve.
#include "library/sparse_sqp/start_states.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "library/platform/format.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;

constexpr int kLowerState = 0;
constexpr int kUpperState = 1;
constexpr int kSuperbasicState = 2;
constexpr int kBasicState = 3;
constexpr int kFixedState = 4;
constexpr int kBetweenState = -1;
constexpr double kBoundSnap = 1e-4;
constexpr int kWarningPrintLevel = 20;

void warn_basic_count(int basics, int m, Words<const int> i) {
  const int unit = i(iw::kMonitoringUnit);
  if (unit < 0 || i(iw::kMajorPrintLevel) < kWarningPrintLevel) return;
  write_line(unit, " ", 1);
  const std::string a =
      platform::Record(80).text(" XXX WARNING - ").i(basics, 7).text(" basics specified.").str();
  write_line(unit, a.data(), static_cast<int>(a.size()));
  const std::string b =
      platform::Record(80).text(" Preferably should have been").i(m, 7).text(".").str();
  write_line(unit, b.data(), static_cast<int>(b.size()));
}

// A nonbasic value moves into its bounds and onto the nearer bound when within 1e-4 of it.
void place_nonbasic(double bl, double bu, double& x, int& state) {
  x = std::clamp(x, bl, std::max(bl, bu));
  if (bu - x < x - bl) {
    if (bu - x <= kBoundSnap) x = bu;
  } else if (x - bl <= kBoundSnap) {
    x = bl;
  }
  state = x <= bl ? kLowerState : kUpperState;
}

}  // namespace

void normalize_start_states(int m,
                            int limit,
                            int n,
                            int nb,
                            int& ns,
                            int objective_row,
                            int* state,
                            int* bs_index,
                            const double* bl,
                            const double* bu,
                            double* x,
                            const int* iz,
                            const double* z) {
  for (int j = 0; j < nb; ++j) {
    if (state[j] < 0) state[j] = kLowerState;
    if (state[j] > kBasicState) state[j] -= 4;
  }
  if (objective_row > 0) state[n + objective_row - 1] = kBasicState;

  ns = 0;
  int basics = 0;
  for (int t = 0; t < nb; ++t) {
    const int j = static_cast<int>((std::int64_t{n} + t) % nb);  // slacks first, then columns
    if (state[j] == kSuperbasicState) {
      ++ns;
      if (ns <= limit) {
        bs_index[m + ns - 1] = j + 1;
      } else {
        state[j] = kLowerState;
      }
    } else if (state[j] == kBasicState) {
      ++basics;
      if (basics > m) state[j] = kLowerState;
    }
  }
  ns = std::min(ns, limit);
  Words<const int> i(iz);
  if (basics != m) warn_basic_count(basics, m, i);

  const double huge = 0.1 * Words<const double>(z)(rw::kInfiniteBoundSize);
  for (int j = 0; j < nb; ++j) {
    if (std::fabs(x[j]) >= huge) x[j] = 0.0;
    if (state[j] == kLowerState || state[j] == kUpperState) {
      place_nonbasic(bl[j], bu[j], x[j], state[j]);
    }
  }
}

void fix_or_free_superbasics(std::string_view mode,
                             int m,
                             int limit,
                             int count_free,
                             int count_fix,
                             int& ns,
                             int* state,
                             int* bs_index,
                             const double* bl,
                             const double* bu,
                             double* bl_bs,
                             double* bu_bs,
                             const double* x,
                             double* x_bs) {
  ns = 0;
  const std::string_view word = mode.substr(0, 4);
  if (word == "Fix ") {
    for (int j = 0; j < count_fix; ++j) {
      if (state[j] != kSuperbasicState) continue;
      if (bl[j] == bu[j]) {
        state[j] = kFixedState;
      } else if (x[j] <= bl[j]) {
        state[j] = kLowerState;
      } else if (x[j] < bu[j]) {
        state[j] = kBetweenState;
      } else {
        state[j] = kUpperState;
      }
    }
  } else if (word == "Free") {
    for (int j = 0; j < count_free; ++j) {
      if (state[j] != kBetweenState) continue;
      if (ns >= limit) break;
      ++ns;
      const int k = m + ns - 1;
      x_bs[k] = x[j];
      bl_bs[k] = bl[j];
      bu_bs[k] = bu[j];
      bs_index[k] = j + 1;
      state[j] = kSuperbasicState;
    }
  }
}

}  // namespace zun
