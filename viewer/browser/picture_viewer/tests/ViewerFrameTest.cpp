#include "viewer/browser/picture_viewer/BltInFormView.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/picture_viewer/ViewerFrameList.h"

#include "platform/msg/Messaging.h"
#include "viewer/browser/ImageBuffer.h"
#include "viewer/shell/common/ViewerMessages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>

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

ViewerFrameServices Services(CViewerFrameList* frames) {
    ViewerFrameServices s;
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

}  // namespace
