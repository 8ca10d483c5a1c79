#include "viewer/browser/IndexSheet.h"
#include "viewer/browser/tests/JobTestSupport.h"
#include "viewer/sources/tests/LibraryFixture.h"

#include "viewer/shell/common/ViewerMessages.h"

#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(IndexSheetLayout, PaperGivesCellsAndTheSameRuleCountsSheets) {
    struct Case {
        plat::gdi::PaperDefaults paper;
        size_t cells;
    } cases[] = {
        {{false, 0, 0, 0, 0}, 25},               // no printer: A4 defaults
        {{true, 0, 0, 0, 0}, 25},                // a printer that gives no size
        {{true, 2100, 2970, 508, 495}, 25},      // A4 portrait with its margins
        {{true, 2970, 2100, 508, 495}, 21},      // landscape: 7 across, 3 down
        {{true, 500, 300, 0, 0}, 0},             // a label: not one cell
    };
    for (const auto& c : cases) {
        const SheetLayout l = MakeSheetLayout(c.paper);
        const auto cells = SheetCells(l);
        EXPECT_EQ(cells.size(), c.cells) << c.paper.paperWidth;
        for (const auto& cell : cells) {
            EXPECT_LE(cell.x + kSheetCell, l.pageWidth);
            EXPECT_LE(cell.y + kSheetStepDown, l.pageHeight);
        }
    }
    const SheetLayout a4 = MakeSheetLayout({});
    EXPECT_EQ(a4.pageWidth, 1653);
    EXPECT_EQ(SheetCells(a4)[1].x, 40 + 315);
    EXPECT_EQ(SheetCells(a4)[5].y, 39 + 407);
    EXPECT_EQ(SheetCount(a4, 25), 1);
    EXPECT_EQ(SheetCount(a4, 26), 2);
    EXPECT_EQ(SheetCount(MakeSheetLayout({true, 500, 300, 0, 0}), 3), 0);
}

TEST(IndexSheetLayout, PathsAndTheOneMebibyteRule) {
    EXPECT_EQ(SheetPath("/media/card", 1), "/media/card/Sheet1.JPG");
    EXPECT_EQ(SheetPath("/", 12), "/Sheet12.JPG");
    struct { uint64_t free; int64_t existing; int32_t result; } cases[] = {
        {kSheetMinFree, -1, 0}, {kSheetMinFree - 1, -1, -125}, {10, int64_t(kSheetMinFree), 0},
        {1000, int64_t(kSheetMinFree) - 1000, 0}, {999, int64_t(kSheetMinFree) - 1000, -125},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckSheetSpace(c.free, c.existing), c.result) << c.free;
}

class IndexSheetJob : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override {
        src_ = lib_.folder("src");
        out_ = lib_.folder("out");
    }
    BrowserItemList Items(int n) {
        BrowserItemList items;
        for (int i = 0; i < n; ++i) {
            char file[32];
            std::snprintf(file, sizeof file, "IMG_%04d.JPG", i);
            WriteFile(src_ / file, "x");
            items.emplace_back(file, true);
        }
        return items;
    }
    int32_t Run(BrowserItemList& items, RecordingOwner& owner) {
        std::atomic<int32_t> cancel{0};
        CCreateThumbFileThread::Params p;
        p.dialog = owner.handle();
        p.ready = plat::Event::create(plat::Event::Reset::Manual, true);
        p.folder = out_.string();
        p.sourceFolder = src_.string();
        p.items = &items;
        p.access = &access_;
        p.cancel = &cancel;
        CCreateThumbFileThread job(std::move(p));
        EXPECT_EQ(job.Start(), 1);
        EXPECT_TRUE(owner.waitForDone());
        job.Join();
        return job.Result();
    }
    LibraryRoot lib_;
    fs::path src_, out_;
    FileJobAccess access_;
};

