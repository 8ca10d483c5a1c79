#include "viewer/sources/camera/AsyncWaitTask.h"

void CAsyncWaitTask::OnRequestFailed(DornObjectRecord* target, uint32_t command, uint32_t parameter, int32_t result)
{
    // The requests cancelled because of a failure must not hide it: a
    // cancellation never replaces a stored failure.
    if (result_ == 0 || (result_ == DORN_E_CANCELLED && result != DORN_E_CANCELLED)) {
        failedTarget_ = target;
        failedCommand_ = command;
        failedParameter_ = parameter;
        result_ = result;
    }
    CAsyncTask::OnRequestFailed(target, command, parameter, result);
}

bool CAsyncWaitTask::IsLess(const CAsyncTask& other) const
{
    if (GetState() == 2) return true;
    return CAsyncTask::IsLess(other);
}

CAsyncWaitTask& CAsyncWaitTask::operator=(const CAsyncTask& other)
{
    CAsyncTask::operator=(other);
    return *this;
}

int32_t CAsyncWaitTask::GetResult()
{
    const int32_t result = result_;
    if (result != 0) {
        failedTarget_ = nullptr;
        failedCommand_ = 0;
        failedParameter_ = 0;
        result_ = 0;
    }
    return result;
}
