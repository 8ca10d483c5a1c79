#include "viewer/browser/JobProgress.h"
#include "viewer/browser/JobThreads.h"
#include "viewer/browser/PictureJobs.h"
#include "viewer/browser/tests/JobTestSupport.h"
#include "viewer/sources/tests/LibraryFixture.h"

#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/UiThread.h"
#include "platform/shell/ChooserScript.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <atomic>

namespace fs = std::filesystem;

TEST(ProgressDialogLogic, CountsDownWholeFilesAndEndsByKind) {
    ProgressDialogLogic save(ProgressKind::Save, 3);
    EXPECT_EQ(save.RangeMax(), 30);
    save.OnProgress(20, 0);
    EXPECT_EQ(save.Remaining(), 1);
    EXPECT_EQ(save.EndCode(1), kEndOk);
    EXPECT_EQ(save.EndCode(0), kEndCancel);
    EXPECT_EQ(save.HideDelayMs(), 1000u);

    ProgressDialogLogic remove(ProgressKind::Remove, 2);
    EXPECT_EQ(remove.EndCode(0), kEndOk);
    EXPECT_EQ(remove.HideDelayMs(), 10000u);

    ProgressDialogLogic print(ProgressKind::Print, 0, 1);
    EXPECT_EQ(print.TitleId(), 62229u);
    print.OnProgress(4, 0);
    EXPECT_EQ(print.RangeMax(), 4);
    print.OnProgress(1, 1);
    EXPECT_EQ(print.Position(), 1);
    EXPECT_EQ(print.Remaining(), 3);
    EXPECT_EQ(ProgressDialogLogic(ProgressKind::Print, 0, 0).TitleId(), 62238u);
}

class JobDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override {
        src_ = lib_.folder("src");
        dst_ = lib_.folder("dst");
    }
    LibraryRoot lib_;
    fs::path src_, dst_;
    FileJobAccess access_;
};

TEST_F(JobDialogs, SaveRunsUnderItsDialogAndReportsFailuresToTheView) {
    BrowserItemList items;
    for (const char* n : {"A.JPG", "B.JPG"}) {
        WriteFile(src_ / n, "x");
        items.emplace_back(n, true);
    }
    RecordingOwner view;
    EXPECT_EQ(RunSaveJob(nullptr, view.handle(), items, access_, src_.string(), dst_.string()), 0);
    EXPECT_TRUE(fs::exists(dst_ / "B.JPG"));

    access_.copyFailures["A.JPG"] = -12;
    fs::remove(dst_ / "A.JPG");
    // the picture is still there: saving failed
    EXPECT_EQ(RunSaveJob(nullptr, view.handle(), items, access_, src_.string(), dst_.string()), -91);
    QCoreApplication::processEvents();
    ASSERT_FALSE(view.posted.empty());
    EXPECT_EQ(view.posted.back().message, UM_ERROR);
    EXPECT_EQ(intptr_t(view.posted.back().wParam), -91);
}

TEST_F(JobDialogs, RemoveJobsShowTheirFailures) {
    BrowserItemList items;
    WriteFile(src_ / "A.JPG", "x");
    items.emplace_back("A.JPG", true);
    std::list<std::string> names = {"A.JPG"};
    access_.deleteFailures["A.JPG"] = -90;
    EXPECT_EQ(RunRemoveFilesJob(nullptr, items, names, access_, src_.string()), -90);
    EXPECT_EQ(access_.asked.size(), 1u);

    fs::create_directories(src_ / "100XYZ");
    EXPECT_EQ(RunRemoveFolderJob(nullptr, access_, (src_ / "100XYZ").string()), 1);
    EXPECT_FALSE(fs::exists(src_ / "100XYZ"));
    access_.folderResult = -5;
    EXPECT_EQ(RunRemoveFolderJob(nullptr, access_, src_.string()), 0);
    EXPECT_EQ(access_.asked.size(), 2u);
}

TEST_F(JobDialogs, PrintAndIndexSheetsRunUnderTheSharedDialog) {
    BrowserItemList items;
    WriteFile(src_ / "A.JPG", "x");
    items.emplace_back("A.JPG", true);
    plat::gdi::PrintTarget target;
    target.kind = plat::gdi::PrintTarget::Kind::PngPages;
    target.name = dst_.string();
    target.dpi = 40;
    EXPECT_EQ(RunPrintJob(nullptr, 1, items, access_, src_.string(), {}, target), 0);
    EXPECT_TRUE(fs::exists(dst_ / "page-001.png"));
    EXPECT_EQ(access_.readersStopped, 1);
    EXPECT_EQ(RunIndexSheetJob(nullptr, items, access_, src_.string(), dst_.string()), 0);
    EXPECT_TRUE(fs::exists(dst_ / "Sheet1.JPG"));
}

TEST_F(JobDialogs, SheetFolderComesFromTheFolderChooser) {
    plat::ChooserScript::clear();
    plat::ChooserScript::push(dst_.string());
    plat::ChooserScript::push(std::nullopt);
    EXPECT_EQ(ChooseSheetFolder(nullptr), dst_.string());
    EXPECT_EQ(ChooseSheetFolder(nullptr), "");
    ASSERT_EQ(plat::ChooserScript::requests().size(), 2u);
    EXPECT_EQ(plat::ChooserScript::requests()[0].kind, plat::ChooserRequest::Kind::Folder);
    plat::ChooserScript::clear();
    BrowserItemList none;
    EXPECT_EQ(RunIndexSheetJob(nullptr, none, access_, src_.string(), ""), 0);   // cancelled: nothing runs
}

// A job's worker may ask the user-interface thread for something after its
// dialog has ended (the print job resumes the device check then); the owner's
// join on that thread must serve it rather than wait for ever.
TEST_F(JobDialogs, JoiningServesWhatTheEndingWorkerAsksOfTheInterfaceThread) {
    struct AsksAtItsEnd : CJobThreadB {
        std::atomic<bool> served{false};
        uint32_t Run() override {
            plat::runOnUiThread([this] { served = true; });
            return 0;
        }
    } job;
    ASSERT_EQ(job.Start(), 1);
    job.Join();
    EXPECT_TRUE(job.served.load());
}
