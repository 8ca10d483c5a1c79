#include "viewer/browser/view/BrowserWindow.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "platform/msg/Messaging.h"
#include "platform/testing/TempRoot.h"
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/sources/ImageFileIf.h"

namespace {

TEST(BrowserWindowTest, OpensOverTheProgramsPartsAndClosesCleanly) {
    static int argc = 1;
    static char name[] = "browser_view_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
    plat::testing::TempRoot root;
    CImageFileIf files;
    CViewSettings settings;
    settings.ThumbSize = 0;
    int mainClosed = 0;
    BrowserWindowParts parts;
    parts.files = &files;
    parts.settings = &settings;
    parts.closeMainWindow = [&] { ++mainClosed; };
    {
        CBrowserWindow window(parts);
        EXPECT_TRUE(plat::isWindow(window.ViewHandle()));
        EXPECT_EQ(64, window.Frame().View().Model().ThumbSize());
        window.Frame().show();
        window.Frame().close();
        EXPECT_EQ(1, mainClosed);
    }
    EXPECT_EQ(DriveKind::Unknown, SaveDriveKind("\\\\server\\share"));
    EXPECT_EQ(DriveKind::Fixed, SaveDriveKind("/"));
}

}  // namespace
