// Seeded uniform random numbers: the common frame and generator kind 1.  Kinds 2 to 5 are in
// random_kinds.cpp.
#include "library/support/random.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "library/platform/format.h"
#include "library/support/machine.h"
#include "library/support/random_kinds.h"

namespace zun {
namespace {

using namespace random_kinds;

constexpr int kRoutineCodeLength = 6;
constexpr int kLimbBits = 15;
constexpr int kLimbBase = 1 << kLimbBits;
constexpr int kLimbs = 4;
// 13^13 in four 15-bit limbs, least significant first.
constexpr int kMultiplierLimbs[kLimbs] = {17917, 13895, 19930, 8};

// A failure record: routine code, the error number twice, the count of values and values.
class DiagnosticBuilder {
 public:
  DiagnosticBuilder(const char* srname, int srname_len, int error, int nvalues)
      : rec_(kDiagnosticLength) {
    rec_.a(std::string(srname, static_cast<std::size_t>(std::max(srname_len, 0))),
           kRoutineCodeLength);
    rec_.x(1).i(error, 5).x(1).i(error, 5).x(1).i(nvalues, 5);
  }
  DiagnosticBuilder& integer(long long v) {
    rec_.x(1).i(v, 16);
    return *this;
  }
  DiagnosticBuilder& real(double v) {
    rec_.x(1).e(v, 16, 8);
    return *this;
  }
  void write(char* msg, int msg_len) const {
    std::string s = rec_.str();
    s.erase(s.find_last_not_of(' ') + 1);
    const std::size_t n = std::min(s.size(), static_cast<std::size_t>(std::max(msg_len - 1, 0)));
    std::memcpy(msg, s.data(), n);
    if (static_cast<int>(n) < msg_len) msg[n] = '\0';
  }

