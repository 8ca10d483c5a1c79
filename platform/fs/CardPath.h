#pragma once
// Card paths. The system names card files as the camera writes them ("DCIM",
// "IM01W200", "Vorel001.dsc") and cards are FAT, so names are looked up without
// regard to ASCII case. Plain folders used as cards (ext4 in tests) are case
// sensitive: this one helper finds the name actually on disk, component by
// component. It is used everywhere card files are named.
#include "platform/fs/FsResult.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Resolves `relative` ('/' or '\' separated) below `root`. Each component that
// exists in some case is replaced by its name on disk; from the first one that
// does not exist the rest is kept as given (a file about to be made).
// ".." anywhere, or a symbolic link leading outside `root`, fails with EscapesRoot;
// nothing outside `root` is ever named. Empty components and "." are skipped.
FsResult resolveCardPath(const std::filesystem::path& root, std::string_view relative,
                         std::filesystem::path* out);

// The components of a '/' or '\' separated path, without empty ones and ".".
std::vector<std::string> splitPathComponents(std::string_view path);

// ASCII case-insensitive equality (card names are ASCII; other bytes must match).
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace plat
