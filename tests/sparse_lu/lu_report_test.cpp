// The messages of the sparse LU on the print unit, by print level.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sparse_lu/lu_test_support.h"
#include "tests/support/capture.h"

namespace zun::lu_test {
namespace {

namespace iw = lu_integer_words;
using zun::testing::UnitCapture;

constexpr int kUnit = 47;

bool starts_with(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

Triples singular_matrix() {
  Triples t;
  t.m = t.n = 4;
  t.add(1, 1, 2.0);
  t.add(2, 2, 3.0);
  t.add(4, 4, 1.0);
  return t;
}

void print_on(LuHarness& h, int level) {
  h.luparm[iw::kPrintUnit - 1] = kUnit;
  h.luparm[iw::kPrintLevel - 1] = level;
}

TEST(LuReport, SingularWarningLists) {
  UnitCapture out(kUnit);
  LuHarness h(4, 4, 200);
  print_on(h, 0);
  ASSERT_EQ(h.factor(singular_matrix()), 1);
  const std::vector<std::string> lines = out.lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], " PRUNEK  warning.  The matrix appears to be singular.");
  EXPECT_TRUE(starts_with(lines[1], "     nrank =       3"));
  EXPECT_TRUE(starts_with(lines[2], " n - nrank =       1"));
  EXPECT_TRUE(starts_with(lines[3], "     nsing =       1"));
  EXPECT_TRUE(starts_with(lines[4], "     jsing =       3"));
  EXPECT_NE(lines[5].find("largest  triangular diag"), std::string::npos);
  EXPECT_NE(lines[6].find("smallest triangular diag"), std::string::npos);
}

TEST(LuReport, SilentBelowLevelZero) {
  UnitCapture out(kUnit);
  LuHarness h(4, 4, 200);
  print_on(h, -1);
  ASSERT_EQ(h.factor(singular_matrix()), 1);
  EXPECT_TRUE(out.lines().empty());
}

TEST(LuReport, StorageAndEntryErrors) {
  UnitCapture out(kUnit);
  LuHarness small(4, 4, 10);
  print_on(small, 0);
  ASSERT_EQ(small.factor(singular_matrix()), 7);
  Triples bad = singular_matrix();
  bad.add(5, 1, 1.0);
  LuHarness h(4, 4, 200);
  print_on(h, 0);
  ASSERT_EQ(h.factor(bad), 3);
  const std::vector<std::string> lines = out.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], " PRUNEN  error...  insufficient storage");
  EXPECT_EQ(lines[1], " Increase  lena  from        10  to at least        19");
  EXPECT_EQ(lines[2], " PRUNEN  error...  entry  a(       4)  has an illegal row or column index");
  EXPECT_EQ(lines[3], " indc, indr =       5       1");
}

TEST(LuReport, CompressionLinesAboveLevelZero) {
  std::mt19937 rng(4);
  const Triples t = random_triples(60, 60, 4.0, true, rng);
  LuHarness probe(60, 60, 100000);
  ASSERT_EQ(probe.factor(t), 0);
  UnitCapture out(kUnit);
  LuHarness h(60, 60, probe.iword(iw::kMinLength) + 200);
  print_on(h, 1);
  ASSERT_EQ(h.factor(t), 0);
  const std::vector<std::string> lines = out.lines();
  ASSERT_EQ(static_cast<int>(lines.size()), h.iword(iw::kCompressions));
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(starts_with(lines[0], " PRUNEL.   File compressed from"));
}

TEST(LuReport, ReplacementMessages) {
  UnitCapture out(kUnit);
  Triples t;
  t.m = t.n = 3;
  for (int j = 1; j <= 3; ++j) t.add(j, j, 1.0 + j);
  LuHarness h(3, 3, 200);
  print_on(h, 0);
  ASSERT_EQ(h.factor(t), 0);
  std::vector<double> v(3, 0.0);
  double diag = 0.0;
  double vnorm = 0.0;
  EXPECT_EQ(h.replace(1, 0, 2, v, diag, vnorm), -1);
  EXPECT_EQ(h.replace(1, 1, 4, v, diag, vnorm), 8);
  const std::vector<std::string> lines = out.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], " PRUNEP  warning.  Singularity after replacing column.");
  EXPECT_TRUE(starts_with(lines[1], " jrep =       2    diag ="));
  EXPECT_EQ(lines[2], " PRUNEP  error...  jrep  is out of range.");
  EXPECT_EQ(lines[3], " m =       3    n =       3    jrep =       4");
}

}  // namespace
}  // namespace zun::lu_test
