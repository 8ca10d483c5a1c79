#pragma once

#include "Caravel/Tintara/MultiLutKernels.h"
#include "Caravel/Tintara/MultiLutTemplateBase.h"

#include <memory>

namespace tintara {

// The portable device-link table for one (grid, inputs, outputs).
template <int Grid, int Inputs, int Outputs>
class TMultiLut : public CMultiLutTemplateBase {
public:
    TMultiLut() : CMultiLutTemplateBase(Grid, Inputs, Outputs) {}
    void Process(const std::uint16_t* in, std::uint16_t* out, std::size_t count) override
    {
        PortableInterpolate<Grid, Inputs, Outputs>(in, out, table.data(), positionMap.data(), count);
    }
};

// The TMultiLut instance for (grid, inputs, outputs); nullptr for a combination
// without one (or when memory runs out).
std::unique_ptr<CMultiLutWorkBase> CreatePortableMultiLut(long grid, long inputs, long outputs);

} // namespace tintara
