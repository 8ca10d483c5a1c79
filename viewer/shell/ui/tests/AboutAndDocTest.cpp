#include "viewer/shell/ui/AboutDlg.h"
#include "viewer/shell/ui/BrowserStatusBar.h"
#include "viewer/shell/ui/LumoraDoc.h"
#include "viewer/shell/ui/LumoraView.h"
#include "viewer/shell/ui/tests/UiTestSupport.h"

#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/MessageReceiver.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include <cstdlib>

namespace {

TEST(LumoraDoc, OnlyTheAutoPlayDriveRootPasses)
{
    CLumoraDoc doc;
    struct Case {
        const char* path;
        int code;
        bool ok;
    };
    for (Case c : {Case{"E:\\", 9, true}, Case{"E:\\", 8, false}, Case{"E:\\a.jpg", 9, false}, Case{"E:", 9, false},
                   Case{"", 9, false}})
        EXPECT_EQ(doc.OnOpenDocument(c.path, c.code), c.ok) << c.path << " " << c.code;
    setenv("VOREL_OS_VERSION", "2.5.1.2600", 1);
    EXPECT_TRUE(doc.OnOpenDocument("E:\\"));
    unsetenv("VOREL_OS_VERSION");
}

TEST(LumoraDoc, DocumentsHoldTheApplication)
{
    const int before = CLumoraDoc::AppLockCount();
    {
        CLumoraDoc doc;
        doc.SetValue(3);
        EXPECT_EQ(doc.Value(), 3);
        EXPECT_EQ(CLumoraDoc::AppLockCount(), before + 1);
    }
    EXPECT_EQ(CLumoraDoc::AppLockCount(), before);
}

using AboutBox = LangFixture;

TEST_F(AboutBox, TextsArePlacedFromTheLanguageAndAClickCloses)
{
    CAboutDlg dlg;
    EXPECT_EQ(dlg.size(), QSize(400, 300));
    EXPECT_EQ(dlg.VersionLabel()->text(), "Ver.4.3.1");
    EXPECT_EQ(dlg.VersionLabel()->pos(), QPoint(24, 240));
    EXPECT_EQ(dlg.SecondLabel()->pos(), QPoint(24, 260));
    EXPECT_GT(dlg.VersionLabel()->width(), 0);
    EXPECT_EQ(dlg.font().pointSize(), 10);
    QTimer::singleShot(0, [&] {
        QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &click);
    });
    EXPECT_EQ(dlg.DoModal(), 1);
}

TEST_F(AboutBox, StatusBarHintWhileTheMouseIsOverIt)
{
    std::vector<plat::WParam> hints;
    plat::MessageReceiver frame([&](uint32_t m, plat::WParam w, plat::LParam) {
        if (m == UM_SHOW_HINT)
            hints.push_back(w);
        return 0;
    });
    bool active = false;
    CBrowserStatusBar bar;
    bar.SetFrame(frame.handle(), [&] { return active; });
    bar.MouseEntered();
    bar.MouseLeft();
    active = true;
    bar.MouseEntered();
    bar.MouseEntered();
    bar.MouseLeft();
    QCoreApplication::processEvents();
    EXPECT_EQ(hints, (std::vector<plat::WParam>{62418, 0}));
}

}  // namespace
