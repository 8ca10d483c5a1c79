#include "viewer/browser/view/ReaderThreads.h"

#include <system_error>

#include "platform/msg/MessageWait.h"
#include "platform/thread/Waitable.h"
#include "viewer/browser/view/ReaderResult.h"
#include "viewer/shell/common/ViewTables.h"
#include "viewer/sources/JqIfMngResult.h"

bool IsAcceptedListResult(int32_t result) {
    return result == 0 || result == JqIfMngResult_Cancelled || result == JqIfMngResult_NotFound ||
           result == JqIfMngResult_NoPictures || result == JqIfMngResult_EmptyFolder;
}

BrowserReaders::BrowserReaders(BrowserSource& source, ReaderSink& sink)
    : source_(source),
      sink_(sink),
      cancel_(plat::Event::create(plat::Event::Reset::Manual, false)),
      listEnded_(plat::Event::create(plat::Event::Reset::Manual, true)),
      runEnded_(plat::Event::create(plat::Event::Reset::Manual, true)) {}

namespace {

void JoinServingSends(std::thread& thread, const plat::Event& ended) {
    if (!thread.joinable()) return;
    plat::waitServingSends(ended, plat::kInfinite);
    thread.join();
}

}  // namespace

BrowserReaders::~BrowserReaders() { StopWorkerThreads(); }

bool BrowserReaders::Busy() const { return listRunning_.load() || runRunning_.load(); }

// ---------------------------------------------------------------- file list

uint64_t BrowserReaders::StartFileListRead(const std::string& folder, int32_t mode,
                                           std::vector<std::string> oldNames) {
    JoinServingSends(listThread_, listEnded_);   // a read that has ended
    const uint64_t generation = generation_.fetch_add(1) + 1;
    listRunning_ = true;
    listEnded_.reset();
    try {
        listThread_ = std::thread(&BrowserReaders::FileListThreadProc, this, generation, folder, mode,
                                  std::move(oldNames));
    } catch (const std::system_error&) {
        listRunning_ = false;
        listEnded_.set();
        return 0;
    }
    return generation;
}

void BrowserReaders::FileListThreadProc(uint64_t generation, std::string folder, int32_t mode,
                                        std::vector<std::string> oldNames) {
    struct Done {
        std::atomic<bool>& flag;
        const plat::Event& ended;
        ~Done() {
            flag = false;
            ended.set();
        }
    } done{listRunning_, listEnded_};

    std::vector<std::string> names;
    if (source_.IsCamera()) source_.GetFileNum(folder);   // the camera counts the folder first
    const int32_t r = source_.GetFileList(folder, names, &cancel_);
    if (!IsAcceptedListResult(r)) {
        sink_.Error(generation, r);
        return;
    }
    if (plat::waitFor(cancel_, 0) == plat::kWaitSignalled || r == JqIfMngResult_Cancelled) {
        sink_.StatusReset(generation);
        return;
    }
    ReaderSink::ListResult result;
    result.mode = mode;
    CFileListLoader loader(source_, folder);
    if (mode == 1) {
        result.plan = loader.RefreshItemList(names, oldNames);
        result.result = result.plan.result;
    } else {
        result.result = loader.BuildItemList(names, result.items);
    }
    if (result.result != 0 || plat::waitFor(cancel_, 10) != plat::kWaitSignalled)
        sink_.ListReady(generation, std::move(result));
}

// ---------------------------------------------------------------- thumbnail run

uint64_t BrowserReaders::StartThumbnailRun(const std::string& folder, std::vector<ReadEntry> entries,
                                           RunSettings settings) {
    JoinAll();
    const uint64_t generation = generation_.fetch_add(1) + 1;
    run_ = std::make_shared<Run>();
    runRunning_ = true;
    runEnded_.reset();
    try {
        controller_ = std::thread(&BrowserReaders::ThumbnailControlThreadProc, this, generation, folder,
                                  std::move(entries), settings, run_);
    } catch (const std::system_error&) {
        runRunning_ = false;
        runEnded_.set();
        return 0;
    }
    return generation;
}

