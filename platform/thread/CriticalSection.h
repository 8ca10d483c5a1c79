#pragma once
// A critical section: the owning thread may enter it again (recursive), as the
// programs' nested helpers do. Use with std::lock_guard / std::unique_lock.
#include <mutex>

namespace plat {

using CriticalSection = std::recursive_mutex;

}  // namespace plat
