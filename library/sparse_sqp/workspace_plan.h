// The workspace plan: lays out every array of a sparse solve in IZ and Z from word 501 on,
// records each array's first word in its position word, and gives the LU factors all the
// room that is left.  When IZ or Z is too short the plan reports the lengths to supply.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zun {

// Sizes the plan depends on.
struct PlanSizes {
  int m = 0;
  int n = 0;
  int nnz = 0;
  int ng = 1;  // nonlinear Jacobian elements (at least 1)
  int ncnln = 0;
  int njnln = 0;
  int nonln = 0;
  int r = 1;                      // reduced-Hessian dimension
  int s = 1;                      // superbasics limit
  int hessian_storage = 2;        // 1 limited memory, 2 full memory, other: none
  int hessian_updates = 0;        // mQN
  std::int64_t first_int = 501;   // first free integer word (IZ(4) + 1)
  std::int64_t first_real = 501;  // first free real word (IZ(2) + 1)
  std::int64_t leniz = 0;
  std::int64_t lenz = 0;
};

struct PlannedArray {
  int word;            // the position word that holds the start
  bool real;           // in Z (true) or IZ (false)
  std::int64_t start;  // 1-based first word
  std::int64_t length;
};

struct WorkspacePlan {
  std::vector<PlannedArray> arrays;  // every planned array, LU arrays and LU files included
  std::int64_t neediz = 0;           // first integer word after the planned arrays
  std::int64_t needz = 0;            // first real word after the planned arrays
  std::int64_t lu_int_room = 0;      // L: room of each integer LU file
  std::int64_t lu_real_room = 0;     // R: room of the real LU file
  std::int64_t lena = 0;             // length of each LU file, 0 when there is no room
  std::int64_t full_hessian_length = 0;
  std::int64_t scaled_tail = 0;  // start of the last mBS words of the scaled-variable copy
  int code = 0;                  // 0, or 15, 16, 12, 13
};

// Computes the plan in 64-bit arithmetic (no workspace is touched).
WorkspacePlan compute_workspace_plan(const PlanSizes& sizes);

// Text of a too-small code (15, 16, 12, 13).
std::string_view workspace_code_text(int code);

// Plans the workspace of a solve into IZ: stores every position word and the fixed words of
// the plan.  NEEDIZ, NEEDZ in: the first free words (IZ(4)+1, IZ(2)+1); out: the lengths that
// the planned arrays need (saturated at the 32-bit limit).  CODE := 0, 15, 16, 12 or 13; a
// nonzero code is reported on the print unit (print level IZ(92) > 0) and, when the failure
// mode IFAIL asks for it, on the error unit IZ(499).
void plan_workspace(int& code,
                    int print_unit,
                    const PlanSizes& sizes,
                    int& neediz,
                    int& needz,
                    int* iz,
                    std::string_view routine,
                    int ifail);

}  // namespace zun
