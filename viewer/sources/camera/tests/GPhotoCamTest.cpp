// The camera module over libgphoto2, driven by the camera controller, with a
// folder of real camera pictures served through the library's "Directory
// Browse" driver: what the simulated camera's tests cannot show (real files,
// the library's own limits, large copies, a camera that goes mid-copy).
#include <glob.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/CameraModule.h"
#include "viewer/sources/camera/tests/CameraTestSupport.h"

namespace fs = std::filesystem;
using namespace camtest;

namespace {

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Photographs from a camera, with their EXIF blocks (the desktop's wallpapers).
std::vector<fs::path> CameraPhotographs(size_t count)
{
    std::vector<fs::path> paths;
    glob_t found{};
    if (::glob("/usr/share/wallpapers/*/contents/images/*.jpg", 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
    ::globfree(&found);
    std::sort(paths.begin(), paths.end());
    // Different pictures, not the same one at several sizes.
    std::vector<fs::path> chosen;
    std::string lastTheme;
    for (const fs::path& p : paths) {
        const std::string theme = p.parent_path().parent_path().parent_path().filename().string();
        if (theme == lastTheme) continue;
        std::ifstream in(p, std::ios::binary);
        std::string start(4096, '\0');
        in.read(start.data(), static_cast<std::streamsize>(start.size()));
        if (start.find(std::string("Exif\0\0", 6)) == std::string::npos) continue;  // not from a camera
        lastTheme = theme;
        chosen.push_back(p);
        if (chosen.size() == count) break;
    }
    return chosen;
}

class GPhotoCamTest : public ::testing::Test {
protected:
    GPhotoCamTest() : setup_(card_) {}

    std::unique_ptr<CRundleCtrl> Connect(JqIfMngResult expected = 0)
    {
        auto ctrl = std::make_unique<CRundleCtrl>(DeviceFor(Road::GPhoto));
        EXPECT_EQ(ctrl->Initialize(), expected);
        return ctrl;
    }

    // Real photographs as IMG_0001.JPG.. in 100CAMRA; their sources.
    std::vector<fs::path> AddPhotographs(size_t count)
    {
        std::vector<fs::path> photos = CameraPhotographs(count);
        card_.AddFolder("100CAMRA");
        for (size_t i = 0; i < photos.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04zu.JPG", i + 1);
            fs::copy_file(photos[i], card_.PathOf("100CAMRA", name));
        }
        return photos;
    }

    bool DestEmpty() const { return fs::is_empty(card_.dest()); }

    CameraCard card_;
    CameraSetup setup_;
};

TEST_F(GPhotoCamTest, ListsThumbnailsAndCopiesRealPhotographsByteForByte)
{
    const std::vector<fs::path> photos = AddPhotographs(3);
    if (photos.size() < 3) GTEST_SKIP() << "no photographs on this machine";
    auto ctrl = Connect();
    std::vector<std::string> names;
    std::vector<int32_t> numbers;
    ASSERT_EQ(ctrl->GetFolderList(names, numbers), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"100CAMRA"}));
    FileInfoArray entries;
    ASSERT_EQ(ctrl->GetImgFileInfList(1, entries, nullptr), 3);
    for (size_t i = 0; i < photos.size(); ++i) {
        SCOPED_TRACE(photos[i].string());
        EXPECT_EQ(entries[i].size, fs::file_size(photos[i]));
        RundleThumbDescription description;
        std::vector<uint8_t> pixels;
        ASSERT_EQ(ctrl->GetThumbImage(1, static_cast<int32_t>(i + 1), &description, pixels), 0);
        EXPECT_GT(description.width, 8u);  // the picture itself, reduced; not the grey stand-in
        EXPECT_LE(description.width, 1000u);
        EXPECT_EQ(description.colourCode, 32u);
        EXPECT_EQ(pixels.size(), description.rowBytes * description.height);

        const std::string name = entries[i].fileName;
        ASSERT_EQ(ctrl->GetImageFileHeader(1, static_cast<int32_t>(i + 1), name, card_.dest().string()), 0);
        const std::string header = ReadAll(card_.dest() / name);
        EXPECT_NE(header.find("Exif"), std::string::npos);  // the camera's EXIF block is in the header
        fs::remove(card_.dest() / name);

        ASSERT_EQ(ctrl->GetImageFile(1, static_cast<int32_t>(i + 1), name, card_.dest().string(), false, false), 0);
        EXPECT_EQ(ReadAll(card_.dest() / name), ReadAll(photos[i]));
    }
}

TEST_F(GPhotoCamTest, FoldersOfEveryStorageHaveSafeUniqueNames)
{
    // Two storages with a DCIM each, as a camera with two card slots shows them.
    for (const char* storage : {"store_00010001", "store_00020001"}) {
        fs::create_directories(card_.root() / storage / "DCIM" / "100CAMRA");
        fs::create_directories(card_.root() / storage / "DCIM" / "Camera roll");
        std::ofstream(card_.root() / storage / "DCIM" / "100CAMRA" / "IMG_0001.JPG") << MakeJpegBytes(32, 24);
    }
    fs::remove_all(card_.root() / "DCIM");
    auto ctrl = Connect();
    std::vector<std::string> names;
    std::vector<int32_t> numbers;
    ASSERT_EQ(ctrl->GetFolderList(names, numbers), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"100CAMRA", "Camera_roll", "100CAMRA_2", "Camera_roll_2"}));
    EXPECT_EQ(ctrl->GetFileNum(3), 1);
    ASSERT_EQ(ctrl->GetImageFile(3, 1, "IMG_0001.JPG", card_.dest().string(), false, false), 0);
    EXPECT_EQ(ReadAll(card_.dest() / "IMG_0001.JPG"),
              ReadAll(card_.root() / "store_00020001" / "DCIM" / "100CAMRA" / "IMG_0001.JPG"));
}

