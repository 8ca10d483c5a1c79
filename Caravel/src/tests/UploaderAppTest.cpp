// Start-up of the upload program: the install folder, one copy per user, and the window
// presenting a queue read at start.
#include "Caravel/src/UploaderDlg.h"
#include "Caravel/src/ui/ExtraPages.h"
#include "Caravel/src/ui/UploaderApp.h"
#include "Caravel/src/ui/UploaderWindow.h"

#include "platform/fs/ProfileFile.h"
#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QRadioButton>

#include <filesystem>
#include <fstream>

using namespace caravel;
namespace fs = std::filesystem;

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "caravel_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

}  // namespace

TEST(UploaderApp, InstallFolderGetsOneSeparator)
{
    for (const char* value : {"/opt/pf", "/opt/pf/"}) {
        plat::testing::TempRoot root;
        EXPECT_EQ(CUploaderApp::GetInstallDir(), "");
        plat::RegKey key;
        ASSERT_EQ(plat::Registry::create(plat::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", &key),
                  plat::RegResult::Ok);
        key.setString("ProgramFilesDir", value);
        EXPECT_EQ(CUploaderApp::GetInstallDir(), "/opt/pf/Vorel/Skylet/") << value;
    }
}

TEST(UploaderApp, AloneWhenNoOtherCopyRuns)
{
    plat::testing::TempRoot root;
    App();
    EXPECT_TRUE(CUploaderApp::CheckSingleInstance());  // this test program is not named caravel
}

TEST(UploaderApp, WindowShowsTheQueueReadAtStart)
{
    plat::testing::TempRoot root;
    App();
    const fs::path pic = root.path() / "a.jpg", queue = root.path() / "vorelQ";
    std::ofstream(pic) << "x";
    plat::writeProfileString(queue, "FileParameters", "Source1", pic.string());
    plat::writeProfileString(queue, "FileParameters", "Source2", (root.path() / "b.RWQ").string());
    plat::writeProfileString(queue, "General", "TotalItems", "2 ");
    plat::RegKey key;
    ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, kUploaderKey, &key), plat::RegResult::Ok);
    key.setString("QueuedDataFile", queue.string());

    UploaderWindow window;
    CUploaderDlg logic(&window, UploaderSettings(plat::KeyContainer(root.path() / "keys/u.key")),
                       (root.path() / "work").string());
    window.SetLogic(&logic);
    logic.OnInitDialog();
    // the refusal's message box is answered by closing it
    QMetaObject::invokeMethod(
        &window,
        [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->inherits("QMessageBox"))
                    w->close();
        },
        Qt::QueuedConnection);
    logic.ReadUploadQueue();
    auto* list = window.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "a.jpg");
}

TEST(UploaderApp, SizePageChecksItsCodeAndReportsClicks)
{
    App();
    const std::pair<int32_t, int> cases[] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {9, 0}};
    for (auto [code, index] : cases) {
        int32_t changed = 0;
        CSizeDlg page(nullptr, code, [&changed](int32_t c) { changed = c; });
        const auto radios = page.findChildren<QRadioButton*>();
        ASSERT_EQ(radios.size(), 4);
        EXPECT_TRUE(radios[index]->isChecked()) << code;
        radios[3]->click();
        EXPECT_EQ(changed, 4);
        EXPECT_EQ(page.SizeCode(), 4);
    }
}
