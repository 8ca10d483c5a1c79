#include "outside/imagefile/Raster.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace jqfl {

uint64_t rasterBytes(int width, int height, int channels, int depth) {
    if (width <= 0 || height <= 0 || channels <= 0 || depth <= 0)
        return 0;
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                           static_cast<uint64_t>(channels) * static_cast<uint64_t>(depth);
    return bytes > kMaxRasterBytes ? 0 : bytes;
}

bool allocateRasterForOverwrite(Raster& r, int width, int height, int channels, int depth) {
    const uint64_t bytes = rasterBytes(width, height, channels, depth);
    if (bytes == 0)
        return false;
    try {
        r.data.resize(static_cast<size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    r.width = width;
    r.height = height;
    r.channels = channels;
    r.depth = depth;
    return true;
}

bool allocateRaster(Raster& r, int width, int height, int channels, int depth) {
    if (!allocateRasterForOverwrite(r, width, height, channels, depth))
        return false;
    std::fill(r.data.begin(), r.data.end(), uint8_t{0});
    return true;
}

namespace {

// Contributions of input samples to one output sample, weights in 1/65536.
struct Contribution {
    int first = 0;
    std::vector<int32_t> weights;
};

constexpr int kWeightShift = 16;

std::vector<Contribution> contributions(int inSize, int outSize) {
    std::vector<Contribution> table(static_cast<size_t>(outSize));
    const double scale = static_cast<double>(inSize) / outSize;
    for (int o = 0; o < outSize; ++o) {
        Contribution& c = table[static_cast<size_t>(o)];
        std::vector<double> w;
        if (scale >= 1.0) {
            // map to input coordinates: the output sample covers [lo, hi)
            const double lo = o * scale;
            const double hi = lo + scale;
            c.first = static_cast<int>(std::floor(lo));
            const int last = std::min(inSize - 1, static_cast<int>(std::ceil(hi)) - 1);
            for (int i = c.first; i <= last; ++i)
                w.push_back(std::min(hi, i + 1.0) - std::max(lo, static_cast<double>(i)));
        } else {
            const double centre = (o + 0.5) * scale - 0.5;
            const int left = static_cast<int>(std::floor(centre));
            const double frac = centre - left;
            c.first = std::clamp(left, 0, inSize - 1);
            const int right = std::clamp(left + 1, 0, inSize - 1);
            if (right == c.first) {
                w.push_back(1.0);
            } else {
                w.push_back(1.0 - frac);
                w.push_back(frac);
            }
        }
        double sum = 0;
        for (double x : w) sum += x;
        int32_t given = 0;
        for (size_t k = 0; k < w.size(); ++k) {
            const int32_t v = static_cast<int32_t>(std::lround(w[k] / sum * (1 << kWeightShift)));
            c.weights.push_back(v);
            given += v;
        }
        // keep the weights summing to exactly one
        c.weights.back() += (1 << kWeightShift) - given;
    }
    return table;
}

template <typename T>
void resampleRows(const Raster& in, Raster& out, const std::vector<Contribution>& table) {
    const int ch = in.channels;
    for (int y = 0; y < in.height; ++y) {
        const T* src = reinterpret_cast<const T*>(in.data.data() + y * in.rowBytes());
        T* dst = reinterpret_cast<T*>(out.data.data() + y * out.rowBytes());
        for (int x = 0; x < out.width; ++x) {
            const Contribution& c = table[static_cast<size_t>(x)];
            for (int k = 0; k < ch; ++k) {
                int64_t acc = 0;
                for (size_t i = 0; i < c.weights.size(); ++i)
                    acc += static_cast<int64_t>(src[(c.first + static_cast<int>(i)) * ch + k]) * c.weights[i];
                dst[x * ch + k] = static_cast<T>((acc + (1 << (kWeightShift - 1))) >> kWeightShift);
            }
        }
    }
}

template <typename T>
void resampleColumns(const Raster& in, Raster& out, const std::vector<Contribution>& table) {
    const size_t n = static_cast<size_t>(in.width) * in.channels;
    std::vector<int64_t> acc(n);
    for (int y = 0; y < out.height; ++y) {
        const Contribution& c = table[static_cast<size_t>(y)];
        std::fill(acc.begin(), acc.end(), 0);
        for (size_t i = 0; i < c.weights.size(); ++i) {
            const T* src = reinterpret_cast<const T*>(in.data.data() + (c.first + i) * in.rowBytes());
            const int32_t w = c.weights[i];
            for (size_t k = 0; k < n; ++k)
                acc[k] += static_cast<int64_t>(src[k]) * w;
        }
        T* dst = reinterpret_cast<T*>(out.data.data() + y * out.rowBytes());
        for (size_t k = 0; k < n; ++k)
            dst[k] = static_cast<T>((acc[k] + (1 << (kWeightShift - 1))) >> kWeightShift);
    }
}

template <typename T>
void turnPixels(const Raster& in, Raster& out, int q) {
    const int ch = in.channels;
    const int W = in.width;
    const int H = in.height;
    const T* src = reinterpret_cast<const T*>(in.data.data());
    T* dst = reinterpret_cast<T*>(out.data.data());
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int sx = x, sy = y;
            if (q == 1) { sx = y; sy = H - 1 - x; }
            else if (q == 2) { sx = W - 1 - x; sy = H - 1 - y; }
            else if (q == 3) { sx = W - 1 - y; sy = x; }
            const T* s = src + (static_cast<size_t>(sy) * W + sx) * ch;
            T* d = dst + (static_cast<size_t>(y) * out.width + x) * ch;
            for (int k = 0; k < ch; ++k) d[k] = s[k];
        }
    }
}

}  // namespace

