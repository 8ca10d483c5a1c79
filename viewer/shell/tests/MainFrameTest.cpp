#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/MainFrame.h"
#include "viewer/shell/common/MessageIdRecord.h"
#include "viewer/shell/common/RegistryNames.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/desktop/Desktop.h"
#include "platform/msg/Messages.h"
#include "platform/msg/MessageWait.h"
#include "platform/msg/Messaging.h"
#include "platform/thread/Event.h"
#include "viewer/sources/JqIfMngResult.h"

#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class MainFrameTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        app_ = StartApp({"-FromWakely"});
        frame_ = app_->MainFrame();
        ASSERT_NE(frame_, nullptr);
    }
    void TearDown() override
    {
        app_->ExitInstance();
        app_.reset();
        ShellFixture::TearDown();
    }
    // The registered message as the monitor sends it, handled now.
    void Notify(int index)
    {
        plat::sendMessage(frame_->Handle(), CMainFrame::WakelyMessage(), 0, index);
        PumpFor(20);
    }
    RecordingWindow& Panel() { return *windows_->panel; }
    int Boxes(uint32_t id) const
    {
        int n = 0;
        for (const BoxRecord& b : boxes_)
            n += b.text == UsaText(id);
        return n;
    }

    std::unique_ptr<CLumoraApp> app_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace

TEST_F(MainFrameTest, DriveNotificationOpensTheTarget)
{
    std::ofstream(installDir_ / "temp" / "old.jpg") << "x";
    Notify(4);  // no MessageID key: a drive falls back to its letter
    ASSERT_TRUE(app_->targetOpen);
    EXPECT_EQ(app_->currentIndex, 4);
    EXPECT_STREQ(app_->targetRecord.Name, "E:");
    EXPECT_TRUE(frame_->StatusTimerRunning());
    plat::LParam index = -1;
    ASSERT_TRUE(PumpUntil([&] { return Panel().got(UM_TARGET_OPENED, &index); }));
    EXPECT_EQ(index, 4);
    EXPECT_EQ(windows_->panelIndex, 4);
    EXPECT_EQ(UserString(kLastTargetKey, kNameValue), "E:");
    EXPECT_EQ(app_->viewerClassNames[0], "BltInFrame:8195:0:0:132");
    EXPECT_EQ(app_->backgroundColour, 0x00F0E6E3u);
    EXPECT_FALSE(fs::exists(installDir_ / "temp" / "old.jpg"));
}

