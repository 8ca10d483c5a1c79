#include "Caravel/Tintara/CpuFeatures.h"

#include <atomic>
#include <mutex>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace tintara {

namespace {

CpuFeatureFlags g_flags;
std::once_flag g_probed;
// Handles are built on any thread, so the pinned form is read while a test may set it.
std::atomic<KernelForm> g_override{KernelForm::kDetected};
std::atomic<VectorWidth> g_width{VectorWidth::kDetected};

void ProbeProcessor()
{
#if defined(__i386__) || defined(__x86_64__)
    // __get_cpuid checks that the identification instruction and the leaf exist
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        if (edx & (1u << 23))
            g_flags.mmx = true;
        if (edx & (1u << 15))
            g_flags.conditionalMove = true;
    }
    if (unsigned(__get_cpuid_max(0x80000000u, nullptr)) > 0x80000000u && __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx)) {
        if (edx & (1u << 31))
            g_flags.amd3dNow = true;
    }
    g_flags.avx2 = __builtin_cpu_supports("avx2");
#endif
}

} // namespace

void DetectCpuFeatures()
{
    // Every transform build asks, from whichever thread owns its handle; the flags
    // are written once so that no build reads them while another writes.
    std::call_once(g_probed, ProbeProcessor);
}

const CpuFeatureFlags& CpuFeatures()
{
    return g_flags;
}

void SetKernelFormOverride(KernelForm form)
{
    g_override = form;
}

bool UseProcessorKernels()
{
    switch (g_override.load()) {
    case KernelForm::kPortable:
        return false;
    case KernelForm::kProcessorSpecific:
        return true;
    case KernelForm::kDetected:
        break;
    }
    return g_flags.mmx;
}

void SetVectorWidthOverride(VectorWidth width)
{
    g_width = width;
}

bool UseWideVectors()
{
    // Pinned wide or not, never a form the processor cannot run.
    return g_width.load() != VectorWidth::kNarrow && g_flags.avx2;
}

} // namespace tintara
