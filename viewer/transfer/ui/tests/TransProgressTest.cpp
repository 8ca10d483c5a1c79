#include "viewer/transfer/ui/TransPreviewDlg.h"
#include "viewer/transfer/ui/TransSimpleDlg.h"
#include "viewer/transfer/ui/TransTexts.h"
#include "viewer/transfer/ui/tests/UiTestSupport.h"

#include "platform/msg/MessageBox.h"
#include "platform/msg/Messaging.h"
#include "viewer/shell/common/ViewerMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "platform/thread/WorkerThread.h"

// ------------------------------------------------------------ the bar and frames

struct WidthCase {
    int32_t total, left, percent, width;
};

TEST(TransProgressLogic, BarWidthStaysWithinTheBar) {
    const WidthCase cases[] = {
        {3, 3, 0, 0},     {3, 3, 50, 31},  {3, 2, 0, 62},   {3, 1, 100, 187},
        {3, 1, 130, 187}, {1, 1, 100, 187}, {0, 0, 0, 0},   {0, 1, 100, 0},
        {2, 5, 0, 0},     {100000, 1, 100, 187},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TransProgressLogic::WidthFor(c.total, c.left, c.percent), c.width)
            << c.total << "/" << c.left << "/" << c.percent;
}

TEST(TransProgressLogic, FramesRunOneToNineEvenWhenProgressOvershoots) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 1}, {11, 1}, {12, 2}, {95, 8}, {96, 9}, {100, 9}, {108, 9},
                                                 {500, 9}, {-20, 1}};
    for (auto [percent, frame] : cases) EXPECT_EQ(TransProgressLogic::FrameForPercent(percent), frame) << percent;

    TransProgressLogic logic;
    logic.SetTotal(2);
    logic.SetCurrentFile(2);
    EXPECT_FALSE(logic.SetPercent(5));
    EXPECT_TRUE(logic.SetPercent(130));
    EXPECT_EQ(logic.Percent(), 100);
    EXPECT_EQ(logic.Frame(), 9);
}

TEST(TransProgressLogic, EmptyRunEndsWithAFullBarAndBusyCounterWraps) {
    TransProgressLogic logic;
    logic.SetTotal(0);
    EXPECT_EQ(logic.BarWidth(), 0);
    EXPECT_FALSE(logic.BarVisible());
    logic.Finish();
    EXPECT_EQ(logic.BarWidth(), kBarMaxWidth);

    logic.BusyBegin();
    std::vector<int32_t> ticks;
    for (int i = 0; i < 17; ++i) ticks.push_back(logic.BusyTick());
    EXPECT_EQ(ticks.front(), 16);
    EXPECT_EQ(ticks[15], 1);
    EXPECT_EQ(ticks[16], 16);
}

TEST(TransTexts, PlacesAreFilledInOrderAndNeverReadAsFormats) {
    EXPECT_EQ(FormatLangText("%d left", {"4"}), "4 left");
    EXPECT_EQ(FormatLangText("%s  %d%%", {"a.jpg", "50"}), "a.jpg  50%");
    EXPECT_EQ(FormatLangText("%s %s %n", {"x"}), "x  %n");
    EXPECT_EQ(PathLeaf("/tmp/work/IMG_1.JPG"), "IMG_1.JPG");
    EXPECT_EQ(PathLeaf("A:\\DCIM\\IMG_2.JPG"), "IMG_2.JPG");
    EXPECT_EQ(PathLeaf("IMG_3.JPG"), "IMG_3.JPG");
}

// ------------------------------------------------------------ the dialogs

