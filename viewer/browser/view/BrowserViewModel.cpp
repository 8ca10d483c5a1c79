#include "viewer/browser/view/BrowserViewModel.h"

#include "viewer/browser/view/ThumbGrid.h"
#include "viewer/sources/JqIfMngResult.h"

// Turns each report of a worker into work posted to the window's thread. The
// work does nothing once the model is gone.
class BrowserViewModel::Sink : public ReaderSink {
public:
    Sink(BrowserViewModel& model, Poster post) : model_(&model), alive_(model.alive_), post_(std::move(post)) {}

    void ListReady(uint64_t g, ListResult result) override {
        auto payload = std::make_shared<ListResult>(std::move(result));
        Post([g, payload](BrowserViewModel& m) { m.OnListReady(g, std::move(*payload)); });
    }
    void ThumbnailRead(uint64_t g, int32_t index, std::unique_ptr<PictureRecord> record) override {
        auto payload = std::make_shared<std::unique_ptr<PictureRecord>>(std::move(record));
        Post([g, index, payload](BrowserViewModel& m) { m.OnThumbnailRead(g, index, std::move(*payload)); });
    }
    void ItemDropped(uint64_t g, int32_t index) override {
        Post([g, index](BrowserViewModel& m) { m.OnItemDropped(g, index); });
    }
    void ThumbnailMissing(uint64_t g, int32_t index) override {
        Post([g, index](BrowserViewModel& m) { m.OnThumbnailMissing(g, index); });
    }
    void TargetChanged(uint64_t g, int32_t status) override {
        Post([g, status](BrowserViewModel& m) { m.OnTargetChanged(g, status); });
    }
    void RunFinished(uint64_t g) override {
        Post([g](BrowserViewModel& m) { m.OnRunFinished(g); });
    }
    void LibraryResult(uint64_t g, int32_t kind) override {
        Post([g, kind](BrowserViewModel& m) { m.OnLibraryResult(g, kind); });
    }
    void Error(uint64_t g, int32_t code) override {
        Post([g, code](BrowserViewModel& m) { m.OnError(g, code); });
    }
    void TargetMessage(int32_t textId) override {
        Post([textId](BrowserViewModel& m) { m.host_.TargetMessage(textId); });
    }
    void StatusReset(uint64_t g) override {
        Post([g](BrowserViewModel& m) { m.OnStatusReset(g); });
    }

private:
    void Post(std::function<void(BrowserViewModel&)> work) {
        BrowserViewModel* model = model_;
        std::weak_ptr<bool> alive = alive_;
        post_([model, alive, work = std::move(work)] {
            if (alive.lock()) work(*model);
        });
    }

    BrowserViewModel* model_;
    std::weak_ptr<bool> alive_;
    Poster post_;
};

void MergeThumbnail(PictureRecord& into, PictureRecord& read) {
    into.blocks = std::move(read.blocks);
    into.tileWidth = read.tileWidth;
    into.tileHeight = read.tileHeight;
    into.lastColumnWidth = read.lastColumnWidth;
    into.lastRowHeight = read.lastRowHeight;
    into.width = read.width;
    into.height = read.height;
    into.tilesAcross = read.tilesAcross;
    into.tilesDown = read.tilesDown;
    into.depth = read.depth;
    into.exif = read.exif;
    into.thumbValue = read.thumbValue;
    if (read.shotInfo) into.shotInfo = std::move(read.shotInfo);
}

BrowserViewModel::BrowserViewModel(BrowserSource& source, BrowserViewHost& host, Poster post)
    : source_(source), host_(host), alive_(std::make_shared<bool>(true)) {
    sink_ = std::make_unique<Sink>(*this, std::move(post));
    readers_ = std::make_unique<BrowserReaders>(source_, *sink_);
}

BrowserViewModel::~BrowserViewModel() {
    readers_.reset();   // joins the workers before the sink goes
    alive_.reset();
}

// ---------------------------------------------------------------- starting

bool BrowserViewModel::StartFileListRead(const std::string& folder, int32_t mode) {
    folder_ = folder;
    if (!source_.CheckFolderName(folder)) return false;
    std::vector<std::string> oldNames;
    if (mode == 1) {
        std::lock_guard<std::recursive_mutex> lock(itemLock_);
        for (const BrowserItem& item : items_.list()) oldNames.push_back(item.fileName);
    }
    if (readers_->StartFileListRead(folder, mode, std::move(oldNames)) == 0) return false;
    host_.BusyAnimation(true);
    idle_ = false;
    host_.UpdateButtons();
    return true;
}

