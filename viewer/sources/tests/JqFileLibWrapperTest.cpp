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

// Pictures whose maker notes Exiv2 wrote as Canon and Nikon cameras lay them
// out (tests/pictures): the camera settings reach the shooting information,
// with the composed texts of the lens, the firmware and an uncoded focus mode.
TEST(JqFileLibWrapper, ShootingInformationFromTheMakerNote) {
    LibraryRoot root;
    struct Case {
        const char* file;
        int32_t quality, whiteBalance, focusMode, shutterCount;
        const char* focusText;
        const char* lens;
        const char* firmware;
    } cases[] = {
        {"canon-makernote.jpg", 0, 3, 0x2001, -1, nullptr, "18-135 mm", "Firmware Version 1.1.2"},
        {"nikon-makernote.jpg", 0, -1, -1, 12345, "AF-F", "18-105mm F3.5-5.6", "Ver.1.03"},
    };
    for (const Case& c : cases) {
        const fs::path pic = root.folder("pics") / c.file;
        fs::copy_file(fs::path(SOURCES_TEST_PICTURES) / c.file, pic, fs::copy_options::overwrite_existing);
        CJqFileLib lib(pic.string());
        ASSERT_EQ(lib.Initialize(), 0);
        ASSERT_EQ(lib.OpenFile(), 0);
        ASSERT_EQ(lib.GetFileType(), 0);
        ShotInfo s;
        EXPECT_EQ(lib.BuildShotInfo(&s, JQFL_MODEL_RGB), 1);
        EXPECT_EQ(s.maker80004, c.quality) << c.file;
        EXPECT_EQ(s.maker80005, c.whiteBalance) << c.file;
        EXPECT_EQ(s.maker80082, c.focusMode) << c.file;
        EXPECT_EQ(s.maker80092, c.shutterCount) << c.file;
        EXPECT_EQ(s.maker80083Text.value_or("(none)"), c.focusText ? c.focusText : "(none)") << c.file;
        EXPECT_EQ(s.maker30001Text.value_or("(none)"), c.lens) << c.file;
        EXPECT_EQ(s.maker30003Text.value_or("(none)"), c.firmware) << c.file;
        lib.CloseFile();
        lib.Terminate();
    }
}

TEST(JqFileLibWrapper, ComposedMakerTexts) {
    using Text = std::optional<std::string>;
    EXPECT_EQ(JoinedMakerText(Text("AF-F"), Text("Single area")), "AF-F (Single area)");
    EXPECT_EQ(JoinedMakerText(std::nullopt, Text("Single area")), "Single area");
    EXPECT_EQ(JoinedMakerText(std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(FocalRangeText(18, 135), "18-135 mm");
    EXPECT_EQ(FocalRangeText(50, 50), "50 mm");
    EXPECT_EQ(FocalRangeText(4.5, 13.5), "4.5-13.5 mm");
    EXPECT_EQ(FocalRangeText(0, 35), std::nullopt);
    EXPECT_EQ(FocalRangeText(35, 18), std::nullopt);
    EXPECT_EQ(LensText(Text("EF-S18-135mm f/3.5-5.6"), Text("18-135 mm")), "EF-S18-135mm f/3.5-5.6");
    EXPECT_EQ(LensText(Text("LUMIX G VARIO"), Text("14-42 mm")), "LUMIX G VARIO (14-42 mm)");
    EXPECT_EQ(LensText(std::nullopt, Text("14-42 mm")), "14-42 mm");
}

}  // namespace
