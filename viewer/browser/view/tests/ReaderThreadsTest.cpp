#include "viewer/browser/view/ReaderThreads.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "platform/msg/UiThread.h"
#include "platform/thread/Waitable.h"

#include <QCoreApplication>
#include "viewer/browser/view/tests/FakeSource.h"
#include "viewer/browser/view/tests/RecordingSink.h"

namespace {

using Lines = std::vector<std::string>;

// Lets a test hold a worker inside the source until the readers cancel it.
struct Latch {
    std::mutex mutex;
    std::condition_variable cv;
    bool entered = false;

    int32_t HoldUntilCancelled(const plat::Event* cancel) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            entered = true;
        }
        cv.notify_all();
        while (plat::waitFor(*cancel, 50) != plat::kWaitSignalled) {
        }
        return -96;
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return entered; });
    }
};

class ReaderThreadsTest : public ::testing::Test {
protected:
    FakeSource source;
    RecordingSink sink;
    BrowserReaders readers{source, sink};

    void Add(const std::string& name, FakePicture p = {}) {
        source.pictures[name] = p;
        source.listed.push_back(name);
    }

    Lines Run(RunSettings settings = {}) {
        std::vector<ReadEntry> entries;
        for (const std::string& name : source.listed) entries.push_back({name, 0, IsMovieName(name)});
        EXPECT_NE(0u, readers.StartThumbnailRun("100ABCDE", entries, settings));
        readers.WaitUntilDone();
        return sink.Lines();
    }
};

TEST_F(ReaderThreadsTest, ListReadBuildsTheItemsPrivately) {
    Add("B.JPG");
    Add("A.JPG");
    const uint64_t generation = readers.StartFileListRead("100ABCDE", 0, {});
    ASSERT_NE(0u, generation);
    readers.WaitUntilDone();
    EXPECT_EQ((Lines{"list 0 2"}), sink.Lines());
    EXPECT_TRUE(readers.IsCurrent(generation));
    EXPECT_EQ("A.JPG", sink.lastList.items.item(0).fileName);
}

