#pragma once
// A wait that keeps serving this thread's blocking callers: while it waits, what
// other threads send to this thread's windows (and UI work asked of the UI thread)
// is still handled. A UI thread waiting for a worker that is itself sending to the
// UI thread then does not lock up. Posted messages wait for the event loop.
#include "platform/thread/Waitable.h"

#include <initializer_list>

namespace plat {

uint32_t waitServingSends(std::initializer_list<const Waitable*> objects, WaitMode mode, uint32_t timeoutMs);
uint32_t waitServingSends(const Waitable& object, uint32_t timeoutMs);

}  // namespace plat
