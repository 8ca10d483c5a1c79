#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/fs/DosAttributes.h"
#include "platform/fs/FaultPoint.h"
#include "platform/fs/FileOps.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqFileLib.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/tests/CardFixture.h"
#include "viewer/sources/tests/LibraryFixture.h"

namespace fs = std::filesystem;

namespace {

// The application side for a card on E:.
class CardHost : public ImageFileIfHost {
public:
    CMassStrage card;
    std::string local;
    int32_t resumeAnswer = 0;
    int32_t CurrentDeviceIndex() override { return 4; }
    std::string CurrentCardRoot() override { return "E:"; }
    std::string LocalFolder() override { return local; }
    CRundleCtrl* CameraController() override { return nullptr; }
    CMassStrage* CardSource() override { return &card; }
    bool SuspendDeviceCheck() override { return true; }
    int32_t ResumeDeviceCheck() override { return resumeAnswer; }
    bool AskFormatCameraCard() override { return false; }
    int32_t RunCameraFormat(CRundleCtrl*) override { return -1; }
    void ShowFormatFailed() override {}
};

class PictureAccess : public ::testing::Test {
protected:
    CardFixture card;
    CardHost host;
    CImageFileIf source;

    void SetUp() override {
        // the card fixture made the system root; the library goes into it
        const fs::path lib = card.top() / "Common Files" / "Vorel" / "Library";
        fs::create_directories(lib);
        fs::copy_file(JQFL_SO_PATH, lib / "JqFileLib.so", fs::copy_options::overwrite_existing);
        host.local = (card.top() / "local").string();
        CImageFileIf::SetHost(&host);
    }
    void TearDown() override { CImageFileIf::SetHost(nullptr); }
    void open() { ASSERT_EQ(source.Open(), 0); }
};

TEST_F(PictureAccess, OpensWithDcimFirstAndListsFolders) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG");
    card.file("DCIM/101ABCDE/ABCD0001.JPG");
    card.file("IM01W200/ABCD0001.JPG");
    open();
    EXPECT_EQ(source.Kind(), CImageFileIf::kCard);
    EXPECT_EQ(source.PictureRootName(), "DCIM");
    std::vector<std::string> folders;
    ASSERT_EQ(source.Ifl_GetFolderList(folders), 0);
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders.back(), "IM01W200");
    EXPECT_EQ(source.Ifl_GetCardFilePath("IM01W200", "ABCD0001.JPG"), "E:\\IM01W200\\ABCD0001.JPG");
    EXPECT_EQ(source.Ifl_GetCardFilePath("100ABCDE", "ABCD0001.JPG"), "E:\\DCIM\\100ABCDE\\ABCD0001.JPG");
}

TEST_F(PictureAccess, CardWithoutPictureFolders) {
    open();
    std::vector<std::string> folders{"x"};
    EXPECT_EQ(source.Ifl_GetFolderList(folders), 0);
    EXPECT_TRUE(folders.empty());
    FileInfoArray all;
    EXPECT_EQ(source.If_GetFileList(nullptr, all, false, 0, nullptr), JqIfMngResult_EmptyFolder);
}

