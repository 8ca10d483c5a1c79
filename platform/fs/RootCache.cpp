#include "platform/fs/RootCache.h"

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace fs = std::filesystem;

namespace {

constexpr const char* kRealMountInfo = "/proc/self/mountinfo";

RootCache::Ticket::TableStamp stampOf(const fs::path& table) {
    RootCache::Ticket::TableStamp s;
    struct stat st {};
    if (stat(table.c_str(), &st) != 0) return s;
    s.present = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

}  // namespace

RootCache& RootCache::instance() {
    static RootCache cache;
    return cache;
}

bool RootCache::serves(const DriveMapConfig& config) { return config.mountInfo == kRealMountInfo; }

RootCache::RootCache() : mounts_(open(kRealMountInfo, O_RDONLY | O_CLOEXEC)) {}

void RootCache::noteMountChanges() {
    pollfd p{mounts_, POLLPRI, 0};
    // The kernel marks the open table on every mount and unmount; a poll reads
    // and clears the mark. Without the table nothing can be trusted.
    if (mounts_ < 0 || (poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR)))) {
        ++generation_;
        entries_.clear();
    }
}

bool RootCache::stillValid(const Entry& e) {
    struct stat st {};
    if (stat(e.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (st.st_dev != e.rootDev || st.st_ino != e.rootIno) return false;
    return e.device.empty() || access(e.device.c_str(), F_OK) == 0;
}

bool RootCache::find(const DriveMapConfig& config, const fs::path& table, char letter, fs::path* root,
                     Ticket* ticket) {
    ticket->key = table.string() + '\n' + config.sysfsRoot.string() + (config.discover ? "\n1" : "\n0");
    ticket->letter = letter;
    ticket->table = stampOf(table);
    std::lock_guard<std::mutex> lock(mutex_);
    noteMountChanges();
    ticket->generation = generation_;
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->key != ticket->key || it->letter != letter) continue;
        if (it->table == ticket->table && stillValid(*it)) {
            *root = it->root;
            return true;
        }
        entries_.erase(it);
        break;
    }
    return false;
}

void RootCache::keep(const Ticket& ticket, const DriveInfo& info, const fs::path& sysfsRoot) {
    Entry e;
    e.key = ticket.key;
    e.letter = ticket.letter;
    e.table = ticket.table;
    e.root = info.root;
    struct stat st {};
    if (stat(e.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    e.rootDev = st.st_dev;
    e.rootIno = st.st_ino;
    if (!info.device.empty()) e.device = sysfsRoot / "block" / info.device;
    std::lock_guard<std::mutex> lock(mutex_);
    noteMountChanges();
    if (mounts_ < 0 || generation_ != ticket.generation) return;
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& x) { return x.key == e.key && x.letter == e.letter; }),
                   entries_.end());
    entries_.push_back(std::move(e));
}

}  // namespace plat
