#pragma once
// Device notifications for windows: a window that registered here gets
// kMsgDeviceChange posted for every device event:
//   a volume arriving:  wParam kDeviceArrival,        lParam -> DeviceChange {volume, drive mask}
//   a volume going:     wParam kDeviceRemoveComplete, lParam -> DeviceChange {volume, drive mask}
//   device nodes changed: wParam kDeviceNodesChanged, lParam 0
// The DeviceChange lives while the message is handled.
#include "platform/msg/WindowHandle.h"

#include <cstdint>

namespace plat {

void registerForDeviceNotifications(WindowHandle window);
void unregisterForDeviceNotifications(WindowHandle window);

// Posts one device event to every registered window, from any thread; windows that
// went are dropped from the list. Gives the number of windows it reached.
int notifyDeviceChange(uint32_t event, uint32_t driveMask);

}  // namespace plat
