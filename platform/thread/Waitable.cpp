#include "platform/thread/Waitable.h"

#include "platform/thread/WaitLock.h"

#include <chrono>
#include <vector>

namespace plat {
namespace detail {

std::mutex& waitMutex() {
    static std::mutex m;
    return m;
}

std::condition_variable& waitCondition() {
    static std::condition_variable c;
    return c;
}

void notifyWaiters() { waitCondition().notify_all(); }

}  // namespace detail

namespace {

using States = std::vector<std::shared_ptr<detail::WaitState>>;

// Under the lock: the index of the object that satisfies the wait, or -1.
long satisfiedIndex(const States& states, WaitMode mode) {
    if (mode == WaitMode::Any) {
        for (size_t i = 0; i < states.size(); ++i) {
            if (states[i]->signalled()) {
                states[i]->consume();
                return static_cast<long>(i);
            }
        }
        return -1;
    }
    for (const auto& s : states) {
        if (!s->signalled()) return -1;
    }
    for (const auto& s : states) s->consume();
    return 0;
}

uint32_t waitStates(const States& states, WaitMode mode, uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(detail::waitMutex());
    for (;;) {
        long index = satisfiedIndex(states, mode);
        if (index >= 0) return kWaitSignalled + static_cast<uint32_t>(index);
        if (timeoutMs == 0) return kWaitTimeout;
        if (timeoutMs == kInfinite) {
            detail::waitCondition().wait(lock);
        } else if (detail::waitCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            index = satisfiedIndex(states, mode);
            return index >= 0 ? kWaitSignalled + static_cast<uint32_t>(index) : kWaitTimeout;
        }
    }
}

}  // namespace

uint32_t waitFor(const Waitable& object, uint32_t timeoutMs) {
    const Waitable* one[] = {&object};
    return waitForMany(std::span<const Waitable* const>(one), WaitMode::Any, timeoutMs);
}

uint32_t waitForMany(std::span<const Waitable* const> objects, WaitMode mode, uint32_t timeoutMs) {
    if (objects.empty()) return kWaitFailed;
    States states;
    states.reserve(objects.size());
    for (const Waitable* w : objects) {
        auto s = w ? w->waitState() : nullptr;
        if (!s) return kWaitFailed;
        states.push_back(std::move(s));
    }
    return waitStates(states, mode, timeoutMs);
}

uint32_t waitForMany(std::initializer_list<const Waitable*> objects, WaitMode mode, uint32_t timeoutMs) {
    return waitForMany(std::span<const Waitable* const>(objects.begin(), objects.size()), mode, timeoutMs);
}

}  // namespace plat
