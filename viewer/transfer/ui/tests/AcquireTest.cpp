#include "viewer/transfer/ui/AcquireDlg.h"
#include "viewer/transfer/ui/SelectImage.h"
#include "viewer/transfer/ui/tests/UiTestSupport.h"

#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "platform/testing/TempRoot.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/transfer/CardJobFile.h"
#include "viewer/transfer/TransTypes.h"

#include <QImage>
#include <QToolButton>
#include <QAction>
#include <QButtonGroup>
#include <QMenu>
#include <QToolButton>

#include <deque>

namespace {

// A camera's side of the handshake, scripted.
struct ScriptedHandshake : RequestHandshake {
    bool writable = true;
    bool confirms = true;
    std::vector<std::string>* replies;
    std::vector<uint32_t>* messages;
    ScriptedHandshake(std::vector<std::string>* r, std::vector<uint32_t>* m) : replies(r), messages(m) {}
    bool WriteReply(const std::string& word) override {
        replies->push_back(word);
        return writable;
    }
    bool WaitForTransferOk(plat::WindowHandle) override { return confirms; }
    int ShowMessage(plat::WindowHandle, uint32_t id, int) override {
        messages->push_back(id);
        return 1;
    }
};

// A transfer thread that ends at once with a chosen result.
class EndingJob : public TransferJob {
public:
    explicit EndingJob(int32_t result) : result_(result) {}
    bool Start(plat::WindowHandle owner, int32_t) override {
        return plat::postMessage(owner, UM_TRANSFER_END, plat::WParam(result_), 0);
    }
    void Cancel() override {}
    void Join() override {}

private:
    int32_t result_;
};

struct FakeHost : AcquireHost {
    CViewSettings settings;
    bool web = true;
    plat::WindowHandle frame;
    int killTimer = 0, connects = 0, sheets = 0;
    std::vector<uint32_t> help;
    std::vector<int32_t> jobModes;
    int32_t runResult = TransResult_Done;
    bool writable = true, confirms = true;
    std::vector<std::string> replies;
    std::vector<uint32_t> messages;

    CViewSettings* Settings() override { return &settings; }
    bool WebUploadAvailable() override { return web; }
    plat::WindowHandle MainFrame() override { return frame; }
    void KillStatusTimer() override { ++killTimer; }
    void ConnectTarget() override { ++connects; }
    void ShowHelpTopic(uint32_t id) override { help.push_back(id); }
    void RunSettingsSheet(QWidget*) override { ++sheets; }
    std::unique_ptr<TransferJob> MakeTransferJob(int32_t mode) override {
        jobModes.push_back(mode);
        return std::make_unique<EndingJob>(runResult);
    }
    std::unique_ptr<RequestHandshake> MakeHandshake(int32_t) override {
        auto h = std::make_unique<ScriptedHandshake>(&replies, &messages);
        h->writable = writable;
        h->confirms = confirms;
        return h;
    }
};

// Records what the panel posts to the main frame.
struct FrameRecorder {
    std::vector<uint32_t> got;
    plat::MessageReceiver receiver{[this](uint32_t m, plat::WParam, plat::LParam) {
        got.push_back(m);
        return plat::LResult(0);
    }};
};

class AcquireTest : public UiTest {
protected:
    plat::testing::TempRoot root;
    FakeHost host;
    FrameRecorder frame;
    void SetUp() override {
        UiTest::SetUp();
        host.frame = frame.receiver.handle();
    }
};

}  // namespace

TEST(AcquireLogic, ChoicesFromTheSettingsAreCheckedAndTheSelectionKeptOnlyOnRequest) {
    plat::testing::TempRoot root;
    CViewSettings s;
    s.SelectTransfer = 3;
    s.KeepSelect = 0;
    s.ImageSize = 9;
    s.CheckLocal = 0;
    s.CheckWeb = 1;
    CAcquireLogic logic;
    logic.LoadChoices(s);
    EXPECT_EQ(logic.SelectTransfer(), 0u);
    EXPECT_EQ(logic.ImageSize(), 0u);
    s.KeepSelect = 1;
    s.ImageSize = 2;
    logic.LoadChoices(s);
    EXPECT_EQ(logic.SelectTransfer(), 3u);
    EXPECT_EQ(logic.ImageSize(), 2u);
    EXPECT_EQ(logic.MarkerBitmap(), 214u);
    EXPECT_EQ(logic.MarkerX(), 20);
    EXPECT_EQ(logic.SelectionTextId(), 0u);

    logic.ToggleLocal();
    logic.ToggleWeb();
    EXPECT_TRUE(logic.TakeImageSizeCommand(32827));
    EXPECT_FALSE(logic.TakeImageSizeCommand(32828));
    CViewSettings out;
    logic.WriteChoices(out);
    EXPECT_EQ(out.SelectTransfer, 3u);
    EXPECT_EQ(out.KeepSelect, 1u);
    EXPECT_EQ(out.ImageSize, 3u);
    EXPECT_EQ(out.CheckLocal, 1u);
    EXPECT_EQ(out.CheckWeb, 0u);
}

