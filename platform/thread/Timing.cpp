#include "platform/thread/Timing.h"

#include <chrono>
#include <thread>
#include <time.h>

namespace plat {

void sleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t tickCount() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);   // wraps like the programs expect
}

}  // namespace plat