 private:
  platform::Record rec_;
};

void begin_message(char* msg, int msg_len) {
  if (msg_len >= 1) msg[0] = '\0';
}

void end_message(char* msg, int msg_len) {
  if (msg_len >= kDiagnosticLength) msg[kDiagnosticLength - 1] = '\0';
}

// x := a x mod 2^60 on four 15-bit limbs (schoolbook product, low four limbs kept).
void mul_limbs15(const int* a, int* x) {
  long long product[kLimbs] = {0, 0, 0, 0};
  for (int i = 0; i < kLimbs; ++i) {
    for (int j = 0; i + j < kLimbs; ++j) {
      product[i + j] += static_cast<long long>(a[i]) * x[j];
    }
  }
  long long carry = 0;
  for (int k = 0; k < kLimbs; ++k) {
    const long long v = product[k] + carry;
    x[k] = static_cast<int>(v % kLimbBase);
    carry = v / kLimbBase;
  }
}

// A state is good when its words agree with its own length and trailer and with its kind.
int check_generator_state(const int* state, int lstate) {
  const int used = state[generator_words::kUsedLength - 1];
  if (used < 0) return kStateTooShort;
  const KindRoutines* kind = find_kind(state[generator_words::kKind - 1]);
  if (kind == nullptr) return kBadSeedLengthOrState;
  if (used != lstate || lstate < kind->min_length + generator_words::kTrailerLength) {
    return kBadSeedLengthOrState;
  }
  if (state[generator_words::kCheck - 1] != kind->check_value) return kBadSeedLengthOrState;
  if (state[lstate - 1] != state[generator_words::kCheck - 1] || state[lstate - 2] < 1 ||
      state[lstate - 3] < 1) {
    return kBadSeedLengthOrState;
  }
  return kind->state_ok(state, lstate - generator_words::kTrailerLength) ? kOk
                                                                         : kBadSeedLengthOrState;
}

}  // namespace

namespace random_kinds {

// Kind 1 initialiser on STATE(1..L); L < 1 asks for the kind's length.
int seed_kind1(int genid, int subid, const int* seed, int lseed, int* state, int& l) {
  using namespace kind1_words;
  const int err = check_initialiser(genid, kKindNumber, lseed, l, kLength);
  if (err != kOk) return err;
  if (seed[0] < 1) return kBadSeedOrRange;

  const int s = seed[0];
  state[generator_words::kUsedLength - 1] = kLength;
  state[generator_words::kCheck - 1] = kCheckValue;
  state[generator_words::kKind - 1] = kKindNumber;
  state[kSubId - 1] = subid;
  state[kX - 1] = 4 * (s % 8192) + 2;
  state[kX] = (s / 8192) % kLimbBase;
  state[kX + 1] = s / (1 << 28);
  state[kX + 2] = 0;
  std::copy(kMultiplierLimbs, kMultiplierLimbs + kLimbs, state + kMultiplier - 1);
  state[kReserved - 1] = 0;
  state[kCheckAgain - 1] = kCheckValue;
  mul_limbs15(state + kMultiplier - 1, state + kX - 1);
  return kOk;
}

// Kind 1 draw: u(i) = 1 - x/2^60 after each advance, in (0, 1].
void draw_kind1(int n, int* state, double* u) {
  using namespace kind1_words;
  int* x = state + kX - 1;
  const int* a = state + kMultiplier - 1;
  const double two_m60 = std::ldexp(1.0, -60);
  const double two_m30 = std::ldexp(1.0, -30);
  for (int i = 0; i < n; ++i) {
    mul_limbs15(a, x);
    u[i] = 1.0 - (x[0] + x[1] * static_cast<double>(kLimbBase)) * two_m60 -
           (x[2] + x[3] * static_cast<double>(kLimbBase)) * two_m30;
  }
}

}  // namespace random_kinds

void seed_generator(const int& genid,
                    const int& subid,
                    const int* seed,
                    const int& lseed,
                    int* state,
                    int& lstate,
                    const char* srname,
                    char* msg,
                    int& ierr,
                    int srname_len,
                    int msg_len) {
  begin_message(msg, msg_len);
  const KindRoutines* kind = find_kind(genid);
  if (kind == nullptr) {
    ierr = kBadKindOrCount;
    DiagnosticBuilder(srname, srname_len, ierr, 1).integer(genid).write(msg, msg_len);
    end_message(msg, msg_len);
    return;
  }

  // A state of three words or fewer cannot hold the trailer and any kind's words: it is too
  // short, except that a length of 0 or less is a query for the length needed.  With room for
  // the trailer only, the kind still checks its other arguments first, through a length query
  // that leaves STATE alone.
  int l = lstate > 2 ? lstate - 3 : lstate;
  int err = kOk;
  if (lstate >= 1 && l < 1) {
    int query = 0;
    err = kind->seed(genid, subid, seed, lseed, state, query);
    if (err == kLengthQuery) err = kStateTooShort;
  } else {
    err = kind->seed(genid, subid, seed, lseed, state, l);
  }
  using namespace generator_words;
  if (err == kOk) {
    const int used = state[kUsedLength - 1];
    state[used] = 1;
    state[used + 1] = 1;
    state[used + 2] = state[kCheck - 1];
    state[kUsedLength - 1] = used + kTrailerLength;
  } else if (err == kLengthQuery) {
    if (lstate < 1) lstate = l + kTrailerLength;
  } else if (err == kStateTooShort) {
    int needed = -1;
    kind->seed(genid, subid, seed, lseed, state, needed);
    DiagnosticBuilder(srname, srname_len, err, 2)
        .integer(lstate)
        .integer(static_cast<long long>(needed) + kTrailerLength)
        .write(msg, msg_len);
  } else if (err == kBadKindOrCount) {
    DiagnosticBuilder(srname, srname_len, err, 1).integer(genid).write(msg, msg_len);
  } else if (err == kBadSubId) {
    DiagnosticBuilder(srname, srname_len, err, 1).integer(subid).write(msg, msg_len);
  } else if (err == kBadSeedOrRange) {
    DiagnosticBuilder(srname, srname_len, err, 0).write(msg, msg_len);
  } else if (err == kBadSeedLengthOrState) {
    DiagnosticBuilder(srname, srname_len, err, 1).integer(lseed).write(msg, msg_len);
  } else {
    err = kOtherError;
    DiagnosticBuilder(srname, srname_len, err, 0).write(msg, msg_len);
  }
  ierr = err;
  end_message(msg, msg_len);
}

void uniform_in_range(const int& n,
                      const double& a,
                      const double& b,
                      int* state,
                      double* x,
                      const int& lstate,
                      const char* srname,
                      char* msg,
                      int& ierr,
                      int srname_len,
                      int msg_len) {
  begin_message(msg, msg_len);
  ierr = kOk;
  const KindRoutines* kind = lstate < 3 ? nullptr : find_kind(state[generator_words::kKind - 1]);
  if (kind == nullptr) {
    ierr = kBadSeedLengthOrState;
    DiagnosticBuilder(srname, srname_len, ierr, 0).write(msg, msg_len);
  } else if (n < 0) {
    ierr = kBadKindOrCount;
    DiagnosticBuilder(srname, srname_len, ierr, 1).integer(n).write(msg, msg_len);
  } else if (n == 0) {
    // nothing to draw
  } else if (a == b) {
    fill_reals(n, a, x, 1);
  } else if (a > b) {
    ierr = kBadSeedOrRange;
    DiagnosticBuilder(srname, srname_len, ierr, 2).real(a).real(b).write(msg, msg_len);
  } else {
    ierr = check_generator_state(state, lstate);
    if (ierr == kStateTooShort) {
      DiagnosticBuilder(srname, srname_len, ierr, 1).integer(lstate).write(msg, msg_len);
    } else if (ierr != kOk) {
      DiagnosticBuilder(srname, srname_len, ierr, 0).write(msg, msg_len);
    } else {
      kind->draw(n, state, x);
      const double width = b - a;
      for (int i = 0; i < n; ++i) x[i] = x[i] * width + a;
    }
  }
  end_message(msg, msg_len);
}

}  // namespace zun
