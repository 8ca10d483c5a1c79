#include "Caravel/Tintara/MultiLut.h"

#include <new>

namespace tintara {

namespace {

template <int G, int I, int O>
std::unique_ptr<CMultiLutWorkBase> Make()
{
    return std::unique_ptr<CMultiLutWorkBase>(new (std::nothrow) TMultiLut<G, I, O>());
}

template <int G, int I>
std::unique_ptr<CMultiLutWorkBase> MakeForOutputs(long outputs)
{
    switch (outputs) {
    case 1: return Make<G, I, 1>();
    case 3: return Make<G, I, 3>();
    case 4: return Make<G, I, 4>();
    default: return nullptr;
    }
}

} // namespace

std::unique_ptr<CMultiLutWorkBase> CreatePortableMultiLut(long grid, long inputs, long outputs)
{
    if (inputs == 1 && grid == 256)
        return MakeForOutputs<256, 1>(outputs);
    if (inputs == 3 && grid == 32)
        return MakeForOutputs<32, 3>(outputs);
    if (inputs == 4 && grid == 16)
        return MakeForOutputs<16, 4>(outputs);
    return nullptr;
}

} // namespace tintara
