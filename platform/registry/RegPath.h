#pragma once
// Registry paths: key names separated by '\'. Not file paths.
#include "platform/registry/RegTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace plat {

inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;

// Splits a key path into its names. One trailing '\' is ignored; an empty path
// names the key itself. An empty component ("a\\b", "\a", "a\\\\") or a name
// longer than kMaxKeyNameLength gives BadPath.
RegResult splitKeyPath(std::string_view path, std::vector<std::string>* names);

// The form names are compared in: case folded (ASCII letters), so "VOREL" and
// "Vorel" are one key while the stored name keeps the case it was created with.
std::string foldName(std::string_view name);

}  // namespace plat
