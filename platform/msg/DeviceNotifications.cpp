#include "platform/msg/DeviceNotifications.h"

#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace plat {
namespace {

std::mutex listMutex;
std::vector<WindowHandle> listeners;

}  // namespace

void registerForDeviceNotifications(WindowHandle window) {
    std::lock_guard lock(listMutex);
    if (std::find(listeners.begin(), listeners.end(), window) == listeners.end()) listeners.push_back(window);
}

void unregisterForDeviceNotifications(WindowHandle window) {
    std::lock_guard lock(listMutex);
    std::erase(listeners, window);
}

int notifyDeviceChange(uint32_t event, uint32_t driveMask) {
    std::vector<WindowHandle> targets;
    {
        std::lock_guard lock(listMutex);
        targets = listeners;
    }
    std::shared_ptr<const DeviceChange> change;
    if (event != kDeviceNodesChanged) change = std::make_shared<const DeviceChange>(DeviceChange{kDeviceTypeVolume, driveMask});
    int reached = 0;
    for (WindowHandle w : targets) {
        const bool ok = change ? postMessageWithPayload(w, kMsgDeviceChange, event, std::const_pointer_cast<DeviceChange>(change))
                               : postMessage(w, kMsgDeviceChange, event, 0);
        if (ok) ++reached;
        else unregisterForDeviceNotifications(w);
    }
    return reached;
}

}  // namespace plat
