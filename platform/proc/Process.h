#pragma once
// Starting programs and looking at running ones.
#include "platform/proc/ProcResult.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace plat {

// Starts `program` (a path, no search, no shell) with `args` as argv[1..]. The
// program runs detached: in its own session, not a child of the caller (nothing
// to reap), with only standard input, output and error inherited. On success
// *pid (when given) is the started program's process id. A program that exists
// but cannot be executed gives its own result, not a silent success.
ProcResult startDetached(const std::string& program, const std::vector<std::string>& args, pid_t* pid = nullptr);

// What the started program's standard input, output and error are.
enum class StdStreams { Inherit, Null };
// The same, with the standard streams chosen: Null gives the program /dev/null
// for all three, so that a program that outlives the caller never writes into
// the caller's terminal or pipes (and never holds a pipe of the caller open).
ProcResult startDetached(const std::string& program, const std::vector<std::string>& args, pid_t* pid,
                         StdStreams streams);

struct RunningProcess {
    pid_t pid = 0;
    std::string comm;      // the kernel's short name (at most 15 bytes)
    std::string exeName;   // file name of the running executable (empty when unreadable)
    std::string argv0;     // file name part of argv[0] (scripts show their own name here)
    std::string root;      // the system root the process started in (empty when unreadable)
    std::string exePath;   // full path of the running executable (empty when unreadable)
};

// Every process of the calling user. A /proc that cannot be read is a failure,
// never an empty list.
ProcResult listUserProcesses(std::vector<RunningProcess>* out);

// Whether `p` is the program `name` (case-insensitive; "caravel" also matches
// "Caravel.exe"-less forms such as the truncated kernel name).
bool isProgramNamed(const RunningProcess& p, std::string_view name);

// Whether `p` belongs to the machine rooted at `top`: by the root its
// environment names, or, where that cannot be read, by whether its executable
// lies under `top`. A process with neither is not counted as ours.
bool isProcessInRoot(const RunningProcess& p, const std::filesystem::path& top);

// Which processes count: those started in this process's system root (each root
// is a machine of its own), or every process of the user.
enum class ProcessScope { ThisRoot, AnyRoot };

// Whether a program of that name runs for this user, except process `except`.
// On ListFailed *running is left true: callers that must not start a second copy
// treat an unknown answer as "running". A zombie or exiting process is not
// running. A process whose environment cannot be read (it is exiting, or is not
// ours to read) counts as being in this root only when its executable lies
// under this root: a guess would let another machine's program block this one.
ProcResult isProgramRunning(std::string_view name, bool* running, pid_t except = 0,
                            ProcessScope scope = ProcessScope::ThisRoot);

// The system root named by a process environment (NUL-separated NAME=value
// entries), by the rule of SystemRoot::current().
std::string rootOfEnvironment(const std::string& environ);

// Whether the process exists (a zombie counts as gone).
bool isProcessAlive(pid_t pid);

}  // namespace plat