TEST_F(ReaderThreadsTest, ListResultsThatEndTheReadOrGoOn) {
    struct Case {
        int32_t listResult;
        Lines expected;
    };
    const Case cases[] = {{-101, {"error -101"}}, {-105, {"list 0 0"}}, {-112, {"list 0 0"}},
                          {-99, {"list 0 0"}},    {-96, {"status reset"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listResult);
        FakeSource src;
        src.listResult = c.listResult;
        RecordingSink rec;
        BrowserReaders r(src, rec);
        ASSERT_NE(0u, r.StartFileListRead("100ABCDE", 0, {}));
        r.WaitUntilDone();
        EXPECT_EQ(c.expected, rec.Lines());
    }
}

TEST_F(ReaderThreadsTest, CancellingTheListReadPostsNoListReady) {
    Add("A.JPG");
    Latch latch;
    source.onList = [&](const plat::Event* cancel) { return latch.HoldUntilCancelled(cancel); };
    const uint64_t generation = readers.StartFileListRead("100ABCDE", 0, {});
    latch.WaitEntered();
    readers.StopWorkerThreads();
    EXPECT_EQ((Lines{"status reset"}), sink.Lines());
    EXPECT_FALSE(readers.IsCurrent(generation));
    EXPECT_FALSE(readers.Busy());
}

TEST_F(ReaderThreadsTest, RunReadsEveryPictureInOrder) {
    Add("A.JPG");
    Add("B.JPG");
    Add("C.JPG");
    EXPECT_EQ((Lines{"read 0", "read 1", "read 2", "finished"}), Run());
}

TEST_F(ReaderThreadsTest, ResultsDropItemsOrEndTheRun) {
    struct Case {
        const char* what;
        int32_t thumbResult;
        bool missing;
        int32_t sourceCheck;
        Lines expected;
    };
    const Case cases[] = {
        // the next picture takes the dropped item's index, and every picture is read
        {"missing picture", 0, true, 0, {"read 0", "drop 1", "read 1", "read 2", "finished"}},
        {"result 8", 8, false, 0, {"read 0", "drop 1", "read 1", "read 2", "finished"}},
        // the pictures after B keep their own items: the run ends and the view reads the target again
        {"target changed", 105, false, 0, {"read 0", "changed 105"}},
        {"gone with the card's files changed", 0, true, 104, {"read 0", "changed 104"}},
        // a picture without a readable thumbnail keeps its place, the run goes on
        {"damaged picture", 5, false, 0, {"read 0", "placeholder 1", "read 2", "read 3", "finished"}},
        {"clip the library cannot read", 7, false, 0, {"read 0", "placeholder 1", "read 2", "read 3", "finished"}},
        {"library kind 1", 1, false, 0, {"read 0", "library 1"}},
        {"library kind 4", 6, false, 0, {"read 0", "library 4"}},
        {"error box", -101, false, 0, {"read 0", "error -101"}},
        {"connection lost", -115, false, 0, {"read 0", "target 61616"}},
        {"cancelled", -96, false, 0, {"read 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSource src;
        for (const char* name : {"A.JPG", "B.JPG", "C.JPG", "D.JPG"}) {
            src.pictures[name] = {};
            src.listed.push_back(name);
        }
        src.pictures["B.JPG"].thumbResult = c.thumbResult;
        src.pictures["B.JPG"].exists = !c.missing;
        src.sourceCheck = c.sourceCheck;
        RecordingSink rec;
        BrowserReaders r(src, rec);
        std::vector<ReadEntry> entries;
        for (const std::string& name : src.listed) entries.push_back({name, 0, false});
        ASSERT_NE(0u, r.StartThumbnailRun("100ABCDE", entries, {}));
        r.WaitUntilDone();
        EXPECT_EQ(c.expected, rec.Lines());
    }
}

TEST_F(ReaderThreadsTest, SlowReadsPauseTheDeviceCheck) {
    Add("A.JPG");
    Add("B.MOV");
    Run({96, true});
    EXPECT_EQ(1, source.suspends.load());   // only the movie
    EXPECT_EQ(1, source.resumes.load());
    Run({128, true});
    EXPECT_EQ(3, source.suspends.load());   // every picture
    EXPECT_EQ(3, source.resumes.load());
    // the setting reaches the reader: a picture's own thumbnail may serve only without it
    Run({128, false});
    EXPECT_EQ((std::vector<bool>{true, true, true, true, false, false}), source.buildFlags);
}

TEST_F(ReaderThreadsTest, DeviceCheckThatCannotRestartEndsTheRunAsFatal) {
    Add("A.JPG");
    Add("B.MOV");
    Add("C.JPG");
    source.resumeResult = -114;
    EXPECT_EQ((Lines{"read 0", "library 2"}), Run({64, false}));
}

TEST_F(ReaderThreadsTest, StoppingWhileAReaderWaitsForTheWindowThreadEndsTheRun) {
    // The device check is restarted on the window's thread; a reader asking for it
    // while that thread stops the run must still get its answer.
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    Add("A.MOV");
    Add("B.MOV");
    Latch latch;
    std::atomic<bool> ranOnWindowThread{false};
    source.onResume = [&] {
        {
            std::lock_guard<std::mutex> lock(latch.mutex);
            latch.entered = true;
        }
        latch.cv.notify_all();
        plat::runOnUiThread([&] { ranOnWindowThread = plat::isUiThread(); });
    };
    readers.StartThumbnailRun("100ABCDE", {{"A.MOV", 0, true}, {"B.MOV", 0, true}}, {});
    latch.WaitEntered();
    readers.StopWorkerThreads();
    EXPECT_TRUE(ranOnWindowThread.load());
    EXPECT_FALSE(readers.Busy());
}

TEST_F(ReaderThreadsTest, StoppingARunJoinsItsReaderAndMakesItStale) {
    Add("A.JPG");
    Add("B.JPG");
    Latch latch;
    source.onThumb = [&](const std::string& name, const plat::Event* cancel) {
        return name == "B.JPG" ? latch.HoldUntilCancelled(cancel) : 0;
    };
    const uint64_t generation =
        readers.StartThumbnailRun("100ABCDE", {{"A.JPG", 0, false}, {"B.JPG", 0, false}}, {});
    latch.WaitEntered();
    readers.StopWorkerThreads();
    EXPECT_EQ((Lines{"read 0"}), sink.Lines());
    EXPECT_FALSE(readers.IsCurrent(generation));
    EXPECT_FALSE(readers.Busy());
    EXPECT_NE(plat::kWaitSignalled, plat::waitFor(readers.CancelEvent(), 0));
}

}  // namespace
