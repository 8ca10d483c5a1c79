#include "platform/thread/PhysicalMemory.h"

#include <mutex>
#include <sys/sysinfo.h>

namespace plat {
namespace {

std::mutex sourceMutex;
std::function<uint64_t()> memorySource;

uint64_t systemPhysicalMemory() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    return static_cast<uint64_t>(info.totalram) * info.mem_unit;
}

}  // namespace

uint32_t saturateTo32(uint64_t bytes) { return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes); }

uint32_t totalPhysicalMemory32() {
    std::function<uint64_t()> source;
    {
        std::lock_guard lock(sourceMutex);
        source = memorySource;
    }
    return saturateTo32(source ? source() : systemPhysicalMemory());
}

void setPhysicalMemorySource(std::function<uint64_t()> source) {
    std::lock_guard lock(sourceMutex);
    memorySource = std::move(source);
}

}  // namespace plat
