#include "viewer/browser/view/LongOperation.h"

#include "viewer/sources/JqIfMngResult.h"

int32_t RunLongOperation(LongOperationHost& host, const std::function<int32_t()>& job) {
    host.SuspendDeviceCheck();
    host.StopReaders();
    host.BroadcastAccessState(0);
    const int32_t result = job();
    host.BroadcastAccessState(1);
    if (host.ResumeDeviceCheck() != 0) host.ReportError(JqIfMngResult_Failed);
    return result;
}

int32_t AttributeJobResult(int32_t jobResult, int32_t resumeResult) {
    return resumeResult != 0 ? JqIfMngResult_Failed : jobResult;
}

int32_t ErrorBoxCode(int32_t code, bool sessionLost) { return sessionLost ? -111 : code; }
