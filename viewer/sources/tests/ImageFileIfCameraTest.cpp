// The picture-access object on a camera: the simulated camera module serves a
// folder as a camera, reached through the camera controller.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/camera/tests/CameraTestSupport.h"
#include "viewer/sources/tests/LibraryFixture.h"

namespace fs = std::filesystem;
using namespace camtest;

namespace {

class CameraHost : public ImageFileIfHost {
public:
    CRundleCtrl* controller = nullptr;
    std::string local;
    int32_t CurrentDeviceIndex() override { return 26; }
    std::string CurrentCardRoot() override { return {}; }
    std::string LocalFolder() override { return local; }
    CRundleCtrl* CameraController() override { return controller; }
    CMassStrage* CardSource() override { return nullptr; }
    bool SuspendDeviceCheck() override { return true; }
    int32_t ResumeDeviceCheck() override { return 0; }
    bool AskFormatCameraCard() override { return false; }
    int32_t RunCameraFormat(CRundleCtrl*) override { return -1; }
    void ShowFormatFailed() override {}
};

class CameraPictureAccess : public ::testing::Test {
protected:
    LibraryRoot root_;  // a system root with the image-file library
    CameraCard card_;
    CameraSetup setup_{card_};
    CameraHost host_;
    std::unique_ptr<CRundleCtrl> ctrl_;
    CImageFileIf source_;

    void SetUp() override {
        card_.MakeStandard();
        card_.WriteConfig();
        ctrl_ = std::make_unique<CRundleCtrl>(DeviceFor(Road::InProcess));
        ASSERT_EQ(ctrl_->Initialize(), 0);
        host_.controller = ctrl_.get();
        host_.local = (card_.dir() / "local").string();
        CImageFileIf::SetHost(&host_);
        ASSERT_EQ(source_.Open(), 0);
    }
    void TearDown() override { CImageFileIf::SetHost(nullptr); }
};

TEST_F(CameraPictureAccess, FoldersPicturesAndIds) {
    EXPECT_EQ(source_.Kind(), CImageFileIf::kCamera);
    std::vector<std::string> names;
    // a folder the object has not seen is refused without asking the camera
    EXPECT_EQ(source_.If_GetFileList("100TEST", names, nullptr), JqIfMngResult_FolderNotFound);
    std::vector<std::string> folders;
    ASSERT_EQ(source_.Ifl_GetFolderList(folders), 0);
    EXPECT_EQ(folders, (std::vector<std::string>{"100TEST", "101TEST"}));
    EXPECT_EQ(source_.If_SearchFolderID("101TEST"), 2);
    EXPECT_EQ(source_.If_IsCurrentFolder("101TEST"), 1);
    EXPECT_EQ(source_.If_IsCurrentFolder("100TEST"), 0);
    ASSERT_EQ(source_.If_GetFileList("100TEST", names, nullptr), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"}));
    EXPECT_EQ(source_.If_SearchFileID(1, "IMG_0002.JPG"), 2);
    FileInfoArray all;
    ASSERT_EQ(source_.If_GetFileList(nullptr, all, false, 0, nullptr), 0);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[3].folderName, "101TEST");
    EXPECT_EQ(all[3].folderId, 2);
    EXPECT_EQ(source_.If_GetFileNum("101TEST"), 2);
    EXPECT_EQ(source_.GetTransferMarkList(), JqIfMngResult_NeedsCard);
    EXPECT_EQ(source_.If_IsFile("100TEST", "IMG_0001.JPG"), 1);
    EXPECT_EQ(source_.If_IsExistFile("100TEST", "IMG_0009.JPG"), 0);
    EXPECT_EQ(source_.If_IsSessionLost(), 0);
    EXPECT_EQ(source_.Ifl_CheckFolderName("101TEST"), 1);
}

TEST_F(CameraPictureAccess, CopiesWithProgressUnderANewName) {
    std::vector<std::string> folders;
    ASSERT_EQ(source_.Ifl_GetFolderList(folders), 0);
    std::vector<std::string> names;
    ASSERT_EQ(source_.If_GetFileList("100TEST", names, nullptr), 0);
    fs::create_directories(card_.dest());
    struct Count {
        int calls = 0;
        static int32_t step(uint64_t, uint64_t, void* ref) {
            ++static_cast<Count*>(ref)->calls;
            return 0;
        }
    } count;
    const fs::path dst = card_.dest() / "renamed.jpg";
    ASSERT_EQ(source_.If_CopyImageFile("100TEST", "IMG_0002.JPG", dst.string(), false, Count::step, &count), 0);
    EXPECT_GT(count.calls, 0);
    EXPECT_EQ(fs::file_size(dst), fs::file_size(card_.PathOf("100TEST", "IMG_0002.JPG")));
    EXPECT_FALSE(fs::exists(card_.dest() / "IMG_0002.JPG"));
    const fs::path plain = card_.dest() / "IMG_0001.JPG";
    ASSERT_EQ(source_.If_CopyImageFile("100TEST", "IMG_0001.JPG", plain.string(), false, nullptr, nullptr), 0);
    EXPECT_TRUE(fs::exists(plain));
    EXPECT_EQ(source_.If_CopyImageFile("100TEST", "IMG_0009.JPG", plain.string(), false, nullptr, nullptr),
              JqIfMngResult_NotFound);
    std::string local;
    ASSERT_EQ(source_.If_GetFullPathFileName("100TEST", "IMG_0003.JPG", &local), 0);
    EXPECT_TRUE(fs::exists(local));
    uint32_t size = 0;
    int64_t time = 0;
    int32_t p = 0, h = 0;
    ASSERT_EQ(source_.If_GetFileSizeTimeStatus("100TEST", "IMG_0003.JPG", &size, &time, &p, &h), 0);
    EXPECT_EQ(size, fs::file_size(local));
    ASSERT_EQ(source_.If_SetProtectStatus("100TEST", "IMG_0003.JPG", true), 0);
    ASSERT_EQ(source_.If_GetFileStatus("100TEST", "IMG_0003.JPG", &p, &h), 0);
    EXPECT_EQ(p, 1);
    std::unique_ptr<PictureRecord> caption;
    ASSERT_EQ(source_.If_GetThumbAndCaption("100TEST", "IMG_0002.JPG", caption, 96, 72, 1, nullptr), 0);
    EXPECT_EQ(caption->blocks.size(), 1u);
    EXPECT_GT(caption->width, 0u);
    ASSERT_TRUE(caption->shotInfo);
    ASSERT_TRUE(caption->shotInfo->dateTime);  // the camera's time of the picture
    EXPECT_GE(caption->shotInfo->dateTime->year, 1980);
    std::unique_ptr<PictureRecord> thumb;
    ASSERT_EQ(source_.If_GetThumbnail("100TEST", "IMG_0002.JPG", thumb, 96, 96, true, 1), 0);
    EXPECT_GT(thumb->width, 0u);
}

}  // namespace
