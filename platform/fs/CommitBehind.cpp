#include "platform/fs/CommitBehind.h"

#include <algorithm>
#include <system_error>

namespace plat {

CommitBehind::CommitBehind(size_t inFlight) : inFlight_(std::max<size_t>(1, inFlight)) {}

CommitBehind::~CommitBehind() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return idle(); });
        quit_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void CommitBehind::start(WrittenCopy copy, std::string label) {
    auto entry = std::make_unique<Entry>();
    entry->copy = std::move(copy);
    entry->label = std::move(label);
    Hand(std::move(entry));
}

void CommitBehind::start(Write write, std::string label) {
    auto entry = std::make_unique<Entry>();
    entry->write = std::move(write);
    entry->label = std::move(label);
    Hand(std::move(entry));
}

void CommitBehind::Hand(std::unique_ptr<Entry> entry) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return copiesUnderWay() < inFlight_; });
    entries_.push_back(std::move(entry));
    // a thread for each copy that can be under way, started as they are needed
    if (threads_.size() < copiesUnderWay()) {
        try {
            threads_.emplace_back([this] { run(); });
        } catch (const std::system_error&) {
            if (threads_.empty()) {
                // no thread at all: commit here and now
                while (hasWork()) Step(lock);
                return;
            }
        }
    }
    changed_.notify_all();
}

bool CommitBehind::underWay(const std::string& label) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (naming_ && namingLabel_ == label) return true;
    return std::any_of(entries_.begin(), entries_.end(), [&](const auto& e) { return e->label == label; });
}

bool CommitBehind::failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !failure_.result.ok();
}

CommitBehind::Outcome CommitBehind::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return idle(); });
    Outcome o = std::move(failure_);
    failure_ = Outcome{};
    return o;
}

bool CommitBehind::frontToName() const {
    return !naming_ && !entries_.empty() && entries_.front()->state == Entry::Synced;
}

bool CommitBehind::hasWork() const {
    return frontToName() ||
           std::any_of(entries_.begin(), entries_.end(), [](const auto& e) { return e->state == Entry::Handed; });
}

void CommitBehind::Step(std::unique_lock<std::mutex>& lock) {
    // naming first: the copies behind the front wait for it
    if (frontToName()) NameFront(lock);
    else SyncOne(lock);
}

void CommitBehind::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return hasWork() || quit_; });
        if (!hasWork()) return;
        Step(lock);
    }
}

void CommitBehind::SyncOne(std::unique_lock<std::mutex>& lock) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [](const auto& e) { return e->state == Entry::Handed; });
    Entry* e = it->get();  // stays put: only a synced front entry leaves the queue
    if (failure_.result.ok()) {
        e->state = Entry::Syncing;
        lock.unlock();
        FsResult r = FsResult::success();
        if (e->write) {
            const Write write = std::move(e->write);  // what it holds goes once it has written
            e->write = nullptr;
            r = write(&e->copy);
        }
        if (r) r = e->copy.sync();
        lock.lock();
        e->synced = r;
    }
    // after a failure the copy is not synced at all; it is dropped in its turn
    e->state = Entry::Synced;
    changed_.notify_all();
}

void CommitBehind::NameFront(std::unique_lock<std::mutex>& lock) {
    std::unique_ptr<Entry> e = std::move(entries_.front());
    entries_.pop_front();
    naming_ = true;
    namingLabel_ = e->label;
    // A copy behind a failed one is never named; the first failure is kept.
    const bool name = failure_.result.ok() && e->synced.ok();
    if (failure_.result.ok() && !e->synced.ok()) failure_ = {e->synced, e->label};
    lock.unlock();
    const FsResult r = name ? e->copy.name() : FsResult::success();
    if (!r.ok() || !name) e.reset();  // a copy left unnamed removes its temporary file
    lock.lock();
    if (!r.ok() && failure_.result.ok()) failure_ = {r, namingLabel_};
    naming_ = false;
    namingLabel_.clear();
    if (!e) {
        changed_.notify_all();
        return;
    }
    // The next copy can take its name while this one's folder is synced.
    ++syncingFolders_;
    changed_.notify_all();
    lock.unlock();
    e->copy.syncFolder();
    e.reset();
    lock.lock();
    --syncingFolders_;
    changed_.notify_all();
}

}  // namespace plat