namespace {

BitmapRecord Tile24(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    BitmapRecord rec;
    const size_t stride = ((size_t(w) * 24 + 31) / 32) * 4;
    rec.headerSize = 40;
    rec.size = uint32_t(40 + stride * h);
    rec.width = uint32_t(w);
    rec.height = uint32_t(h);
    rec.block.assign(rec.size, 0);
    const int32_t header[3] = {40, w, h};
    std::memcpy(rec.block.data(), header, sizeof header);
    const uint16_t planes = 1, bits = 24;
    std::memcpy(rec.block.data() + 12, &planes, 2);
    std::memcpy(rec.block.data() + 14, &bits, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = rec.block.data() + 40 + stride * y + x * 3;
            p[0] = b, p[1] = g, p[2] = r;
        }
    return rec;
}

class ProgressDialogTest : public UiTest {
protected:
    std::shared_ptr<JobLog> log = std::make_shared<JobLog>();
    std::unique_ptr<TransferJob> Job(bool startOk = true) { return std::make_unique<FakeTransferJob>(log, startOk); }
};

}  // namespace

TEST_F(ProgressDialogTest, RunsTheThreadAndEndsOnlyWithItsResult) {
    CTransSimpleDlg dlg(Job(), 2);
    dlg.show();
    ServeEvents();
    ASSERT_EQ(log->starts, 1);
    EXPECT_EQ(log->mode, 2);
    EXPECT_EQ(log->owner, dlg.handle());

    dlg.OnMessage(UM_TRANSFER_TOTAL, 3, 0);
    EXPECT_EQ(dlg.captionText(), "Copying pictures");
    TransferFileReport report;
    report.remaining = 3;
    dlg.OnMessage(UM_TRANSFER_FILE, 0, reinterpret_cast<plat::LParam>(&report));
    EXPECT_EQ(dlg.filesLeftText(), "3 left");
    dlg.OnMessage(UM_TRANSFER_PROGRESS, 50, 0);
    EXPECT_EQ(dlg.logic().BarWidth(), 31);

    // Cancel and the close box only ask the run to stop.
    dlg.reject();
    dlg.close();
    ServeEvents();
    EXPECT_EQ(log->cancels, 2);
    EXPECT_TRUE(dlg.isVisible());

    plat::postMessage(dlg.handle(), UM_TRANSFER_END, TransResult_Stopped, 0);
    ServeEvents();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), TransResult_Stopped);
    EXPECT_EQ(log->joins, 1);
    EXPECT_FALSE(dlg.jobRunning());
    EXPECT_EQ(dlg.logic().BarWidth(), kBarMaxWidth);
}

TEST_F(ProgressDialogTest, CancelIsRefusedWhileTheWorkerIsBusy) {
    CTransSimpleDlg dlg(Job(), 0);
    dlg.show();
    ServeEvents();
    dlg.OnMessage(UM_TRANSFER_BUSY, 0, 0);
    EXPECT_FALSE(dlg.cancelEnabled());
    dlg.reject();
    EXPECT_EQ(log->cancels, 0);
    dlg.OnMessage(UM_TRANSFER_BUSY, 1, 0);
    EXPECT_TRUE(dlg.cancelEnabled());
    dlg.reject();
    EXPECT_EQ(log->cancels, 1);
    dlg.OnMessage(UM_TRANSFER_END, TransResult_Done, 0);
}

TEST_F(ProgressDialogTest, AThreadThatCannotStartIsAFailureNotADoneRun) {
    std::vector<std::string> shown;
    plat::setMessageBoxResponder([&](const plat::MessageBoxRequest& r) {
        shown.push_back(r.text);
        return plat::kAnswerOk;
    });
    CTransPreviewDlg dlg(Job(false), 0);
    dlg.show();
    ServeEvents();
    plat::setMessageBoxResponder({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "The operation could not be completed.");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), TransResult_Failed);
}

TEST_F(ProgressDialogTest, EmptyRunEndsCleanly) {
    CTransSimpleDlg dlg(Job(), 0);
    dlg.show();
    ServeEvents();
    dlg.OnMessage(UM_TRANSFER_TOTAL, 0, 0);
    dlg.OnMessage(UM_TRANSFER_END, TransResult_Done, 0);
    EXPECT_EQ(dlg.result(), TransResult_Done);
    EXPECT_EQ(dlg.logic().BarWidth(), kBarMaxWidth);
}

