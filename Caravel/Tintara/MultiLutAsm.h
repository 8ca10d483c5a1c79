#pragma once

#include "Caravel/Tintara/MultiLutKernels.h"
#include "Caravel/Tintara/MultiLutWorkBase.h"

namespace tintara {

// The device-link table interpolated by the processor-specific kernels.
class CMultiLutAsm : public CMultiLutWorkBase {
public:
    CMultiLutAsm(long grid, long inputs, long outputs);
    void Process(const std::uint16_t* in, std::uint16_t* out, std::size_t count) override;
    long Build(NodeEvaluator evaluator, const void* context) override;
    bool HasKernel() const { return kernel_ != nullptr; }

private:
    ProcessorKernel kernel_;
};

} // namespace tintara
