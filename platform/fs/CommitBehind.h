#pragma once
// Commits copies behind the caller, so that a copy of many files waits for the
// medium while the caller goes on to the next files. Up to `inFlight` copies
// are written (when handed over unwritten) and synced side by side (the file
// system then puts several in one journal commit), and they are named strictly
// in the order they were handed over: a copy is renamed onto its name only once
// every copy before it stands under its own, and after a failure none is (the
// folder's sync after each rename runs beside the next copies' names). The
// caller hands over a copy under a label (its name, say), goes on, and waits
// before it relies on the files standing under their names.
#include "platform/fs/FileOps.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plat {

class CommitBehind {
public:
    explicit CommitBehind(size_t inFlight = 8);
    ~CommitBehind();  // waits for every copy handed over
    CommitBehind(const CommitBehind&) = delete;
    CommitBehind& operator=(const CommitBehind&) = delete;

    struct Outcome {
        FsResult result = FsResult::success();
        std::string label;  // the failed copy's, when one failed
        explicit operator bool() const { return result.ok(); }
    };

    // Hands `copy` over; waits first while `inFlight` copies are under way.
    void start(WrittenCopy copy, std::string label = {});
    // Hands over a copy still to be written: `write` makes it on a committing
    // thread (a failure there counts as the copy's), then it is synced and
    // named in its turn like any other.
    using Write = std::function<FsResult(WrittenCopy* out)>;
    void start(Write write, std::string label = {});
    // Whether a copy under that label is still on its way to its name.
    bool underWay(const std::string& label);
    // Whether a copy has failed since the last wait, without waiting (copies
    // under way may still fail).
    bool failed();
    // Waits for every copy handed over; the first failure since the last wait
    // (success when none has failed). Copies handed over after a failed one
    // have been dropped unnamed.
    Outcome wait();

private:
    struct Entry {
        WrittenCopy copy;
        Write write;  // when the copy is still to be written
        std::string label;
        enum State { Handed, Syncing, Synced } state = Handed;
        FsResult synced;
    };

    void Hand(std::unique_ptr<Entry> entry);
    void run();
    bool frontToName() const;  // the front copy is synced and no copy is being named
    bool hasWork() const;
    // Names the front copy when it can be, else writes and syncs one; with the lock held.
    void Step(std::unique_lock<std::mutex>& lock);
    // Writes (when it is still to be written) and syncs the first copy waiting
    // for it, with the lock released meanwhile.
    void SyncOne(std::unique_lock<std::mutex>& lock);
    // Names the front copy (or drops it after a failure), lock released meanwhile.
    void NameFront(std::unique_lock<std::mutex>& lock);
    bool idle() const { return copiesUnderWay() == 0; }
    // Copies handed over and not yet standing synced under their names.
    size_t copiesUnderWay() const { return entries_.size() + (naming_ ? 1 : 0) + syncingFolders_; }

    const size_t inFlight_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> threads_;
    std::deque<std::unique_ptr<Entry>> entries_;  // in the order handed over
    bool naming_ = false;       // a thread is renaming the copy taken off the front
    std::string namingLabel_;   // that copy's label
    size_t syncingFolders_ = 0;  // copies named whose folders are being synced
    bool quit_ = false;
    Outcome failure_;
};

}  // namespace plat
