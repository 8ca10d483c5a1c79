#pragma once
// Turns the names read from a folder into the browser's item array. Runs on the
// file-list thread: it only builds private results. A refresh yields a plan that
// the user-interface thread applies to its own array (CommitRefresh), so the
// array on screen is never changed from the worker.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "viewer/browser/view/BrowserItems.h"
#include "viewer/browser/view/BrowserSource.h"

// One name of a refreshed folder: an old item to keep (oldIndex >= 0, with its
// fresh status in record) or a new item (oldIndex -1, record made anew).
struct RefreshEntry {
    std::string name;
    int32_t oldIndex = -1;
    std::unique_ptr<PictureRecord> record;
};

struct RefreshPlan {
    int32_t result = 0;
    std::vector<RefreshEntry> entries;
};

struct RefreshOutcome {
    SelectionCounts counts;
    int32_t singleSelected = -1;   // the only selected item after the refresh, or -1
};

class CFileListLoader {
public:
    CFileListLoader(BrowserSource& source, std::string folder) : source_(source), folder_(std::move(folder)) {}
    virtual ~CFileListLoader() = default;

    // First build: 0 with no names (out stays empty); else the first failing
    // record's result, or 0. out holds the items only on success.
    int32_t BuildItemList(std::vector<std::string>& names, BrowserItems& out);
    // Refresh against the names of the items on screen (read on the UI thread
    // before the list thread started).
    RefreshPlan RefreshItemList(std::vector<std::string>& names, const std::vector<std::string>& oldNames);
    int32_t MakeItemRecord(int32_t index, const std::string& name, std::unique_ptr<PictureRecord>& out);
    int32_t RefreshItemRecord(const std::string& name, PictureRecord& record);

    static void SortUniqueNameList(std::vector<std::string>& names);

private:
    BrowserSource& source_;
    std::string folder_;
};

// The UI thread's half of a refresh: keeps the items the plan names (selection
// and thumbnail kept, status renewed, to be placed again), adds the new ones and
// drops the rest. A failed plan leaves no items.
RefreshOutcome CommitRefresh(RefreshPlan& plan, BrowserItems& items);

bool SameNameIgnoringCase(const std::string& a, const std::string& b);
// For each new name, the index of the old item it keeps, or -1.
std::vector<int32_t> MatchOldNames(const std::vector<std::string>& names, const std::vector<std::string>& oldNames);
