// The upload queue: which pictures are taken, their work names, the queue file's reading and
// deletion, and the files deleted at exit.
#include "Caravel/src/UploadFiles.h"
#include "Caravel/src/UploadQueue.h"
#include "Caravel/src/tests/RecordingView.h"

#include "Skylet/QueuedSources.h"
#include "platform/fs/ProfileFile.h"
#include "platform/sysroot/SystemRoot.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace caravel;
namespace fs = std::filesystem;

namespace {

class Queue : public testing::Test {
protected:
    plat::testing::TempRoot root;
    caravel_test::RecordingView view;
    fs::path dir = root.path() / "pics";
    UploadQueue queue{&view, (root.path() / "work").string()};

    void SetUp() override { fs::create_directories(dir); }

    std::string Touch(const std::string& name) const
    {
        const fs::path p = dir / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        return p.string();
    }

    std::string WriteQueue(const std::vector<std::pair<std::string, std::string>>& lines, const char* total) const
    {
        const fs::path q = root.path() / "vorelQ";
        for (const auto& [k, v] : lines)
            EXPECT_TRUE(plat::writeProfileString(q, "FileParameters", k, v).ok());
        EXPECT_TRUE(plat::writeProfileString(q, "General", "TotalItems", total).ok());
        return q.string();
    }
};

}  // namespace

TEST(UploadFiles, TypesByExtension)
{
    const struct {
        const char* name;
        bool raw, jpeg, tiff;
        const char* jpegName;
    } cases[] = {
        {"a.RWQ", true, false, false, "a.jpg"},      {"photo.jpeg", false, true, false, "photo.jpg"},
        {"p.JPG", false, true, false, "p.jpg"},      {"p.jpe", false, true, false, "p.jpg"},
        {"scan.tif", false, false, true, "scan.jpg"}, {"x.tiff", false, false, true, "x.jpg"},
        {"y.jp", false, false, false, "y.jpg"},      {"README", false, false, false, "README.jpg"},
        {"a.b.TiF", false, false, true, "a.b.jpg"},  {"tif", false, false, false, "tif.jpg"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsRawFile(c.name), c.raw) << c.name;
        EXPECT_EQ(IsJpegFile(c.name), c.jpeg) << c.name;
        EXPECT_EQ(IsTiffFile(c.name), c.tiff) << c.name;
        EXPECT_EQ(MakeJpegName(c.name), c.jpegName) << c.name;
    }
    EXPECT_EQ(GetFileNamePart("/x/y/photo.jpg"), "photo.jpg");
    EXPECT_EQ(GetFileNamePart("photo.jpg"), "photo.jpg");
    EXPECT_EQ(GetFileNamePart("/x/"), "");
    EXPECT_EQ(GetFileSize64("/nonexistent/file"), -1);
}

TEST_F(Queue, ReadsAcceptedPicturesAndDeletesTheFile)
{
    const std::string jpeg = Touch("x/photo.jpeg"), tiff = Touch("x/scan.tif"), raw = Touch("a.RWQ");
    const std::string q = WriteQueue({{"Source1", jpeg}, {"Owner1", "0"}, {"Owner2", "0"}, {"Source3", tiff},
                                      {"Source4", raw}, {"Owner4", "0"}, {"Source5", "/x/README"},
                                      {"Source6", "/x/"}, {"Owner6", "-1"}},
                                     "6 ");
    queue.ReadUploadQueue(q);
    EXPECT_FALSE(fs::exists(q));
    ASSERT_EQ(queue.Batches().size(), 1u);
    const auto& records = queue.Batches().front().records;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records.front().sourcePath, jpeg);
    EXPECT_EQ(records.front().workPath, jpeg);
    EXPECT_EQ(records.front().owner, 0);
    EXPECT_EQ(records.back().workPath, queue.WorkFolder() + "/scan.jpg");
    EXPECT_EQ(records.back().owner, 1);
    EXPECT_EQ(view.rows, (std::vector<std::string>{"photo.jpeg", "scan.tif"}));
    EXPECT_EQ(view.messages, (std::vector<std::string>{"Error with file : a.RWQ", "Error with file : README"}));
    EXPECT_EQ(view.status, "2 file(s) waiting to upload");
    EXPECT_TRUE(fs::exists(raw));  // refused, owner 0 or not: never deleted

    UploadQueue again(&view, queue.WorkFolder());
    again.ReadUploadQueue(q);  // the file is gone: nothing
    EXPECT_TRUE(again.Batches().front().records.empty());
    EXPECT_EQ(view.status, "0 file(s) waiting to upload");
}

