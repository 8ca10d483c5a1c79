// The controller's call sequences against the simulated camera, in-process and
// through the module file, and against the same card served through libgphoto2
// by the camera module over that library.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/thread/Event.h"
#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/CameraModule.h"
#include "viewer/sources/camera/CameraSource.h"
#include "viewer/sources/camera/tests/CameraTestSupport.h"

namespace fs = std::filesystem;
using namespace camtest;

namespace {

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class RundleCtrlTest : public ::testing::TestWithParam<Road> {
protected:
    RundleCtrlTest() : setup_(card_) {}

    std::unique_ptr<CRundleCtrl> Connect(JqIfMngResult expected = 0)
    {
        auto ctrl = std::make_unique<CRundleCtrl>(DeviceFor(GetParam()));
        EXPECT_EQ(ctrl->Initialize(), expected);
        return ctrl;
    }

    // What the library's folder driver cannot do (hide, protect, format, the
    // picture's own date) is checked on the simulated camera only.
    bool SimulatedOnly() const { return GetParam() == Road::GPhoto; }

    CameraCard card_;
    CameraSetup setup_;
};

#define SIMULATED_ONLY() \
    if (SimulatedOnly()) GTEST_SKIP() << "the folder driver of the camera library has no such feature"

TEST_P(RundleCtrlTest, ConnectsListsFoldersAndPictures)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    EXPECT_EQ(ctrl->GetFolderNum(), 2);
    std::vector<std::string> names;
    std::vector<int32_t> numbers;
    ASSERT_EQ(ctrl->GetFolderList(names, numbers), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"100TEST", "101TEST"}));
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(ctrl->SearchFolderId("101test"), 2);
    EXPECT_EQ(ctrl->SearchFolderId("NOPE"), JqIfMngResult_FolderNotFound);
    int32_t result = 1;
    EXPECT_TRUE(ctrl->IsFolder("100TEST", &result));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(ctrl->IsFolder("NOPE", &result));
    EXPECT_EQ(result, JqIfMngResult_FolderNotFound);

    // Five files in the first folder: the TXT is no picture, the empty JPG is never listed.
    // The camera library's folder driver shows only pictures and films, as a camera would.
    EXPECT_EQ(ctrl->GetFileNum(1), SimulatedOnly() ? 4 : 5);
    ASSERT_EQ(ctrl->GetImgFileList(1, names, numbers, nullptr), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"}));
    FileInfoArray entries;
    ASSERT_EQ(ctrl->GetImgFileInfList(2, entries, nullptr), 2);
    EXPECT_EQ(entries[0].fileName, "IMG_0101.JPG");
    EXPECT_EQ(entries[1].fileId, 2);
    EXPECT_GT(entries[0].size, 0u);
    EXPECT_TRUE(ctrl->IsFile(1, "img_0002.jpg"));
    EXPECT_FALSE(ctrl->IsFile(1, "NOTES.TXT"));
    EXPECT_EQ(ctrl->IsExistFile(1, "NOTES.TXT"), 0);
    EXPECT_EQ(ctrl->IsExistFile(1, "IMG_0003.JPG"), 3);  // sorted: IMG_0001..0004, NOTES
    EXPECT_EQ(ctrl->_SearchFileId(1, "MISSING.JPG"), JqIfMngResult_NotFound);
}

