// Test helper: the binary form of a text .nl file, as the ASL writes it.
#include "tests/drivers/common/binary_form.h"

#include <vector>

#include "asl.h"

namespace driver_test {

bool write_binary_form(const std::string& text_stub, const std::string& binary_stub) {
  ASL* asl = ASL_alloc(ASL_read_fg);
  std::vector<char> stub(text_stub.begin(), text_stub.end());
  stub.push_back('\0');
  return_nofile = 1;
  FILE* nl = jac0dim(stub.data(), static_cast<fint>(text_stub.size()));
  bool written = false;
  if (nl != nullptr && fg_wread(nl, ASL_return_read_err) == 0) {
    written = fg_write(binary_stub.c_str(), nullptr, ASL_write_binary) == 0;
  }
  ASL_free(&asl);
  return written;
}

}  // namespace driver_test
