#include "platform/shell/HelpTopic.h"
#include "platform/shell/HelpWindow.h"
#include "platform/shell/tests/ShellTestApp.h"
#include "platform/testing/TempRoot.h"

#include <QTextBrowser>
#include <QUrl>

#include <fstream>
#include <gtest/gtest.h>

namespace plat {
namespace {
namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class HelpTopicTest : public ::testing::Test {
protected:
    plat::testing::TempRoot tempRoot;
    fs::path install = tempRoot.path() / "Lumora";
    fs::path help = install / "help";
    const std::string first = "01_Get_Started/h001_Get_Started.htm";

    void SetUp() override {
        shelltest::application();
        writeText(help / first,
                  "<html><head><title>Getting started</title></head><body>"
                  "<a href=\"h002_Cards.htm#insert\">cards</a></body></html>");
        writeText(help / "01_Get_Started/h002_Cards.htm",
                  "<html><head><title>Cards</title></head><body><a name=\"insert\">Insert</a></body></html>");
        writeText(tempRoot.path() / "secret.htm", "<html><body>outside</body></html>");
        fs::create_symlink(tempRoot.path() / "secret.htm", help / "linked.htm");
    }
    void TearDown() override { delete currentHelpWindow(); }

    static std::string shownPage() {
        HelpWindow* w = currentHelpWindow();
        return w ? w->browser()->source().toLocalFile().toStdString() : std::string();
    }
};

TEST_F(HelpTopicTest, ShowsThePageInTheHelpWindow) {
    ASSERT_EQ(showHelpTopic(install, first), HelpResult::Ok);
    HelpWindow* window = currentHelpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Getting started"));
    EXPECT_EQ(shownPage(), fs::canonical(help / first).string());

    // A second topic reuses the window.
    ASSERT_EQ(showHelpTopic(install, "01_Get_Started/h002_Cards.htm#insert"), HelpResult::Ok);
    EXPECT_EQ(currentHelpWindow(), window);
    EXPECT_EQ(window->browser()->source().fragment(), QStringLiteral("insert"));
}

TEST_F(HelpTopicTest, MissingAndForeignPagesAreRefused) {
    struct Case {
        std::string topic;
        HelpResult expected;
    };
    const Case cases[] = {
        {"01_Get_Started/h999_None.htm", HelpResult::NotFound},
        {"", HelpResult::BadTopic},
        {"../secret.htm", HelpResult::BadTopic},
        {"01_Get_Started/../../secret.htm", HelpResult::BadTopic},
        {(tempRoot.path() / "secret.htm").string(), HelpResult::BadTopic},
        {"linked.htm", HelpResult::BadTopic},  // a link out of the folder
        {"01_Get_Started", HelpResult::BadTopic},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(showHelpTopic(install, c.topic, nullptr, &error), c.expected) << c.topic;
        EXPECT_NE(error.find(helpResultName(c.expected)), std::string::npos) << error;
    }
    EXPECT_EQ(currentHelpWindow(), nullptr);

    std::string error;
    EXPECT_EQ(showHelpTopic(tempRoot.path() / "NoInstall", first, nullptr, &error), HelpResult::NotFound);
    EXPECT_NE(error.find("NoInstall/help/" + first), std::string::npos) << error;
}

TEST_F(HelpTopicTest, LinksStayInsideTheHelpFolder) {
    ASSERT_EQ(showHelpTopic(install, first), HelpResult::Ok);
    QTextBrowser* browser = currentHelpWindow()->browser();
    emit browser->anchorClicked(QUrl(QStringLiteral("../../../secret.htm")));
    EXPECT_EQ(shownPage(), fs::canonical(help / first).string());
    emit browser->anchorClicked(QUrl(QStringLiteral("h002_Cards.htm#insert")));
    EXPECT_EQ(shownPage(), fs::canonical(help / "01_Get_Started/h002_Cards.htm").string());
    EXPECT_EQ(currentHelpWindow()->windowTitle(), QStringLiteral("Cards"));
}

}  // namespace
}  // namespace plat
