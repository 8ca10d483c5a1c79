#pragma once

#include "Caravel/Tintara/MultiLutBase.h"

namespace tintara {

// Computes the outputs (one double per table output, nominally 0..1) of one
// grid node from its coordinates (one double per input, 0..1).
using NodeEvaluator = void (*)(const void* context, const double* in, double* out);

// A device-link table: filled once by sampling an evaluator at every node.
class CMultiLutWorkBase : public CMultiLutBase {
public:
    using CMultiLutBase::CMultiLutBase;
    virtual long Build(NodeEvaluator evaluator, const void* context);

    // Quantises an evaluator output to the table's 16 bits.
    static std::uint16_t Quantise(double v);
};

} // namespace tintara
