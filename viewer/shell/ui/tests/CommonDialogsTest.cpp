#include "viewer/shell/ui/CommonDialogLogic.h"
#include "viewer/shell/ui/FourChoiceDlg.h"
#include "viewer/shell/ui/OpenProgressDlg.h"
#include "viewer/shell/ui/OverwriteDlg.h"
#include "viewer/shell/ui/UiText.h"
#include "viewer/shell/ui/WaitMsgDlg.h"
#include "viewer/shell/ui/tests/UiTestSupport.h"

#include "viewer/shell/common/LanguageContext.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/Messaging.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

using CommonDialogs = LangFixture;

TEST(CommonDialogLogic, WaitAnimationRunsFromSixteenDownAndWraps)
{
    WaitAnimation a;
    std::vector<int> seen;
    for (int i = 0; i < 18; ++i) {
        seen.push_back(a.Phase());
        a.Tick();
    }
    EXPECT_EQ(seen.front(), 16);
    EXPECT_EQ(seen[15], 1);
    EXPECT_EQ(seen[16], 16);
    EXPECT_EQ(seen[17], 15);
}

TEST(CommonDialogLogic, AnswersAndEndCodes)
{
    EXPECT_EQ(WorkerDoneEndCode(1), kEndOk);
    EXPECT_EQ(WorkerDoneEndCode(0), kEndCancel);
    EXPECT_EQ(WorkerDoneEndCode(7), kEndCancel);
    EXPECT_EQ(FourChoiceResult(1171), 1171);
    EXPECT_EQ(FourChoiceResult(std::nullopt), 1173);
    EXPECT_EQ(WaitMessageLayout(true).y, 20);
    EXPECT_EQ(WaitMessageLayout(false).y, 30);
}

TEST(CommonDialogLogic, OpenProgressFollowsTheRemainingCount)
{
    OpenProgressState s(3);
    EXPECT_EQ(s.RangeMax(), 30);
    EXPECT_EQ(s.Position(), 0);
    s.OnePictureDone();
    EXPECT_EQ(s.Position(), 10);
    EXPECT_EQ(s.Remaining(), 2);
    for (int i = 0; i < 5; ++i)
        s.OnePictureDone();
    EXPECT_EQ(s.Remaining(), 0);
    EXPECT_EQ(s.Position(), 30);
    EXPECT_TRUE(s.DelayElapsed());
    EXPECT_FALSE(s.DelayElapsed());
}

TEST(CommonDialogLogic, LanguageTextsAreNotFormatStrings)
{
    EXPECT_EQ(FormatUiText("File \"%s\" %s %d %%", "a%sb"), "File \"a%sb\" %s %d %");
    EXPECT_EQ(FormatUiText("%d left", "4"), "4 left");
    EXPECT_EQ(FormatUiText("no slot %", "x"), "no slot %");
}

TEST_F(CommonDialogs, WaitMessageEndsOnlyByTheWorker)
{
    CWaitMsgDlg dlg(62222, "Please wait", true);
    EXPECT_EQ(dlg.windowTitle(), "Saving pictures");
    EXPECT_EQ(dlg.CancelButton()->text(), "Stop");
    EXPECT_EQ(dlg.MessageLabel()->geometry().y(), 20);
    plat::WindowHandle h = dlg.handle();
    QTimer::singleShot(0, [h] { plat::postMessage(h, UM_WORKER_DONE, 1, 0); });
    EXPECT_EQ(dlg.DoModal(), kEndOk);

    CWaitMsgDlg quiet(62222, "x");
    EXPECT_TRUE(quiet.CancelButton()->isHidden());
    QTimer::singleShot(0, [&quiet] { quiet.reject(); });  // the close box does nothing
    QTimer::singleShot(20, [h = quiet.handle()] { plat::postMessage(h, UM_WORKER_DONE, 0, 0); });
    EXPECT_EQ(quiet.DoModal(), kEndCancel);
}

TEST_F(CommonDialogs, ShortLoadNeverShowsTheProgress)
{
    bool cancelled = false;
    COpenProgressDlg dlg(2, [&] { cancelled = true; });
    plat::WindowHandle h = dlg.handle();
    double opacityWhileRunning = -1;
    QTimer::singleShot(0, [&] {
        opacityWhileRunning = dlg.windowOpacity();
        plat::postMessage(h, UM_PROGRESS, 0, 0);
        plat::postMessage(h, UM_WORKER_DONE, 1, 0);
    });
    EXPECT_EQ(dlg.DoModal(), kEndOk);
    EXPECT_EQ(opacityWhileRunning, 0.0);
    EXPECT_FALSE(dlg.State().Visible());
    EXPECT_EQ(dlg.Progress()->maximum(), 20);
    EXPECT_EQ(dlg.Progress()->value(), 10);
    EXPECT_EQ(dlg.RemainingLabel()->text(), "1 pictures remaining");
    EXPECT_FALSE(cancelled);
}

TEST_F(CommonDialogs, ProgressCancelWaitsForTheJob)
{
    bool cancelled = false;
    COpenProgressDlg dlg(1, [&] { cancelled = true; });
    QTimer::singleShot(0, [&] {
        dlg.OnShowTimer();
        dlg.CancelButton()->click();
        EXPECT_TRUE(dlg.isVisible());
        plat::postMessage(dlg.handle(), UM_WORKER_DONE, 0, 0);
    });
    EXPECT_EQ(dlg.DoModal(), kEndCancel);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(dlg.State().Visible());
    EXPECT_EQ(dlg.windowOpacity(), 1.0);
}

TEST_F(CommonDialogs, FourChoiceCloseBoxMeansCancel)
{
    CFourChoiceDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "File exists");
    QTimer::singleShot(0, [&] { dlg.close(); });
    EXPECT_EQ(dlg.DoModal(), 1173);
    QTimer::singleShot(0, [&] { dlg.Button(1172)->click(); });
    EXPECT_EQ(dlg.DoModal(), 1172);
}

TEST_F(CommonDialogs, OverwriteForAll)
{
    COverwriteDlg dlg(0);
    EXPECT_EQ(dlg.MessageLabel()->text(), "Some pictures did not fit.");
    QTimer::singleShot(0, [&] { dlg.Button(COverwriteDlg::kForAllButton)->click(); });
    EXPECT_EQ(dlg.DoModal(), kEndOk);
    EXPECT_TRUE(dlg.ForAll());
    COverwriteDlg other(1);
    EXPECT_TRUE(other.MessageLabel()->text().isEmpty());
    QTimer::singleShot(0, [&] { other.reject(); });
    EXPECT_EQ(other.DoModal(), kEndCancel);
    EXPECT_FALSE(other.ForAll());
}

TEST_F(CommonDialogs, MissingTextsShowEmptyAndTheFontFallsBack)
{
    EXPECT_EQ(UiText(1), "");
    QFont f = DialogFont();
    EXPECT_EQ(f.pointSize(), 11);
    TheLanguage().Unbind();
    EXPECT_EQ(DialogFont().family(), QApplication::font().family());
    CFourChoiceDlg dlg;  // built with no texts at all
    EXPECT_TRUE(dlg.windowTitle().isEmpty());
}

}  // namespace
