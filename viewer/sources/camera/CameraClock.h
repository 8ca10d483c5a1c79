#pragma once
// Time for the camera layer: a 32-bit millisecond tick that wraps (differences
// are taken unsigned) and a sleep. Tests replace both so that waits of seconds
// run at once.
#include <cstdint>
#include <mutex>

using CameraTickFn = uint32_t (*)();
using CameraSleepFn = void (*)(uint32_t ms);

uint32_t CameraTickCount();
void CameraSleep(uint32_t ms);

// Null restores the real clock.
void SetCameraClock(CameraTickFn tick, CameraSleepFn sleep);

// The longest a synchronous camera operation waits without its task moving on
// before it gives up (the camera does not answer). 30 s by default.
uint32_t CameraWaitLimit();
void SetCameraWaitLimit(uint32_t ms);

// Camera work runs on one thread at a time (the main thread, or a camera job's
// worker while the main thread shows its wait dialog). Recursive, because the
// module's callbacks re-enter the layer on the same thread.
//
// A worker holding it may need the main thread (a camera's question is shown
// there), so a thread that must stay responsive does not simply block on it: the
// wait hook, when set, is asked each time the lock is found taken. It answers
// true after it has waited a short while doing its thread's duties, false when
// the calling thread may block plainly.
class CameraLock {
public:
    void lock();
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

using CameraLockWaitFn = bool (*)();
void SetCameraLockWait(CameraLockWaitFn wait);   // null: every thread blocks plainly

CameraLock& CameraMutex();
