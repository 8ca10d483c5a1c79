#include "platform/proc/Process.h"

#include "platform/sysroot/SystemRoot.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plat {

namespace {

// What the helper processes tell the caller through the start pipe.
struct StartReport {
    int32_t kind;   // 1: the program's pid, 2: exec failed with errno `value`
    int32_t value;
};

ProcResult checkProgramFile(const std::string& program) {
    struct stat st {};
    if (program.empty() || stat(program.c_str(), &st) != 0) {
        return errno == EACCES ? ProcResult::AccessDenied : ProcResult::NotFound;
    }
    if (!S_ISREG(st.st_mode) || st.st_size == 0) return ProcResult::NotExecutable;
    if (access(program.c_str(), X_OK) != 0) return ProcResult::AccessDenied;
    return ProcResult::Ok;
}

ProcResult fromExecErrno(int err) {
    switch (err) {
    case ENOENT: return ProcResult::NotFound;
    case EACCES:
    case EPERM: return ProcResult::AccessDenied;
    case ENOEXEC:
    case EISDIR: return ProcResult::NotExecutable;
    default: return ProcResult::StartFailed;
    }
}

void writeReport(int fd, int32_t kind, int32_t value) {
    StartReport r{kind, value};
    ssize_t n;
    do { n = write(fd, &r, sizeof r); } while (n < 0 && errno == EINTR);
}

// Runs in the grandchild, between fork and exec: only async-signal-safe calls.
[[noreturn]] void execProgram(const char* path, char* const* argv, int reportFd, int nullFd) {
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
    if (nullFd >= 0) {
        for (int target = 0; target < 3; ++target) {
            if (nullFd != target && reportFd != target) dup2(nullFd, target);
        }
    }
    // Nothing but standard input, output and error crosses into the program.
    if (reportFd > 3) close_range(3, static_cast<unsigned>(reportFd) - 1, 0);
    close_range(static_cast<unsigned>(reportFd) + 1, ~0u, 0);
    if (reportFd < 3) close_range(3, ~0u, 0);
    execv(path, argv);
    writeReport(reportFd, 2, errno);
    _exit(127);
}

std::string fileNamePart(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string readSmallFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string s;
    std::getline(f, s, '\0');
    return s;
}

}  // namespace

const char* describe(ProcResult r) {
    switch (r) {
    case ProcResult::Ok: return "done";
    case ProcResult::NotFound: return "the program file does not exist";
    case ProcResult::AccessDenied: return "access denied";
    case ProcResult::NotExecutable: return "the file is not a program that can be run";
    case ProcResult::AlreadyRunning: return "another copy is already running";
    case ProcResult::StartFailed: return "the program could not be started";
    case ProcResult::ListFailed: return "the running programs could not be listed";
    case ProcResult::LockFailed: return "the lock file could not be made";
    }
    return "unknown process result";
}

ProcResult startDetached(const std::string& program, const std::vector<std::string>& args, pid_t* pid) {
    return startDetached(program, args, pid, StdStreams::Inherit);
}

ProcResult startDetached(const std::string& program, const std::vector<std::string>& args, pid_t* pid,
                         StdStreams streams) {
    if (pid) *pid = 0;
    ProcResult r = checkProgramFile(program);
    if (r != ProcResult::Ok) return r;

    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    int nullFd = -1;
    if (streams == StdStreams::Null) {
        nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (nullFd < 0) return ProcResult::StartFailed;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        if (nullFd >= 0) close(nullFd);
        return ProcResult::StartFailed;
    }
    pid_t helper = fork();
    if (helper < 0) {
        close(fds[0]);
        close(fds[1]);
        if (nullFd >= 0) close(nullFd);
        return ProcResult::StartFailed;
    }
    if (helper == 0) {
        // The helper leaves at once, so the program is nobody's child to reap.
        close(fds[0]);
        setsid();
        pid_t child = fork();
        if (child < 0) {
            writeReport(fds[1], 2, errno);
            _exit(1);
        }
        if (child > 0) {
            writeReport(fds[1], 1, child);
            _exit(0);
        }
        execProgram(argv[0], argv.data(), fds[1], nullFd);
    }
    close(fds[1]);
    if (nullFd >= 0) close(nullFd);
    int status = 0;
    while (waitpid(helper, &status, 0) < 0 && errno == EINTR) {}

    pid_t started = 0;
    int execError = 0;
    StartReport report{};
    while (true) {
        ssize_t n = read(fds[0], &report, sizeof report);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(sizeof report)) break;
        if (report.kind == 1) started = report.value;
        if (report.kind == 2) execError = report.value;
    }
    close(fds[0]);
    if (execError != 0) return fromExecErrno(execError);
    if (started <= 0) return ProcResult::StartFailed;
    if (pid) *pid = started;
    return ProcResult::Ok;
}

