#pragma once
// Class registration: HKEY_CLASSES_ROOT\CLSID\{...}\LocalServer32 names the
// program that serves a class. Servers listen on run/com/{CLSID}.sock.
#include "platform/com/HResult.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace plat {

// "{5b1e7a20-...}" or without braces to "{5B1E7A20-...}"; false when not a class id.
bool normaliseClassId(std::string_view text, std::string* out);

HResult registerLocalServer(std::string_view classId, const std::filesystem::path& program);
HResult unregisterLocalServer(std::string_view classId);
// hr::ClassNotRegistered when there is no usable registration.
HResult findLocalServer(std::string_view classId, std::filesystem::path* program);

// run/com of the current root, made private (0700) when missing; empty on failure.
std::filesystem::path comRunDir();
std::filesystem::path classSocketPath(const std::string& normalisedClassId);
std::filesystem::path classLockPath(const std::string& normalisedClassId);

}  // namespace plat