bool resampleRaster(const Raster& in, Raster& out, int width, int height) {
    if (in.empty() || width <= 0 || height <= 0)
        return false;
    Raster mid;
    const Raster* rows = &in;
    if (width != in.width) {
        if (!allocateRaster(mid, width, in.height, in.channels, in.depth))
            return false;
        const auto table = contributions(in.width, width);
        if (in.depth == 2) resampleRows<uint16_t>(in, mid, table);
        else resampleRows<uint8_t>(in, mid, table);
        rows = &mid;
    }
    if (height == rows->height) {
        if (rows == &in) out = in;
        else out = std::move(mid);
        return true;
    }
    Raster result;
    if (!allocateRaster(result, width, height, in.channels, in.depth))
        return false;
    const auto table = contributions(rows->height, height);
    if (in.depth == 2) resampleColumns<uint16_t>(*rows, result, table);
    else resampleColumns<uint8_t>(*rows, result, table);
    out = std::move(result);
    return true;
}

bool turnRaster(const Raster& in, Raster& out, int quarterTurns) {
    const int q = ((quarterTurns % 4) + 4) % 4;
    if (q == 0) {
        out = in;
        return true;
    }
    Raster result;
    const bool swap = (q % 2) == 1;
    if (!allocateRaster(result, swap ? in.height : in.width, swap ? in.width : in.height, in.channels, in.depth))
        return false;
    if (in.depth == 2) turnPixels<uint16_t>(in, result, q);
    else turnPixels<uint8_t>(in, result, q);
    out = std::move(result);
    return true;
}

int quarterTurnsOfOrientation(int orientation) {
    switch (orientation) {
    case 1: return 0;
    case 8: return 1;
    case 3: return 2;
    case 6: return 3;
    default: return -1;
    }
}

int uprightTurnsOfExifOrientation(int exifOrientation) {
    switch (exifOrientation) {
    case 3: case 4: return 2;
    case 6: case 7: return 1;
    case 8: case 5: return 3;
    default: return 0;
    }
}

}  // namespace jqfl