TEST_F(GPhotoCamTest, DeletesPicturesAndFolders)
{
    card_.MakeStandard();
    auto ctrl = Connect();
    EXPECT_EQ(ctrl->DeleteImage(1, 1), 0);
    EXPECT_FALSE(fs::exists(card_.PathOf("100TEST", "IMG_0001.JPG")));
    std::vector<std::string> names;
    std::vector<int32_t> numbers;
    ASSERT_EQ(ctrl->GetImgFileList(1, names, numbers, nullptr), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_0002.JPG", "IMG_0003.JPG"}));
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), 0);  // the controller's own delete is no change

    EXPECT_EQ(ctrl->DeleteFolder(2), 0);
    EXPECT_FALSE(fs::exists(card_.root() / "DCIM" / "101TEST"));
    EXPECT_EQ(ctrl->GetFolderNum(), 1);
}

TEST_F(GPhotoCamTest, WhatTheCameraCannotDoIsRefusedAndChangesNothing)
{
    card_.MakeStandard();
    auto ctrl = Connect();
    const std::string before = ReadAll(card_.PathOf("100TEST", "IMG_0001.JPG"));
    EXPECT_EQ(ctrl->SetHideStats(1, 1, true), JqIfMngResult_AttributeFailed1);
    EXPECT_EQ(ctrl->SetProtectStats(1, 1, true), JqIfMngResult_AttributeFailed2);
    EXPECT_EQ(ctrl->_GetAttribute(1, 1), 0);
    EXPECT_NE(ctrl->FormatCFCard(), 0);
    EXPECT_EQ(ReadAll(card_.PathOf("100TEST", "IMG_0001.JPG")), before);
    EXPECT_EQ(ctrl->GetFileNum(1), 4);
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), 0);  // still connected and usable
}

