#include "viewer/browser/view/ViewerFrame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "viewer/browser/view/tests/FakeSource.h"

namespace {

class ViewerFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "browser_view_ui_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QApplication(argc, argv);
        source.folders = {"100ABCDE"};
        for (const char* n : {"A.JPG", "B.JPG", "C.JPG"}) {
            source.pictures[n] = {};
            source.listed.push_back(n);
        }
        ViewerViewServices viewServices;
        viewServices.text = [](uint32_t id) { return "<" + std::to_string(id) + ">"; };
        ViewerFrameServices services;
        services.suspendDeviceCheck = [this] { steps.push_back("suspend"); return true; };
        services.closeViewers = [this] {
            steps.push_back(frame->View().Model().Readers().Busy() ? "viewers closed while reading"
                                                                  : "viewers closed");
        };
        services.cleanTempFolder = [this] { steps.push_back("clean temp"); };
        services.closeMainWindow = [this] { steps.push_back("close main"); };
        services.openTransferPanel = [this] { steps.push_back("open panel"); };
        services.clearTargetConnected = [this] { steps.push_back("disconnected"); };
        frame = std::make_unique<CViewerFrame>(source, ViewSettingsCopy{}, viewServices, services);
        frame->show();
    }

    FakeSource source;
    std::vector<std::string> steps;
    std::unique_ptr<CViewerFrame> frame;
};

TEST_F(ViewerFrameTest, ClosingStopsTheReadersBeforeAnyWindowCloses) {
    source.onThumb = [](const std::string&, const plat::Event* cancel) {
        while (plat::waitFor(*cancel, 20) != plat::kWaitSignalled) {
        }
        return -96;
    };
    frame->View().OpenTarget("Card");
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->View().Model().RunActive(); }, 20000));
    frame->close();
    EXPECT_EQ((std::vector<std::string>{"disconnected", "suspend", "viewers closed", "clean temp", "close main"}),
              steps);
    EXPECT_TRUE(frame->View().Model().Items().empty());
}

TEST_F(ViewerFrameTest, AcceptingACameraRequestSwitchesWithoutEndingTheProgram) {
    frame->AcceptCameraRequest();
    EXPECT_EQ((std::vector<std::string>{"viewers closed", "open panel"}), steps);
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(ViewerFrameTest, StatusPanesAndSize) {
    EXPECT_EQ("<62417>", frame->StatusText(0).toStdString());
    frame->ShowStatus(62415);
    EXPECT_EQ("<62415>", frame->StatusText(0).toStdString());
    frame->View().OpenTarget("Card");
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->View().Model().Idle() && frame->View().Model().Items().size() == 3; },
                                20000));
    frame->RefreshStatusPanes();
    EXPECT_EQ("100ABCDE", frame->StatusText(2).toStdString());
    EXPECT_EQ("<62401>3", frame->StatusText(3).toStdString());
    EXPECT_EQ("<62402>0", frame->StatusText(4).toStdString());
    EXPECT_EQ(QSize(650, 480), frame->minimumSize());
    EXPECT_TRUE(frame->CommandEnabled(32793));
    EXPECT_FALSE(frame->CommandEnabled(32829));   // nothing selected
}

}  // namespace
