// The workspace plan: the word map itself, a property test over random sizes (no overlaps,
// every array inside its workspace, the codes of too-small workspaces) and the reports.
#include "library/sparse_sqp/workspace_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "library/sparse_sqp/workspace_words.h"
#include "tests/sparse_sqp/sqp_test_support.h"

namespace zun {
namespace {

using I64 = std::int64_t;
namespace ws = sparse_ws::integer_word;
namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;

TEST(WorkspaceWordMap, PositionWordsAreUniqueAndOutsideTheOptionBlocks) {
  const PlanSizes sizes{.m = 3,
                        .n = 4,
                        .nnz = 5,
                        .ng = 2,
                        .ncnln = 1,
                        .njnln = 2,
                        .nonln = 2,
                        .r = 2,
                        .s = 2,
                        .hessian_storage = 1,
                        .hessian_updates = 3,
                        .leniz = 10000,
                        .lenz = 10000};
  std::set<int> words;
  for (const PlannedArray& a : compute_workspace_plan(sizes).arrays) {
    EXPECT_TRUE(words.insert(a.word).second) << "word " << a.word << " used twice";
    EXPECT_GT(a.word, kLuWorkspaceOffset + kLuIntegerWordsLength) << a.word;
    EXPECT_LT(a.word, sparse_option::kOptionWordCount);
  }
  for (int fixed : {ws::kReducedHessianLength, ws::kLuFileLength, ws::kObjectiveRow,
                    ws::kLuIntegerRoom, ws::kLuRealRoom, ra::kScaledVariablesTail,
                    ra::kFullHessianLength, ws::kConfunCalls, ws::kObjfunCalls}) {
    EXPECT_EQ(words.count(fixed), 0u) << fixed;
  }
}

// Every array lies inside [501, length] of its area and no two arrays overlap.
void expect_sound_layout(const WorkspacePlan& plan, const PlanSizes& z) {
  for (bool real : {false, true}) {
    std::vector<PlannedArray> area;
    for (const PlannedArray& a : plan.arrays) {
      if (a.real == real && a.length > 0) area.push_back(a);
      EXPECT_GE(a.length, 0);
    }
    std::sort(area.begin(), area.end(),
              [](const PlannedArray& a, const PlannedArray& b) { return a.start < b.start; });
    const I64 length = real ? z.lenz : z.leniz;
    for (std::size_t k = 0; k < area.size(); ++k) {
      EXPECT_GE(area[k].start, sparse_ws::kFirstArrayWord);
      EXPECT_LE(area[k].start + area[k].length - 1, length) << "word " << area[k].word;
      if (k > 0) {
        EXPECT_GE(area[k].start, area[k - 1].start + area[k - 1].length)
            << "words " << area[k - 1].word << " and " << area[k].word << " overlap";
      }
    }
  }
}

PlanSizes random_sizes(std::mt19937& gen) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
  PlanSizes z;
  z.m = pick(1, 3000);
  z.n = pick(1, 3000);
  z.nnz = pick(1, 20000);
  z.ncnln = pick(0, 1) ? pick(1, z.m) : 0;
  z.njnln = z.ncnln > 0 ? pick(1, z.n) : 0;
  z.nonln = pick(0, z.n);
  z.ng = pick(1, 20000);
  z.s = pick(1, std::min(z.n, 500));
  z.r = pick(z.s, std::min(z.n, 500));
  z.hessian_storage = pick(0, 2);
  z.hessian_updates = pick(0, 40);
  return z;
}

TEST(WorkspacePlanProperty, LayoutIsSoundAndTheDriverGrowthReachesASolvableWorkspace) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 gen(seed);
    PlanSizes z = random_sizes(gen);
    z.leniz = std::max(500, z.n + z.m);
    z.lenz = 500;
    std::vector<int> codes;
    for (int call = 0; call < 8; ++call) {
      const WorkspacePlan plan = compute_workspace_plan(z);
      codes.push_back(plan.code);
      if (plan.code == 0) {
        expect_sound_layout(plan, z);
        EXPECT_GE(plan.lena, 1);
        break;
      }
      // Codes in the order of the tests: the integer area first, then the real area.
      if (plan.code == 15) {
        EXPECT_LT(z.leniz, plan.neediz);
      } else if (plan.code == 16) {
        EXPECT_TRUE(z.leniz >= plan.neediz && z.lenz < plan.needz);
      } else {
        EXPECT_EQ(plan.lena, 0);
      }
      // The driver's growth rule.
      const I64 new_leniz = z.leniz < plan.neediz ? I64(1.5 * plan.neediz) : z.leniz;
      const I64 new_lenz = z.lenz < plan.needz ? I64(1.5 * plan.needz) : z.lenz;
      const bool int_code = plan.code == 12 || plan.code == 15;
      z.leniz = int_code ? std::max(new_leniz, 2 * z.leniz) : new_leniz;
      z.lenz = int_code ? new_lenz : std::max(new_lenz, 2 * z.lenz);
    }
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), 15) << "seed " << seed;
    EXPECT_EQ(codes.back(), 0) << "seed " << seed;
    EXPECT_LE(codes.size(), 4u) << "seed " << seed;
  }
}

