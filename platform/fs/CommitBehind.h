#pragma once
// Commits written copies one at a time on a thread of its own, so that a copy
// of many files waits for the medium while it already writes the next file.
// The caller hands over one copy, goes on, and asks for the result before it
// relies on the file standing under its name (or before the next hand-over).
#include "platform/fs/FileOps.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace plat {

class CommitBehind {
public:
    CommitBehind() = default;
    ~CommitBehind();  // waits for a commit under way
    CommitBehind(const CommitBehind&) = delete;
    CommitBehind& operator=(const CommitBehind&) = delete;

    // Starts committing `copy`; a commit still under way is waited for first,
    // and its result is kept for `wait` unless it succeeded.
    void start(WrittenCopy copy);
    // The result of the commit started last (success when there is none), once
    // it has finished; the first failure since the last wait wins.
    FsResult wait();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    WrittenCopy next_;
    bool working_ = false;
    bool quit_ = false;
    FsResult result_ = FsResult::success();
};

}  // namespace plat
