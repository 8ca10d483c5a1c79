#pragma once
// How the thumbnail pane selects items with the mouse and the keyboard, and how
// it closes the gaps that removed pictures leave. Works on the view's items
// (the caller holds the item lock); returns which items changed so that only
// they are repainted.
#include <cstdint>
#include <vector>

#include "viewer/browser/view/BrowserItems.h"
#include "viewer/browser/view/ThumbGrid.h"

class PaneSelection {
public:
    PaneSelection(BrowserItems& items, int32_t thumbSize) : items_(items), size_(thumbSize) {}

    void SetThumbSize(int32_t size) { size_ = size; }
    int32_t Anchor() const { return anchor_; }
    int32_t Current() const { return current_; }
    void ClearAnchor() { anchor_ = current_ = -1; }

    // The placed item whose frame holds the point (content coordinates), or -1.
    int32_t HitTest(int32_t x, int32_t y) const;

    // Left button down on an item. True when it went down on a selected item
    // without Shift or Ctrl (a drag may follow; a plain release selects it alone).
    bool Press(int32_t index, bool shift, bool ctrl);
    // The release of a press on a selected item that did not become a drag.
    void ReleaseOnSelected(int32_t index);
    // The rubber band ended as band; previous is the band drawn before it.
    void ReleaseBand(const GridRect& band, const GridRect& previous, bool shift, bool ctrl);
    // Right button up on index (-1 for empty space).
    void RightClick(int32_t index, bool ctrl);
    void SelectAll();
    // Selects exactly the items for which test is true.
    template <typename Test>
    int32_t SelectWhere(Test test) {
        int32_t n = 0;
        for (size_t i = 0; i < items_.size(); ++i) {
            const bool on = items_.item(i).record && test(*items_.item(i).record);
            SetSelected(i, on);
            n += on ? 1 : 0;
        }
        ClearAnchor();
        return n;
    }

    enum class Arrow { Left, Right, Up, Down };
    // Moves the current item one cell; false when there was nowhere to go.
    bool MoveCurrent(Arrow arrow, bool shift);

    const std::vector<size_t>& Changed() const { return changed_; }
    void ClearChanged() { changed_.clear(); }

private:
    void SetSelected(size_t i, bool on);
    void SelectOnly(size_t i);
    void SelectRange(size_t from, size_t to);
    bool Intersects(size_t i, const GridRect& band) const;

    BrowserItems& items_;
    int32_t size_;
    int32_t anchor_ = -1;
    int32_t current_ = -1;
    std::vector<size_t> changed_;
};

// After the remove-files job: pictures marked removed leave, the later pictures
// move down into the free cells (re-centred there) and the empty cells at the
// end go. Returns the number of pictures removed.
int32_t CompactRemovedItems(BrowserItems& items, int32_t thumbSize);

// Enabling of the pane's context menu.
struct PaneMenuStates {
    bool open = false, save = false, print = false, rotate = false, transfer = false, remove = false;
    bool operator==(const PaneMenuStates&) const = default;
};
PaneMenuStates PaneMenuEnabling(int32_t selected, int32_t selectedMovies, int32_t selectedWithoutThumb, bool idle,
                                bool checkLocal, bool checkWeb);
