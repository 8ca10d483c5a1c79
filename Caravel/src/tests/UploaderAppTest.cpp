// Start-up of the upload program: the install folder, one copy per user, and the window
// presenting a queue read at start.
#include "Caravel/src/UploaderDlg.h"
#include "Caravel/src/ui/ContextHelp.h"
#include "Caravel/src/ui/ExtraPages.h"
#include "Caravel/src/ui/UploaderApp.h"
#include "Caravel/src/ui/UploaderWindow.h"

#include "platform/fs/ProfileFile.h"
#include "platform/registry/Registry.h"
#include "platform/shell/HelpTopic.h"
#include "platform/shell/HelpWindow.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>

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
    // Kept to the end: the test's key presses leave an input device that must
    // not outlive the application when statics are destroyed.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
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

namespace {

// A program-files folder with the upload program's help folder as installed.
std::string InstallHelp(const plat::testing::TempRoot& root)
{
    const fs::path programFiles = root.path() / "Program Files";
    const fs::path help = programFiles / "Vorel/Skylet/help";
    fs::create_directories(help);
    for (const auto& page : fs::directory_iterator(fs::path(CARAVEL_HELP_SOURCE)))
        fs::copy_file(page.path(), help / page.path().filename());
    plat::RegKey key;
    EXPECT_EQ(plat::Registry::create(plat::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", &key),
              plat::RegResult::Ok);
    key.setString("ProgramFilesDir", programFiles.string());
    return CUploaderApp::GetInstallDir();
}

}  // namespace

TEST(UploaderApp, EveryControlOfTheHelpTablesHasItsPopup)
{
    plat::testing::TempRoot root;
    const std::string installDir = InstallHelp(root);
    for (int32_t id : {3000, 3010, 3020, 3030, 3040, 3050, 3060, 3070, 1000, 1010, 1020, 1030, 1040, 2000, 2010, 2020,
                       2030})
        EXPECT_FALSE(PopupText(installDir, id).empty()) << id;
    EXPECT_EQ(PopupText(installDir, 4242), "");
    EXPECT_EQ(PopupText((root.path() / "nowhere").string(), 3000), "");
}

TEST(UploaderApp, PopupFileReading)
{
    struct Case {
        const char* file;
        int32_t id;
        const char* text;
    } cases[] = {
        {".topic 10\r\nFirst line\r\nsecond line\r\n\r\n.topic 20\r\nOther\r\n", 10, "First line\nsecond line"},
        {".topic 10\nA\n.topic 20\nB", 20, "B"},
        {"text before any topic\n.topic 5\nFive\n", 5, "Five"},
        {".topic x\nNo number\n.topic 7\nSeven\n", 7, "Seven"},
        {".topic 7\n\n\nSpaced\n\n", 7, "Spaced"},
    };
    for (const Case& c : cases) {
        const auto popups = ParsePopupTexts(c.file);
        const auto it = popups.find(c.id);
        ASSERT_NE(it, popups.end()) << c.file;
        EXPECT_EQ(it->second, c.text) << c.file;
    }
    EXPECT_TRUE(ParsePopupTexts(".topic x\nNo number\n").empty());
}

TEST(UploaderApp, F1OpensTheUploadDialogsPage)
{
    plat::testing::TempRoot root;
    App();
    InstallHelp(root);
    CUploaderApp app;
    ASSERT_TRUE(app.InitInstance());
    QWidget* window = QApplication::activeWindow();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<UploaderWindow*>(w)) window = w;
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F1);
    plat::HelpWindow* help = plat::currentHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->browser()->source().toString().endsWith("maindlg.htm")) << help->browser()->source().toString().toStdString();
    EXPECT_TRUE(help->browser()->toPlainText().contains("Image Uploader"));
    app.ExitInstance();
}