TEST_F(PictureAccess, PictureListsAndMarks) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG");
    card.file("DCIM/100ABCDE/ABCD0002.JPG");
    card.file("DCIM/101ABCDE/ABCD0003.JPG");
    card.folder("DCIM/102ABCDE");
    card.setAttributes("DCIM/100ABCDE/ABCD0002.JPG", plat::FileAttr::ReadOnly);
    open();
    std::vector<std::string> names;
    EXPECT_EQ(source.If_GetFileList("100ABCDE", names, nullptr), 0);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(source.If_GetFileList("102ABCDE", names, nullptr), JqIfMngResult_EmptyFolder);
    FileInfoArray all;
    EXPECT_EQ(source.If_GetFileList(nullptr, all, false, 0, nullptr), 0);
    EXPECT_EQ(all.size(), 3u);
    int32_t flag = 5;
    EXPECT_EQ(source.If_HasFiles("100ABCDE", &flag), 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(source.If_HasFiles("101ABCDE", &flag), 0);
    EXPECT_EQ(flag, 0);
    // transfer marks from the print-order file
    EXPECT_EQ(source.GetTransferMarkList(), JqIfMngResult_NoPictures);
    card.file("MISC/AUTPRINT.MRK", 0);
    std::ofstream(card.card() / "MISC" / "AUTPRINT.MRK")
        << "[HDR]\nGEN REV = 01.00\nGEN CRT = \"X\"\n[JOB]\nPRT PID = 001\nPRT TYP = STD\nVUQ RGN = BGN\n"
           "VUQ VNM = \"Vorel Corporation\" -ATR \"Dezer Evedaziz Edaveda V1.0\"\n[JOB]\nITM PID = 001\n"
           "ITM QTY = 001\nIMG SRC = \"../dcim/101abcde/abcd0003.jpg\"\nVUQ RGN = END\n";
    ASSERT_EQ(source.GetTransferMarkList(), 0);
    ASSERT_EQ(source.GetTransferMarkList(), 0);   // read again, as a target opened twice: not doubled
    EXPECT_EQ(source.NameList(), std::vector<std::string>{"E:\\dcim\\101abcde\\abcd0003.jpg"});
    source.Ifl_IsInNameList("101ABCDE", "ABCD0003.JPG", &flag);
    EXPECT_EQ(flag, 1);
    source.Ifl_IsInNameList("100ABCDE", "ABCD0001.JPG", &flag);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(source.If_GetFileList(nullptr, all, false, 1, nullptr), 0);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].fileName, "ABCD0003.JPG");
    ASSERT_EQ(source.If_GetFileList(nullptr, all, false, 2, nullptr), 0);
    EXPECT_EQ(all.size(), 2u);
    source.ClearTransferMarkList();
    EXPECT_TRUE(source.NameList().empty());
    EXPECT_EQ(source.Ifl_CheckFolderName("100abcde"), 1);
    EXPECT_EQ(source.Ifl_CheckFolderName("IM01W200"), 1);
    EXPECT_EQ(source.Ifl_CheckFolderName("NOTES"), 0);
}

TEST_F(PictureAccess, CopiesOverReadOnlyCopiesAndNeverLeavesPartialFiles) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG", 300000);
    card.setAttributes("DCIM/100ABCDE/ABCD0001.JPG", plat::FileAttr::ReadOnly);
    open();
    const fs::path out = card.top() / "out";
    fs::create_directories(out);
    const std::string dst = (out / "ABCD0001.JPG").string();
    std::ofstream(dst) << "old";
    plat::writeDosAttributes(dst, plat::FileAttr::ReadOnly);
    ASSERT_EQ(source.If_CopyImageFile("100ABCDE", "ABCD0001.JPG", dst, false, nullptr, nullptr), 0);
    EXPECT_EQ(fs::file_size(dst), 300000u);
    plat::FileStatus st;
    ASSERT_TRUE(plat::fileStatus(dst, &st));
    EXPECT_FALSE(st.attributes.isReadOnly());  // the copy loses the source's low bits
    // keeping attributes: the copy is protected like the card picture
    const std::string kept = (out / "kept.jpg").string();
    ASSERT_EQ(source.If_CopyImageFile("100ABCDE", "ABCD0001.JPG", kept, true, nullptr, nullptr), 0);
    ASSERT_TRUE(plat::fileStatus(kept, &st));
    EXPECT_TRUE(st.attributes.isReadOnly());
    // a write that fails midway: reported, and nothing under the final name
    {
        plat::ScopedFsFault fault([](plat::FsStep step) { return step == plat::FsStep::WriteTarget ? ENOSPC : 0; });
        EXPECT_EQ(source.If_CopyImageFile("100ABCDE", "ABCD0001.JPG", (out / "full.jpg").string(), false, nullptr,
                                          nullptr),
                  JqIfMngResult_Failed);
    }
    EXPECT_FALSE(fs::exists(out / "full.jpg"));
    {
        plat::ScopedFsFault fault([](plat::FsStep step) { return step == plat::FsStep::CreateTemp ? EROFS : 0; });
        EXPECT_EQ(source.If_CopyImageFile("100ABCDE", "ABCD0001.JPG", (out / "ro.jpg").string(), false, nullptr,
                                          nullptr),
                  JqIfMngResult_WriteProtected);
    }
    // the source vanished
    EXPECT_EQ(source.If_CopyImageFile("100ABCDE", "ABCD0009.JPG", (out / "gone.jpg").string(), false, nullptr, nullptr),
              JqIfMngResult_NotFound);
    EXPECT_FALSE(fs::exists(out / "gone.jpg"));
    // with progress, stopped by the caller
    auto stop = [](uint64_t done, uint64_t, void*) -> int32_t { return done > 0 ? JqIfMngResult_Cancelled : 0; };
    EXPECT_EQ(source.If_CopyImageFile("100ABCDE", "ABCD0001.JPG", (out / "stopped.jpg").string(), false, stop, nullptr),
              JqIfMngResult_Cancelled);
    EXPECT_FALSE(fs::exists(out / "stopped.jpg"));
    // a card name cannot climb out of the card
    EXPECT_EQ(source.If_CopyImageFile("..", "..", (out / "x.jpg").string(), false, nullptr, nullptr),
              JqIfMngResult_NotFound);

    // copies into the scratch folder are work copies that are not synced; the
    // copies anywhere else are, and a failing sync fails them
    const fs::path scratch = card.top() / "scratch";
    fs::create_directories(scratch / "100ABCDE");
    source.SetScratchFolder(scratch.string());
    auto go = [](uint64_t, uint64_t, void*) -> int32_t { return 0; };
    plat::ScopedFsFault fault([](plat::FsStep step) { return step == plat::FsStep::SyncTarget ? EIO : 0; });
    EXPECT_EQ(source.If_CopyImageFile("100ABCDE", "ABCD0001.JPG", (scratch / "100ABCDE/w.jpg").string(), false, go,
                                      nullptr),
              0);
    EXPECT_EQ(fs::file_size(scratch / "100ABCDE/w.jpg"), 300000u);
    EXPECT_NE(source.If_CopyImageFile("100ABCDE", "ABCD0001.JPG", (out / "synced.jpg").string(), false, go, nullptr),
              0);
    EXPECT_FALSE(fs::exists(out / "synced.jpg"));
}

