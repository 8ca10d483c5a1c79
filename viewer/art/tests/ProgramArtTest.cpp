// Every picture id the windows name has a drawn picture: button faces in four
// looks, thumbnail frames of each cell size, marks and the busy animation.
#include "viewer/art/ArtCatalog.h"
#include "viewer/art/ButtonBitmaps.h"
#include "viewer/art/ProgramArt.h"

#include "viewer/shell/common/ViewTables.h"

#include "platform/gdi/Dib.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <set>

namespace {

// How many pixels differ from the first one: a blank picture has none.
int VariedPixels(const QImage& image)
{
    int varied = 0;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            varied += image.pixel(x, y) != first;
    return varied;
}

class ProgramArt : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!QGuiApplication::instance()) {
            static int argc = 1;
            static char name[] = "art_tests";
            static char* argv[] = {name, nullptr};
            qputenv("QT_QPA_PLATFORM", "offscreen");
            new QGuiApplication(argc, argv);
        }
    }
};

TEST_F(ProgramArt, EveryButtonOfTheTablesHasAPictureThatChangesUnderTheMouse)
{
    for (int set = 0; set < 26; ++set) {
        for (int state = 0; state < (set <= 3 ? 2 : 1); ++state) {
            const BitmapSet normal = NormalPictures(BrowserButtonTable(), set, state);
            const BitmapSet hover = HoverPictures(BrowserButtonTable(), set, state);
            const QImage n = ProgramPicture(normal.normal, QSize(46, 44));
            const QImage h = ProgramPicture(hover.normal, QSize(46, 44));
            const QImage s = ProgramPicture(normal.selected, QSize(46, 44));
            ASSERT_FALSE(n.isNull()) << "set " << set;
            EXPECT_GT(VariedPixels(n), 200) << "set " << set << " has a blank face";
            EXPECT_NE(n, h) << "set " << set << " does not change under the mouse";
            EXPECT_NE(n, s) << "set " << set << " does not show being pressed";
            EXPECT_FALSE(BrowserButtonGlyph(set).empty());
        }
    }
    // The transfer panel's buttons: sizes, transfer, browser, settings, help, exit carry a glyph.
    for (int row : {0, 4, 5, 6, 7, 8, 10, 11, 12, 13}) {
        const BitmapSet normal = NormalPictures(PanelButtonTable(), row, 0);
        const BitmapSet hover = HoverPictures(PanelButtonTable(), row, 0);
        const QImage n = ProgramPicture(normal.normal, QSize(37, 36));
        ASSERT_FALSE(n.isNull()) << "row " << row;
        EXPECT_GT(VariedPixels(n), 200) << "row " << row << " has a blank face";
        if (hover.normal != normal.normal) {
            EXPECT_NE(n, ProgramPicture(hover.normal, QSize(37, 36))) << "row " << row;
        }
        EXPECT_TRUE(FindArt(normal.normal).has_value() && !FindArt(normal.normal)->glyph.empty()) << "row " << row;
    }
    // The viewer's four tool buttons: normal, hover, pressed, disabled all differ.
    for (uint32_t first = 505; first <= 517; first += 4) {
        std::set<qint64> looks;
        for (uint32_t id = first; id < first + 4; ++id) {
            const QImage face = ProgramPicture(id, QSize(24, 24));
            ASSERT_FALSE(face.isNull()) << id;
            EXPECT_GT(VariedPixels(face), 80) << id;
            looks.insert(face.cacheKey() ^ qHash(QByteArray(reinterpret_cast<const char*>(face.constBits()),
                                                              int(face.sizeInBytes()))));
        }
        EXPECT_EQ(looks.size(), 4u) << first;
    }
}

TEST_F(ProgramArt, ThumbnailFramesFitTheirCellsAndTheSelectedOneStandsOut)
{
    for (int index = 0; index < 5; ++index) {
        const int size = ThumbIndexToSize(index);
        for (int flag = 0; flag < 2; ++flag) {
            const BitmapIdPair ids = GetThumbFrameBitmapIds(size, flag);
            for (int id : {ids.normal, ids.selected}) {
                const std::vector<uint8_t>* dib = ProgramDib(uint32_t(id));
                ASSERT_NE(dib, nullptr) << id;
                plat::gdi::DibHeader h;
                ASSERT_TRUE(plat::gdi::readDibHeader(dib->data(), dib->size(), &h)) << id;
                EXPECT_EQ(h.width, ThumbSizeToCellSize(size)) << id;
                EXPECT_EQ(h.height, ThumbSizeToCellSize(size)) << id;
            }
            // The edge of the selected frame is far from the pane's colour; the normal one's is not.
            const QImage normal = ProgramPicture(uint32_t(ids.normal));
            const QImage selected = ProgramPicture(uint32_t(ids.selected));
            const QColor edgeN = normal.pixelColor(1, normal.height() / 2);
            const QColor edgeS = selected.pixelColor(1, selected.height() / 2);
            EXPECT_LT(edgeS.red() + 60, edgeS.blue()) << size << "/" << flag;
            EXPECT_GT(edgeN.red(), 150) << size << "/" << flag;
        }
    }
}

TEST_F(ProgramArt, MarksBusyFramesAndDialogPiecesAreDrawn)
{
    for (uint32_t id = 455; id <= 460; ++id) {
        ASSERT_NE(ProgramDib(id), nullptr) << id;
        EXPECT_GT(VariedPixels(ProgramPicture(id)), 10) << id;
    }
    std::set<QByteArray> frames;
    for (int count = 1; count <= 9; ++count) {
        const QImage frame = ProgramPicture(uint32_t(CountToBitmapId(count)));
        ASSERT_EQ(frame.size(), QSize(31, 30));
        frames.insert(QByteArray(reinterpret_cast<const char*>(frame.constBits()), int(frame.sizeInBytes())));
    }
    EXPECT_EQ(frames.size(), 9u) << "the busy animation repeats a frame";
    for (uint32_t id : {264u, 266u, 267u, 550u, 300u, 449u, 450u, 132u, 380u, 381u, 382u, 384u})
        EXPECT_GT(VariedPixels(ProgramPicture(id, QSize(30, 20))), 0) << id;
    EXPECT_TRUE(ProgramPicture(999999).isNull());
    EXPECT_EQ(ProgramDib(999999), nullptr);
}

}  // namespace
