#include "viewer/sources/camera/AsyncTask.h"

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/DornObject.h"

namespace {

std::atomic<uint32_t> g_taskCounter{0};
std::atomic<uint32_t> g_sequenceCounter{0};

std::mutex& LiveMutex()
{
    static std::mutex m;
    return m;
}

std::unordered_set<const CAsyncTask*>& LiveTasks()
{
    static std::unordered_set<const CAsyncTask*> tasks;
    return tasks;
}

std::unordered_map<uintptr_t, CAsyncTask*>& TasksByKey()
{
    static std::unordered_map<uintptr_t, CAsyncTask*> tasks;
    return tasks;
}

std::atomic<uintptr_t> g_keyCounter{1};

}  // namespace

bool AsyncRequest::SameAs(const AsyncRequest& other) const
{
    return target == other.target && command == other.command && parameter == other.parameter &&
           dataType == other.dataType && data == other.data;
}

CAsyncTask::CAsyncTask(bool deleteWhenFinished)
    : id_(g_taskCounter++), deleteWhenFinished_(deleteWhenFinished), referenceKey_(g_keyCounter++)
{
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveTasks().insert(this);
    TasksByKey()[referenceKey_] = this;
}

CAsyncTask::~CAsyncTask()
{
    {
        std::lock_guard<std::mutex> lock(LiveMutex());
        LiveTasks().erase(this);  // a late completion for this task is ignored from now on
        TasksByKey().erase(referenceKey_);
    }
    if (state_ != 0) {
        if (CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler()) scheduler->Dequeue(this);
    }
    // Requests that never completed still owe their callbacks a call (they free contexts).
    for (size_t i = 0; i < requests_.size(); ++i) {
        if (requests_[i].state >= 2) continue;
        requests_[i].state = 3;
        AsyncRequest r = requests_[i];
        if (r.callback) {
            DornObjectRecord* record = CDornObject::IsLive(r.target) ? r.target->GetObjectRecord() : nullptr;
            r.callback(record, r.command, r.parameter, r.dataType, r.data, r.callbackReference, DORN_E_CANCELLED);
        }
    }
}

bool CAsyncTask::IsLive(const CAsyncTask* task)
{
    std::lock_guard<std::mutex> lock(LiveMutex());
    return LiveTasks().count(task) != 0;
}

CAsyncTask* CAsyncTask::FromReferenceKey(uintptr_t key)
{
    std::lock_guard<std::mutex> lock(LiveMutex());
    auto it = TasksByKey().find(key);
    return it == TasksByKey().end() ? nullptr : it->second;
}

void CAsyncTask::AddRequest(CDornObject* target, uint32_t command, uint32_t parameter, uint32_t dataType,
                            uintptr_t data, DornCompletionProc callback, uintptr_t callbackReference)
{
    if (!multiTarget_ && pending_ > 0 && lastTarget_ && lastTarget_ != target) multiTarget_ = 1;
    AsyncRequest r;
    r.target = target;
    r.command = command;
    r.parameter = parameter;
    r.dataType = dataType;
    r.data = data;
    r.state = 0;
    r.callback = callback;
    r.callbackReference = callbackReference;
    requests_.push_back(r);
    lastTarget_ = target;
    ++pending_;
    finishDue_ = false;
    if (state_ == 0) state_ = 1;
}

void CAsyncTask::Submit()
{
    std::lock_guard<CameraLock> lock(CameraMutex());  // the queue is sorted by state
    if (state_ == 2 || state_ == 3) return;
    startTick_ = CameraTickCount();
    sequence_ = g_sequenceCounter++;
    if (CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler()) scheduler->Enqueue(this);
    state_ = 2;
}

void CAsyncTask::Cancel()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    if (state_ != 2 && state_ != 3) return;
    if (CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler()) scheduler->CancelTask(this);
}

void CAsyncTask::SetPriority(int32_t priority)
{
    priority_ = priority < 0 ? 0 : (priority > 10 ? 10 : priority);
}

void CAsyncTask::RaisePriority()
{
    if (priority_ < 10) ++priority_;
}

void CAsyncTask::LowerPriority()
{
    if (priority_ > 0) --priority_;
}

CAsyncTask& CAsyncTask::operator=(const CAsyncTask& other)
{
    if (this == &other) return *this;
    id_ = other.id_;
    multiTarget_ = other.multiTarget_;
    priority_ = other.priority_;
    state_ = other.state_;
    pending_ = other.pending_;
    startTick_ = other.startTick_;
    sequence_ = other.sequence_;
    lastTarget_ = other.lastTarget_;
    requests_ = other.requests_;
    return *this;
}

uint32_t CAsyncTask::EffectivePriority(uint32_t now) const
{
    const uint32_t p = static_cast<uint32_t>(priority_);
    return p + ((now - startTick_) / 1000u * p / 10u);
}

bool CAsyncTask::IsLess(const CAsyncTask& other) const
{
    const bool mineSubmitted = state_ == 2 || state_ == 3;
    const bool otherSubmitted = other.state_ == 2 || other.state_ == 3;
    if (!mineSubmitted) return otherSubmitted || sequence_ > other.sequence_;
    if (!otherSubmitted) return false;
    const CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler();
    const uint32_t now = scheduler ? scheduler->GetCurrentTick() : CameraTickCount();
    return EffectivePriority(now) < other.EffectivePriority(now);
}

void CAsyncTask::Remove()
{
    state_ = 0;
    if (CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler()) scheduler->Dequeue(this);
}

void CAsyncTask::Finish(bool /*succeeded*/)
{
    requests_.clear();
    if (deleteWhenFinished_) delete this;
}

void CAsyncTask::OnRequestFailed(DornObjectRecord*, uint32_t, uint32_t, int32_t result)
{
    if (result != DORN_E_CANCELLED) Cancel();
}

void CAsyncTask::OnRequestDone(DornObjectRecord*, uint32_t, uint32_t, int32_t) {}

void CAsyncTask::OnRequestSent(CDornObject*, uint32_t, uint32_t, uint32_t, uintptr_t) {}

void CAsyncTask::BeginHold()
{
    ++holds_;
}

bool CAsyncTask::EndHold()
{
    if (--holds_ > 0 || !finishDue_) return false;
    finishDue_ = false;
    const bool succeeded = lastSucceeded_;
    Remove();
    Finish(succeeded);
    return true;
}

bool CAsyncTask::CompleteRequest(size_t index, DornObjectRecord* record, int32_t result)
{
    if (index >= requests_.size() || requests_[index].state >= 2) return false;
    BeginHold();
    requests_[index].state = 2;
    const AsyncRequest r = requests_[index];
    if (result == 0)
        OnRequestDone(record, r.command, r.parameter, 0);
    else
        OnRequestFailed(record, r.command, r.parameter, result);
    --pending_;
    requests_[index].state = 3;
    if (r.callback) r.callback(record, r.command, r.parameter, r.dataType, r.data, r.callbackReference, result);
    if (pending_ <= 0) {
        finishDue_ = true;
        lastSucceeded_ = result == 0;
    }
    return EndHold();
}
