#pragma once
// The one lock and condition shared by every waitable object of the process
// (internal to the thread module).
#include <condition_variable>
#include <mutex>

namespace plat::detail {

std::mutex& waitMutex();
std::condition_variable& waitCondition();

}  // namespace plat::detail
