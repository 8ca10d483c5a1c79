#pragma once
// Watches for devices and volumes coming and going, on its own thread:
//  - a volume (a drive letter's medium) arriving or going: from the mount table
//    (/proc/self/mountinfo, woken by the kernel, or an injected file) and the
//    drive map's manual entries (their folders appearing or going);
//  - device nodes changing: udev "usb" (usb_device) and "firewire" add and remove
//    events, or, without udev or on an injected sysfs tree, the lists under
//    <sysfs>/bus/usb/devices and <sysfs>/bus/firewire/devices changing. Events
//    within the coalescing window make one notification.
// Only volumes get arrival and removal; other devices only "nodes changed".
// The media present at start are the baseline and are not announced.
#include "platform/fs/DriveMap.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <thread>

namespace plat {

enum class DeviceEvent {
    VolumeArrival,       // mask: the drives that got a medium
    VolumeRemoval,       // mask: the drives that lost theirs
    DeviceNodesChanged,  // mask: 0
};

// Called on the watcher's thread; must not destroy or stop the watcher.
using DeviceCallback = std::function<void(DeviceEvent kind, uint32_t driveMask)>;

struct DeviceWatcherConfig {
    DriveMapConfig drives = DriveMapConfig::fromEnvironment();
    bool useUdev = true;  // the netlink monitor, when the sysfs root is the real one
    std::chrono::milliseconds coalesce{200};
    std::chrono::milliseconds poll{500};  // how often media and device lists are compared
};

// Merges a burst of device-node events into one notification: the first event
// opens a window, the notification is due when it closes, and events inside the
// window add nothing.
class DeviceEventCoalescer {
public:
    using Clock = std::chrono::steady_clock;
    explicit DeviceEventCoalescer(std::chrono::milliseconds window) : window_(window) {}
    void note(Clock::time_point now);
    bool pending() const { return pending_; }
    // True once when the window has closed.
    bool takeDue(Clock::time_point now);
    // Time until due (zero when due); only meaningful while pending.
    std::chrono::milliseconds remaining(Clock::time_point now) const;

private:
    std::chrono::milliseconds window_;
    bool pending_ = false;
    Clock::time_point due_{};
};

class DeviceWatcher {
public:
    explicit DeviceWatcher(DeviceCallback callback, DeviceWatcherConfig config = {});
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // Takes the baseline and starts the thread; false when it cannot start.
    bool start();
    // Ends the thread and waits for it; harmless when not running.
    void stop();
    bool running() const { return thread_.joinable(); }
    // Whether the udev monitor is in use (else device lists are polled).
    bool usingUdev() const { return usingUdev_.load(); }

private:
    void run();

    DeviceCallback callback_;
    DeviceWatcherConfig config_;
    std::thread thread_;
    int stopFd_ = -1;
    std::atomic<bool> usingUdev_{false};
    uint32_t baselineMedia_ = 0;
    std::set<std::string> baselineDevices_;
};

}  // namespace plat
