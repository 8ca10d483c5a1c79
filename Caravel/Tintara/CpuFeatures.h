#pragma once

namespace tintara {

// Process-wide processor features, probed once by the first DetectCpuFeatures
// (on any thread) and never changed afterwards.
struct CpuFeatureFlags {
    bool mmx = false;
    bool conditionalMove = false;
    bool amd3dNow = false;
    bool avx2 = false;  // and the system saves its registers
};

// Which interpolation form the next table build takes. kDetected follows the
// processor probe; the other two pin a form (tests and benchmarks).
enum class KernelForm { kDetected, kPortable, kProcessorSpecific };

void DetectCpuFeatures();
const CpuFeatureFlags& CpuFeatures();
void SetKernelFormOverride(KernelForm form);
// True when the processor-specific kernels are to be used.
bool UseProcessorKernels();

// Which vector width the processor-specific kernels that have two take:
// kDetected follows the probe, the other two pin one (tests and benchmarks).
enum class VectorWidth { kDetected, kNarrow, kWide };
void SetVectorWidthOverride(VectorWidth width);
// True when those kernels take their AVX2 form.
bool UseWideVectors();

} // namespace tintara
