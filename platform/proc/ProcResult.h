#pragma once
// Result codes of the process functions (numbers after the platform's well-known
// error numbers).
#include <cstdint>

namespace plat {

enum class ProcResult : int32_t {
    Ok = 0,
    NotFound = 2,           // no such program file
    AccessDenied = 5,       // not executable, or a lock folder that is not ours
    NotExecutable = 193,    // a folder, an empty file, or a file the system cannot run
    AlreadyRunning = 183,   // the single-instance lock is held by another process
    StartFailed = 1067,     // fork or exec failed for another reason
    ListFailed = 1068,      // the list of running programs could not be read
    LockFailed = 1069,      // the lock file could not be made or locked
};

const char* describe(ProcResult r);

}  // namespace plat
