#include "viewer/browser/view/CommandRules.h"
#include "viewer/browser/view/ViewState.h"

#include <gtest/gtest.h>

#include "viewer/shell/settings/ViewSettings.h"

namespace {

TEST(DisplayModeTest, CyclesAndTogglesKeepTheOtherPart) {
    DisplayMode mode;
    mode.SetNext(2);
    EXPECT_EQ(2, mode.Apply());
    EXPECT_EQ(3, mode.Next());
    EXPECT_EQ(0, mode.ToggleTree());   // information box only -> both
    EXPECT_EQ(2, mode.ToggleTree());
    EXPECT_EQ(3, mode.ToggleInfo());
    EXPECT_EQ(0, mode.Next());
    EXPECT_EQ(1, DisplayMode::ButtonState(1, true, false));
    EXPECT_EQ(0, DisplayMode::ButtonState(2, true, false));
    EXPECT_EQ(1, DisplayMode::ButtonState(2, false, true));
    EXPECT_EQ(0, DisplayMode::ButtonState(3, true, true));
}

TEST(LayoutTest, PaneAndSidePanelsFollowTheDisplayMode) {
    struct Case {
        int32_t id, mode;
        ViewRect rect;
    };
    // A view of 804 x 603: W = 800, H = 600; scroll bars 16 wide. The left
    // panel ends with the pane (592); with both shown the tree ends at 303 and
    // the information box starts 40 below.
    const Case cases[] = {
        {kIdTree, 0, {10, 94, 194, 209}},   {kIdTree, 1, {10, 94, 194, 498}},
        {kIdInfo, 0, {10, 343, 194, 249}},  {kIdInfo, 2, {10, 94, 194, 498}},
        {kIdPane, 0, {219, 70, 553, 522}},  {kIdPane, 3, {44, 70, 728, 522}},
        {kIdScrollBar, 3, {773, 70, 16, 522}}, {kIdHelp, 0, {759, 2, 41, 40}},
        {kIdThumbSize, 0, {714, 43, 86, 21}},  {kIdBusy, 0, {719, 7, 31, 30}},
        {kIdTransfer, 0, {377, 11, 46, 44}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "control " << c.id << " mode " << c.mode);
        EXPECT_EQ(c.rect, ControlRect(c.id, c.mode, 804, 603, 16));
    }
}

TEST(PaneScrollTest, MovesStayInsideTheRange) {
    PaneScroll s;
    s.GrowTo(430, 64, 300);   // content 526
    EXPECT_TRUE(s.Enabled());
    EXPECT_EQ(10, s.LineDown());
    EXPECT_EQ(216, s.PageDown(300));   // clamped at 526 - 300
    EXPECT_EQ(226, s.Position());
    EXPECT_EQ(-30, s.Wheel(120));
    EXPECT_EQ(-196, s.Track(0));
    EXPECT_EQ(0, s.Wheel(120));        // never above the top
    EXPECT_EQ(1, s.Top());
    s.Reset();
    EXPECT_FALSE(s.Enabled());
    EXPECT_EQ(0, s.Position());
}

TEST(LayoutTest, LeftPanelStaysInsideTheViewAtEveryHeight) {
    for (int32_t height = 380; height <= 1400; height += 7) {
        for (int32_t mode = 0; mode < 3; ++mode) {
            for (int32_t id : {kIdTree, kIdInfo}) {
                if ((id == kIdTree && !DisplayMode::TreeShown(mode)) || (id == kIdInfo && !DisplayMode::InfoShown(mode)))
                    continue;
                const ViewRect r = ControlRect(id, mode, 650, height, 16);
                SCOPED_TRACE(testing::Message() << "control " << id << " mode " << mode << " height " << height);
                EXPECT_GE(r.y, 94);
                EXPECT_GT(r.height, 40);
                EXPECT_LE(r.y + r.height, height);
            }
        }
        const ViewRect tree = ControlRect(kIdTree, 0, 650, height, 16);
        const ViewRect info = ControlRect(kIdInfo, 0, 650, height, 16);
        EXPECT_LE(tree.y + tree.height, info.y) << height;
    }
}

TEST(PaneScrollTest, RefitAfterANarrowerGridReachesTheLastRow) {
    PaneScroll s;
    s.GrowTo(300, 64, 400);   // wide grid: content 396, no scrolling
    EXPECT_FALSE(s.Enabled());
    s.Refit(1800, 64, 400);   // narrower: the last row moved down
    EXPECT_TRUE(s.Enabled());
    EXPECT_EQ(1896, s.Maximum());
    EXPECT_EQ(1496, s.Bottom());
    EXPECT_EQ(1496, s.Position());
    s.Refit(600, 64, 400);    // wider again: the position comes back inside the range
    EXPECT_EQ(696, s.Maximum());
    EXPECT_EQ(296, s.Position());
    s.Refit(100, 64, 400);
    EXPECT_FALSE(s.Enabled());
    EXPECT_EQ(0, s.Position());
}

TEST(BusyFrameTest, RunsOneToNineAndOver) {
    BusyFrame f;
    for (int i = 2; i <= 9; ++i) EXPECT_EQ(i, f.Step());
    EXPECT_EQ(1, f.Step());
}

TEST(ViewSettingsCopyTest, StoredThumbSizeZeroMeans64) {
    CViewSettings settings;
    settings.ThumbSize = 0;
    settings.ViewInfo = 2;
    EXPECT_EQ(64, ViewSettingsCopy::FromSettings(settings).thumbSize);
    EXPECT_EQ(2, ViewSettingsCopy::FromSettings(settings).viewInfo);
    settings.ThumbSize = 192;
    EXPECT_EQ(192, ViewSettingsCopy::FromSettings(settings).thumbSize);
}

TEST(ButtonRulesTest, EnablingFollowsSelectionFocusAndDestinations) {
    ButtonInputs pane;
    pane.anySelected = true;
    pane.paneFocus = true;
    pane.treeHasItems = true;
    pane.selected = 2;
    struct Case {
        const char* what;
        ButtonInputs in;
        ButtonStates out;
    };
    ButtonInputs movie = pane;
    movie.movieSelected = true;
    movie.selectedMovies = 1;
    movie.selectedWithoutThumb = 1;
    ButtonInputs noDestination = pane;
    noDestination.webUpload = true;
    noDestination.checkLocal = false;
    ButtonInputs busy = pane;
    busy.idle = false;
    ButtonInputs tree;
    tree.treeFocus = true;
    tree.treeHasItems = true;
    ButtonInputs root = tree;
    root.rootSelected = true;
    ButtonInputs emptyTree = pane;
    emptyTree.treeHasItems = false;
    const Case cases[] = {
        {"pictures selected", pane, {true, true, true, true, true, true}},
        {"a movie among them", movie, {true, true, false, false, true, true}},
        {"no destination", noDestination, {true, true, true, true, false, true}},
        {"reading", busy, {}},
        {"folder in the tree", tree, {false, false, false, false, false, true}},
        {"root in the tree", root, {}},
        {"empty tree", emptyTree, {false, true, false, true, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.out, UpdateViewerButtons(c.in));
    }
}

TEST(ErrorBoxTest, CodesDecideIconTextAndClosing) {
    struct Case {
        int32_t code;
        bool show;
        BoxIcon icon;
        int32_t text;
        bool close;
    };
    const Case cases[] = {
        {-120, true, BoxIcon::Stop, 61607, true},   {-118, true, BoxIcon::Stop, 0, true},
        {101, true, BoxIcon::Stop, 0, true},        {-101, true, BoxIcon::Stop, 0, false},
        {-99, true, BoxIcon::Exclamation, 0, false}, {107, true, BoxIcon::Exclamation, 0, false},
        {-90, false, BoxIcon::None, 0, false},      {-96, false, BoxIcon::None, 0, false},
        {-50, true, BoxIcon::Stop, 61602, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const BoxDecision d = DecideErrorBox(c.code);
        EXPECT_EQ(c.show, d.show);
        EXPECT_EQ(c.icon, d.icon);
        EXPECT_EQ(c.text, d.textId);
        EXPECT_EQ(c.close, d.closeTarget);
    }
    EXPECT_TRUE(DecideErrorBox(-120).withProgramName);
}

TEST(LibraryBoxTest, KindsAndFatality) {
    EXPECT_EQ(61600, DecideLibraryResult(1, false).textId);
    EXPECT_FALSE(DecideLibraryResult(1, false).closeTarget);
    EXPECT_EQ(BoxIcon::Exclamation, DecideLibraryResult(2, false).icon);
    EXPECT_EQ(BoxIcon::Stop, DecideLibraryResult(2, true).icon);
    EXPECT_EQ(61605, DecideLibraryResult(3, true).textId);
    EXPECT_TRUE(DecideLibraryResult(4, false).closeTarget);
    EXPECT_TRUE(DecideLibraryResult(9, false).closeTarget);
}

TEST(SaveTargetTest, RootsByDriveTypeFoldersByStatus) {
    EXPECT_EQ(61680, CheckSaveTarget("E:\\", DriveKind::CdRom, true));
    EXPECT_EQ(61602, CheckSaveTarget("\\\\server\\share", DriveKind::Unknown, true));
    EXPECT_EQ(0, CheckSaveTarget("/", DriveKind::Fixed, true));
    EXPECT_EQ(61683, CheckSaveTarget("/home/pictures", DriveKind::Fixed, false));
    EXPECT_EQ(0, CheckSaveTarget("/home/pictures", DriveKind::CdRom, true));
}

TEST(SmallTablesTest, HelpSizesAndCameraRequests) {
    EXPECT_EQ(1011, HelpIdForButtonSet(3));
    EXPECT_EQ(1046, HelpIdForButtonSet(12));
    EXPECT_EQ(1004, HelpIdForButtonSet(17));
    EXPECT_EQ(1061, HelpIdForButtonSet(25));
    EXPECT_EQ(0, HelpIdForButtonSet(26));
    EXPECT_EQ(64, ThumbSizeForCommand(32814));
    EXPECT_EQ(256, ThumbSizeForCommand(32818));
    EXPECT_EQ(0, ThumbSizeForCommand(32819));
    EXPECT_EQ(3, ImageSizeForCommand(32827));
    EXPECT_EQ(-1, ImageSizeForCommand(32823));
    EXPECT_TRUE(DecideCameraRequest(false, false, false).askUser);
    EXPECT_TRUE(DecideCameraRequest(true, false, true).askUser);
    const CameraRequestDecision none = DecideCameraRequest(true, false, false);
    EXPECT_FALSE(none.askUser);
    EXPECT_EQ(61677, none.refuseTextId);
}

}  // namespace
