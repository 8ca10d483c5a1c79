#include "platform/thread/WorkerThread.h"

#include "platform/thread/WaitLock.h"

#include <atomic>
#include <system_error>

namespace plat {

class WorkerThread::State : public detail::WaitState {
public:
    bool signalled() const override { return ended; }
    void consume() override {}

    // All under the wait lock, except quit which is read anywhere.
    bool created = false;
    bool resumed = false;
    bool abandoned = false;   // never resumed: end without running
    bool ended = false;
    uint32_t exitCode = kStillActive;
    std::atomic<bool> quit{false};
};

WorkerThread::WorkerThread() : state_(std::make_shared<State>()) {}

WorkerThread::WorkerThread(Body body) : body_(std::move(body)), state_(std::make_shared<State>()) {}

WorkerThread::~WorkerThread() { finish(); }

void WorkerThread::finish() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(detail::waitMutex());
        if (!state_->resumed) state_->abandoned = true;
        detail::notifyWaiters();
    }
    if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
    else thread_.join();
}

uint32_t WorkerThread::run() { return body_ ? body_() : 0; }

bool WorkerThread::create(Start start) {
    {
        std::lock_guard lock(detail::waitMutex());
        if (state_->created) return false;
        state_->created = true;
        state_->resumed = (start == Start::Running);
    }
    auto state = state_;
    try {
        thread_ = std::thread([this, state] {
            {
                std::unique_lock lock(detail::waitMutex());
                detail::waitCondition().wait(lock, [&] { return state->resumed || state->abandoned; });
                if (state->abandoned) {
                    state->exitCode = 0;
                    state->ended = true;
                    detail::notifyWaiters();
                    return;
                }
            }
            uint32_t code = kThreadAborted;
            try {
                code = run();
            } catch (...) {
                code = kThreadAborted;   // nothing crosses the thread's edge
            }
            std::lock_guard lock(detail::waitMutex());
            state->exitCode = code;
            state->ended = true;
            detail::notifyWaiters();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(detail::waitMutex());
        state_->created = false;
        return false;
    }
    return true;
}

bool WorkerThread::resume() {
    std::lock_guard lock(detail::waitMutex());
    if (!state_->created || state_->resumed || state_->abandoned) return false;
    state_->resumed = true;
    detail::notifyWaiters();
    return true;
}

bool WorkerThread::hasEnded() const {
    std::lock_guard lock(detail::waitMutex());
    return state_->ended;
}

bool WorkerThread::exitCode(uint32_t* code) const {
    std::lock_guard lock(detail::waitMutex());
    if (!state_->created) return false;
    if (code) *code = state_->ended ? state_->exitCode : kStillActive;
    return true;
}

void WorkerThread::requestQuit() { state_->quit = true; }

bool WorkerThread::quitRequested() const { return state_->quit; }

std::shared_ptr<detail::WaitState> WorkerThread::waitState() const {
    std::lock_guard lock(detail::waitMutex());
    if (!state_->created) return nullptr;
    return state_;
}

bool startDetachedThread(std::function<void()> body) {
    try {
        std::thread([body = std::move(body)] {
            try {
                body();
            } catch (...) {
            }
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

}  // namespace plat
