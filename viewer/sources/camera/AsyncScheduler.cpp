#include "viewer/sources/camera/AsyncScheduler.h"

#include <algorithm>
#include <set>
#include <thread>
#include <tuple>

#include "viewer/sources/camera/AsyncWaitTask.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/DornObject.h"

namespace {

CAsyncScheduler* g_scheduler = nullptr;

std::vector<IdleTimerEntry>& IdleTimers()
{
    static std::vector<IdleTimerEntry> timers;
    return timers;
}

CAsyncScheduler g_theScheduler;

// Sort key: unsubmitted tasks first, then wait tasks, then ordinary tasks by
// effective priority; the task at the end is served. Within a class the task
// submitted first sorts last. A consistent key instead of the pairwise rule,
// which is not a strict weak ordering when two wait tasks are queued.
std::tuple<int, uint32_t, int64_t> SortKey(const CAsyncTask* task, uint32_t now)
{
    const int32_t state = task->GetState();
    const bool submitted = state == 2 || state == 3;
    const int64_t order = -static_cast<int64_t>(task->GetSequence());
    if (!submitted) return {0, 0, order};
    if (task->IsWaitTask()) return {1, 0, order};
    return {2, task->EffectivePriority(now), order};
}

int32_t SendSimple(CDornObject* target, uint32_t command)
{
    if (!CDornObject::IsLive(target)) return DORN_E_NOT_OPEN;
    return target->CallEntry(target, command, 0, 0, 0, nullptr, 0);
}

}  // namespace

CAsyncScheduler::CAsyncScheduler()
{
    g_scheduler = this;
}

CAsyncScheduler::~CAsyncScheduler()
{
    if (g_scheduler == this) g_scheduler = nullptr;
}

CAsyncScheduler* CAsyncScheduler::GetScheduler()
{
    return g_scheduler;
}

int32_t CAsyncScheduler::PollScheduler()
{
    return g_scheduler ? g_scheduler->Poll() : 0;
}

void CAsyncScheduler::AddIdleTimer(CDornObject* object, uint32_t interval)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    IdleTimers().push_back({object, interval, CameraTickCount()});
}

void CAsyncScheduler::RemoveIdleTimer(CDornObject* object)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    auto& timers = IdleTimers();
    auto it = std::find_if(timers.begin(), timers.end(), [&](const IdleTimerEntry& e) { return e.object == object; });
    if (it != timers.end()) timers.erase(it);
}

void CAsyncScheduler::Enqueue(CAsyncTask* task)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    if (task->GetState() != 1) return;
    if (IsQueued(task->GetId())) return;
    queue_.emplace_back(task);
}

void CAsyncScheduler::Dequeue(CAsyncTask* task)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    const uint32_t id = task->GetId();
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(), [&](const CAsyncTaskRef& r) { return r.Get()->GetId() == id; }),
                 queue_.end());
}

bool CAsyncScheduler::IsQueued(uint32_t taskId) const
{
    return std::any_of(queue_.begin(), queue_.end(), [&](const CAsyncTaskRef& r) { return r.Get()->GetId() == taskId; });
}

void CAsyncScheduler::SortQueue()
{
    const uint32_t now = currentTick_;
    std::stable_sort(queue_.begin(), queue_.end(), [now](const CAsyncTaskRef& a, const CAsyncTaskRef& b) {
        return SortKey(a.Get(), now) < SortKey(b.Get(), now);
    });
}

int32_t CAsyncScheduler::Poll()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    if (queue_.empty()) return ServeIdle();
    currentTick_ = CameraTickCount();
    SortQueue();
    return ServeTask(queue_.back().Get());
}

