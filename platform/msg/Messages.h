#pragma once
// The message numbers the programs share with the platform, defined once. The
// programs' own messages are kMsgUser + n; two of them may share a number, since
// each receiver tells its own messages apart.
#include <cstdint>

namespace plat {

inline constexpr uint32_t kMsgClose = 0x0010;             // asks a window to close
inline constexpr uint32_t kMsgQueryEndSession = 0x0011;   // the session is ending: may we? (non-zero = yes)
inline constexpr uint32_t kMsgQuit = 0x0012;              // ends a thread's loop
inline constexpr uint32_t kMsgEndSession = 0x0016;        // wParam 1: the session ends now
inline constexpr uint32_t kMsgCommand = 0x0111;           // wParam: command id
inline constexpr uint32_t kMsgTimer = 0x0113;             // wParam: timer id
inline constexpr uint32_t kMsgDeviceChange = 0x0219;      // wParam: device event; lParam: const DeviceChange* or 0
inline constexpr uint32_t kMsgUser = 0x0400;              // first number of the programs' own messages
inline constexpr uint32_t kFirstRegisteredMessage = 0xC000;   // registered messages: 0xC000-0xFFFF
inline constexpr uint32_t kLastRegisteredMessage = 0xFFFF;

// Device events (wParam of kMsgDeviceChange).
inline constexpr uint32_t kDeviceNodesChanged = 0x0007;     // a device was added or removed; lParam 0
inline constexpr uint32_t kDeviceArrival = 0x8000;          // lParam: DeviceChange of the new volumes
inline constexpr uint32_t kDeviceRemoveComplete = 0x8004;   // lParam: DeviceChange of the volumes gone

inline constexpr uint32_t kDeviceTypeVolume = 2;

// What lParam of a volume event points to, valid while the message is handled.
struct DeviceChange {
    uint32_t deviceType = kDeviceTypeVolume;
    uint32_t unitMask = 0;   // bit n = drive letter 'A' + n
};

}  // namespace plat
