#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/fs/FileOps.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/MassStrage.h"
#include "viewer/sources/tests/CardFixture.h"

namespace fs = std::filesystem;

namespace {

TEST(CardNames, FolderAndFileRules) {
    struct Case {
        std::string name;
        bool ok;
        std::string after;
    };
    const Case folders[] = {{"100ABCDE", true, "100ABCDE"}, {"099ABCDE", false, ""}, {"1000ABCD", false, ""},
                            {"100ABCD", false, ""},         {"100abcde", true, "100ABCDE"}, {"100AB-DE", false, ""},
                            {"999_____", true, "999_____"}, {"10AABCDE", false, ""}};
    for (Case c : folders) {
        std::string n = c.name;
        EXPECT_EQ(CDCIMFolder::IsDCFFolderName(n), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(n, c.after);
        }
    }
    const Case files[] = {{"ABCD0001.JPG", true, "ABCD0001.JPG"}, {"abcd0001.jpg", true, "ABCD0001.JPG"},
                          {"ABCD0000.JPG", false, ""},            {"ABC_0001.RWQ", true, "ABC_0001.RWQ"},
                          {"ABCD001.JPG", false, ""},             {"ABCD0001.PNG", false, ""},
                          {"ABCD0001.mov", true, "ABCD0001.MOV"}, {"AB-D0001.JPG", false, ""},
                          {"ABCD9999.TIF", true, "ABCD9999.TIF"}, {"ABCDX001.JPG", false, ""}};
    for (Case c : files) {
        std::string n = c.name;
        EXPECT_EQ(CDCIMFolder::IsDCFFileName(n), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(n, c.after);
        }
    }
}

class CardSource : public ::testing::Test {
protected:
    CardFixture card;
    CMassStrage source;
    void SetUp() override {
        source.SetRoot("E:");
        source.SetQuietWait([](uint32_t) {});
    }
};

TEST_F(CardSource, TreeChecksAndCounts) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG");
    card.file("DCIM/100ABCDE/abcd0002.jpg");
    card.file("DCIM/100ABCDE/ABCD0000.JPG");
    card.file("DCIM/100ABCDE/ABCD001.JPG");
    card.folder("DCIM/100ABCDE/ABCD0003.JPG");  // a folder is never a picture
    card.file("DCIM/099ABCDE/ABCD0001.JPG");
    card.file("DCIM/100AB-DE/ABCD0001.JPG");
    card.folder("DCIM/101abcde");
    source.CheckRootFolder(false);
    source.CheckRootFolder(true);
    EXPECT_EQ(source.DcimFlag(), 1);
    EXPECT_EQ(source.OlderFlag(), 0);
    source.SetFolderPath("dcim");
    std::vector<std::string> folders;
    EXPECT_TRUE(source.ListDCFFolders(folders));
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"100ABCDE", "101ABCDE"}));
    EXPECT_EQ(source.GetDCFFileCount("DCIM", "100ABCDE"), 2);
    EXPECT_TRUE(source.IsDCFFile("DCIM", "100ABCDE"));
    EXPECT_FALSE(source.IsDCFFile("DCIM", "101ABCDE"));
    EXPECT_TRUE(source.IsInputCFCard());
    EXPECT_TRUE(source.IsPowerOn());
}

TEST_F(CardSource, OlderFolderAloneCountsOne) {
    card.file("IM01W200/ABCD0001.JPG");
    int32_t folders = 0, files = 0, has = 0;
    EXPECT_EQ(source._ChkFolderFile(&folders, &files, &has), 1);
    EXPECT_EQ(folders, 1);
    EXPECT_EQ(has, 1);
}

TEST(CardSourceMarker, VisibleMarkerIsAnotherKindOfCard) {
    CardFixture card(false);
    card.file("DCIM/100ABCDE/ABCD0001.JPG");
    CMassStrage source;
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), JqIfMngResult_StatusNotOurs);
}

TEST_F(CardSource, ChangeCheck) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG");
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), 0);
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), 0);
    card.file("DCIM/100ABCDE/ABCD0002.JPG");
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), JqIfMngResult_StatusFilesChanged);
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), 0);
    card.file("DCIM/101ABCDE/ABCD0001.JPG");
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), JqIfMngResult_StatusFoldersChanged);
    // while the browser reads thumbnails folder changes are not reported
    source.SetAccessFlag(0);
    card.file("DCIM/102ABCDE/ABCD0001.JPG");
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), 0);
    source.SetAccessFlag(1);
    // the card taken out: its folder is gone, the drive (a reader) stays
    fs::rename(card.card(), card.card().string() + "-out");
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), JqIfMngResult_StatusNoCard);
    // the drive gone as well
    plat::DriveMap().removeManual('E');
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), JqIfMngResult_StatusNoPower);
}