int32_t CAsyncScheduler::ServeTask(CAsyncTask* task)
{
    auto& requests = task->Requests();
    for (size_t i = 0; i < requests.size(); ++i) {
        const uint32_t state = requests[i].state;
        if (state >= 2) continue;
        if (state == 1) {
            SendSimple(requests[i].target, DORN_CMD_PUMP);
            return 1;
        }
        const AsyncRequest sent = requests[i];
        requests[i].state = 1;
        const uint32_t taskId = task->GetId();
        task->OnRequestSent(sent.target, sent.command, sent.parameter, sent.dataType, sent.data);
        task->SetStartTick(CameraTickCount());
        int32_t result = DORN_E_NOT_OPEN;
        if (CDornObject::IsLive(sent.target))
            result = sent.target->CallEntry(sent.target, sent.command, sent.parameter, sent.dataType, sent.data,
                                            &CAsyncScheduler::CompletionProc, task->GetReferenceKey());
        if (!CAsyncTask::IsLive(task) || task->GetId() != taskId) return 1;
        auto& now = task->Requests();
        if (i >= now.size() || !now[i].SameAs(sent) || now[i].state >= 2) return 1;
        if (result != 0) {
            // Refused at once without a completion: complete it here, or the wait never ends.
            task->CompleteRequest(i, CDornObject::IsLive(sent.target) ? sent.target->GetObjectRecord() : nullptr,
                                  result);
            return 1;
        }
        if (IsQueued(taskId)) SendSimple(sent.target, DORN_CMD_GO);
        return 1;
    }
    return 0;
}

int32_t CAsyncScheduler::ServeIdle()
{
    const std::vector<CDornObjectRef> registry = GetObjectRegistry();
    for (const CDornObjectRef& ref : registry) {
        if (!CDornObject::IsLive(ref.Get())) continue;
        if (ref->ReleaseWhenUnlocked()) return 1;
    }
    auto& timers = IdleTimers();
    if (timers.empty()) return 0;
    const uint32_t tick = CameraTickCount();
    auto overdue = [tick](const IdleTimerEntry& e) { return static_cast<int32_t>(tick - e.lastTick - e.interval); };
    std::stable_sort(timers.begin(), timers.end(),
                     [&](const IdleTimerEntry& a, const IdleTimerEntry& b) { return overdue(a) < overdue(b); });
    if (overdue(timers.back()) < 0) return 0;
    CDornObject* object = timers.back().object;
    SendSimple(object, DORN_CMD_PUMP);
    for (IdleTimerEntry& e : timers)
        if (e.object == object) e.lastTick = CameraTickCount();
    return 1;
}

int32_t CAsyncScheduler::HasWork()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    for (const CAsyncTaskRef& r : queue_) {
        const int32_t state = r.Get()->GetState();
        if (state == 2 || state == 3) return 1;
    }
    if (!GetObjectRegistry().empty()) return 1;
    const uint32_t tick = CameraTickCount();
    for (const IdleTimerEntry& e : IdleTimers())
        if (static_cast<int32_t>(tick - e.lastTick - e.interval) >= 0) return 1;
    return 0;
}

int32_t CAsyncScheduler::CompletionProc(DornObjectRecord* object, uint32_t command, uint32_t parameter,
                                        uint32_t dataType, uintptr_t data, uintptr_t reference, int32_t result)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    CAsyncTask* task = CAsyncTask::FromReferenceKey(reference);
    if (!task) return 0;  // late: the task is gone
    CDornObject* target = CDornObject::FromRecord(object);
    if (!target) return 0;
    auto& requests = task->Requests();
    for (size_t i = 0; i < requests.size(); ++i) {
        const AsyncRequest& r = requests[i];
        if (r.target == target && r.command == command && r.parameter == parameter && r.dataType == dataType &&
            r.data == data && r.state < 2) {
            task->CompleteRequest(i, object, result);
            return 0;
        }
    }
    return 0;
}

void CAsyncScheduler::CancelTask(CAsyncTask* task)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    task->BeginHold();
    // Walk a snapshot: completing a request may finish the task and empty its list.
    std::vector<size_t> fresh;
    std::vector<CDornObject*> inFlight;
    auto& requests = task->Requests();
    for (size_t i = 0; i < requests.size(); ++i) {
        if (requests[i].state == 0) fresh.push_back(i);
        if (requests[i].state == 1) inFlight.push_back(requests[i].target);
    }
    for (CDornObject* target : inFlight) SendSimple(target, DORN_CMD_ABORT);
    for (size_t i : fresh) {
        auto& now = task->Requests();
        if (i < now.size() && now[i].state == 0) {
            CDornObject* target = now[i].target;
            task->CompleteRequest(i, CDornObject::IsLive(target) ? target->GetObjectRecord() : nullptr,
                                  DORN_E_CANCELLED);
        }
    }
    task->EndHold();
}

