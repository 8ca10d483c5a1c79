#include "viewer/transfer/PreviewsAhead.h"

#include "platform/thread/Waitable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace {

// Each picture's preview names its index; picture 3 cannot be read.
struct NamedReads {
    std::atomic<size_t> furthest{0};
    std::atomic<size_t> done{0};

    int32_t operator()(size_t index, std::unique_ptr<PictureRecord>& record) {
        size_t seen = furthest.load();
        while (index > seen && !furthest.compare_exchange_weak(seen, index)) {}
        if (index != 3) {
            record = std::make_unique<PictureRecord>();
            record->name = std::to_string(index);
        }
        ++done;
        return index == 3 ? 8 : 0;
    }
    void waitForReads(size_t n) const {
        while (done.load() < n) std::this_thread::yield();
    }
};

TEST(PreviewsAhead, GivesEachPreviewInTurnAndLeavesFailuresToTheWorker) {
    NamedReads reads;
    PreviewsAhead ahead(
        8, [&](size_t i, std::unique_ptr<PictureRecord>& r, const plat::Event*) { return reads(i, r); }, 3, 2);
    std::unique_ptr<PictureRecord> record;
    reads.waitForReads(2);
    ASSERT_TRUE(ahead.take(0, &record));
    EXPECT_EQ("0", record->name);
    reads.waitForReads(3);
    // never more than the window past the picture taken last
    EXPECT_EQ(2u, reads.furthest.load());
    ASSERT_TRUE(ahead.take(1, &record));
    EXPECT_EQ("1", record->name);
    reads.waitForReads(4);
    EXPECT_FALSE(ahead.take(3, &record));  // picture 2 passed over; 3 failed
    EXPECT_EQ(nullptr, record);
    reads.waitForReads(6);
    ASSERT_TRUE(ahead.take(5, &record));
    EXPECT_EQ("5", record->name);
    EXPECT_FALSE(ahead.take(5, &record));  // taken once
    EXPECT_FALSE(ahead.take(8, &record));  // past the list
}

// What a reader leaves behind (a temporary copy, say) is handed back for every
// preview read well that the worker never takes: passed over, or left when the
// run ends; never for one taken or one that failed.
TEST(PreviewsAhead, HandsBackEveryPreviewNeverTaken) {
    NamedReads reads;
    std::mutex mutex;
    std::set<size_t> dropped;
    {
        PreviewsAhead ahead(
            6, [&](size_t i, std::unique_ptr<PictureRecord>& r, const plat::Event*) { return reads(i, r); }, 2, 6,
            [&](size_t i, std::unique_ptr<PictureRecord>& r) {
                ASSERT_TRUE(r);
                EXPECT_EQ(std::to_string(i), r->name);
                std::lock_guard<std::mutex> lock(mutex);
                dropped.insert(i);
            });
        std::unique_ptr<PictureRecord> record;
        reads.waitForReads(6);
        ASSERT_TRUE(ahead.take(0, &record));
        ASSERT_TRUE(ahead.take(2, &record));  // 1 passed over
    }
    EXPECT_EQ((std::set<size_t>{1, 4, 5}), dropped);  // 3 failed; 4 and 5 left at the end
}

TEST(PreviewsAhead, StopsReadsUnderWayWhenDropped) {
    std::atomic<int> started{0};
    {
        PreviewsAhead ahead(
            100,
            [&](size_t, std::unique_ptr<PictureRecord>& r, const plat::Event* abort) {
                ++started;
                plat::waitFor(*abort, plat::kInfinite);
                r = std::make_unique<PictureRecord>();
                return 0;
            },
            2, 4);
        while (started.load() < 2) std::this_thread::yield();
    }
    EXPECT_EQ(2, started.load());
}

}  // namespace
