#include "viewer/browser/view/FrameRules.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameRulesTest, CommandsFollowTheViewState) {
    FrameInputs ready;
    ready.paneFocus = true;
    ready.items = 5;
    ready.selected = 2;
    ready.treeHasItems = true;
    FrameInputs unprintable = ready;
    unprintable.selectedWithoutThumb = 2;
    FrameInputs movie = ready;
    movie.selectedMovies = 1;
    FrameInputs busy = ready;
    busy.idle = false;
    FrameInputs rootTree;
    rootTree.treeFocus = true;
    rootTree.treeHasItems = true;
    rootTree.rootSelected = true;
    struct Case {
        const char* what;
        int32_t command;
        FrameInputs in;
        bool enabled;
    };
    const Case cases[] = {
        {"open when ready", 32829, ready, true},          {"open while reading", 32829, busy, false},
        {"print of unprintable", 32812, unprintable, false}, {"print with a movie", 32812, movie, true},
        {"print settings with a movie", 32813, movie, false}, {"rotate unprintable", 32799, unprintable, false},
        {"rotate with a movie", 32800, movie, true},      {"delete pictures", 32808, ready, true},
        {"delete the root", 32808, rootTree, false},      {"format from the root", 32810, rootTree, true},
        {"format from the pane", 32810, ready, false},    {"select all", 32792, ready, true},
        {"back to transfer offline", 32839, ready, false}, {"settings", 32793, busy, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.enabled, IsFrameCommandEnabled(c.command, c.in));
    }
}

TEST(FrameRulesTest, MenuHelpShowsOneBlankForAMousePopup) {
    MenuHelp help;
    EXPECT_EQ(MenuHelp::Show::Text, help.Select(32829, 0, true).show);
    EXPECT_EQ(MenuHelp::Show::Keep, help.Select(32829, 0, true).show);
    const MenuHelp::Result popup = help.Select(3, 0x10 | 0x8000, true);
    EXPECT_EQ(MenuHelp::Show::Blank, popup.show);
    EXPECT_EQ(3u, help.Kept());
    EXPECT_EQ(MenuHelp::Show::Reset, help.Select(0, 0xFFFF, false).show);
    EXPECT_EQ(0u, help.Kept());
    EXPECT_EQ(MenuHelp::Show::Blank, help.Select(4, 0x10 | 0x8000, true).show);
    EXPECT_EQ(0u, help.Kept());
    EXPECT_EQ(MenuHelp::Show::Reset, help.Select(5, 0x10, true).show);
}

}  // namespace
