// Upload worker: the two passes over the queue with a stand-in converter and album service,
// the status texts, the size limit, the room check, and what happens to rows and files.
#include "Caravel/src/RunFlags.h"
#include "Caravel/src/UploadWorker.h"
#include "Caravel/src/tests/RecordingView.h"

#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

using namespace caravel;
namespace fs = std::filesystem;

namespace {

enum class Load { Ok, Fail, Jpeg, Cancel };

struct Picture {
    Load load = Load::Ok;
    bool saveOk = true;
    int64_t savedBytes = 1000;
};

class FakeConverter : public PictureConverter {
public:
    bool SetUpPipeline() override { return setUpOk; }
    void TearDownPipeline() override { ++tearDowns; }
    bool LoadImageFile(const std::string& source, bool* needsNoConversion) override
    {
        loads.push_back(source);
        const Picture p = pictures[source];
        *needsNoConversion = p.load == Load::Jpeg;
        if (p.load == Load::Cancel)
            CancelFlag() = 1;
        current = source;
        return p.load == Load::Ok;
    }
    bool TransformAndSave(const std::string& work, int32_t, int32_t) override
    {
        const Picture p = pictures[current];
        if (!p.saveOk)
            return false;
        std::ofstream(work).close();
        fs::resize_file(work, static_cast<uintmax_t>(p.savedBytes));
        saved.push_back(work);
        return true;
    }

    bool setUpOk = true;
    int tearDowns = 0;
    std::map<std::string, Picture> pictures;
    std::vector<std::string> loads, saved;
    std::string current;
};

class FakeTarget : public UploadTarget {
public:
    int32_t GetSpaceLeft() override { return space; }
    int32_t UploadPhoto(const std::string& path, const char* key) override
    {
        uploads.push_back(path);
        keys.push_back(key ? key : "");
        return result;
    }
    std::string TargetAlbumKey() const override { return album; }

    int32_t space = 100000;
    int32_t result = 0;
    std::string album;
    std::vector<std::string> uploads, keys;
};

class Worker : public testing::Test {
protected:
    plat::testing::TempRoot root;
    caravel_test::RecordingView view;
    UploadQueue queue{&view, (root.path() / "work").string()};
    FakeConverter converter;
    FakeTarget target;

    void SetUp() override
    {
        CancelFlag() = 0;
        queue.CreateWorkDir();
        queue.Batches().emplace_back();
    }
    void TearDown() override { CancelFlag() = 0; }

    std::string Add(const std::string& name, Picture p = {}, int16_t owner = 1)
    {
        const fs::path src = root.path() / name;
        std::ofstream(src) << "source";
        converter.pictures[src.string()] = p;
        EXPECT_TRUE(queue.AddQueuedFile(src.string(), owner, &queue.Batches().front()));
        return src.string();
    }
    void Run() { UploadWorker(&queue, &converter, &target, &view, 1).Run(); }
    std::vector<std::string> StatusesStarting(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& s : view.statusLog)
            if (s.rfind(prefix, 0) == 0)
                out.push_back(s);
        return out;
    }
    size_t Left() { return queue.Batches().front().records.size(); }
};

}  // namespace

TEST_F(Worker, ConvertsThenUploadsEveryPicture)
{
    const std::string a = Add("a.tif"), b = Add("b.tif", {}, 0), c = Add("c.tif");
    Run();
    EXPECT_EQ(StatusesStarting("Processing"),
              (std::vector<std::string>{"Processing 1 of 3", "Processing 2 of 3", "Processing 3 of 3"}));
    EXPECT_EQ(StatusesStarting("Uploading"),
              (std::vector<std::string>{"Uploading 1 of 3", "Uploading 2 of 3", "Uploading 3 of 3"}));
    ASSERT_EQ(target.uploads.size(), 3u);
    for (const auto& w : converter.saved)
        EXPECT_FALSE(fs::exists(w)) << w;  // work copies go after their upload
    EXPECT_TRUE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));  // the program owned it
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(Left(), 0u);
    EXPECT_EQ(converter.tearDowns, 1);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(Worker, AFailedLoadDropsItsRowAndTheCountGoesOn)
{
    Add("a.tif");
    const std::string bad = Add("b.tif", {Load::Fail});
    Add("c.tif");
    Run();
    EXPECT_EQ(StatusesStarting("Processing"),
              (std::vector<std::string>{"Processing 1 of 3", "Processing 2 of 3", "Processing 2 of 2"}));
    EXPECT_EQ(view.messages, std::vector<std::string>{"Error Loading File: " + bad});
    EXPECT_EQ(target.uploads.size(), 2u);
}

