// The solve message of a final IFAIL.
#include "drivers/common/solve_message.h"

namespace zun_driver {

const char* solve_message_of(std::span<const char* const> messages, int ifail) {
  const std::size_t other = messages.size() - 1;
  const auto code = static_cast<std::size_t>(static_cast<unsigned>(ifail));
  return messages[code < other ? code : other];
}

}  // namespace zun_driver
