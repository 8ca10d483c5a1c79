#include "viewer/browser/view/ViewerView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/browser/view/tests/FakeSource.h"

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "browser_view_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

class ViewerViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        source.folders = {"100ABCDE", "101ABCDE"};
        for (int i = 0; i < 7; ++i) {
            const std::string name = "IMG_000" + std::to_string(i) + ".JPG";
            source.pictures[name] = {};
            source.listed.push_back(name);
        }
        ViewerViewServices services;
        services.text = [](uint32_t id) { return "<" + std::to_string(id) + ">"; };
        services.box = [this](const BoxDecision& d, const std::string& text) {
            boxes.push_back(text + (d.icon == BoxIcon::Exclamation ? " !" : ""));
        };
        services.closeTarget = [this] { ++closes; };
        services.accessState = [this](int32_t f) { access.push_back(f); };
        services.infoText = [](int32_t i) { return "picture " + std::to_string(i); };
        services.askOkCancel = [this](const std::string& text) {
            boxes.push_back(text);
            return answerOk;
        };
        services.suspendDeviceCheck = [this] { ++suspends; return true; };
        services.resumeDeviceCheck = [this] { ++resumes; return 0; };
        services.removeFiles = [](BrowserItemList& items, const std::string&) {
            for (BrowserItem& item : items)
                if (item.selected) item.removed = 1;
            return 0;
        };
        services.chooseFolder = [this](const std::string&) { return chosen; };
        services.driveKind = [this](const std::string&) { return drive; };
        services.statusReadable = [](const std::string& path) { return path != "/unreadable"; };
        services.saveFiles = [this](BrowserItemList&, const std::string& folder, const std::string& target) {
            saved.push_back(folder + " -> " + target);
            return 0;
        };
        services.setAttribute = [this](int32_t, bool, BrowserItemList&, const std::string&) { return attrResult; };
        ViewSettingsCopy settings;
        settings.thumbSize = 64;
        view = std::make_unique<CViewerView>(source, settings, services);
        view->resize(900, 700);
        view->show();
    }

    // Lets the readers finish and the view handle what they posted.
    bool Settled() {
        return QTest::qWaitFor([&] {
            return view->Model().Idle() && !view->Model().Readers().Busy() && !view->Model().Items().empty() &&
                   view->Model().Items().cell(view->Model().Items().size() - 1).placed;
        }, 20000);
    }

    FakeSource source;
    std::vector<std::string> boxes;
    std::vector<int32_t> access;
    int closes = 0;
    int suspends = 0;
    int resumes = 0;
    bool answerOk = true;
    std::string chosen;
    DriveKind drive = DriveKind::Fixed;
    std::vector<std::string> saved;
    int32_t attrResult = 0;
    std::unique_ptr<CViewerView> view;
};

TEST_F(ViewerViewTest, OpeningTheTargetShowsTheFirstFolder) {
    view->OpenTarget("Card");
    ASSERT_TRUE(Settled());
    EXPECT_EQ(7u, view->Model().Items().size());
    EXPECT_EQ("100ABCDE", view->Model().Folder());
    EXPECT_EQ(1, view->Tree().topLevelItemCount());
    EXPECT_EQ(2, view->Tree().topLevelItem(0)->childCount());
    EXPECT_EQ(1, access.back());
    EXPECT_TRUE(boxes.empty());
    // Columns follow the pane's width: 900 - 4 - 247 = 649 wide, seven 85-pixel cells.
    EXPECT_EQ(15 + 6 * 85, view->Model().Items().cell(6).left);
}

TEST_F(ViewerViewTest, SizeChangeReadsAgainAndNarrowerPaneReflows) {
    view->OpenTarget("Card");
    ASSERT_TRUE(Settled());
    view->SetThumbSize(128);
    ASSERT_TRUE(Settled());
    EXPECT_EQ(15 + 149, view->Model().Items().cell(1).left);
    view->resize(600, 700);   // pane 349 wide: two columns of 149
    EXPECT_EQ(15, view->Model().Items().cell(2).left);
}

TEST_F(ViewerViewTest, ErrorBoxesCloseOrGoOn) {
    view->ShowErrorBox(-99);
    view->ShowErrorBox(-90);
    view->ShowErrorBox(-118);
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(" !", boxes[0].substr(boxes[0].size() - 2));
    EXPECT_EQ(1, closes);
    view->ShowLibraryResult(2, false);
    EXPECT_EQ(1, closes);
    view->ShowLibraryResult(4, false);
    EXPECT_EQ(2, closes);
}

