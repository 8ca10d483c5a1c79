#pragma once
// Commits written copies on threads of their own, so that a copy of many files
// waits for the medium while it already writes the next files. One commit at a
// time by default: on a local disk, syncs side by side measured no faster, and
// took cores from the work in front. The caller hands over a copy under a label
// (its name, say), goes on, and asks for the results before it relies on the
// files standing under their names.
#include "platform/fs/FileOps.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plat {

class CommitBehind {
public:
    // At most `inFlight` commits are under way at once (at least one).
    explicit CommitBehind(unsigned inFlight = kDefaultInFlight);
    ~CommitBehind();  // waits for the commits under way
    CommitBehind(const CommitBehind&) = delete;
    CommitBehind& operator=(const CommitBehind&) = delete;

    static constexpr unsigned kDefaultInFlight = 1;

    struct Outcome {
        FsResult result = FsResult::success();
        std::string label;  // the failed copy's, when one failed
        explicit operator bool() const { return result.ok(); }
    };

    // Starts committing `copy`, first waiting while the most commits are under way.
    void start(WrittenCopy copy, std::string label = {});
    // Whether a copy under that label is still being committed.
    bool underWay(const std::string& label);
    // The first failure since the last wait or check, without waiting (success
    // when none has failed).
    Outcome check();
    // Waits for every commit started, then answers as check does.
    Outcome wait();

private:
    struct Job {
        WrittenCopy copy;
        std::string label;
    };
    void run();
    // Commits the job without the lock held, then records its end.
    void Commit(std::unique_lock<std::mutex>& lock, Job job);
    Outcome TakeOutcome();

    const unsigned inFlight_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> threads_;
    std::deque<Job> queue_;
    std::vector<std::string> underWay_;  // labels queued or committing
    unsigned idle_ = 0;                  // threads waiting for work
    bool quit_ = false;
    Outcome failure_;
};

}  // namespace plat
