#include "platform/fs/CommitBehind.h"

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

void CommitBehind::start(WrittenCopy copy) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !working_; });
        next_ = std::move(copy);
        working_ = true;
        // one thread for the object's life, started with the first commit
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    changed_.notify_all();
}

FsResult CommitBehind::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !working_; });
    const FsResult r = result_;
    result_ = FsResult::success();
    return r;
}

void CommitBehind::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return working_ || quit_; });
        if (!working_) return;
        WrittenCopy copy = std::move(next_);
        lock.unlock();
        const FsResult r = copy.commit();
        lock.lock();
        if (!r && result_) result_ = r;
        working_ = false;
        changed_.notify_all();
    }
}

}  // namespace plat