TEST_P(RundleCtrlTest, ListModesFilterByProtectionAndHiding)
{
    SIMULATED_ONLY();
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->SetProtectStats(1, 1, true), 0);
    ASSERT_EQ(ctrl->SetHideStats(1, 2, true), 0);
    EXPECT_EQ(ctrl->_GetAttribute(1, 1), 1);
    EXPECT_EQ(ctrl->_GetAttribute(1, 2), 2);
    struct Case {
        bool checkHide;
        int32_t mode;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {false, 0, {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"}},
        {true, 0, {"IMG_0001.JPG", "IMG_0003.JPG"}},
        {false, 1, {}},
        {false, 3, {"IMG_0001.JPG"}},
        {false, 4, {"IMG_0002.JPG", "IMG_0003.JPG"}},
    };
    for (const Case& c : cases) {
        FileInfoArray entries;
        EXPECT_EQ(ctrl->GetImgFileInfList(1, entries, c.checkHide, c.mode, nullptr), static_cast<int32_t>(c.names.size()));
        std::vector<std::string> got;
        for (const FileListEntry& e : entries) got.push_back(e.fileName);
        EXPECT_EQ(got, c.names) << "mode " << c.mode << " hide " << c.checkHide;
    }
    FileInfoArray entries;
    ctrl->GetImgFileInfList(1, entries, nullptr);
    EXPECT_EQ(entries[0].protect, 1);
    EXPECT_EQ(entries[1].hidden, 1);
    ASSERT_EQ(ctrl->SetProtectStats(1, 1, false), 0);
    EXPECT_EQ(ctrl->_GetAttribute(1, 1), 0);
}

TEST_P(RundleCtrlTest, CancelledListIsEmpty)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    plat::Event cancel = plat::Event::create(plat::Event::Reset::Manual, true);
    FileInfoArray entries;
    EXPECT_EQ(ctrl->GetImgFileInfList(1, entries, &cancel), JqIfMngResult_Cancelled);
    EXPECT_TRUE(entries.empty());
    std::vector<std::string> names;
    std::vector<int32_t> numbers;
    EXPECT_EQ(ctrl->GetImgFileList(1, names, numbers, &cancel), JqIfMngResult_Cancelled);
}

TEST_P(RundleCtrlTest, CopiesWholePictureWithTimeAndAttributes)
{
    SIMULATED_ONLY();
    card_.MakeStandard();
    card_.WriteConfig();
    // A camera time before 1980 gives the copy the time of copying.
    struct timespec old[2] = {{0, UTIME_OMIT}, {315532800 - 86400 * 400, 0}};
    utimensat(AT_FDCWD, card_.PathOf("100TEST", "IMG_0002.JPG").c_str(), old, 0);
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->SetProtectStats(1, 2, true), 0);
    ASSERT_EQ(ctrl->GetImageFile(1, 2, "IMG_0002.JPG", card_.dest().string(), true, false), 0);
    const fs::path copy = card_.dest() / "IMG_0002.JPG";
    EXPECT_EQ(ReadAll(copy), ReadAll(card_.PathOf("100TEST", "IMG_0002.JPG")));
    struct stat st{};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_GT(st.st_mtime, 315532800);
    EXPECT_EQ(st.st_mode & 0222, 0u);  // protected on the camera: read-only here
    EXPECT_EQ(std::distance(fs::directory_iterator(card_.dest()), fs::directory_iterator()), 1);
    EXPECT_EQ(ctrl->GetImageFile(1, 4, "IMG_0004.JPG", card_.dest().string(), false, false), JqIfMngResult_NotFound);
}

TEST_P(RundleCtrlTest, CopyTakesTheCamerasTimeUnlessItIsBefore1980)
{
    SIMULATED_ONLY();
    card_.AddJpegWithDate("100TEST", "A.JPG", "2001:02:03 04:05:06");
    card_.AddJpegWithDate("100TEST", "B.JPG", "1975:01:01 00:00:00");
    card_.WriteConfig();
    auto ctrl = Connect();
    int64_t time = 0;
    uint32_t size = 0;
    ASSERT_EQ(ctrl->GetFileInfo(1, 1, &time, &size), 0);
    struct tm t{};
    t.tm_year = 101;
    t.tm_mon = 1;
    t.tm_mday = 3;
    t.tm_hour = 4;
    t.tm_min = 5;
    t.tm_sec = 6;
    t.tm_isdst = -1;
    EXPECT_EQ(time, static_cast<int64_t>(mktime(&t)));
    ASSERT_EQ(ctrl->GetImageFile(1, 1, "A.JPG", card_.dest().string(), false, false), 0);
    ASSERT_EQ(ctrl->GetImageFile(1, 2, "B.JPG", card_.dest().string(), false, false), 0);
    struct stat a{}, b{};
    ASSERT_EQ(stat((card_.dest() / "A.JPG").c_str(), &a), 0);
    ASSERT_EQ(stat((card_.dest() / "B.JPG").c_str(), &b), 0);
    EXPECT_EQ(static_cast<int64_t>(a.st_mtime), time);
    EXPECT_GT(b.st_mtime, 315532800);  // the time of copying, not 1975
}