TEST_F(MainFrameTest, DeviceCheckPausedByAWorkerRunsOnTheUiThread)
{
    Notify(4);
    ASSERT_TRUE(frame_->StatusTimerRunning());
    struct Case {
        const char* what;
        bool cardCreatable;
        bool resumed;
    };
    const Case cases[] = {{"restarted", true, true}, {"cannot restart", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        parts_->card = false;  // the restart opens the card again and checks it
        parts_->cardCreatable = c.cardCreatable;
        parts_->callsOffUiThread = 0;
        bool resumed = !c.resumed;
        plat::Event done = plat::Event::create(plat::Event::Reset::Manual, false);
        std::thread worker([&] {
            frame_->SuspendDeviceCheck();
            resumed = frame_->ResumeDeviceCheck();
            done.set();
        });
        EXPECT_EQ(plat::waitServingSends(done, 30000), plat::kWaitSignalled);
        worker.join();
        PumpFor(20);
        EXPECT_EQ(resumed, c.resumed);
        EXPECT_EQ(frame_->StatusTimerRunning(), c.resumed);
        EXPECT_EQ(parts_->callsOffUiThread.load(), 0);
    }
}

TEST_F(MainFrameTest, TickDuringAPauseLeavesTheCheckStopped)
{
    Notify(4);
    frame_->SuspendDeviceCheck();
    frame_->OnTimer();  // a tick that was already on its way
    EXPECT_FALSE(frame_->StatusTimerRunning());
    EXPECT_TRUE(frame_->ResumeDeviceCheck());
    EXPECT_TRUE(frame_->StatusTimerRunning());
}

TEST_F(MainFrameTest, SecondDeviceWhileOpenIsRefused)
{
    Notify(4);
    Notify(5);
    EXPECT_EQ(Boxes(61606), 1);
    EXPECT_EQ(app_->currentIndex, 4);
    EXPECT_EQ(parts_->cardCreations, 1);
}

TEST_F(MainFrameTest, UnnamedCameraClosesOnce)
{
    Notify(26);  // no record for a camera class
    ASSERT_TRUE(PumpUntil([&] { return Panel().got(plat::kMsgClose); }));
    EXPECT_EQ(Boxes(61602), 1);
    EXPECT_EQ(boxes_.back().owner, windows_->TransferPanel());
    EXPECT_EQ(boxes_.back().icon, plat::MessageIcon::Stop);
    EXPECT_TRUE(frame_->MessageShown());
}

TEST_F(MainFrameTest, ControllerMappingTable)
{
    // Each mapping on a frame whose latch is still open.
    const struct { int result; uint32_t text; } cases[] = {
        {102, 61663}, {103, 61663}, {-114, 61602}, {-112, 61685}, {-107, 61687}, {-5, 61612},
    };
    for (const auto& c : cases) {
        app_->ExitInstance();
        app_.reset();
        boxes_.clear();
        app_ = StartApp({"-FromWakely"});
        frame_ = app_->MainFrame();
        parts_->controllerResult = c.result;
        MessageIdRecord cam;
        cam.SetName("/cf/W310.kx3");
        cam.SetCapability("M");
        ASSERT_TRUE(WriteMessageID(26, cam));
        Notify(26);
        PumpUntil([&] { return !boxes_.empty(); });
        ASSERT_EQ(boxes_.size(), 1u) << c.result;
        EXPECT_EQ(boxes_[0].text, UsaText(c.text)) << c.result;
    }
}

TEST_F(MainFrameTest, TimerStatuses)
{
    windows_->OpenBrowser(false);
    Notify(4);
    RecordingWindow& view = *windows_->browserView;

    parts_->statuses = {JqIfMngResult_StatusFilesChanged};
    frame_->OnTimer();
    parts_->statuses = {JqIfMngResult_StatusFoldersChanged};
    frame_->OnTimer();
    PumpFor(20);
    EXPECT_EQ(view.count(UM_TARGET_FILES_CHANGED), 1);
    EXPECT_EQ(view.count(UM_TARGET_CHANGED), 1);
    EXPECT_TRUE(frame_->StatusTimerRunning());

    // The camera's warning is shown at every tick and the watch goes on.
    parts_->statuses = {JqIfMngResult_Module135, JqIfMngResult_Module135};
    frame_->OnTimer();
    frame_->OnTimer();
    EXPECT_EQ(Boxes(61614), 2);
    EXPECT_TRUE(frame_->StatusTimerRunning());
    EXPECT_FALSE(windows_->browserFrame->got(plat::kMsgClose));

    // Two fatal statuses in a row: one box, one close.
    parts_->statuses = {JqIfMngResult_NoAnswer};
    frame_->OnTimer();
    EXPECT_FALSE(frame_->StatusTimerRunning());
    parts_->statuses = {JqIfMngResult_StatusNoCard};
    frame_->OnTimer();
    PumpFor(50);
    EXPECT_EQ(Boxes(61667), 1);
    EXPECT_EQ(Boxes(61616), 0);
    EXPECT_EQ(windows_->browserFrame->count(plat::kMsgClose), 1);
}

TEST_F(MainFrameTest, CardOrderFileAsksForATransfer)
{
    Notify(4);
    parts_->transferRequested = true;
    windows_->modal = true;
    frame_->OnTimer();
    PumpFor(20);
    EXPECT_FALSE(Panel().got(UM_TRANSFER_REQUEST));
    windows_->modal = false;
    frame_->OnTimer();
    ASSERT_TRUE(PumpUntil([&] { return Panel().got(UM_TRANSFER_REQUEST); }));
}

TEST_F(MainFrameTest, DeviceRemoval)
{
    Notify(4);
    plat::DeviceChange other{plat::kDeviceTypeVolume, 1u << 5};
    frame_->WindowProc(plat::kMsgDeviceChange, plat::kDeviceRemoveComplete, reinterpret_cast<plat::LParam>(&other));
    PumpFor(20);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(frame_->StatusTimerRunning());
    // Several volumes at once, the current one not the highest.
    plat::DeviceChange several{plat::kDeviceTypeVolume, (1u << 4) | (1u << 7)};
    EXPECT_EQ(frame_->WindowProc(plat::kMsgDeviceChange, plat::kDeviceRemoveComplete,
                                 reinterpret_cast<plat::LParam>(&several)),
              1);
    ASSERT_TRUE(PumpUntil([&] { return Panel().got(plat::kMsgClose); }));
    EXPECT_EQ(Boxes(61667), 1);
    EXPECT_FALSE(frame_->StatusTimerRunning());
}

TEST_F(MainFrameTest, StartWithoutMonitorReopensTheLastTarget)
{
    MessageIdRecord last;
    last.SetName("F:");
    ASSERT_TRUE(app_->Settings()->SaveLastTarget(last));
    frame_->OnStartWithoutMonitor(0);
    EXPECT_TRUE(app_->targetOpen);
    EXPECT_EQ(app_->currentIndex, 5);
    ASSERT_TRUE(PumpUntil([&] { return Panel().got(UM_TARGET_OPENED); }));
    EXPECT_EQ(windows_->panelIndex, 5);
}

TEST_F(MainFrameTest, StartWithoutMonitorToleratesTheCameraWarning)
{
    MessageIdRecord last;
    last.SetName("/cf/W310.kx3");
    last.SetCapability("Snapwren310");
    ASSERT_TRUE(app_->Settings()->SaveLastTarget(last));
    parts_->statuses = {JqIfMngResult_Module135};
    frame_->OnStartWithoutMonitor(0);
    EXPECT_TRUE(app_->targetOpen);
    EXPECT_EQ(app_->currentIndex, 26);
    EXPECT_EQ(Boxes(61669), 0);
}

TEST_F(MainFrameTest, FailedStartWithoutMonitorLeavesNoController)
{
    MessageIdRecord last;
    last.SetName("/cf/W310.kx3");
    last.SetCapability("Snapwren310");
    ASSERT_TRUE(app_->Settings()->SaveLastTarget(last));
    parts_->statuses = {JqIfMngResult_NoAnswer};
    frame_->OnStartWithoutMonitor(0);
    EXPECT_FALSE(app_->targetOpen);
    EXPECT_EQ(app_->currentIndex, 0);
    EXPECT_EQ(Boxes(61669), 1);
    EXPECT_FALSE(parts_->HasCameraController());
    EXPECT_GE(parts_->cameraDeletes, 1);
}

TEST_F(MainFrameTest, SessionEndClosesTheTarget)
{
    Notify(26 + 1000);  // no record: refused, and the work window closes
    boxes_.clear();
    EXPECT_EQ(frame_->WindowProc(plat::kMsgQueryEndSession, 0, 0), 1);
    ASSERT_TRUE(PumpUntil([&] { return Panel().count(plat::kMsgClose) >= 1; }));
}

TEST_F(MainFrameTest, WithoutWorkWindowTheProgramEnds)
{
    windows_->DestroyAll();
    frame_->OnCloseTarget();
    ASSERT_TRUE(PumpUntil([&] { return quits_ > 0; }));
    quits_ = 0;
    windows_->panelCreatable = false;
    plat::postMessage(frame_->Handle(), UM_OPEN_TRANSFER_PANEL, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return quits_ > 0; }));
}

TEST_F(MainFrameTest, MissingHelpSaysWhere)
{
    frame_->ShowHelpTopic(0);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find((installDir_ / "help").string()), std::string::npos) << boxes_[0].text;
}