TEST_F(PictureAccess, StatusAttributesAndDeletion) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG", 1234);
    open();
    uint32_t size = 0;
    int64_t time = 0;
    int32_t p = 5, h = 5;
    ASSERT_EQ(source.If_GetFileSizeTimeStatus("100ABCDE", "ABCD0001.JPG", &size, &time, &p, &h), 0);
    EXPECT_EQ(size, 1234u);
    EXPECT_GT(time, 0);
    EXPECT_EQ(p, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(source.If_GetFileSizeTimeStatus("100ABCDE", "ABCD0002.JPG", &size, &time, &p, &h), JqIfMngResult_NotFound);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(source.If_SetProtectStatus("100ABCDE", "ABCD0001.JPG", true), 0);
    ASSERT_EQ(source.If_SetHideStatus("100ABCDE", "ABCD0001.JPG", true), 0);
    ASSERT_EQ(source.If_GetFileStatus("100ABCDE", "ABCD0001.JPG", &p, &h), 0);
    EXPECT_EQ(p, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(source.If_SetProtectStatus("100ABCDE", "ABCD0009.JPG", true), JqIfMngResult_NotFound);
    PictureRecord record;
    ASSERT_EQ(source.Ifl_SetFileInfo("100ABCDE", "ABCD0001.JPG", record, 7), 0);
    EXPECT_EQ(record.size, 1234u);
    EXPECT_EQ(record.protect, 1);
    EXPECT_EQ(record.index, 7);
    EXPECT_EQ(record.movie, 0);
    std::string path;
    ASSERT_EQ(source.If_GetFullPathFileName("100ABCDE", "ABCD0001.JPG", &path), 0);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(source.If_IsFile("100ABCDE", "ABCD0001.JPG"), 1);
    EXPECT_EQ(source.If_IsFolder("100ABCDE", nullptr), 1);
    ASSERT_EQ(source.If_DeleteFile("100ABCDE", "ABCD0001.JPG"), 0);  // protected pictures too
    EXPECT_EQ(source.If_IsExistFile("100ABCDE", "ABCD0001.JPG"), 0);
    EXPECT_EQ(source.If_IsSessionLost(), 0);
}

// A picture the camera took on its side (orientation 6) has an upright thumbnail.
TEST_F(PictureAccess, ThumbnailOfATurnedCameraPictureIsUpright) {
    const fs::path pic = card.card() / "DCIM" / "100ABCDE" / "ABCD0001.JPG";
    fs::create_directories(pic.parent_path());
    LibraryRoot::writeJpeg(pic, 800, 600);   // red left half, as stored
    ASSERT_TRUE(LibraryRoot::exiftool("-Orientation#=6", pic));
    open();
    std::unique_ptr<PictureRecord> record;
    ASSERT_EQ(source.If_GetThumbAndCaption("100ABCDE", "ABCD0001.JPG", record, 96, 72, 1, nullptr), 0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->width, 54u);
    EXPECT_EQ(record->height, 72u);
    ASSERT_EQ(record->blocks.size(), 1u);
    const BitmapRecord& tile = record->blocks.front();
    const uint32_t stride = (tile.width * 3 + 3) / 4 * 4;
    const auto at = [&](uint32_t x, uint32_t y) { return tile.bits() + (tile.height - 1 - y) * stride + x * 3; };
    EXPECT_GT(at(27, 5)[2], 200);    // red on top (B,G,R)
    EXPECT_GT(at(27, 66)[0], 200);   // blue below
}

// Removing a card folder removes it with its pictures, protected ones too; a
// folder that stays is a failure, never a success.
TEST_F(PictureAccess, RemovedCardFolderIsGoneOrReportedAsFailed) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG", 100);
    card.file("DCIM/100ABCDE/ABCD0002.JPG", 100);
    card.file("DCIM/101ABCDE/ABCD0003.JPG", 100);
    open();
    ASSERT_EQ(source.If_SetProtectStatus("100ABCDE", "ABCD0001.JPG", true), 0);
    ASSERT_EQ(source.If_SetHideStatus("100ABCDE", "ABCD0002.JPG", true), 0);
    EXPECT_EQ(source.If_DeleteFolder("100ABCDE"), 0);
    EXPECT_FALSE(fs::exists(card.card() / "DCIM/100ABCDE"));
    EXPECT_TRUE(fs::exists(card.card() / "DCIM/101ABCDE/ABCD0003.JPG"));
    EXPECT_EQ(source.If_DeleteFolder("100ABCDE"), JqIfMngResult_FolderNotFound);
    EXPECT_EQ(source.If_DeleteFolder(".."), JqIfMngResult_FolderNotFound);
    EXPECT_TRUE(fs::exists(card.card() / "DCIM"));
    // a folder the system will not let go of
    fs::permissions(card.card() / "DCIM", fs::perms::owner_write, fs::perm_options::remove);
    const bool canStillWrite = access((card.card() / "DCIM").c_str(), W_OK) == 0;   // e.g. as root
    const int32_t r = source.If_DeleteFolder("101ABCDE");
    fs::permissions(card.card() / "DCIM", fs::perms::owner_write, fs::perm_options::add);
    if (!canStillWrite) {
        EXPECT_EQ(r, JqIfMngResult_Failed);
        EXPECT_TRUE(fs::exists(card.card() / "DCIM/101ABCDE"));
    }
}

