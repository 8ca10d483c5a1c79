#pragma once
// Internal to the desktop module: the window directory run/desktop/ of the current
// system root. One entry file per process (<pid>.win, replaced whole by rename),
// its datagram socket (<pid>.sock), a lock file for changes and the z-order counter.
#include "platform/desktop/Desktop.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace plat::desktop {

struct ProcessEntry {
    pid_t pid = 0;
    uint64_t startTime = 0;   // the process's start time, so that a reused pid is not taken for it
    std::vector<TopLevelWindow> windows;
};

// A datagram between processes of the desktop.
struct Datagram {
    static constexpr uint32_t kMagic = 0x56445331;   // "VDS1"
    enum Kind : uint32_t { Broadcast = 1, Post = 2, Restore = 3 };
    uint32_t magic = kMagic;
    uint32_t kind = 0;
    uint32_t window = 0;
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

uint64_t processStartTime(pid_t pid);   // 0 when there is no such process
bool processAlive(pid_t pid, uint64_t startTime);
bool processRunning(pid_t pid);         // exists and has not ended (a zombie has ended)

class DesktopFolder {
public:
    // The folder of the current root; made when run/ exists. Null with a reason when
    // run/ is missing, not a folder, or the directory cannot be made.
    static std::unique_ptr<DesktopFolder> open(std::string* error);
    ~DesktopFolder();

    const std::filesystem::path& path() const { return path_; }
    // A socket address for pid's socket that stays short however deep the root is.
    std::string socketAddress(pid_t pid) const;
    std::filesystem::path entryPath(pid_t pid) const;

    class Lock {
    public:
        explicit Lock(int fd);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        int fd_;
    };
    Lock lock() const { return Lock(lockFd_); }

    // Under the lock.
    uint64_t nextZOrder() const;
    bool writeEntry(const ProcessEntry& entry, std::string* error) const;
    void removeEntry(pid_t pid) const;

    // One entry (false when absent or unreadable).
    bool readEntry(pid_t pid, ProcessEntry* entry) const;
    // Every entry of a live process; entries of dead ones are removed.
    std::vector<ProcessEntry> liveEntries() const;

private:
    DesktopFolder(std::filesystem::path path, int dirFd, int lockFd);
    std::filesystem::path path_;
    int dirFd_;
    int lockFd_;
};

}  // namespace plat::desktop
