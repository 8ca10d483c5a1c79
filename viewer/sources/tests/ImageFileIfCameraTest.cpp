// The picture-access object on a camera: the simulated camera module serves a
// folder as a camera, reached through the camera controller.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
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

// The browser lists a folder on its reader thread while the window reads the
// folder list again (the target opened twice, say): the ids stay whole.
TEST_F(CameraPictureAccess, FolderListReadAgainWhileAFolderIsListed) {
    std::vector<std::string> folders;
    ASSERT_EQ(source_.Ifl_GetFolderList(folders), 0);
    std::thread reader([this] {
        for (int i = 0; i < 150; ++i) {
            std::vector<std::string> names;
            const int32_t r = source_.If_GetFileList("100TEST", names, nullptr);
            EXPECT_TRUE(r == 0 || r == JqIfMngResult_FolderNotFound) << r;
            const int32_t id = source_.If_SearchFileID(1, "IMG_0002.JPG");
            EXPECT_TRUE(id == 2 || id == 0) << id;
        }
    });
    for (int i = 0; i < 150; ++i) {
        std::vector<std::string> again;
        EXPECT_EQ(source_.Ifl_GetFolderList(again), 0);
        EXPECT_EQ(source_.If_IsCurrentFolder("101TEST"), 1);
    }
    reader.join();
    std::vector<std::string> names;
    ASSERT_EQ(source_.If_GetFileList("100TEST", names, nullptr), 0);
    EXPECT_EQ(source_.If_SearchFileID(1, "IMG_0002.JPG"), 2);
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

// A copy under a new name writes only its temporary name and that new name: a
// file in the destination that happens to carry the camera's name stays, and a
// stopped copy leaves even the file it would have replaced as it was.
TEST_F(CameraPictureAccess, CopiesTouchOnlyTheirOwnName) {
    std::vector<std::string> folders;
    ASSERT_EQ(source_.Ifl_GetFolderList(folders), 0);
    std::vector<std::string> names;
    ASSERT_EQ(source_.If_GetFileList("100TEST", names, nullptr), 0);
    fs::create_directories(card_.dest());
    const auto write = [](const fs::path& p, const std::string& text) {
        FILE* f = std::fopen(p.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fputs(text.c_str(), f);
        std::fclose(f);
    };
    const auto read = [](const fs::path& p) {
        std::string text;
        if (FILE* f = std::fopen(p.c_str(), "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
            std::fclose(f);
        }
        return text;
    };
    const fs::path unrelated = card_.dest() / "IMG_0002.JPG";
    const fs::path target = card_.dest() / "2024_0002.JPG";
    write(unrelated, "another camera's picture");
    const auto go = [](uint64_t, uint64_t, void*) -> int32_t { return 0; };
    const auto stop = [](uint64_t, uint64_t, void*) -> int32_t { return 1; };
    for (const bool stopped : {true, false}) {
        SCOPED_TRACE(stopped ? "stopped" : "whole");
        write(target, "the earlier copy");
        const int32_t r = source_.If_CopyImageFile("100TEST", "IMG_0002.JPG", target.string(), false,
                                                   stopped ? +stop : +go, nullptr);
        EXPECT_EQ(r, stopped ? JqIfMngResult_Cancelled : 0);
        EXPECT_EQ(read(unrelated), "another camera's picture");
        if (stopped)
            EXPECT_EQ(read(target), "the earlier copy");
        else
            EXPECT_EQ(read(target), read(card_.PathOf("100TEST", "IMG_0002.JPG")));
        size_t entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(card_.dest())) ++entries;
        EXPECT_EQ(entries, 2u);  // no temporary file is left behind
    }
}

// The camera interface carries sizes in 32 bits: a picture of 4 GiB or more is
// refused and nothing is written, never copied short and called a success. The
// pictures beside it are listed and copied as ever.
TEST_F(CameraPictureAccess, APictureTooBigToDescribeIsRefusedNotCut) {
    card_.AddJpeg("101TEST", "IMG_0100.JPG");
    fs::resize_file(card_.PathOf("101TEST", "IMG_0100.JPG"), (uint64_t{1} << 32) + 10);  // sparse
    std::vector<std::string> folders;
    ASSERT_EQ(source_.Ifl_GetFolderList(folders), 0);
    std::vector<std::string> names;
    ASSERT_EQ(source_.If_GetFileList("101TEST", names, nullptr), 0);
    fs::create_directories(card_.dest());
    const auto go = [](uint64_t, uint64_t, void*) -> int32_t { return 0; };
    for (const bool stepwise : {false, true}) {
        SCOPED_TRACE(stepwise ? "with progress" : "plain");
        const fs::path big = card_.dest() / "big.jpg";
        EXPECT_NE(source_.If_CopyImageFile("101TEST", "IMG_0100.JPG", big.string(), false, stepwise ? +go : nullptr,
                                           nullptr),
                  0);
        EXPECT_FALSE(fs::exists(big));
        const fs::path small = card_.dest() / (stepwise ? "a.jpg" : "b.jpg");
        EXPECT_EQ(source_.If_CopyImageFile("101TEST", names.front(), small.string(), false, stepwise ? +go : nullptr,
                                           nullptr),
                  0);
    }
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(card_.dest())) ++entries;
    EXPECT_EQ(entries, 2u);
}

}  // namespace
