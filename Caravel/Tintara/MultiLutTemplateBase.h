#pragma once

#include "Caravel/Tintara/MultiLutWorkBase.h"

namespace tintara {

// Base of the portable tables: maps every 16-bit input to {grid index, 15-bit fraction}.
class CMultiLutTemplateBase : public CMultiLutWorkBase {
public:
    using CMultiLutWorkBase::CMultiLutWorkBase;
    long Build(NodeEvaluator evaluator, const void* context) override;

    // Pairs {index, fraction} for v = 0..65535, at 2 v and 2 v + 1.
    AlignedBuffer<std::uint16_t> positionMap;
};

} // namespace tintara
