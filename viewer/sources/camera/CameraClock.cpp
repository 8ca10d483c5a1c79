#include "viewer/sources/camera/CameraClock.h"

#include <atomic>

#include "platform/thread/Timing.h"

namespace {

uint32_t RealTick()
{
    return plat::tickCount();
}

void RealSleep(uint32_t ms)
{
    plat::sleepMs(ms);
}

std::atomic<CameraTickFn> g_tick{&RealTick};
std::atomic<CameraSleepFn> g_sleep{&RealSleep};
std::atomic<uint32_t> g_waitLimit{30000};

}  // namespace

uint32_t CameraTickCount() { return g_tick.load()(); }
void CameraSleep(uint32_t ms) { g_sleep.load()(ms); }

void SetCameraClock(CameraTickFn tick, CameraSleepFn sleep)
{
    g_tick = tick ? tick : &RealTick;
    g_sleep = sleep ? sleep : &RealSleep;
}

uint32_t CameraWaitLimit() { return g_waitLimit; }
void SetCameraWaitLimit(uint32_t ms) { g_waitLimit = ms; }

namespace {

std::atomic<CameraLockWaitFn> g_lockWait{nullptr};

}  // namespace

void SetCameraLockWait(CameraLockWaitFn wait) { g_lockWait = wait; }

void CameraLock::lock()
{
    while (!mutex_.try_lock()) {
        const CameraLockWaitFn wait = g_lockWait;
        if (!wait || !wait()) {
            mutex_.lock();
            return;
        }
    }
}

CameraLock& CameraMutex()
{
    static CameraLock lock;
    return lock;
}
