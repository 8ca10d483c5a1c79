#include "viewer/browser/RemoveJobs.h"
#include "viewer/browser/SaveJob.h"
#include "viewer/browser/tests/JobTestSupport.h"

#include "viewer/shell/common/ViewerMessages.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class FileJobsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        src_ = root_ / "src";
        dst_ = root_ / "dst";
        fs::create_directories(src_);
        fs::create_directories(dst_);
    }
    void TearDown() override { fs::remove_all(root_); }

    BrowserItemList Items(std::initializer_list<std::pair<const char*, bool>> list, bool makeFiles = true) {
        BrowserItemList items;
        for (auto [name, selected] : list) {
            if (makeFiles) WriteFile(src_ / name, std::string("data of ") + name);
            items.emplace_back(name, selected);
        }
        return items;
    }
    // Runs a save the way the view does: event, setup, start, resume, dialog.
    int32_t Save(BrowserItemList& items, RecordingOwner& owner) {
        int32_t exitCode = 77;
        CPreductSaveThread job(plat::WindowHandle(), items, access_);
        job.Setup(owner.handle(), plat::Event::create(plat::Event::Reset::Auto, false), &exitCode);
        EXPECT_EQ(job.Start(src_.string(), dst_.string()), 1);
        EXPECT_EQ(job.Resume(), 1);
        EXPECT_TRUE(owner.waitForDone());
        job.Join();
        return exitCode;
    }
    size_t TemporaryFiles() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dst_)) n += e.path().extension() == ".part";
        return n;
    }

    fs::path root_, src_, dst_;
    FileJobAccess access_;
};

}  // namespace

TEST_F(FileJobsTest, SaveCopiesTheSelectionAndStepsOnlyForSelectedPictures) {
    auto items = Items({{"A.JPG", true}, {"B.JPG", false}, {"C.JPG", true}, {"D.JPG", true}});
    WriteFile(dst_ / "C.JPG", "old");
    access_.overwrites = {OverwriteAnswer::Skip};
    RecordingOwner owner;
    EXPECT_EQ(Save(items, owner), 0);
    EXPECT_EQ(owner.progress(), (std::vector<uintptr_t>{10, 20, 30}));
    EXPECT_EQ(owner.doneParam(), 1u);
    EXPECT_EQ(owner.posted.back().message, UM_WORKER_DONE);
    EXPECT_TRUE(fs::exists(dst_ / "A.JPG"));
    EXPECT_FALSE(fs::exists(dst_ / "B.JPG"));
    EXPECT_EQ(fs::file_size(dst_ / "C.JPG"), 3u);   // skipped
    EXPECT_TRUE(fs::exists(dst_ / "D.JPG"));
    ASSERT_EQ(access_.overwriteAsked.size(), 1u);
    EXPECT_TRUE(access_.overwriteAsked[0].second);   // several selected: the dialog
    EXPECT_EQ(access_.suspended, 0);
    EXPECT_EQ(TemporaryFiles(), 0u);
}

// A copy that fails while the picture is still on the card is the destination's
// failure: "saving failed", never a code that closes the card (-114).
TEST_F(FileJobsTest, SaveReportsAFailedCopyAndLeavesNoPieceBehind) {
    for (const int32_t failure : {-12, -114}) {
        auto items = Items({{"A.JPG", true}, {"B.JPG", true}, {"C.JPG", true}});
        access_.copyFailures["B.JPG"] = failure;
        RecordingOwner owner;
        EXPECT_EQ(Save(items, owner), -91) << failure;
        EXPECT_EQ(owner.doneParam(), 0u);
        EXPECT_TRUE(fs::exists(dst_ / "A.JPG"));
        EXPECT_FALSE(fs::exists(dst_ / "B.JPG"));
        EXPECT_FALSE(fs::exists(dst_ / "C.JPG"));
        EXPECT_EQ(TemporaryFiles(), 0u);
        fs::remove(dst_ / "A.JPG");
    }
    // the card went away during the copy: its code goes on to the view
    auto items = Items({{"G.JPG", true}});
    access_.copyFailures["G.JPG"] = -114;
    access_.cardGoesOnFailure = true;
    RecordingOwner owner;
    EXPECT_EQ(Save(items, owner), -114);
}