TEST_P(RundleCtrlTest, StepwiseCopyReportsProgressAndRenamesAtTheEnd)
{
    card_.AddJpeg("100TEST", "BIG.JPG", 640, 480);
    card_.WriteConfig();
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->GetImageFileCallBack(1, 1, "BIG.JPG", card_.dest().string()), 0);
    uint32_t done = 0, total = 0;
    int32_t result = 0;
    int steps = 0;
    bool sawPartial = false;
    while (!ctrl->SavingImage(&done, &total, &result)) {
        ++steps;
        if (done > 0 && done < total) {
            sawPartial = true;
            EXPECT_FALSE(fs::exists(card_.dest() / "BIG.JPG"));
        }
    }
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(sawPartial);
    EXPECT_GT(steps, 2);
    EXPECT_EQ(done, total);
    EXPECT_EQ(ReadAll(card_.dest() / "BIG.JPG"), ReadAll(card_.PathOf("100TEST", "BIG.JPG")));
}

TEST_P(RundleCtrlTest, ReadsThumbnailAndHeader)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    RundleThumbDescription description;
    std::vector<uint8_t> pixels;
    ASSERT_EQ(ctrl->GetThumbImage(1, 2, &description, pixels), 0);
    EXPECT_EQ(description.width, 100u);  // reduced to at most 160 wide
    EXPECT_EQ(description.colourCode, 32u);
    EXPECT_EQ(description.one, 1u);
    EXPECT_EQ(pixels.size(), description.size);
    EXPECT_EQ(description.size, description.rowBytes * description.height);

    ASSERT_EQ(ctrl->GetImageFileHeader(1, 1, "IMG_0001.JPG", card_.dest().string()), 0);
    const std::string header = ReadAll(card_.dest() / "IMG_0001.JPG");
    ASSERT_GE(header.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(header[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(header[1]), 0xD8);
    EXPECT_EQ(static_cast<unsigned char>(header[header.size() - 1]), 0xD9);
}

TEST_P(RundleCtrlTest, DeletesProtectedPictureAndFolder)
{
    SIMULATED_ONLY();
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->IsTargetStatus("100TEST"), 0);
    ASSERT_EQ(ctrl->SetProtectStats(1, 1, true), 0);
    EXPECT_EQ(ctrl->DeleteImage(1, 1), 0);  // protection is cleared first
    EXPECT_FALSE(fs::exists(card_.PathOf("100TEST", "IMG_0001.JPG")));
    EXPECT_EQ(ctrl->GetFileNum(1), 4);
    // The controller's own delete is not reported as a change.
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), 0);

    ASSERT_EQ(ctrl->SetProtectStats(2, 1, true), 0);
    EXPECT_EQ(ctrl->DeleteFolder(2), 0);
    EXPECT_FALSE(fs::exists(card_.root() / "DCIM" / "101TEST"));
    EXPECT_EQ(ctrl->GetFolderNum(), 1);
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), 0);
}

TEST_P(RundleCtrlTest, CameraSideChangesShowInTheStatus)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->IsTargetStatus("100TEST"), 0);
    card_.AddJpeg("100TEST", "IMG_0005.JPG");
    // The module notices on its idle call, the status check after the settle time.
    JqIfMngResult r = 0;
    for (int i = 0; i < 200 && r == 0; ++i) {
        CameraSleep(10);
        r = ctrl->IsTargetStatus("100TEST");
    }
    EXPECT_EQ(r, JqIfMngResult_StatusFilesChanged);
    EXPECT_EQ(ctrl->GetFileNum(1), SimulatedOnly() ? 5 : 6);
    card_.AddJpeg("102TEST", "IMG_0201.JPG");
    r = 0;
    for (int i = 0; i < 200 && r == 0; ++i) {
        CameraSleep(10);
        r = ctrl->IsTargetStatus("100TEST");
    }
    EXPECT_EQ(r, JqIfMngResult_StatusFoldersChanged);
}

