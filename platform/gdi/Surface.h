#pragma once
// A drawing surface over a raster image or a printer page. Coordinates are in
// the surface's units: device pixels, or 0.01 mm with y growing upwards from the
// top left of the printable area (the printed index pages use that). Fonts are
// chosen by face and by height in the units in force when they are chosen, so a
// font always has the size it was asked for on the page.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QImage;
class QPainter;
class QPaintDevice;

namespace plat::gdi {

struct PageMetrics {
    int32_t width = 0;     // printable width in device pixels
    int32_t height = 0;    // printable height in device pixels
    int32_t dpiX = 96;
    int32_t dpiY = 96;
    int32_t offsetX = 0;   // unprintable margin, device pixels
    int32_t offsetY = 0;
};

// One character as a 1-bit bitmap: rows top-down, each padded to 32 bits, most
// significant bit first; origin relative to the pen (y up from the baseline).
struct GlyphBitmap {
    uint32_t blackBoxX = 0;
    uint32_t blackBoxY = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t cellIncX = 0;
    uint32_t pitch = 0;    // bytes of one row
    std::vector<uint8_t> bits;
    bool bit(uint32_t x, uint32_t y) const { return bits[y * pitch + x / 8] & (0x80 >> (x % 8)); }
};

enum class Mapping { Pixels, HiMetric };

class Surface {
public:
    Surface(QPainter* painter, const PageMetrics& metrics);
    virtual ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    const PageMetrics& metrics() const { return metrics_; }
    Mapping mapping() const { return mapping_; }
    void setMapping(Mapping mapping) { mapping_ = mapping; }

    // Stretches a packed DIB (whole source) to the destination rectangle, taking
    // for each destination pixel d the source pixel floor(d x s / D). False when
    // the block is not a DIB of ours.
    bool stretchDib(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* block, std::size_t blockSize);
    // The same from a part of the source (sx, sy from its top left).
    bool stretchDibPart(int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                        const uint8_t* block, std::size_t blockSize);
    // Device pixels outside this rectangle are left alone (null: the whole surface).
    void setClip(int32_t x, int32_t y, int32_t w, int32_t h);
    void fill(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
    // An image (an icon) at its own size, top left at (x, y), clipped.
    void drawImage(int32_t x, int32_t y, const QImage& image);

    // Chooses the font; height in current units (the em height). False when no
    // usable font results.
    bool setFont(const std::string& face, int32_t height);
    // Height in current units of a font of pointSize points.
    int32_t pointsToUnits(double pointSize) const;
    // Black text, transparent background; (x, y) is the top left of the text.
    void textOut(int32_t x, int32_t y, const std::string& text);
    int32_t textWidth(const std::string& text) const;   // current units
    bool glyph(char32_t ch, GlyphBitmap* out) const;      // device pixels

    // Device pixel of a point in current units.
    int32_t toDeviceX(int32_t x) const;
    int32_t toDeviceY(int32_t y) const;
    int32_t toDeviceW(int32_t w) const;
    int32_t fromDeviceW(int32_t w) const;

protected:
    QPainter* painter_;

private:
    PageMetrics metrics_;
    Mapping mapping_ = Mapping::Pixels;
    bool clipped_ = false;
    int32_t clip_[4] = {0, 0, 0, 0};
    struct FontState;
    std::unique_ptr<FontState> font_;
};

// A surface over its own 24-bit image, white at start.
class ImageSurface : public Surface {
public:
    ImageSurface(int32_t width, int32_t height, int32_t dpi = 96);
    ~ImageSurface() override;
    const QImage& image() const;

private:
    std::unique_ptr<QImage> image_;
    std::unique_ptr<QPainter> ownPainter_;
    ImageSurface(std::unique_ptr<QImage> image, int32_t dpi);
};

// A font rasteriser that needs no window (96 dpi), for captions made of glyphs.
class GlyphSource {
public:
    GlyphSource(const std::string& face, int32_t pixelHeight);
    ~GlyphSource();
    bool glyph(char32_t ch, GlyphBitmap* out) const;
private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// UTF-8 text as code points; a broken sequence becomes U+FFFD and never reads
// past the end.
std::u32string decodeUtf8(const std::string& text);

}  // namespace plat::gdi
