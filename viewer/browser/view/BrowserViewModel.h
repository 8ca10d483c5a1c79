#pragma once
// The browser view's items and reader state, apart from any window: it starts
// and stops the readers, takes their reports on the window's thread, places
// thumbnails in the grid and keeps the selection counts. The window supplies a
// BrowserViewHost for what shows on screen, and a poster that runs a piece of
// work later on its own thread (posted window message).
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "viewer/browser/view/BrowserItems.h"
#include "viewer/browser/view/ReaderThreads.h"

class BrowserViewHost {
public:
    virtual ~BrowserViewHost() = default;
    virtual int32_t PaneWidth() = 0;
    virtual void ResetPane(int32_t contentHeight) = 0;   // new items: scroll to the top, repaint
    virtual void ItemPlaced(size_t index) = 0;          // repaint its cell when visible, grow the scroll range
    virtual void ItemsChanged() = 0;                    // repaint the pane
    virtual void BusyAnimation(bool on) = 0;            // timer 1 and the busy frame
    virtual void UpdateButtons() = 0;
    virtual void BroadcastAccessState(int32_t flag) = 0;
    virtual void ResetStatusText() = 0;
    virtual void SelectionChanged(int32_t index) = 0;   // the information text of one item; -1 clears it
    virtual void ReportError(int32_t code) = 0;         // the error box, later
    virtual void ReportLibraryResult(int32_t kind) = 0; // the library-result box (fatal), later
    virtual void TargetMessage(int32_t textId) = 0;     // to the main window: show once, close the target
    // The readers found the target changed (104 files, 105 folders, 106 both):
    // read it again as after the main frame's own status check.
    virtual void TargetChanged(int32_t status) = 0;
    virtual void FolderListed(const std::string& folder) = 0;   // before its thumbnails are read
};

class BrowserViewModel {
public:
    using Poster = std::function<void(std::function<void()>)>;

    BrowserViewModel(BrowserSource& source, BrowserViewHost& host, Poster post);
    ~BrowserViewModel();
    BrowserViewModel(const BrowserViewModel&) = delete;
    BrowserViewModel& operator=(const BrowserViewModel&) = delete;

    // A list read of folder (mode 0 new folder, 1 the same folder again); false
    // when the read cannot start.
    bool StartFileListRead(const std::string& folder, int32_t mode);
    // Thumbnail size or the build-from-picture setting changed: read them again.
    void RestartThumbnailRun();
    // Before a folder change, delete, format or close: ends the run and frees the items.
    void StopThumbnailRun();
    // Stops the workers only (long operations); the items stay.
    void StopWorkerThreads();
    // The target's pictures changed: stop, keep the items, read the folder again.
    void OnTargetFilesChanged();
    // Recounts the selection; with notify tells the host when one item is or was
    // the only one selected. True when anything is selected.
    bool RecountSelection(bool notify);
    // The pane changed width: placed items take their cells for the new width.
    void Reflow();
    // Turned thumbnails are centred again in their cells.
    void RecentreSelected();

    // Reports of the readers, on the window's thread.
    void OnListReady(uint64_t generation, ReaderSink::ListResult result);
    void OnThumbnailRead(uint64_t generation, int32_t index, std::unique_ptr<PictureRecord> record);
    void OnItemDropped(uint64_t generation, int32_t index);
    void OnThumbnailMissing(uint64_t generation, int32_t index);
    void OnTargetChanged(uint64_t generation, int32_t status);
    void OnRunFinished(uint64_t generation);
    void OnLibraryResult(uint64_t generation, int32_t kind);
    void OnError(uint64_t generation, int32_t code);
    void OnStatusReset(uint64_t generation);

    BrowserItems& Items() { return items_; }
    std::recursive_mutex& ItemLock() { return itemLock_; }
    const SelectionCounts& Counts() const { return counts_; }
    const std::string& Folder() const { return folder_; }
    bool Idle() const { return idle_; }
    void SetIdle(bool idle) { idle_ = idle; }
    bool RunActive() const { return runActive_; }
    int32_t ThumbSize() const { return settings_.thumbSize; }
    void SetThumbSize(int32_t size) { settings_.thumbSize = size; }
    bool BuildFromPicture() const { return settings_.buildFromPicture; }
    void SetBuildFromPicture(bool on) { settings_.buildFromPicture = on; }
    BrowserReaders& Readers() { return *readers_; }

private:
    class Sink;
    bool StartRun();
    void PlaceItem(size_t index, int32_t bitmapWidth, int32_t bitmapHeight);
    void ClearItems();
    void RenumberFrom(size_t index);

    BrowserSource& source_;
    BrowserViewHost& host_;
    std::shared_ptr<bool> alive_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<BrowserReaders> readers_;
    std::recursive_mutex itemLock_;
    BrowserItems items_;
    SelectionCounts counts_;
    std::string folder_;
    RunSettings settings_;
    bool idle_ = true;
    bool runActive_ = false;
};

// Moves what a thumbnail read produced (tiles, sizes, caption) into the item's record.
void MergeThumbnail(PictureRecord& into, PictureRecord& read);
