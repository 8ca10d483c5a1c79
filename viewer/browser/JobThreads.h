#pragma once
// The two thread forms of the long picture jobs.
//
// Form A: a worker routine made suspended, and a watcher that runs the job
// object's Run(): it waits for the worker, keeps its exit code and tells the
// owner (the progress dialog) with UM_WORKER_DONE. Form B: one thread whose Run()
// does the whole job and posts UM_WORKER_DONE itself.
//
// Both forms are joined before their job object goes: the owner of a job calls
// Join() (the destructors do too), and Abandon() when the dialog could not be
// shown, so that no worker waits for a window that never comes.
#include "platform/msg/WindowHandle.h"
#include "platform/thread/Event.h"
#include "platform/thread/WorkerThread.h"

#include <atomic>
#include <cstdint>
#include <memory>

class CJobThread;

// The thread procedure of every watcher: the object's Run() as the exit code.
uint32_t RunThreadObject(CJobThread* object);

class CJobThread {
public:
    CJobThread() = default;
    virtual ~CJobThread();
    CJobThread(const CJobThread&) = delete;
    CJobThread& operator=(const CJobThread&) = delete;

    // Owner window and completion event (the event may be invalid: none).
    void Setup(plat::WindowHandle owner, plat::Event completion);
    // Makes the worker suspended: 1, or 0 when it cannot be made.
    int32_t Start(plat::WorkerThread::Body worker);
    // Makes the watcher and lets both run: 1, or 0 when the watcher cannot be made
    // (the worker is then abandoned and joined: nothing is left running).
    int32_t Resume();
    // The progress dialog's cancel: the flag, then the completion event.
    void Cancel();
    // The dialog will never come: waits for it end and the job stops.
    void Abandon();
    // Waits for the worker and the watcher.
    void Join();

    bool Cancelled() const { return cancel_.load() != 0; }
    bool Abandoned() const { return abandon_.load(); }
    const std::atomic<bool>& AbandonFlag() const { return abandon_; }
    plat::WindowHandle Owner() const { return owner_; }
    const plat::Event& Completion() const { return completion_; }
    // Signals the completion event unless the job was cancelled (the worker's end).
    void SignalDoneUnlessCancelled();

    // The watcher's wait and report.
    virtual uint32_t Run() = 0;

protected:
    // Waits for the worker in slices; its exit code.
    uint32_t WaitForWorker(uint32_t sliceMs);
    void PostDone(uintptr_t wParam);

private:
    std::atomic<int32_t> cancel_{0};
    std::atomic<bool> abandon_{false};
    bool resumed_ = false;
    plat::WindowHandle owner_;
    plat::Event completion_;
    std::unique_ptr<plat::WorkerThread> worker_;
    std::unique_ptr<plat::WorkerThread> watcher_;
};

// Form B: Run() does the job on its own thread.
class CJobThreadB {
public:
    CJobThreadB() = default;
    virtual ~CJobThreadB();
    CJobThreadB(const CJobThreadB&) = delete;
    CJobThreadB& operator=(const CJobThreadB&) = delete;
    // 1 when the thread runs, else 0.
    int32_t Start();
    void Join();
    virtual uint32_t Run() = 0;

private:
    std::unique_ptr<plat::WorkerThread> thread_;
};