// Each role of the minor iterations with the length it needs: a basis step uses m + 1 positions
// and a QP at most m + min(s, n) (nS never exceeds n).
struct RoleNeed {
  int word;
  bool real;
  I64 (*length)(I64 m, I64 n, I64 s);
};

constexpr RoleNeed kRoleNeeds[] = {
    {ia::kBsIndex, false, [](I64 m, I64, I64 s) { return m + s; }},
    {ia::kBasicFeasibility, false,
     [](I64 m, I64 n, I64 s) { return m + std::max<I64>(1, std::min(s, n)); }},
    {ia::kSavedBsIndex, false, [](I64 m, I64 n, I64 s) { return m + std::min(s, n); }},
    {ia::kRowWork, false, [](I64 m, I64, I64) { return m; }},
    {ia::kElasticStates, false, [](I64 m, I64 n, I64) { return m + n; }},
    {ia::kElasticAllowance, false, [](I64 m, I64 n, I64) { return m + n; }},
    {ia::kLuColPerm, false, [](I64 m, I64, I64 s) { return m + s; }},
    {ia::kLuRowPerm, false, [](I64 m, I64, I64) { return m; }},
    {ia::kLuRowLength, false, [](I64 m, I64, I64) { return m; }},
    {ia::kLuColLength, false, [](I64 m, I64, I64 s) { return m + s; }},
    {ia::kLuRowStart, false, [](I64 m, I64, I64) { return m; }},
    {ia::kLuColStart, false, [](I64 m, I64, I64 s) { return m + s; }},
    {ia::kLuColCountStart, false, [](I64 m, I64, I64) { return m; }},
    {ia::kLuRowCountStart, false, [](I64 m, I64, I64 s) { return m + s; }},
    {ia::kLuRowPermInverse, false, [](I64 m, I64, I64) { return m; }},
    {ia::kLuColPermInverse, false, [](I64 m, I64, I64 s) { return m + s; }},
    {ra::kXBS, true, [](I64 m, I64, I64 s) { return m + s; }},
    {ra::kBlBS, true, [](I64 m, I64, I64 s) { return m + s; }},
    {ra::kBuBS, true, [](I64 m, I64, I64 s) { return m + s; }},
    {ra::kPi, true, [](I64 m, I64, I64) { return m; }},
    {ra::kReducedCosts, true, [](I64 m, I64 n, I64) { return m + n; }},
    {ra::kPhaseGradient, true,
     [](I64 m, I64 n, I64 s) { return m + std::max<I64>(1, std::min(s, n)); }},
    {ra::kDirection, true,
     [](I64 m, I64 n, I64 s) { return m + std::max<I64>(1, std::min(s, n)); }},
    {ra::kEnteringColumn, true, [](I64 m, I64, I64) { return m; }},
    {ra::kSolveWork, true, [](I64 m, I64 n, I64) { return m + n; }},
    {ra::kSolveWork2, true, [](I64 m, I64 n, I64) { return m + n; }},
    {ra::kRowConstants, true, [](I64 m, I64, I64) { return m; }},
    {ra::kLuColumnMax, true, [](I64 m, I64, I64 s) { return m + s; }},
};

TEST(WorkspaceRoles, EveryRoleFitsItsArrayAndLiveRolesAreDistinctForRandomSizes) {
  std::set<std::pair<bool, int>> distinct;
  for (const RoleNeed& role : kRoleNeeds) {
    EXPECT_TRUE(distinct.insert({role.real, role.word}).second) << "role word " << role.word;
  }
  for (unsigned seed = 1; seed <= 200; ++seed) {
    std::mt19937 gen(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    PlanSizes z;
    z.m = pick(0, 1) ? 0 : pick(0, 400);
    z.n = pick(1, 400);
    z.nnz = pick(0, 2000);
    z.ncnln = z.m > 0 && pick(0, 1) ? pick(0, z.m) : 0;
    z.njnln = z.ncnln > 0 ? pick(0, z.n) : 0;
    z.nonln = pick(0, 1) ? 0 : pick(0, z.n);
    z.ng = pick(1, 500);
    z.s = pick(1, z.n + 1);
    z.r = z.s;
    z.hessian_storage = pick(0, 2);
    z.leniz = 10'000'000;
    z.lenz = 10'000'000;
    const WorkspacePlan plan = compute_workspace_plan(z);
    ASSERT_EQ(plan.code, 0);
    expect_sound_layout(plan, z);
    for (const RoleNeed& role : kRoleNeeds) {
      const auto it = std::find_if(
          plan.arrays.begin(), plan.arrays.end(),
          [&](const PlannedArray& a) { return a.word == role.word && a.real == role.real; });
      ASSERT_NE(it, plan.arrays.end()) << "role word " << role.word << " is not planned";
      EXPECT_GE(it->length, role.length(z.m, z.n, z.s)) << "seed " << seed << " word " << role.word;
    }
  }
}

TEST(WorkspacePlanProperty, EnoughRoomGivesEveryArrayItsPlaceAndTheLuTheRest) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 gen(seed);
    PlanSizes z = random_sizes(gen);
    z.leniz = 10'000'000;
    z.lenz = 10'000'000;
    const WorkspacePlan plan = compute_workspace_plan(z);
    ASSERT_EQ(plan.code, 0);
    expect_sound_layout(plan, z);
    EXPECT_EQ(plan.lu_int_room, (z.leniz - plan.neediz) / 2);
    EXPECT_EQ(plan.lu_real_room, z.lenz - plan.needz);
    EXPECT_EQ(plan.lena, std::min(plan.lu_int_room, plan.lu_real_room));
  }
}