TEST_F(ViewerViewTest, ListErrorReachesTheErrorBox) {
    source.listResult = -118;
    view->OpenTarget("Card");
    ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1; }, 20000));
    EXPECT_EQ(1u, boxes.size());
}

TEST_F(ViewerViewTest, DeletingPicturesClosesTheGaps) {
    view->OpenTarget("Card");
    ASSERT_TRUE(Settled());
    BrowserItems& items = view->Model().Items();
    items.item(1).selected = true;
    items.item(3).selected = true;
    items.item(3).record->protect = 1;
    view->Model().RecountSelection(false);
    answerOk = false;
    view->DeleteSelectedPictures();   // Cancel: nothing goes, the device check comes back
    EXPECT_EQ(7u, items.size());
    EXPECT_EQ("<61641>", boxes.back());
    EXPECT_EQ(1, resumes);
    answerOk = true;
    view->DeleteSelectedPictures();
    ASSERT_EQ(5u, items.size());
    EXPECT_EQ("IMG_0002.JPG", items.item(1).fileName);
    EXPECT_EQ(100, items.cell(1).left);
    EXPECT_EQ(0, view->Model().Counts().selected);
    EXPECT_EQ(2, suspends);
    EXPECT_EQ(2, resumes);
}

TEST_F(ViewerViewTest, SavingChecksTheDestinationFirst) {
    view->OpenTarget("Card");
    ASSERT_TRUE(Settled());
    view->Model().Items().item(2).selected = true;
    view->SaveSelected();   // Cancel
    EXPECT_TRUE(saved.empty());
    chosen = "E:\\";
    drive = DriveKind::CdRom;
    view->SaveSelected();
    EXPECT_EQ("<61680>", boxes.back());
    chosen = "/unreadable";
    view->SaveSelected();
    EXPECT_EQ("<61683>", boxes.back());
    chosen = "/home/pictures";
    view->SaveSelected();
    EXPECT_EQ((std::vector<std::string>{"100ABCDE -> /home/pictures"}), saved);
    EXPECT_EQ("/home/pictures", view->Settings().repFolder);
}

TEST_F(ViewerViewTest, TurnedThumbnailsRecentreAndAMissingPictureAsksFirst) {
    view->OpenTarget("Card");
    ASSERT_TRUE(Settled());
    BrowserItems& items = view->Model().Items();
    items.item(0).selected = true;
    const int32_t x = items.cell(0).pictureX;
    items.item(0).record->width = 48;   // as a quarter turn leaves it
    items.item(0).record->height = 64;
    view->Model().RecentreSelected();
    EXPECT_EQ(x + 8, items.cell(0).pictureX);   // now upright: centred across
    EXPECT_EQ(items.cell(0).top + 3, items.cell(0).pictureY);
    attrResult = -99;
    answerOk = false;
    view->SetAttribute(2, true);
    EXPECT_EQ("<61643>", boxes.back());
    EXPECT_EQ(7u, items.size());
}

TEST_F(ViewerViewTest, FolderListChangesKeepOrDropTheFolderOnShow) {
    view->OpenTarget("Card");
    ASSERT_TRUE(Settled());
    source.folders = {"099ABCDE", "100ABCDE"};
    view->RebuildTree();
    EXPECT_EQ(7u, view->Model().Items().size());
    EXPECT_EQ("100ABCDE", view->Tree().currentItem()->text(0).toStdString());
    source.folders = {"101ABCDE"};
    view->RebuildTree();
    EXPECT_TRUE(view->Model().Items().empty());
    EXPECT_EQ(view->Tree().topLevelItem(0), view->Tree().currentItem());
}

TEST_F(ViewerViewTest, KeyboardTreeMovesChangeTheFolderAfterAPause) {
    view->OpenTarget("Card");
    ASSERT_TRUE(Settled());
    source.listed.resize(2);
    view->Tree().setCurrentItem(view->Tree().topLevelItem(0)->child(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->Model().Folder() == "101ABCDE"; }, 20000));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(2u, view->Model().Items().size());
}

TEST_F(ViewerViewTest, DisplayModesShowAndHideThePanels) {
    EXPECT_EQ(0, view->Mode().Current());
    view->ApplyNextDisplayMode();
    EXPECT_EQ(1, view->Mode().Current());
    EXPECT_TRUE(view->Tree().isVisible());
    view->ApplyNextDisplayMode();
    view->ApplyNextDisplayMode();
    EXPECT_EQ(3, view->Mode().Current());
    EXPECT_FALSE(view->Tree().isVisible());
    EXPECT_EQ(44, view->Pane().x());
}

}  // namespace