TEST(AcquireLogic, TransferNeedsATargetAndADestination) {
    struct Case {
        int32_t target;
        bool local, web, transfer, browser;
    } cases[] = {
        {-1, true, true, false, false}, {0, true, false, true, true}, {3, false, true, true, true},
        {3, false, false, false, true},
    };
    for (const auto& c : cases) {
        CAcquireLogic logic;
        logic.SetTarget(c.target);
        if (!c.local) logic.ToggleLocal();
        if (c.web) logic.ToggleWeb();
        EXPECT_EQ(logic.TransferEnabled(), c.transfer) << c.target << c.local << c.web;
        EXPECT_EQ(logic.BrowserEnabled(), c.browser);
    }
}

TEST(AcquireLogic, CameraRequestAnswers) {
    struct Case {
        bool webFlag, local, web, pressed, writable, confirms;
        bool accepted;
        std::vector<std::string> replies;
        std::vector<uint32_t> messages;
    } cases[] = {
        {true, true, false, false, true, true, true, {CCardJobFile::kTransferStart}, {}},
        {true, true, false, true, true, true, false, {CCardJobFile::kError}, {}},
        {true, false, false, false, true, true, false, {CCardJobFile::kCanceled}, {61677}},
        {false, false, false, false, true, true, true, {CCardJobFile::kTransferStart}, {}},
        {true, false, true, false, false, true, false, {CCardJobFile::kTransferStart}, {61675}},
        {true, true, true, false, true, false, false, {CCardJobFile::kTransferStart}, {}},
    };
    for (const auto& c : cases) {
        CAcquireLogic logic;
        logic.SetWebUpload(c.webFlag);
        if (!c.local) logic.ToggleLocal();
        if (c.web) logic.ToggleWeb();
        std::vector<std::string> replies;
        std::vector<uint32_t> messages;
        ScriptedHandshake hs(&replies, &messages);
        hs.writable = c.writable;
        hs.confirms = c.confirms;
        EXPECT_EQ(logic.AcceptRequest(hs, {}, c.pressed), c.accepted);
        EXPECT_EQ(replies, c.replies);
        EXPECT_EQ(messages, c.messages);
    }
}

TEST(AcquireLogic, FinishReplyTellsTheCameraHowTheRunEnded) {
    EXPECT_STREQ(CAcquireLogic::FinishReply(TransResult_Done), CCardJobFile::kTransferFinish);
    EXPECT_STREQ(CAcquireLogic::FinishReply(TransResult_Skipped), CCardJobFile::kTransferFinish);
    EXPECT_STREQ(CAcquireLogic::FinishReply(TransResult_Stopped), CCardJobFile::kCanceled);
    EXPECT_STREQ(CAcquireLogic::FinishReply(TransResult_SourceGone), CCardJobFile::kError);
    EXPECT_STREQ(CAcquireLogic::FinishReply(TransResult_Failed), CCardJobFile::kError);
}

TEST_F(AcquireTest, TransferButtonRunsAndReconnectsUnlessTheSourceWentAway) {
    CAcquireDlg panel(&host);
    EXPECT_FALSE(panel.button(CAcquireDlg::kTransfer)->isEnabled());
    plat::postMessage(panel.handle(), UM_TARGET_OPENED, 0, 4);
    ServeEvents();
    ASSERT_TRUE(panel.button(CAcquireDlg::kTransfer)->isEnabled());
    EXPECT_EQ(panel.logic().Target(), 4);

    panel.OnTransfer();
    EXPECT_EQ(host.jobModes, std::vector<int32_t>{0});
    EXPECT_EQ(host.killTimer, 1);
    EXPECT_EQ(host.connects, 1);

    host.runResult = TransResult_SourceGone;
    panel.OnTransfer();
    EXPECT_EQ(host.connects, 1);
}