TEST_F(GPhotoCamTest, LargeCopyReportsProgressAllTheWay)
{
    // A photograph with a long tail, as large as a camera's raw file.
    std::vector<fs::path> photos = CameraPhotographs(1);
    std::string bytes = photos.empty() ? MakeJpegBytes(640, 480) : ReadAll(photos[0]);
    while (bytes.size() < (24u << 20)) bytes += bytes.substr(0, std::min<size_t>(bytes.size(), (24u << 20) - bytes.size()));
    card_.AddFile("100CAMRA", "BIG_0001.JPG", bytes);
    CameraSetup::WriteGPhotoConfig(card_, 256u << 10);
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->GetImageFileCallBack(1, 1, "BIG_0001.JPG", card_.dest().string()), 0);
    uint32_t done = 0, total = 0, last = 0;
    int32_t result = 0;
    int advances = 0;
    while (!ctrl->SavingImage(&done, &total, &result)) {
        EXPECT_GE(done, last);
        if (done > last) ++advances;
        last = done;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(total, bytes.size());
    EXPECT_EQ(done, total);
    EXPECT_GE(advances, 50);  // every step of the copy is reported, not only its end
    EXPECT_EQ(ReadAll(card_.dest() / "BIG_0001.JPG"), bytes);
}

TEST_F(GPhotoCamTest, CameraGoneMidCopyLeavesNoFileAndComesBackLater)
{
    card_.AddFile("100CAMRA", "BIG_0001.JPG", MakeJpegBytes(640, 480) + std::string(4u << 20, 'x'));
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->GetImageFileCallBack(1, 1, "BIG_0001.JPG", card_.dest().string()), 0);
    const fs::path away = card_.dir() / "away";
    uint32_t done = 0, total = 0;
    int32_t result = 0;
    while (!ctrl->SavingImage(&done, &total, &result)) {
        if (done > 0 && !fs::exists(away)) fs::rename(card_.root(), away);  // unplugged
    }
    ASSERT_TRUE(fs::exists(away));
    EXPECT_EQ(result, JqIfMngResult_ConnectionLost);
    EXPECT_TRUE(DestEmpty());
    EXPECT_EQ(ctrl->IsTargetStatus("100CAMRA"), JqIfMngResult_StatusNoPower);
    ctrl->Close();

    fs::rename(away, card_.root());  // plugged in again
    EXPECT_EQ(ctrl->Initialize(), 0);
    ASSERT_EQ(ctrl->GetImageFile(1, 1, "BIG_0001.JPG", card_.dest().string(), false, false), 0);
    EXPECT_EQ(ReadAll(card_.dest() / "BIG_0001.JPG"), ReadAll(card_.PathOf("100CAMRA", "BIG_0001.JPG")));
}

// The device monitor's probe: it finds the camera and its model without holding
// the camera, so the viewer can open it at the same time.
TEST_F(GPhotoCamTest, MonitorProbeLeavesTheCameraFreeForTheViewer)
{
    card_.MakeStandard();
    CCameraModule probe(GPHOTOCAM_MODULE_PATH);
    ASSERT_EQ(probe.InitModule(), 0);
    ASSERT_EQ(probe.GetChildren().size(), 1u);
    CDynString name;
    ASSERT_EQ(probe.GetChildren()[0]->GetText9(name), 0);
    EXPECT_STREQ(name.GetString(), kDirectoryBrowse);
    while (CAsyncScheduler::PollScheduler() != 0) {
    }
    EXPECT_EQ(probe.IsCameraPresent(), 1);

    auto ctrl = Connect();
    EXPECT_EQ(ctrl->GetFolderNum(), 2);
    ctrl->Close();

    fs::remove_all(card_.root());  // unplugged
    for (int i = 0; i < 500 && !probe.GetChildren().empty(); ++i) {
        CameraSleep(10);
        while (CAsyncScheduler::PollScheduler() != 0) {
        }
    }
    EXPECT_TRUE(probe.GetChildren().empty());
    EXPECT_EQ(probe.IsCameraPresent(), 0);
    probe.Close();
}

}  // namespace
