#pragma once
// Drive roots already resolved, so that the many paths of one card (each
// picture is looked at, copied and checked) resolve without scanning sysfs and
// the mount table for each. A root found here stands only while
//  - the drive table file is the same file, unchanged;
//  - the kernel has not signalled a change of the mount table since (a poll
//    on an open /proc/self/mountinfo);
//  - the root is still the same folder (device and inode number); and
//  - the slot's block device is still in sysfs.
// Any of these failing sends the caller to the full lookup. Only drive maps on
// the real mount table are served: a fake one cannot signal its changes.
#include "platform/fs/DriveMap.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

class RootCache {
public:
    static RootCache& instance();
    static bool serves(const DriveMapConfig& config);

    // What the cache knew when a lookup started: a root found later is kept
    // only if nothing changed meanwhile.
    struct Ticket {
        std::string key;
        char letter = 0;
        uint64_t generation = 0;
        struct TableStamp {
            bool present = false;
            uint64_t dev = 0, ino = 0, size = 0;
            int64_t mtimeNs = 0;
            bool operator==(const TableStamp&) const = default;
        } table;
    };

    // The root of `letter` (upper case) of the map with this config and table
    // file, when still valid; fills `ticket` for `keep` either way.
    bool find(const DriveMapConfig& config, const std::filesystem::path& table, char letter,
              std::filesystem::path* root, Ticket* ticket);
    // Keeps the root that the full lookup gave for the ticket's drive.
    void keep(const Ticket& ticket, const DriveInfo& info, const std::filesystem::path& sysfsRoot);

private:
    struct Entry {
        std::string key;
        char letter = 0;
        Ticket::TableStamp table;
        std::filesystem::path root;
        uint64_t rootDev = 0, rootIno = 0;
        std::filesystem::path device;  // the slot's sysfs folder; empty for a folder drive
    };

    RootCache();
    void noteMountChanges();  // with the lock held
    static bool stillValid(const Entry& e);

    std::mutex mutex_;
    int mounts_ = -1;  // /proc/self/mountinfo, polled for changes
    uint64_t generation_ = 0;
    std::vector<Entry> entries_;
};

}  // namespace plat