TEST_F(AcquireTest, CameraRequestRunsInModeTwoAndRepliesWithTheOutcome) {
    CAcquireDlg panel(&host);
    panel.SetTarget(5);
    host.runResult = TransResult_Stopped;
    plat::postMessage(panel.handle(), UM_TRANSFER_REQUEST, 0, 0);
    ServeEvents();
    EXPECT_EQ(host.jobModes, std::vector<int32_t>{2});
    EXPECT_EQ(host.replies, (std::vector<std::string>{CCardJobFile::kTransferStart, CCardJobFile::kCanceled}));
    EXPECT_EQ(host.connects, 1);

    // Refused: no run, but the target is connected again.
    host.replies.clear();
    host.confirms = false;
    panel.OnTransferRequest();
    EXPECT_EQ(host.jobModes.size(), 1u);
    EXPECT_EQ(host.connects, 2);
}

TEST_F(AcquireTest, TogglesPictureSizeAndSelectionChangeTheChoices) {
    CAcquireDlg panel(&host);
    panel.SetTarget(0);
    EXPECT_TRUE(panel.button(CAcquireDlg::kToggleLocal)->isVisibleTo(&panel));
    panel.OnToggleLocal();
    EXPECT_FALSE(panel.button(CAcquireDlg::kTransfer)->isEnabled());
    // switched off, the toggle still draws a face (not just the panel's background)
    for (auto id : {CAcquireDlg::kToggleLocal, CAcquireDlg::kToggleWeb}) {
        QAbstractButton* toggle = panel.button(id);
        ASSERT_FALSE(toggle->isChecked());
        const QImage face = toggle->grab().toImage();
        const QRgb first = face.pixel(0, 0);
        bool drawn = false;
        for (int y = 0; y < face.height() && !drawn; ++y)
            for (int x = 0; x < face.width() && !drawn; ++x) drawn = face.pixel(x, y) != first;
        EXPECT_TRUE(drawn) << "toggle " << id << " is invisible when off";
    }
    panel.OnToggleWeb();
    EXPECT_TRUE(panel.button(CAcquireDlg::kTransfer)->isEnabled());

    panel.OnImageSizeCommand(32826);
    EXPECT_EQ(panel.logic().ImageSize(), 2u);
    EXPECT_EQ(panel.button(CAcquireDlg::kImageSize)->text(), panel.imageSizeMenu()->actions().at(2)->text());

    EXPECT_EQ(panel.selectionText(), "All pictures");
    panel.runSelectImage = [](CSelectImage& dlg) {
        dlg.show();
        dlg.choices()->button(4)->setChecked(true);
        dlg.accept();
        return int(QDialog::Accepted);
    };
    panel.OnSelection();
    EXPECT_EQ(panel.logic().SelectTransfer(), 4u);
    EXPECT_EQ(panel.selectionText(), "");
    panel.runSelectImage = [](CSelectImage& dlg) {
        dlg.show();
        dlg.choices()->button(0)->setChecked(true);
        dlg.reject();
        return int(QDialog::Rejected);
    };
    panel.OnSelection();
    EXPECT_EQ(panel.logic().SelectTransfer(), 4u);

    panel.WriteChoices();
    EXPECT_EQ(host.settings.SelectTransfer, 4u);
    EXPECT_EQ(host.settings.ImageSize, 2u);
    EXPECT_EQ(host.settings.CheckLocal, 0u);
    EXPECT_EQ(host.settings.CheckWeb, 1u);
}

TEST_F(AcquireTest, WithoutWebUploadTheTogglesAreHidden) {
    host.web = false;
    CAcquireDlg panel(&host);
    EXPECT_FALSE(panel.button(CAcquireDlg::kToggleLocal)->isVisibleTo(&panel));
    EXPECT_FALSE(panel.button(CAcquireDlg::kToggleWeb)->isVisibleTo(&panel));
}

TEST_F(AcquireTest, BrowserSwitchesWindowsWhileExitAndCloseEndTheProgram) {
    {
        CAcquireDlg panel(&host);
        panel.SetTarget(0);
        panel.show();
        panel.OnBrowser();
        ServeEvents();
        EXPECT_EQ(frame.got, std::vector<uint32_t>{UM_OPEN_BROWSER});
        EXPECT_EQ(host.killTimer, 0);
    }
    frame.got.clear();
    CAcquireDlg panel(&host);
    panel.ShowCentred();
    EXPECT_TRUE(panel.isVisible());
    panel.close();
    plat::postMessage(panel.handle(), plat::kMsgClose, 0, 0);
    ServeEvents();
    EXPECT_EQ(frame.got, std::vector<uint32_t>{plat::kMsgClose});
    EXPECT_EQ(host.killTimer, 1);
    EXPECT_TRUE(panel.isVisible());   // the main frame deletes it

    panel.OnHelp();
    panel.OnSettings();
    EXPECT_EQ(host.help, std::vector<uint32_t>{102});
    EXPECT_EQ(host.sheets, 1);
}
