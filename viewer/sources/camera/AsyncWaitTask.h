#pragma once
// The task that synchronous operations build on their stack: it keeps the first
// failure and is served after ordinary tasks.
#include "viewer/sources/camera/AsyncTask.h"

class CAsyncWaitTask : public CAsyncTask {
public:
    CAsyncWaitTask() : CAsyncTask(false) {}

    void OnRequestFailed(DornObjectRecord* target, uint32_t command, uint32_t parameter, int32_t result) override;
    bool IsLess(const CAsyncTask& other) const override;
    bool IsWaitTask() const override { return true; }
    CAsyncWaitTask& operator=(const CAsyncTask& other) override;

    // The stored failure; reading a failure clears it.
    int32_t GetResult();

private:
    DornObjectRecord* failedTarget_ = nullptr;
    uint32_t failedCommand_ = 0;
    uint32_t failedParameter_ = 0;
    int32_t result_ = 0;
};
