#pragma once
// A task: one or more requests to camera-module objects, sent one after the
// other by the scheduler and completed by the module through the scheduler's
// completion procedure.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "outside/dorn/DornAbi.h"

class CDornObject;

struct AsyncRequest {
    CDornObject* target = nullptr;
    uint32_t command = 0;
    uint32_t parameter = 0;
    uint32_t dataType = 0;
    uintptr_t data = 0;
    uint32_t state = 0;  // 0 new, 1 sent, 2 completing, 3 done
    DornCompletionProc callback = nullptr;
    uintptr_t callbackReference = 0;

    bool SameAs(const AsyncRequest& other) const;
};

class CAsyncTask {
public:
    explicit CAsyncTask(bool deleteWhenFinished);
    virtual ~CAsyncTask();
    CAsyncTask(const CAsyncTask&) = delete;

    virtual int32_t IsMultiTarget() const { return multiTarget_; }
    virtual void AddRequest(CDornObject* target, uint32_t command, uint32_t parameter, uint32_t dataType,
                            uintptr_t data, DornCompletionProc callback, uintptr_t callbackReference);
    virtual void Submit();
    virtual void Cancel();
    virtual int32_t GetState() const { return state_; }
    virtual bool IsIdle() const { return state_ == 0; }
    virtual void SetPriority(int32_t priority);
    virtual int32_t GetPriority() const { return priority_; }
    virtual void RaisePriority();
    virtual void LowerPriority();
    virtual CAsyncTask& operator=(const CAsyncTask& other);
    virtual bool IsLess(const CAsyncTask& other) const;
    virtual bool IsSameTask(const CAsyncTask& other) const { return id_ == other.id_; }
    virtual void Remove();
    virtual void Finish(bool succeeded);
    virtual void OnRequestFailed(DornObjectRecord* target, uint32_t command, uint32_t parameter, int32_t result);
    virtual void OnRequestDone(DornObjectRecord* target, uint32_t command, uint32_t parameter, int32_t result);
    virtual void OnRequestSent(CDornObject* target, uint32_t command, uint32_t parameter, uint32_t dataType,
                               uintptr_t data);

    // Served after ordinary tasks, in submission order (the scheduler's sort key).
    virtual bool IsWaitTask() const { return false; }

    uint32_t GetId() const { return id_; }
    uint32_t GetSequence() const { return sequence_; }
    uint32_t GetStartTick() const { return startTick_; }
    void SetStartTick(uint32_t tick) { startTick_ = tick; }
    int32_t GetPending() const { return pending_; }
    std::vector<AsyncRequest>& Requests() { return requests_; }
    bool IsDeleteWhenFinished() const { return deleteWhenFinished_; }

    // priority + ((now - start) / 1000 * priority / 10), unsigned 32-bit.
    uint32_t EffectivePriority(uint32_t now) const;

    // Steps 2..5 of a completion for the request at index; true when the task
    // finished (and may be deleted).
    bool CompleteRequest(size_t index, DornObjectRecord* record, int32_t result);

    // Whether a pointer names a task that still exists (late completions).
    static bool IsLive(const CAsyncTask* task);

    // What the module is handed as the reference of a request: a key that is
    // never used again, so that a late completion cannot reach a newer task
    // that happens to live at the same address.
    uintptr_t GetReferenceKey() const { return referenceKey_; }
    static CAsyncTask* FromReferenceKey(uintptr_t key);

    // Keeps the task from finishing (and deleting itself) while a walk over its
    // requests is under way; EndHold finishes it when that fell due meanwhile
    // and then returns true (the task may be gone).
    void BeginHold();
    bool EndHold();

private:
    uint32_t id_;
    bool deleteWhenFinished_;
    int32_t multiTarget_ = 1;
    int32_t priority_ = 5;
    int32_t state_ = 0;
    int32_t pending_ = 0;
    uint32_t startTick_ = 0;
    uint32_t sequence_ = 0;
    CDornObject* lastTarget_ = nullptr;
    std::vector<AsyncRequest> requests_;
    uintptr_t referenceKey_;
    int32_t holds_ = 0;
    bool finishDue_ = false;
    bool lastSucceeded_ = true;
};