void BrowserReaders::ThumbnailControlThreadProc(uint64_t generation, std::string folder,
                                                std::vector<ReadEntry> entries, RunSettings settings,
                                                std::shared_ptr<Run> run) {
    source_.SetCardAccessFlag(0);
    run->abort = false;
    int32_t count = static_cast<int32_t>(entries.size());
    int32_t i = 0;
    // Readers run one at a time. A dropped item leaves the view's array, so the
    // next picture takes its index.
    for (size_t k = 0; k < entries.size() && !run->stop && i < count; ++k, ++i) {
        const ReaderOutcome outcome = ThumbnailThreadProc(generation, folder, entries[k], i, settings, *run);
        if (outcome.dropped) {
            --count;
            --i;
        }
    }
    if (!run->abort && !run->stop) sink_.RunFinished(generation);
    source_.SetCardAccessFlag(1);
    runRunning_ = false;
    runEnded_.set();
}

BrowserReaders::ReaderOutcome BrowserReaders::ThumbnailThreadProc(uint64_t generation, const std::string& folder,
                                                                  const ReadEntry& entry, int32_t index,
                                                                  const RunSettings& settings, Run& run) {
    ReaderOutcome out;
    if (run.abort) return out;
    if (entry.name.empty()) {
        out.exitCode = 1;
        return out;
    }
    int32_t r = 0;
    if (source_.IsFile(folder, entry.name) == 1) {
        const PixelSize area = ThumbSizeToImageSize(settings.thumbSize);
        const bool slow = IsSlowRead(area.width, area.height, settings.buildFromPicture, entry.movie);
        if (slow) source_.SuspendDeviceCheck();
        std::unique_ptr<PictureRecord> record;
        r = source_.GetThumbAndCaption(folder, entry.name, record, area.width, area.height,
                                       RotationToOrientation(entry.rotation), &cancel_, settings.buildFromPicture);
        if (slow && source_.ResumeDeviceCheck() != 0) {
            r = 8;
            run.abort = true;
        }
        if (r == 0 && !run.stop) {
            sink_.ThumbnailRead(generation, index, std::move(record));
            return out;
        }
    } else {
        r = MissingPictureResult(source_.CheckSource(folder));
    }
    if (r == 0 || r == JqIfMngResult_Cancelled) {
        run.stop = true;
        out.exitCode = r;
        return out;
    }
    Report(generation, r, run.abort, run, index, &out);
    return out;
}

void BrowserReaders::Report(uint64_t generation, int32_t result, bool abortSet, Run& run, int32_t index,
                            ReaderOutcome* out) {
    const ReaderAction action = DecideReaderResult(result, abortSet);
    switch (action.report) {
    case ReaderAction::Report::MainWindowText: sink_.TargetMessage(action.value); break;
    case ReaderAction::Report::LibraryResult: sink_.LibraryResult(generation, action.value); break;
    case ReaderAction::Report::Error: sink_.Error(generation, action.value); break;
    case ReaderAction::Report::TargetChanged: sink_.TargetChanged(generation, action.value); break;
    case ReaderAction::Report::None: break;
    }
    if (action.placeholder && !run.stop) sink_.ThumbnailMissing(generation, index);
    if (action.endRun) {
        run.stop = true;
        run.abort = true;
    }
    if (action.dropItem) sink_.ItemDropped(generation, index);
    out->dropped = action.dropItem;
    out->exitCode = action.exitCode;
}

// ---------------------------------------------------------------- stopping

void BrowserReaders::JoinAll() {
    JoinServingSends(listThread_, listEnded_);
    JoinServingSends(controller_, runEnded_);
}

void BrowserReaders::StopWorkerThreads() {
    generation_.fetch_add(1);   // whatever they post from now on is stale
    if (run_) run_->stop = true;
    if (listThread_.joinable() || controller_.joinable()) {
        cancel_.set();
        JoinAll();
        cancel_.reset();
    }
    run_.reset();
}
