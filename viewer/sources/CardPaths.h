#pragma once
// Card paths as the picture sources write them ("E:\DCIM\100ABCDE\ABCD0001.JPG",
// '\' or '/'), turned into file-system paths: through the drive map, each name
// looked up without regard to case, never leaving the drive. A path that starts
// with '/' is a plain folder path (a folder used as a source).
#include <filesystem>
#include <string>

#include "platform/fs/FsResult.h"

plat::FsResult ResolveCardPath(const std::string& cardPath, std::filesystem::path* out);

// Joins with '\', the separator of card paths.
std::string JoinCardPath(const std::string& a, const std::string& b);

// The last component of a card path.
std::string LastCardComponent(const std::string& cardPath);
