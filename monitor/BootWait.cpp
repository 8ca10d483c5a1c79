#include "monitor/BootWait.h"

#include "platform/thread/Timing.h"

#include <algorithm>

BootClock BootClock::System()
{
    return {[] { return plat::tickCount(); }, [](uint32_t ms) { plat::sleepMs(ms); }};
}

bool WaitAfterBoot(const BootClock& clock, const std::function<bool()>& handleMessages)
{
    for (uint32_t tick = clock.tickCount(); tick != 0 && tick < kBootSettleTick; tick = clock.tickCount()) {
        clock.sleep(std::min(kBootWaitStepMs, kBootSettleTick + 1 - tick));
        if (handleMessages())
            return false;
    }
    return true;
}
