#pragma once
// The browser's item array: one BrowserItem per picture of the current folder,
// each with its place in the thumbnail grid. Owned and changed by the
// user-interface thread; workers build new arrays privately and hand them over.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/browser/BrowserItem.h"

struct ItemCell {
    int32_t index = 0;      // position in the sorted list
    int32_t pictureX = 0;   // the thumbnail's corner in pane coordinates
    int32_t pictureY = 0;
    int32_t left = 0;       // the cell's corner in pane coordinates
    int32_t top = 0;
    bool placed = false;    // the thumbnail was read and placed
};

class BrowserItems {
public:
    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

    BrowserItem& item(size_t i) { return items_[i]; }
    const BrowserItem& item(size_t i) const { return items_[i]; }
    ItemCell& cell(size_t i) { return cells_[i]; }
    const ItemCell& cell(size_t i) const { return cells_[i]; }
    BrowserItemList& list() { return items_; }
    const BrowserItemList& list() const { return items_; }

    void Append(BrowserItem&& item, const ItemCell& cell);
    // Removes one item (its record goes with it); later items move up by one.
    void RemoveAt(size_t i);
    // Takes item i out, leaving an empty item in its place.
    BrowserItem Take(size_t i);
    void Clear();
    void Swap(BrowserItems& other) noexcept;

private:
    BrowserItemList items_;
    std::vector<ItemCell> cells_;
};

// Selection counters of the browser view and the flags derived from them.
struct SelectionCounts {
    int32_t selected = 0;
    int32_t selectedMovies = 0;          // selected pictures with the slow-thumbnail mark
    int32_t selectedWithoutThumb = 0;    // selected pictures whose record holds no tiles
    bool anySelected = false;
    bool anyMovie = false;
    bool anyWithoutThumb = false;

    void Add(const BrowserItem& item);
    void SetFlags();
};

SelectionCounts CountSelection(const BrowserItems& items);
// Index of the only selected item, or -1.
int32_t SingleSelected(const BrowserItems& items);
