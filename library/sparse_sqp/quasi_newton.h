// The quasi-Newton approximation H of the Hessian of the Lagrangian on the nnL nonlinear
// variables, in limited memory (a diagonal and a list of update pairs) or full memory (the
// packed upper triangle), held in the workspace.
#pragma once

#include <cstddef>

namespace zun {

namespace hessian_word {
constexpr int kStorage = 53;            // integer: 1 limited memory, 2 full memory
constexpr int kUpdateLimit = 66;        // integer: stored pairs (full: the Hessian frequency)
constexpr int kResetCount = 68;         // integer: one-time reset count option
constexpr int kSkipsAllowed = 69;       // integer: tolerated consecutive skipped updates
constexpr int kUpdates = 201;           // integer: updates since the last reset
constexpr int kSkips = 388;             // integer: consecutive skipped updates
constexpr int kResetCountInUse = 389;   // integer: copy of word 68, -1 once used
constexpr int kDiagonal = 381;          // position in Z of D (nnL)
constexpr int kV = 382;                 // position of V (nnL by the limit)
constexpr int kU = 383;                 // position of U (nnL by the limit)
constexpr int kInvAlphaPy = 384;        // position of the 1/(alpha p'y) list
constexpr int kInvPHp = 385;            // position of the 1/(p'Hp) list
constexpr int kFull = 371;              // position of the packed H (full memory)
constexpr int kFirstScale = 361;        // real: the scale of the first update after a reset
constexpr int kLimitedMemory = 1;
constexpr int kFullMemory = 2;
}  // namespace hessian_word

// A view of the Hessian arrays of the workspace.
class QuasiNewtonHessian {
 public:
  QuasiNewtonHessian(int nnl, int* iz, double* z);

  bool limited() const { return mode_ == hessian_word::kLimitedMemory; }
  int updates() const;

  // H := I (D := 1 or the identity), no updates; flag2 := 'R'.
  void reset(char& flag2);

  // hv(nnL) := sign * H v when sign < 0, else H v.
  void multiply(int sign, const double* v, double* hv) const;

  // The BFGS update with the pair (p, y) of step alpha, p'y and p'Hp, Hp: H + y y'/(alpha p'y)
  // - Hp Hp'/p'Hp.  The pair is used when p'y >= threshold and p'Hp > 0; a rejected pair counts
  // as a skip.  hp may be scaled (first update after a reset).  Returns true when H changed by
  // the pair.
  bool update(char& flag1,
              char& flag2,
              int ncnln,
              double alpha,
              double py,
              double threshold,
              double php,
              double* hp,
              const double* y);

  // D(i) or H(i,i).
  double diagonal(int i) const;

 private:
  // f(U_k, V_k, 1/(alpha p'y)_k, 1/(p'Hp)_k) for each stored pair (limited memory).
  template <class F>
  void each_pair(F f) const;
  std::size_t packed(int i, int j) const;  // (i <= j, 0-based)
  void identity();
  void fold_limited(const double* hp, double php, const double* y, double apy, bool with_pair);
  void reject(char& flag2, int ncnln);
  bool update_limited(char& flag1, char& flag2, double alpha, double py, double php, double* hp,
                      const double* y);
  bool update_full(char& flag1, double alpha, double py, double php, double* hp,
                   const double* y);

  int nnl_;
  int mode_;
  int* iz_;
  double* z_;
};

}  // namespace zun