TEST_F(PictureAccess, ThumbnailWithShootingInformation) {
    const fs::path pic = card.card() / "DCIM" / "100ABCDE" / "ABCD0001.JPG";
    fs::create_directories(pic.parent_path());
    LibraryRoot::writeJpeg(pic, 800, 600);
    ASSERT_TRUE(LibraryRoot::exiftool("-Model=M-7 -ExifVersion=0230", pic));
    card.file("DCIM/100ABCDE/ABCD0002.TIF", 10);  // not a picture the library reads
    open();
    std::unique_ptr<PictureRecord> record;
    ASSERT_EQ(source.If_GetThumbAndCaption("100ABCDE", "ABCD0001.JPG", record, 96, 72, 1, nullptr), 0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->name, "ABCD0001.JPG");
    EXPECT_EQ(record->width, 96u);
    EXPECT_EQ(record->height, 72u);
    EXPECT_EQ(record->blocks.size(), 1u);
    EXPECT_EQ(record->exif, 1);
    ASSERT_TRUE(record->shotInfo);
    EXPECT_EQ(*record->shotInfo->model, "M-7");
    EXPECT_EQ(record->shotInfo->pixelWidth, 800);
    // turned a quarter: portrait thumbnail in the same box
    std::unique_ptr<PictureRecord> turned;
    ASSERT_EQ(source.If_GetThumbAndCaption("100ABCDE", "ABCD0001.JPG", turned, 96, 72, 8, nullptr), 0);
    EXPECT_EQ(turned->width, 54u);
    EXPECT_EQ(turned->height, 72u);
    // cancelled before the pixels are read
    plat::Event abort = plat::Event::create(plat::Event::Reset::Manual, true);
    std::unique_ptr<PictureRecord> none;
    EXPECT_EQ(source.If_GetThumbAndCaption("100ABCDE", "ABCD0001.JPG", none, 96, 72, 1, &abort),
              JqIfMngResult_Cancelled);
    // a broken file gives the library's result, not a crash
    std::unique_ptr<PictureRecord> bad;
    EXPECT_NE(source.If_GetThumbAndCaption("100ABCDE", "ABCD0002.TIF", bad, 96, 72, 1, nullptr), 0);
    // index-sheet thumbnail, proportions kept, sides to multiples of 4
    std::unique_ptr<PictureRecord> sheet;
    ASSERT_EQ(source.If_GetThumbnail("100ABCDE", "ABCD0001.JPG", sheet, 268, 268, true, 1), 0);
    EXPECT_EQ(sheet->width, 268u);
    EXPECT_EQ(sheet->height, 200u);
    int32_t w = 0, h = 0;
    ASSERT_EQ(source.Ifl_GetImageInfo("100ABCDE", "ABCD0001.JPG", &w, &h), 0);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    std::unique_ptr<PictureRecord> full;
    std::string path;
    ASSERT_EQ(source.If_GetFullPathFileName("100ABCDE", "ABCD0001.JPG", &path), 0);
    ASSERT_EQ(CImageFileIf::LoadPictureIntoRecord(path, 0, full), 0);
    EXPECT_EQ(full->tilesAcross, 4u);
}

