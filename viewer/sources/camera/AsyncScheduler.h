#pragma once
// The one scheduler of camera-module work. It has no thread: it advances when a
// caller polls it, serving the most urgent submitted task one request at a time,
// and, while nothing is queued, releases removed objects and gives objects their
// idle calls.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/sources/camera/AsyncTask.h"

class CAsyncWaitTask;

class CAsyncTaskRef {
public:
    explicit CAsyncTaskRef(CAsyncTask* task) : task_(task) {}
    bool operator<(const CAsyncTaskRef& other) const { return task_->IsLess(*other.task_); }
    bool operator==(const CAsyncTaskRef& other) const { return task_->IsSameTask(*other.task_); }
    CAsyncTask* Get() const { return task_; }

private:
    CAsyncTask* task_;
};

struct IdleTimerEntry {
    CDornObject* object = nullptr;
    uint32_t interval = 0;
    uint32_t lastTick = 0;
    bool operator==(const IdleTimerEntry& other) const { return object == other.object; }
};

class CAsyncScheduler {
public:
    CAsyncScheduler();
    virtual ~CAsyncScheduler();

    virtual void Enqueue(CAsyncTask* task);
    virtual void Dequeue(CAsyncTask* task);
    virtual void CancelTasksOf(CDornObject* object);
    virtual void CancelTask(CAsyncTask* task);
    virtual int32_t Poll();
    virtual int32_t HasWork();

    static CAsyncScheduler* GetScheduler();
    static int32_t PollScheduler();
    static void AddIdleTimer(CDornObject* object, uint32_t interval);
    static void RemoveIdleTimer(CDornObject* object);

    // The procedure handed to the module with every request.
    static int32_t CompletionProc(DornObjectRecord* object, uint32_t command, uint32_t parameter,
                                  uint32_t dataType, uintptr_t data, uintptr_t reference, int32_t result);

    bool IsQueued(uint32_t taskId) const;
    uint32_t GetCurrentTick() const { return currentTick_; }
    size_t QueueSize() const { return queue_.size(); }

    // Completes the task's request in flight (on the subtree, or any when null)
    // with "cancelled", for a module that did not complete it when aborted.
    void AbortInFlight(CAsyncTask* task, CDornObject* subtreeRoot);

private:
    void SortQueue();
    int32_t ServeTask(CAsyncTask* task);
    int32_t ServeIdle();
    bool TaskTargets(CAsyncTask* task, CDornObject* object);

    std::vector<CAsyncTaskRef> queue_;
    uint32_t currentTick_ = 0;
    uint32_t sequence_ = 0;
};

// The wait of every synchronous operation: polls until the task is idle. A task
// that makes no progress for CameraWaitLimit() is cancelled and the camera
// counts as not answering (134). Otherwise the task's result.
int32_t WaitTaskIdle(CAsyncWaitTask& task);

// Polls until a poll reports that it did nothing, bounded by CameraWaitLimit().
void DrainScheduler();
