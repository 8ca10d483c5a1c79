#pragma once
// Registered messages: a name gives a message number that is the same in every
// process of the system root (names compared without regard to case). Numbers run
// from kFirstRegisteredMessage to kLastRegisteredMessage; the table is a small
// file under run/, changed under a file lock.
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

// The number, or 0 (with a reason) when the table cannot be read or written or is full.
uint32_t registerMessage(std::string_view name, std::string* error = nullptr);

}  // namespace plat