struct PlanResult {
  int code = -1;
  int neediz = 501;
  int needz = 501;
  std::vector<int> iz = std::vector<int>(1000, 0);
  int at(int word) const { return iz[word - 1]; }
};

PlanResult run_plan(const PlanSizes& z, int print_level = 0, int ifail = 1, int unit = -1) {
  PlanResult out;
  out.iz[sparse_option::integer_word::kMajorPrintLevel - 1] = print_level;
  out.iz[sparse_option::integer_word::kErrorUnit - 1] = unit;
  out.iz[ws::kIntLength - 1] = static_cast<int>(z.leniz);
  out.iz[ws::kRealLength - 1] = static_cast<int>(z.lenz);
  out.iz[ws::kLastIntOptionWord - 1] = 500;
  out.iz[ws::kLastRealOptionWord - 1] = 500;
  plan_workspace(out.code, unit, z, out.neediz, out.needz, out.iz.data(), "SPNLPF", ifail);
  return out;
}

PlanSizes small_sizes() {
  return PlanSizes{.m = 4,
                   .n = 6,
                   .nnz = 10,
                   .ng = 3,
                   .ncnln = 2,
                   .njnln = 3,
                   .nonln = 2,
                   .r = 4,
                   .s = 4,
                   .hessian_storage = 2,
                   .hessian_updates = 0,
                   .leniz = 100000,
                   .lenz = 100000};
}

TEST(WorkspacePlan, StoresPositionsInTableOrderAndTheAreaWords) {
  const PlanResult r = run_plan(small_sizes());
  ASSERT_EQ(r.code, 0);
  const int mbs = 8, nb = 10;
  EXPECT_EQ(r.at(ia::kMbsIndexA), 501);
  EXPECT_EQ(r.at(ia::kMbsIndexB), 501 + mbs);
  EXPECT_EQ(r.at(ia::kRowTypes), 501 + 2 * mbs);
  EXPECT_EQ(r.at(ia::kJacobianColumnStarts), 501 + 4 * mbs + 2 * nb);
  EXPECT_EQ(r.at(ia::kElasticStates), 501 + 4 * mbs + 2 * nb + 4);
  EXPECT_EQ(r.at(ia::kLuA1), 501 + 4 * mbs + 3 * nb + 4);
  EXPECT_EQ(r.at(ra::kScales), 501);
  EXPECT_EQ(r.at(ra::kScaledVariablesTail), r.at(ra::kScaledVariables) + 3);
  EXPECT_EQ(r.at(ra::kFullHessianLength), 6);
  EXPECT_EQ(r.at(ra::kFullHessian), r.at(ra::kRowMultipliers) + nb);
  EXPECT_EQ(r.at(ra::kLuColumnMax), r.at(ra::kFullHessian) + 6);
  EXPECT_EQ(r.needz, r.at(ra::kLuColumnMax) + mbs);
  EXPECT_EQ(r.at(ws::kReducedHessianLength), 10);
  EXPECT_EQ(r.at(ia::kLuColumnFile), r.neediz);
  EXPECT_EQ(r.at(ra::kLuValues), r.needz);
  EXPECT_EQ(r.at(ws::kIntAreaFirst), 501);
  EXPECT_EQ(r.at(ws::kIntAreaLastOption), 500);
  EXPECT_EQ(r.at(ws::kIntAreaFirstFree), r.neediz + 1);
  EXPECT_EQ(r.at(ws::kIntAreaLength), 100000);
  EXPECT_EQ(r.at(ws::kRealAreaFirstFree), r.needz + 1);
  EXPECT_EQ(r.at(ws::kLuFileLength), std::min(r.at(ws::kLuIntegerRoom), r.at(ws::kLuRealRoom)));
}

