#pragma once
// The wait after boot: a monitor started early in a session lets the system
// settle until 30 s after boot, sleeping at most 2 s at a time and handling the
// messages that came meanwhile.
#include <cstdint>
#include <functional>

struct BootClock {
    std::function<uint32_t()> tickCount;       // milliseconds since boot
    std::function<void(uint32_t ms)> sleep;
    static BootClock System();
};

inline constexpr uint32_t kBootSettleTick = 30000;
inline constexpr uint32_t kBootWaitStepMs = 2000;

// Waits; between steps runs handleMessages(), which answers true when the
// session or the program is ending. False when it ended the wait that way.
bool WaitAfterBoot(const BootClock& clock, const std::function<bool()>& handleMessages);
