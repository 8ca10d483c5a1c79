#pragma once

// Result codes shared by every operation of the library (the exported functions
// pass them on unchanged). Any other non-zero value is a C runtime error number.
namespace tintara {

inline constexpr long kOk = 0;
inline constexpr long kBadArgument = 1;
inline constexpr long kNoMemory = 2;
inline constexpr long kBadProfile = 9;
inline constexpr long kMissingTag = 10;

} // namespace tintara
