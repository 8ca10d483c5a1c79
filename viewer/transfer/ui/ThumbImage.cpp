#include "viewer/transfer/ui/ThumbImage.h"

#include <QPainter>

#include <cstring>

namespace {

template <typename T>
T ReadAt(const std::vector<uint8_t>& block, size_t offset) {
    T value{};
    if (offset + sizeof(T) <= block.size()) std::memcpy(&value, block.data() + offset, sizeof(T));
    return value;
}

}  // namespace

QImage PackedBitmapToImage(const BitmapRecord& tile) {
    const auto& block = tile.block;
    if (block.size() < 40) return {};
    const int32_t width = ReadAt<int32_t>(block, 4);
    const int32_t rawHeight = ReadAt<int32_t>(block, 8);
    const uint16_t bits = ReadAt<uint16_t>(block, 14);
    if (width <= 0 || rawHeight == 0 || width > 65535 || rawHeight > 65535 || rawHeight < -65535) return {};
    const bool bottomUp = rawHeight > 0;
    const int32_t height = bottomUp ? rawHeight : -rawHeight;
    if (bits != 24 && bits != 8) return {};
    const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    const size_t offset = tile.headerSize ? tile.headerSize : (bits == 8 ? 1064 : 40);
    if (offset + stride * size_t(height) > block.size()) return {};
    if (bits == 8 && offset < 40 + 256 * 4) return {};
    QImage image(width, height, QImage::Format_RGB32);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = block.data() + offset + stride * size_t(bottomUp ? height - 1 - y : y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int32_t x = 0; x < width; ++x) {
            if (bits == 24) {
                const uint8_t* p = row + x * 3;
                out[x] = qRgb(p[2], p[1], p[0]);
            } else {
                const uint8_t* q = block.data() + 40 + size_t(row[x]) * 4;
                out[x] = qRgb(q[2], q[1], q[0]);
            }
        }
    }
    return image;
}

QImage ThumbGridToImage(const std::vector<BitmapRecord>& tiles, uint32_t across, uint32_t down) {
    if (tiles.empty() || across == 0 || down == 0 || size_t(across) * down > tiles.size()) return {};
    std::vector<QImage> parts;
    parts.reserve(tiles.size());
    for (const auto& t : tiles) {
        parts.push_back(PackedBitmapToImage(t));
        if (parts.back().isNull()) return {};
    }
    int width = 0, height = 0;
    for (uint32_t c = 0; c < across; ++c) width += parts[c].width();
    for (uint32_t r = 0; r < down; ++r) height += parts[size_t(r) * across].height();
    QImage whole(width, height, QImage::Format_RGB32);
    whole.fill(Qt::white);
    QPainter painter(&whole);
    int y = 0;
    for (uint32_t r = 0; r < down; ++r) {
        int x = 0;
        for (uint32_t c = 0; c < across; ++c) {
            const QImage& part = parts[size_t(r) * across + c];
            painter.drawImage(x, y, part);
            x += part.width();
        }
        y += parts[size_t(r) * across].height();
    }
    return whole;
}
