#include "platform/msg/MessageWait.h"

#include "platform/msg/WindowTable.h"
#include "platform/thread/Timing.h"

#include <algorithm>

namespace plat {

uint32_t waitServingSends(std::initializer_list<const Waitable*> objects, WaitMode mode, uint32_t timeoutMs) {
    constexpr uint32_t kSliceMs = 10;
    const uint32_t start = tickCount();
    for (;;) {
        detail::drainCurrentInbox();
        uint32_t slice = kSliceMs;
        if (timeoutMs != kInfinite) {
            const uint32_t spent = tickCount() - start;
            slice = spent >= timeoutMs ? 0 : std::min(kSliceMs, timeoutMs - spent);
        }
        const uint32_t result = waitForMany(objects, mode, slice);
        if (result != kWaitTimeout || slice == 0) return result;
    }
}

uint32_t waitServingSends(const Waitable& object, uint32_t timeoutMs) {
    return waitServingSends({&object}, WaitMode::Any, timeoutMs);
}

}  // namespace plat
