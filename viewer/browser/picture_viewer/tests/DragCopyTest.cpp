#include "viewer/browser/picture_viewer/DragCopy.h"
#include "viewer/browser/picture_viewer/DragOut.h"

#include "viewer/browser/JobAccess.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <QUrl>

#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

class CardAccess : public JobAccess {
public:
    std::string card;
    int copies = 0;
    bool IsFile(const std::string& folder, const std::string& file) override {
        return fs::exists(fs::path(card) / folder / file);
    }
    int32_t GetFullPath(const std::string& folder, const std::string& file, std::string* path) override {
        *path = (fs::path(card) / folder / file).string();
        return 0;
    }
    int32_t CopyFile(const std::string& from, const std::string& to) override {
        ++copies;
        std::error_code ec;
        return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) ? 0 : -90;
    }
    int32_t DeleteFile(const std::string&, const std::string&) override { return 0; }
    int32_t DeleteFolder(const std::string&) override { return 0; }
    int32_t GetThumbnail(const std::string&, const std::string&, std::unique_ptr<PictureRecord>&, int32_t,
                         int32_t) override {
        return 1;
    }
    int32_t LastResult() override { return 0; }
    bool SuspendDeviceCheck() override { return true; }
    int32_t ResumeDeviceCheck() override { return 0; }
    uint64_t FreeSpace(const std::string&) override { return 1u << 30; }
    int Ask(plat::WindowHandle, const std::string&, const std::string&, plat::MessageButtons,
            plat::MessageIcon) override {
        return 0;
    }
    OverwriteAnswer AskOverwrite(plat::WindowHandle, const std::string&, bool) override {
        return OverwriteAnswer::Cancel;
    }
};

class DragCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("picview_drag_" + std::to_string(::getpid()));
        fs::create_directories(root / "card" / "100VOREL");
        fs::create_directories(root / "work");
        Write("A.JPG", "first card");
        Write("B.JPG", "b");
        access.card = (root / "card").string();
        job.access = &access;
        job.folder = "100VOREL";
        job.workFolder = (root / "work").string();
        job.items = {{"A.JPG", true, false}, {"B.JPG", true, true}, {"C.JPG", false, false}};
    }
    void TearDown() override {
        std::error_code ec;
        for (auto& e : fs::recursive_directory_iterator(root, ec))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root, ec);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(root / "card" / "100VOREL" / name) << text;
    }
    std::string Work(const std::string& name) {
        std::ifstream in(root / "work" / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path root;
    CardAccess access;
    DragCopyJob job;
};

TEST_F(DragCopyTest, CopiesSelectedPicturesReadOnly) {
    EXPECT_EQ(DragCopyThreadProc(job), 0);
    EXPECT_EQ(access.copies, 2);
    EXPECT_EQ(Work("A.JPG"), "first card");
    EXPECT_FALSE(fs::exists(root / "work" / "C.JPG"));
    EXPECT_EQ(fs::status(root / "work" / "A.JPG").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(DragCopyTest, AMatchingCopyIsKeptAStaleOneReplaced) {
    ASSERT_EQ(DragCopyThreadProc(job), 0);
    ASSERT_EQ(DragCopyThreadProc(job), 0);
    EXPECT_EQ(access.copies, 2);  // nothing copied again
    Write("A.JPG", "the next card's picture");
    ASSERT_EQ(DragCopyThreadProc(job), 0);
    EXPECT_EQ(access.copies, 3);
    EXPECT_EQ(Work("A.JPG"), "the next card's picture");
}

TEST_F(DragCopyTest, CancelStopsBeforeCopying) {
    job.cancel = plat::Event::create(plat::Event::Reset::Auto, true);
    EXPECT_EQ(DragCopyThreadProc(job), kDragCancelled);
    EXPECT_EQ(access.copies, 0);
}

TEST_F(DragCopyTest, GonePictureIsSkipped) {
    fs::remove(root / "card" / "100VOREL" / "B.JPG");
    EXPECT_EQ(DragCopyThreadProc(job), 0);
    EXPECT_EQ(access.copies, 1);
}

TEST_F(DragCopyTest, DataObjectCopiesOnceAndFailsForGoodAfterACancel) {
    int runs = 0;
    CImageDataObject data(job, [&](const DragCopyJob& j) { ++runs; return DragCopyThreadProc(j); }, nullptr);
    EXPECT_FALSE(data.provided());
    const QList<QUrl> first = data.urls();
    const QList<QUrl> again = data.urls();
    EXPECT_EQ(runs, 1);
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first, again);
    EXPECT_EQ(first[0].toLocalFile().toStdString(), (root / "work" / "A.JPG").string());

    int failures = 0;
    CImageDataObject cancelled(job, [](const DragCopyJob&) { return kDragCancelled; },
                               [&](int32_t) { ++failures; });
    EXPECT_TRUE(cancelled.urls().isEmpty());
    EXPECT_TRUE(cancelled.Cancelled());
    EXPECT_EQ(failures, 0);
    CImageDataObject failed(job, [](const DragCopyJob&) { return -90; }, [&](int32_t) { ++failures; });
    EXPECT_TRUE(failed.urls().isEmpty());
    EXPECT_EQ(failures, 1);
}

TEST_F(DragCopyTest, ADropCopiesBehindTheWaitDialogAndEndsTheLongOperation) {
    static int argc = 1;
    static char name[] = "picture_viewer_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    QWidget pane;
    std::vector<int32_t> states;
    int failures = 0;
    plat::scriptNextDrag(plat::DragResult::Dropped);
    const plat::DragResult result =
        DragPicturesOut(&pane, job, [&](int32_t s) { states.push_back(s); }, [&](int32_t) { ++failures; });
    EXPECT_EQ(result, plat::DragResult::Dropped);
    EXPECT_EQ(access.copies, 2);
    EXPECT_EQ(Work("A.JPG"), "first card");
    EXPECT_EQ(failures, 0);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), 0);
    EXPECT_EQ(states.back(), 1);
}

TEST_F(DragCopyTest, EscapeCopiesNothing) {
    static int argc = 1;
    static char name[] = "picture_viewer_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    QWidget pane;
    plat::scriptNextDrag(plat::DragResult::Cancelled);
    EXPECT_EQ(DragPicturesOut(&pane, job, nullptr, nullptr), plat::DragResult::Cancelled);
    EXPECT_EQ(access.copies, 0);
}

}  // namespace
