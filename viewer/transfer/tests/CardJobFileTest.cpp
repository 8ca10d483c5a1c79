#include "viewer/transfer/CardJobFile.h"

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileOps.h"
#include "platform/msg/MessageBox.h"
#include "platform/testing/TempRoot.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr int32_t kDriveE = 4;

class CardJobFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Message boxes are answered on the thread of the application object.
        static int argc = 1;
        static char name[] = "transfer_core_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        card = root.path() / "card";
        fs::create_directories(card / "MISC");
        ASSERT_TRUE(plat::DriveMap().addManual('E', card).ok());
        plat::setMessageBoxResponder([this](const plat::MessageBoxRequest& r) {
            ++boxes;
            EXPECT_TRUE(r.topmost);
            return plat::kAnswerOk;
        });
    }
    void TearDown() override { plat::setMessageBoxResponder({}); }

    void write(const char* name, const std::string& bytes) { std::ofstream(card / "MISC" / name, std::ios::binary) << bytes; }
    static std::string rec(const char* word) { return std::string(word) + "\r\n"; }
    std::string reply() {
        std::ifstream in(card / "MISC" / "reply.kvd", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool replyExists() const { return fs::exists(card / "MISC" / "reply.kvd"); }

    plat::testing::TempRoot root;
    fs::path card;
    std::atomic<int> boxes{0};
};

TEST_F(CardJobFileTest, RequestDetection) {
    struct Case {
        std::string order;
        const char* reply;  // null: no reply file
        bool requested;
        bool replyKept;
    } cases[] = {
        {rec(CCardJobFile::kTransfer), nullptr, true, false},
        {rec(CCardJobFile::kTransfer), CCardJobFile::kWaiting, true, true},
        {rec(CCardJobFile::kTransfer), CCardJobFile::kTransferStart, false, true},
        {rec(CCardJobFile::kWithdrawn), CCardJobFile::kWaiting, false, false},
        {rec(CCardJobFile::kTransferOk), CCardJobFile::kTransferStart, false, true},
        {std::string(CCardJobFile::kTransfer) + "\r", nullptr, false, false},  // 16 bytes
    };
    for (const auto& c : cases) {
        fs::remove(card / "MISC" / "reply.kvd");
        write("order.kvd", c.order);
        if (c.reply) write("reply.kvd", rec(c.reply));
        CCardJobFile job(kDriveE);
        EXPECT_EQ(c.requested, job.IsTransferRequested()) << c.order;
        EXPECT_EQ(c.replyKept, replyExists()) << c.order;
    }
    fs::remove(card / "MISC" / "order.kvd");
    EXPECT_FALSE(CCardJobFile(kDriveE).IsTransferRequested());
}

TEST_F(CardJobFileTest, RepliesAreWholeRecords) {
    CCardJobFile job(kDriveE);
    ASSERT_TRUE(job.WriteReply(CCardJobFile::kTransferStart));
    EXPECT_EQ(rec(CCardJobFile::kTransferStart), reply());
    EXPECT_FALSE(job.WriteReply("short"));
    EXPECT_EQ(rec(CCardJobFile::kTransferStart), reply());
    std::string text;
    ASSERT_TRUE(job.ReadStatus(CCardJobFile::kReply, &text));
    EXPECT_TRUE(CCardJobFile::Holds(text, CCardJobFile::kTransferStart));
    EXPECT_FALSE(CCardJobFile(20).WriteReply(CCardJobFile::kError));  // no drive U:
}

TEST_F(CardJobFileTest, WaitEndsOnTheCamerasAnswer) {
    struct Case {
        const char* next;   // what the camera writes while we wait
        bool result;
        const char* reply;  // null: no reply file afterwards
    } cases[] = {
        {CCardJobFile::kTransferOk, true, CCardJobFile::kTransferStart},
        {CCardJobFile::kWithdrawn, false, nullptr},
        {CCardJobFile::kWaiting, false, CCardJobFile::kError},
    };
    for (const auto& c : cases) {
        boxes = 0;
        write("order.kvd", rec(CCardJobFile::kTransfer));
        CCardJobFile job(kDriveE);
        job.SetWaitTiming(10, 5000);
        ASSERT_TRUE(job.WriteReply(CCardJobFile::kTransferStart));
        std::thread camera([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            // the camera's record appears whole
            ASSERT_TRUE(plat::writeFileAtomic(card / "MISC" / "order.kvd", rec(c.next)).ok());
        });
        EXPECT_EQ(c.result, job.WaitForTransferOk({}));
        camera.join();
        if (c.reply) EXPECT_EQ(rec(c.reply), reply()) << c.next;
        else EXPECT_FALSE(replyExists()) << c.next;
        EXPECT_EQ(c.result ? 0 : 1, boxes.load()) << c.next;
    }
}

TEST_F(CardJobFileTest, ACameraThatNeverAnswersIsNotWaitedForForever) {
    write("order.kvd", rec(CCardJobFile::kTransfer));
    CCardJobFile job(kDriveE);
    job.SetWaitTiming(5, 30);
    EXPECT_FALSE(job.WaitForTransferOk({}));
    EXPECT_EQ(rec(CCardJobFile::kError), reply());
    EXPECT_EQ(1, boxes.load());
}

}  // namespace
