#include "platform/fs/DeviceWatcher.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace plat {
namespace fs = std::filesystem;
using Clock = DeviceEventCoalescer::Clock;

void DeviceEventCoalescer::note(Clock::time_point now) {
    if (pending_) return;  // inside the window: merged
    pending_ = true;
    due_ = now + window_;
}

bool DeviceEventCoalescer::takeDue(Clock::time_point now) {
    if (!pending_ || now < due_) return false;
    pending_ = false;
    return true;
}

std::chrono::milliseconds DeviceEventCoalescer::remaining(Clock::time_point now) const {
    if (!pending_ || now >= due_) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(due_ - now);
}

namespace {

// The udev netlink monitor for usb devices, firewire and block devices.
class UdevMonitor {
public:
    bool open() {
        udev_ = udev_new();
        if (!udev_) return false;
        mon_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (!mon_) return false;
        udev_monitor_filter_add_match_subsystem_devtype(mon_, "usb", "usb_device");
        udev_monitor_filter_add_match_subsystem_devtype(mon_, "firewire", nullptr);
        udev_monitor_filter_add_match_subsystem_devtype(mon_, "block", nullptr);
        if (udev_monitor_enable_receiving(mon_) < 0) return false;
        return udev_monitor_get_fd(mon_) >= 0;
    }
    ~UdevMonitor() {
        if (mon_) udev_monitor_unref(mon_);
        if (udev_) udev_unref(udev_);
    }
    int fd() const { return udev_monitor_get_fd(mon_); }

    // Drains the queued events; tells whether a device node came or went and
    // whether a block device changed (medium, partitions).
    void drain(bool* nodes, bool* block) {
        while (struct udev_device* dev = udev_monitor_receive_device(mon_)) {
            const char* action = udev_device_get_action(dev);
            const char* subsystem = udev_device_get_subsystem(dev);
            std::string a = action ? action : "", s = subsystem ? subsystem : "";
            if (s == "block") *block = true;
            else if (a == "add" || a == "remove") *nodes = true;
            udev_device_unref(dev);
        }
    }

private:
    struct udev* udev_ = nullptr;
    struct udev_monitor* mon_ = nullptr;
};

// Names of the present usb and firewire devices in sysfs.
std::set<std::string> deviceList(const fs::path& sysfs) {
    std::set<std::string> names;
    std::error_code ec;
    for (const char* bus : {"usb", "firewire"}) {
        for (const auto& e : fs::directory_iterator(sysfs / "bus" / bus / "devices", ec)) {
            names.insert(std::string(bus) + "/" + e.path().filename().string());
        }
    }
    return names;
}

}  // namespace

DeviceWatcher::DeviceWatcher(DeviceCallback callback, DeviceWatcherConfig config)
    : callback_(std::move(callback)), config_(std::move(config)) {}

DeviceWatcher::~DeviceWatcher() { stop(); }

bool DeviceWatcher::start() {
    if (running()) return true;
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) return false;
    // The baseline is what is there when start returns.
    baselineMedia_ = DriveMap(config_.drives).mediaMask();
    baselineDevices_ = deviceList(config_.drives.sysfsRoot);
    try {
        thread_ = std::thread([this] {
            try {
                run();
            } catch (...) {
                // Out of memory in the watcher: it ends; the program goes on.
            }
        });
    } catch (...) {
        close(stopFd_);
        stopFd_ = -1;
        return false;
    }
    return true;
}

void DeviceWatcher::stop() {
    if (!running()) return;
    uint64_t one = 1;
    ssize_t n = write(stopFd_, &one, sizeof one);
    (void)n;
    thread_.join();
    close(stopFd_);
    stopFd_ = -1;
}

void DeviceWatcher::run() {
    const DriveMap map(config_.drives);
    uint32_t media = baselineMedia_;

    // The udev monitor on a real system; otherwise the device lists are compared.
    UdevMonitor udev;
    const bool withUdev = config_.useUdev && config_.drives.sysfsRoot == "/sys" && udev.open();
    usingUdev_ = withUdev;
    std::set<std::string> devices = baselineDevices_;

    // The kernel wakes a poller of the mount table with POLLPRI on every change.
    int mountFd = open(config_.drives.mountInfo.c_str(), O_RDONLY | O_CLOEXEC);

    DeviceEventCoalescer nodes(config_.coalesce);
    // No exception may leave the thread: a throwing receiver loses its call only.
    auto notify = [&](DeviceEvent kind, uint32_t mask) {
        try {
            callback_(kind, mask);
        } catch (...) {
        }
    };
    auto checkMedia = [&] {
        uint32_t now = map.mediaMask();
        uint32_t gone = media & ~now, came = now & ~media;
        media = now;
        if (gone) notify(DeviceEvent::VolumeRemoval, gone);
        if (came) notify(DeviceEvent::VolumeArrival, came);
    };

    Clock::time_point nextPoll = Clock::now() + config_.poll;
    for (;;) {
        // Sleep until the next poll, the end of a coalescing window or an event.
        Clock::time_point now = Clock::now();
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(nextPoll - now, Clock::duration::zero()));
        if (nodes.pending()) wait = std::min(wait, nodes.remaining(now));
        pollfd fds[3] = {{stopFd_, POLLIN, 0}, {mountFd, POLLPRI, 0}, {withUdev ? udev.fd() : -1, POLLIN, 0}};
        int n = ::poll(fds, 3, static_cast<int>(wait.count()));
        if (n < 0 && errno != EINTR) break;
        if (fds[0].revents) break;

        bool mediaChanged = false;
        if (fds[1].revents & (POLLPRI | POLLERR)) {
            mediaChanged = true;
            lseek(mountFd, 0, SEEK_SET);  // re-arms the change notification
            char buf[4096];
            while (read(mountFd, buf, sizeof buf) > 0) {
            }
        }
        if (fds[2].revents & POLLIN) {
            bool nodeEvent = false, blockEvent = false;
            udev.drain(&nodeEvent, &blockEvent);
            if (nodeEvent) nodes.note(Clock::now());
            mediaChanged = mediaChanged || blockEvent;
        }
        now = Clock::now();
        if (now >= nextPoll) {
            nextPoll = now + config_.poll;
            mediaChanged = true;  // manual folders and injected tables change silently
            if (!withUdev) {
                std::set<std::string> current = deviceList(config_.drives.sysfsRoot);
                if (current != devices) nodes.note(now);
                devices = std::move(current);
            }
        }
        if (nodes.takeDue(Clock::now())) notify(DeviceEvent::DeviceNodesChanged, 0);
        if (mediaChanged) checkMedia();
    }
    if (mountFd >= 0) close(mountFd);
}

}  // namespace plat
