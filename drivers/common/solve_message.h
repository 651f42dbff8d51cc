// The rule that turns a solver's final IFAIL into the solve message of the .sol file.
#pragma once

#include <span>

namespace zun_driver {

// The entry of `messages` for `ifail` taken as unsigned: codes below the last index have their
// own entry; every other code, negative ones included, takes the last entry.
const char* solve_message_of(std::span<const char* const> messages, int ifail);

}  // namespace zun_driver
