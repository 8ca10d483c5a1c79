#include "viewer/browser/picture_viewer/BltInViewerThread.h"

#include "platform/msg/Messaging.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/picture_viewer/ViewerFrameList.h"
#include "viewer/shell/common/ViewerMessages.h"

void CBltInViewerThread::Setup(plat::WindowHandle progress, plat::Event stop, ViewerOpenJob job) {
    CJobThread::Setup(progress, std::move(stop));
    job_ = std::move(job);
}

int32_t CBltInViewerThread::Begin() {
    const int32_t started = Start([this]() -> uint32_t {
        if (!plat::waitForWindow(Owner(), &AbandonFlag())) return 0;
        ViewerOpenJob job = job_;
        job.cancelled = [this] { return Cancelled(); };
        const int32_t result = ViewerThreadProc(job);
        // Every end of the worker lets the watcher go on.
        SignalDoneUnlessCancelled();
        return uint32_t(result);
    });
    if (!started) return 0;
    return Resume();
}

uint32_t CBltInViewerThread::Run() {
    const int32_t result = int32_t(WaitForWorker(200));
    result_.store(result);
    PostDone(result == 0 ? 1 : 0);
    ReportViewerResult(view_, result);
    return uint32_t(result);
}

void ReportViewerResult(plat::WindowHandle view, int32_t result) {
    if (result == kViewerNoLibrary) plat::postMessage(view, UM_LIBRARY_RESULT, 4, 1);
    else if (result == kViewerLibraryFails) plat::postMessage(view, UM_LIBRARY_RESULT, 3, 1);
    else if (result == kViewerNotFound) plat::postMessage(view, UM_FILE_MISSING, 0, 0);
    else if (result != 0) plat::postMessage(view, UM_ERROR, plat::WParam(intptr_t(result)), result);
}

CBltInRotateThread::CBltInRotateThread(JobAccess* access, std::string title, int32_t turns,
                                       plat::WindowHandle waitDialog)
    : access_(access), title_(std::move(title)), turns_(turns), dialog_(waitDialog) {
    rotateEvent_ = plat::Event::create(plat::Event::Reset::Auto, false, "ROTATE_EVENT");
}

CBltInRotateThread::~CBltInRotateThread() { Join(); }

int32_t CBltInRotateThread::Start() {
    if (worker_) return 0;
    auto worker = std::make_unique<plat::WorkerThread>([this] { return Work(); });
    if (!worker->create(plat::WorkerThread::Start::Running)) return 0;
    worker_ = std::move(worker);
    return 1;
}

void CBltInRotateThread::Join() {
    if (worker_) worker_->waitUntilEnded();
}

std::unique_ptr<PictureRecord> CBltInRotateThread::TakePicture() {
    std::lock_guard<std::mutex> guard(lock_);
    return std::move(picture_);
}

uint32_t CBltInRotateThread::Work() {
    std::unique_ptr<PictureRecord> record;
    const int32_t result = RotateThreadProc(*access_, title_, turns_, record);
    {
        std::lock_guard<std::mutex> guard(lock_);
        picture_ = std::move(record);
    }
    result_.store(result);
    rotateEvent_.set();
    const bool ok = result == 0 || result == kViewerNoLibrary || result == kViewerLibraryFails;
    plat::postMessage(dialog_, UM_WORKER_DONE, ok ? 1 : 0, 0);
    return uint32_t(result);
}

bool BrowserViewerHost::ShowInOpenViewer(const std::string& title, const std::string& path, int32_t turns,
                                         int32_t* answer) {
    const plat::WindowHandle frame = frames_ ? frames_->Find(title) : plat::WindowHandle{};
    if (!plat::isWindow(frame)) return false;
    // The list's lock is not held while the frame answers.
    plat::LResult result = 0;
    if (!plat::sendMessageTimeout(frame, kViewerShowPicture, plat::WParam(&path), turns, plat::kSendNoTimeout,
                                  &result))
        return false;
    *answer = int32_t(result);
    return true;
}

bool BrowserViewerHost::HandOverPicture(std::unique_ptr<PictureRecord> record, const std::string& title) {
    auto* name = new std::string(title);
    PictureRecord* picture = record.release();
    return plat::postMessageOwned(view_, UM_OPEN_VIEWER, plat::WParam(picture), plat::LParam(name), [picture, name] {
        std::unique_ptr<PictureRecord> owned(picture);
        FreePictureRecord(owned, true);
        delete name;
    });
}

void BrowserViewerHost::StepDone(int32_t progress) { plat::postMessage(progress_, UM_PROGRESS, progress, 0); }
