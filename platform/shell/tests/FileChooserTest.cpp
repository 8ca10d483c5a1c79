#include "platform/shell/ChooserScript.h"
#include "platform/shell/FileChooser.h"
#include "platform/shell/tests/ShellTestApp.h"
#include "platform/testing/TempRoot.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace plat {
namespace {
namespace fs = std::filesystem;

class FileChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        shelltest::application();
        ChooserScript::clear();
    }
    void TearDown() override { ChooserScript::clear(); }

    // Acts on the chooser's dialog once it is up.
    static void whenDialogShows(std::function<void(QFileDialog*)> act) {
        QTimer::singleShot(10, [act] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                act(dialog);
                return;
            }
            whenDialogShows(act);
        });
    }
};

TEST_F(FileChooserTest, ScriptedAnswersComeInOrderAndRecordTheRequest) {
    ChooserScript::push(std::string("/media/u/CARD/DCIM"));
    ChooserScript::push(std::nullopt);
    ChooserScript::push(std::string("/opt/Quillbase/Quillbase.exe"));

    EXPECT_EQ(chooseFolder(nullptr, "Destination", "/home/u/Pictures"), "/media/u/CARD/DCIM");
    EXPECT_EQ(chooseFolder(nullptr, "Destination", "/home/u/Pictures"), std::nullopt);
    EXPECT_EQ(chooseOpenFile(nullptr, "Catalog program", "/opt", "exe file (.exe) (*.exe)"),
              "/opt/Quillbase/Quillbase.exe");

    const std::vector<ChooserRequest> requests = ChooserScript::requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].kind, ChooserRequest::Kind::Folder);
    EXPECT_EQ(requests[0].title, "Destination");
    EXPECT_EQ(requests[0].initialPath, "/home/u/Pictures");
    EXPECT_EQ(requests[2].kind, ChooserRequest::Kind::OpenFile);
    EXPECT_EQ(requests[2].filter, "exe file (.exe) (*.exe)");
}

TEST_F(FileChooserTest, ScriptedAnswerReachesAWorkerThread) {
    ChooserScript::push(std::string("/tmp/out"));
    std::optional<std::string> answer;
    std::thread worker([&] { answer = chooseFolder(nullptr, "Save to", "/tmp"); });
    worker.join();
    EXPECT_EQ(answer, "/tmp/out");
}

TEST_F(FileChooserTest, RealDialogsAnswerAndCancel) {
    plat::testing::TempRoot tempRoot;
    const fs::path program = tempRoot.path() / "Quillbase.exe";
    std::ofstream(program) << "x";

    whenDialogShows([program](QFileDialog* dialog) {
        dialog->selectFile(QString::fromStdString(program.string()));
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
    });
    EXPECT_EQ(chooseOpenFile(nullptr, "Catalog program", tempRoot.path().string(), "exe file (.exe) (*.exe)"),
              program.string());

    whenDialogShows([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(chooseFolder(nullptr, "Destination", tempRoot.path().string()), std::nullopt);
    EXPECT_TRUE(ChooserScript::requests().empty());
}

TEST(FileFilterTest, PairsBecomeQtFilters) {
    struct Case {
        const char* pairs;
        const char* qt;
    };
    const Case cases[] = {
        {"exe file (.exe)|*.exe||", "exe file (.exe) (*.exe)"},
        {"ccf file (.ccf)|*.ccf||", "ccf file (.ccf) (*.ccf)"},
        {"Pictures|*.jpg;*.tif|All files|*.*||", "Pictures (*.jpg *.tif);;All files (*.*)"},
        {"Pictures (*.jpg)", "Pictures (*.jpg)"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(fileFilterFromPairs(c.pairs), c.qt) << c.pairs;
}

}  // namespace
}  // namespace plat
