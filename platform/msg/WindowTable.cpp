#include "platform/msg/WindowTable.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <chrono>
#include <unordered_map>

namespace plat::detail {
namespace {

struct Entry {
    MessageReceiver* receiver = nullptr;
    std::shared_ptr<ThreadInbox> inbox;
};

std::unordered_map<uint32_t, Entry>& entries() {
    static std::unordered_map<uint32_t, Entry> table;
    return table;
}

std::atomic<uint32_t> nextId{1};
void endCall(Call& call, Call::State state) {
    call.state = state;
    if (call.waiter) call.waiter->wake.notify_all();
}

QEvent::Type newEventType() { return static_cast<QEvent::Type>(QEvent::registerEventType()); }

}  // namespace

std::mutex& tableMutex() {
    static std::mutex m;
    return m;
}

namespace {

// Inboxes by thread, so that the UI thread's can be found from any thread (also
// when the UI thread made its own before the application object existed).
std::unordered_map<QThread*, std::weak_ptr<ThreadInbox>>& inboxesByThread() {
    static std::unordered_map<QThread*, std::weak_ptr<ThreadInbox>> inboxes;
    return inboxes;
}

// Under tableMutex().
std::shared_ptr<ThreadInbox> inboxOfLocked(QThread* thread) {
    auto& inboxes = inboxesByThread();
    auto it = inboxes.find(thread);
    if (it != inboxes.end()) {
        if (auto live = it->second.lock()) return live;
    }
    auto made = std::make_shared<ThreadInbox>();
    inboxes[thread] = made;
    return made;
}

}  // namespace

std::shared_ptr<ThreadInbox> uiInbox() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return nullptr;
    std::lock_guard lock(tableMutex());
    return inboxOfLocked(app->thread());
}

std::shared_ptr<ThreadInbox> currentInbox() {
    thread_local std::shared_ptr<ThreadInbox> mine;
    if (!mine) {
        std::lock_guard lock(tableMutex());
        mine = inboxOfLocked(QThread::currentThread());
    }
    return mine;
}

WindowHandle addReceiver(MessageReceiver* receiver) {
    auto inbox = currentInbox();
    WindowHandle handle(nextId.fetch_add(1));
    std::lock_guard lock(tableMutex());
    entries()[handle.id()] = Entry{receiver, std::move(inbox)};
    return handle;
}

void removeReceiver(WindowHandle handle) {
    std::lock_guard lock(tableMutex());
    auto it = entries().find(handle.id());
    if (it == entries().end()) return;
    // Senders still waiting for this window are told it went.
    for (auto& call : it->second.inbox->pending) {
        if (call->target == handle.id() && call->state == Call::State::Pending) endCall(*call, Call::State::Failed);
    }
    entries().erase(it);
}

void drainCurrentInbox() {
    auto inbox = currentInbox();
    std::unique_lock lock(tableMutex());
    while (!inbox->pending.empty()) {
        std::shared_ptr<Call> call = std::move(inbox->pending.front());
        inbox->pending.pop_front();
        if (call->state != Call::State::Pending) continue;
        MessageReceiver* receiver = nullptr;
        if (call->target != 0) {
            auto it = entries().find(call->target);
            if (it == entries().end() || it->second.inbox != inbox) {
                endCall(*call, Call::State::Failed);
                continue;
            }
            receiver = it->second.receiver;   // lives on this thread: safe until we return to it
        }
        call->state = Call::State::Running;
        lock.unlock();
        try {
            call->work(receiver);
        } catch (...) {
            // a handler's exception must not leave its sender waiting for ever
        }
        lock.lock();
        endCall(*call, Call::State::Done);
    }
}

bool waitForCall(const std::shared_ptr<Call>& call, uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const bool bounded = timeoutMs != 0xFFFFFFFFu;
    const auto deadline = Clock::now() + std::chrono::milliseconds(bounded ? timeoutMs : 0);
    auto mine = currentInbox();
    std::unique_lock lock(tableMutex());
    bool timed = bounded;
    for (;;) {
        if (call->state == Call::State::Done) return true;
        if (call->state == Call::State::Failed || call->state == Call::State::Cancelled) return false;
        if (!mine->pending.empty()) {
            lock.unlock();
            drainCurrentInbox();
            lock.lock();
            continue;
        }
        if (!timed) {
            mine->wake.wait(lock);
        } else if (mine->wake.wait_until(lock, deadline) == std::cv_status::timeout) {
            if (call->state == Call::State::Pending) {
                call->state = Call::State::Cancelled;
                return false;
            }
            timed = false;   // being handled: its parameters must outlive the handler
        }
    }
}

// Used by Messaging.cpp under tableMutex().
MessageReceiver* receiverLocked(uint32_t id, std::shared_ptr<ThreadInbox>* inbox) {
    auto it = entries().find(id);
    if (it == entries().end()) return nullptr;
    if (inbox) *inbox = it->second.inbox;
    return it->second.receiver;
}

QEvent::Type messageEventType() {
    static const QEvent::Type t = newEventType();
    return t;
}

QEvent::Type wakeEventType() {
    static const QEvent::Type t = newEventType();
    return t;
}

QEvent::Type workEventType() {
    static const QEvent::Type t = newEventType();
    return t;
}

}  // namespace plat::detail
