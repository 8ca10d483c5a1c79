#include "viewer/browser/view/BrowserItems.h"

#include <utility>

void BrowserItems::Append(BrowserItem&& item, const ItemCell& cell) {
    items_.push_back(std::move(item));
    cells_.push_back(cell);
}

void BrowserItems::RemoveAt(size_t i) {
    if (i >= items_.size()) return;
    // BrowserItem can be moved into place but not assigned, so the tail is rebuilt.
    BrowserItemList kept;
    kept.reserve(items_.size() - 1);
    for (size_t k = 0; k < items_.size(); ++k)
        if (k != i) kept.push_back(std::move(items_[k]));
    items_.swap(kept);
    cells_.erase(cells_.begin() + static_cast<std::ptrdiff_t>(i));
}

BrowserItem BrowserItems::Take(size_t i) { return BrowserItem(std::move(items_[i])); }

void BrowserItems::Clear() {
    items_.clear();
    cells_.clear();
}

void BrowserItems::Swap(BrowserItems& other) noexcept {
    items_.swap(other.items_);
    cells_.swap(other.cells_);
}

void SelectionCounts::Add(const BrowserItem& item) {
    if (!item.selected) return;
    ++selected;
    if (item.record && item.record->movie) ++selectedMovies;
    if (!item.record || item.record->blocks.empty()) ++selectedWithoutThumb;
}

void SelectionCounts::SetFlags() {
    anySelected = selected > 0;
    anyMovie = selectedMovies > 0;
    anyWithoutThumb = selectedWithoutThumb > 0;
}

SelectionCounts CountSelection(const BrowserItems& items) {
    SelectionCounts counts;
    for (const BrowserItem& item : items.list()) counts.Add(item);
    counts.SetFlags();
    return counts;
}

int32_t SingleSelected(const BrowserItems& items) {
    int32_t found = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items.item(i).selected) continue;
        if (found >= 0) return -1;
        found = static_cast<int32_t>(i);
    }
    return found;
}
