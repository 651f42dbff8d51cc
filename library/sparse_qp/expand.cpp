// The EXPAND anti-degeneracy schedule: a working feasibility tolerance that grows a little
// every minor iteration, and the resets that put drifted nonbasic variables back on a bound.
#include <cmath>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_qp/qp_workspace.h"
#include "library/sparse_qp/sparse_qp.h"
#include "library/sparse_sqp/sparse_option_words.h"

namespace zun {
namespace {

namespace iw = sparse_option::integer_word;
namespace rw = sparse_option::real_word;

constexpr double kInitialShare = 0.5;  // the working tolerance starts at half the tolerance
constexpr double kFinalShare = 0.99;   // and reaches this share after a cycle
constexpr int kResetsPerPhase = 2;     // "Optimal" resets allowed in each phase

bool is_nonbasic(int state) {
  return state == VariableState::kAtLower || state == VariableState::kAtUpper ||
         state == VariableState::kBetweenBounds || state == VariableState::kFixed;
}

int reset(int print_level,
          int nb,
          int itn,
          ExpandSchedule& s,
          const int* state,
          const double* bl,
          const double* bu,
          double* x,
          const int* iz,
          const double* z) {
  s.last_reset_itn = itn;
  const double counted = z[rw::kEpsPow067 - 1];
  int moved = 0;
  for (int j = 0; j < nb; ++j) {
    if (!is_nonbasic(state[j])) continue;
    const double to_lower = std::abs(x[j] - bl[j]);
    const double to_upper = std::abs(x[j] - bu[j]);
    const bool lower = to_lower <= to_upper;
    const double distance = lower ? to_lower : to_upper;
    if (distance > s.working_tol) continue;
    x[j] = lower ? bl[j] : bu[j];
    if (distance > counted) ++moved;
  }
  s.working_tol = s.tolx0;
  if (moved >= 1 && qp::messages_on(print_level)) {
    const qp::Units u = qp::units(iz);
    const std::string count = platform::format_i(moved, 6);
    qp::write_record(u.print, " Itn" + platform::format_i(itn, 7) + " --" + count +
                                  " nonbasics set on bound, basics recomputed.");
    if (u.monitor_apart()) {
      qp::write_record(u.monitor, " XXX " + count + " nonbasics set on bound, basics recomputed.");
    }
  }
  return moved;
}

}  // namespace

void expand_tolerance(std::string_view mode,
                      int& moved,
                      int print_level,
                      int nb,
                      int ninf,
                      int itn,
                      double tol,
                      ExpandSchedule& schedule,
                      const int* state,
                      const double* bl,
                      const double* bu,
                      double* x,
                      const int* iz,
                      const double* z) {
  moved = 0;
  const char kind = mode.empty() ? ' ' : mode[0];
  if (kind == 'I') {
    const int k = iz[iw::kExpandFrequency - 1];
    schedule = ExpandSchedule{};
    schedule.tolx0 = kInitialShare * tol;
    schedule.working_tol = schedule.tolx0;
    schedule.increment =
        k >= sparse_option::kNever || k < 1 ? 0.0 : (kFinalShare * tol - schedule.tolx0) / k;
    return;
  }
  if (kind == 'O') {
    if (itn == schedule.last_reset_itn) return;
    int& resets = ninf > 0 ? schedule.resets_infeasible : schedule.resets_feasible;
    if (resets >= kResetsPerPhase) return;
    ++resets;
  } else if (kind != 'E') {
    return;
  }
  moved = reset(print_level, nb, itn, schedule, state, bl, bu, x, iz, z);
}

}  // namespace zun