bool BrowserViewModel::StartRun() {
    std::vector<ReadEntry> entries;
    {
        std::lock_guard<std::recursive_mutex> lock(itemLock_);
        for (const BrowserItem& item : items_.list())
            entries.push_back({item.fileName, item.record ? item.record->rotation : 0,
                               item.record && item.record->movie != 0});
    }
    if (readers_->StartThumbnailRun(folder_, std::move(entries), settings_) == 0) return false;
    runActive_ = true;
    return true;
}

void BrowserViewModel::OnListReady(uint64_t generation, ReaderSink::ListResult result) {
    if (!readers_->IsCurrent(generation)) return;   // a stopped read: its items just go
    host_.BusyAnimation(false);
    {
        std::lock_guard<std::recursive_mutex> lock(itemLock_);
        if (result.mode == 1) {
            const RefreshOutcome outcome = CommitRefresh(result.plan, items_);
            counts_ = outcome.counts;
            if (outcome.singleSelected >= 0) host_.SelectionChanged(outcome.singleSelected);
        } else {
            items_.Swap(result.items);
            counts_ = CountSelection(items_);
        }
    }
    if (result.result != 0) {
        idle_ = true;
        host_.ItemsChanged();
        host_.ReportError(result.result);
        return;
    }
    host_.FolderListed(folder_);
    if (items_.empty()) {
        idle_ = true;
        host_.ResetPane(0);
        host_.UpdateButtons();
        host_.BroadcastAccessState(1);
        host_.ResetStatusText();
        return;
    }
    host_.ResetPane(ContentHeightForCount(static_cast<int32_t>(items_.size()), 292));
    host_.BusyAnimation(true);
    if (!StartRun()) {
        host_.BusyAnimation(false);
        idle_ = true;
        host_.ReportError(JqIfMngResult_NoMemory);
    }
}

void BrowserViewModel::RestartThumbnailRun() {
    if (items_.empty()) return;
    readers_->StopWorkerThreads();
    host_.BroadcastAccessState(0);
    host_.BusyAnimation(true);
    runActive_ = false;
    idle_ = false;
    {
        std::lock_guard<std::recursive_mutex> lock(itemLock_);
        for (size_t i = 0; i < items_.size(); ++i) items_.cell(i).placed = false;
    }
    host_.ResetPane(ContentHeightForCount(static_cast<int32_t>(items_.size()), 286));
    if (!StartRun()) {
        host_.BusyAnimation(false);
        idle_ = true;
        host_.ReportError(JqIfMngResult_NoMemory);
    }
}

// ---------------------------------------------------------------- placing

void BrowserViewModel::PlaceItem(size_t index, int32_t bitmapWidth, int32_t bitmapHeight) {
    const int32_t s = settings_.thumbSize;
    const GridCell cell = CellForIndex(static_cast<int32_t>(index), host_.PaneWidth(), s);
    ItemCell& c = items_.cell(index);
    c.left = cell.left;
    c.top = cell.top;
    CentreThumbnail(cell, s, bitmapWidth, bitmapHeight, &c.pictureX, &c.pictureY);
    c.placed = true;
}

void BrowserViewModel::OnThumbnailRead(uint64_t generation, int32_t index, std::unique_ptr<PictureRecord> record) {
    if (!readers_->IsCurrent(generation) || !record) return;
    {
        std::lock_guard<std::recursive_mutex> lock(itemLock_);
        if (index < 0 || static_cast<size_t>(index) >= items_.size()) return;
        BrowserItem& item = items_.item(static_cast<size_t>(index));
        if (!item.record) return;
        MergeThumbnail(*item.record, *record);
        PlaceItem(static_cast<size_t>(index), static_cast<int32_t>(item.record->width),
                  static_cast<int32_t>(item.record->height));
    }
    if (runActive_) host_.ItemPlaced(static_cast<size_t>(index));
}

void BrowserViewModel::OnThumbnailMissing(uint64_t generation, int32_t index) {
    if (!readers_->IsCurrent(generation)) return;
    {
        std::lock_guard<std::recursive_mutex> lock(itemLock_);
        if (index < 0 || static_cast<size_t>(index) >= items_.size()) return;
        BrowserItem& item = items_.item(static_cast<size_t>(index));
        if (item.record) FreeBitmapArray(*item.record);   // no stale thumbnail of an earlier read
        PlaceItem(static_cast<size_t>(index), 0, 0);
    }
    if (runActive_) host_.ItemPlaced(static_cast<size_t>(index));
}

