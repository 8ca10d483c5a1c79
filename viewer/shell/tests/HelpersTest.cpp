#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/AppHelpers.h"
#include "viewer/shell/ui/UiText.h"
#include "viewer/shell/common/LanguageContext.h"

#include "platform/msg/Messaging.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

using HelpersTest = ShellFixture;

TEST_F(HelpersTest, DialogsTakeTheLanguageFont)
{
    auto app = StartApp();
    QDialog dialog;
    QLabel* label = new QLabel(&dialog);
    ApplyFont(&dialog, DialogFont());
    EXPECT_EQ(dialog.font().family().toStdString(), "DejaVu Sans");
    EXPECT_EQ(dialog.font().pointSize(), 9);
    EXPECT_EQ(label->font().pointSize(), 9);
    app->ExitInstance();
    // Without a language library the dialog keeps the program's font.
    EXPECT_EQ(DialogFont(), QApplication::font());
}

TEST_F(HelpersTest, WaitForWindowCanBeAbandoned)
{
    EnsureQtApp();
    std::atomic<bool> abandon{false};
    std::atomic<bool> done{false}, result{true};
    std::thread waiter([&] {
        result = plat::waitForWindow(plat::WindowHandle{}, &abandon);
        done = true;
    });
    abandon = true;
    waiter.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(result);

    RecordingWindow window;
    EXPECT_TRUE(plat::waitForWindow(window.handle(), nullptr));
    // A bounded wait for a window that never comes gives up.
    EXPECT_FALSE(plat::waitForWindow(plat::WindowHandle{}, nullptr, 400));
}

TEST_F(HelpersTest, ExitPrunesTheWebFolderByAge)
{
    InstallUploader();
    auto app = StartApp();
    const fs::path web = installDir_ / "Brovane";
    ASSERT_EQ(app->WebUploadFolder(), web.string());
    const auto aged = [&](const char* name, int hours) {
        fs::create_directories(web / name);
        std::ofstream(web / name / "queued.jpg") << "x";
        const std::time_t t = std::time(nullptr) - static_cast<std::time_t>(hours) * 3600 - 60;
        const timespec times[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, (web / name).c_str(), times, 0);
    };
    aged("young", 23);
    aged("old", 24);
    std::ofstream(web / "loose.jpg") << "x";
    std::ofstream(installDir_ / "temp" / "scratch.jpg") << "x";
    fs::create_directories(installDir_ / "temp" / "sub");
    app->ExitInstance();
    EXPECT_TRUE(fs::exists(web / "young" / "queued.jpg"));
    EXPECT_FALSE(fs::exists(web / "old"));
    EXPECT_FALSE(fs::exists(web / "loose.jpg"));
    EXPECT_TRUE(fs::is_empty(installDir_ / "temp"));
}
