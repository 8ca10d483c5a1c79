#pragma once
// The device watcher's events as window messages: volumes arriving and going by
// drive letter, and device-node changes, posted as kMsgDeviceChange to every
// window registered with registerForDeviceNotifications().
#include "platform/fs/DeviceWatcher.h"
#include "platform/msg/DeviceNotifications.h"

namespace plat {

// The kMsgDeviceChange event code (wParam) of a watcher event.
uint32_t deviceEventCode(DeviceEvent kind);

class DeviceNotifier {
public:
    explicit DeviceNotifier(DeviceWatcherConfig config = {});
    ~DeviceNotifier();
    DeviceNotifier(const DeviceNotifier&) = delete;
    DeviceNotifier& operator=(const DeviceNotifier&) = delete;

    bool start() { return watcher_.start(); }
    void stop() { watcher_.stop(); }
    bool running() const { return watcher_.running(); }

private:
    DeviceWatcher watcher_;
};

}  // namespace plat
