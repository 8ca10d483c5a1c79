#include "viewer/browser/picture_viewer/ViewerGeometry.h"

#include "viewer/sources/PictureRecords.h"

#include <gtest/gtest.h>

namespace {

ScreenMetrics Screen(int32_t w, int32_t h) {
    ScreenMetrics m;
    m.statusFontHeight = 12;  // status 22
    m.captionHeight = 22;
    m.frameWidth = 4;
    m.borderWidth = 1;  // border 6: horizontal extra 40, vertical 84
    m.screenWidth = w;
    m.screenHeight = h;
    return m;
}

// A record laid out as the picture buffer does it (216-pixel tiles).
PictureRecord Record(uint32_t w, uint32_t h) {
    PictureRecord r;
    r.width = w;
    r.height = h;
    r.tileWidth = r.tileHeight = 216;
    r.tilesAcross = (w + 215) / 216;
    r.tilesDown = (h + 215) / 216;
    r.lastColumnWidth = w % 216 ? (w % 216 + 3) / 4 * 4 : 0;
    r.lastRowHeight = h % 216;
    return r;
}

TEST(ViewerFrameSize, SmallPictureOpensAtFullSizeWithMinimumWidth) {
    const FrameSize f = ComputeFrameSize(400, 300, Screen(1024, 768));
    EXPECT_EQ(f.startZoom, 100);
    EXPECT_EQ(f.width, kViewerMinWidth);
    EXPECT_EQ(f.height, kViewerMinHeight);
    EXPECT_EQ(f.statusHeight, 22);
    EXPECT_FALSE(f.maximize);
}

TEST(ViewerFrameSize, WidePictureTakesTheLargestStepThatFits) {
    // 2000 into 1024 - 40: 66 % gives 1320, 50 % gives 1000, 33 % gives 660.
    const FrameSize f = ComputeFrameSize(2000, 500, Screen(1024, 768));
    EXPECT_EQ(f.startZoom, 33);
    EXPECT_EQ(f.width, 660 + 5 + 40);
    EXPECT_EQ(f.height, 84 + 165 + 5 >= kViewerMinHeight ? 84 + 165 + 5 : kViewerMinHeight);
}

TEST(ViewerFrameSize, HugePictureNeverGoesBelowTwelve) {
    const SideFit fit = FitSide(100000, 984);
    EXPECT_EQ(fit.zoom, 12);
    EXPECT_EQ(fit.side, 989);
}

TEST(ViewerZoom, StepsUpToEightHundredAndBack) {
    ZoomState z = ZoomState::At(100);
    const int32_t expected[] = {150, 200, 300, 400, 600, 800};
    for (int32_t e : expected) {
        ASSERT_TRUE(z.ZoomIn());
        EXPECT_EQ(z.zoom, e);
    }
    EXPECT_FALSE(z.zoomInAllowed);
    EXPECT_FALSE(z.ZoomIn());
    EXPECT_EQ(z.zoom, 800);
    ASSERT_TRUE(z.ZoomOut());
    EXPECT_EQ(z.zoom, 600);
    EXPECT_TRUE(z.zoomInAllowed);
}

TEST(ViewerZoom, StartAtTheEndsDisallowsThatDirection) {
    EXPECT_FALSE(ZoomState::At(12).zoomOutAllowed);
    EXPECT_FALSE(ZoomState::At(800).zoomInAllowed);
    ZoomState z = ZoomState::At(16);
    ASSERT_TRUE(z.ZoomOut());
    EXPECT_EQ(z.zoom, 12);
    EXPECT_FALSE(z.ZoomOut());
}

TEST(ViewerTurns, FourClockwiseTurnsComeBackAndCounterClockwiseWraps) {
    int32_t t = 0;
    for (int i = 0; i < 4; ++i) t = NextQuarterTurns(t, true);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(NextQuarterTurns(0, false), 3);
    EXPECT_EQ(NextQuarterTurns(3, true), 0);
}

TEST(ViewerLayout, SmallPictureIsCentredAndNotDraggable) {
    const PictureRecord r = Record(400, 300);
    ViewerLayout l;
    ASSERT_TRUE(ComputeLayout(r, 100, 600, 400, false, ViewerLayout{}, &l));
    EXPECT_FALSE(l.horizontal.enabled);
    EXPECT_FALSE(l.vertical.enabled);
    EXPECT_EQ(l.horizontal.position, -100);
    EXPECT_EQ(l.vertical.position, -50);
    EXPECT_FALSE(l.dragScroll);
    EXPECT_EQ(l.horizontal.barPosition, 0);  // no range before: no division by zero
}

TEST(ViewerLayout, PaddingColumnsDoNotCountInTheScrollRange) {
    const PictureRecord r = Record(1001, 300);
    ViewerLayout l;
    ASSERT_TRUE(ComputeLayout(r, 100, 500, 300, true, ViewerLayout{}, &l));
    EXPECT_EQ(l.horizontal.zoomedSize, 1001);
    EXPECT_EQ(l.horizontal.barMaximum, 501);
}

TEST(ViewerLayout, ZoomKeepsThePaneCentreOnTheSamePoint) {
    const PictureRecord r = Record(2000, 2000);
    ViewerLayout first;
    ASSERT_TRUE(ComputeLayout(r, 50, 400, 400, false, ViewerLayout{}, &first));
    EXPECT_EQ(first.horizontal.position, 0);
    first.horizontal.position = 300;  // centre at 500 of 1000
    ViewerLayout second;
    ASSERT_TRUE(ComputeLayout(r, 100, 400, 400, false, first, &second));
    EXPECT_EQ(second.horizontal.position, 1000 - 200);
    ViewerLayout again;
    EXPECT_FALSE(ComputeLayout(r, 100, 400, 400, false, second, &again));
    EXPECT_TRUE(ComputeLayout(r, 100, 400, 400, true, second, &again));
}

TEST(ViewerScroll, RequestsAreClampedToTheRange) {
    struct Case {
        ScrollRequest request;
        bool vertical;
        int32_t current, thumb, page, maximum, expected;
    } cases[] = {
        {ScrollRequest::LineBack, false, 5, 0, 0, 100, 0},
        {ScrollRequest::LineForward, false, 5, 0, 0, 100, 15},
        {ScrollRequest::PageForward, false, 50, 0, 300, 500, 150},
        {ScrollRequest::PageForward, true, 50, 0, 300, 500, 350},
        {ScrollRequest::PageBack, true, 50, 0, 300, 500, 0},
        {ScrollRequest::ThumbTrack, true, 0, 999, 300, 500, 500},
        {ScrollRequest::Top, true, 200, 0, 300, 500, 0},
        {ScrollRequest::Bottom, false, 0, 0, 0, 77, 77},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScrollTarget(c.request, c.vertical, c.current, c.thumb, c.page, c.maximum), c.expected);
}

TEST(ViewerCursor, TableFirstMatch) {
    PaneInput in;
    in.control = true;
    in.zoomInAllowed = false;
    in.zoomInButtonEnabled = false;
    EXPECT_EQ(SetCursorFor(in), PaneCursor::NoZoom);  // at 800
    in.zoomInAllowed = in.zoomInButtonEnabled = true;
    EXPECT_EQ(SetCursorFor(in), PaneCursor::ZoomIn);
    PaneInput plain;
    EXPECT_EQ(SetCursorFor(plain), PaneCursor::Arrow);
    plain.scrollable = true;
    EXPECT_EQ(SetCursorFor(plain), PaneCursor::OpenHand);
    PaneInput alt;
    alt.alt = true;
    EXPECT_EQ(SetCursorFor(alt), PaneCursor::ZoomOut);
}

TEST(ViewerTitle, SplitsAtTheBackslash) {
    std::string folder, file;
    ASSERT_TRUE(SplitViewerTitle(ViewerTitle("100VOREL", "IMG_0001.JPG"), &folder, &file));
    EXPECT_EQ(folder, "100VOREL");
    EXPECT_EQ(file, "IMG_0001.JPG");
    EXPECT_FALSE(SplitViewerTitle("nofolder", &folder, &file));
}

}  // namespace
