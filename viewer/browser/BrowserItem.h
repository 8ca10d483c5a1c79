#pragma once
// One picture of the browser's list as the picture jobs see it.
#include "viewer/sources/PictureRecords.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

struct BrowserItem {
    std::string fileName;
    bool selected = false;
    std::atomic<int32_t> removed{0};        // set by the remove job
    std::unique_ptr<PictureRecord> record;  // thumbnail record: rotation, size, shooting date

    BrowserItem() = default;
    BrowserItem(std::string name, bool isSelected) : fileName(std::move(name)), selected(isSelected) {}
    BrowserItem(BrowserItem&& o) noexcept
        : fileName(std::move(o.fileName)), selected(o.selected), removed(o.removed.load()), record(std::move(o.record)) {}
};

using BrowserItemList = std::vector<BrowserItem>;

int32_t SelectedCount(const BrowserItemList& items);

// Frees every item's picture record, stopping at the first item without one.
void FreeAllThumbnails(BrowserItemList& items);
