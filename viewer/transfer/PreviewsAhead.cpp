#include "viewer/transfer/PreviewsAhead.h"

#include <algorithm>
#include <system_error>

PreviewsAhead::PreviewsAhead(size_t count, Reader read, unsigned threads, size_t window, Drop drop)
    : read_(std::move(read)),
      drop_(std::move(drop)),
      window_(std::max<size_t>(window, 1)),
      abort_(plat::Event::create(plat::Event::Reset::Manual, false)),
      slots_(count),
      horizon_(std::min(count, window_)) {
    for (unsigned i = 0; i < threads; ++i) {
        try {
            threads_.emplace_back(&PreviewsAhead::ReadLoop, this);
        } catch (const std::system_error&) {
            break;  // fewer readers; the worker reads the rest itself
        }
    }
}

PreviewsAhead::~PreviewsAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    abort_.set();
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
    Records left;
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].record) left.emplace_back(i, std::move(slots_[i].record));
    Dropped(left);
}

void PreviewsAhead::Dropped(Records& records) {
    if (drop_)
        for (auto& [index, record] : records) drop_(index, record);
    records.clear();
}

unsigned PreviewsAhead::ThreadsBeside(unsigned cores) { return std::clamp(cores, 2u, 7u) - 1; }

bool PreviewsAhead::take(size_t index, std::unique_ptr<PictureRecord>* record) {
    record->reset();
    std::unique_lock<std::mutex> lock(mutex_);
    if (index >= slots_.size()) return false;
    Records passedOver;
    for (size_t i = passed_; i < index; ++i) {
        if (slots_[i].state == State::Reading) continue;  // given up when its read ends
        if (slots_[i].record) passedOver.emplace_back(i, std::move(slots_[i].record));
        slots_[i].state = State::Given;
    }
    passed_ = std::max(passed_, index);
    horizon_ = std::max(horizon_, std::min(slots_.size(), index + 1 + window_));
    changed_.notify_all();
    if (!passedOver.empty()) {
        lock.unlock();
        Dropped(passedOver);
        lock.lock();
    }
    Slot& slot = slots_[index];
    changed_.wait(lock, [&] { return slot.state != State::Reading; });
    *record = std::move(slot.record);  // none unless read ahead, and read well
    slot.state = State::Given;
    return *record != nullptr;
}

bool PreviewsAhead::NextToRead(size_t* index) {
    while (next_ < horizon_ && slots_[next_].state != State::Waiting) ++next_;
    if (next_ >= horizon_) return false;
    *index = next_++;
    slots_[*index].state = State::Reading;
    return true;
}

void PreviewsAhead::ReadLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        size_t index = 0;
        changed_.wait(lock, [&] { return stop_ || NextToRead(&index); });
        if (stop_) return;
        lock.unlock();
        std::unique_ptr<PictureRecord> record;
        const int32_t r = read_(index, record, &abort_);
        lock.lock();
        Slot& slot = slots_[index];
        const bool wanted = index >= passed_;
        if (r == 0 && wanted) slot.record = std::move(record);
        slot.state = wanted ? State::Ready : State::Given;
        changed_.notify_all();
        if (r == 0 && record) {
            Records late;
            late.emplace_back(index, std::move(record));
            lock.unlock();
            Dropped(late);
            lock.lock();
        }
    }
}
