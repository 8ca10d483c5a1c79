#include "platform/gdi/Surface.h"

#include "platform/gdi/Dib.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace plat::gdi {
namespace {

QFont makeFont(const std::string& face, int32_t pixelHeight) {
    QFont font(QString::fromStdString(face));
    font.setPixelSize(std::max(1, pixelHeight));
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Renders one character without smoothing and packs the set pixels' box.
bool renderGlyph(const QFont& font, char32_t ch, GlyphBitmap* out) {
    const QFontMetrics fm(font);
    const QString s = QString::fromUcs4(&ch, 1);
    const int advance = fm.horizontalAdvance(s);
    const int pad = fm.height();
    const int w = std::max(1, advance + 2 * pad);
    const int h = fm.ascent() + fm.descent() + 2 * pad;
    QImage img(w, h, QImage::Format_Grayscale8);
    img.fill(255);
    {
        QPainter p(&img);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(pad, pad + fm.ascent(), s);
    }
    int left = w, right = -1, top = h, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const uchar* row = img.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (row[x] < 128) {
                left = std::min(left, x); right = std::max(right, x);
                top = std::min(top, y); bottom = std::max(bottom, y);
            }
        }
    }
    GlyphBitmap g;
    g.cellIncX = advance;
    if (right < 0) {  // a blank: no bits, only the advance
        *out = std::move(g);
        return true;
    }
    g.blackBoxX = uint32_t(right - left + 1);
    g.blackBoxY = uint32_t(bottom - top + 1);
    g.originX = left - pad;
    g.originY = (pad + fm.ascent()) - top;
    g.pitch = (g.blackBoxX + 31) / 32 * 4;
    g.bits.assign(size_t(g.pitch) * g.blackBoxY, 0);
    for (uint32_t y = 0; y < g.blackBoxY; ++y) {
        const uchar* row = img.constScanLine(top + int(y));
        for (uint32_t x = 0; x < g.blackBoxX; ++x)
            if (row[left + int(x)] < 128) g.bits[y * g.pitch + x / 8] |= uint8_t(0x80 >> (x % 8));
    }
    *out = std::move(g);
    return true;
}

}  // namespace

struct Surface::FontState {
    QFont font;
};

Surface::Surface(QPainter* painter, const PageMetrics& metrics) : painter_(painter), metrics_(metrics) {}
Surface::~Surface() = default;

int32_t Surface::toDeviceX(int32_t x) const {
    return mapping_ == Mapping::Pixels ? x : int32_t(int64_t(x) * metrics_.dpiX / 2540);
}
int32_t Surface::toDeviceY(int32_t y) const {
    return mapping_ == Mapping::Pixels ? y : int32_t(-int64_t(y) * metrics_.dpiY / 2540);
}
int32_t Surface::toDeviceW(int32_t w) const {
    return mapping_ == Mapping::Pixels ? w : int32_t(int64_t(w) * metrics_.dpiX / 2540);
}
int32_t Surface::fromDeviceW(int32_t w) const {
    return mapping_ == Mapping::Pixels ? w : int32_t(int64_t(w) * 2540 / std::max(1, metrics_.dpiX));
}

bool Surface::stretchDib(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* block, std::size_t blockSize) {
    DibHeader hd;
    if (!readDibHeader(block, blockSize, &hd)) return false;
    return stretchDibPart(x, y, w, h, 0, 0, hd.width, hd.height, block, blockSize);
}

void Surface::setClip(int32_t x, int32_t y, int32_t w, int32_t h) {
    clipped_ = true;
    clip_[0] = x; clip_[1] = y; clip_[2] = w; clip_[3] = h;
}

bool Surface::stretchDibPart(int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY, int32_t srcW,
                             int32_t srcH, const uint8_t* block, std::size_t blockSize) {
    DibHeader hd;
    if (!readDibHeader(block, blockSize, &hd)) return false;
    if (srcX < 0 || srcY < 0 || srcW <= 0 || srcH <= 0 || srcX + srcW > hd.width || srcY + srcH > hd.height)
        return false;
    const int64_t dx = toDeviceX(x), dy = toDeviceY(y);
    const int64_t dw = toDeviceW(w);
    const int64_t dh = mapping_ == Mapping::Pixels ? h : int64_t(h) * metrics_.dpiY / 2540;
    if (dw <= 0 || dh <= 0) return true;
    QRect bounds = painter_->device() ? QRect(0, 0, painter_->device()->width(), painter_->device()->height())
                                      : QRect(0, 0, metrics_.width, metrics_.height);
    if (clipped_) bounds = bounds.intersected(QRect(clip_[0], clip_[1], clip_[2], clip_[3]));
    if (bounds.isEmpty()) return true;
    const int64_t x0 = std::max<int64_t>(dx, bounds.left()), x1 = std::min<int64_t>(dx + dw, bounds.right() + 1);
    const int64_t y0 = std::max<int64_t>(dy, bounds.top()), y1 = std::min<int64_t>(dy + dh, bounds.bottom() + 1);
    if (x0 >= x1 || y0 >= y1) return true;
    const uint32_t sw = uint32_t(srcW), sh = uint32_t(srcH);
    const uint32_t stride = dibStride(uint32_t(hd.width), hd.bitCount);
    const uint8_t* bits = block + dibBitsOffset(hd);
    QImage part(int(x1 - x0), int(y1 - y0), QImage::Format_RGB888);
    for (int64_t py = y0; py < y1; ++py) {
        const uint32_t sy = uint32_t(srcY) + uint32_t((py - dy) * sh / dh);    // top-down source row
        const uint8_t* src = bits + size_t(uint32_t(hd.height) - 1 - sy) * stride;   // stored bottom-up
        uchar* dst = part.scanLine(int(py - y0));
        for (int64_t px = x0; px < x1; ++px) {
            const uint32_t sx = uint32_t(srcX) + uint32_t((px - dx) * sw / dw);
            uchar* d = dst + (px - x0) * 3;
            if (hd.bitCount == 8) {
                d[0] = d[1] = d[2] = src[sx];
            } else {
                d[0] = src[sx * 3 + 2];
                d[1] = src[sx * 3 + 1];
                d[2] = src[sx * 3 + 0];
            }
        }
    }
    painter_->drawImage(QPoint(int(x0), int(y0)), part);
    return true;
}

