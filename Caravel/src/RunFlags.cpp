#include "Caravel/src/RunFlags.h"

#include <algorithm>

namespace caravel {

namespace {
ProgressSink g_progress;
}

std::atomic<int>& CancelFlag()
{
    static std::atomic<int> flag{0};
    return flag;
}

std::atomic<int>& WorkerFinished()
{
    static std::atomic<int> flag{1};
    return flag;
}

void SetProgressSink(ProgressSink sink) { g_progress = std::move(sink); }

void ForwardProgress(int64_t done, int64_t total)
{
    if (g_progress)
        g_progress(done, total);
}

int ProgressPosition(int64_t done, int64_t total)
{
    if (total <= 0)
        return 0;  // nothing to measure against: a failed step before any progress
    const float position = static_cast<float>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
    return std::clamp(static_cast<int>(std::clamp(position, 0.0f, 100.0f)), 0, 100);
}

}  // namespace caravel
