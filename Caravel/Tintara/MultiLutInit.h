#pragma once

#include "Caravel/Tintara/MultiLutBase.h"

namespace tintara {

// A profile's own colour lookup table (from an mft1 or mft2 tag), evaluated in
// doubles while a device link is built. Node size O, no padding.
class CMultiLutInit : public CMultiLutBase {
public:
    using CMultiLutBase::CMultiLutBase;

    long Setup16(long grid, long inputs, long outputs, const std::uint16_t* values);
    // Widens bytes: x 256 for a three-output table into a PCS, else x 257.
    long Setup8(long grid, long inputs, long outputs, const std::uint16_t* bytes, bool pcsOutput);
    // in and out on the 0..65535 scale, I inputs and O outputs.
    void Evaluate(const double* in, double* out) const;
    // Rewrites a three-output table from LCh to Lab encoding.
    void ConvertLchToLab();

    long strides[4] = {};

private:
    long Allocate(long grid, long inputs, long outputs);
};

} // namespace tintara
