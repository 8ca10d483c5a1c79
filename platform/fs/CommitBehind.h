#pragma once
// Commits written copies one at a time on a thread of its own, so that a copy
// of many files waits for the medium while it already writes the next file.
// (Several syncs side by side measured no faster on a local disk.) The caller
// hands over a copy under a label (its name, say), goes on, and asks for the
// result before it relies on the file standing under its name.
#include "platform/fs/FileOps.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace plat {

class CommitBehind {
public:
    CommitBehind() = default;
    ~CommitBehind();  // waits for a commit under way
    CommitBehind(const CommitBehind&) = delete;
    CommitBehind& operator=(const CommitBehind&) = delete;

    struct Outcome {
        FsResult result = FsResult::success();
        std::string label;  // the failed copy's, when one failed
        explicit operator bool() const { return result.ok(); }
    };

    // Starts committing `copy`; a commit still under way is waited for first.
    void start(WrittenCopy copy, std::string label = {});
    // Whether the copy under that label is still being committed.
    bool underWay(const std::string& label);
    // Waits for the commit under way; the first failure since the last wait
    // (success when none has failed).
    Outcome wait();

private:
    void run();
    // Commits the copy without the lock held, then records its end.
    void Commit(std::unique_lock<std::mutex>& lock, WrittenCopy copy);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    WrittenCopy next_;
    std::string label_;    // of the copy under way
    bool working_ = false;  // a copy is handed over and not yet committed
    bool quit_ = false;
    Outcome failure_;
};

}  // namespace plat