TEST_P(RundleCtrlTest, PicturesAddedAndRemovedOnTheCameraKeepTheirOrder)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    ASSERT_EQ(ctrl->IsTargetStatus("100TEST"), 0);
    // Both changes at once: a module that looks at the card from a thread of its
    // own must not see one without the other.
    const fs::path folder = card_.root() / "DCIM" / "100TEST";
    const fs::path next = card_.dir() / "next";
    fs::copy(folder, next);
    camtest::CameraCard other;
    other.AddJpeg("100TEST", "IMG_0000.JPG");  // sorts first
    fs::copy(other.PathOf("100TEST", "IMG_0000.JPG"), next / "IMG_0000.JPG");
    fs::remove(next / "IMG_0002.JPG");
    ASSERT_EQ(::renameat2(AT_FDCWD, next.c_str(), AT_FDCWD, folder.c_str(), RENAME_EXCHANGE), 0);
    fs::remove_all(next);
    JqIfMngResult r = 0;
    for (int i = 0; i < 200 && r == 0; ++i) {
        CameraSleep(10);
        r = ctrl->IsTargetStatus("100TEST");
    }
    EXPECT_EQ(r, JqIfMngResult_StatusFilesChanged);
    std::vector<std::string> names;
    std::vector<int32_t> numbers;
    ASSERT_EQ(ctrl->GetImgFileList(1, names, numbers, nullptr), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_0000.JPG", "IMG_0001.JPG", "IMG_0003.JPG"}));
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), 0);
}

TEST_P(RundleCtrlTest, FormatLeavesNoMediumAndTheNextStatusSays103)
{
    SIMULATED_ONLY();
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    EXPECT_EQ(ctrl->FormatCFCard(), 0);
    EXPECT_TRUE(fs::is_empty(card_.root() / "DCIM"));
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), JqIfMngResult_StatusNotOurs);
}

TEST_P(RundleCtrlTest, EmptyCameraConnectsWith103)
{
    card_.AddFolder("100TEST");
    card_.WriteConfig();
    auto ctrl = Connect(JqIfMngResult_StatusNotOurs);
    EXPECT_NE(ctrl->GetSource(), nullptr);
}

TEST_P(RundleCtrlTest, FirstStatusOneGivesMinus110Once)
{
    SIMULATED_ONLY();
    card_.MakeStandard();
    card_.WriteConfig({"status=1"});
    auto ctrl = Connect();
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), JqIfMngResult_Module135);
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), 0);
}

TEST_P(RundleCtrlTest, NamesThatLeaveTheDestinationAreRefused)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    for (const char* name : {"../x.JPG", "a/b.JPG", "..", "a\\b.JPG"}) {
        EXPECT_EQ(ctrl->GetImageFile(1, 1, name, card_.dest().string(), false, false), JqIfMngResult_Failed) << name;
        EXPECT_EQ(ctrl->GetImageFileHeader(1, 1, name, card_.dest().string()), JqIfMngResult_Failed) << name;
    }
    EXPECT_FALSE(fs::exists(card_.dir() / "x.JPG"));
}

TEST_P(RundleCtrlTest, CopyIntoAMissingFolderFailsAndLeavesNothing)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    const fs::path missing = card_.dest() / "missing";
    EXPECT_EQ(ctrl->GetImageFile(1, 1, "IMG_0001.JPG", missing.string(), false, false), JqIfMngResult_ModuleMinus235);
    EXPECT_EQ(ctrl->GetImageFileHeader(1, 1, "IMG_0001.JPG", missing.string()), JqIfMngResult_ModuleMinus235);
    EXPECT_FALSE(fs::exists(missing));
}