TEST_F(Queue, SameNamesGetTheirOwnWorkCopies)
{
    const std::string q = WriteQueue(
        {{"Source1", Touch("a/x.tif")}, {"Source2", Touch("b/x.tif")}, {"Source3", Touch("x.tiff")}}, "3");
    queue.ReadUploadQueue(q);
    const auto& r = queue.Batches().front().records;
    ASSERT_EQ(r.size(), 3u);
    std::vector<std::string> paths;
    for (const auto& rec : r)
        paths.push_back(rec.workPath);
    const std::string w = queue.WorkFolder();
    EXPECT_EQ(paths, (std::vector<std::string>{w + "/x.jpg", w + "/x-2.jpg", w + "/x-3.jpg"}));
}

// Exit removes only the work copies it can make again. A picture the album
// service never confirmed stays on disk, owned or not, and the next start goes on
// with it; nothing prunes it meanwhile, since the kept queue names it.
TEST_F(Queue, ExitKeepsEveryPictureNotYetUploadedForTheNextStart)
{
    ASSERT_TRUE(queue.CreateWorkDir());
    EXPECT_FALSE(queue.CreateWorkDir());  // exists already
    UploadBatch batch;
    const std::string owned = Touch("owned.tif"), users = Touch("users.tif"), jpeg = Touch("kept.jpg");
    ASSERT_TRUE(queue.AddQueuedFile(owned, 0, &batch));
    ASSERT_TRUE(queue.AddQueuedFile(users, 1, &batch));
    ASSERT_TRUE(queue.AddQueuedFile(jpeg, 0, &batch));
    for (auto& r : batch.records) {
        r.processed = true;
        if (r.workPath != r.sourcePath) {
            std::ofstream(r.workPath) << "jpeg";
            r.workFileMade = true;
        }
    }
    queue.Batches().push_back(batch);
    queue.ClearProcessedMarks();
    for (const auto& r : queue.Batches().front().records)
        EXPECT_FALSE(r.processed);
    const std::string copy1 = batch.records.front().workPath;
    queue.CleanUpAtExit();
    EXPECT_TRUE(fs::exists(owned));
    EXPECT_FALSE(fs::exists(copy1));
    EXPECT_TRUE(fs::exists(users));
    EXPECT_TRUE(fs::exists(jpeg));
    EXPECT_TRUE(queue.Batches().empty());
    EXPECT_EQ(skylet::QueuedSources(plat::SystemRoot::current().tempPath()),
              (std::vector<std::string>{owned, users, jpeg}));

    // The next start: what was kept first, then what the server handed over.
    caravel_test::RecordingView next;
    UploadQueue later(&next, (root.path() / "work").string());
    later.ReadKeptQueue();
    const std::string fresh = Touch("fresh.jpg");
    later.ReadUploadQueue(WriteQueue({{"Source1", fresh}, {"Owner1", "0"}}, "1 "));
    ASSERT_EQ(later.Batches().size(), 1u);
    std::vector<std::pair<std::string, int16_t>> read;
    for (const auto& r : later.Batches().front().records)
        read.emplace_back(r.sourcePath, r.owner);
    EXPECT_EQ(read, (std::vector<std::pair<std::string, int16_t>>{{owned, 0}, {users, 1}, {jpeg, 0}, {fresh, 0}}));
    EXPECT_EQ(next.status, "4 file(s) waiting to upload");
    // Uploaded at last: nothing is kept any more.
    later.Batches().front().records.clear();
    later.SaveKeptQueue();
    EXPECT_TRUE(skylet::QueuedSources(plat::SystemRoot::current().tempPath()).empty());
}
