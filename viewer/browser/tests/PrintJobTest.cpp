#include "viewer/browser/PrintJob.h"
#include "viewer/browser/tests/JobTestSupport.h"
#include "viewer/sources/tests/LibraryFixture.h"

#include "viewer/shell/common/ViewerMessages.h"

#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(IndexPrintLayout, OneRulePlacesCellsAndCountsPages) {
    struct { int32_t w, h; size_t cells; } cases[] = {
        {20980, 29667, 25},   // A4 portrait
        {29667, 20980, 28},   // A4 landscape: 7 x 4
        {29667, 20000, 21},   // with wider margins: 7 x 3
        {3400, 3400, 0},      // too small for one cell
        {3400, 4600, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(IndexCells(c.w, c.h).size(), c.cells) << c.w << "x" << c.h;
    FileJobAccess access;
    CPrintJob job(access);
    BrowserItemList items;
    for (int i = 0; i < 50; ++i) items.emplace_back("P" + std::to_string(i) + ".JPG", true);
    job.ListFromSelection(items, "/x", kPrintIndex);
    job.SetPageSize(20980, 29667);
    EXPECT_EQ(job.PageCount(), 2);   // exactly two pages of 25
    job.SetPageSize(3000, 3000);
    EXPECT_EQ(job.PageCount(), 0);
}

class PrintJobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override {
        src_ = lib_.folder("src");
        pages_ = lib_.folder("pages");
        target_.kind = plat::gdi::PrintTarget::Kind::PngPages;
        target_.name = pages_.string();
        target_.dpi = 50;
    }
    int32_t Run(int32_t mode, BrowserItemList& items, RecordingOwner& owner, bool cancel = false) {
        auto doc = plat::gdi::openPrintDocument(target_);
        CPrintProgressState progress;
        if (cancel) progress.Cancel();
        CPrintThread::Params p;
        p.mode = mode;
        p.dialog = owner.handle();
        p.ready = plat::Event::create(plat::Event::Reset::Manual, true);
        p.progress = &progress;
        p.document = doc.get();
        p.folder = src_.string();
        p.items = &items;
        p.access = &access_;
        CPrintThread job(std::move(p));
        EXPECT_EQ(job.Start(), 1);
        EXPECT_TRUE(owner.waitForDone());
        job.Join();
        return job.Result();
    }
    size_t PageFiles() const {
        return size_t(std::distance(fs::directory_iterator(pages_), fs::directory_iterator()));
    }
    LibraryRoot lib_;
    fs::path src_, pages_;
    plat::gdi::PrintTarget target_;
    FileJobAccess access_;
};

TEST_F(PrintJobTest, IndexPrintDrawsThumbnailsOfEveryKindIncludingMovies) {
    BrowserItemList items;
    for (const char* name : {"A.JPG", "B.MOV", "C.JPG"}) {
        WriteFile(src_ / name, "x");
        items.emplace_back(name, true);
    }
    items.emplace_back("D.JPG", false);
    RecordingOwner owner;
    EXPECT_EQ(Run(kPrintIndex, items, owner), 0);
    ASSERT_EQ(owner.posted.size(), 3u);
    EXPECT_EQ(owner.posted[0].wParam, 1u);   // total
    EXPECT_EQ(owner.posted[1].lParam, 1);
    EXPECT_EQ(owner.doneParam(), 0u);
    EXPECT_EQ(access_.suspended, 0);
    ASSERT_EQ(PageFiles(), 1u);
    QImage page(QString::fromStdString((pages_ / "page-001.png").string()));
    // First cell: 3400 x 1700 black thumbnail, centred down: 34 mm = 66 px at 50 dpi.
    EXPECT_EQ(qGray(page.pixel(30, 33)), 0);
    EXPECT_EQ(qGray(page.pixel(30, 5)), 255);
    EXPECT_EQ(qGray(page.pixel(78 + 30, 33)), 0);     // second cell (40 mm on)
    EXPECT_EQ(qGray(page.pixel(2 * 78 + 30, 33)), 0); // third cell: the movie's thumbnail
}

TEST_F(PrintJobTest, OneAPageSkipsMoviesAndFillsThePage) {
    BrowserItemList movies;
    WriteFile(src_ / "M.MOV", "x");
    movies.emplace_back("M.MOV", true);
    RecordingOwner owner;
    EXPECT_EQ(Run(kPrintOneAPage, movies, owner), -127);
    EXPECT_EQ(PageFiles(), 0u);
    ASSERT_EQ(access_.asked.size(), 1u);

    // A picture smaller than the page is scaled up to fill it (at a printer's
    // 1200 dpi a camera picture would otherwise come out the size of a stamp).
    LibraryRoot::writeJpeg(src_ / "P.JPG", 400, 300);
    BrowserItemList items;
    items.emplace_back("P.JPG", true);
    items.emplace_back("GONE.JPG", true);
    RecordingOwner second;
    EXPECT_EQ(Run(kPrintOneAPage, items, second), -126);   // the missing one, after the other printed
    ASSERT_EQ(PageFiles(), 1u);
    QImage page(QString::fromStdString((pages_ / "page-001.png").string()));
    const int height = page.width() * 300 / 400;
    const int top = (page.height() - height) / 2, middle = page.height() / 2;
    EXPECT_GT(qRed(page.pixel(3, middle)), 200);                  // left edge of the page: the red half
    EXPECT_GT(qBlue(page.pixel(page.width() - 4, middle)), 200);   // right edge: the blue half
    EXPECT_GT(qRed(page.pixel(page.width() / 4, top + 3)), 200);
    EXPECT_EQ(page.pixel(page.width() / 4, top - 4), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(page.width() / 4, top + height + 3), qRgb(255, 255, 255));
}

TEST_F(PrintJobTest, CancelledJobLeavesNoOutput) {
    BrowserItemList items;
    WriteFile(src_ / "A.JPG", "x");
    items.emplace_back("A.JPG", true);
    RecordingOwner owner;
    EXPECT_EQ(Run(kPrintIndex, items, owner, true), 0);
    EXPECT_EQ(PageFiles(), 0u);
    EXPECT_EQ(owner.doneParam(), 0u);
}
