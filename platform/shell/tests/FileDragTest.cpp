#include "platform/shell/FileDrag.h"
#include "platform/shell/tests/ShellTestApp.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace plat {
namespace {
namespace fs = std::filesystem;

TEST(FileDragTest, DataCarriesFileUrlsOfAbsolutePaths) {
    FileDragData data({"/media/u/CARD/DCIM/100ABCDE/IMG 0001.JPG", "relative.jpg", "/tmp/x/../y.jpg"});
    EXPECT_TRUE(data.hasUrls());
    EXPECT_EQ(data.formats(), QStringList{QStringLiteral("text/uri-list")});
    const QList<QUrl> urls = data.urls();
    ASSERT_EQ(urls.size(), 2);
    EXPECT_EQ(urls[0].toLocalFile(), QStringLiteral("/media/u/CARD/DCIM/100ABCDE/IMG 0001.JPG"));
    EXPECT_EQ(urls[1].toLocalFile(), QStringLiteral("/tmp/y.jpg"));
    EXPECT_EQ(data.data(QStringLiteral("text/uri-list")),
              QByteArray("file:///media/u/CARD/DCIM/100ABCDE/IMG%200001.JPG\r\nfile:///tmp/y.jpg\r\n"));
}

TEST(FileDragTest, ProviderRunsOnceOnTheFirstRequest) {
    int calls = 0;
    FileDragData data([&calls] {
        ++calls;
        return std::vector<fs::path>{"/tmp/work/IMG_0001.JPG"};
    });
    EXPECT_TRUE(data.hasUrls());  // asking for the format copies nothing
    EXPECT_FALSE(data.provided());
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(data.urls().size(), 1);
    EXPECT_EQ(data.urls().size(), 1);
    EXPECT_TRUE(data.provided());
    EXPECT_EQ(calls, 1);
}

TEST(FileDragTest, ScriptedDragsReportTheirEnd) {
    shelltest::application();
    QWidget source;
    int calls = 0;
    auto provider = [&calls] {
        ++calls;
        return std::vector<fs::path>{"/tmp/work/IMG_0001.JPG"};
    };

    scriptNextDrag(DragResult::Cancelled);
    EXPECT_EQ(dragFilesOut(&source, new FileDragData(provider)), DragResult::Cancelled);
    EXPECT_EQ(calls, 0);  // nobody took the files: nothing was copied

    scriptNextDrag(DragResult::Dropped);
    EXPECT_EQ(dragFilesOut(&source, new FileDragData(provider)), DragResult::Dropped);
    EXPECT_EQ(calls, 1);

    scriptNextDrag(DragResult::Dropped);
    EXPECT_EQ(dragFilesOut(&source, new FileDragData([] { return std::vector<fs::path>{}; })), DragResult::NoFiles);

    EXPECT_EQ(dragFilesOut(&source, std::vector<fs::path>{"relative.jpg"}), DragResult::NoFiles);
    EXPECT_EQ(dragFilesOut(nullptr, new FileDragData(provider)), DragResult::NoFiles);
}

}  // namespace
}  // namespace plat
