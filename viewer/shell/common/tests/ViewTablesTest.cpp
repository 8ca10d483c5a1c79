#include "viewer/shell/common/ViewTables.h"

#include <gtest/gtest.h>

TEST(ViewTables, ThumbnailTables)
{
    const int sizes[] = {64, 96, 128, 192, 256};
    const int cells[] = {70, 102, 134, 198, 262};
    const int heights[] = {48, 72, 96, 144, 192};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ThumbIndexToSize(i), sizes[i]);
        EXPECT_EQ(ThumbSizeToCellSize(sizes[i]), cells[i]);
        EXPECT_EQ(ThumbSizeToImageSize(sizes[i]).height, heights[i]);
        EXPECT_EQ(ThumbSizeToSizeIndex(sizes[i]), 13 + i);
    }
    EXPECT_EQ(ThumbIndexToSize(5), 0);
    EXPECT_EQ(ThumbSizeToCellSize(100), 0);
    EXPECT_EQ(ThumbSizeToImageSize(100).height, 100);
    EXPECT_EQ(ThumbSizeToSizeIndex(100), 13);
}

TEST(ViewTables, FrameCountAndButtonBitmaps)
{
    EXPECT_EQ(GetThumbFrameBitmapIds(64, 0).normal, 429);
    EXPECT_EQ(GetThumbFrameBitmapIds(64, 0).selected, 431);
    EXPECT_EQ(GetThumbFrameBitmapIds(64, 1).normal, 430);
    EXPECT_EQ(GetThumbFrameBitmapIds(256, 1).selected, 448);
    EXPECT_EQ(GetThumbFrameBitmapIds(192, 0).selected, 443);
    EXPECT_EQ(CountToBitmapId(1), 386);
    EXPECT_EQ(CountToBitmapId(9), 394);
    EXPECT_EQ(CountToBitmapId(10), 386);
    EXPECT_EQ(ImageSizeButtonSet(0, 3), 21);
    EXPECT_EQ(ImageSizeButtonSet(3, 3), 25);
    EXPECT_EQ(ImageSizeButtonSet(9, 1), 19);
}

TEST(ViewTables, OrientationOfQuarterTurns)
{
    const int expected[] = {1, 8, 3, 6};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(RotationToOrientation(i), expected[i]);
    EXPECT_EQ(RotationToOrientation(4), 1);
    EXPECT_EQ(RotationToOrientation(-1), 1);
}

TEST(ViewTables, ZoomSteps)
{
    struct { int current; bool up; int next; } cases[] = {
        {66, true, 100}, {100, false, 66}, {800, true, 0}, {12, false, 0},
        {75, true, 100}, {75, false, 100}, {12, true, 16}, {800, false, 600},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetZoomStep(c.current, c.up), c.next) << c.current << (c.up ? " up" : " down");
}

TEST(ViewTables, FitToLongSide)
{
    struct { int32_t w, h, limit, ew, eh; } cases[] = {
        {1600, 1200, 258, 256, 192},
        {1200, 1600, 258, 192, 256},
        {500, 500, 320, 320, 320},
        {4000, 30, 320, 320, 4},   // a narrow picture keeps a side
        {640, 480, 3, 4, 4},       // limit below 4
        {0, 480, 320, 0, 0},
    };
    for (const auto& c : cases) {
        const PixelSize s = FitToLongSide(c.w, c.h, c.limit);
        EXPECT_EQ(s.width, c.ew) << c.w << "x" << c.h << "/" << c.limit;
        EXPECT_EQ(s.height, c.eh) << c.w << "x" << c.h << "/" << c.limit;
    }
}