TEST(PictureAccessRules, ThumbnailSizes) {
    struct Case {
        int32_t w, h, asked, ow, oh;
    } cases[] = {
        {1000, 1010, 100, 100, 100},  // 99 -> remainder 3 -> 100
        {1000, 1020, 100, 100, 100},
        {800, 600, 268, 268, 200},    // 201: remainder 1 dropped
        {600, 800, 268, 200, 268},
        {1000, 1020, 103, 100, 103},  // 100: no remainder
        {100, 102, 100, 100, 100},    // 98: remainder 2 rounds up
    };
    for (const Case& c : cases) {
        int32_t w = 0, h = 0;
        CImageFileIf::FitThumbnail(c.w, c.h, c.asked, &w, &h);
        EXPECT_EQ(w, c.ow) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.oh) << c.w << "x" << c.h;
    }
}

TEST_F(PictureAccess, FormatRefusedWithoutTheService) {
    open();
    CMassStrage::SetDriveFormatter({});
    EXPECT_EQ(source.If_FormatCard(), JqIfMngResult_FormatFailed);
}

}  // namespace

namespace {

TEST_F(PictureAccess, ClipThumbnailFromItsThumbnailFileOrTheClip) {
    const fs::path folder = card.card() / "DCIM" / "100ABCDE";
    fs::create_directories(folder);
    LibraryRoot::writeJpeg(folder / "ABCD0001.THM", 160, 120);
    card.file("DCIM/100ABCDE/ABCD0001.MOV", 100);  // the clip itself is not read
    card.file("DCIM/100ABCDE/ABCD0002.MOV", 100);  // no thumbnail file, no frame the library reads
    open();
    std::unique_ptr<PictureRecord> record;
    ASSERT_EQ(source.If_GetThumbAndCaption("100ABCDE", "ABCD0001.MOV", record, 96, 72, 1, nullptr), 0);
    EXPECT_EQ(record->width, 96u);
    std::unique_ptr<PictureRecord> none;
    EXPECT_NE(source.If_GetThumbAndCaption("100ABCDE", "ABCD0002.MOV", none, 96, 72, 1, nullptr), 0);
    PictureRecord info;
    ASSERT_EQ(source.Ifl_SetFileInfo("100ABCDE", "ABCD0001.MOV", info, 0), 0);
    EXPECT_EQ(info.movie, 1);
    // A camera's H.264 clip without a thumbnail file: its first frame.
    fs::copy_file(fs::path(VOREL_SOURCE_DIR) / "outside/imagefile/tests/clips/h264.mp4", folder / "ABCD0003.MOV");
    std::unique_ptr<PictureRecord> frame;
    ASSERT_EQ(source.If_GetThumbAndCaption("100ABCDE", "ABCD0003.MOV", frame, 96, 72, 1, nullptr), 0);
    EXPECT_EQ(frame->width, 96u);
    EXPECT_FALSE(frame->blocks.empty());
}

}  // namespace
