#include "platform/msg/DeviceNotifier.h"

#include "platform/msg/Messages.h"

namespace plat {

uint32_t deviceEventCode(DeviceEvent kind) {
    switch (kind) {
    case DeviceEvent::VolumeArrival: return kDeviceArrival;
    case DeviceEvent::VolumeRemoval: return kDeviceRemoveComplete;
    case DeviceEvent::DeviceNodesChanged: break;
    }
    return kDeviceNodesChanged;
}

DeviceNotifier::DeviceNotifier(DeviceWatcherConfig config)
    : watcher_([](DeviceEvent kind, uint32_t mask) { notifyDeviceChange(deviceEventCode(kind), mask); },
               std::move(config)) {}

DeviceNotifier::~DeviceNotifier() { watcher_.stop(); }

}  // namespace plat
