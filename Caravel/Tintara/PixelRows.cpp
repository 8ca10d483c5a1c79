#include "Caravel/Tintara/PixelRows.h"

#include "Caravel/Tintara/ColorMath.h"
#include "Caravel/Tintara/ColorTransform.h"
#include "Caravel/Tintara/ProfileReader.h"

#include <algorithm>
#include <cstring>

namespace tintara {

namespace {

// How a row holds its channels: interleaved, or one plane per channel.
struct ChannelLayout {
    bool planar;
    std::ptrdiff_t planeBytes;
};

// 1. row buffers, before any row is converted
long PrepareRowBuffers(ColorTransform& t, long width)
{
    const std::size_t w = std::size_t(width);
    if (long rc = t.inputRow.Resize((w + 3) * std::size_t(t.inputChannels)); rc != kOk)
        return rc;
    return t.outputRow.Resize(w * std::size_t(t.lut->NodeSize()) + 16, 8);
}

// 2. samples through the input tables (samples beyond the table are clamped)
template <typename Sample>
void UnpackRow(ColorTransform& t, const std::uint8_t* row, long width, const ChannelLayout& layout)
{
    const long channels = t.inputChannels;
    const std::size_t entries = std::size_t(1) << t.inputBits;
    const Sample maxSample = Sample(std::min<std::size_t>(entries - 1, Sample(~Sample(0))));
    std::uint16_t* out = t.inputRow.data();
    const std::uint16_t* tables = t.inputTables.data();
    for (long c = 0; c < channels; ++c) {
        const std::uint16_t* table = tables + std::size_t(c) * entries;
        const std::uint8_t* plane = row + (layout.planar ? c * layout.planeBytes : c * std::ptrdiff_t(sizeof(Sample)));
        const std::size_t step = layout.planar ? sizeof(Sample) : sizeof(Sample) * std::size_t(channels);
        for (long x = 0; x < width; ++x) {
            Sample s;
            std::memcpy(&s, plane + std::size_t(x) * step, sizeof s);
            out[std::size_t(x) * std::size_t(channels) + std::size_t(c)] = table[std::min(s, maxSample)];
        }
    }
}

// 5. table output through the output tables
template <typename Sample>
void PackRow(const ColorTransform& t, std::uint8_t* row, long width, const ChannelLayout& layout)
{
    const long channels = t.outputChannels;
    const std::size_t nodeSize = std::size_t(t.lut->NodeSize());
    const std::uint16_t* in = t.outputRow.data();
    const std::uint16_t* tables = t.outputTables.data();
    for (long c = 0; c < channels; ++c) {
        const std::uint16_t* table = tables + std::size_t(c) * 65536;
        std::uint8_t* plane = row + (layout.planar ? c * layout.planeBytes : c * std::ptrdiff_t(sizeof(Sample)));
        const std::size_t step = layout.planar ? sizeof(Sample) : sizeof(Sample) * std::size_t(channels);
        for (long x = 0; x < width; ++x) {
            const auto s = Sample(table[in[std::size_t(x) * nodeSize + std::size_t(c)]]);
            std::memcpy(plane + std::size_t(x) * step, &s, sizeof s);
        }
    }
}

// Interleaved rows with a fixed channel count: one pass over the pixels.
template <typename Sample, int C>
void UnpackInterleaved(ColorTransform& t, const std::uint8_t* row, long width)
{
    const std::size_t entries = std::size_t(1) << t.inputBits;
    const Sample maxSample = Sample(std::min<std::size_t>(entries - 1, Sample(~Sample(0))));
    const std::uint16_t* tables = t.inputTables.data();
    std::uint16_t* out = t.inputRow.data();
    for (long x = 0; x < width; ++x, row += C * sizeof(Sample), out += C) {
        Sample s[C];
        std::memcpy(s, row, sizeof s);
        for (int c = 0; c < C; ++c)
            out[c] = tables[std::size_t(c) * entries + std::min(s[c], maxSample)];
    }
}

template <typename Sample, int C>
void PackInterleaved(const ColorTransform& t, std::uint8_t* row, long width, std::size_t nodeSize)
{
    const std::uint16_t* tables = t.outputTables.data();
    const std::uint16_t* in = t.outputRow.data();
    for (long x = 0; x < width; ++x, row += C * sizeof(Sample), in += nodeSize) {
        Sample s[C];
        for (int c = 0; c < C; ++c)
            s[c] = Sample(tables[std::size_t(c) * 65536 + in[c]]);
        std::memcpy(row, s, sizeof s);
    }
}

template <typename Sample>
void Unpack(ColorTransform& t, const std::uint8_t* row, long width, const ChannelLayout& layout)
{
    if (!layout.planar && t.inputChannels == 3)
        UnpackInterleaved<Sample, 3>(t, row, width);
    else if (!layout.planar && t.inputChannels == 4)
        UnpackInterleaved<Sample, 4>(t, row, width);
    else
        UnpackRow<Sample>(t, row, width, layout);
}

template <typename Sample>
void Pack(const ColorTransform& t, std::uint8_t* row, long width, const ChannelLayout& layout)
{
    const auto nodeSize = std::size_t(t.lut->NodeSize());
    if (!layout.planar && t.outputChannels == 3)
        PackInterleaved<Sample, 3>(t, row, width, nodeSize);
    else if (!layout.planar && t.outputChannels == 4)
        PackInterleaved<Sample, 4>(t, row, width, nodeSize);
    else
        PackRow<Sample>(t, row, width, layout);
}

long ProcessRows(ColorTransform& t, const void* src, void* dst, long width, long height, long srcRowBytes,
                 long dstRowBytes, const ChannelLayout& in, const ChannelLayout& out)
{
    if (!t.lut)
        return kBadProfile;
    if (long rc = PrepareRowBuffers(t, width); rc != kOk)
        return rc;
    const bool toLch = t.outputColorSpace == kSigLch && t.outputChannels == 3;
    const auto* s = static_cast<const std::uint8_t*>(src);
    auto* d = static_cast<std::uint8_t*>(dst);
    const bool bytes = t.byteCells && !in.planar && !out.planar;
    const std::size_t rowSpan = std::size_t(width) * 3;
    for (long y = 0; y < height; ++y, s += srcRowBytes, d += dstRowBytes) {
        // A row converted pixel by pixel reads each pixel before writing it: the
        // same bytes as the whole-row path unless the rows partly overlap.
        const auto from = reinterpret_cast<std::uintptr_t>(s), to = reinterpret_cast<std::uintptr_t>(d);
        if (bytes && (from == to || from + rowSpan <= to || to + rowSpan <= from)) {
            ProcessorInterpolateBytes(s, d, std::size_t(width), t.lut->table.data(), *t.byteCells);
            continue;
        }
        if (t.inputBits > 8)
            Unpack<std::uint16_t>(t, s, width, in);
        else
            Unpack<std::uint8_t>(t, s, width, in);
        t.lut->Process(t.inputRow.data(), t.outputRow.data(), std::size_t(width));
        if (toLch)
            if (long rc = ConvertLabRowToLch(t.outputRow.data(), std::size_t(width)); rc != kOk)
                return rc;
        if (t.outputBits > 8)
            Pack<std::uint16_t>(t, d, width, out);
        else
            Pack<std::uint8_t>(t, d, width, out);
    }
    return kOk;
}

} // namespace

long ProcessInterleavedRows(ColorTransform& transform, const void* src, void* dst, long width, long height,
                            long srcRowBytes, long dstRowBytes)
{
    return ProcessRows(transform, src, dst, width, height, srcRowBytes, dstRowBytes,
                       {false, 0}, {false, 0});
}

long ProcessPlanarRows(ColorTransform& transform, const void* src, void* dst, long width, long height,
                       long srcRowBytes, long dstRowBytes, long srcPlaneBytes, long dstPlaneBytes)
{
    return ProcessRows(transform, src, dst, width, height, srcRowBytes, dstRowBytes,
                       {true, srcPlaneBytes}, {true, dstPlaneBytes});
}

} // namespace tintara
