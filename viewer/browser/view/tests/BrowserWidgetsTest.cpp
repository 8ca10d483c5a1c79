#include "viewer/browser/view/InfoEdit.h"
#include "viewer/browser/view/ThumbPaneWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <deque>

#include "viewer/browser/view/tests/FakeSource.h"

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "browser_view_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

class QuietHost : public BrowserViewHost {
public:
    std::vector<int32_t> selections;
    int32_t PaneWidth() override { return 400; }
    void ResetPane(int32_t) override {}
    void ItemPlaced(size_t) override {}
    void ItemsChanged() override {}
    void BusyAnimation(bool) override {}
    void UpdateButtons() override {}
    void BroadcastAccessState(int32_t) override {}
    void ResetStatusText() override {}
    void SelectionChanged(int32_t i) override { selections.push_back(i); }
    void ReportError(int32_t) override {}
    void ReportLibraryResult(int32_t) override {}
    void TargetMessage(int32_t) override {}
    void TargetChanged(int32_t) override {}
    void FolderListed(const std::string&) override {}
};

class PaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        for (int i = 0; i < 6; ++i) {
            const std::string name = "IMG_000" + std::to_string(i) + ".JPG";
            source.pictures[name] = {};
            source.listed.push_back(name);
        }
        ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
        while (Drain()) {
        }
        PaneActions actions;
        actions.openViewer = [this] { ++opened; };
        actions.selectionChanged = [this] { ++changes; };
        pane = std::make_unique<CThumbPaneWnd>(model, [](uint32_t) { return nullptr; }, actions);
        pane->resize(400, 300);
        pane->show();
    }

    bool Drain() {
        model.Readers().WaitUntilDone();
        std::deque<std::function<void()>> work;
        {
            std::lock_guard<std::mutex> lock(mutex);
            work.swap(queue);
        }
        for (auto& w : work) w();
        return !work.empty();
    }

    std::string Selected() {
        std::string s;
        for (const BrowserItem& item : model.Items().list()) s += item.selected ? '1' : '0';
        return s;
    }

    // The client point inside item i's thumbnail.
    QPoint On(size_t i) {
        const ItemCell& c = model.Items().cell(i);
        return QPoint(c.left + 10, c.top + 10 - pane->ScrollOffset());
    }

    FakeSource source;
    QuietHost host;
    std::mutex mutex;
    std::deque<std::function<void()>> queue;
    BrowserViewModel model{source, host, [this](std::function<void()> w) {
                               std::lock_guard<std::mutex> lock(mutex);
                               queue.push_back(std::move(w));
                           }};
    std::unique_ptr<CThumbPaneWnd> pane;
    int opened = 0;
    int changes = 0;
};

TEST_F(PaneTest, ClicksSelectAndDoubleClickOpens) {
    ASSERT_TRUE(model.RunActive());
    QTest::mouseClick(pane.get(), Qt::LeftButton, Qt::NoModifier, On(1));
    EXPECT_EQ("010000", Selected());
    EXPECT_EQ(1, model.Counts().selected);
    EXPECT_EQ(1, host.selections.back());   // the information text of the one selected
    QTest::mouseClick(pane.get(), Qt::LeftButton, Qt::ShiftModifier, On(4));
    EXPECT_EQ("011110", Selected());
    EXPECT_EQ(-1, host.selections.back());
    QTest::mouseClick(pane.get(), Qt::LeftButton, Qt::ControlModifier, On(2));
    EXPECT_EQ("010110", Selected());
    QTest::mouseDClick(pane.get(), Qt::LeftButton, Qt::NoModifier, On(0));
    EXPECT_EQ(1, opened);
    EXPECT_GT(changes, 0);
}

TEST_F(PaneTest, KeysMoveAndSelectAll) {
    pane->setFocus();
    QTest::keyClick(pane.get(), Qt::Key_Right);   // no anchor yet: the first
    EXPECT_EQ("100000", Selected());
    QTest::keyClick(pane.get(), Qt::Key_Right);
    EXPECT_EQ("010000", Selected());
    QTest::keyClick(pane.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ("011111", Selected());
    QTest::keyClick(pane.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ("111111", Selected());
    EXPECT_EQ(6, model.Counts().selected);
    pane->grab();   // paints every cell without a bitmap source
}

TEST(InfoEditTest, ScrollBarsOnlyForMoreThanOneLine) {
    EnsureApp();
    CInfoEdit box;
    box.SetInfoText("one line");
    EXPECT_EQ(Qt::ScrollBarAlwaysOff, box.verticalScrollBarPolicy());
    EXPECT_EQ(Qt::ScrollBarAlwaysOff, box.horizontalScrollBarPolicy());
    box.SetInfoText("one\ntwo");
    EXPECT_EQ(Qt::ScrollBarAlwaysOn, box.verticalScrollBarPolicy());
    EXPECT_EQ(Qt::ScrollBarAlwaysOn, box.horizontalScrollBarPolicy());
    EXPECT_TRUE(box.isReadOnly());
}

}  // namespace
