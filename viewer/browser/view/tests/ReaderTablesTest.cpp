#include "viewer/browser/view/ReaderResult.h"
#include "viewer/browser/view/ThumbGrid.h"

#include <gtest/gtest.h>

namespace {

struct CellCase {
    int32_t index, width, size;
    int32_t row, column, left, top;
};

TEST(ThumbGrid, CellsFollowTheRowAndColumnRule) {
    const CellCase cases[] = {
        {0, 400, 64, 1, 1, 15, 30},    {3, 400, 64, 1, 4, 270, 30},   {4, 400, 64, 2, 1, 15, 130},
        {7, 400, 64, 2, 4, 270, 130},  {8, 400, 64, 3, 1, 15, 230},   {0, 600, 256, 1, 1, 15, 30},
        {2, 600, 256, 2, 1, 15, 322},  // two columns of 277 pixels
        {1, 50, 64, 2, 1, 15, 130},    // narrower than one cell: one column
        {2, 0, 64, 3, 1, 15, 230},
    };
    for (const CellCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " width " << c.width << " size " << c.size);
        const GridCell cell = CellForIndex(c.index, c.width, c.size);
        EXPECT_EQ(c.row, cell.row);
        EXPECT_EQ(c.column, cell.column);
        EXPECT_EQ(c.left, cell.left);
        EXPECT_EQ(c.top, cell.top);
    }
}

TEST(ThumbGrid, ThumbnailIsCentredOnItsShortSide) {
    const GridCell cell = CellForIndex(0, 400, 64);
    int32_t x = 0, y = 0;
    CentreThumbnail(cell, 64, 64, 48, &x, &y);   // landscape moves down
    EXPECT_EQ(18, x);
    EXPECT_EQ(33 + 8, y);
    CentreThumbnail(cell, 64, 48, 64, &x, &y);   // portrait moves right
    EXPECT_EQ(18 + 8, x);
    EXPECT_EQ(33, y);
    const GridRect r = ItemRect(cell.left, cell.top, 64);
    EXPECT_EQ(15, r.left);
    EXPECT_EQ(15, r.top);
    EXPECT_EQ(85, r.right);
    EXPECT_EQ(124, r.bottom);
}

struct ResultCase {
    int32_t result;
    bool abortSet;
    ReaderAction::Report report;
    int32_t value;
    bool drop, end;
    int32_t exitCode;
    bool placeholder = false;
};

TEST(ReaderResultTable, EachResultHasItsReportAndConsequence) {
    using R = ReaderAction::Report;
    const ResultCase cases[] = {
        {-115, false, R::MainWindowText, 61616, false, true, -115},
        {101, false, R::MainWindowText, 61616, false, true, 101},
        {100, false, R::MainWindowText, 61667, false, true, 100},
        {-99, false, R::None, 0, true, false, 8},
        {-99, true, R::None, 0, false, true, 8},
        {8, false, R::None, 0, true, false, 8},
        {8, true, R::LibraryResult, 2, false, true, 8},
        {5, false, R::None, 0, false, false, 5, true},
        {10, true, R::None, 0, false, false, 10, true},
        {7, false, R::None, 0, false, false, 7, true},
        {104, false, R::TargetChanged, 104, false, true, 104},
        {106, true, R::TargetChanged, 106, false, true, 106},
        {1, false, R::LibraryResult, 1, false, true, 1},
        {6, false, R::LibraryResult, 4, false, true, 6},
        {-101, false, R::Error, -101, false, true, -101},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "result " << c.result << " abort " << c.abortSet);
        const ReaderAction a = DecideReaderResult(c.result, c.abortSet);
        EXPECT_EQ(c.report, a.report);
        EXPECT_EQ(c.value, a.value);
        EXPECT_EQ(c.drop, a.dropItem);
        EXPECT_EQ(c.end, a.endRun);
        EXPECT_EQ(c.exitCode, a.exitCode);
        EXPECT_EQ(c.placeholder, a.placeholder);
    }
}

TEST(ReaderResultTable, SlowReadsAndMissingPictures) {
    EXPECT_TRUE(IsSlowRead(128, 96, true, false));
    EXPECT_FALSE(IsSlowRead(128, 96, false, false));
    EXPECT_FALSE(IsSlowRead(96, 72, true, false));
    EXPECT_TRUE(IsSlowRead(96, 72, false, true));
    EXPECT_EQ(-99, MissingPictureResult(0));
    EXPECT_EQ(101, MissingPictureResult(101));
}

}  // namespace
