#include "viewer/art/ProgramArt.h"

#include "viewer/art/ArtCatalog.h"
#include "viewer/art/ArtPainters.h"

#include "platform/gdi/Dib.h"

#include <QSvgRenderer>

#include <map>
#include <memory>
#include <mutex>

namespace {

// Packs an image into the DIB layout the drawing code takes: rows bottom-up, B,G,R.
std::vector<uint8_t> PackDib(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> dib = plat::gdi::makeDib(uint32_t(rgb.width()), uint32_t(rgb.height()), 24);
    if (dib.empty())
        return dib;
    const uint32_t stride = plat::gdi::dibStride(uint32_t(rgb.width()), 24);
    uint8_t* bits = dib.data() + plat::gdi::kDibHeaderSize;
    for (int y = 0; y < rgb.height(); ++y) {
        const uint8_t* src = rgb.constScanLine(y);
        uint8_t* dst = bits + std::size_t(rgb.height() - 1 - y) * stride;
        for (int x = 0; x < rgb.width(); ++x) {
            dst[3 * x + 0] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x + 0];
        }
    }
    return dib;
}

}  // namespace

QImage GlyphPicture(const std::string& name, int side)
{
    if (name.empty() || side <= 0)
        return {};
    QSvgRenderer renderer(QStringLiteral(":/art/") + QString::fromStdString(name) + QStringLiteral(".svg"));
    if (!renderer.isValid())
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return image;
}

QImage ProgramPicture(uint32_t id, QSize size)
{
    const std::optional<ArtSpec> spec = FindArt(id);
    if (!spec)
        return {};
    if (spec->width > 0 && spec->height > 0)
        size = QSize(spec->width, spec->height);
    if (size.isEmpty())
        size = QSize(46, 44);
    return DrawArt(*spec, size);
}

const std::vector<uint8_t>* ProgramDib(uint32_t id)
{
    static std::mutex lock;
    static std::map<uint32_t, std::unique_ptr<std::vector<uint8_t>>> cache;
    std::lock_guard<std::mutex> hold(lock);
    auto found = cache.find(id);
    if (found == cache.end()) {
        std::unique_ptr<std::vector<uint8_t>> dib;
        const std::optional<ArtSpec> spec = FindArt(id);
        if (spec && spec->width > 0 && spec->height > 0) {
            dib = std::make_unique<std::vector<uint8_t>>(PackDib(ProgramPicture(id)));
            if (dib->empty())
                dib.reset();
        }
        found = cache.emplace(id, std::move(dib)).first;
    }
    return found->second.get();
}
