// The workspace plan of a sparse solve.
#include "library/sparse_sqp/workspace_plan.h"

#include <algorithm>
#include <limits>
#include <string>

#include "library/platform/format.h"
#include "library/sparse_sqp/exit_codes.h"
#include "library/sparse_sqp/exit_messages.h"
#include "library/support/one_based.h"
#include "library/sparse_sqp/option_tasks.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/output.h"

namespace zun {
namespace {

namespace ws = sparse_ws::integer_word;
namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;
namespace iw = sparse_option::integer_word;
using I64 = std::int64_t;

constexpr I64 kInt32Max = std::numeric_limits<int>::max();

int saturate(I64 v) { return static_cast<int>(std::clamp<I64>(v, -kInt32Max, kInt32Max)); }

I64 floor_half(I64 v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

// Appends arrays one after another from a running first free word.
class Area {
 public:
  Area(WorkspacePlan& plan, bool real, I64 first) : plan_(plan), real_(real), next_(first) {}
  I64 add(int word, I64 length) {
    const I64 start = next_;
    plan_.arrays.push_back({word, real_, start, length});
    next_ += length;
    return start;
  }
  I64 next() const { return next_; }

 private:
  WorkspacePlan& plan_;
  bool real_;
  I64 next_;
};

void lay_out_integer_arrays(const PlanSizes& z, Area& area) {
  const I64 nb = I64{z.n} + z.m;
  const I64 mbs = I64{z.m} + z.s;
  area.add(ia::kMbsIndexA, mbs);
  area.add(ia::kMbsIndexB, mbs);
  area.add(ia::kRowTypes, nb);
  area.add(ia::kElasticAllowance, nb);
  area.add(ia::kMbsIndexC, mbs);
  area.add(ia::kMbsIndexD, mbs);
  area.add(ia::kJacobianColumnStarts, I64{z.njnln} + 1);
  area.add(ia::kElasticStates, nb);
}

void lay_out_real_arrays(const PlanSizes& z, Area& area, WorkspacePlan& plan) {
  const I64 nb = I64{z.n} + z.m;
  const I64 mbs = I64{z.m} + z.s;
  const I64 nlv = std::max(z.njnln, z.nonln);
  const I64 nc = z.ncnln;
  const I64 m = z.m;
  const I64 ng = z.ng;
  for (int word : {ra::kScales, ra::kNbRealA, ra::kNbRealB, ra::kNbRealC, ra::kNbRealD}) {
    area.add(word, nb);
  }
  for (int word : {ra::kMbsRealA, ra::kMbsRealB, ra::kMbsRealC}) area.add(word, mbs);
  plan.scaled_tail = area.add(ra::kScaledVariables, nlv + mbs) + nlv;
  for (int word : {ra::kNlvRealA, ra::kNlvRealB, ra::kNlvRealC}) area.add(word, nlv);
  area.add(ra::kReducedHessian, I64{z.r} * (I64{z.r} + 1) / 2);
  area.add(ra::kSuperbasicReal, z.s);
  for (int word : {ra::kNlvRealD, ra::kNlvRealE, ra::kNlvRealF, ra::kNlvRealG}) {
    area.add(word, nlv);
  }
  for (int word : {ra::kNcRealA, ra::kNcRealB, ra::kNcRealC}) area.add(word, nc);
  for (int word : {ra::kNbRealE, ra::kNbRealF}) area.add(word, nb);
  for (int word : {ra::kNonlinearRowMultipliers, ra::kNcRealD, ra::kNcRealE, ra::kNcRealF,
                   ra::kNcRealG, ra::kNcRealH}) {
    area.add(word, nc);
  }
  for (int word : {ra::kSavedJacobian, ra::kJacobianA, ra::kJacobianB}) area.add(word, ng);
  area.add(ra::kRowReal, m);
  for (int word : {ra::kNbRealG, ra::kNbRealH, ra::kStartPoint, ra::kRowMultipliers}) {
    area.add(word, nb);
  }
}

// The quasi-Newton Hessian arrays, by the storage mode.
void select_hessian_storage(const PlanSizes& z, Area& area, WorkspacePlan& plan) {
  const I64 nlv = std::max(z.njnln, z.nonln);
  const I64 mqn = z.hessian_updates;
  if (z.hessian_storage == 1) {
    area.add(ra::kHessianDiagonal, nlv);
    area.add(ra::kHessianV, nlv * mqn);
    area.add(ra::kHessianU, nlv * mqn);
    area.add(ra::kHessianInvAlphaPy, mqn);
    area.add(ra::kHessianInvPHp, mqn);
  } else if (z.hessian_storage == 2) {
    plan.full_hessian_length = nlv * (nlv + 1) / 2;
    area.add(ra::kFullHessian, plan.full_hessian_length);
  }
}

// The LU arrays and files take what is left after the planned arrays.
void partition_workspace(const PlanSizes& z, Area& ints, WorkspacePlan& plan) {
  const I64 a = I64{z.s} + z.m;
  const I64 m = z.m;
  ints.add(ia::kLuA1, a);
  ints.add(ia::kLuM1, m);
  ints.add(ia::kLuM2, m);
  ints.add(ia::kLuA2, a);
  ints.add(ia::kLuM3, m);
  ints.add(ia::kLuA3, a);
  ints.add(ia::kLuM4, m);
  ints.add(ia::kLuA4, a);
  ints.add(ia::kLuM5, m);
  ints.add(ia::kLuA5, a);
  plan.neediz = ints.next();
  plan.lu_int_room = floor_half(z.leniz - plan.neediz);
  plan.lu_real_room = z.lenz - plan.needz;
  const I64 lena = std::min(plan.lu_int_room, plan.lu_real_room);
  plan.lena = lena >= 1 ? lena : 0;
  plan.arrays.push_back({ia::kLuColumnFile, false, plan.neediz, plan.lena});
  plan.arrays.push_back({ia::kLuRowFile, false, plan.neediz + plan.lu_int_room, plan.lena});
  plan.arrays.push_back({ra::kLuValues, true, plan.needz, plan.lena});
}

void report_too_small(int code,
                      int print_unit,
                      const int* iz,
                      int neediz,
                      int needz,
                      std::string_view routine,
                      int ifail) {
  Words<const int> w(iz);
  const std::string_view text = workspace_code_text(code);
  if (w(iw::kMajorPrintLevel) > 0) {
    write_workspace_lines(print_unit, w(ws::kIntLength), w(ws::kRealLength), neediz, needz);
    write_line(print_unit, " ", 1);
    const std::string exit = " Exit " + std::string(routine) + " - " + std::string(text);
    write_line(print_unit, exit.data(), static_cast<int>(exit.size()));
  }
  if (failure_mode_prints(ifail)) {
    const int unit = w(iw::kErrorUnit);
    write_line(unit, " ", 1);
    const std::string line = " ** " + std::string(text);
    write_line(unit, line.data(), static_cast<int>(line.size()));
  }
}

}  // namespace

WorkspacePlan compute_workspace_plan(const PlanSizes& sizes) {
  WorkspacePlan plan;
  Area ints(plan, false, sizes.first_int);
  lay_out_integer_arrays(sizes, ints);
  Area reals(plan, true, sizes.first_real);
  lay_out_real_arrays(sizes, reals, plan);
  select_hessian_storage(sizes, reals, plan);
  reals.add(ra::kLuColumnMax, I64{sizes.s} + sizes.m);
  plan.needz = reals.next();
  partition_workspace(sizes, ints, plan);
  if (sizes.leniz < plan.neediz || plan.neediz > kInt32Max) {
    plan.code = sparse_inform::kIntegerWorkspaceToStart;
  } else if (sizes.lenz < plan.needz || plan.needz > kInt32Max) {
    plan.code = sparse_inform::kRealWorkspaceToStart;
  } else if (plan.lena == 0) {
    plan.code = plan.lu_int_room < plan.lu_real_room ? sparse_inform::kIntegerWorkspaceForFactors
                                                     : sparse_inform::kRealWorkspaceForFactors;
  }
  return plan;
}

std::string_view workspace_code_text(int code) {
  switch (code) {
    case sparse_inform::kIntegerWorkspaceToStart:
      return "Not enough integer workspace to start solving the problem.";
    case sparse_inform::kRealWorkspaceToStart:
      return "Not enough real workspace to start solving the problem.";
    case sparse_inform::kIntegerWorkspaceForFactors:
      return "Not enough integer workspace for the basis factors.";
    case sparse_inform::kRealWorkspaceForFactors:
      return "Not enough real workspace for the basis factors.";
    default:
      return {};
  }
}

void plan_workspace(int& code,
                    int print_unit,
                    const PlanSizes& sizes,
                    int& neediz,
                    int& needz,
                    int* iz,
                    std::string_view routine,
                    int ifail) {
  PlanSizes z = sizes;
  z.first_int = neediz;
  z.first_real = needz;
  const WorkspacePlan plan = compute_workspace_plan(z);
  Words<int> w(iz);
  w(ws::kReducedHessianLength) = saturate(I64{z.r} * (I64{z.r} + 1) / 2);
  for (const PlannedArray& a : plan.arrays) w(a.word) = saturate(a.start);
  w(ra::kScaledVariablesTail) = saturate(plan.scaled_tail);
  if (z.hessian_storage == 2) w(ra::kFullHessianLength) = saturate(plan.full_hessian_length);
  w(ws::kLuIntegerRoom) = saturate(plan.lu_int_room);
  w(ws::kLuRealRoom) = saturate(plan.lu_real_room);
  w(ws::kLuFileLength) = saturate(plan.lena);
  neediz = saturate(plan.neediz);
  needz = saturate(plan.needz);
  w(ws::kIntAreaFirst) = sparse_ws::kFirstArrayWord;
  w(ws::kIntAreaLastOption) = w(ws::kLastIntOptionWord);
  w(ws::kIntAreaFirstFree) = saturate(plan.neediz + 1);
  w(ws::kIntAreaLength) = saturate(z.leniz);
  w(ws::kRealAreaFirst) = sparse_ws::kFirstArrayWord;
  w(ws::kRealAreaLastOption) = w(ws::kLastRealOptionWord);
  w(ws::kRealAreaFirstFree) = saturate(plan.needz + 1);
  w(ws::kRealAreaLength) = saturate(z.lenz);
  code = plan.code;
  if (code != 0) report_too_small(code, print_unit, iz, neediz, needz, routine, ifail);
}

}  // namespace zun