TEST_F(IndexSheetJob, WritesSheetsOfTwentyFiveWithThumbnailsAndCaptions) {
    auto items = Items(27);
    items[1].record = std::make_unique<PictureRecord>();
    items[1].record->rotation = 1;
    access_.thumbFailures = {"IMG_0002.JPG"};   // skipped without taking a cell
    RecordingOwner owner;
    EXPECT_EQ(Run(items, owner), 0);
    ASSERT_GE(owner.posted.size(), 4u);
    EXPECT_EQ(owner.posted[0].message, UM_PROGRESS);
    EXPECT_EQ(owner.posted[0].wParam, 2u);
    EXPECT_EQ(owner.posted[0].lParam, 0);
    EXPECT_EQ(owner.doneParam(), 1u);
    EXPECT_EQ(access_.orientations[1], 8);
    EXPECT_EQ(access_.suspended, 0);
    QImage first(QString::fromStdString((out_ / "Sheet1.JPG").string()));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.width(), 1653);
    EXPECT_EQ(first.height(), 2338);
    // The fake thumbnails are black 268 x 134, centred in each cell.
    EXPECT_LT(qGray(first.pixel(40 + 134, 39 + 134)), 40);
    EXPECT_GT(qGray(first.pixel(40 + 134, 39 + 40)), 215);
    EXPECT_GT(qGray(first.pixel(20, 20)), 215);
    // Some caption pixels under the first cell, none in the gap beside it.
    int dark = 0;
    for (int y = 39 + 268; y < 39 + 268 + 40; ++y)
        for (int x = 40; x < 40 + 268; ++x) dark += qGray(first.pixel(x, y)) < 100;
    EXPECT_GT(dark, 20);
    EXPECT_TRUE(fs::exists(out_ / "Sheet2.JPG"));
    EXPECT_FALSE(fs::exists(out_ / "Sheet3.JPG"));
    for (const auto& e : fs::directory_iterator(out_)) EXPECT_NE(e.path().extension(), ".part");
}

TEST_F(IndexSheetJob, ExistingSheetsAskOnceForAllAndShortagesStop) {
    auto items = Items(30);
    WriteFile(out_ / "Sheet1.JPG", "old");
    WriteFile(out_ / "Sheet2.JPG", "old");
    access_.overwrites = {OverwriteAnswer::OverwriteAll};
    RecordingOwner owner;
    EXPECT_EQ(Run(items, owner), 0);
    EXPECT_EQ(access_.overwriteAsked.size(), 1u);
    EXPECT_GT(fs::file_size(out_ / "Sheet2.JPG"), 3u);

    access_.freeSpace = 100;
    fs::remove(out_ / "Sheet1.JPG");
    RecordingOwner second;
    EXPECT_EQ(Run(items, second), -125);
    EXPECT_FALSE(fs::exists(out_ / "Sheet1.JPG"));
    ASSERT_FALSE(access_.asked.empty());
    EXPECT_EQ(second.doneParam(), 1u);
}

// Only "overwrite" answers overwrite a user's file; a sheet of pictures that
// could none be read is not written and is not reported as done.
TEST_F(IndexSheetJob, ANoKeepsTheFileAndNothingReadableWritesNothing) {
    struct Case {
        OverwriteAnswer answer;
    } cases[] = {{OverwriteAnswer::Skip}, {OverwriteAnswer::Cancel}};
    for (const Case& c : cases) {
        auto items = Items(3);
        WriteFile(out_ / "Sheet1.JPG", "mine");
        access_.overwrites = {c.answer};
        RecordingOwner owner;
        EXPECT_EQ(Run(items, owner), 0);
        EXPECT_EQ(fs::file_size(out_ / "Sheet1.JPG"), 4u) << int(c.answer);
    }

    fs::remove(out_ / "Sheet1.JPG");
    auto items = Items(2);
    access_.thumbFailures = {"IMG_0000.JPG", "IMG_0001.JPG"};
    RecordingOwner owner;
    EXPECT_EQ(Run(items, owner), -124);
    EXPECT_FALSE(fs::exists(out_ / "Sheet1.JPG"));
    EXPECT_FALSE(access_.asked.empty());
}
