#pragma once
// What the dialog thread and the upload worker share: the cancel request, whether a worker runs,
// and where transfer progress goes. The library's upload callbacks carry no context, so these
// are process-wide.
#include <atomic>
#include <cstdint>
#include <functional>

namespace caravel {

// 1: the user asked the run to stop.
std::atomic<int>& CancelFlag();
// 1: no worker is running.
std::atomic<int>& WorkerFinished();

using ProgressSink = std::function<void(int64_t done, int64_t total)>;
// Set once at start-up, before any worker exists.
void SetProgressSink(ProgressSink sink);
void ForwardProgress(int64_t done, int64_t total);
// Progress bar position 0-100 for done of total; 0 when total is not positive.
int ProgressPosition(int64_t done, int64_t total);

}  // namespace caravel
