#include "Caravel/Tintara/MultiLutAsm.h"

namespace tintara {

CMultiLutAsm::CMultiLutAsm(long grid, long inputs, long outputs)
    : CMultiLutWorkBase(grid, inputs, outputs), kernel_(FindProcessorKernel(grid, inputs, outputs))
{
}

void CMultiLutAsm::Process(const std::uint16_t* in, std::uint16_t* out, std::size_t count)
{
    if (kernel_)
        kernel_(in, out, table.data(), count);
}

long CMultiLutAsm::Build(NodeEvaluator evaluator, const void* context)
{
    if (!kernel_)
        return kBadProfile;
    return CMultiLutWorkBase::Build(evaluator, context);
}

} // namespace tintara
