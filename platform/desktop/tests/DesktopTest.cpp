#include "platform/desktop/Desktop.h"
#include "platform/desktop/DesktopFolder.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/desktop/WidgetTracking.h"
#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plat;
namespace fs = std::filesystem;

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "desktop_tests";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

LResult ignore(uint32_t, WParam, LParam) { return 0; }

std::vector<std::string> titles() {
    std::vector<TopLevelWindow> windows;
    EXPECT_TRUE(listTopLevelWindows(&windows));
    std::vector<std::string> out;
    for (auto& w : windows) out.push_back(w.title);
    return out;
}

template <typename Done>
void pumpUntil(Done done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A pid that surely is no process any more.
pid_t deadPid() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

TEST(Desktop, WindowsAreListedMostRecentFirstAndFollowChanges) {
    app();
    plat::testing::TempRoot root;
    MessageReceiver browser(ignore), transfer(ignore);
    std::string error;
    ASSERT_TRUE(registerTopLevelWindow(browser.handle(), "Lumora Browser", WindowState::Normal, {}, &error)) << error;
    ASSERT_TRUE(registerTopLevelWindow(transfer.handle(), "Lumora Transfer", WindowState::Hidden, {}, &error)) << error;
    EXPECT_EQ(titles(), (std::vector<std::string>{"Lumora Transfer", "Lumora Browser"}));
    ASSERT_TRUE(bringTopLevelToFront(browser.handle()));
    EXPECT_EQ(titles(), (std::vector<std::string>{"Lumora Browser", "Lumora Transfer"}));
    ASSERT_TRUE(setTopLevelTitle(transfer.handle(), "Lumora\tTransfer\n2"));
    ASSERT_TRUE(setTopLevelState(transfer.handle(), WindowState::Minimized));
    auto found = findTopLevelByTitle("Lumora\tTransfer\n2");
    ASSERT_TRUE(found.has_value()) << "titles with tabs and line breaks survive the directory";
    EXPECT_EQ(found->state, WindowState::Minimized);
    EXPECT_EQ(found->pid, getpid());
    unregisterTopLevelWindow(browser.handle());
    EXPECT_EQ(titles(), (std::vector<std::string>{"Lumora\tTransfer\n2"}));
}

TEST(Desktop, FindByTitlePrefix) {
    app();
    plat::testing::TempRoot root;
    MessageReceiver older(ignore), newer(ignore);
    ASSERT_TRUE(registerTopLevelWindow(older.handle(), "Lumora - Card E:", WindowState::Normal));
    ASSERT_TRUE(registerTopLevelWindow(newer.handle(), "Lumora Transfer", WindowState::Normal));
    struct Case {
        const char* prefix;
        TitleCase mode;
        const char* expected;   // null: no match
    } cases[] = {
        {"Lumora", TitleCase::Sensitive, "Lumora Transfer"},   // the most recent wins
        {"Lumora -", TitleCase::Sensitive, "Lumora - Card E:"},
        {"lumora", TitleCase::Sensitive, nullptr},
        {"lumora -", TitleCase::Insensitive, "Lumora - Card E:"},
        {"", TitleCase::Sensitive, nullptr},                   // an empty prefix matches nothing
        {"", TitleCase::Insensitive, nullptr},
        {"Lumora Transfer and more", TitleCase::Sensitive, nullptr},
    };
    for (const Case& c : cases) {
        auto found = findTopLevelByTitlePrefix(c.prefix, c.mode);
        if (!c.expected) {
            EXPECT_FALSE(found.has_value()) << c.prefix;
        } else {
            ASSERT_TRUE(found.has_value()) << c.prefix;
            EXPECT_EQ(found->title, c.expected) << c.prefix;
        }
    }
}

TEST(Desktop, DeadProcessEntriesAreIgnoredAndRemoved) {
    app();
    plat::testing::TempRoot root;
    std::string error;
    auto folder = desktop::DesktopFolder::open(&error);
    ASSERT_TRUE(folder) << error;
    // One entry of a process that ended, one of a live pid that is another process
    // now (its start time differs); each with a socket file left behind.
    const pid_t dead = deadPid();
    const pid_t reused = getppid();
    for (pid_t pid : {dead, reused}) {
        desktop::ProcessEntry entry;
        entry.pid = pid;
        entry.startTime = 1;
        TopLevelWindow w;
        w.window = WindowHandle(3);
        w.title = "Lumora Transfer";
        entry.windows.push_back(w);
        ASSERT_TRUE(folder->writeEntry(entry, &error)) << error;
        std::ofstream(folder->path() / (std::to_string(pid) + ".sock")) << "left over";
    }
    // And a socket of a process that died before it wrote its entry.
    const pid_t crashed = deadPid();
    std::ofstream(folder->path() / (std::to_string(crashed) + ".sock")) << "left over";
    EXPECT_TRUE(titles().empty());
    EXPECT_FALSE(findTopLevelByTitlePrefix("Lumora", TitleCase::Sensitive).has_value());
    EXPECT_FALSE(fs::exists(folder->path() / (std::to_string(crashed) + ".sock")));
    for (pid_t pid : {dead, reused}) {
        EXPECT_FALSE(fs::exists(folder->entryPath(pid))) << pid;
        EXPECT_FALSE(fs::exists(folder->path() / (std::to_string(pid) + ".sock"))) << pid;
    }
    EXPECT_TRUE(broadcastMessage(kFirstRegisteredMessage, 0, 1, &error)) << "no receiver is success: " << error;
}

TEST(Desktop, SocketFileLeftUnderOurPidIsReplaced) {
    app();
    plat::testing::TempRoot root;
    const fs::path dir = root.path() / "run" / "desktop";
    fs::create_directories(dir);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path sock = dir / (std::to_string(getpid()) + ".sock");
    std::ofstream(sock) << "a crashed process's file";
    MessageReceiver frame(ignore);
    std::string error;
    ASSERT_TRUE(registerTopLevelWindow(frame.handle(), "Wakely", WindowState::Hidden, {}, &error)) << error;
    struct stat st {};
    ASSERT_EQ(lstat(sock.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
}

TEST(Desktop, MissingRunFolderGivesAClearError) {
    app();
    plat::testing::TempRoot root;
    fs::remove_all(root.path() / "run");
    MessageReceiver frame(ignore);
    std::string error;
    EXPECT_FALSE(registerTopLevelWindow(frame.handle(), "Lumora", WindowState::Hidden, {}, &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    error.clear();
    EXPECT_EQ(registerMessage("WakelyToLumoraMessageString", &error), 0u);
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(broadcastMessage(kFirstRegisteredMessage, 0, 0, &error));
    EXPECT_FALSE(error.empty());
    std::vector<TopLevelWindow> windows;
    EXPECT_FALSE(listTopLevelWindows(&windows));
}

TEST(Desktop, RegisteredMessagesOneNumberPerName) {
    plat::testing::TempRoot root;
    std::string error;
    const uint32_t first = registerMessage("WakelyToLumoraMessageString", &error);
    EXPECT_EQ(first, kFirstRegisteredMessage) << error;
    EXPECT_EQ(registerMessage("WAKELYTOLUMORAMESSAGESTRING"), first);
    const uint32_t second = registerMessage("AnotherMessage");
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(registerMessage("WakelyToLumoraMessageString"), first);
    EXPECT_EQ(registerMessage(""), 0u);

    // The table is full at the top of the range.
    std::ofstream(root.path() / "run" / "messages", std::ios::app) << kLastRegisteredMessage << "\tLast\n";
    error.clear();
    EXPECT_EQ(registerMessage("OneTooMany", &error), 0u);
    EXPECT_NE(error.find("no message numbers left"), std::string::npos) << error;
    EXPECT_EQ(registerMessage("AnotherMessage"), second) << "known names still answer";
}

TEST(Desktop, BroadcastReachesHiddenWindowsAndDropsOnesThatWentWithoutLeaving) {
    app();
    plat::testing::TempRoot root;
    int got = 0;
    MessageReceiver hidden([&](uint32_t m, WParam, LParam l) -> LResult {
        if (m == kFirstRegisteredMessage) got += static_cast<int>(l);
        return 0;
    });
    ASSERT_TRUE(registerTopLevelWindow(hidden.handle(), "Lumora", WindowState::Hidden));
    WindowHandle gone;
    {
        MessageReceiver shortLived(ignore);
        gone = shortLived.handle();
        ASSERT_TRUE(registerTopLevelWindow(gone, "Lumora Viewer", WindowState::Normal));
    }
    std::string error;
    EXPECT_TRUE(broadcastMessage(kFirstRegisteredMessage, 0, 5, &error)) << error;
    pumpUntil([&] { return got == 5; });
    EXPECT_EQ(titles(), (std::vector<std::string>{"Lumora"}));
}

TEST(Desktop, TrackedWidgetFollowsTitleAndStateAndIsRestored) {
    app();
    plat::testing::TempRoot root;
    auto* frame = new QWidget;
    frame->setWindowTitle("Lumora Transfer");
    auto* receiver = new MessageReceiver(ignore, frame);   // the widget's child: goes with it
    std::string error;
    ASSERT_TRUE(trackTopLevelWidget(frame, receiver->handle(), &error)) << error;
    auto found = findTopLevelByTitle("Lumora Transfer");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->state, WindowState::Hidden);
    frame->setWindowTitle("Lumora Browser");
    EXPECT_TRUE(findTopLevelByTitle("Lumora Browser").has_value());

    ASSERT_TRUE(restoreAndRaise(*findTopLevelByTitle("Lumora Browser"), &error)) << error;
    pumpUntil([&] { return frame->isVisible(); });
    EXPECT_EQ(findTopLevelByTitle("Lumora Browser")->state, WindowState::Normal);
    delete frame;
    EXPECT_TRUE(titles().empty());
}