namespace {

bool InSubtree(const CDornObject* candidate, const CDornObject* root)
{
    return candidate && (candidate == root || candidate->IsDescendantOf(root));
}

// A request concerns an object when it is sent to it (or below it), or when it
// opens it: an open is sent to the parent with the child's record as data.
bool Concerns(const AsyncRequest& r, CDornObject* object)
{
    if (InSubtree(r.target, object)) return true;
    return r.command == DORN_CMD_OPEN &&
           InSubtree(CDornObject::FromRecord(reinterpret_cast<const DornObjectRecord*>(r.data)), object);
}

}  // namespace

bool CAsyncScheduler::TaskTargets(CAsyncTask* task, CDornObject* object)
{
    for (const AsyncRequest& r : task->Requests())
        if (r.state < 2 && Concerns(r, object)) return true;
    return false;
}

void CAsyncScheduler::AbortInFlight(CAsyncTask* task, CDornObject* subtreeRoot)
{
    // A module that did not complete the aborted request: complete it here and
    // ignore its late completion (the request is no longer in state 0 or 1).
    auto& requests = task->Requests();
    for (size_t i = 0; i < task->Requests().size(); ++i) {
        AsyncRequest& r = requests[i];
        if (r.state != 1) continue;
        if (subtreeRoot && !Concerns(r, subtreeRoot)) continue;
        CDornObject* target = r.target;
        task->CompleteRequest(i, CDornObject::IsLive(target) ? target->GetObjectRecord() : nullptr, DORN_E_CANCELLED);
        return;  // one request in flight per task; the task may be gone now
    }
}

void CAsyncScheduler::CancelTasksOf(CDornObject* object)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    std::set<uint32_t> visited;
    for (;;) {
        CAsyncTask* found = nullptr;
        for (const CAsyncTaskRef& r : queue_) {
            CAsyncTask* task = r.Get();
            if (visited.count(task->GetId()) == 0 && TaskTargets(task, object)) {
                found = task;
                break;
            }
        }
        if (!found) return;
        visited.insert(found->GetId());
        found->BeginHold();
        CancelTask(found);
        if (CAsyncTask::IsLive(found)) AbortInFlight(found, object);
        if (CAsyncTask::IsLive(found)) found->EndHold();
    }
}

namespace {

uint32_t Progress(CAsyncTask& task)
{
    uint32_t done = 0;
    for (const AsyncRequest& r : task.Requests())
        if (r.state >= 2) ++done;
    return done + static_cast<uint32_t>(task.Requests().size()) * 1000u;
}

}  // namespace

int32_t WaitTaskIdle(CAsyncWaitTask& task)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    uint32_t since = CameraTickCount();
    uint32_t progress = Progress(task);
    while (!task.IsIdle()) {
        if (CAsyncScheduler::PollScheduler() == 0) CameraSleep(1);
        if (task.IsIdle()) break;
        const uint32_t now = Progress(task);
        if (now != progress) {
            progress = now;
            since = CameraTickCount();
        } else if (CameraTickCount() - since > CameraWaitLimit()) {
            CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler();
            task.BeginHold();
            scheduler->CancelTask(&task);
            scheduler->AbortInFlight(&task, nullptr);
            task.EndHold();
            if (!task.IsIdle()) task.Remove();
            task.GetResult();
            return DORN_R_NO_ANSWER;
        }
        std::this_thread::yield();
    }
    return task.GetResult();
}

void DrainScheduler()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    const uint32_t start = CameraTickCount();
    while (CAsyncScheduler::PollScheduler() != 0) {
        if (CameraTickCount() - start > CameraWaitLimit()) return;
    }
}
