#include "Caravel/Tintara/MultiLutWorkBase.h"

#include <cstring>

namespace tintara {

std::uint16_t CMultiLutWorkBase::Quantise(double v)
{
    if (!(v > 0)) // also catches NaN
        return 0;
    if (v >= 1)
        return 65535;
    return std::uint16_t(v * 65535 + 0.5);
}

long CMultiLutWorkBase::Build(NodeEvaluator evaluator, const void* context)
{
    if (I < 1 || I > 4 || O < 1 || O > 4 || G < 2)
        return kBadProfile;
    const std::size_t nodeSize = std::size_t(NodeSize());
    std::size_t nodes = 1;
    for (long k = 0; k < I; ++k)
        nodes *= std::size_t(G);
    // one extra slab after the grid, as the neighbour read along axis 0 may reach it
    if (long rc = table.Resize(nodeSize * nodes + nodeSize * nodes / std::size_t(G), 8); rc != kOk)
        return rc;
    // unused lanes and the slab read as zero
    std::memset(table.data(), 0, table.size() * sizeof(std::uint16_t));

    long index[4] = {};
    double coordinates[4] = {};
    double outputs[4] = {};
    std::uint16_t* node = table.data();
    for (std::size_t n = 0; n < nodes; ++n, node += nodeSize) {
        for (long k = 0; k < I; ++k)
            coordinates[k] = double(index[k]) / double(G - 1);
        evaluator(context, coordinates, outputs);
        for (long o = 0; o < O; ++o)
            node[o] = Quantise(outputs[o]);
        // next node: the last axis varies fastest
        for (long k = I - 1; k >= 0; --k) {
            if (++index[k] < G)
                break;
            index[k] = 0;
        }
    }
    return kOk;
}

} // namespace tintara
