#pragma once
// Waiting for a started program to be ready: it has listed its first top-level
// window in the desktop's window directory.
#include <sys/types.h>

#include <cstdint>

namespace plat {

inline constexpr uint32_t kFirstWindowTimeoutMs = 30000;

// True once process pid has a top-level window; false when the time ran out or the
// process ended first.
bool waitForFirstWindow(pid_t pid, uint32_t timeoutMs = kFirstWindowTimeoutMs);

}  // namespace plat
