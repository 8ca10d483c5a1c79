#include "viewer/browser/JobThreads.h"

#include "platform/msg/MessageWait.h"
#include "platform/msg/Messaging.h"
#include "platform/thread/Timing.h"
#include "viewer/shell/common/ViewerMessages.h"

uint32_t RunThreadObject(CJobThread* object) { return object->Run(); }

CJobThread::~CJobThread() {
    Join();
}

void CJobThread::Setup(plat::WindowHandle owner, plat::Event completion) {
    owner_ = owner;
    completion_ = std::move(completion);
}

int32_t CJobThread::Start(plat::WorkerThread::Body worker) {
    if (worker_) return 0;
    auto thread = std::make_unique<plat::WorkerThread>(std::move(worker));
    if (!thread->create(plat::WorkerThread::Start::Suspended)) return 0;
    worker_ = std::move(thread);
    return 1;
}

int32_t CJobThread::Resume() {
    if (!worker_ || watcher_) return 0;
    auto watcher = std::make_unique<plat::WorkerThread>([this] { return RunThreadObject(this); });
    if (!watcher->create(plat::WorkerThread::Start::Suspended)) {
        Abandon();
        resumed_ = true;
        worker_->resume();
        worker_->waitUntilEnded();
        return 0;
    }
    watcher_ = std::move(watcher);
    resumed_ = true;
    worker_->resume();
    watcher_->resume();
    return 1;
}

void CJobThread::Cancel() {
    cancel_.store(1);
    if (completion_.valid()) completion_.set();
}

void CJobThread::Abandon() {
    abandon_.store(true);
    Cancel();
}

// The owner joins on the user-interface thread, and a worker ending its job may
// still ask that thread for something (resuming the device check after telling
// the dialog it is done): the join serves such requests while it waits.
void CJobThread::Join() {
    // A worker that was never resumed is ended by its own destructor, without
    // running its body.
    if (worker_ && resumed_) plat::waitServingSends(*worker_, plat::kInfinite);
    if (watcher_) plat::waitServingSends(*watcher_, plat::kInfinite);
}

void CJobThread::SignalDoneUnlessCancelled() {
    if (!Cancelled() && completion_.valid()) completion_.set();
}

uint32_t CJobThread::WaitForWorker(uint32_t sliceMs) {
    while (worker_->waitUntilEnded(sliceMs) == plat::kWaitTimeout) {
    }
    uint32_t code = 1;
    worker_->exitCode(&code);
    return code;
}

void CJobThread::PostDone(uintptr_t wParam) {
    plat::postMessage(owner_, UM_WORKER_DONE, wParam, 0);
}

CJobThreadB::~CJobThreadB() { Join(); }

int32_t CJobThreadB::Start() {
    if (thread_) return 0;
    auto thread = std::make_unique<plat::WorkerThread>([this] { return Run(); });
    if (!thread->create(plat::WorkerThread::Start::Running)) return 0;
    thread_ = std::move(thread);
    return 1;
}

void CJobThreadB::Join() {
    if (thread_) plat::waitServingSends(*thread_, plat::kInfinite);
}
