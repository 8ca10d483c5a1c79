#include "viewer/browser/view/PaneSelection.h"

#include <algorithm>

int32_t PaneSelection::HitTest(int32_t x, int32_t y) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        const ItemCell& c = items_.cell(i);
        if (!c.placed) continue;
        if (x >= c.left && x < c.left + size_ + 6 && y >= c.top && y < c.top + size_ + 6)
            return static_cast<int32_t>(i);
    }
    return -1;
}

void PaneSelection::SetSelected(size_t i, bool on) {
    BrowserItem& item = items_.item(i);
    if (item.selected == on) return;
    item.selected = on;
    changed_.push_back(i);
}

void PaneSelection::SelectOnly(size_t index) {
    for (size_t i = 0; i < items_.size(); ++i) SetSelected(i, i == index);
}

void PaneSelection::SelectRange(size_t from, size_t to) {
    if (from > to) std::swap(from, to);
    for (size_t i = 0; i < items_.size(); ++i) SetSelected(i, i >= from && i <= to);
}

bool PaneSelection::Press(int32_t index, bool shift, bool ctrl) {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) return false;
    const size_t i = static_cast<size_t>(index);
    if (shift) {
        if (anchor_ < 0) anchor_ = index;
        current_ = index;
        SelectRange(static_cast<size_t>(anchor_), i);
        return false;
    }
    if (ctrl) {
        SetSelected(i, !items_.item(i).selected);
        if (anchor_ == index)
            anchor_ = current_ = -1;
        else
            anchor_ = current_ = index;
        return false;
    }
    if (items_.item(i).selected) return true;
    SelectOnly(i);
    anchor_ = current_ = index;
    return false;
}

void PaneSelection::ReleaseOnSelected(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) return;
    SelectOnly(static_cast<size_t>(index));
    anchor_ = current_ = index;
}

bool PaneSelection::Intersects(size_t i, const GridRect& band) const {
    const ItemCell& c = items_.cell(i);
    const int32_t l = std::min(band.left, band.right), r = std::max(band.left, band.right);
    const int32_t t = std::min(band.top, band.bottom), b = std::max(band.top, band.bottom);
    return c.placed && l < c.left + size_ + 6 && r > c.left && t < c.top + size_ + 6 && b > c.top;
}

void PaneSelection::ReleaseBand(const GridRect& band, const GridRect& previous, bool shift, bool ctrl) {
    ClearAnchor();
    const bool empty = band.left == band.right || band.top == band.bottom;
    for (size_t i = 0; i < items_.size(); ++i) {
        const bool selected = items_.item(i).selected;
        if (empty) {
            if (!ctrl && !shift) SetSelected(i, false);
        } else if (Intersects(i, band)) {
            SetSelected(i, ctrl ? !selected : true);
        } else if (Intersects(i, previous)) {
            SetSelected(i, ctrl ? !selected : false);
        } else if (!ctrl && !shift) {
            SetSelected(i, false);
        }
    }
}

void PaneSelection::RightClick(int32_t index, bool ctrl) {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) {
        for (size_t i = 0; i < items_.size(); ++i) SetSelected(i, false);
        ClearAnchor();
        return;
    }
    const size_t i = static_cast<size_t>(index);
    if (items_.item(i).selected) return;
    if (!ctrl)
        SelectOnly(i);
    else
        SetSelected(i, true);
    anchor_ = current_ = index;
}

void PaneSelection::SelectAll() {
    for (size_t i = 0; i < items_.size(); ++i) SetSelected(i, true);
    ClearAnchor();
}

bool PaneSelection::MoveCurrent(Arrow arrow, bool shift) {
    if (items_.empty()) return false;
    if (anchor_ < 0 || current_ < 0 || static_cast<size_t>(current_) >= items_.size()) {
        SelectOnly(0);
        anchor_ = current_ = 0;
        return true;
    }
    const ItemCell& c = items_.cell(static_cast<size_t>(current_));
    int32_t x = c.left + 1, y = c.top + 1;
    switch (arrow) {
    case Arrow::Left: x = std::max(15, c.left - (size_ + 21)) + 1; break;
    case Arrow::Right: x += size_ + 21; break;
    case Arrow::Up: y -= size_ + 36; break;
    case Arrow::Down: y += size_ + 36; break;
    }
    const int32_t target = HitTest(x, y);
    if (target < 0) return false;
    current_ = target;
    if (shift) {
        SelectRange(static_cast<size_t>(anchor_), static_cast<size_t>(target));
    } else {
        SelectOnly(static_cast<size_t>(target));
        anchor_ = target;
    }
    return true;
}

namespace {

void Recentre(ItemCell& cell, const PictureRecord* record, int32_t size) {
    cell.pictureX = cell.left + 3;
    cell.pictureY = cell.top + 3;
    if (!record) return;
    const bool upright = record->rotation == 0 || record->rotation == 2;
    if (upright)
        cell.pictureY += (size - static_cast<int32_t>(record->height)) / 2;
    else
        cell.pictureX += (size - static_cast<int32_t>(record->width)) / 2;
}

}  // namespace

int32_t CompactRemovedItems(BrowserItems& items, int32_t thumbSize) {
    BrowserItems kept;
    int32_t removed = 0;
    size_t next = 0;   // the earliest free cell
    for (size_t i = 0; i < items.size(); ++i) {
        BrowserItem& item = items.item(i);
        if (item.removed.load() != 0 || !item.record) {
            ++removed;
            continue;
        }
        ItemCell cell = items.cell(next);   // the cell keeps its place
        const ItemCell& own = items.cell(i);
        cell.placed = own.placed;
        cell.index = static_cast<int32_t>(next);
        if (next != i) Recentre(cell, item.record.get(), thumbSize);
        else cell = own;
        item.record->index = static_cast<int32_t>(next);
        kept.Append(items.Take(i), cell);
        ++next;
    }
    items.Swap(kept);
    return removed;
}

PaneMenuStates PaneMenuEnabling(int32_t selected, int32_t selectedMovies, int32_t selectedWithoutThumb, bool idle,
                                bool checkLocal, bool checkWeb) {
    PaneMenuStates s;
    if (selected > 0 && idle) {
        s.open = s.save = s.rotate = s.transfer = s.remove = true;
        s.print = selectedMovies == 0;
    }
    if (selected == selectedWithoutThumb + selectedMovies) s.rotate = false;
    if (!checkLocal && !checkWeb) s.transfer = false;
    return s;
}