TEST_F(CardSource, ChangingCardIsReportedWhenTwoScansAgree) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG");
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), 0);
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), 0);
    int pauses = 0;
    source.SetQuietWait([&](uint32_t ms) {
        EXPECT_EQ(ms, 2000u);
        if (++pauses <= 2)  // the camera still writing
            card.file("DCIM/100ABCDE/ABCD000" + std::to_string(pauses + 2) + ".JPG");
    });
    card.file("DCIM/100ABCDE/ABCD0002.JPG");
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), JqIfMngResult_StatusFilesChanged);
    EXPECT_EQ(pauses, 3);
    EXPECT_EQ(source.IsTargetStatus("E:", "100ABCDE"), 0);
}

TEST_F(CardSource, ListingsAndFilters) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG", 10);
    card.file("DCIM/100ABCDE/ABCD0002.JPG", 20);
    card.file("DCIM/100ABCDE/ABCD0003.TIF", 30);
    card.file("DCIM/100ABCDE/NOTE.TXT", 5);
    card.setAttributes("DCIM/100ABCDE/ABCD0002.JPG", plat::FileAttr::ReadOnly);
    card.setAttributes("DCIM/100ABCDE/ABCD0003.TIF", plat::FileAttr::Hidden);
    const std::string folder = "E:\\DCIM\\100ABCDE";
    FileInfoArray list;
    ASSERT_EQ(source.ListFiles(folder, list, nullptr), 0);
    ASSERT_EQ(list.size(), 3u);
    for (const FileListEntry& e : list) {
        EXPECT_EQ(e.folderName, "100ABCDE");
        EXPECT_EQ(e.folderId, 0);
        if (e.fileName == "ABCD0002.JPG") {
            EXPECT_EQ(e.protect, 1);
            EXPECT_EQ(e.size, 20u);
        }
        if (e.fileName == "ABCD0003.TIF") {
            EXPECT_EQ(e.hidden, 1);
        }
    }
    const std::vector<std::string> marks{"e:\\dcim\\100abcde\\abcd0001.jpg"};
    struct Case {
        bool skipHidden;
        int mode;
        size_t count;
    } cases[] = {{true, 0, 2}, {false, 1, 1}, {false, 2, 2}, {false, 3, 1}, {false, 4, 2}, {true, 4, 1}, {false, 9, 3}};
    for (const Case& c : cases) {
        ASSERT_EQ(source.ListFilesFiltered(folder, list, c.skipHidden, c.mode, marks, nullptr), 0);
        EXPECT_EQ(list.size(), c.count) << "mode " << c.mode << " skip " << c.skipHidden;
    }
    std::vector<std::string> names;
    ASSERT_EQ(source.ListDCFFileNames(names, folder, nullptr), 0);
    EXPECT_EQ(names.size(), 3u);
}

TEST_F(CardSource, AbortEmptiesTheListAndSaysCancelled) {
    card.file("DCIM/100ABCDE/ABCD0001.JPG");
    plat::Event abort = plat::Event::create(plat::Event::Reset::Manual, true);
    FileInfoArray list{FileListEntry{}};
    EXPECT_EQ(source.ListFiles("E:\\DCIM\\100ABCDE", list, &abort), JqIfMngResult_Cancelled);
    EXPECT_TRUE(list.empty());
    std::vector<std::string> names{"x"};
    EXPECT_EQ(source.ListDCFFileNames(names, "E:\\DCIM\\100ABCDE", &abort), JqIfMngResult_Cancelled);
    EXPECT_TRUE(names.empty());
}

