#include "viewer/browser/view/PaneSelection.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// n placed items of 64-pixel thumbnails (64 x 48) in a 400-pixel pane: four columns.
BrowserItems Grid(int32_t n) {
    BrowserItems items;
    for (int32_t i = 0; i < n; ++i) {
        BrowserItem item("P" + std::to_string(i), false);
        item.record = std::make_unique<PictureRecord>();
        item.record->width = 64;
        item.record->height = 48;
        const GridCell g = CellForIndex(i, 400, 64);
        ItemCell cell;
        cell.index = i;
        cell.left = g.left;
        cell.top = g.top;
        CentreThumbnail(g, 64, 64, 48, &cell.pictureX, &cell.pictureY);
        cell.placed = true;
        items.Append(std::move(item), cell);
    }
    return items;
}

std::string Selected(const BrowserItems& items) {
    std::string s;
    for (const BrowserItem& item : items.list()) s += item.selected ? '1' : '0';
    return s;
}

TEST(PaneSelectionTest, ClicksWithShiftAndCtrl) {
    BrowserItems items = Grid(6);
    PaneSelection sel(items, 64);
    EXPECT_EQ(1, sel.HitTest(100, 30));
    EXPECT_EQ(-1, sel.HitTest(90, 30));    // between two cells
    sel.Press(2, true, false);             // Shift without an anchor: this one alone
    EXPECT_EQ("001000", Selected(items));
    EXPECT_EQ(2, sel.Anchor());
    sel.Press(4, true, false);
    EXPECT_EQ("001110", Selected(items));
    sel.Press(0, true, false);
    EXPECT_EQ("111000", Selected(items));
    sel.Press(5, false, true);             // Ctrl flips
    EXPECT_EQ("111001", Selected(items));
    sel.Press(5, false, true);             // again on the anchor: no anchor left
    EXPECT_EQ("111000", Selected(items));
    EXPECT_EQ(-1, sel.Anchor());
    EXPECT_TRUE(sel.Press(1, false, false));   // on a selected item: a drag may follow
    EXPECT_EQ("111000", Selected(items));
    sel.ReleaseOnSelected(1);
    EXPECT_EQ("010000", Selected(items));
}

TEST(PaneSelectionTest, RubberBandSelectsWhatItTouches) {
    BrowserItems items = Grid(8);
    PaneSelection sel(items, 64);
    sel.Press(7, false, false);
    sel.ReleaseBand({20, 20, 110, 60}, {}, false, false);   // cells 0 and 1
    EXPECT_EQ("11000000", Selected(items));
    sel.ReleaseBand({20, 140, 30, 150}, {20, 20, 110, 60}, false, true);   // Ctrl: 4 flips, 0 and 1 flip back
    EXPECT_EQ("00001000", Selected(items));
    sel.ReleaseBand({20, 20, 20, 300}, {}, false, false);   // no width: clears
    EXPECT_EQ("00000000", Selected(items));
}

TEST(PaneSelectionTest, ArrowsWalkTheGrid) {
    BrowserItems items = Grid(6);
    PaneSelection sel(items, 64);
    EXPECT_TRUE(sel.MoveCurrent(PaneSelection::Arrow::Right, false));   // no anchor: the first
    EXPECT_EQ("100000", Selected(items));
    sel.MoveCurrent(PaneSelection::Arrow::Left, false);   // stops at the first column
    EXPECT_EQ("100000", Selected(items));
    EXPECT_TRUE(sel.MoveCurrent(PaneSelection::Arrow::Down, false));
    EXPECT_EQ("000010", Selected(items));
    EXPECT_TRUE(sel.MoveCurrent(PaneSelection::Arrow::Right, true));
    EXPECT_EQ("000011", Selected(items));
    EXPECT_FALSE(sel.MoveCurrent(PaneSelection::Arrow::Down, true));
    EXPECT_TRUE(sel.MoveCurrent(PaneSelection::Arrow::Up, false));
    EXPECT_EQ("010000", Selected(items));
}

TEST(PaneSelectionTest, RightClickAndMarks) {
    BrowserItems items = Grid(4);
    items.item(2).record->protect = 1;
    items.item(3).record->transferMarked = 1;
    PaneSelection sel(items, 64);
    sel.Press(0, false, false);
    sel.RightClick(1, true);
    EXPECT_EQ("1100", Selected(items));
    sel.RightClick(-1, false);
    EXPECT_EQ("0000", Selected(items));
    EXPECT_EQ(1, sel.SelectWhere([](const PictureRecord& r) { return r.protect == 1; }));
    EXPECT_EQ("0010", Selected(items));
    EXPECT_EQ(3, sel.SelectWhere([](const PictureRecord& r) { return r.transferMarked == 0; }));
    EXPECT_EQ("1110", Selected(items));
}

TEST(PaneSelectionTest, RemovedPicturesLeaveNoGaps) {
    BrowserItems items = Grid(5);
    items.item(1).removed = 1;
    items.item(3).removed = 1;
    items.item(4).selected = true;
    items.item(4).record->width = 48;   // a portrait thumbnail
    items.item(4).record->height = 64;
    items.item(4).record->rotation = 1;
    const int32_t cell2Left = items.cell(2).left;
    EXPECT_EQ(2, CompactRemovedItems(items, 64));
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ("P0", items.item(0).fileName);
    EXPECT_EQ("P2", items.item(1).fileName);
    EXPECT_EQ("P4", items.item(2).fileName);
    EXPECT_EQ(100, items.cell(1).left);           // the second cell
    EXPECT_EQ(cell2Left, items.cell(2).left);     // P4 in the third cell
    EXPECT_EQ(cell2Left + 3 + 8, items.cell(2).pictureX);   // re-centred across
    EXPECT_EQ(33, items.cell(2).pictureY);
    EXPECT_TRUE(items.item(2).selected);
    EXPECT_EQ(2, items.cell(2).index);
}

TEST(PaneSelectionTest, ContextMenuEnabling) {
    EXPECT_EQ((PaneMenuStates{true, true, true, true, true, true}), PaneMenuEnabling(2, 0, 0, true, true, false));
    EXPECT_EQ((PaneMenuStates{true, true, false, true, true, true}), PaneMenuEnabling(2, 1, 0, true, true, false));
    EXPECT_EQ((PaneMenuStates{}), PaneMenuEnabling(0, 0, 0, true, true, true));
    EXPECT_EQ((PaneMenuStates{}), PaneMenuEnabling(2, 0, 0, false, true, true));
    EXPECT_EQ((PaneMenuStates{true, true, true, false, false, true}), PaneMenuEnabling(1, 0, 1, true, false, false));
}

}  // namespace
