#pragma once
// The one order every long operation on the current target follows: pause the
// device check, stop the readers, tell the viewer frames that access stops, run
// the job, tell them access goes on, restart the device check. A restart that
// fails is reported as -114.
#include <cstdint>
#include <functional>

class LongOperationHost {
public:
    virtual ~LongOperationHost() = default;
    virtual bool SuspendDeviceCheck() = 0;
    virtual int32_t ResumeDeviceCheck() = 0;
    virtual void StopReaders() = 0;
    virtual void BroadcastAccessState(int32_t flag) = 0;
    virtual void ReportError(int32_t code) = 0;
};

// Runs job inside the order; returns the job's result. A failed restart of the
// device check is reported (-114) but does not change the job's result.
int32_t RunLongOperation(LongOperationHost& host, const std::function<int32_t()>& job);

// Hide and protect: the result the view acts on (-99 asks the file-missing
// question, another non-zero code goes to the error box).
int32_t AttributeJobResult(int32_t jobResult, int32_t resumeResult);

// The code the error box shows: a lost camera session is -111 whatever came.
int32_t ErrorBoxCode(int32_t code, bool sessionLost);
