#include "Caravel/Brisant/VectorForm.h"

#include <atomic>

namespace brisant {
namespace {

bool ProcessorHasWide()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

std::atomic<bool>& Wide()
{
    static std::atomic<bool> wide{ProcessorHasWide()};
    return wide;
}

}  // namespace

bool WideVectors()
{
    return Wide().load(std::memory_order_relaxed);
}

void SetWideVectors(bool wide)
{
    Wide().store(wide && ProcessorHasWide(), std::memory_order_relaxed);
}

}  // namespace brisant