void BrowserViewModel::RenumberFrom(size_t index) {
    for (size_t i = index; i < items_.size(); ++i) {
        items_.cell(i).index = static_cast<int32_t>(i);
        if (items_.item(i).record) items_.item(i).record->index = static_cast<int32_t>(i);
    }
}

void BrowserViewModel::OnItemDropped(uint64_t generation, int32_t index) {
    if (!readers_->IsCurrent(generation)) return;
    {
        std::lock_guard<std::recursive_mutex> lock(itemLock_);
        if (index < 0 || static_cast<size_t>(index) >= items_.size()) return;
        items_.RemoveAt(static_cast<size_t>(index));
        RenumberFrom(static_cast<size_t>(index));
        counts_ = CountSelection(items_);
    }
    host_.ItemsChanged();
}

void BrowserViewModel::Reflow() {
    std::lock_guard<std::recursive_mutex> lock(itemLock_);
    const int32_t s = settings_.thumbSize;
    const int32_t width = host_.PaneWidth();
    for (size_t i = 0; i < items_.size(); ++i) {
        ItemCell& c = items_.cell(i);
        if (!c.placed) continue;
        const GridCell cell = CellForIndex(static_cast<int32_t>(i), width, s);
        c.pictureX += cell.left - c.left;
        c.pictureY += cell.top - c.top;
        c.left = cell.left;
        c.top = cell.top;
    }
}

// ---------------------------------------------------------------- ending

void BrowserViewModel::OnRunFinished(uint64_t generation) {
    if (!readers_->IsCurrent(generation)) return;
    host_.BusyAnimation(false);
    RecountSelection(false);
    idle_ = true;
    host_.UpdateButtons();
    host_.BroadcastAccessState(1);
    host_.ResetStatusText();
}

// A fatal report ends the run: the animation stops with it.
void BrowserViewModel::OnLibraryResult(uint64_t generation, int32_t kind) {
    if (!readers_->IsCurrent(generation)) return;
    host_.BusyAnimation(false);
    host_.ReportLibraryResult(kind);
}

void BrowserViewModel::OnTargetChanged(uint64_t generation, int32_t status) {
    if (!readers_->IsCurrent(generation)) return;
    host_.BusyAnimation(false);
    host_.TargetChanged(status);
}

void BrowserViewModel::OnError(uint64_t generation, int32_t code) {
    if (!readers_->IsCurrent(generation)) return;
    host_.BusyAnimation(false);
    host_.ReportError(code);
}

void BrowserViewModel::OnStatusReset(uint64_t generation) {
    if (!readers_->IsCurrent(generation)) return;
    host_.ResetStatusText();
}

void BrowserViewModel::StopWorkerThreads() {
    host_.BroadcastAccessState(0);
    readers_->StopWorkerThreads();
}

void BrowserViewModel::ClearItems() {
    std::lock_guard<std::recursive_mutex> lock(itemLock_);
    items_.Clear();
    counts_ = SelectionCounts{};
}

void BrowserViewModel::StopThumbnailRun() {
    runActive_ = false;
    StopWorkerThreads();
    if (!idle_) host_.BusyAnimation(false);
    const bool oneSelected = counts_.selected == 1;
    ClearItems();
    if (oneSelected) host_.SelectionChanged(-1);
    idle_ = true;
}

void BrowserViewModel::OnTargetFilesChanged() {
    StopWorkerThreads();
    host_.BusyAnimation(false);
    runActive_ = false;
    if (counts_.selected == 1) host_.SelectionChanged(-1);
    if (!StartFileListRead(folder_, 1)) {
        idle_ = true;
        host_.ReportError(JqIfMngResult_NoMemory);
    }
}

bool BrowserViewModel::RecountSelection(bool notify) {
    std::lock_guard<std::recursive_mutex> lock(itemLock_);
    const int32_t before = counts_.selected;
    counts_ = CountSelection(items_);
    if (notify) {
        if (counts_.selected == 1)
            host_.SelectionChanged(SingleSelected(items_));
        else if (before == 1)
            host_.SelectionChanged(-1);
    }
    return counts_.anySelected;
}

void BrowserViewModel::RecentreSelected() {
    std::lock_guard<std::recursive_mutex> lock(itemLock_);
    for (size_t i = 0; i < items_.size(); ++i) {
        const BrowserItem& item = items_.item(i);
        ItemCell& c = items_.cell(i);
        if (!item.selected || !c.placed || !item.record) continue;
        GridCell cell;
        cell.left = c.left;
        cell.top = c.top;
        CentreThumbnail(cell, settings_.thumbSize, static_cast<int32_t>(item.record->width),
                        static_cast<int32_t>(item.record->height), &c.pictureX, &c.pictureY);
    }
}