TEST(WorkspacePlan, FullMemoryHessianOfSeventyFiveVariables) {
  PlanSizes z = small_sizes();
  z.n = 100;
  z.njnln = 75;
  const PlanResult full = run_plan(z);
  z.hessian_storage = 0;
  const PlanResult none = run_plan(z);
  EXPECT_EQ(full.needz - none.needz, 2850);
}

TEST(WorkspacePlan, NoNonlinearVariablesStillReservesTheBlocks) {
  PlanSizes z = small_sizes();
  z.ncnln = z.njnln = z.nonln = 0;
  const PlanResult r = run_plan(z);
  EXPECT_EQ(r.at(ia::kElasticStates) - r.at(ia::kJacobianColumnStarts), 1);
  EXPECT_EQ(r.at(ra::kMbsRealA) - r.at(ra::kScales), 5 * 10);
}

TEST(WorkspacePlan, OddIntegerRoomIsHalvedDownward) {
  PlanSizes z = small_sizes();
  const int neediz = run_plan(z).neediz;
  z.leniz = neediz + 41;
  const PlanResult r = run_plan(z);
  EXPECT_EQ(r.at(ws::kLuIntegerRoom), 20);
  EXPECT_EQ(r.at(ia::kLuRowFile), neediz + 20);
}

TEST(WorkspacePlan, CodesForEachShortArea) {
  PlanSizes z = small_sizes();
  const PlanResult fits = run_plan(z);
  z.leniz = fits.neediz - 1;
  EXPECT_EQ(run_plan(z).code, 15);
  z.leniz = fits.neediz + 1;  // no room for the integer LU files
  EXPECT_EQ(run_plan(z).code, 12);
  z.leniz = 100000;
  z.lenz = fits.needz - 1;
  EXPECT_EQ(run_plan(z).code, 16);
  z.lenz = fits.needz;  // no room for the real LU file
  EXPECT_EQ(run_plan(z).code, 13);
  z.leniz = fits.neediz;
  z.lenz = fits.needz;  // both rooms 0: the integer room is not the smaller
  EXPECT_EQ(run_plan(z).code, 13);
}

TEST(WorkspacePlan, PositionsBeyondThirtyTwoBitsAreAWorkspaceTooSmall) {
  PlanSizes z = small_sizes();
  z.m = 1'500'000'000;
  z.n = 1'500'000'000;
  z.leniz = INT_MAX;
  PlanResult r = run_plan(z);
  EXPECT_EQ(r.code, 15);
  EXPECT_EQ(r.neediz, INT_MAX);

  z = small_sizes();
  z.n = 200000;
  z.njnln = 100000;
  z.hessian_storage = 1;
  z.hessian_updates = 99999999;
  z.leniz = 100'000'000;
  z.lenz = INT_MAX;
  r = run_plan(z);
  EXPECT_EQ(r.code, 16);
  EXPECT_EQ(r.needz, INT_MAX);
}

TEST(WorkspacePlan, TooSmallReportOnPrintAndErrorUnits) {
  constexpr int kUnit = 75;
  sqp_test::UnitCapture out(kUnit);
  PlanSizes z = small_sizes();
  z.leniz = 100000;
  z.lenz = 500;
  const PlanResult r = run_plan(z, 1, -1, kUnit);
  ASSERT_EQ(r.code, 16);
  auto i8 = [](int v) {
    std::string s = std::to_string(v);
    return std::string(8 - s.size(), ' ') + s;
  };
  const std::vector<std::string> want = {
      " ",
      " Workspace provided is                 IZ(  100000),  Z(     500).",
      " To start solving the problem we need  IZ(" + i8(r.neediz) + "),  Z(" + i8(r.needz) + ").",
      " ",
      " Exit SPNLPF - Not enough real workspace to start solving the problem.",
      " ",
      " ** Not enough real workspace to start solving the problem."};
  EXPECT_EQ(out.lines(), want);
}

TEST(WorkspacePlan, TooSmallIsSilentAtPrintLevelZeroAndSoftSilentMode) {
  constexpr int kUnit = 76;
  sqp_test::UnitCapture out(kUnit);
  PlanSizes z = small_sizes();
  z.leniz = 600;
  EXPECT_EQ(run_plan(z, 0, 1, kUnit).code, 15);
  EXPECT_TRUE(out.lines().empty());
  EXPECT_EQ(workspace_code_text(15), "Not enough integer workspace to start solving the problem.");
  EXPECT_EQ(workspace_code_text(12), "Not enough integer workspace for the basis factors.");
  EXPECT_EQ(workspace_code_text(13), "Not enough real workspace for the basis factors.");
}

}  // namespace
}  // namespace zun
