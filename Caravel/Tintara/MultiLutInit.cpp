#include "Caravel/Tintara/MultiLutInit.h"

#include "Caravel/Tintara/ColorMath.h"

#include <cmath>
#include <cstring>

namespace tintara {

long CMultiLutInit::Allocate(long grid, long inputs, long outputs)
{
    if (grid < 2 || inputs < 1 || inputs > 4 || outputs < 1 || outputs > 4)
        return kBadProfile;
    G = grid;
    I = inputs;
    O = outputs;
    strides[I - 1] = O;
    for (long k = I - 2; k >= 0; --k)
        strides[k] = strides[k + 1] * G;
    const std::size_t values = std::size_t(strides[0]) * std::size_t(G);
    if (long rc = table.Resize(values + values / std::size_t(G)); rc != kOk)
        return rc;
    std::memset(table.data(), 0, table.size() * sizeof(std::uint16_t));
    return kOk;
}

long CMultiLutInit::Setup16(long grid, long inputs, long outputs, const std::uint16_t* values)
{
    if (long rc = Allocate(grid, inputs, outputs); rc != kOk)
        return rc;
    std::memcpy(table.data(), values, std::size_t(strides[0]) * std::size_t(G) * sizeof(std::uint16_t));
    return kOk;
}

long CMultiLutInit::Setup8(long grid, long inputs, long outputs, const std::uint16_t* bytes, bool pcsOutput)
{
    if (long rc = Allocate(grid, inputs, outputs); rc != kOk)
        return rc;
    const unsigned scale = (O == 3 && pcsOutput) ? 256 : 257;
    const std::size_t n = std::size_t(strides[0]) * std::size_t(G);
    for (std::size_t i = 0; i < n; ++i)
        table[i] = std::uint16_t((bytes[i] & 0xFF) * scale);
    return kOk;
}

void CMultiLutInit::Evaluate(const double* in, double* out) const
{
    std::size_t base = 0;
    double fraction[4] = {};
    std::size_t step[4] = {};
    for (long k = 0; k < I; ++k) {
        const double v = in[k];
        if (!(v > 0)) {
            continue; // index 0, no neighbour
        }
        if (v >= 65535) {
            base += std::size_t(G - 1) * std::size_t(strides[k]);
            continue;
        }
        const double p = v * double(G - 1) / 65535.0;
        const auto index = std::size_t(p);
        base += index * std::size_t(strides[k]);
        fraction[k] = p - double(index);
        step[k] = std::size_t(strides[k]);
    }
    for (long o = 0; o < O; ++o)
        out[o] = 0;
    for (long corner = 0; corner < (1L << I); ++corner) {
        double weight = 1;
        std::size_t offset = base;
        for (long k = 0; k < I; ++k) {
            if (corner & (1L << k)) {
                if (step[k] == 0) {
                    weight = 0;
                    break;
                }
                weight *= fraction[k];
                offset += step[k];
            } else {
                weight *= 1 - fraction[k];
            }
        }
        if (weight == 0)
            continue;
        for (long o = 0; o < O; ++o)
            out[o] += weight * table[offset + std::size_t(o)];
    }
}

void CMultiLutInit::ConvertLchToLab()
{
    if (O != 3 || I < 1)
        return;
    const std::size_t nodes = std::size_t(strides[0]) * std::size_t(G) / 3;
    for (std::size_t n = 0; n < nodes; ++n) {
        std::uint16_t* node = table.data() + 3 * n;
        const double lch[3] = {DecodeLightness(node[0]), DecodeChroma(node[1]), DecodeHue(node[2])};
        double lab[3];
        LchToLab(lch, lab);
        node[0] = std::uint16_t(EncodeLightness(lab[0]) + 0.5);
        node[1] = std::uint16_t(EncodeAb(lab[1]) + 0.5);
        node[2] = std::uint16_t(EncodeAb(lab[2]) + 0.5);
    }
}

} // namespace tintara
