// The arrays of the basis layer in the workspace and the shared message helpers.
#include "library/sparse_qp/qp_workspace.h"

#include "library/platform/format.h"
#include "library/sparse_sqp/sparse_option_words.h"
#include "library/support/output.h"

namespace zun::qp {

namespace iw = sparse_option::integer_word;
namespace ws = sparse_ws::integer_word;

LuView lu_view(int* iz, double* z) {
  LuView v;
  v.lena = iz[ws::kLuFileLength - 1];
  v.luparm = iz + kLuWorkspaceOffset;
  v.parmlu = z + kLuWorkspaceOffset;
  v.a = real_array(iz, z, ra::kLuValues);
  v.indc = int_array(iz, ia::kLuColumnFile);
  v.indr = int_array(iz, ia::kLuRowFile);
  v.ip = int_array(iz, ia::kLuRowPerm);
  v.iq = int_array(iz, ia::kLuColPerm);
  v.lenc = int_array(iz, ia::kLuColLength);
  v.lenr = int_array(iz, ia::kLuRowLength);
  v.locc = int_array(iz, ia::kLuColStart);
  v.locr = int_array(iz, ia::kLuRowStart);
  v.iploc = int_array(iz, ia::kLuRowCountStart);
  v.iqloc = int_array(iz, ia::kLuColCountStart);
  v.ipinv = int_array(iz, ia::kLuRowPermInverse);
  v.iqinv = int_array(iz, ia::kLuColPermInverse);
  v.w = real_array(iz, z, ra::kLuColumnMax);
  return v;
}

Units units(const int* iz) { return {iz[iw::kPrintUnit - 1], iz[iw::kMonitoringUnit - 1]}; }

void write_record(int unit, const std::string& text) {
  write_line(unit, text.data(), static_cast<int>(text.size()));
}

void write_both(const Units& u, int itn, const std::string& text) {
  write_both(u, itn, text, text);
}

void write_both(const Units& u, int itn, const std::string& text, const std::string& monitor_text) {
  write_record(u.print, " Itn" + platform::format_i(itn, 7) + " -- " + text);
  if (u.monitor_apart()) write_record(u.monitor, " XXX " + monitor_text);
}

}  // namespace zun::qp
