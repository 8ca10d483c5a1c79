#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/AppHelpers.h"
#include "viewer/shell/LangDialog.h"
#include "viewer/shell/common/LanguageContext.h"

#include "platform/msg/Messaging.h"

#include <QDialog>
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
    ASSERT_TRUE(ApplyLanguageFont(&dialog));
    EXPECT_EQ(dialog.font().family().toStdString(), "DejaVu Sans");
    EXPECT_EQ(dialog.font().pointSize(), 9);
    EXPECT_EQ(RunLanguageDialog(nullptr), -1);
    QTimer::singleShot(0, &dialog, [&] { dialog.done(7); });
    EXPECT_EQ(RunLanguageDialog(&dialog), 7);
    app->ExitInstance();
    // Without a language library the dialog keeps its own font.
    QDialog plain;
    EXPECT_FALSE(ApplyLanguageFont(&plain));
}

TEST_F(HelpersTest, WaitForWindowCanBeAbandoned)
{
    EnsureQtApp();
    std::atomic<bool> abandon{false};
    std::atomic<bool> done{false}, result{true};
    std::thread waiter([&] {
        result = WaitForWindow([] { return plat::WindowHandle{}; }, &abandon);
        done = true;
    });
    abandon = true;
    waiter.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(result);

    RecordingWindow window;
    EXPECT_TRUE(WaitForWindow([&] { return window.handle(); }, nullptr));
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
