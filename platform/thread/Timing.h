#pragma once
// Sleeping and the millisecond tick count.
#include <cstdint>

namespace plat {

// Suspends the calling thread for at least ms milliseconds.
void sleepMs(uint32_t ms);

// Milliseconds since boot (suspend included), as 32 bits: it wraps after 49.7 days,
// so compare ticks by unsigned difference.
uint32_t tickCount();

}  // namespace plat
