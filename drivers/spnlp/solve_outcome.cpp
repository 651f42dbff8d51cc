// Workspace growth between re-runs of SPNLPF and the solve messages.
#include "drivers/spnlp/solve_outcome.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "drivers/common/solve_message.h"

namespace spnlp {
namespace {

constexpr int kIntegerTooSmall = 12;
constexpr int kRealTooSmall = 13;
constexpr int kIntegerPlanTooSmall = 15;
constexpr int kRealPlanTooSmall = 16;

constexpr const char* kSolveMessages[] = {
    "converged: optimal solution found",
    "failed: the problem is infeasible",
    "failed: the problem seems to be unbounded",
    "failed: the problem might be unbounded,\n  please check optional parameters Unbounded "
    "Objective and Unbounded Step Size",
    "failed: maximum number of iterations reached",
    "converged: suboptimal solution found, accuracy couldn't be achieved",
    "error: superbasics limit is too small, increase it using option 'superbasics'",
    "error: please consult the manual",
};

// The new length of one workspace: 1.5 times its need when it falls short, at least twice the
// old length when the code names it.
std::int64_t grown_length(std::int64_t length, std::int64_t need, bool named) {
  std::int64_t next = length < need ? need * 3 / 2 : length;
  if (named) next = std::max(next, 2 * length);
  return next;
}

}  // namespace

bool workspace_too_small(int ifail) {
  return ifail == kIntegerTooSmall || ifail == kRealTooSmall || ifail == kIntegerPlanTooSmall ||
         ifail == kRealPlanTooSmall;
}

std::optional<WorkspaceLengths> grown_workspace(int ifail,
                                                const WorkspaceLengths& current,
                                                int neediz,
                                                int needz) {
  const bool integer_named = ifail == kIntegerTooSmall || ifail == kIntegerPlanTooSmall;
  const bool real_named = ifail == kRealTooSmall || ifail == kRealPlanTooSmall;
  const std::int64_t leniz = grown_length(current.leniz, neediz, integer_named);
  const std::int64_t lenz = grown_length(current.lenz, needz, real_named);
  constexpr std::int64_t kLargest = std::numeric_limits<int>::max();
  if (leniz > kLargest || lenz > kLargest) return std::nullopt;
  return WorkspaceLengths{static_cast<int>(leniz), static_cast<int>(lenz)};
}

const char* solve_message(int ifail) { return zun_driver::solve_message_of(kSolveMessages, ifail); }

}  // namespace spnlp
