#pragma once
// The browser's background readers: the file-list thread that reads a folder's
// pictures into a new item array, and the thumbnail run, whose controller reads
// one thumbnail after the other. Workers never touch the view's item array: they
// report through a ReaderSink (the view posts each report to its own thread),
// every report carrying the generation of the read or run that made it, so that
// reports of a stopped run are recognised and dropped. Stopping joins the
// threads; nothing waits on a signal another party might never give.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread/Event.h"
#include "viewer/browser/view/BrowserSource.h"
#include "viewer/browser/view/FileListLoader.h"

// What a read or run hands to the view. Called on worker threads.
class ReaderSink {
public:
    virtual ~ReaderSink() = default;
    // The folder was read (mode 0: items; mode 1: plan). result != 0: building
    // failed; a failed refresh leaves no items and the result is shown as an error.
    struct ListResult {
        int32_t mode = 0;
        int32_t result = 0;
        BrowserItems items;
        RefreshPlan plan;
    };
    virtual void ListReady(uint64_t generation, ListResult result) = 0;
    virtual void ThumbnailRead(uint64_t generation, int32_t index, std::unique_ptr<PictureRecord> record) = 0;
    virtual void ItemDropped(uint64_t generation, int32_t index) = 0;
    // The picture is there but has no thumbnail: it is placed with its type's icon.
    virtual void ThumbnailMissing(uint64_t generation, int32_t index) = 0;
    // The source check found the target changed (104 files, 105 folders, 106
    // both); the run has ended and the view reads the target again.
    virtual void TargetChanged(uint64_t generation, int32_t status) = 0;
    virtual void RunFinished(uint64_t generation) = 0;
    virtual void LibraryResult(uint64_t generation, int32_t kind) = 0;   // fatal library message
    virtual void Error(uint64_t generation, int32_t code) = 0;
    virtual void TargetMessage(int32_t textId) = 0;                      // to the main window
    virtual void StatusReset(uint64_t generation) = 0;                   // the read was cancelled
};

// One picture of a run, as the view saw it when the run started.
struct ReadEntry {
    std::string name;
    int32_t rotation = 0;
    bool movie = false;
};

struct RunSettings {
    int32_t thumbSize = 64;
    bool buildFromPicture = false;
};

// The result codes a folder listing may end with and still go on.
bool IsAcceptedListResult(int32_t result);

class BrowserReaders {
public:
    BrowserReaders(BrowserSource& source, ReaderSink& sink);
    ~BrowserReaders();
    BrowserReaders(const BrowserReaders&) = delete;
    BrowserReaders& operator=(const BrowserReaders&) = delete;

    // Starts the list thread; 0 when it cannot start, else the read's generation.
    // oldNames: the names of the items on screen (mode 1 keeps their items).
    uint64_t StartFileListRead(const std::string& folder, int32_t mode, std::vector<std::string> oldNames);
    // Starts the controller for the items of the current folder; 0 on failure.
    uint64_t StartThumbnailRun(const std::string& folder, std::vector<ReadEntry> entries, RunSettings settings);
    // Cancels and joins every worker; reports they made before are stale from now on.
    void StopWorkerThreads();
    // Waits for the workers to end by themselves (tests, and the window's close).
    void WaitUntilDone() { JoinAll(); }

    bool IsCurrent(uint64_t generation) const { return generation != 0 && generation == generation_.load(); }
    bool Busy() const;
    const plat::Event& CancelEvent() const { return cancel_; }

private:
    struct Run {
        std::atomic<bool> stop{false};
        std::atomic<bool> abort{false};
    };
    struct ReaderOutcome {
        int32_t exitCode = 0;
        bool dropped = false;
    };

    void FileListThreadProc(uint64_t generation, std::string folder, int32_t mode, std::vector<std::string> oldNames);
    void ThumbnailControlThreadProc(uint64_t generation, std::string folder, std::vector<ReadEntry> entries,
                                    RunSettings settings, std::shared_ptr<Run> run);
    ReaderOutcome ThumbnailThreadProc(uint64_t generation, const std::string& folder, const ReadEntry& entry,
                                      int32_t index, const RunSettings& settings, Run& run);
    void Report(uint64_t generation, int32_t result, bool abortSet, Run& run, int32_t index, ReaderOutcome* out);
    void JoinAll();

    BrowserSource& source_;
    ReaderSink& sink_;
    plat::Event cancel_;
    std::atomic<uint64_t> generation_{0};
    std::thread listThread_;
    std::thread controller_;
    // Set by each thread as it ends. The window's thread waits on them rather than
    // on the join alone, serving what the threads ask of it meanwhile (a reader
    // pauses and restarts the device check on the window's thread).
    plat::Event listEnded_;
    plat::Event runEnded_;
    std::shared_ptr<Run> run_;
    std::atomic<bool> listRunning_{false};
    std::atomic<bool> runRunning_{false};
};