TEST_P(RundleCtrlTest, ReconnectsAfterClose)
{
    card_.MakeStandard();
    card_.WriteConfig();
    auto ctrl = Connect();
    ctrl->Close();
    EXPECT_EQ(ctrl->GetFolderNum(), 0);
    EXPECT_EQ(ctrl->Initialize(), 0);
    EXPECT_EQ(ctrl->GetFolderNum(), 2);
}

INSTANTIATE_TEST_SUITE_P(Roads, RundleCtrlTest, ::testing::Values(Road::InProcess, Road::Dlopen, Road::GPhoto),
                         [](const auto& info) { return RoadName(info.param); });

TEST(RundleCtrlTables, ChkErrMapsModuleResults)
{
    const std::pair<int32_t, JqIfMngResult> rows[] = {
        {0, 0}, {-255, -120}, {-254, -119}, {-253, -119}, {-252, -118}, {-241, -99}, {-239, -116}, {-235, -116},
        {-122, -115}, {-118, -118}, {-116, -113}, {132, -112}, {134, -111}, {142, -111}, {135, -110}, {147, -110},
        {141, -109}, {200, -92}, {1, -114}, {2, -114}, {999, -114}, {-123, -114}, {140, -114},
    };
    for (const auto& [module, expected] : rows) EXPECT_EQ(CRundleCtrl::ChkErr(module), expected) << module;
}

TEST(RundleCtrlTables, ExtensionAndColourCode)
{
    EXPECT_TRUE(CRundleCtrl::_ChkExtension("a.jpg"));
    EXPECT_TRUE(CRundleCtrl::_ChkExtension("B.TiF"));
    EXPECT_TRUE(CRundleCtrl::_ChkExtension(".RWQ"));
    EXPECT_TRUE(CRundleCtrl::_ChkExtension("M.mov"));
    EXPECT_FALSE(CRundleCtrl::_ChkExtension("JPG"));
    EXPECT_FALSE(CRundleCtrl::_ChkExtension("a.jpeg"));
    const uint32_t codes[] = {2, 2, 32, 32, 34, 36, 35, 32, 32, 32, 32, 32, 32, 32, 32};
    for (uint32_t model = 0; model < 15; ++model) EXPECT_EQ(CRundleCtrl::ColourCodeOf(model), codes[model]) << model;
}

}  // namespace

namespace {

// The device monitor's probe: load the module, walk its sources by name, run
// the scheduler until it has no more work, read the camera-present flag.
TEST(MonitorProbe, FindsTheCameraAndSeesItGo)
{
    CameraCard card;
    CameraSetup setup(card);
    card.MakeStandard();
    card.WriteConfig();
    CDynString path(SIMCAM_MODULE_PATH);
    auto* module = new CCameraModule(path);
    ASSERT_EQ(module->InitModule(), 0);
    ASSERT_EQ(module->GetChildren().size(), 1u);
    CDynString name;
    ASSERT_EQ(module->GetChildren()[0]->GetText9(name), 0);
    EXPECT_STREQ(name.GetString(), "Snapwren310");
    while (CAsyncScheduler::PollScheduler() != 0) {
    }
    EXPECT_EQ(module->IsCameraPresent(), 1);

    std::filesystem::remove_all(card.root());  // unplugged
    for (int i = 0; i < 100 && !module->GetChildren().empty(); ++i) {
        CameraSleep(10);
        while (CAsyncScheduler::PollScheduler() != 0) {
        }
    }
    EXPECT_TRUE(module->GetChildren().empty());
    EXPECT_EQ(module->IsCameraPresent(), 0);
    module->Close();
    delete module;
}

TEST(MonitorProbe, CameraWithoutMediumIsNotPresent)
{
    CameraCard card;
    CameraSetup setup(card);
    card.MakeStandard();
    card.WriteConfig({"state=2"});
    CCameraModule module(SIMCAM_MODULE_PATH);
    ASSERT_EQ(module.InitModule(), 0);
    EXPECT_EQ(module.GetChildren().size(), 1u);
    EXPECT_EQ(module.IsCameraPresent(), 0);
}

}  // namespace