void Surface::fill(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
    const int32_t dh = mapping_ == Mapping::Pixels ? h : int32_t(int64_t(h) * metrics_.dpiY / 2540);
    painter_->fillRect(QRect(toDeviceX(x), toDeviceY(y), toDeviceW(w), dh), QColor(r, g, b));
}

void Surface::drawImage(int32_t x, int32_t y, const QImage& image) {
    painter_->save();
    if (clipped_) painter_->setClipRect(QRect(clip_[0], clip_[1], clip_[2], clip_[3]));
    painter_->drawImage(QPoint(toDeviceX(x), toDeviceY(y)), image);
    painter_->restore();
}

int32_t Surface::pointsToUnits(double pointSize) const {
    if (mapping_ == Mapping::HiMetric) return int32_t(pointSize * 2540.0 / 72.0 + 0.5);
    return int32_t(pointSize * metrics_.dpiY / 72.0 + 0.5);
}

bool Surface::setFont(const std::string& face, int32_t height) {
    const int32_t px = mapping_ == Mapping::Pixels ? height : int32_t(int64_t(height) * metrics_.dpiY / 2540);
    if (px <= 0) return false;
    font_ = std::make_unique<FontState>(FontState{makeFont(face, px)});
    painter_->setFont(font_->font);
    return true;
}

void Surface::textOut(int32_t x, int32_t y, const std::string& text) {
    if (!font_) return;
    painter_->setFont(font_->font);
    painter_->setPen(Qt::black);
    painter_->setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics fm(font_->font, painter_->device());
    painter_->drawText(toDeviceX(x), toDeviceY(y) + fm.ascent(), QString::fromStdString(text));
}

int32_t Surface::textWidth(const std::string& text) const {
    if (!font_) return 0;
    const QFontMetrics fm(font_->font, painter_->device());
    return fromDeviceW(fm.horizontalAdvance(QString::fromStdString(text)));
}

bool Surface::glyph(char32_t ch, GlyphBitmap* out) const {
    return font_ && renderGlyph(font_->font, ch, out);
}

ImageSurface::ImageSurface(int32_t width, int32_t height, int32_t dpi)
    : ImageSurface(std::make_unique<QImage>(std::max(1, width), std::max(1, height), QImage::Format_RGB888), dpi) {}

ImageSurface::ImageSurface(std::unique_ptr<QImage> image, int32_t dpi)
    : Surface(nullptr, PageMetrics{image->width(), image->height(), dpi, dpi, 0, 0}), image_(std::move(image)) {
    image_->fill(Qt::white);
    const int dpm = int(dpi / 0.0254 + 0.5);
    image_->setDotsPerMeterX(dpm);
    image_->setDotsPerMeterY(dpm);
    ownPainter_ = std::make_unique<QPainter>(image_.get());
    painter_ = ownPainter_.get();
}

ImageSurface::~ImageSurface() {
    ownPainter_.reset();
}

const QImage& ImageSurface::image() const {
    painter_->end();  // settles pending drawing; reopened for further use
    painter_->begin(image_.get());
    return *image_;
}

struct GlyphSource::Impl {
    QFont font;
};

GlyphSource::GlyphSource(const std::string& face, int32_t pixelHeight)
    : impl_(std::make_unique<Impl>(Impl{makeFont(face, pixelHeight)})) {}
GlyphSource::~GlyphSource() = default;
bool GlyphSource::glyph(char32_t ch, GlyphBitmap* out) const { return renderGlyph(impl_->font, ch, out); }

std::u32string decodeUtf8(const std::string& text) {
    std::u32string out;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + size_t(len) > n) { out.push_back(0xFFFD); ++i; continue; }
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) { ok = false; break; }
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        if (!ok) { out.push_back(0xFFFD); ++i; continue; }
        out.push_back(cp);
        i += size_t(len);
    }
    return out;
}

}  // namespace plat::gdi
