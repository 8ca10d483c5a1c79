#include "viewer/browser/ImageBuffer.h"
#include "viewer/browser/ThumbCells.h"

#include "platform/gdi/Dib.h"
#include "viewer/shell/common/ViewTables.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

class ThumbCells : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);
    }
};

// Frames are solid red squares of the cell's size; marks solid blue.
std::vector<uint8_t> Solid(uint32_t side, uint8_t r, uint8_t g, uint8_t b) {
    auto dib = plat::gdi::makeDib(side, side, 24);
    uint8_t* bits = dib.data() + 40;
    const uint32_t stride = plat::gdi::dibStride(side, 24);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x) {
            bits[y * stride + x * 3] = b;
            bits[y * stride + x * 3 + 1] = g;
            bits[y * stride + x * 3 + 2] = r;
        }
    return dib;
}

std::string Text(uint32_t id) { return id == 62201 ? "DejaVu Sans" : id == 62202 ? "9" : ""; }

}  // namespace

TEST_F(ThumbCells, FramesThumbnailsMarksAndNamesOfVisibleCells) {
    const auto frame = Solid(134, 255, 0, 0), mark = Solid(13, 0, 0, 255);
    BitmapSource bitmaps = [&](uint32_t id) -> const std::vector<uint8_t>* {
        return id >= 455 && id <= 460 ? &mark : &frame;
    };
    std::vector<uint8_t> black(128 * 96 * 3, 0);
    CImageBuffer buffer;
    std::unique_ptr<PictureRecord> thumb;
    ASSERT_EQ(MakePictureRecord(buffer, true, "A.JPG", ImageDescription{128, 96, 1, 3}, black.size(), black.data(),
                                thumb), 1);
    thumb->exif = 0;   // a picture without EXIF is drawn all the same
    thumb->protect = 1;
    ThumbPaneView view;
    view.thumbSize = 128;
    view.clientWidth = 400;
    view.clientHeight = 400;
    view.scrollY = 10;
    view.items.push_back({thumb.get(), "IMG_0001.JPG", "", 0, 10, 3, 29, false, true, false});
    view.items.push_back({nullptr, "B.JPG", "", 200, 10, 203, 29, true, false, false});   // not placed: the end
    plat::gdi::ImageSurface s(400, 400);
    EXPECT_EQ(PaintThumbCell(s, view, bitmaps, Text), 1);
    const QImage& img = s.image();
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));       // frame at the scrolled cell
    EXPECT_EQ(img.pixel(50, 50), qRgb(0, 0, 0));       // thumbnail
    EXPECT_EQ(img.pixel(13 + 5, 134 + 2 + 5), qRgb(0, 0, 255));   // read-only mark
    EXPECT_EQ(img.pixel(5, 134 + 2 + 5), qRgb(255, 255, 255));    // no movie mark
    EXPECT_EQ(img.pixel(250, 50), qRgb(255, 255, 255)); // the unplaced item is not drawn
    int dark = 0;
    for (int y = 134 + 4; y < 134 + 24; ++y)
        for (int x = 39; x < 134; ++x) dark += qGray(img.pixel(x, y)) < 100;
    EXPECT_GT(dark, 10);

    ThumbPaneView empty;
    EXPECT_EQ(PaintThumbCell(s, empty, bitmaps, Text), 0);
    EXPECT_EQ(ThumbCellName("ABCDEFGH.JPG", 64), "ABCDEFGH");
    EXPECT_EQ(ThumbCellName("ABCDEFGH.JPG", 96), "ABCDEFGH.JPG");
}
