#pragma once
// Things a thread can wait for (events, worker threads), and the waits over them.
// Every waitable object shares one lock and one condition, so a wait for several
// objects sees all of them at one instant: a wait for "all" consumes auto-reset
// events only when every object is signalled at once.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

namespace plat {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;    // wait without a time limit
inline constexpr uint32_t kWaitSignalled = 0;          // first (or only) object signalled; + index
inline constexpr uint32_t kWaitTimeout = 0x102;        // the time ran out first
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;   // an invalid handle, or nothing to wait for

namespace detail {

// The state behind a handle; read and changed only under waitMutex().
class WaitState {
public:
    virtual ~WaitState() = default;
    virtual bool signalled() const = 0;
    virtual void consume() = 0;   // what a satisfied wait does (auto-reset events clear)
};

// Wakes every waiting thread; call with the lock held or after changing a state under it.
void notifyWaiters();

}  // namespace detail

class Waitable {
public:
    virtual ~Waitable() = default;
    // The state behind this handle; empty for an invalid handle.
    virtual std::shared_ptr<detail::WaitState> waitState() const = 0;
};

enum class WaitMode { Any, All };

// Waits for one object: kWaitSignalled, kWaitTimeout or kWaitFailed.
uint32_t waitFor(const Waitable& object, uint32_t timeoutMs);

// Waits for several objects. Any: kWaitSignalled + index of the first signalled
// object (lowest index wins). All: kWaitSignalled once all are signalled at the same
// time; nothing is consumed before that. kWaitTimeout or kWaitFailed otherwise.
uint32_t waitForMany(std::span<const Waitable* const> objects, WaitMode mode, uint32_t timeoutMs);
uint32_t waitForMany(std::initializer_list<const Waitable*> objects, WaitMode mode, uint32_t timeoutMs);

}  // namespace plat
