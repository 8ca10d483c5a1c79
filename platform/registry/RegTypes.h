#pragma once
// Result codes, value types and hives of the registry. The numbers follow the
// platform's well-known error numbers so that callers can log them as such.
#include <cstdint>

namespace plat {

enum class RegResult : int32_t {
    Ok = 0,
    NotFound = 2,            // key or value missing (also: the hive does not exist yet)
    AccessDenied = 5,        // hive is read-only for this process
    InvalidHandle = 6,       // the key handle is not open
    InvalidParameter = 87,   // bad type, size or data
    BadPath = 161,           // empty path component, over-long name, unknown hive
    Busy = 170,              // the hive stayed locked by another process past the busy timeout
    MoreData = 234,          // the caller's buffer is too small; *size holds what is needed
    NoMoreItems = 259,       // enumeration index past the end
    BadHive = 1009,          // the hive file is not a registry database (corrupt, foreign)
    CantOpenHive = 1011,     // the hive file cannot be opened (permissions, a folder, no space)
    ReadFailed = 1012,
    WriteFailed = 1013,
    KeyDeleted = 1018,       // the key of an open handle was deleted meanwhile
};

// A short English text for logs and the command-line tool.
const char* describe(RegResult r);

// Stored type codes (kept as the numbers the programs write).
enum class RegType : uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    MultiString = 7,
};

enum class Hive {
    LocalMachine,
    CurrentUser,
    ClassesRoot,  // a view of LocalMachine\SOFTWARE\Classes
};

}  // namespace plat
