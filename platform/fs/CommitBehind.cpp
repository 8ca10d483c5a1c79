#include "platform/fs/CommitBehind.h"

#include <algorithm>
#include <system_error>

namespace plat {

CommitBehind::CommitBehind(unsigned inFlight) : inFlight_(std::max(inFlight, 1u)) {}

CommitBehind::~CommitBehind() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return underWay_.empty(); });
        quit_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void CommitBehind::start(WrittenCopy copy, std::string label) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return underWay_.size() < inFlight_; });
    underWay_.push_back(label);
    queue_.push_back(Job{std::move(copy), std::move(label)});
    // threads start with the first commits and stay for the object's life
    if (idle_ < queue_.size() && threads_.size() < inFlight_) {
        try {
            threads_.emplace_back([this] { run(); });
        } catch (const std::system_error&) {
            if (threads_.empty()) {
                // no thread at all: commit here and now
                Job job = std::move(queue_.back());
                queue_.pop_back();
                Commit(lock, std::move(job));
                return;
            }
        }
    }
    changed_.notify_all();
}

bool CommitBehind::underWay(const std::string& label) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(underWay_.begin(), underWay_.end(), label) != underWay_.end();
}

CommitBehind::Outcome CommitBehind::check() {
    std::lock_guard<std::mutex> lock(mutex_);
    return TakeOutcome();
}

CommitBehind::Outcome CommitBehind::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return underWay_.empty(); });
    return TakeOutcome();
}

CommitBehind::Outcome CommitBehind::TakeOutcome() {
    Outcome o = std::move(failure_);
    failure_ = Outcome{};
    return o;
}

void CommitBehind::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        changed_.wait(lock, [this] { return !queue_.empty() || quit_; });
        --idle_;
        if (queue_.empty()) return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        Commit(lock, std::move(job));
    }
}

void CommitBehind::Commit(std::unique_lock<std::mutex>& lock, Job job) {
    lock.unlock();
    const FsResult r = job.copy.commit();
    lock.lock();
    if (!r && failure_) failure_ = {r, job.label};
    underWay_.erase(std::find(underWay_.begin(), underWay_.end(), job.label));
    changed_.notify_all();
}

}  // namespace plat
