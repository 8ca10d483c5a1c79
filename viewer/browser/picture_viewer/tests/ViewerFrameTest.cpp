#include "viewer/browser/picture_viewer/BltInFormView.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/picture_viewer/BltInViewerThread.h"
#include "platform/msg/MessageReceiver.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/picture_viewer/ViewerFrameList.h"

#include "platform/msg/Messaging.h"
#include "viewer/browser/ImageBuffer.h"
#include "viewer/shell/common/ViewerMessages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include <vector>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "picture_viewer_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

std::unique_ptr<PictureRecord> Picture(int32_t w, int32_t h) {
    std::vector<uint8_t> pixels(size_t(w) * h * 3, 0x80);
    ImageDescription d;
    d.width = w;
    d.height = h;
    d.colorModel = 3;
    CImageBuffer buffer;
    std::unique_ptr<PictureRecord> record;
    EXPECT_EQ(MakePictureRecord(buffer, false, "/card/100VOREL/A.JPG", d, pixels.size(), pixels.data(), record), 1);
    return record;
}

BltInFrameServices Services(CViewerFrameList* frames) {
    BltInFrameServices s;
    s.frames = frames;
    s.screen = [] {
        ScreenMetrics m;
        m.screenWidth = 1024;
        m.screenHeight = 768;
        return m;
    };
    return s;
}

TEST(ViewerFrame, OpensRegisteredAndLeavesTheListWhenClosed) {
    App();
    CViewerFrameList frames;
    QPointer<CBltInFrameWnd> frame = OpenViewerFrame(Picture(400, 300), "100VOREL\\A.JPG", Services(&frames));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->FirstSize().startZoom, 100);
    EXPECT_EQ(frame->FirstSize().width, kViewerMinWidth);
    EXPECT_EQ(frames.Count(), 1u);
    EXPECT_EQ(frames.Find("100VOREL\\A.JPG"), frame->Handle());
    EXPECT_FALSE(frame->Form()->RotateEnabled());
    frame->Form()->ZoomIn();
    EXPECT_EQ(frame->Form()->Zoom(), 150);
    frame->close();
    EXPECT_EQ(frames.Count(), 0u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frame);
}

TEST(ViewerFrame, MessagesFromTheBrowserAndTheOpenJob) {
    App();
    CViewerFrameList frames;
    QPointer<CBltInFrameWnd> frame = OpenViewerFrame(Picture(400, 300), "100VOREL\\A.JPG", Services(&frames));
    ASSERT_TRUE(frame);
    plat::sendMessage(frame->Handle(), UM_ACCESS_STATE, 1, 0);
    EXPECT_TRUE(frame->Form()->RotateEnabled());
    plat::sendMessage(frame->Handle(), UM_ACCESS_STATE, 0, 0);
    EXPECT_FALSE(frame->Form()->RotateEnabled());
    // The same rotation again only brings the window forward.
    const std::string path = "/nowhere/A.JPG";
    EXPECT_EQ(plat::sendMessage(frame->Handle(), kViewerShowPicture, plat::WParam(&path), 0), 0);
    EXPECT_TRUE(frame);
    delete frame.data();
    EXPECT_EQ(frames.Count(), 0u);
}

TEST(ViewerFrame, AFailedNewRotationLeavesTheOldPictureOrClosesWithAMessage) {
    App();
    CViewerFrameList frames;
    std::vector<uint32_t> boxes;
    BltInFrameServices services = Services(&frames);
    services.errorBox = [&](uint32_t id) { boxes.push_back(id); };
    QPointer<CBltInFrameWnd> frame = OpenViewerFrame(Picture(400, 300), "100VOREL\\A.JPG", services);
    ASSERT_TRUE(frame);
    const PictureRecord* before = frame->Picture();
    const std::string path = "/nowhere/A.JPG";
    const auto result = plat::sendMessage(frame->Handle(), kViewerShowPicture, plat::WParam(&path), 1);
    EXPECT_NE(result, 0);
    if (result == 6 || result == 7) {
        EXPECT_EQ(frame->Picture(), before);  // the browser reports these; the picture stays
        EXPECT_EQ(frame->Form()->Turns(), 0);
        EXPECT_TRUE(boxes.empty());
    } else {
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_EQ(frames.Count(), 0u);
    }
    delete frame.data();
}