TEST_F(Worker, SizeLimitAndRoomAreCheckedInFullWidth)
{
    const struct {
        int64_t bytes;
        int32_t space;
        bool uploaded;
        const char* message;
    } cases[] = {
        {2097152, 100000, true, nullptr},
        {2097153, 100000, false, "File over 2Mb in size, too big to Upload: "},
        {1500000, 1500, true, nullptr},
        {1500001, 1500, false, "Not enough room available on web site, unable to upload file."},
        {2000000, 3000000, true, nullptr},  // more room than 32 bits of bytes
    };
    for (const auto& c : cases) {
        queue.Batches().front().records.clear();
        view = {};
        target = {};
        target.space = c.space;
        const std::string source = Add("p.tif", {Load::Ok, true, c.bytes});
        Run();
        EXPECT_EQ(target.uploads.size(), c.uploaded ? 1u : 0u) << c.bytes << " in " << c.space;
        if (c.message) {
            ASSERT_EQ(view.messages.size(), 1u) << c.bytes;
            EXPECT_EQ(view.messages[0].rfind(c.message, 0), 0u) << view.messages[0];
            if (c.bytes > 2097152) {
                // the refused copy does not stay in the work folder; the source does
                const std::string work = view.messages[0].substr(std::string(c.message).size());
                EXPECT_FALSE(fs::exists(work)) << work;
                EXPECT_TRUE(fs::exists(source)) << source;
            }
        } else {
            EXPECT_TRUE(view.messages.empty()) << c.bytes;
        }
    }
}

TEST_F(Worker, NamesThatLieAboutTheFormat)
{
    // a JPEG name on a picture that needs converting, a TIFF name on a JPEG
    const std::string fakeJpeg = Add("x.jpg", {Load::Ok});
    const std::string realJpeg = Add("y.tif", {Load::Jpeg});
    target.result = -4;  // keep the records to look at them
    Run();
    const auto& r = queue.Batches().front().records;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_NE(r.front().workPath, fakeJpeg);
    EXPECT_EQ(r.front().workPath.rfind(queue.WorkFolder() + "/", 0), 0u);
    EXPECT_EQ(std::ifstream(fakeJpeg).rdbuf() ? fs::file_size(fakeJpeg) : 0, 6u);  // untouched
    EXPECT_EQ(r.back().workPath, realJpeg);
    EXPECT_TRUE(r.back().processed);
    EXPECT_FALSE(r.back().workFileMade);
}

TEST_F(Worker, CancelDuringALoadUploadsNothing)
{
    Add("a.tif");
    Add("b.tif", {Load::Cancel});
    Add("c.tif");
    Run();
    EXPECT_TRUE(target.uploads.empty());
    EXPECT_EQ(Left(), 3u);
    EXPECT_EQ(converter.loads.size(), 2u);
}

TEST_F(Worker, NoPipelineNoUpload)
{
    Add("a.tif");
    converter.setUpOk = false;
    Run();
    EXPECT_EQ(view.messages, std::vector<std::string>{"Unable to process images at this time"});
    EXPECT_TRUE(target.uploads.empty());
    EXPECT_EQ(Left(), 1u);
}

TEST_F(Worker, ASecondRunUploadsWithoutConvertingAgain)
{
    Add("a.tif");
    target.result = -1;
    target.album = "k123";
    Run();
    EXPECT_EQ(converter.loads.size(), 1u);
    EXPECT_EQ(target.keys, std::vector<std::string>{"k123"});
    target.result = 0;
    Run();
    EXPECT_EQ(converter.loads.size(), 1u);
    EXPECT_EQ(target.uploads.size(), 2u);
    EXPECT_EQ(Left(), 0u);
}
