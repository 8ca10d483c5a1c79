// The program's own work windows over a started application: one at a time,
// the browser only over the real picture sources.
#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/AppWorkWindows.h"

using WorkWindowsTest = ShellFixture;

TEST_F(WorkWindowsTest, PanelAndBrowserReplaceEachOther)
{
    realSources_ = true;
    auto app = StartApp();
    AppWorkWindows windows(*app);

    ASSERT_TRUE(windows.OpenTransferPanel(-1));
    EXPECT_TRUE(windows.TransferPanel());
    EXPECT_FALSE(windows.BrowserFrame());

    ASSERT_TRUE(windows.OpenBrowser(false));
    EXPECT_FALSE(windows.TransferPanel());
    EXPECT_TRUE(windows.BrowserFrame());
    EXPECT_TRUE(windows.BrowserView());
    PumpFor(50);  // the retired panel goes in the event loop

    ASSERT_TRUE(windows.OpenTransferPanel(4));
    EXPECT_TRUE(windows.TransferPanel());
    EXPECT_FALSE(windows.BrowserFrame());
    EXPECT_EQ(windows.BrowserCurrentFolder(), "");

    windows.DestroyAll();
    EXPECT_FALSE(windows.TransferPanel());
    EXPECT_FALSE(windows.BrowserFrame());
    app->ExitInstance();
}

TEST_F(WorkWindowsTest, NoBrowserWithoutTheRealPictureSources)
{
    auto app = StartApp();
    AppWorkWindows windows(*app);
    EXPECT_FALSE(windows.OpenBrowser(true));
    EXPECT_FALSE(windows.BrowserFrame());
    app->ExitInstance();
}