TEST(ViewerFrame, SwappedPictureTakesItsTurns) {
    App();
    CViewerFrameList frames;
    QPointer<CBltInFrameWnd> frame = OpenViewerFrame(Picture(400, 300), "100VOREL\\A.JPG", Services(&frames));
    ASSERT_TRUE(frame);
    frame->SwapPicture(Picture(300, 400), 1);
    EXPECT_EQ(frame->Form()->Turns(), 1);
    EXPECT_EQ(frame->Picture()->width, 300u);
    EXPECT_TRUE(frame->Form()->PaintingAllowed().load());
    frame->grab();  // paints the tiles
    delete frame.data();
}

class NoPictures : public JobAccess {
public:
    bool IsFile(const std::string&, const std::string&) override { return false; }
    int32_t GetFullPath(const std::string&, const std::string&, std::string*) override { return -99; }
    int32_t CopyFile(const std::string&, const std::string&) override { return -90; }
    int32_t DeleteFile(const std::string&, const std::string&) override { return 0; }
    int32_t DeleteFolder(const std::string&) override { return 0; }
    int32_t GetThumbnail(const std::string&, const std::string&, std::unique_ptr<PictureRecord>&, int32_t,
                         int32_t) override {
        return 1;
    }
    int32_t LastResult() override { return 0; }
    bool SuspendDeviceCheck() override { return true; }
    int32_t ResumeDeviceCheck() override { return 0; }
    uint64_t FreeSpace(const std::string&) override { return 0; }
    int Ask(plat::WindowHandle, const std::string&, const std::string&, plat::MessageButtons,
            plat::MessageIcon) override {
        return 0;
    }
    OverwriteAnswer AskOverwrite(plat::WindowHandle, const std::string&, bool) override {
        return OverwriteAnswer::Cancel;
    }
};

struct Seen {
    std::vector<std::pair<uint32_t, plat::WParam>> messages;
    std::unique_ptr<plat::MessageReceiver> receiver = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam) {
            messages.emplace_back(m, w);
            return plat::LResult(0);
        });
};

// Every way the open job ends reaches the progress dialog, including the early
// ones, and the browser hears of failures.
TEST(ViewerOpenThread, EveryEndReachesTheDialog) {
    App();
    struct Case {
        std::vector<ViewerOpenItem> items;
        plat::WParam done;
        uint32_t toView;  // 0: nothing
    } cases[] = {
        {{}, 1, 0},
        {{{"A.JPG", true, false, 0}}, 0, UM_FILE_MISSING},
    };
    for (const Case& c : cases) {
        Seen progress, view;
        NoPictures access;
        CViewerFrameList frames;
        BrowserViewerHost host(&frames, view.receiver->handle(), progress.receiver->handle(), nullptr);
        ViewerOpenJob job;
        job.access = &access;
        job.host = &host;
        job.items = c.items;
        job.folder = "100VOREL";
        job.tempFolder = "/tmp";
        CBltInViewerThread thread(view.receiver->handle());
        thread.Setup(progress.receiver->handle(), plat::Event::create(plat::Event::Reset::Auto, false), job);
        ASSERT_EQ(thread.Begin(), 1);
        while (progress.messages.empty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        thread.Join();
        QCoreApplication::processEvents();
        EXPECT_EQ(progress.messages.back().first, UM_WORKER_DONE);
        EXPECT_EQ(progress.messages.back().second, c.done);
        if (c.toView) {
            ASSERT_EQ(view.messages.size(), 1u);
            EXPECT_EQ(view.messages[0].first, c.toView);
        } else {
            EXPECT_TRUE(view.messages.empty());
        }
    }
}

// The browser closes its viewers when the card goes, also while one of them
// turns its picture: the wait ends, nothing of the frame is touched again and
// the long operation is still ended.
TEST(ViewerFrame, ClosedWhileItsPictureTurnsEndsCleanly) {
    App();
    class SlowPath : public NoPictures {
    public:
        int32_t GetFullPath(const std::string&, const std::string&, std::string*) override {
            while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return -99;
        }
        std::atomic<bool> release{false};
    } access;
    CViewerFrameList frames;
    int ended = 0;
    BltInFrameServices services = Services(&frames);
    services.access = &access;
    services.endLongOperation = [&] { ++ended; };
    services.errorBox = [](uint32_t) {};
    QPointer<CBltInFrameWnd> frame = OpenViewerFrame(Picture(400, 300), "100VOREL\\A.JPG", services);
    ASSERT_TRUE(frame);
    plat::sendMessage(frame->Handle(), UM_ACCESS_STATE, 1, 0);
    std::thread releaser;
    QTimer::singleShot(100, [&] {
        frame->close();
        releaser = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            access.release = true;
        });
    });
    frame->Form()->Rotate(true);
    if (releaser.joinable()) releaser.join();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frame);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(frames.Count(), 0u);
}

}  // namespace
