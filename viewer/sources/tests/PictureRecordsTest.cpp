#include "viewer/sources/PictureRecords.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureRecords, FreeingAnEntryArrayEmptiesItAndIsHarmlessTwice) {
    FileInfoArray list;
    FreeFileInfoArray(list);
    EXPECT_TRUE(list.empty());
    list.push_back({"100ABCDE", 0, "ABCD0001.JPG", 0, 1, 0, 5, 10});
    list.push_back({"100ABCDE", 0, "ABCD0002.JPG", 0, 0, 1, 6, 11});
    FreeFileInfoArray(list);
    EXPECT_TRUE(list.empty());
    FreeFileInfoArray(list);
    EXPECT_TRUE(list.empty());
}

std::unique_ptr<PictureRecord> recordWithTiles() {
    auto r = std::make_unique<PictureRecord>();
    r->name = "ABCD0001.JPG";
    r->tilesAcross = 2;
    r->tilesDown = 1;
    r->blocks.resize(2);
    r->shotInfo = std::make_unique<ShotInfo>();
    r->shotInfo->model = "M1";
    return r;
}

TEST(PictureRecords, FreeWithFlagClearKeepsNameAndShotInfo) {
    auto r = recordWithTiles();
    FreePictureRecord(r, false);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->blocks.empty());
    EXPECT_EQ(r->tilesAcross * r->tilesDown, 0u);
    EXPECT_EQ(r->name, "ABCD0001.JPG");
    ASSERT_TRUE(r->shotInfo);
    EXPECT_EQ(*r->shotInfo->model, "M1");
}

TEST(PictureRecords, FreeWithFlagSetLeavesNothing) {
    auto r = recordWithTiles();
    FreePictureRecord(r, true);
    EXPECT_FALSE(r);
    FreePictureRecord(r, true);  // a null record is fine
}

TEST(PictureRecords, ShotInfoStartsWithMissingValues) {
    ShotInfo s;
    EXPECT_FALSE(s.dateTime);
    EXPECT_EQ(s.pixelWidth, -1);
    EXPECT_EQ(s.xResolution, -1.0);
    EXPECT_EQ(s.maker80094, 0x7FFFFFFF);
    EXPECT_EQ(s.hasFocalLength, 0);
}

TEST(PictureRecords, MovieNames) {
    EXPECT_TRUE(IsMovieName("ABCD0001.MOV"));
    EXPECT_TRUE(IsMovieName("abcd0001.mov"));
    EXPECT_FALSE(IsMovieName("ABCD0001.JPG"));
    EXPECT_FALSE(IsMovieName("MOV"));
}

}  // namespace