TEST_F(ProgressDialogTest, PreviewTakesTheThumbnailAndShowsNameAndPercent) {
    CTransPreviewDlg dlg(Job(), 0);
    dlg.show();
    ServeEvents();
    dlg.OnMessage(UM_TRANSFER_TOTAL, 2, 0);
    TransferFileReport report;
    report.remaining = 2;
    report.path = "/tmp/work/IMG_0001.JPG";
    report.thumbnail = {Tile24(8, 4, 255, 0, 0), Tile24(8, 4, 0, 0, 255)};
    report.across = 2;
    report.down = 1;
    report.thumbnailSetting = 1;
    dlg.OnMessage(UM_TRANSFER_FILE, 0, reinterpret_cast<plat::LParam>(&report));
    EXPECT_TRUE(report.thumbnail.empty());   // moved to the dialog
    ASSERT_EQ(dlg.thumbnail().size(), 2u);
    ASSERT_FALSE(dlg.previewImage().isNull());
    EXPECT_EQ(dlg.previewImage().size(), QSize(16, 4));
    EXPECT_EQ(dlg.previewImage().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(dlg.previewImage().pixel(15, 3), qRgb(0, 0, 255));
    EXPECT_EQ(dlg.fileText(), "IMG_0001.JPG  0%");

    dlg.OnMessage(UM_TRANSFER_PROGRESS, 140, 0);
    EXPECT_EQ(dlg.fileText(), "IMG_0001.JPG  100%");
    EXPECT_EQ(dlg.logic().Frame(), 9);
    EXPECT_LE(dlg.logic().BarWidth(), kBarMaxWidth);

    TransferFileReport second;
    second.remaining = 1;
    second.path = "/tmp/work/MVI_0002.MOV";
    dlg.OnMessage(UM_TRANSFER_FILE, 0, reinterpret_cast<plat::LParam>(&second));
    EXPECT_TRUE(dlg.thumbnail().empty());
    EXPECT_TRUE(dlg.previewImage().isNull());
    EXPECT_EQ(dlg.logic().Frame(), 1);
    dlg.OnMessage(UM_TRANSFER_END, TransResult_Done, 0);
    EXPECT_TRUE(dlg.thumbnail().empty());
}

TEST(TransPreviewDlg, PreviewIsFittedIntoTheSquareKeepingItsShape) {
    EXPECT_EQ(CTransPreviewDlg::FitPreview(160, 120), QRect(22, 34, 96, 72));
    EXPECT_EQ(CTransPreviewDlg::FitPreview(120, 160), QRect(34, 22, 72, 96));
    EXPECT_EQ(CTransPreviewDlg::FitPreview(50, 50), QRect(22, 22, 96, 96));
    EXPECT_EQ(CTransPreviewDlg::FitPreview(0, 10), QRect());
}

namespace {

// A thread that keeps reporting progress to its dialog until it is cancelled.
class ChattyJob : public TransferJob {
public:
    bool Start(plat::WindowHandle owner, int32_t) override {
        thread_ = std::make_unique<plat::WorkerThread>([this, owner] {
            while (!stop_.load()) plat::sendMessage(owner, UM_TRANSFER_PROGRESS, 10, 0);
            return 0u;
        });
        return thread_->create(plat::WorkerThread::Start::Running);
    }
    void Cancel() override { stop_.store(true); }
    void Join() override {
        if (thread_) thread_->waitUntilEnded();
        thread_.reset();
    }

private:
    std::atomic<bool> stop_{false};
    std::unique_ptr<plat::WorkerThread> thread_;
};

}  // namespace

TEST_F(ProgressDialogTest, ADialogDestroyedMidRunStopsAndJoinsItsThread) {
    auto dlg = std::make_unique<CTransSimpleDlg>(std::make_unique<ChattyJob>(), 0);
    dlg->show();
    ServeEvents();
    dlg->OnMessage(UM_TRANSFER_TOTAL, 1, 0);
    ServeEvents();
    dlg.reset();   // must neither hang nor leave the thread running
    SUCCEED();
}
