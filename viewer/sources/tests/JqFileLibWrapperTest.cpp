#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "viewer/sources/JqFileLib.h"
#include "viewer/sources/tests/LibraryFixture.h"

namespace fs = std::filesystem;

namespace {

TEST(JqFileLibWrapper, WithoutTheLibraryEveryOperationIsInert) {
    plat::testing::TempRoot root;  // no library installed
    CJqFileLib lib("/nowhere/ABCD0001.JPG");
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(lib.Initialize(), 0);
    EXPECT_EQ(lib.OpenFile(), 0);
    int32_t w = -5, h = -5, d = -5, m = -5;
    EXPECT_EQ(lib.GetImageInfo(&w, &h, &d, &m), 0);
    EXPECT_EQ(w, -5);  // outputs untouched
    EXPECT_EQ(lib.FileId(), 0u);
    int32_t flag = 7;
    EXPECT_EQ(lib.HasExifVersion(&flag), 0);
    EXPECT_EQ(flag, 7);
    EXPECT_EQ(lib.Terminate(), 0);
}

TEST(JqFileLibWrapper, ReadsGeometryPixelsAndExifFlag) {
    LibraryRoot root;
    const fs::path pic = root.folder("pics") / "ABCD0001.JPG";
    LibraryRoot::writeJpeg(pic, 120, 90);
    CJqFileLib lib(pic.string());
    ASSERT_TRUE(lib.IsLoaded());
    ASSERT_EQ(lib.Initialize(), 0);
    ASSERT_EQ(lib.OpenFile(), 0);
    EXPECT_NE(lib.FileId(), 0u);
    ASSERT_EQ(lib.GetFileType(), 0);
    EXPECT_EQ(lib.FileType(), JQFL_TYPE_JPEG);
    int32_t w = 0, h = 0, d = 0, m = 0;
    ASSERT_EQ(lib.GetImageInfo(&w, &h, &d, &m), 0);
    EXPECT_EQ(w, 120);
    EXPECT_EQ(h, 90);
    std::vector<uint8_t> px(120 * 90 * 3);
    ASSERT_EQ(lib.ReadImage(0, 0, 120, 90, static_cast<uint32_t>(px.size()), px.data()), 0);
    EXPECT_EQ(lib.LastRectSize(), px.size());
    EXPECT_GT(px[0], 200);
    int32_t flag = 5;
    lib.HasExifVersion(&flag);
    EXPECT_EQ(flag, 0);
    lib.CloseFile();
    lib.Terminate();
}

TEST(JqFileLibWrapper, WorkFilesAreNotSharedBetweenObjects) {
    LibraryRoot root;
    CJqFileLib a("E:\\DCIM\\100ABCDE\\ABCD0001.JPG");
    CJqFileLib b("E:/DCIM/100ABCDE/ABCD0001.TIF");
    EXPECT_NE(a.WorkFilePath(), b.WorkFilePath());
    EXPECT_NE(a.WorkFilePath().find("/ABCD0001-"), std::string::npos);
    EXPECT_EQ(a.WorkFilePath().substr(a.WorkFilePath().size() - 4), ".swp");
}

TEST(JqFileLibWrapper, BlankText) {
    struct Case {
        const char* text;
        int32_t length;
        int32_t blank;
    } cases[] = {{nullptr, 3, 1}, {"", 3, 1}, {"abc", 0, 1}, {"   ", 3, 1}, {"  x", 3, 0},
                 {"  x", 2, 1},   {" ", 4, 0}, {"a", 1, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(CJqFileLib::IsBlankText(c.text, c.length), c.blank) << (c.text ? c.text : "null") << c.length;
}

TEST(JqFileLibWrapper, ShootingInformationFromTags) {
    LibraryRoot root;
    const fs::path pic = root.folder("pics") / "ABCD0002.JPG";
    LibraryRoot::writeJpeg(pic, 64, 48);
    ASSERT_TRUE(LibraryRoot::exiftool(
        "-Model=M-100 -ModifyDate='2024:03:05 10:11:12' -ExposureTime=1/125 -FNumber=2.8 -ExifIFD:Flash#=16 "
        "-ExifVersion=0230 -FocalLength=35 -ExposureCompensation=-0.33 -XResolution=72 -YResolution=72 "
        "-UserComment='nice day' -Artist='   ' -MeteringMode#=5",
        pic));
    CJqFileLib lib(pic.string());
    ASSERT_EQ(lib.Initialize(), 0);
    ASSERT_EQ(lib.OpenFile(), 0);
    ASSERT_EQ(lib.GetFileType(), 0);
    int32_t exif = 0;
    lib.HasExifVersion(&exif);
    EXPECT_EQ(exif, 1);
    ShotInfo s;
    EXPECT_EQ(lib.BuildShotInfo(&s, JQFL_MODEL_RGB), 1);
    ASSERT_TRUE(s.dateTime);
    EXPECT_EQ(s.dateTime->year, 2024);
    EXPECT_EQ(s.dateTime->second, 12.0);
    EXPECT_EQ(s.pixelWidth, 64);
    EXPECT_EQ(s.pixelHeight, 48);
    EXPECT_EQ(s.colorModel, JQFL_MODEL_RGB);
    EXPECT_EQ(*s.model, "M-100");
    EXPECT_EQ(*s.userComment, "nice day");
    EXPECT_FALSE(s.artist);  // blank text counts as absent
    EXPECT_EQ(*s.exposureTime, "1/125");
    EXPECT_EQ(*s.fNumber, "F2.8");
    EXPECT_EQ(s.flash, 0);  // 16: flash did not fire
    EXPECT_EQ(s.hasFocalLength, 1);
    EXPECT_DOUBLE_EQ(s.focalLength, 35.0);
    EXPECT_EQ(s.hasExposureBias, 1);
    EXPECT_NEAR(s.exposureBias, -0.33, 0.01);
    EXPECT_DOUBLE_EQ(s.xResolution, 72.0);
    EXPECT_EQ(s.meteringMode, 5);
    EXPECT_EQ(s.bitsPerSample, 8);
    EXPECT_EQ(s.exposureProgram, -1);
    EXPECT_EQ(s.maker80094, 0x7FFFFFFF);
    lib.CloseFile();
    lib.Terminate();
}

TEST(JqFileLibWrapper, ExposureTimesAsCamerasMeanThem) {
    LibraryRoot root;
    const fs::path pic = root.folder("pics") / "ABCD0003.JPG";
    LibraryRoot::writeJpeg(pic, 16, 16);
    const std::pair<const char*, const char*> cases[] = {
        {"1/125", "1/125"}, {"0.25", "1/4"}, {"0.5", "0.5"}, {"0.8", "0.8"}, {"1.3", "1.3"},
    };
    for (const auto& [written, shown] : cases) {
        ASSERT_TRUE(LibraryRoot::exiftool(std::string("-ExifVersion=0230 -ExposureTime=") + written,
                                          pic));
        CJqFileLib lib(pic.string());
        ASSERT_EQ(lib.Initialize(), 0);
        ASSERT_EQ(lib.OpenFile(), 0);
        ShotInfo s;
        lib.BuildShotInfo(&s, JQFL_MODEL_RGB);
        ASSERT_TRUE(s.exposureTime) << written;
        EXPECT_EQ(*s.exposureTime, shown) << written;
        lib.CloseFile();
        lib.Terminate();
    }
}

}  // namespace