TEST_F(FileJobsTest, SaveOutcomesOfQuestionsShortagesAndTheDeviceCheck) {
    {   // one picture: the OK/Cancel box; cancel ends quietly
        auto items = Items({{"A.JPG", true}});
        WriteFile(dst_ / "A.JPG", "old");
        access_.overwrites = {OverwriteAnswer::Cancel};
        RecordingOwner owner;
        EXPECT_EQ(Save(items, owner), 0);
        EXPECT_FALSE(access_.overwriteAsked.back().second);
        EXPECT_TRUE(owner.progress().empty());
        EXPECT_EQ(fs::file_size(dst_ / "A.JPG"), 3u);
    }
    {   // too little room and the copy fails: saving failed
        auto items = Items({{"E.JPG", true}});
        items[0].record = std::make_unique<PictureRecord>();
        items[0].record->size = 1000;
        access_.freeSpace = 10;
        access_.copyFailures["E.JPG"] = -12;
        RecordingOwner owner;
        EXPECT_EQ(Save(items, owner), -91);
        access_.freeSpace = UINT64_MAX;
    }
    {   // the device check cannot be restarted
        auto items = Items({{"F.JPG", true}});
        access_.resumeResult = -114;
        RecordingOwner owner;
        EXPECT_EQ(Save(items, owner), -114);
    }
}

TEST_F(FileJobsTest, AJobWhoseDialogNeverComesEndsWhenAbandoned) {
    auto items = Items({{"A.JPG", true}});
    int32_t exitCode = 77;
    CPreductSaveThread job(plat::WindowHandle(), items, access_);
    job.Setup(plat::WindowHandle(999999), plat::Event::create(plat::Event::Reset::Auto, false), &exitCode);
    ASSERT_EQ(job.Start(src_.string(), dst_.string()), 1);
    ASSERT_EQ(job.Resume(), 1);
    job.Abandon();
    job.Join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(fs::exists(dst_ / "A.JPG"));
}

TEST_F(FileJobsTest, RemoveMarksUnlistsAndStopsAtAFailedDelete) {
    auto items = Items({{"A.JPG", true}, {"B.JPG", false}, {"C.JPG", true}, {"D.JPG", true}, {"E.JPG", true}});
    fs::remove(src_ / "C.JPG");   // gone already: counts as deleted
    access_.deleteFailures["D.JPG"] = -90;
    std::list<std::string> names = {"A.JPG", "C.JPG", "A.JPG", "B.JPG", "D.JPG", "E.JPG"};
    RecordingOwner owner;
    CRemoveFileThread job(items, names, access_);
    job.Setup(owner.handle(), plat::Event::create(plat::Event::Reset::Auto, false));
    ASSERT_EQ(job.Start(src_.string()), 1);
    ASSERT_EQ(job.Resume(), 1);
    ASSERT_TRUE(owner.waitForDone());
    job.Join();
    EXPECT_EQ(owner.doneParam(), 0u);
    EXPECT_EQ(job.FailedResult(), -90);
    EXPECT_EQ(owner.progress(), (std::vector<uintptr_t>{10, 20}));
    EXPECT_EQ(items[0].removed.load(), 1);
    EXPECT_EQ(items[2].removed.load(), 1);
    EXPECT_EQ(items[3].removed.load(), 0);
    EXPECT_EQ(items[4].removed.load(), 0);
    EXPECT_TRUE(fs::exists(src_ / "E.JPG"));
    EXPECT_EQ(names, (std::list<std::string>{"A.JPG", "B.JPG", "D.JPG", "E.JPG"}));
}

TEST_F(FileJobsTest, RemoveFolderReportsItsOutcome) {
    for (int32_t sourceResult : {0, -90}) {
        fs::create_directories(src_ / "100ABCDE");
        access_.folderResult = sourceResult;
        RecordingOwner owner;
        CRemoveFolderThread job(owner.handle(), access_);
        ASSERT_EQ(job.Start((src_ / "100ABCDE").string()), 1);
        ASSERT_EQ(job.Resume(), 1);
        ASSERT_TRUE(owner.waitForDone());
        job.Join();
        EXPECT_EQ(owner.doneParam(), sourceResult == 0 ? 1u : 0u);
        EXPECT_EQ(fs::exists(src_ / "100ABCDE"), sourceResult != 0);
    }
}

TEST(SaveJobPaths, DestinationsEndInOneSlashAndOrdinaryFoldersAreNoRoots) {
    EXPECT_EQ(NormaliseDestination("/a/b"), "/a/b/");
    EXPECT_EQ(NormaliseDestination("/a/b/"), "/a/b/");
    EXPECT_FALSE(IsEmptyMountRoot(fs::temp_directory_path().string()));
}

TEST_F(FileJobsTest, AJobStartedButNeverResumedLeavesNoThreadAndTouchesNothing) {
    auto items = Items({{"A.JPG", true}});
    {
        int32_t exitCode = 77;
        CPreductSaveThread job(plat::WindowHandle(), items, access_);
        job.Setup(plat::WindowHandle(), plat::Event::create(plat::Event::Reset::Auto, false), &exitCode);
        ASSERT_EQ(job.Start(src_.string(), dst_.string()), 1);
    }
    EXPECT_FALSE(fs::exists(dst_ / "A.JPG"));
    EXPECT_EQ(access_.suspended, 0);
}