TEST_F(CardSource, Attributes) {
    const fs::path pic = card.file("DCIM/100ABCDE/ABCD0001.JPG");
    const int64_t mtime = [&] { plat::FileStatus st; plat::fileStatus(pic, &st); return st.mtime; }();
    ASSERT_EQ(source.SetFileAttribute("E:\\DCIM\\100ABCDE\\ABCD0001.JPG", true, plat::FileAttr::ReadOnly), 0);
    plat::FileStatus st;
    ASSERT_TRUE(plat::fileStatus(pic, &st));
    EXPECT_TRUE(st.attributes.isReadOnly());
    EXPECT_EQ(st.mtime, mtime);
    ASSERT_EQ(source.SetFileAttribute("E:\\DCIM\\100ABCDE\\ABCD0001.JPG", true, plat::FileAttr::Hidden), 0);
    ASSERT_EQ(source.SetFileAttribute("E:\\DCIM\\100ABCDE\\ABCD0001.JPG", false, plat::FileAttr::ReadOnly), 0);
    ASSERT_TRUE(plat::fileStatus(pic, &st));
    EXPECT_FALSE(st.attributes.isReadOnly());
    EXPECT_TRUE(st.attributes.has(plat::FileAttr::Hidden));
    EXPECT_EQ(source.SetFileAttribute("E:\\DCIM\\100ABCDE\\ABCD0009.JPG", true, 1), JqIfMngResult_NotFound);
}

struct Progress {
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    int32_t answer = 0;
    static int32_t record(uint64_t done, uint64_t total, void* ref) {
        auto* p = static_cast<Progress*>(ref);
        p->calls.emplace_back(done, total);
        return p->calls.size() >= 2 ? p->answer : 0;
    }
};

TEST_F(CardSource, ChunkedCopy) {
    const fs::path out = card.top() / "out";
    fs::create_directories(out);
    card.file("DCIM/100ABCDE/ABCD0001.JPG", 0);
    Progress empty;
    EXPECT_EQ(source.CopyCallBack("E:\\DCIM\\100ABCDE\\ABCD0001.JPG", (out / "a.jpg").string(), Progress::record, &empty), 0);
    ASSERT_EQ(empty.calls.size(), 1u);
    EXPECT_EQ(empty.calls[0], std::make_pair(uint64_t{0}, uint64_t{0}));
    EXPECT_EQ(fs::file_size(out / "a.jpg"), 0u);

    card.file("DCIM/100ABCDE/ABCD0002.JPG", 128 * 1024 + 1);
    Progress full;
    EXPECT_EQ(source.CopyCallBack("E:\\DCIM\\100ABCDE\\ABCD0002.JPG", (out / "b.jpg").string(), Progress::record, &full), 0);
    EXPECT_EQ(full.calls.back(), std::make_pair(uint64_t{128 * 1024 + 1}, uint64_t{128 * 1024 + 1}));
    EXPECT_EQ(fs::file_size(out / "b.jpg"), 128u * 1024 + 1);

    Progress stop;
    stop.answer = 7;
    card.file("DCIM/100ABCDE/ABCD0003.JPG", 3 * 128 * 1024);
    EXPECT_EQ(source.CopyCallBack("E:\\DCIM\\100ABCDE\\ABCD0003.JPG", (out / "c.jpg").string(), Progress::record, &stop), 7);
    EXPECT_FALSE(fs::exists(out / "c.jpg"));

    EXPECT_EQ(source.CopyCallBack("E:\\DCIM\\100ABCDE\\ABCD0009.JPG", (out / "d.jpg").string(), nullptr, nullptr),
              JqIfMngResult_NotFound);
    EXPECT_EQ(source.CopyCallBack("E:\\DCIM\\100ABCDE\\ABCD0002.JPG", (out / "none" / "d.jpg").string(), nullptr,
                                  nullptr),
              JqIfMngResult_Failed);
    // a card name cannot lead out of the card
    EXPECT_EQ(source.CopyCallBack("E:\\DCIM\\..\\..\\x", (out / "e.jpg").string(), nullptr, nullptr),
              JqIfMngResult_NotFound);
}

TEST_F(CardSource, FormatOnlyRemovableThroughTheService) {
    CMassStrage::SetDriveFormatter({});
    EXPECT_EQ(source.FormatDrive(4), JqIfMngResult_FormatFailed);
    int calls = 0;
    CMassStrage::SetDriveFormatter([&](char letter) {
        ++calls;
        EXPECT_EQ(letter, 'E');
        fs::remove(card.card() / "Vorel001.dsc");
        return 0;
    });
    EXPECT_EQ(source.FormatDrive(4), 0);
    EXPECT_EQ(source.Root(), "E:");
    plat::DriveMap().addManual('F', card.top(), plat::DriveType::Fixed);
    EXPECT_EQ(source.FormatDrive(5), JqIfMngResult_FormatFailed);
    EXPECT_EQ(source.FormatDrive(2), JqIfMngResult_FormatFailed);  // C: is never formatted
    EXPECT_EQ(calls, 1);
    CMassStrage::SetDriveFormatter({});
}

}  // namespace
