#include "platform/fs/CommitBehind.h"

#include <system_error>

namespace plat {

CommitBehind::~CommitBehind() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !working_; });
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void CommitBehind::start(WrittenCopy copy, std::string label) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !working_; });
    working_ = true;
    label_ = std::move(label);
    if (!thread_.joinable()) {
        // one thread for the object's life, started with the first commit
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            Commit(lock, std::move(copy));  // no thread: commit here and now
            return;
        }
    }
    next_ = std::move(copy);
    changed_.notify_all();
}

bool CommitBehind::underWay(const std::string& label) {
    std::lock_guard<std::mutex> lock(mutex_);
    return working_ && label_ == label;
}

CommitBehind::Outcome CommitBehind::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !working_; });
    Outcome o = std::move(failure_);
    failure_ = Outcome{};
    return o;
}

void CommitBehind::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return working_ || quit_; });
        if (!working_) return;
        Commit(lock, std::move(next_));
    }
}

void CommitBehind::Commit(std::unique_lock<std::mutex>& lock, WrittenCopy copy) {
    lock.unlock();
    const FsResult r = copy.commit();
    lock.lock();
    if (!r && failure_) failure_ = {r, label_};
    working_ = false;
    changed_.notify_all();
}

}  // namespace plat
