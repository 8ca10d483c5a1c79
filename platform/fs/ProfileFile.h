#pragma once
// INI files ("private profiles"): [section] headers and key=value lines.
// Section and key names are compared without regard to ASCII case; values come
// back with surrounding blanks stripped; lines that are neither a header nor a
// key (garbage, comments starting with ';') are kept on write and ignored on read.
// The first matching section and the first matching key in it are the ones used.
// Every write replaces the file as a whole (temporary file and rename), so a
// reader sees the old or the new file, never a half-written one.
#include "platform/fs/FsResult.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace plat {

// Writes key=value (no blanks around '='). Creates the file and the section when
// missing; replaces the key in place, or appends it at the end of its section.
// A null value (nullopt) writes nothing and removes the key if it is there.
// Section or key empty or holding a line break, '[' ']' in a section, '=' in a
// key, or a line break in the value: InvalidArgument, the file untouched.
FsResult writeProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                            std::optional<std::string_view> value);

// The value of the key, or `defaultValue` when the file, section or key is missing.
std::string readProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::string_view defaultValue);

// The leading decimal number of the value (blanks, then an optional sign, then
// digits; the rest ignored: "3 " is 3, "-1" is -1, "abc" is 0), saturated to 32
// bits; `defaultValue` when the key is missing.
int32_t readProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                       int32_t defaultValue);

// The number parse of readProfileInt, on its own.
int32_t parseProfileInt(std::string_view text);

// The file read once, for a reader that asks for many keys: each lookup gives
// what readProfileString / readProfileInt would give on the file as it was read.
class ProfileSnapshot {
public:
    explicit ProfileSnapshot(const std::filesystem::path& file);
    std::string readString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    int32_t readInt(std::string_view section, std::string_view key, int32_t defaultValue) const;

private:
    const std::string* find(std::string_view section, std::string_view key) const;

    // "section\nkey" in ASCII lower case -> the first value of that key in the first such section
    std::unordered_map<std::string, std::string> values_;
};

}  // namespace plat
