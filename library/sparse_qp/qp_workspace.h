// The arrays of the basis layer found through the workspace position words, and the small
// helpers that the basis layer shares internally (the monitoring-file test, two-unit messages).
#pragma once

#include <string>
#include <string_view>

#include "library/sparse_lu/lu_words.h"
#include "library/sparse_qp/minor_words.h"
#include "library/sparse_sqp/workspace_words.h"
#include "library/support/one_based.h"

namespace zun::qp {

namespace ia = sparse_ws::int_array;
namespace ra = sparse_ws::real_array;

// The QP's own objective gradient (nlv reals): the major iteration's gradient is never written.
constexpr int kQpGradient = ra::kNlvRealF;

// Start of the integer array whose position is in IZ(word).
inline int* int_array(int* iz, int word) { return Words<int>(iz).at(iz[word - 1]); }
// Start of the real array whose position is in IZ(word).
inline double* real_array(const int* iz, double* z, int word) {
  return Words<double>(z).at(iz[word - 1]);
}

// The LU factors of the basis and their parameter blocks in the workspace.
struct LuView {
  int lena = 0;
  int* luparm = nullptr;
  double* parmlu = nullptr;
  double* a = nullptr;
  int* indc = nullptr;
  int* indr = nullptr;
  int* ip = nullptr;
  int* iq = nullptr;
  int* lenc = nullptr;
  int* lenr = nullptr;
  int* locc = nullptr;
  int* locr = nullptr;
  int* iploc = nullptr;
  int* iqloc = nullptr;
  int* ipinv = nullptr;
  int* iqinv = nullptr;
  double* w = nullptr;
};

LuView lu_view(int* iz, double* z);

// The print and monitoring units of the workspace.
struct Units {
  int print;
  int monitor;  // negative: none
  // True when a message also goes to the monitoring file (open and not the print file).
  bool monitor_apart() const { return monitor >= 0 && monitor != print; }
};
Units units(const int* iz);

// Print levels at which the solver's messages are written (5, or 10 and above).
inline bool messages_on(int print_level) { return print_level == 5 || print_level >= 10; }

// Writes one record.
void write_record(int unit, const std::string& text);

// " Itn" itn(I7) " -- " text on the print file and " XXX " text on the monitoring file.
void write_both(const Units& u, int itn, const std::string& text);
// The same with a text of its own for the monitoring file.
void write_both(const Units& u, int itn, const std::string& text, const std::string& monitor_text);

}  // namespace zun::qp