ProcResult listUserProcesses(std::vector<RunningProcess>* out) {
    out->clear();
    DIR* dir = opendir("/proc");
    if (!dir) return ProcResult::ListFailed;
    const uid_t me = geteuid();
    bool sawSelf = false;
    while (dirent* e = readdir(dir)) {
        char* end = nullptr;
        long id = std::strtol(e->d_name, &end, 10);
        if (*end || id <= 0) continue;
        std::string base = std::string("/proc/") + e->d_name;
        struct stat st {};
        if (stat(base.c_str(), &st) != 0 || st.st_uid != me) continue;  // gone, or another user's
        RunningProcess p;
        p.pid = static_cast<pid_t>(id);
        if (p.pid != getpid() && !isProcessAlive(p.pid)) continue;  // ended, not yet reaped
        p.comm = readSmallFile(base + "/comm");
        if (!p.comm.empty() && p.comm.back() == '\n') p.comm.pop_back();
        char exe[4096];
        ssize_t n = readlink((base + "/exe").c_str(), exe, sizeof exe - 1);
        if (n > 0) {
            std::string target(exe, static_cast<std::size_t>(n));
            const std::string deleted = " (deleted)";
            if (target.size() > deleted.size() && target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
                target.resize(target.size() - deleted.size());
            p.exeName = fileNamePart(target);
            p.exePath = target;
        }
        p.argv0 = fileNamePart(readSmallFile(base + "/cmdline"));
        std::ifstream env(base + "/environ", std::ios::binary);
        if (env) p.root = rootOfEnvironment(std::string(std::istreambuf_iterator<char>(env), {}));
        if (p.pid == getpid()) sawSelf = true;
        out->push_back(std::move(p));
    }
    closedir(dir);
    // Not even this process: /proc is not what it should be.
    return sawSelf ? ProcResult::Ok : ProcResult::ListFailed;
}

bool isProgramNamed(const RunningProcess& p, std::string_view name) {
    if (name.empty()) return false;
    const std::string want = lower(name);
    if (lower(p.exeName) == want || lower(p.argv0) == want) return true;
    // The kernel keeps 15 bytes of the name.
    const std::string comm = lower(p.comm);
    if (comm.size() == 15 && want.size() > 15) return want.compare(0, 15, comm) == 0;
    return comm == want;
}

std::string rootOfEnvironment(const std::string& environ) {
    auto value = [&](const std::string& name) -> std::optional<std::string> {
        const std::string key = name + "=";
        for (std::size_t at = 0; at < environ.size();) {
            std::size_t end = environ.find('\0', at);
            if (end == std::string::npos) end = environ.size();
            if (environ.compare(at, key.size(), key) == 0) return environ.substr(at + key.size(), end - at - key.size());
            at = end + 1;
        }
        return std::nullopt;
    };
    if (auto root = value("VOREL_ROOT"); root && !root->empty()) return *root;
    std::string data = value("XDG_DATA_HOME").value_or("");
    if (data.empty()) {
        std::string home = value("HOME").value_or("");
        data = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
    }
    return data + "/vorel";
}

bool isProcessInRoot(const RunningProcess& p, const std::filesystem::path& top) {
    // "/r/a/" and "/r/a" are one folder.
    auto folder = [](const std::filesystem::path& f) {
        std::filesystem::path n = f.lexically_normal();
        return n.has_filename() ? n : n.parent_path();
    };
    if (!p.root.empty()) return folder(p.root) == folder(top);
    if (p.exePath.empty()) return false;
    const std::filesystem::path rel = folder(p.exePath).lexically_relative(folder(top));
    return !rel.empty() && *rel.begin() != "..";
}

ProcResult isProgramRunning(std::string_view name, bool* running, pid_t except, ProcessScope scope) {
    *running = true;
    std::vector<RunningProcess> list;
    ProcResult r = listUserProcesses(&list);
    if (r != ProcResult::Ok) return r;
    const std::filesystem::path ours = SystemRoot::current().top();
    *running = false;
    for (const RunningProcess& p : list) {
        if (p.pid == except || !isProgramNamed(p, name)) continue;
        if (p.pid != getpid() && !isProcessAlive(p.pid)) continue;  // it ended while we looked
        if (scope == ProcessScope::ThisRoot && !isProcessInRoot(p, ours)) continue;
        *running = true;
    }
    return ProcResult::Ok;
}

bool isProcessAlive(pid_t pid) {
    if (pid <= 0) return false;
    if (kill(pid, 0) != 0 && errno != EPERM) return false;
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(f, line)) return false;
    std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return true;
    const char state = line[close + 2];
    return state != 'Z' && state != 'X';  // zombie, or dead and about to vanish
}

}  // namespace plat
