#include "viewer/browser/view/FileListLoader.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <new>

#include "viewer/sources/JqIfMngResult.h"

namespace {

void ApplyStatus(PictureRecord& to, const PictureRecord& from) {
    to.protect = from.protect;
    to.hidden = from.hidden;
    to.size = from.size;
    to.transferMarked = from.transferMarked;
}

}  // namespace

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void CFileListLoader::SortUniqueNameList(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end());   // byte order: upper case before lower case
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

int32_t CFileListLoader::RefreshItemRecord(const std::string& name, PictureRecord& record) {
    uint32_t size = 0;
    int32_t protect = 0, hidden = 0;
    const int32_t r = source_.FileStatus(folder_, name, &size, &protect, &hidden);
    if (r != 0) return r;
    record.protect = protect;
    record.hidden = hidden;
    record.size = size;
    record.transferMarked = source_.IsTransferMarked(folder_, name) ? 1 : 0;
    return 0;
}

int32_t CFileListLoader::MakeItemRecord(int32_t index, const std::string& name,
                                        std::unique_ptr<PictureRecord>& out) {
    out.reset();
    std::unique_ptr<PictureRecord> record(new (std::nothrow) PictureRecord);
    if (!record) return JqIfMngResult_NoMemory;
    record->name = name;
    record->index = index;
    record->movie = IsMovieName(name) ? 1 : 0;
    record->rotation = 0;
    const int32_t r = RefreshItemRecord(name, *record);
    if (r != 0) return r;   // the record goes with the scope
    out = std::move(record);
    return 0;
}

// Names are told apart by case, as the sort tells them apart: an old item is kept
// for the same name first. Only an old name that is no longer listed at all is
// matched without case, a picture whose name changed case (a card written on
// another system); it then takes the new name.
std::vector<int32_t> MatchOldNames(const std::vector<std::string>& names, const std::vector<std::string>& oldNames) {
    std::vector<int32_t> match(names.size(), -1);
    std::vector<bool> taken(oldNames.size(), false);
    std::unordered_map<std::string, size_t> oldByName;
    for (size_t k = 0; k < oldNames.size(); ++k) oldByName.emplace(oldNames[k], k);
    for (size_t i = 0; i < names.size(); ++i)
        if (const auto it = oldByName.find(names[i]); it != oldByName.end() && !taken[it->second]) {
            match[i] = static_cast<int32_t>(it->second);
            taken[it->second] = true;
        }
    for (size_t i = 0; i < names.size(); ++i) {
        if (match[i] >= 0) continue;
        for (size_t k = 0; k < oldNames.size(); ++k)
            if (!taken[k] && SameNameIgnoringCase(oldNames[k], names[i])) {
                match[i] = static_cast<int32_t>(k);
                taken[k] = true;
                break;
            }
    }
    return match;
}

int32_t CFileListLoader::BuildItemList(std::vector<std::string>& names, BrowserItems& out) {
    out.Clear();
    if (names.empty()) return 0;
    SortUniqueNameList(names);
    BrowserItems built;
    for (size_t i = 0; i < names.size(); ++i) {
        BrowserItem item(names[i], false);
        const int32_t r = MakeItemRecord(static_cast<int32_t>(i), names[i], item.record);
        if (r != 0) return r;
        ItemCell cell;
        cell.index = static_cast<int32_t>(i);
        built.Append(std::move(item), cell);
    }
    out.Swap(built);
    return 0;
}

RefreshPlan CFileListLoader::RefreshItemList(std::vector<std::string>& names,
                                             const std::vector<std::string>& oldNames) {
    RefreshPlan plan;
    if (names.empty()) return plan;
    SortUniqueNameList(names);
    const std::vector<int32_t> match = MatchOldNames(names, oldNames);
    for (size_t i = 0; i < names.size(); ++i) {
        RefreshEntry entry;
        entry.name = names[i];
        entry.oldIndex = match[i];
        int32_t r = 0;
        if (entry.oldIndex >= 0) {
            entry.record.reset(new (std::nothrow) PictureRecord);
            r = entry.record ? RefreshItemRecord(names[i], *entry.record) : JqIfMngResult_NoMemory;
        } else {
            r = MakeItemRecord(static_cast<int32_t>(i), names[i], entry.record);
        }
        if (r != 0) {
            plan.result = r;
            plan.entries.clear();
            return plan;
        }
        plan.entries.push_back(std::move(entry));
    }
    return plan;
}

RefreshOutcome CommitRefresh(RefreshPlan& plan, BrowserItems& items) {
    RefreshOutcome outcome;
    BrowserItems fresh;
    if (plan.result == 0) {
        for (size_t i = 0; i < plan.entries.size(); ++i) {
            RefreshEntry& entry = plan.entries[i];
            ItemCell cell;
            cell.index = static_cast<int32_t>(i);
            const bool keep = entry.oldIndex >= 0 && static_cast<size_t>(entry.oldIndex) < items.size() &&
                              items.item(static_cast<size_t>(entry.oldIndex)).record;
            if (keep) {
                BrowserItem item = items.Take(static_cast<size_t>(entry.oldIndex));
                ApplyStatus(*item.record, *entry.record);
                item.fileName = entry.name;   // a case rename shows the new name
                item.record->name = entry.name;
                item.record->index = cell.index;
                outcome.counts.Add(item);
                fresh.Append(std::move(item), cell);   // placed stays false: read again
            } else {
                BrowserItem item(entry.name, false);
                if (entry.oldIndex >= 0) {   // the old item vanished meanwhile: start afresh
                    entry.record->name = entry.name;
                    entry.record->movie = IsMovieName(entry.name) ? 1 : 0;
                }
                item.record = std::move(entry.record);
                item.record->index = cell.index;
                fresh.Append(std::move(item), cell);
            }
        }
        outcome.counts.SetFlags();
    }
    items.Swap(fresh);   // the left-over old items go with fresh
    plan.entries.clear();
    if (outcome.counts.selected == 1) outcome.singleSelected = SingleSelected(items);
    return outcome;
}
